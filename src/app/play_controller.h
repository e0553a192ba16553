#pragma once
// The play: one worker thread per play runs the program block by block while the window stays
// responsive. The UI thread starts it (StartPlay), switches its mode, pauses it by releasing the
// pressed play button, resumes it with Shift or a button, and stops it (StopPlay, Esc, closing).
//
// Threads. Everything the play changes in the window goes either through the control model (label
// texts, button states, captions: thread-safe, delivered to widgets in order) or through
// MainThread::invoke (locking and unlocking the window, the listing, the play-start sequence, the
// editor's read-only state). The per-step work (cutting, drawing the tool) is the PlaybackView's; it is
// called on the playback thread and decides itself what has to run on the UI thread.
//
// Usage (UI thread):
//   PlaybackController play(env);
//   play.bindCommands();            // sb_play ... sb_playend, label_n / label_l, the Play menu
//   app.registerWorker(&play);      // closing stops and joins it
// Headless: play.runNow(kModeMillFast) runs a whole play on the calling thread.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "app/play_options.h"
#include "core/control_set.h"
#include "core/image32.h"
#include "core/machine_kind.h"
#include "core/shared_value.h"
#include "nc/interpreter.h"
#include "nc/modal_hooks.h"
#include "nc/motion.h"
#include "platform/input_state.h"
#include "platform/main_thread.h"
#include "platform/ui_services.h"

namespace vantrel {

class TQuonStrings;
class TextPainter;
struct StockSpec;

// The play mode byte.
inline constexpr uint8_t kModeMillPlay = 0;
inline constexpr uint8_t kModeMillFast = 1;  // "高速再生（内部処理のみ）": internal processing only
inline constexpr uint8_t kModeMillStep = 2;  // "ステップ再生"
inline constexpr uint8_t kModeLathePlay = 3;
inline constexpr uint8_t kModeWire = 4;
inline constexpr uint8_t kModeLatheStep = 5;
inline constexpr uint8_t kModeLatheFast = 6;
inline constexpr uint8_t kModeIdle = 10;
inline constexpr uint8_t kModeGlPlay = 100;
inline constexpr uint8_t kModeGlStep = 101;

inline constexpr const char* kCaptionPlaying = "再生中（右クリックでスキップできます）";
inline constexpr const char* kCaptionM0Stop = "M0プログラムストップ(shiftキー続行)";
inline constexpr const char* kCaptionM1Stop = "M1オプショナルストップ(shiftキー続行)";

// Shared between the UI thread and the playback thread.
struct PlayControl {
    Shared<uint8_t> mode{kModeIdle};
    Shared<bool> stopRequested{false};
    Shared<int32_t> startLine{0};  // 0-based line where the next play starts
    Shared<bool> moveInProgress{false};
    Shared<bool> endless{false};  // follows "終端無（エンドレス）"; a held Esc clears it for the run
};

using PlayResult = InterpretResult;

// What a play needs from the scene, the stock and the windows. Every method is called on the playback
// thread; an implementation that touches widgets or the scene images uses MainThread::invoke itself.
// The defaults do nothing, which is a headless play without cutting or drawing.
class PlaybackView {
  public:
    virtual ~PlaybackView() = default;
    // The play-start sequence (images, background snapshot, stock surface, frame snapshot); `mode` is
    // the mode the play starts in.
    virtual void playStart(uint8_t /*mode*/) {}
    // A pass begins (1 for the first; endless play counts on).
    virtual void passStart(int32_t /*pass*/) {}
    // A pass's block loop has ended.
    virtual void passEnd(int32_t /*pass*/) {}
    // True when the tool's projected pixel differs from the last one.
    virtual bool pixelChanged(const Vec3& /*pos*/) { return false; }
    // The mode's repaint at a pixel change, and at the end of a move.
    virtual void stepRepaint(uint8_t /*mode*/, const Vec3& /*pos*/) {}
    virtual void moveEndRepaint(uint8_t /*mode*/, const Vec3& /*end*/, bool /*rapid*/) {}
    // The per-step update: cut the stock at the position and redraw what changed.
    virtual void perStepUpdate(uint8_t /*mode*/, const Vec3& /*pos*/, bool /*drawDue*/) {}
    // A move has ended (after its last per-step update): step play draws here, every n-th time.
    virtual void moveEnded(uint8_t /*mode*/, const Vec3& /*end*/) {}
    // After the passes: rebuild the stock display (when asked), the moving repaint, release images.
    virtual void playEnd(bool /*rebuildStock*/) {}
    virtual void setEditorReadOnly(bool /*on*/) {}
    virtual void setEditorCaption(const std::string& /*text*/) {}
    virtual void showListing() {}  // the listing image changed
    virtual void drawPath(const MotionSegment& /*piece*/, bool /*rapid*/) {}
    // A piece of movement is about to run (from source line `line`).
    virtual void pieceStarted(const MotionSegment& /*piece*/, int32_t /*line*/) {}
    // A block's words were applied (before its movement); `n` is its sequence number, -1 when it has none.
    virtual void blockApplied(int32_t /*line*/, int64_t /*n*/) {}
    // The spindle's state: 0 stopped, 1 clockwise (M03), 2 counter-clockwise (M04).
    virtual void spindleChanged(int32_t /*state*/) {}
    // M06 with the tool changer's animation on: show the tool changer swapping the entries (indices of
    // the milling store); `abort` is asked before every frame and ends the animation when true.
    virtual void toolChangeAnimation(int32_t /*fromIndex*/, int32_t /*toIndex*/,
                                     const std::function<bool()>& /*abort*/) {}
};

// A view that passes every call on to the next one (when there is one). Views that add work to some
// calls (cutting the stock, the window's editor and listing) derive from it and override those.
class ForwardingPlaybackView : public PlaybackView {
  public:
    void setNext(PlaybackView* next) { next_ = next; }
    PlaybackView* next() const { return next_; }

