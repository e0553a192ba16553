#include "app/play_controller.h"
#include "core/version.h"

#include <chrono>
#include <cmath>
#include <functional>

#include "app/modal_labels.h"
#include "app/program_listing.h"
#include "core/number_format.h"
#include "core/rounding.h"
#include "nc/apply_block.h"
#include "nc/block_scanner.h"
#include "nc/modal_state.h"
#include "nc/motion_block.h"
#include "program/quon_strings.h"
#include "stock/stock_spec.h"

namespace vantrel {

namespace {

const char* const kPlayButtons[3] = {"sb_play", "sb_playfast", "sb_playstep"};
const char* const kPlayMenus[3] = {"menu_play", "menu_playfast", "menu_playstep"};

// The window's controls that a play disables, and enables again at its end.
const char* const kLockedControls[] = {
    "sb_view1",
    "sb_view2",
    "sb_view3",
    "sb_view4",
    "sb_view5",
    "sb_xy",
    "sb_xz",
    "sb_yz",
    "sb_line",
    "sb_zai_fit",
    "sb_zai_fitscreen",
    "sb_textin",
    "sb_kikai0",
    "sb_kikai1",
    "sb_kikai2",
    "sb_kikai3",
    "sb_kikai4",
    "sb_showholder",
    "sb_showkougu",
    "sb_showzairyou",
    "sb_showgrid",
    "sb_showaxis",
    "sb_showkikai",
    "sb_showcad",
    "sb_tool_w",
    "sb_zai_w",
    "sb_kikai_w",
    "sb_cad_w",
    "sb_mouse_xy",
    "sb_mouse_xz",
    "sb_mouse_yz",
    "sb_mouse_ab",
    "sb_opengl",
    "sb_henshu",
    "sb_tuusin",
    "sb_cad",
    "Panel1",
    "Panel5",
    "Panel4",
    "File1",
    "menu_kikai",
    "N27",
    "Edit1",
    "menu_kakou",
    "N90",
    "Show1",
    "N9",
    "N17",
};

bool isLatheMode(uint8_t m) {
    return m == kModeLathePlay || m == kModeLatheStep || m == kModeLatheFast;
}

bool isMillingMode(uint8_t m) {
    return m == kModeMillPlay || m == kModeMillFast || m == kModeMillStep || m == kModeGlPlay ||
           m == kModeGlStep;
}

}  // namespace

// The play's consumer of the machine actions: the modal labels and the block display, the stops and
// the single block, and the steps passed to the view with the mode's rules (which repaint at a pixel
// change and at the end of a move, the speed slider's delay, the per-step update).
class PlaySink : public MachineActions, public PathDrawHook {
  public:
    explicit PlaySink(PlaybackController& c) : c_(c) {}

    void passStarted(int32_t pass) override {
        // Esc held as a pass starts ends endless play after it (a short press only cuts a pass short).
        if (c_.env_.input && c_.env_.input->escape) c_.ctl_.endless = false;
        initModalLabelsForPass(*c_.env_.controls, isTurning(c_.kind()));
        if (c_.env_.view) c_.env_.view->passStart(pass);
        spindle(0);
    }
    void passEnded(int32_t pass) override {
        if (c_.env_.view) c_.env_.view->passEnd(pass);
    }
    void blockFetched(int32_t line, int32_t lastLine) override { c_.blockDisplayUpdate(line, lastLine); }
    void modalChanged(const ModalState& modal, const BlockWords& block) override {
        modal_ = &modal;
        if (c_.env_.view == nullptr) return;
        const int i = block.find(kCodeN);
        const double n = i >= 0 ? block.values[static_cast<size_t>(i)] : -1.0;
        c_.env_.view->blockApplied(block.line, n >= 0 ? saturatingToInt32(n) : -1);
    }
    bool skipSlashBlocks() override { return c_.env_.options && c_.env_.options->blockSkip; }
    void onSpindle(int32_t state) override {
        ControlSet& cs = *c_.env_.controls;
        cs.setEnabled("label_m03", state == 1);
        cs.setEnabled("label_m04", state == 2);
        cs.setEnabled("label_m05", state == 0);
        spindle(state);
    }
    void coolant(bool on) override {
        ControlSet& cs = *c_.env_.controls;
        cs.setEnabled("label_m08", on);
        cs.setEnabled("label_m09", !on);
    }
    void programStop(bool optional) override {
        PlaybackView* view = c_.env_.view;
        if (!optional) {
            if (c_.env_.controls->checked("menu_m0no")) return;
            // The caption first: whoever sees the raised buttons sees why.
            if (view) view->setEditorCaption(kCaptionM0Stop);
            c_.raisePlayButtons();
        } else if (c_.env_.options && c_.env_.options->optionalStop) {
            if (view) view->setEditorCaption(kCaptionM1Stop);
            c_.raisePlayButtons();
        }
    }
    void alarm(int32_t, const std::string& text) override {
        // The play ends here; the caption says why until the next play.
        if (c_.env_.view) c_.env_.view->setEditorCaption(std::string(kCaptionAlarm) + text);
    }
    void blockEnded(int32_t) override {
        if (c_.env_.options && c_.env_.options->singleBlock) c_.raisePlayButtons();
        c_.pauseLoop();
    }
    bool anotherPass() override { return c_.ctl_.endless; }

