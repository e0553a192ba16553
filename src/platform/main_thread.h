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
    // Runs fn on the UI thread later, in the order of the calls, without waiting for it (the serial
    // watcher hands received text over this way: it must never wait for a UI thread that may be
    // waiting for it). The inline realisation runs fn in place.
    virtual void post(std::function<void()> fn) { invoke(fn); }
    // True on the UI thread.
    virtual bool isMainThread() const = 0;
    // Called on the UI thread while it waits for workers: runs the calls they have queued, waiting up
    // to timeoutMs for one to arrive.
    virtual void processPending(int timeoutMs) { (void)timeoutMs; }
};

// Runs every call in place, on whatever thread asks. For the headless runner and for tests.
class InlineMainThread final : public MainThread {
  public:
    void invoke(const std::function<void()>& fn) override { fn(); }
    bool isMainThread() const override { return true; }
};

}  // namespace vantrel

namespace vantrel {

// A worker thread the application must stop before it tears down state (playback, screen effects,
// the serial watcher). Shutdown asks each to stop, then keeps serving their synchronous calls until
// none is running, then joins them.
class BackgroundWork {
  public:
    virtual ~BackgroundWork() = default;
    virtual bool running() const = 0;
    virtual void requestStop() = 0;
    virtual void join() = 0;
};

}  // namespace vantrel