    void playStart(uint8_t mode) override {
        if (next_) next_->playStart(mode);
    }
    void passStart(int32_t pass) override {
        if (next_) next_->passStart(pass);
    }
    void passEnd(int32_t pass) override {
        if (next_) next_->passEnd(pass);
    }
    bool pixelChanged(const Vec3& pos) override { return next_ && next_->pixelChanged(pos); }
    void stepRepaint(uint8_t mode, const Vec3& pos) override {
        if (next_) next_->stepRepaint(mode, pos);
    }
    void moveEndRepaint(uint8_t mode, const Vec3& end, bool rapid) override {
        if (next_) next_->moveEndRepaint(mode, end, rapid);
    }
    void perStepUpdate(uint8_t mode, const Vec3& pos, bool drawDue) override {
        if (next_) next_->perStepUpdate(mode, pos, drawDue);
    }
    void moveEnded(uint8_t mode, const Vec3& end) override {
        if (next_) next_->moveEnded(mode, end);
    }
    void playEnd(bool rebuildStock) override {
        if (next_) next_->playEnd(rebuildStock);
    }
    void setEditorReadOnly(bool on) override {
        if (next_) next_->setEditorReadOnly(on);
    }
    void setEditorCaption(const std::string& text) override {
        if (next_) next_->setEditorCaption(text);
    }
    void showListing() override {
        if (next_) next_->showListing();
    }
    void drawPath(const MotionSegment& piece, bool rapid) override {
        if (next_) next_->drawPath(piece, rapid);
    }
    void pieceStarted(const MotionSegment& piece, int32_t line) override {
        if (next_) next_->pieceStarted(piece, line);
    }
    void blockApplied(int32_t line, int64_t n) override {
        if (next_) next_->blockApplied(line, n);
    }
    void spindleChanged(int32_t state) override {
        if (next_) next_->spindleChanged(state);
    }
    void toolChangeAnimation(int32_t fromIndex, int32_t toIndex,
                             const std::function<bool()>& abort) override {
        if (next_) next_->toolChangeAnimation(fromIndex, toIndex, abort);
    }

