#include "nc/canned_cycles.h"

#include <cmath>

namespace vantrel {

namespace {

// Retract of a G73 peck (mm).
constexpr double kPeckRetract = 0.2;

void setSpindle(MotionContext& ctx, Shared<int32_t>* spindle, int32_t state) {
    if (spindle != nullptr) spindle->store(state);
    if (ctx.env->sink != nullptr) ctx.env->sink->onSpindle(state);
}

}  // namespace

Vec3 runCannedCycle(MotionContext& ctx, const CannedCycleRequest& rq, const Vec3& current,
                    Shared<int32_t>* spindle) {
    StepperEnv& env = *ctx.env;
    const double initialZ = current.z;
    const Vec3 aboveHole{rq.holeX, rq.holeY, initialZ};
    const Vec3 atR{rq.holeX, rq.holeY, rq.rPointZ};
    const Vec3 atBottom{rq.holeX, rq.holeY, rq.bottomZ};
    const bool tapping = rq.cycle == 74 || rq.cycle == 84;
    const bool pecking = rq.cycle == 73 || rq.cycle == 83;

    // The preview: dotted to the hole and down to the R point, solid down to the bottom.
    drawOnly(ctx, kMoveRapid, current, aboveHole);
    drawOnly(ctx, kMoveRapid, aboveHole, atR);
    drawOnly(ctx, kMoveLine, atR, atBottom);
    // The moves themselves are not drawn again.
    PathDrawHook* hook = ctx.pathHook;
    ctx.pathHook = nullptr;

    Vec3 at = current;
    if (rq.repeats <= 0) {
        ctx.pathHook = hook;
        return Vec3{rq.holeX, rq.holeY, initialZ};  // L0: the hole is taken but not drilled
    }
    const int32_t repeats = rq.repeats;
    for (int32_t rep = 0; rep < repeats && !env.abandoned(); ++rep) {
        runRapid(ctx, at, aboveHole);
        if (tapping) setSpindle(ctx, spindle, rq.cycle == 84 ? 1 : 2);
        runRapid(ctx, aboveHole, atR);
        at = atR;
        if (pecking) {
            double peckZ = rq.stepPlay ? rq.bottomZ : rq.rPointZ;
            const double q = rq.peck;
            // Without a positive Q the loop condition never fails: no pecks then, one feed.
            if (std::isfinite(q) && q > 0) {
                while (peckZ - q > rq.bottomZ && !env.abandoned()) {
                    const Vec3 reached{rq.holeX, rq.holeY, peckZ - q};
                    runFeed(ctx, at, reached);
                    if (rq.cycle == 73) {
                        const Vec3 up{rq.holeX, rq.holeY, reached.z + kPeckRetract};
                        runRapid(ctx, reached, up);
                        runFeed(ctx, up, reached);
                    } else {
                        runRapid(ctx, reached, atR);
                        runRapid(ctx, atR, reached);
                    }
                    at = reached;
                    peckZ -= q;
                }
            }
            at = Vec3{rq.holeX, rq.holeY, peckZ};
            runFeed(ctx, at, atBottom);
        } else {
            runFeed(ctx, at, atBottom);
        }
        at = atBottom;
        if (tapping) {
            setSpindle(ctx, spindle, rq.cycle == 84 ? 2 : 1);
            runFeed(ctx, atBottom, atR);
            setSpindle(ctx, spindle, 0);
            at = atR;
            if (!rq.returnToR) {
                runRapid(ctx, atR, aboveHole);
                at = aboveHole;
            }
        } else if (rq.returnToR) {
            runRapid(ctx, atBottom, atR);
            at = atR;
        } else {
            runRapid(ctx, atBottom, aboveHole);
            at = aboveHole;
        }
    }
    if (tapping && spindle != nullptr && spindle->load() != 0) setSpindle(ctx, spindle, 0);
    ctx.pathHook = hook;
    return Vec3{rq.holeX, rq.holeY, rq.returnToR ? rq.rPointZ : initialZ};
}

}  // namespace vantrel
