#pragma once
// Movements built from the steppers: running a block's chain (with path drawing), programmable mirror
// and rotation of a chain, full-circle cutting (G12 / G13), reference point return (G28) and the run-out
// of collected G06.2 points.
#include <array>
#include <vector>

#include "nc/cutter_comp.h"
#include "nc/motion.h"

namespace vantrel {

// The per-block settings of the moves the interpreter runs.
struct MotionContext {
    StepperEnv* env = nullptr;
    int32_t line = 0;                  // source line of the block (reported with every piece)
    PathDrawHook* pathHook = nullptr;  // set while path drawing during play is on
    bool pathSkipRapids = false;       // rapids are not drawn ("補間経路描画時Ｇ００無視")
    double feedStep = 1.0;             // step of feed moves (stepLength)
};

// Reports the piece, draws it when path drawing is on, and runs it through its stepper.
void runMove(MotionContext& ctx, const MotionSegment& piece);
// Shorthands for straight moves.
void runRapid(MotionContext& ctx, const Vec3& from, const Vec3& to);
void runFeed(MotionContext& ctx, const Vec3& from, const Vec3& to);
// Draws a straight piece without running it (canned-cycle previews).
void drawOnly(MotionContext& ctx, int32_t kind, const Vec3& from, const Vec3& to);

// Programmable mirror: each mirrored axis's coordinates c become 2 * centre - c, so G51.1 X10. maps
// X15 to X5. An arc piece changes direction when exactly one axis of its plane is mirrored.
void mirrorChain(SegmentChain& chain, const std::array<double, 3>& centre, const std::array<bool, 3>& axis);
void mirrorPoint(Vec3& p, const std::array<double, 3>& centre, const std::array<bool, 3>& axis);

// Coordinate rotation by `angle` (radians) about `centre` in one plane: XY rotates (X, Y), ZX rotates
// (X, Z) and YZ rotates (Y, Z).
void rotateChain(SegmentChain& chain, int32_t plane, const std::array<double, 3>& centre, double angle);
void rotatePoint(Vec3& p, int32_t plane, const std::array<double, 3>& centre, double angle);

// G12 (clockwise) / G13 (counter-clockwise) with the tool at the circle's centre `at` and radius
// `radius` (the I word): in and out on half circles of radius I/2, one full circle of radius I. The
// points are offset along X in every plane. A radius not above 0 makes straight moves only.
void runFullCircleCut(MotionContext& ctx, bool clockwise, int32_t plane, double radius, const Vec3& at);

// G28: rapid from `current` to `intermediate`, then each axis named in the block to the reference
// point (`reference`), the others staying. Returns the new position.
Vec3 runReferenceReturn(MotionContext& ctx, const Vec3& current, const Vec3& intermediate,
                        const std::array<bool, 3>& axisGiven, const Vec3& reference);

// Visits the collected G06.2 control points in order with feed moves; returns the last point (or
// `current` when there are none).
Vec3 RunOutNurbs(MotionContext& ctx, const std::vector<Vec3>& points, const Vec3& current);

}  // namespace vantrel
