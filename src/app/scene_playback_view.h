#pragma once
// The drawing side of a play: attached to the cutting view (CuttingPlaybackView::setDrawing), it runs
// the scene composition on the UI thread at every request of the playback thread and waits for it.
#include <atomic>
#include <functional>

#include "app/play_controller.h"
#include "app/scene_composer.h"
#include "platform/main_thread.h"

namespace vantrel {

class ScenePlaybackView : public PlaybackView {
  public:
    ScenePlaybackView(AppState& s, SceneComposer& composer, MainThread& mt) : s_(s), c_(composer), mt_(mt) {}

    void playStart(uint8_t mode) override;
    bool pixelChanged(const Vec3& pos) override;
    void stepRepaint(uint8_t mode, const Vec3& pos) override;
    void moveEndRepaint(uint8_t mode, const Vec3& end, bool rapid) override;
    void perStepUpdate(uint8_t mode, const Vec3& pos, bool drawDue) override;
    void moveEnded(uint8_t mode, const Vec3& end) override;
    void playEnd(bool rebuildStock) override;
    void drawPath(const MotionSegment& piece, bool rapid) override;
    // One frame per UI-thread call, so the window repaints between frames.
    void toolChangeAnimation(int32_t fromIndex, int32_t toIndex, const std::function<bool()>& abort) override;

    int64_t drawnSteps() const { return drawnSteps_; }
    int64_t toolChangeFramesShown() const { return toolChangeFramesShown_; }

  private:
    AppState& s_;
    SceneComposer& c_;
    MainThread& mt_;
    // The view as the play started: the playing thread projects with this copy, never with the
    // AppState's view, which the UI thread's drawing keeps using.
    ViewState view_;
    bool viewTaken_ = false;  // false until the copy is taken (a fast play switched to drawing)
    int32_t lastPx_ = INT32_MIN, lastPy_ = INT32_MIN;
    int64_t drawnSteps_ = 0;
    std::atomic<int64_t> toolChangeFramesShown_{0};
};

}  // namespace vantrel
