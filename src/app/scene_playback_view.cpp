#include "app/scene_playback_view.h"

#include "render/view.h"

namespace vantrel {

void ScenePlaybackView::playStart(uint8_t mode) {
    lastPx_ = lastPy_ = INT32_MIN;
    mt_.invoke([&] {
        c_.playStart(mode);
        view_ = s_.view;
    });
    viewTaken_ = true;
}

bool ScenePlaybackView::pixelChanged(const Vec3& pos) {
    // The view does not change while a play runs (the mouse and wheel commands are off, a repaint
    // waits for the play's end); the copy taken at the start is what the scene draws with.
    if (!viewTaken_) {
        mt_.invoke([&] { view_ = s_.view; });
        viewTaken_ = true;
    }
    const ProjectedPoint p = projectPoint(view_, pos);
    if (p.px == lastPx_ && p.py == lastPy_) return false;
    lastPx_ = p.px;
    lastPy_ = p.py;
    return true;
}

void ScenePlaybackView::stepRepaint(uint8_t mode, const Vec3&) {
    if (mode == kModeMillPlay) return;  // the mills draw in the per-step update
    // The OpenGL view draws the whole scene for every change of the tool's pixel.
    if (mode == kModeGlPlay) {
        mt_.invoke([&] { c_.repaintScene(); });
        return;
    }
    mt_.invoke([&] { c_.moveRepaint(mode); });
}

void ScenePlaybackView::moveEndRepaint(uint8_t mode, const Vec3&, bool) {
    if (mode == kModeGlPlay || mode == kModeGlStep) {
        mt_.invoke([&] { c_.repaintScene(); });
        return;
    }
    if (mode == kModeLathePlay || mode == kModeLatheStep || mode == kModeWire)
        mt_.invoke([&] { c_.moveRepaint(mode); });
}

void ScenePlaybackView::perStepUpdate(uint8_t mode, const Vec3& pos, bool drawDue) {
    // Step play draws at the ends of moves only.
    if (mode != kModeMillPlay || !drawDue) return;
    ++drawnSteps_;
    mt_.invoke([&] { c_.millStep(pos, true); });
}

void ScenePlaybackView::moveEnded(uint8_t mode, const Vec3& end) {
    if (mode != kModeMillStep) return;
    mt_.invoke([&] {
        if (c_.stepPlayMoveEnd(end)) ++drawnSteps_;
    });
}

void ScenePlaybackView::playEnd(bool rebuildStock) {
    viewTaken_ = false;
    mt_.invoke([&] { c_.playEnd(rebuildStock); });
}

void ScenePlaybackView::toolChangeAnimation(int32_t fromIndex, int32_t toIndex,
                                            const std::function<bool()>& abort) {
    std::vector<ToolChangeFrame> frames;
    mt_.invoke([&] { frames = c_.toolChangeFrameList(fromIndex, toIndex); });
    if (frames.empty()) return;
    for (const ToolChangeFrame& f : frames) {
        if (abort && abort()) break;
        mt_.invoke([&] { c_.showToolChangeFrame(fromIndex, toIndex, f); });
        ++toolChangeFramesShown_;
    }
    // The scene without the two tools, once more.
    mt_.invoke([&] {
        c_.snapshotFrame();
        c_.showFrame();
    });
}

void ScenePlaybackView::drawPath(const MotionSegment& piece, bool rapid) {
    mt_.invoke([&] { c_.drawPathPiece(piece, rapid); });
}

}  // namespace vantrel
