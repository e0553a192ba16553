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
#include <vector>

#include "core/vec3.h"
#include "nc/block_scanner.h"
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
    int32_t code = 0;  // 70 .. 76
    const ModalState* modal = nullptr;
    const BlockWords* block = nullptr;
    const TQuonStrings* program = nullptr;  // the program (finishing shapes are named by sequence numbers)
    Vec3 current;                           // where the tool stands (signed radius, Y, Z)
    TurningProgramming programming;
};

// The pieces a multiple repetitive cycle runs, in order (rapids and feeds, ZX plane). Today the cycles
// are recorded only and make no move: the list is empty.
std::vector<MotionSegment> expandRepetitiveCycle(const RepetitiveCycleRequest& request);

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

  private:
    MotionContext context(const ModalState& modal, int32_t line);
    void runBoxCycle(ModalState& modal, MotionContext& ctx);
    void runPieces(MotionContext& ctx, const std::vector<MotionSegment>& pieces);

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
};

}  // namespace vantrel