    void onPiece(const MotionSegment& piece, int32_t line) override {
        lastRapid_ = piece.moveKind == kMoveRapid;
        if (c_.env_.view) c_.env_.view->pieceStarted(piece, line);
    }

    bool pixelChanged(const Vec3& pos) override {
        PlaybackView* v = c_.env_.view;
        if (v == nullptr || !v->pixelChanged(pos)) return false;
        const uint8_t m = c_.ctl_.mode;
        if (m == kModeLathePlay) showTurningSpindle(pos);
        if (m == kModeMillPlay || m == kModeLathePlay || m == kModeWire || m == kModeGlPlay)
            v->stepRepaint(m, pos);
        c_.speedDelay();
        return true;
    }
    // The wire EDM removes nothing and is drawn by the repaints at pixel changes and move ends: its
    // steps make no per-step update.
    void onStep(const Vec3& pos, bool drawDue) override {
        if (c_.env_.view && c_.ctl_.mode != kModeWire)
            c_.env_.view->perStepUpdate(c_.ctl_.mode, pos, drawDue);
    }
    void onMoveEndRepaint(const Vec3& end) override {
        PlaybackView* v = c_.env_.view;
        if (v == nullptr) return;
        const uint8_t m = c_.ctl_.mode;
        switch (m) {
            case kModeMillPlay:
            case kModeLathePlay:
            case kModeWire:
            case kModeGlPlay:
            case kModeLatheStep:
            case kModeGlStep:
                v->moveEndRepaint(m, end, lastRapid_);
                break;
            default:
                break;
        }
    }
    void onMoveEnd(const Vec3& end) override {
        // Fast play makes no repaint, and the speed shown follows the repaints.
        if (c_.ctl_.mode == kModeLathePlay || c_.ctl_.mode == kModeLatheStep) showTurningSpindle(end);
        if (c_.env_.view == nullptr || c_.ctl_.mode == kModeWire) return;
        c_.env_.view->perStepUpdate(c_.ctl_.mode, end, true);
        c_.env_.view->moveEnded(c_.ctl_.mode, end);
    }
    void onCuttingTime(double minutes) override {
        // Shown after every move: "###0.##" and "分".
        // Fast play shows it every 64th move: the label is for a person, the moves come by the thousand.
        const uint8_t m = c_.ctl_.mode;
        if ((m != kModeMillFast && m != kModeLatheFast) || ++timeCounter_ % 64 == 0)
            c_.env_.controls->setCaption("label_ctime", cuttingTimeCaption(minutes));
        lastTime_ = minutes;
    }
    void drawPiece(const MotionSegment& piece, PathStyle style) override {
        if (c_.env_.view) c_.env_.view->drawPath(piece, style == PathStyle::Rapid);
    }
    double lastTime_ = 0;

