#pragma once
// The turning dialect: how the NC lathe and the vertical lathe read their words, and the movement of
// a block on them. The interpreter (nc/interpreter.h) runs the same pass loop for every machine; with
// a turning dialect ApplyBlock takes the words through the functions below and the block's movement
// runs through TurningMotion instead of the milling one.
//
// What differs from the mills:
// - X and U are divided by the diameter divisor (2 for diameter programming, 1 for radius
//   programming, negated by the X-axis reversal), so everything below the words works with the signed
//   radius. U, W and V are the incremental X, Z and Y; there is no G90 / G91 state (G90 is a cycle).
// - G90 / G92 (box cycle along Z) and G94 (along X) are motion codes of their own, with the taper in
//   I (radius) or K; G32 is a straight feed; G98 / G99 are feed per minute / per revolution; G96 / G97
//   constant surface speed on / off. Drilling cycles (G80..G89) are recorded and make no move; G04,
//   G12, G13, G29, G53 make no move; G50.1, G51.1, G68, G69 have no effect; G70..G76 are recorded and
//   handed to expandRepetitiveCycle (the one place a multiple repetitive cycle becomes moves).
// - A T word selects and loads the tool at once (no M06); its nose radius is the compensation radius,
//   and under compensation the path is moved from the nose centre to the imaginary tool tip.
// - F without a decimal point counts in thousandths of a millimetre per revolution under G99.
#include <cstdint>
#include <string>
#include <vector>

#include "core/vec3.h"
#include "nc/block_scanner.h"
#include "nc/lathe_cycles.h"
#include "nc/modal_display.h"
#include "nc/modal_state.h"
#include "nc/motion_block.h"
#include "nc/motion_ops.h"
#include "nc/turning_programming.h"

namespace vantrel {

class ModalHooks;
class TQuonStrings;
struct ModalContext;

// motion values of the turning dialect beyond G00..G03.
inline constexpr int32_t kTurnThread = 32;     // G32
inline constexpr int32_t kTurnBoxZ = 90;       // G90 turning cycle
inline constexpr int32_t kTurnThreadBox = 92;  // G92 threading cycle
inline constexpr int32_t kTurnBoxX = 94;       // G94 facing cycle

// The constant surface speed ceiling (G96 never turns faster).
inline constexpr double kMaxTurningSpeed = 99999;

// The modal state and the labels at the start of a pass: G18, G99 (feed per revolution), G96.
void startTurningPass(ModalState& m, ModalDisplay& display);

// The word handling of the turning dialect (ApplyBlock calls these for the G, F and T words).
void applyTurningG(ModalState& m, double g, ModalDisplay& display);
void applyTurningF(ModalState& m, double value, ModalContext& ctx);
void applyTurningT(ModalState& m, double tWord, int32_t tFormat, ModalContext& ctx);

// The spindle speed in force at radius `x`: under G97 (speedMode 1) the S value; under G96 the speed
// that gives S metres a minute at that radius, at most kMaxTurningSpeed (a radius at or below 0 counts
// as a micrometre, so the axis asks for the ceiling).
double turningSpindleSpeed(int32_t speedMode, double s, double x);

// The feed the labels show while the tool moves: per minute under G99 (speed x feed, truncated), per
// revolution under G98 (feed / speed). A spindle standing still shows 0 rather than dividing by it.
double turningFeedPerMinute(double feed, double speed);
double turningFeedPerRev(double feed, double speed);

// A G70..G76 block: everything a multiple repetitive cycle needs to become moves.
struct RepetitiveCycleRequest {
    const ModalState* modal = nullptr;
    const BlockWords* block = nullptr;
    const TQuonStrings* program = nullptr;  // the program (finishing shapes are named by sequence numbers)
    Vec3 current;                           // where the tool stands (signed radius, Y, Z)
    TurningProgramming programming;
    bool compensationActive = false;        // G41 / G42 in force (the roughing runs without it)
    lathe::mrc::MrcModal* store = nullptr;  // the pass's cycle store, written by the first blocks
};

// What the block does: the pieces to run in order (ZX plane, at the tool's Y), or an alarm that stops
// the play before any of them, or (G70) the finished shape's lines to run as ordinary blocks.
struct RepetitiveCycleRun {
    std::vector<MotionSegment> pieces;
    lathe::mrc::CycleResult::Action action = lathe::mrc::CycleResult::Action::Store;
    lathe::mrc::CycleAlarm alarm;
    std::vector<lathe::mrc::CycleWarning> warnings;
    int32_t nextLine = -1;  // where the play continues; -1: the next line
    int32_t finishFrom = -1, finishTo = -1;
};

// The one place a multiple repetitive cycle becomes moves: the expansions of nc/lathe_cycles.h with
// the interpreter's coordinates and move kinds.
RepetitiveCycleRun expandRepetitiveCycle(const RepetitiveCycleRequest& request);

// A cycle alarm that stopped the play.
struct TurningAlarm {
    int32_t line = -1;  // -1: none
    std::string text;
};

// The movement of one executed block on a lathe.
class TurningMotion {
  public:
    TurningMotion(StepperEnv& env, const MillMotionSettings& settings, const TurningProgramming& programming,
                  const TQuonStrings* program)
        : env_(env), settings_(settings), programming_(programming), program_(program) {}

