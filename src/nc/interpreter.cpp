#include "nc/interpreter.h"

#include <cmath>
#include <utility>

#include "nc/apply_block.h"
#include "nc/modal_state.h"
#include "platform/input_state.h"
#include "platform/main_thread.h"
#include "program/quon_strings.h"
#include "stock/stock_spec.h"

namespace vantrel {

namespace {

bool hasM(const ModalState& m, int code, int index) {
    return std::trunc(m.mCodes[static_cast<size_t>(index)]) == code;
}

// The tool library comes from outside; the interpreter's Z, the move to the tool-change height and
// the G06.2 run-out belong to this run's motion.
class MotionBoundHooks : public ModalHooks {
  public:
    MotionBoundHooks(ModalHooks& lib, MillMotion& motion, ToolPosition& tool)
        : lib_(lib), motion_(motion), tool_(tool) {}
    int32_t findToolIndex(int32_t n) override { return lib_.findToolIndex(n); }
    void selectTool(double tWord) override { lib_.selectTool(tWord); }
    int32_t currentToolIndex() const override { return lib_.currentToolIndex(); }
    void setCurrentToolIndex(int32_t i) override { lib_.setCurrentToolIndex(i); }
    int32_t loadedToolIndex() const override { return lib_.loadedToolIndex(); }
    void loadWorkingTool(int32_t i) override { lib_.loadWorkingTool(i); }
    double workingToolDiameter() const override { return lib_.workingToolDiameter(); }
    double workingToolTotalLength() const override { return lib_.workingToolTotalLength(); }
    double toolDiameter(int32_t i) const override { return lib_.toolDiameter(i); }
    int32_t toolCount() const override { return lib_.toolCount(); }
    bool atcAnimationOn() const override { return lib_.atcAnimationOn(); }
    void animateToolChange(int32_t from, int32_t to) override { lib_.animateToolChange(from, to); }
    double referenceZ() const override { return lib_.referenceZ(); }
    double currentZ() const override { return motion_.current().z; }
    void moveToToolChangeHeight(double z) override {
        lib_.moveToToolChangeHeight(z);
        motion_.toolChangedTo(z);
        tool_.set(motion_.current());
    }
    void runOutNurbs(ModalState& state) override {
        lib_.runOutNurbs(state);
        motion_.runOutNurbs(state);
    }

  private:
    ModalHooks& lib_;
    MillMotion& motion_;
    ToolPosition& tool_;
};

}  // namespace

Dialect Dialect::mill(MachineKind kind) {
    Dialect d;
    d.family = familyOf(kind);
    d.labelLetters = isMilling(kind) ? LabelLetters::NAndO : LabelLetters::OOnly;
    switch (d.family) {
        case MachineFamily::Turning:
            d.start = d.reference = {150, 0, 400};
            break;
        case MachineFamily::Wire:
            d.start = d.reference = {0, 0, 0};
            break;
        case MachineFamily::Milling:
            d.start = {0, 0, 435};
            d.reference = {0, 0, 500};
            break;
    }
    return d;
}

Dialect Dialect::wire() {
    Dialect d = mill(MachineKind::WireEdm);
    d.fromStartBlock = false;
    d.showsToolAtPassStart = true;
    d.words.helicalArcs = false;
    d.words.toolWords = false;
    d.words.dNamesStoreEntry = true;
    return d;
}

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
        case PlayEnd::Budget:
            return "budget";
        case PlayEnd::None:
            break;
    }
    return "none";
}

Interpreter::Interpreter(const Dialect& dialect, const TQuonStrings& program, InterpreterEnv env,
                         MachineActions& actions)
    : dialect_(dialect), program_(program), env_(std::move(env)), actions_(actions) {}

const ModalState& Interpreter::modal() const {
    static const ModalState none;
    return modal_ ? *modal_ : none;
}

