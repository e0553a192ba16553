#pragma once
// The interpreter: the one pass loop over a program. Everything that runs a program (the play in the
// window, the headless play, the trace command, the stock fit, the fuzz target, the benchmarks) runs
// this loop and learns what the machine does through MachineActions; none of them reads G-code itself.
//
// One pass: fetch the next block (the scanner performs M98 / M99 while it reads), skip it when it is
// empty or a "/" block with block skip on, apply its words to the modal state, run its movement, then
// the flow: M00 / M01 stops (answered by the consumer), M02 / M30 / M99 / the end of the text. Endless
// play runs further passes while the consumer asks for them.
//
// Usage:
//   Interpreter interp(Dialect::forMachine(kind), program, env, actions);
//   InterpretResult r = interp.run();
#include <cstdint>
#include <functional>
#include <string>

#include "core/machine_kind.h"
#include "nc/apply_block.h"
#include "nc/block_scanner.h"
#include "nc/modal_display.h"
#include "nc/modal_hooks.h"
#include "nc/motion.h"
#include "nc/motion_block.h"
#include "nc/turning_programming.h"

namespace vantrel {

class MainThread;
class TQuonStrings;
struct InputState;
struct ModalState;
struct StockSpec;

// The dialect a program is read in: which letters mark a subprogram label, where the tool starts and
// where the machine's reference point is, where a pass starts and what the words do. The mill dialect
// serves the mills; the turning dialect the NC lathe and the vertical lathe (nc/turning.h: X in
// diameter or radius, U / W / V, box cycles, T loading at once); the wire EDM reads the milling code
// without the spindle, the tool changer and the helical G2.1 / G3.1, and takes its wire offsets from
// the milling tool store.
struct Dialect {
    MachineFamily family = MachineFamily::Milling;
    LabelLetters labelLetters = LabelLetters::NAndO;
    Vec3 start{0, 0, 435};
    Vec3 reference{0, 0, 500};
    bool fromStartBlock = true;         // a pass starts at the chosen start block; false: at line 0
    bool showsToolAtPassStart = false;  // the selected tool is shown as the loaded one at each pass
    WordRules words;

    static Dialect mill(MachineKind kind);
    static Dialect turning(MachineKind kind, const TurningProgramming& programming = {});
    static Dialect wire();
    // The machine's own dialect; `lathe` is used by the lathes only.
    static Dialect forMachine(MachineKind kind, const TurningProgramming& lathe = {}) {
        return isWire(kind) ? wire() : (isTurning(kind) ? turning(kind, lathe) : mill(kind));
    }
};

// How a run ended (its last pass).
enum class PlayEnd { None, M02, M30, EndOfText, M99, Stop, Budget, Alarm };
// "m02", "m30", "end_of_text", "m99", "stop", "budget", "alarm"
const char* playEndName(PlayEnd end);

struct InterpretResult {
    int64_t blocks = 0;  // blocks executed (all passes)
    PlayEnd end = PlayEnd::None;
    Vec3 lastPosition;       // after the last move
    double cuttingTime = 0;  // minutes, of the last pass
    int32_t passes = 0;
    int64_t warnings = 0;  // warnings raised (all passes), with warnings on
    // PlayEnd::Alarm: the block that could not run and why (Japanese, naming the block).
    int32_t alarmLine = -1;
    std::string alarm;
};

// What the machine does, as the interpreter runs the program. The moves (pieces, steps, move ends,
// cutting time) come through the MotionSink part; the rest is here. Every method has an empty default.
class MachineActions : public MotionSink {
  public:
    // A pass begins (1 for the first) / has ended.
    virtual void passStarted(int32_t /*pass*/) {}
    virtual void passEnded(int32_t /*pass*/) {}
    // A block was fetched for execution (empty blocks and skipped ones too; the window shows where the
    // play stands); `lastLine` is the program's last line.
    virtual void blockFetched(int32_t /*line*/, int32_t /*lastLine*/) {}
    // The words of the block were applied: the modal state is the one in force for its movement.
    virtual void modalChanged(const ModalState& /*modal*/, const BlockWords& /*block*/) {}
    // Coolant on (M08) or off (M09).
    virtual void coolant(bool /*on*/) {}
    // M00 (optional false) or M01 (true) after the block's movement. The consumer decides whether the
    // machine stops there, and returns when the stop is answered.
    virtual void programStop(bool /*optional*/) {}
    // The block is done (movement and flow); the consumer may hold the play here (single block).
    virtual void blockEnded(int32_t /*line*/) {}
    // The program ended this pass.
    virtual void programEnded(PlayEnd /*end*/) {}
    // Asked after a pass that ended on its own: true runs another one (endless play).
    virtual bool anotherPass() { return false; }
    // A warning or error about the program, at a line (and a column, 0 when it concerns the whole line).
    virtual void diagnostic(int32_t /*line*/, int32_t /*column*/, const std::string& /*text*/) {}
    // A block could not run (a lathe cycle's alarm): the play stops there, before any of its moves.
    virtual void alarm(int32_t /*line*/, const std::string& /*text*/) {}
    // Asked for every "/" block: true skips it.
    virtual bool skipSlashBlocks() { return false; }
};

// What the interpreter runs against. Pointers left null are not used.
struct InterpreterEnv {
    ModalDisplay* display = nullptr;  // what is shown of the modal state
    // The Play menu's switches, read before every block (they may change during a play); unset: all off.
    std::function<ModalSwitches()> switches;
    ModalHooks* hooks = nullptr;  // the tool library; null: a stand-in list
    MainThread* mainThread = nullptr;
    TQuonStrings* warningsTo = nullptr;  // where warnings are written; null: never
    const StockSpec* stock = nullptr;
    ToolPosition* tool = nullptr;  // the shared tool position; null: the dialect's start, kept here
    const InputState* input = nullptr;
    Shared<bool>* stopRequested = nullptr;
    Shared<bool>* moveInProgress = nullptr;
    MillMotionSettings motion;
    double rapidStep = 10;
    int32_t startLine = 0;
    // Bounds on the work of a run; negative: none. Reaching one ends the run with PlayEnd::Budget.
    int64_t stepBudget = -1;
    int64_t blockBudget = -1;
    // Called at the start of every pass (the switches of the window may have changed in between).
    std::function<void(InterpreterEnv&)> beforePass;
};

class Interpreter {
  public:
    Interpreter(const Dialect& dialect, const TQuonStrings& program, InterpreterEnv env,
                MachineActions& actions);

    InterpretResult run();

    // The modal state of the pass in progress (for the consumers' hooks that run during it).
    const ModalState& modal() const;

  private:
    Dialect dialect_;
    const TQuonStrings& program_;
    InterpreterEnv env_;
    MachineActions& actions_;
    const ModalState* modal_ = nullptr;
};

}  // namespace vantrel
