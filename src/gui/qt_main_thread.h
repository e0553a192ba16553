#pragma once
#include <QCoreApplication>
#include <QThread>

#include "platform/main_thread.h"

namespace vantrel {

// Synchronous calls onto the Qt event loop: a worker's call is queued to the application object and
// the worker waits until it has run.
class QtMainThread final : public MainThread {
  public:
    void invoke(const std::function<void()>& fn) override;
    bool isMainThread() const override;
    void processPending(int timeoutMs) override;
    void post(std::function<void()> fn) override;
};

}  // namespace vantrel
