#pragma once
// A UI thread stand-in for tests of worker threads: invoke() queues the call and waits; the test's own
// thread runs the queue with processPending(), as the event loop would.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/main_thread.h"

namespace vantrel {

class QueueMainThread : public MainThread {
  public:
    void invoke(const std::function<void()>& fn) override {
        std::unique_lock lk(mu_);
        queue_.push_back(&fn);
        cv_.notify_all();
        done_.wait(lk, [&] {
            auto it = std::find(finished_.begin(), finished_.end(), &fn);
            if (it == finished_.end()) return false;
            finished_.erase(it);
            return true;
        });
    }
    bool isMainThread() const override { return true; }
    // Runs the queued calls without holding the lock, so a call may itself wait for workers (and run
    // their calls) as the UI thread does.
    void processPending(int timeoutMs) override {
        std::unique_lock lk(mu_);
        cv_.wait_for(lk, std::chrono::milliseconds(timeoutMs), [&] { return !queue_.empty(); });
        while (!queue_.empty()) {
            const std::function<void()>* fn = queue_.front();
            queue_.erase(queue_.begin());
            lk.unlock();
            (*fn)();
            lk.lock();
            finished_.push_back(fn);
            done_.notify_all();
        }
    }

  private:
    std::mutex mu_;
    std::condition_variable cv_, done_;
    std::vector<const std::function<void()>*> queue_, finished_;
};

}  // namespace vantrel
