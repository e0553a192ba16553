#pragma once
// A value read by one thread and written by another (the playback thread polls display switches,
// the stop request, the tool position ...). std::atomic itself is not copyable, which would make every
// state group that holds one uncopyable; this wrapper copies by value and otherwise behaves like the
// plain value. Loads and stores are relaxed: each value is independent, and cross-value ordering is
// provided by MainThread::invoke and the mutexes where it matters.
#include <atomic>

namespace vantrel {

template <typename T>
class Shared {
  public:
    Shared() : v_(T{}) {}
    Shared(T v) : v_(v) {}  // NOLINT: implicit on purpose, like the plain value
    Shared(const Shared& o) : v_(o.load()) {}
    Shared& operator=(const Shared& o) {
        store(o.load());
        return *this;
    }
    Shared& operator=(T v) {
        store(v);
        return *this;
    }
    operator T() const { return load(); }  // NOLINT
    T load() const { return v_.load(std::memory_order_relaxed); }
    void store(T v) { v_.store(v, std::memory_order_relaxed); }

  private:
    std::atomic<T> v_;
};

}  // namespace vantrel