InterpretResult Interpreter::run() {
    InterpretResult result;
    const int32_t lastLine = program_.count() - 1;
    if (lastLine <= 0) return result;  // fewer than two lines: nothing happens at all

    // What the caller left out is kept here.
    ModalDisplay noDisplay;
    ModalDisplay& display = env_.display ? *env_.display : noDisplay;
    StandInModalHooks standIn;
    ModalHooks& library = env_.hooks ? *env_.hooks : standIn;
    InlineMainThread inlineThread;
    MainThread& mainThread = env_.mainThread ? *env_.mainThread : inlineThread;
    StockSpec defaultStock;
    const StockSpec& stock = env_.stock ? *env_.stock : defaultStock;
    ToolPosition localTool;
    if (!env_.tool) localTool.set(dialect_.start);
    ToolPosition& tool = env_.tool ? *env_.tool : localTool;
    Shared<bool> localStop{false}, localMoving{false};
    Shared<bool>& stop = env_.stopRequested ? *env_.stopRequested : localStop;

    StepperEnv senv;
    senv.tool = &tool;
    senv.sink = &actions_;
    senv.input = env_.input;
    senv.stopRequested = &stop;
    senv.moveInProgress = env_.moveInProgress ? env_.moveInProgress : &localMoving;
    senv.rapidStep = env_.rapidStep;
    senv.stepBudget = env_.stepBudget;
    senv.jumpMoves = env_.motion.programmedPath;

    MillMotion motion(senv, env_.motion);
    MotionBoundHooks hooks(library, motion, tool);
    ModalContext mctx{display, hooks, mainThread, env_.warningsTo, stock};
    mctx.rules = dialect_.words;
    mctx.onWarning = [&](int32_t line, const char* text) {
        ++result.warnings;
        actions_.diagnostic(line, 0, text);
    };
    ModalState modal;
    modal_ = &modal;
    auto escape = [this] { return env_.input && env_.input->escape; };
    bool budgetSpent = false;
    bool endRun = false;  // the main program's M99, a stop or a budget: no further pass

    do {
        if (env_.beforePass) env_.beforePass(env_);
        motion.settings() = env_.motion;
        modal.resetForPass();
        ++result.passes;
        result.end = PlayEnd::None;
        actions_.passStarted(result.passes);
        if (dialect_.showsToolAtPassStart)
            display.value(ModalValue::LoadedTool, toolNumberText(hooks.currentToolIndex() + 1));
        // The start line may be stale (the program was shortened since it was chosen).
        int32_t start = dialect_.fromStartBlock ? env_.startLine : 0;
        if (start < 0 || start > lastLine) start = 0;
        ScanState scan;
        scan.labelLetters = dialect_.labelLetters;
        scan.startPass(start);
        BlockQueue queue;
        motion.startPass(tool.get());

        bool endFlag = false;
        int32_t line = 0;
        while (line < lastLine && !stop && !endFlag) {
            if (escape()) break;
            FetchBlock(program_, scan, queue);
            const BlockWords& b = queue.executing();
            line = b.line;
            actions_.blockFetched(line, lastLine);
            if (line >= lastLine) {
                endFlag = true;
                result.end = PlayEnd::EndOfText;
            }
            if (b.count == 0) continue;
            if (b.codes[0] == kCodeSlash && actions_.skipSlashBlocks()) continue;
            if (env_.blockBudget >= 0 && result.blocks >= env_.blockBudget) {
                budgetSpent = true;
                break;
            }

            ++result.blocks;
            motion.beginBlock(line);
            if (env_.switches) mctx.switches = env_.switches();
            ApplyBlock(modal, b, mctx);
            actions_.modalChanged(modal, b);
            for (int i = 0; i < modal.mCodeCount && i < ModalState::kMaxMCodes; ++i) {
                if (hasM(modal, 3, i) || hasM(modal, 4, i)) actions_.onSpindle(modal.spindle);
                if (hasM(modal, 8, i)) actions_.coolant(true);
            }
            motion.executeBlock(modal, queue, line >= lastLine);
            finishBlockSetup(modal);
            result.lastPosition = tool.get();

            for (int i = 0; i < modal.mCodeCount && i < ModalState::kMaxMCodes; ++i) {
                if (hasM(modal, 0, i)) {
                    actions_.programStop(false);
                } else if (hasM(modal, 1, i)) {
                    actions_.programStop(true);
                } else if (hasM(modal, 2, i) || hasM(modal, 30, i)) {
                    endFlag = true;
                    result.end = hasM(modal, 2, i) ? PlayEnd::M02 : PlayEnd::M30;
                } else if (hasM(modal, 5, i)) {
                    modal.spindle = 0;
                    actions_.onSpindle(0);
                } else if (hasM(modal, 9, i)) {
                    actions_.coolant(false);
                }
            }
            if (b.programEnd) {
                endFlag = true;
                endRun = true;
                result.end = PlayEnd::M99;
            }
            actions_.blockEnded(line);
            if (senv.stepBudget == 0) {
                budgetSpent = true;
                break;
            }
        }
        result.cuttingTime = senv.cuttingTime;
        actions_.passEnded(result.passes);
        if (budgetSpent) {
            result.end = PlayEnd::Budget;
            endRun = true;
        } else if (stop || escape()) {
            if (result.end == PlayEnd::None) result.end = PlayEnd::Stop;
            if (stop) endRun = true;
        }
        if (result.end != PlayEnd::None && result.end != PlayEnd::Stop && result.end != PlayEnd::Budget)
            actions_.programEnded(result.end);
    } while (!endRun && !stop && actions_.anotherPass());
    modal_ = nullptr;
    return result;
}

}  // namespace vantrel
