#include "nc/motion_ops.h"

#include <cmath>

namespace vantrel {

void runMove(MotionContext& ctx, const MotionSegment& piece) {
    StepperEnv& env = *ctx.env;
    if (env.sink != nullptr) env.sink->onPiece(piece, ctx.line);
    if (ctx.pathHook != nullptr) {
        bool rapid = piece.moveKind == kMoveRapid;
        if (!rapid || !ctx.pathSkipRapids)
            ctx.pathHook->drawPiece(piece, rapid ? PathStyle::Rapid : PathStyle::Feed);
    }
    runPiece(env, piece, ctx.feedStep);
}

namespace {
MotionSegment straight(int32_t kind, const Vec3& from, const Vec3& to) {
    MotionSegment m;
    m.moveKind = kind;
    m.start = from;
    m.end = to;
    return m;
}
}  // namespace

void runRapid(MotionContext& ctx, const Vec3& from, const Vec3& to) {
    runMove(ctx, straight(kMoveRapid, from, to));
}

void runFeed(MotionContext& ctx, const Vec3& from, const Vec3& to) {
    runMove(ctx, straight(kMoveLine, from, to));
}

void drawOnly(MotionContext& ctx, int32_t kind, const Vec3& from, const Vec3& to) {
    if (ctx.pathHook == nullptr) return;
    if (kind == kMoveRapid && ctx.pathSkipRapids) return;
    ctx.pathHook->drawPiece(straight(kind, from, to),
                            kind == kMoveRapid ? PathStyle::Rapid : PathStyle::Feed);
}

void mirrorPoint(Vec3& p, const std::array<double, 3>& centre, const std::array<bool, 3>& axis) {
    for (int i = 0; i < 3; ++i)
        if (axis[static_cast<size_t>(i)])
            setAxis(p, i, 2.0 * centre[static_cast<size_t>(i)] - axisValue(p, i));
}

void mirrorChain(SegmentChain& chain, const std::array<double, 3>& centre, const std::array<bool, 3>& axis) {
    for (int i = 0; i <= chain.count; ++i) mirrorPoint(chain.points[static_cast<size_t>(i)], centre, axis);
    for (int i = 0; i < chain.count; ++i) {
        MotionSegment& p = chain.pieces[static_cast<size_t>(i)];
        p.start = chain.points[static_cast<size_t>(i)];
        p.end = chain.points[static_cast<size_t>(i + 1)];
        mirrorPoint(p.centre, centre, axis);
        PlaneAxes ax = planeAxes(p.plane);
        bool flips = axis[static_cast<size_t>(ax.a)] != axis[static_cast<size_t>(ax.b)];
        if (flips && p.moveKind == kMoveArcCW)
            p.moveKind = kMoveArcCCW;
        else if (flips && p.moveKind == kMoveArcCCW)
            p.moveKind = kMoveArcCW;
    }
}

void rotatePoint(Vec3& p, int32_t plane, const std::array<double, 3>& centre, double angle) {
    // (first, second) of the rotation: XY (X, Y), ZX (X, Z), YZ (Y, Z).
    int a = 0, b = 1;
    if (plane == kPlaneZX) {
        a = 0;
        b = 2;
    } else if (plane == kPlaneYZ) {
        a = 1;
        b = 2;
    }
    const double c = std::cos(angle), s = std::sin(angle);
    const double ca = centre[static_cast<size_t>(a)], cb = centre[static_cast<size_t>(b)];
    const double da = axisValue(p, a) - ca, db = axisValue(p, b) - cb;
    setAxis(p, a, ca + da * c - db * s);
    setAxis(p, b, cb + da * s + db * c);
}

void rotateChain(SegmentChain& chain, int32_t plane, const std::array<double, 3>& centre, double angle) {
    if (!std::isfinite(angle)) return;
    for (int i = 0; i <= chain.count; ++i)
        rotatePoint(chain.points[static_cast<size_t>(i)], plane, centre, angle);
    for (int i = 0; i < chain.count; ++i) {
        MotionSegment& p = chain.pieces[static_cast<size_t>(i)];
        p.start = chain.points[static_cast<size_t>(i)];
        p.end = chain.points[static_cast<size_t>(i + 1)];
        rotatePoint(p.centre, plane, centre, angle);
    }
}

void runFullCircleCut(MotionContext& ctx, bool clockwise, int32_t plane, double radius, const Vec3& at) {
    const int32_t kind = clockwise ? kMoveArcCW : kMoveArcCCW;
    const Vec3 rim{at.x + radius, at.y, at.z};
    const Vec3 half{at.x + radius / 2, at.y, at.z};
    MotionSegment m;
    m.moveKind = kind;
    m.plane = plane;
    // In on a half circle, round once, out on a half circle.
    m.start = at;
    m.end = rim;
    m.centre = half;
    m.radius = radius / 2;
    runMove(ctx, m);
    if (ctx.env->abandoned()) return;
    m.start = rim;
    m.end = rim;
    m.centre = at;
    m.radius = radius;
    runMove(ctx, m);
    if (ctx.env->abandoned()) return;
    m.start = rim;
    m.end = at;
    m.centre = half;
    m.radius = radius / 2;
    runMove(ctx, m);
}

Vec3 runReferenceReturn(MotionContext& ctx, const Vec3& current, const Vec3& intermediate,
                        const std::array<bool, 3>& axisGiven, const Vec3& reference) {
    Vec3 end = intermediate;
    for (int i = 0; i < 3; ++i)
        if (axisGiven[static_cast<size_t>(i)]) setAxis(end, i, axisValue(reference, i));
    runRapid(ctx, current, intermediate);
    runRapid(ctx, intermediate, end);
    return end;
}

Vec3 RunOutNurbs(MotionContext& ctx, const std::vector<Vec3>& points, const Vec3& current) {
    Vec3 at = current;
    for (const Vec3& p : points) {
        if (ctx.env->abandoned()) break;
        runFeed(ctx, at, p);
        at = p;
    }
    return at;
}

}  // namespace vantrel