    void startPass(const Vec3& toolPosition);

    // The movement of the executing block after ApplyBlock; `hooks` gives the working tool's tip
    // position and nose radius for the tip shift under compensation.
    void executeBlock(ModalState& modal, const BlockQueue& queue, bool onLastLine, const ModalHooks& hooks);

    MillMotionSettings& settings() { return settings_; }
    const Vec3& current() const { return current_; }

    // After executeBlock: where the play continues when a cycle sends it elsewhere than the next line
    // (true once, with the line and the subprogram calls to resume with).
    bool takeRedirect(int32_t& line, SubprogramStack& stack);
    // G70 plays its shape and the block about to run lies past the shape's last line (that line was
    // skipped): finishShape goes back to the start point and asks for the redirect after G70.
    bool finishingPast(int32_t line) const;
    void finishShape(ModalState& modal);
    // A cycle that could not run stopped the play at this block (line -1: none).
    const TurningAlarm& alarm() const { return alarm_; }
    // Warnings of the latest cycle block, taken by the interpreter to report them.
    std::vector<lathe::mrc::CycleWarning> takeWarnings() { return std::move(warnings_); }

  private:
    MotionContext context(const ModalState& modal, int32_t line);
    void runBoxCycle(ModalState& modal, MotionContext& ctx);
    void runPieces(MotionContext& ctx, const std::vector<MotionSegment>& pieces);
    void runBlockMovement(ModalState& modal, const BlockQueue& queue, bool onLastLine,
                          const ModalHooks& hooks);
    void runRepetitiveCycle(ModalState& modal, const BlockWords& block, MotionContext& ctx);

    StepperEnv& env_;
    MillMotionSettings settings_;
    TurningProgramming programming_;
    const TQuonStrings* program_;
    Vec3 current_;   // programmed end point of the last move (nose centre, uncompensated)
    Vec3 chainEnd_;  // last point of the last compensation chain
    Vec3 lastOut_;   // where the last move left the tool
    // The target of the last box cycle: a following block that names only one axis keeps the other.
    bool boxGiven_ = false;
    Vec3 boxTarget_;
    // The multiple repetitive cycles: the store of their first blocks, a G70 running its shape (back to
    // its start point after the shape's last line, then on after the G70 block), the redirect asked for.
    lathe::mrc::MrcModal cycleStore_;
    bool finishing_ = false;
    int32_t finishLast_ = -1, finishReturn_ = -1;
    Vec3 finishStart_;
    SubprogramStack finishStack_{};
    bool redirect_ = false;
    int32_t redirectLine_ = -1;
    SubprogramStack redirectStack_{};
    TurningAlarm alarm_;
    std::vector<lathe::mrc::CycleWarning> warnings_;
};

}  // namespace vantrel
