#pragma once
// Canned drilling cycles: G73 and G83 peck drilling, G74 and G84 tapping, G76 and G81 to G89 plain
// drilling, each with the G98 (initial level) or G99 (R point) return. The hole is neither compensated
// nor mirrored nor rotated.
#include <cstdint>

#include "core/shared_value.h"
#include "nc/motion_ops.h"

namespace vantrel {

struct CannedCycleRequest {
    int32_t cycle = 81;  // 73, 74, 76, 81 .. 89
    double holeX = 0;    // hole position
    double holeY = 0;
    double bottomZ = 0;      // Z of the hole bottom
    double rPointZ = 0;      // Z of the R point
    double peck = 0;         // Q: depth of one peck (G73, G83); not above 0 means no pecks
    int32_t repeats = 1;     // L: the same hole is drilled this many times
    bool returnToR = false;  // G99 (true) or G98
    bool stepPlay = false;   // mill step play: pecks are not shown, one feed to the bottom
};

// Drills the hole from `current` (its Z is the initial level) and returns the new position: the hole's
// X and Y, and Z at the R point (G99) or the initial level (G98). `spindle` (may be null) follows the
// tapping cycles' spindle changes, which the sink also hears.
Vec3 runCannedCycle(MotionContext& ctx, const CannedCycleRequest& rq, const Vec3& current,
                    Shared<int32_t>* spindle);

// The R point and the bottom of the canned cycles persist between blocks of a pass (a block without R
// or Z keeps them). Until a block of the pass gives one, it is the Z the tool stands at when the cycle
// starts (the initial level), so a cycle without R drills from where the tool is instead of from a
// level left over from somewhere else.
struct CannedCycleLevels {
    double rPointZ = 0;
    double bottomZ = 0;
    bool rGiven = false;
    bool bottomGiven = false;
    void startPass() { rGiven = bottomGiven = false; }
    double rPoint(double currentZ) const { return rGiven ? rPointZ : currentZ; }
    double bottom(double currentZ) const { return bottomGiven ? bottomZ : currentZ; }
};

}  // namespace vantrel
