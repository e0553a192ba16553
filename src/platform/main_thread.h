#pragma once
// Synchronous calls from worker threads (playback, serial watcher, screen effects) to the UI thread.
//
// A worker calls invoke(fn) and waits until fn has run on the UI thread. The Qt realisation queues fn
// to the event loop; the inline realisation, used headless and in tests, runs fn in place.
#include <functional>

namespace vantrel {

class MainThread {
public:
    virtual ~MainThread() = default;
    // Runs fn on the UI thread and returns when it has finished. Called from the UI thread itself, fn
    // runs at once (no deadlock).
    virtual void invoke(const std::function<void()>& fn) = 0;
    // True on the UI thread.
    virtual bool isMainThread() const = 0;
};

// Runs every call in place, on whatever thread asks. For the headless runner and for tests.
class InlineMainThread final : public MainThread {
public:
    void invoke(const std::function<void()>& fn) override { fn(); }
    bool isMainThread() const override { return true; }
};

}  // namespace vantrel