  private:
    PlaybackView* next_ = nullptr;
};

struct PlaybackEnv {
    ControlSet* controls = nullptr;
    MainThread* mainThread = nullptr;
    InputState* input = nullptr;
    TQuonStrings* program = nullptr;
    const StockSpec* stock = nullptr;
    ToolPosition* tool = nullptr;
    ModalHooks* hooks = nullptr;     // tool library, tool change, run-out
    PlaybackView* view = nullptr;    // null: headless
    UiServices* ui = nullptr;        // the keypad of the start-block selection
    TextPainter* painter = nullptr;  // the listing's text; null: no listing drawn
    Image32* listing = nullptr;      // PaintBox2's image
    PlayOptions* options = nullptr;  // single block, optional stop, block skip (follow the buttons)
    const Shared<int32_t>* machineKind = nullptr;  // MachineKind as an integer
    const Shared<bool>* openGl = nullptr;
    double rapidStep = 10;
    Vec3 referencePoint{0, 0, 500};
    double toolTotalLength = 0;
    int64_t stepBudget = -1;  // headless runs may bound the work (negative: no bound)
    int64_t blockBudget = -1;
    // Read at the start of every play: the values above may have been edited since construction.
    std::function<void(PlaybackEnv&)> refresh;
};

class PlaybackController : public BackgroundWork {
  public:
    explicit PlaybackController(const PlaybackEnv& env);
    ~PlaybackController() override;
    PlaybackController(const PlaybackController&) = delete;
    PlaybackController& operator=(const PlaybackController&) = delete;

    // Binds the play buttons, the Play menu's play items, Stop, the option buttons, the start-block
    // labels, "終端無（エンドレス）" and the speed sliders.
    void bindCommands();

    // OnClick of sb_play, sb_playfast, sb_playstep, menu_play, menu_playfast, menu_playstep.
    void StartPlay(const Control& sender);
    // sb_playend and "再生終了".
    void StopPlay();
    // label_n (Tag 0) and label_l (Tag 1): choose the block the next play starts at.
    void selectStartBlock(const Control& sender);
    // The listing at a line (UI thread).
    void drawListing(int32_t line);

    // Runs a whole play on the calling thread (headless runner, benchmarks, tests).
    PlayResult runNow(uint8_t mode);

    PlayControl& control() { return ctl_; }
    // Bounds the work of the plays run from now on (negative: none); a play that reaches a bound ends
    // with PlayEnd::Budget.
    void setBudget(int64_t steps, int64_t blocks) {
        env_.stepBudget = steps;
        env_.blockBudget = blocks;
    }
    PlayResult lastResult() const;

    // BackgroundWork
    bool running() const override { return running_.load(); }
    void requestStop() override;
    void join() override;

    // The mode a play started from a control with this Tag gets on this machine (menu Tags minus 5).
    static uint8_t modeFor(int tag, MachineKind kind, bool openGl);

  private:
    void execute();
    PlayResult runPlay();
    void lockUi();
    void unlockUi();
    void blockDisplayUpdate(int32_t line, int32_t lastLine);
    bool anyPlayButtonDown() const;
    void raisePlayButtons();
    void pressButtonFor(uint8_t mode);
    void pauseLoop();
    void speedDelay();
    void wakeWaiters();
    MachineKind kind() const;

    friend class PlaySink;
    PlaybackEnv env_;
    PlayControl ctl_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    mutable std::mutex mu_;
    std::mutex startMu_;  // StartPlay against the stops and the end of a run
    std::condition_variable cv_;
    PlayResult result_;
    int observer_ = 0;
    bool toolShownForRun_ = true, holderShownForRun_ = true;
};

}  // namespace vantrel
