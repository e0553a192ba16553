#include "nc/playback.h"

#include <chrono>
#include <cmath>
#include <functional>

#include "core/number_format.h"
#include "core/rounding.h"
#include "editor/quon_strings.h"
#include "nc/apply_block.h"
#include "nc/block_scanner.h"
#include "nc/modal_labels.h"
#include "nc/modal_state.h"
#include "nc/motion_block.h"
#include "nc/program_listing.h"
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

bool hasM(const ModalState& m, int code, int index) {
    return std::trunc(m.mCodes[static_cast<size_t>(index)]) == code;
}

bool isMillingMode(uint8_t m) {
    return m == kModeMillPlay || m == kModeMillFast || m == kModeMillStep || m == kModeGlPlay ||
           m == kModeGlStep;
}

// The tool library comes from outside; the interpreter's Z, the move to the tool-change height and
// the G06.2 run-out belong to this play's motion.
class MotionBoundHooks : public ModalHooks {
  public:
    MotionBoundHooks(ModalHooks& lib, MillMotion& motion, ToolPosition& tool)
        : lib_(lib), motion_(motion), tool_(tool) {}
    int32_t findToolIndex(int32_t n) override { return lib_.findToolIndex(n); }
    int32_t currentToolIndex() const override { return lib_.currentToolIndex(); }
    void setCurrentToolIndex(int32_t i) override { lib_.setCurrentToolIndex(i); }
    int32_t loadedToolIndex() const override { return lib_.loadedToolIndex(); }
    void loadWorkingTool(int32_t i) override { lib_.loadWorkingTool(i); }
    double workingToolDiameter() const override { return lib_.workingToolDiameter(); }
    double workingToolTotalLength() const override { return lib_.workingToolTotalLength(); }
    double toolDiameter(int32_t i) const override { return lib_.toolDiameter(i); }
    bool atcAnimationOn() const override { return lib_.atcAnimationOn(); }
    void animateToolChange(int32_t from, int32_t to) override { lib_.animateToolChange(from, to); }
    double referenceZ() const override { return lib_.referenceZ(); }
    double currentZ() const override { return motion_.current().z; }
    void moveToToolChangeHeight(double z) override {
        motion_.toolChangedTo(z);
        tool_.set(motion_.current());
    }
    void runOutNurbs(ModalState& state) override { motion_.runOutNurbs(state); }

  private:
    ModalHooks& lib_;
    MillMotion& motion_;
    ToolPosition& tool_;
};

}  // namespace

const char* playEndName(PlayEnd end) {
    switch (end) {
        case PlayEnd::M02:
            return "m02";
        case PlayEnd::M30:
            return "m30";
        case PlayEnd::EndOfText:
            return "end_of_text";
        case PlayEnd::M99:
            return "m99";
        case PlayEnd::Stop:
            return "stop";
        case PlayEnd::None:
            break;
    }
    return "none";
}

// Bridges the steppers' stream to the view with the mode's rules: which repaint at a pixel change and
// at the end of a move, the speed slider's delay, the per-step update.
class PlaySink : public MotionSink, public PathDrawHook {
  public:
    explicit PlaySink(PlaybackController& c) : c_(c) {}

    void onPiece(const MotionSegment& piece, int32_t) override { lastRapid_ = piece.moveKind == kMoveRapid; }

    bool pixelChanged(const Vec3& pos) override {
        PlaybackView* v = c_.env_.view;
        if (v == nullptr || !v->pixelChanged(pos)) return false;
        const uint8_t m = c_.ctl_.mode;
        if (m == kModeMillPlay || m == kModeLathePlay || m == kModeWire || m == kModeGlPlay)
            v->stepRepaint(m, pos);
        c_.speedDelay();
        return true;
    }
    void onStep(const Vec3& pos, bool drawDue) override {
        if (c_.env_.view) c_.env_.view->perStepUpdate(c_.ctl_.mode, pos, drawDue);
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
        if (c_.env_.view == nullptr) return;
        c_.env_.view->perStepUpdate(c_.ctl_.mode, end, true);
        c_.env_.view->moveEnded(c_.ctl_.mode, end);
    }
    void onCuttingTime(double minutes) override {
        // Shown after every move: "###0.##" and "分".
        if (c_.ctl_.mode != kModeMillFast || ++timeCounter_ % 64 == 0)
            c_.env_.controls->setCaption("label_ctime", cuttingTimeCaption(minutes));
        lastTime_ = minutes;
    }
    void drawPiece(const MotionSegment& piece, PathStyle style) override {
        if (c_.env_.view) c_.env_.view->drawPath(piece, style == PathStyle::Rapid);
    }
    double lastTime_ = 0;

