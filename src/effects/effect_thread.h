#pragma once
// The screen-effect thread: it only sequences the frames. Each frame is handed to the UI thread with a
// synchronous call and rendered there while the thread waits, so the picture and the scene never race;
// there is no pause between frames. The frame reports whether the effect still runs; once it does not,
// or once a stop was asked for, the thread ends.
//
// Stopping is immediate for the pictures: a stop asked for on the UI thread makes every frame still
// queued do nothing, so no frame is drawn after it (a play starting next draws alone).
#include <atomic>
#include <functional>
#include <thread>

#include "platform/main_thread.h"

namespace vantrel {

class EffectThread final : public BackgroundWork {
  public:
    explicit EffectThread(MainThread& mt) : mt_(mt) {}
    ~EffectThread() override;
    EffectThread(const EffectThread&) = delete;
    EffectThread& operator=(const EffectThread&) = delete;

    // Starts the thread (UI thread only). `frame` runs on the UI thread and returns false when the
    // effect has stopped. A thread still ending from an earlier effect is finished first.
    void start(std::function<bool()> frame);
    // Asks the thread to stop and, serving its pending call meanwhile, waits until it has ended (UI
    // thread only).
    void finish();
    // Frames rendered since the last start.
    int64_t frames() const { return frames_; }

    bool running() const override { return running_; }
    void requestStop() override { stop_ = true; }
    void join() override;

  private:
    MainThread& mt_;
    std::function<bool()> frame_;
    std::thread thread_;
    std::atomic<bool> stop_{false}, running_{false};
    std::atomic<int64_t> frames_{0};
};

}  // namespace vantrel
