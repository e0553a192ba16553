#pragma once
// The movement of one executed block on the milling machines (and the wire EDM): programmed segment,
// look-ahead for the compensation, compensation chain, mirror, rotation and the steppers; canned
// cycles, G12 / G13, G28 and the G06.2 run-out.
//
// Usage, per pass (on the playback thread):
//   MillMotion motion(env, settings);
//   motion.startPass(toolPosition.get());
//   ... for each executing block b:  ApplyBlock(modal, b, ...);
//       motion.executeBlock(modal, queue, b.line >= lastLine);
//       finishBlockSetup(modal);
// The ModalHooks of the play call motion.runOutNurbs(modal) and motion.toolChangedTo(z).
#include <cstdint>

#include "nc/block_scanner.h"
#include "nc/canned_cycles.h"
#include "nc/modal_state.h"
#include "nc/motion_ops.h"

namespace vantrel {

struct MillMotionSettings {
    PathDrawHook* pathHook = nullptr;  // path drawing during play ("再生時補間経路描画"), null when off
    bool pathSkipRapids = false;       // "補間経路描画時Ｇ００無視"
    bool arcJoin = true;               // compensation corner join: "円弧" (true) or "線分"
    bool stepPlay = false;             // mill step play: canned cycles drill without pecks
    // The programmed path (the path display): compensation is not applied and moves are not stepped.
    bool programmedPath = false;
    Vec3 referencePoint{0, 0, 500};  // machine reference point
    double totalLength = 0;          // of the tool in the spindle (G28 Z goes to reference Z minus it)
};

// The next programmed segment seen from the executing block, from the queue's entries 3 .. 0.
// Blocks that do not move in the active plane (plunges) are passed over; a block that cancels the
// compensation, starts a canned cycle or has no such block in reach gives a rapid (no corner join).
MotionSegment lookAheadSegment(const ModalState& modal, const BlockQueue& queue, const Vec3& from);

// The block's programmed segment from `current` (target, arc centre and radius, turns).
MotionSegment programmedSegment(const ModalState& modal, const Vec3& current);

class MillMotion {
  public:
    MillMotion(StepperEnv& env, const MillMotionSettings& settings) : env_(env), settings_(settings) {}

    // Start of a pass: the interpreter's positions come from the tool position; the cutting time
    // starts at 0; the canned-cycle R point and bottom are unset until a cycle block gives them.
    void startPass(const Vec3& toolPosition);

    // The movement of the executing block (entry 4), after ApplyBlock. `onLastLine` is true when the
    // block stands on the program's last line (no corner join then).
    void executeBlock(ModalState& modal, const BlockQueue& queue, bool onLastLine);

    // The G06.2 run-out (called through the modal hooks when G06.2 mode ends).
    void runOutNurbs(ModalState& modal);

    // The source line of the block about to be applied (reported with a G06.2 run-out it causes).
    void beginBlock(int32_t line) { line_ = line; }

    // After a tool change took Z to the tool-change height.
    void toolChangedTo(double z);

    MillMotionSettings& settings() { return settings_; }
    const Vec3& current() const { return current_; }
    const Vec3& chainEnd() const { return chainEnd_; }
    double cuttingTime() const { return env_.cuttingTime; }

  private:
    MotionContext context(const ModalState& modal, int32_t line);
    void runCycle(ModalState& modal, MotionContext& ctx);

    StepperEnv& env_;
    MillMotionSettings settings_;
    Vec3 current_;   // programmed end point of the last move (uncompensated)
    Vec3 chainEnd_;  // last point of the last compensation chain (before mirror and rotation)
    Vec3 lastOut_;   // where the last move left the tool (after mirror and rotation)
    CannedCycleLevels levels_;
    int32_t line_ = 0;
};

}  // namespace vantrel
