#pragma once
// A play wired to the application: the tool library over the tool tables, the stock cut at every
// step, and the scene's drawing (when a scene is attached). The GUI and the headless runner both use it.
#include <functional>
#include <memory>

#include "app/app_state.h"
#include "app/play_checks.h"
#include "app/play_controller.h"

namespace vantrel {

class TQuonStrings;

// The interpreter's view of the tool library: T words select entries of the machine family's list.
// The tool tables belong to the UI thread (the mouse reads the working tool there): a tool change
// that the playing thread meets at M06 / T is carried out on the UI thread.
class ToolLibraryHooks : public ModalHooks {
  public:
    explicit ToolLibraryHooks(AppState& s, MainThread* mt = nullptr) : s_(s), mt_(mt) {}
    // Where the tool changer's animation is shown, and the right button that ends it.
    void setAnimationView(PlaybackView* view, const InputState* input) {
        view_ = view;
        input_ = input;
    }
    int32_t findToolIndex(int32_t toolNumber) override;
    int32_t currentToolIndex() const override { return s_.tools.currentToolIndex; }
    void setCurrentToolIndex(int32_t index) override;
    int32_t loadedToolIndex() const override { return s_.tools.loadedToolIndex; }
    void loadWorkingTool(int32_t index) override;
    double workingToolDiameter() const override { return s_.tools.workingTool.diameter; }
    double workingToolTotalLength() const override;
    // Of an entry of the store the D words name.
    double toolDiameter(int32_t index) const override;
    int32_t toolCount() const override;
    bool atcAnimationOn() const override { return s_.machine.atcAnimation; }
    void animateToolChange(int32_t fromIndex, int32_t toIndex) override;
    void selectTool(double tWord) override;
    double referenceZ() const override { return s_.pos.reference.z; }
    double currentZ() const override { return s_.pos.tool.z; }
    void moveToToolChangeHeight(double z) override { s_.pos.tool.z = z; }
    void runOutNurbs(ModalState&) override {}

  private:
    void onUiThread(const std::function<void()>& fn) {
        if (mt_)
            mt_->invoke(fn);
        else
            fn();
    }
    AppState& s_;
    MainThread* mt_;
    PlaybackView* view_ = nullptr;
    const InputState* input_ = nullptr;
};

// Cuts the stock at every step (milling or turning by the mode; the wire EDM removes nothing) and
// passes everything on to the drawing view when one is attached.
class CuttingPlaybackView : public ForwardingPlaybackView {
  public:
    // The cut runs on the playing thread under the stock lock: it needs no call to the UI thread. The
    // main thread serves only the start of a play (what must end before it draws).
    CuttingPlaybackView(AppState& s, MainThread& mt) : s_(s), mt_(mt) {}
    // The scene's drawing view, called after the cut.
    void setDrawing(PlaybackView* drawing) { setNext(drawing); }
    // The program checks, which look at every step before its cut.
    void setChecks(PlayChecks* checks) { checks_ = checks; }
    // Counts of what was cut, for reports and tests.
    int64_t cutSteps() const { return cutSteps_; }
    int64_t changedSteps() const { return changedSteps_; }

    void perStepUpdate(uint8_t mode, const Vec3& pos, bool drawDue) override;
    // Runs `beforePlay` on the UI thread before the play-start sequence draws anything.
    void playStart(uint8_t mode) override;

    // What must end before a play draws (a running screen effect repaints the whole scene, which must
    // not interleave with the play's drawing). Runs on the UI thread.
    std::function<void()> beforePlay;
    // The scene turns the spindle from the state the play sets.
    void spindleChanged(int32_t state) override;
    void playEnd(bool rebuildStock) override;
    void passStart(int32_t pass) override;
    void pieceStarted(const MotionSegment& piece, int32_t line) override;
    void blockApplied(int32_t line, int64_t n) override;

  private:
    AppState& s_;
    MainThread& mt_;
    PlayChecks* checks_ = nullptr;
    int64_t cutSteps_ = 0, changedSteps_ = 0;
};

struct PlaySessionParts {
    ControlSet* controls = nullptr;
    MainThread* mainThread = nullptr;
    InputState* input = nullptr;
    TQuonStrings* program = nullptr;
    UiServices* ui = nullptr;
    TextPainter* painter = nullptr;
    Image32* listing = nullptr;
};

// Owns the controller, the tool-library hooks and the cutting view for one application.
class PlaySession {
  public:
    PlaySession(AppState& s, const PlaySessionParts& parts);
    PlaybackController& controller() { return *controller_; }
    CuttingPlaybackView& view() { return view_; }
    ToolLibraryHooks& hooks() { return hooks_; }
    PlayChecks& checks() { return checks_; }

  private:
    AppState& s_;
    ToolLibraryHooks hooks_;
    PlayChecks checks_;
    CuttingPlaybackView view_;
    std::unique_ptr<PlaybackController> controller_;
};

}  // namespace vantrel
