#include "effects/effect_thread.h"

namespace vantrel {

EffectThread::~EffectThread() {
    finish();
}

void EffectThread::start(std::function<bool()> frame) {
    finish();
    frame_ = std::move(frame);
    stop_ = false;
    frames_ = 0;
    running_ = true;
    thread_ = std::thread([this] {
        bool more = true;
        while (more && !stop_) {
            mt_.invoke([&] {
                // Checked on the UI thread: a stop asked for there is seen by the very next frame.
                if (stop_ || !frame_()) {
                    more = false;
                    return;
                }
                ++frames_;
            });
        }
        running_ = false;
    });
}

void EffectThread::finish() {
    requestStop();
    while (running_) mt_.processPending(10);
    join();
}

void EffectThread::join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace vantrel