  private:
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
    if (isWire(kind) && m == 0) return kModeWire;
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
        if (env_.view && env_.tool) env_.view->perStepUpdate(ctl_.mode, env_.tool->get(), false);
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
        r = runMill();
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

PlayResult PlaybackController::runMill() {
    PlayResult result;
    ControlSet& cs = *env_.controls;
    TQuonStrings& prog = *env_.program;
    const int32_t lastLine = prog.count() - 1;
    if (lastLine <= 0) return result;  // fewer than two lines: nothing happens at all

    if (env_.refresh) env_.refresh(env_);
    PlaybackView* view = env_.view;
    const bool gl = env_.openGl && env_.openGl->load();

    ToolPosition localTool;
    ToolPosition& tool = env_.tool ? *env_.tool : localTool;
    const Vec3 savedPosition = tool.get();
    StandInModalHooks standIn;
    ModalHooks& library = env_.hooks ? *env_.hooks : standIn;
    const int32_t savedToolIndex = library.currentToolIndex();
    StockSpec defaultStock;
    const StockSpec& stock = env_.stock ? *env_.stock : defaultStock;

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
        cs.setCaption("mcform", "Vantrel 3.71");
        disableModalLabels(cs);
    }};
    if (view && ctl_.mode != kModeMillFast && !gl) view->playStart(ctl_.mode);
    cs.setCaption("mcform", kCaptionPlaying);

    PlaySink sink(*this);
    StepperEnv senv;
    senv.tool = &tool;
    senv.sink = &sink;
    senv.input = env_.input;
    senv.stopRequested = &ctl_.stopRequested;
    senv.moveInProgress = &ctl_.moveInProgress;
    senv.rapidStep = env_.rapidStep;
    senv.stepBudget = env_.stepBudget;

    MillMotionSettings settings;
    settings.referencePoint = env_.referencePoint;
    settings.totalLength = env_.toolTotalLength;
    settings.arcJoin = !cs.checked("menu_hoseil");
    settings.pathSkipRapids = cs.checked("menu_g0");
    MillMotion motion(senv, settings);
    MotionBoundHooks hooks(library, motion, tool);

    ModalContext mctx{cs, hooks, *env_.mainThread, &prog, stock};
    ModalState modal;
    ScanState scan;
    scan.labelLetters = isMilling(kind()) ? LabelLetters::NAndO : LabelLetters::OOnly;
    bool endPlay = false;  // the main program's M99, Stop or Esc: no further pass

    do {
        if (env_.input && env_.input->escape) ctl_.endless = false;
        // Pass start.
        modal.resetForPass();
        initModalLabelsForPass(cs);
        ctl_.stopRequested = false;
        // The start line may be stale (the program was shortened since it was chosen).
        int32_t start = ctl_.startLine;
        if (start < 0 || start > lastLine) start = 0;
        scan = ScanState();
        scan.labelLetters = isMilling(kind()) ? LabelLetters::NAndO : LabelLetters::OOnly;
        scan.startPass(start);
        BlockQueue queue;
        motion.startPass(tool.get());
        settings.pathSkipRapids = cs.checked("menu_g0");
        motion.settings().pathHook = cs.checked("menu_playlineon") ? &sink : nullptr;
        motion.settings().stepPlay = ctl_.mode == kModeMillStep || ctl_.mode == kModeGlStep;
        ++result.passes;
        result.end = PlayEnd::None;
        if (view) view->passStart(result.passes);

        bool endFlag = false;
        int32_t line = 0;
        while (line < lastLine && !ctl_.stopRequested && !endFlag) {
            if ((env_.input && env_.input->escape) || ctl_.stopRequested) break;
            FetchBlock(prog, scan, queue);
            const BlockWords& b = queue.executing();
            line = b.line;
            blockDisplayUpdate(line, lastLine);
            if (line >= lastLine) {
                endFlag = true;
                result.end = PlayEnd::EndOfText;
            }
            const bool skipped =
                b.count > 0 && b.codes[0] == kCodeSlash && env_.options && env_.options->blockSkip;
            if (b.count == 0 || skipped) continue;

            ++result.blocks;
            motion.beginBlock(line);
            ApplyBlock(modal, b, mctx);
            if (!modal.blockMakesNoMove()) motion.executeBlock(modal, queue, line >= lastLine);
            finishBlockSetup(modal);
            result.lastPosition = tool.get();

            for (int i = 0; i < modal.mCodeCount && i < ModalState::kMaxMCodes; ++i) {
                if (hasM(modal, 0, i)) {
                    if (!cs.checked("menu_m0no")) {
                        // The caption first: whoever sees the raised buttons sees why.
                        if (view) view->setEditorCaption(kCaptionM0Stop);
                        raisePlayButtons();
                    }
                } else if (hasM(modal, 1, i)) {
                    if (env_.options && env_.options->optionalStop) {
                        // The caption first: whoever sees the raised buttons sees why.
                        if (view) view->setEditorCaption(kCaptionM1Stop);
                        raisePlayButtons();
                    }
                } else if (hasM(modal, 2, i) || hasM(modal, 30, i)) {
                    endFlag = true;
                    result.end = hasM(modal, 2, i) ? PlayEnd::M02 : PlayEnd::M30;
                } else if (hasM(modal, 5, i)) {
                    cs.setEnabled("label_m05", true);
                    cs.setEnabled("label_m03", false);
                    cs.setEnabled("label_m04", false);
                    modal.spindle = 0;
                } else if (hasM(modal, 9, i)) {
                    cs.setEnabled("label_m09", true);
                    cs.setEnabled("label_m08", false);
                }
            }
            if (b.programEnd) {
                endFlag = true;
                endPlay = true;
                result.end = PlayEnd::M99;
            }
            if (env_.options && env_.options->singleBlock) raisePlayButtons();
            pauseLoop();
            if (senv.stepBudget == 0) break;
        }
        result.cuttingTime = senv.cuttingTime;
        if (view) view->passEnd(result.passes);
        if (ctl_.stopRequested || (env_.input && env_.input->escape)) {
            if (result.end == PlayEnd::None) result.end = PlayEnd::Stop;
            if (ctl_.stopRequested) endPlay = true;
        }
        if (senv.stepBudget == 0) endPlay = true;
    } while (ctl_.endless && !ctl_.stopRequested && !endPlay);

    restore.run();
    return result;
}

}  // namespace vantrel