  private:
    void spindle(int32_t state) {
        if (c_.env_.view) c_.env_.view->spindleChanged(state);
    }
    // The lathe's spindle speed follows the radius under G96: shown as the tool moves.
    void showTurningSpindle(const Vec3& pos) {
        if (modal_ == nullptr) return;
        showTurningSpeedAndFeed(*c_.env_.controls, *modal_, pos.x);
    }
    const ModalState* modal_ = nullptr;
    PlaybackController& c_;
    bool lastRapid_ = false;
    uint64_t timeCounter_ = 0;
};

PlaybackController::PlaybackController(const PlaybackEnv& env) : env_(env) {
    // Button presses and slider moves wake a waiting play at once instead of at its next poll.
    if (env_.controls) {
        observer_ = env_.controls->subscribe([this](const Control& c, ControlChange ch) {
            if ((ch == ControlChange::Checked &&
                 (c.name == "sb_play" || c.name == "sb_playfast" || c.name == "sb_playstep")) ||
                (ch == ControlChange::Position && c.name == "TrackBar2"))
                wakeWaiters();
        });
    }
}

PlaybackController::~PlaybackController() {
    requestStop();
    join();
    if (env_.controls) env_.controls->unsubscribe(observer_);
}

MachineKind PlaybackController::kind() const {
    int k = env_.machineKind ? env_.machineKind->load() : 0;
    return isValidMachineKind(k) ? static_cast<MachineKind>(k) : MachineKind::VerticalMill;
}

uint8_t PlaybackController::modeFor(int tag, MachineKind kind, bool openGl) {
    int m = tag;
    if (m < 0 || m > 2) m = 0;
    if (isTurning(kind)) {
        static const uint8_t lathe[3] = {kModeLathePlay, kModeLatheFast, kModeLatheStep};
        return lathe[m];
    }
    // The wire EDM has only plain play: a fast or step play would run it by the milling rules of
    // those modes and cut the stock.
    if (isWire(kind)) return kModeWire;
    if (openGl && isMilling(kind)) {
        if (m == 0) return kModeGlPlay;
        if (m == 2) return kModeGlStep;
    }
    return static_cast<uint8_t>(m);
}

void PlaybackController::wakeWaiters() {
    std::lock_guard lk(mu_);
    cv_.notify_all();
}

void PlaybackController::bindCommands() {
    ControlSet& cs = *env_.controls;
    for (const char* n :
         {"sb_play", "sb_playfast", "sb_playstep", "menu_play", "menu_playfast", "menu_playstep"})
        cs.bind(n, [this](const Control& c) { StartPlay(c); });
    cs.bind("sb_playend", [this](const Control&) { StopPlay(); });
    cs.bind("N57", [this](const Control&) { StopPlay(); });
    cs.bind("sb_playsb", [this](const Control& c) {
        if (env_.options) env_.options->singleBlock = c.checked;
    });
    cs.bind("sb_playop", [this](const Control& c) {
        if (env_.options) env_.options->optionalStop = c.checked;
    });
    cs.bind("sb_playobs", [this](const Control& c) {
        if (env_.options) env_.options->blockSkip = c.checked;
    });
    cs.bind("menu_endless", [this](const Control&) {
        ControlSet& cs2 = *env_.controls;
        cs2.setChecked("menu_endless", !cs2.checked("menu_endless"));
        ctl_.endless = cs2.checked("menu_endless");
        if (env_.options) env_.options->endless = ctl_.endless;
    });
    // "再生時補間経路描画": the Play menu's item and its tool-bar button are one switch.
    cs.bind("menu_playlineon",
            [this](const Control& c) { env_.controls->setChecked("sb_lineplay", c.checked); });
    cs.bind("sb_lineplay",
            [this](const Control& c) { env_.controls->setChecked("menu_playlineon", c.checked); });
    for (const char* n : {"label_n", "label_l"})
        cs.bind(n, [this](const Control& c) { selectStartBlock(c); });
    // The slider's own positions are the model; a move only has to wake a waiting play.
    cs.bind("TrackBar2", [this](const Control&) { wakeWaiters(); });
}

void PlaybackController::StartPlay(const Control& sender) {
    // Serialised with the end of a play (see execute): a play never ends half-way through this.
    std::lock_guard start(startMu_);
    ControlSet& cs = *env_.controls;
    const bool isMenu = sender.kind == ControlKind::MenuItem;
    int tag = isMenu ? sender.tag - 5 : sender.tag;
    if (tag < 0 || tag > 2) tag = 0;
    const bool gl = env_.openGl && env_.openGl->load();
    if (!running_) {
        // A click puts its button down first and runs this command after. A paused play resumes on
        // the button alone, so it may have run to its end (and raised the button) in between: that
        // click was a resume, and it must not start the program over again.
        if (!isMenu && !cs.checked(sender.name)) return;
        const uint8_t m = modeFor(tag, kind(), gl);
        pressButtonFor(m);
        join();  // the previous play's thread has ended; its owner joins it before starting another
        ctl_.mode = m;
        ctl_.stopRequested = false;
        ctl_.endless = cs.checked("menu_endless");
        running_ = true;
        thread_ = std::thread([this] { execute(); });
        return;
    }
    // While playing: take the new mode first, so that a play waiting for a button resumes in it,
    // then keep the button and the menu item in step.
    ctl_.mode = modeFor(tag, kind(), gl);
    if (isMenu) {
        const bool on = !cs.checked(kPlayMenus[tag]);
        for (int i = 0; i < 3; ++i) {
            cs.setChecked(kPlayMenus[i], on && i == tag);
            cs.setChecked(kPlayButtons[i], on && i == tag);
        }
    } else {
        cs.setChecked(kPlayMenus[tag], cs.checked(kPlayButtons[tag]));
    }
    wakeWaiters();
}

void PlaybackController::StopPlay() {
    ControlSet& cs = *env_.controls;
    ctl_.stopRequested = true;
    cs.setCaption("label_n", "---");
    cs.setCaption("label_l", "---");
    if (ctl_.mode != kModeMillFast) drawListing(0);
    ctl_.startLine = 0;
    wakeWaiters();
}

void PlaybackController::requestStop() {
    ctl_.stopRequested = true;
    wakeWaiters();
}

void PlaybackController::join() {
    if (thread_.joinable()) thread_.join();
}

PlayResult PlaybackController::lastResult() const {
    std::lock_guard lk(mu_);
    return result_;
}

void PlaybackController::drawListing(int32_t line) {
    if (!env_.painter || !env_.listing || !env_.program) return;
    DrawProgramListing(*env_.listing, *env_.program, line, *env_.painter);
    if (env_.view) env_.view->showListing();
}

void PlaybackController::selectStartBlock(const Control& sender) {
    ControlSet& cs = *env_.controls;
    const TQuonStrings& prog = *env_.program;
    if (prog.count() == 0 || (prog.count() == 1 && prog.lineText(0).empty())) return;
    if (!env_.ui) return;
    std::optional<double> v = env_.ui->keypad(0);
    if (!v) return;
    const int32_t value = saturatingToInt32(*v);
    int32_t block = value;
    if (sender.name != "label_l") {  // label_n (Tag 0): search the N number
        block = 1;
        for (int32_t i = 0; i < prog.count(); ++i) {
            std::string_view t = prog.lineText(i);
            bool found = false;
            for (size_t p = 0; p < t.size(); ++p) {
                if ((t[p] == 'N' || t[p] == 'n') && p + 1 < t.size() && t[p + 1] >= '0' && t[p + 1] <= '9' &&
                    ParseLabelNumber(t, p + 1) == value) {
                    found = true;
                    break;
                }
            }
            if (found) {
                block = i + 1;
                break;
            }
        }
        cs.setCaption("label_n", std::to_string(value));
    }
    cs.setCaption("label_l", std::to_string(block));
    drawListing(block - 1);
    ctl_.startLine = block - 1;
}

void PlaybackController::lockUi() {
    ControlSet& cs = *env_.controls;
    for (const char* n : kLockedControls) cs.setEnabled(n, false);
    cs.setEnabled("ProgressBar1", true);
    if (env_.view) env_.view->setEditorReadOnly(true);
}

void PlaybackController::unlockUi() {
    ControlSet& cs = *env_.controls;
    ctl_.mode = kModeIdle;
    for (const char* n : kLockedControls) cs.setEnabled(n, true);
    for (int i = 0; i < 3; ++i) {
        cs.setChecked(kPlayButtons[i], false);
        cs.setChecked(kPlayMenus[i], false);
    }
    cs.setEnabled("ProgressBar1", false);
    cs.setPosition("ProgressBar1", 0);
    if (env_.view) env_.view->setEditorReadOnly(false);
    const bool fastAndStep = !isWire(kind());
    for (const char* n : {"sb_playfast", "sb_playstep", "menu_playfast", "menu_playstep"})
        cs.setEnabled(n, fastAndStep);
}

void PlaybackController::blockDisplayUpdate(int32_t line, int32_t lastLine) {
    ControlSet& cs = *env_.controls;
    const uint8_t m = ctl_.mode;
    cs.setCaption("label_l", std::to_string(static_cast<int64_t>(line) + 1));
    if (m != kModeMillFast && m != kModeMillStep && m != kModeGlStep) {
        env_.mainThread->invoke([&] { drawListing(line); });
    }
    if (lastLine > 0) cs.setPosition("ProgressBar1", RoundHalfAway(100.0 / lastLine * line));
}

bool PlaybackController::anyPlayButtonDown() const {
    const ControlSet& cs = *env_.controls;
    return cs.checked("sb_play") || cs.checked("sb_playfast") || cs.checked("sb_playstep");
}

void PlaybackController::raisePlayButtons() {
    // One step against StartPlay: a switch either comes before the stop and is taken back by it, or
    // comes after it and resumes the play, never half of each.
    std::lock_guard start(startMu_);
    ControlSet& cs = *env_.controls;
    for (int i = 0; i < 3; ++i) {
        cs.setChecked(kPlayButtons[i], false);
        cs.setChecked(kPlayMenus[i], false);
    }
}

void PlaybackController::pauseLoop() {
    while (!anyPlayButtonDown()) {
        if (ctl_.stopRequested) return;
        if (env_.input && env_.input->shift) {
            const uint8_t m = ctl_.mode;
            if (m <= kModeMillStep) env_.controls->setChecked(kPlayButtons[m], true);
        }
        // The mills cut and draw the tool where it stands while paused; the lathes draw nothing here.
        if (env_.view && env_.tool && !isLatheMode(ctl_.mode))
            env_.view->perStepUpdate(ctl_.mode, env_.tool->get(), false);
        // Wake on a button, Stop or the slider at once; Shift is polled.
        std::unique_lock lk(mu_);
        cv_.wait_for(lk, std::chrono::milliseconds(10));
    }
}

void PlaybackController::speedDelay() {
    const int pos = env_.controls->position("TrackBar2");
    if (pos <= 0) return;
    std::unique_lock lk(mu_);
    // At 100 the play stands still until the slider moves down or the play is stopped.
    while (env_.controls->position("TrackBar2") >= 100 && !ctl_.stopRequested)
        cv_.wait_for(lk, std::chrono::milliseconds(50));
    const int delay = env_.controls->position("TrackBar2");
    if (delay > 0 && !ctl_.stopRequested) cv_.wait_for(lk, std::chrono::milliseconds(delay));
}

void PlaybackController::execute() {
    PlayResult r;
    try {
        ctl_.moveInProgress = false;
        env_.mainThread->invoke([this] { lockUi(); });
        r = runPlay();
    } catch (...) {
        // Whatever went wrong, the window must not stay locked: fall through to the unlock.
        r.end = PlayEnd::Stop;
    }
    {
        std::lock_guard lk(mu_);
        result_ = r;
    }
    // The window's unlock and the end of the run are one step for StartPlay: a mode switch that came
    // in just before leaves the window idle, one just after starts a fresh play.
    bool ended = false;
    auto end = [this, &ended] {
        std::lock_guard start(startMu_);
        unlockUi();
        ctl_.mode = kModeIdle;
        running_ = false;
        ended = true;
    };
    try {
        env_.mainThread->invoke(end);
    } catch (...) {
    }
    if (!ended) {
        // The window could not be reached (it is closing): the run has ended all the same.
        std::lock_guard start(startMu_);
        ctl_.mode = kModeIdle;
        running_ = false;
    }
    wakeWaiters();
}

void PlaybackController::pressButtonFor(uint8_t m) {
    const int button = (m == kModeMillFast || m == kModeLatheFast)                       ? 1
                       : (m == kModeMillStep || m == kModeLatheStep || m == kModeGlStep) ? 2
                                                                                         : 0;
    for (int i = 0; i < 3; ++i) {
        env_.controls->setChecked(kPlayButtons[i], i == button);
        env_.controls->setChecked(kPlayMenus[i], i == button);
    }
}

PlayResult PlaybackController::runNow(uint8_t mode) {
    join();
    pressButtonFor(mode);
    ctl_.mode = mode;
    ctl_.stopRequested = false;
    ctl_.endless = env_.controls->checked("menu_endless");
    running_ = true;
    execute();
    return lastResult();
}

PlayResult PlaybackController::runPlay() {
    ControlSet& cs = *env_.controls;
    TQuonStrings& prog = *env_.program;
    const int32_t lastLine = prog.count() - 1;
    if (lastLine <= 0) return PlayResult{};  // fewer than two lines: nothing happens at all

    if (env_.refresh) env_.refresh(env_);
    PlaybackView* view = env_.view;
    const bool gl = env_.openGl && env_.openGl->load();

    ToolPosition localTool;
    ToolPosition& tool = env_.tool ? *env_.tool : localTool;
    const Vec3 savedPosition = tool.get();
    StandInModalHooks standIn;
    ModalHooks& library = env_.hooks ? *env_.hooks : standIn;
    const int32_t savedToolIndex = library.currentToolIndex();

    // After the passes: the tool returns to where it stood, the stock keeps its cuts. An exception
    // inside the play takes the same way out, so the scene leaves its play state all the same.
    struct Restore {
        std::function<void()> fn;
        void run() {
            auto f = std::move(fn);
            fn = nullptr;
            if (f) f();
        }
        ~Restore() {
            try {
                run();
            } catch (...) {
            }
        }
    } restore{[&] {
        const bool rebuild = cs.checked("menu_repaint") && isMillingMode(ctl_.mode.load());
        tool.set(savedPosition);
        tool.setShown(savedPosition);
        library.setCurrentToolIndex(savedToolIndex);
        library.loadWorkingTool(savedToolIndex);
        if (view) view->playEnd(rebuild);
        cs.setCaption("mcform", kMainWindowCaption);
        disableModalLabels(cs);
    }};
    if (view && ctl_.mode != kModeMillFast && !gl) view->playStart(ctl_.mode);
    cs.setCaption("mcform", kCaptionPlaying);

    PlaySink sink(*this);
    ModalLabels labels(cs);
    InterpreterEnv ienv;
    ienv.display = &labels;
    ienv.switches = [&cs] { return modalSwitchesFrom(cs); };
    ienv.hooks = &library;
    ienv.mainThread = env_.mainThread;
    ienv.warningsTo = &prog;
    ienv.stock = env_.stock;
    ienv.tool = &tool;
    ienv.input = env_.input;
    ienv.stopRequested = &ctl_.stopRequested;
    ienv.moveInProgress = &ctl_.moveInProgress;
    ienv.rapidStep = env_.rapidStep;
    ienv.stepBudget = env_.stepBudget;
    ienv.blockBudget = env_.blockBudget;
    ienv.motion.referencePoint = env_.referencePoint;
    ienv.motion.totalLength = env_.toolTotalLength;
    ienv.motion.arcJoin = !cs.checked("menu_hoseil");
    ienv.beforePass = [this, &cs, &sink](InterpreterEnv& e) {
        // The stop request is cleared when the play starts, not at each pass: a stop pressed while an
        // endless play was between two passes must still end it.
        e.startLine = ctl_.startLine;
        e.motion.pathSkipRapids = cs.checked("menu_g0");
        e.motion.pathHook = cs.checked("menu_playlineon") ? &sink : nullptr;
        e.motion.stepPlay = ctl_.mode == kModeMillStep || ctl_.mode == kModeGlStep;
    };
    Interpreter interpreter(Dialect::forMachine(kind(), env_.lathe), prog, ienv, sink);
    const PlayResult result = interpreter.run();

    restore.run();
    return result;
}

}  // namespace vantrel
