#include "nc/motion_block.h"

#include <algorithm>
#include <cmath>

#include "core/rounding.h"

namespace vantrel {

namespace {

// Highest canned-cycle repeat count honoured; an L beyond it is a typo rather than a plan.
constexpr int32_t kMaxRepeats = 9999;

bool near(double g, double code) {
    return std::fabs(g - code) < 0.001;
}

struct WordSet {
    bool x = false, y = false, z = false, i = false, j = false, k = false, r = false, p = false;
    double X = 0, Y = 0, Z = 0, I = 0, J = 0, K = 0, R = 0, P = 0;
    bool anyAxis() const { return x || y || z || i || j || k; }
};

bool isArc(int32_t kind) {
    return kind == kMoveArcCW || kind == kMoveArcCCW;
}

// Target, centre and radius from axis and arc words, shared by the executing block and the look-ahead.
MotionSegment buildSegment(int32_t motion, int32_t plane, bool incremental, const WordSet& w,
                           const Vec3& from) {
    MotionSegment s;
    s.moveKind = motion;
    s.plane = plane;
    s.start = from;
    s.end = from;
    if (w.x) s.end.x = incremental ? from.x + w.X : w.X;
    if (w.y) s.end.y = incremental ? from.y + w.Y : w.Y;
    if (w.z) s.end.z = incremental ? from.z + w.Z : w.Z;
    s.turns = w.p ? w.P : 0;
    if (!isArc(motion)) return s;
    if (w.r) {
        s.centre = ArcCentreFromRadius(plane, motion, w.R, s.end, from);
        s.radius = std::fabs(w.R);
        // R shorter than half the chord: the centre is the chord's midpoint, and the arc runs through
        // both ends only with the radius that reaches them.
        double reach = planeDistance(plane, s.end, s.centre);
        if (s.radius < reach) s.radius = reach;
    } else {
        // I, J, K are relative to the start, also under G90.
        s.centre = from;
        if (w.i) s.centre.x += w.I;
        if (w.j) s.centre.y += w.J;
        if (w.k) s.centre.z += w.K;
        s.radius = planeDistance(plane, s.end, s.centre);
    }
    return s;
}

}  // namespace

MotionSegment programmedSegment(const ModalState& m, const Vec3& current) {
    WordSet w;
    w.x = m.seen.x;
    w.y = m.seen.y;
    w.z = m.seen.z;
    w.i = m.seen.i;
    w.j = m.seen.j;
    w.k = m.seen.k;
    w.r = m.seen.r;
    w.p = m.seen.p;
    w.X = m.reg('X');
    w.Y = m.reg('Y');
    w.Z = m.reg('Z');
    w.I = m.reg('I');
    w.J = m.reg('J');
    w.K = m.reg('K');
    w.R = m.reg('R');
    w.P = m.reg('P');
    return buildSegment(m.motion, m.plane, m.incremental != 0, w, current);
}

MotionSegment lookAheadSegment(const ModalState& m, const BlockQueue& queue, const Vec3& from) {
    int32_t motion = m.motion, plane = m.plane, comp = m.radiusComp, cycle = m.cycle;
    bool incremental = m.incremental != 0;
    const MotionSegment none{};
    for (int entry = 3; entry >= 0; --entry) {
        const BlockWords& b = queue[entry];
        if (b.count <= 0) continue;
        WordSet w;
        bool oneShot = false;
        for (int i = 0; i < b.count && i < BlockWords::kMaxWords; ++i) {
            const double v = b.values[static_cast<size_t>(i)];
            switch (b.codes[static_cast<size_t>(i)]) {
                case kCodeG:
                    if (v == 0 || v == 1 || v == 2 || v == 3) {
                        motion = static_cast<int32_t>(v);
                        cycle = 80;
                    } else if (near(v, 2.1) || near(v, 3.1)) {
                        motion = v < 2.5 ? 2 : 3;
                        cycle = 80;
                    } else if (v == 17 || v == 18 || v == 19) {
                        plane = static_cast<int32_t>(v) - 17;
                    } else if (v == 40) {
                        comp = 0;
                    } else if (v == 41 || v == 42) {
                        if (comp == 0) comp = v == 41 ? 3 : 4;
                    } else if (v == 90 || v == 91) {
                        incremental = v == 91;
                    } else if (v == 80) {
                        cycle = 80;
                    } else if (v == 73 || v == 74 || v == 76 || (v >= 81 && v <= 89 && v == std::floor(v))) {
                        cycle = static_cast<int32_t>(v);
                    } else if (v == 4 || v == 12 || v == 13 || v == 28 || v == 29 || v == 53 || v == 92 ||
                               near(v, 6.2) || near(v, 51.1) || v == 68) {
                        oneShot = true;
                    }
                    break;
                case kCodeX:
                    w.x = true;
                    w.X = v;
                    break;
                case kCodeY:
                    w.y = true;
                    w.Y = v;
                    break;
                case kCodeZ:
                    w.z = true;
                    w.Z = v;
                    break;
                case kCodeI:
                    w.i = true;
                    w.I = v;
                    break;
                case kCodeJ:
                    w.j = true;
                    w.J = v;
                    break;
                case kCodeK:
                    w.k = true;
                    w.K = v;
                    break;
                case kCodeR:
                    w.r = true;
                    w.R = v;
                    break;
                default:
                    break;
            }
        }
        if (!w.anyAxis()) continue;
        // Corners join only feed moves that stay under compensation.
        if (oneShot || comp == 0 || cycle != 80 || motion < 1 || motion > 3) return none;
        MotionSegment s = buildSegment(motion, plane, incremental, w, from);
        if (!hasPlaneLength(s)) continue;  // a plunge: look past it
        return s;
    }
    return none;
}

void MillMotion::startPass(const Vec3& toolPosition) {
    current_ = toolPosition;
    chainEnd_ = toolPosition;
    lastOut_ = toolPosition;
    levels_.startPass();
    env_.cuttingTime = 0;
}

MotionContext MillMotion::context(const ModalState& m, int32_t line) {
    MotionContext ctx;
    ctx.env = &env_;
    ctx.line = line;
    ctx.pathHook = settings_.pathHook;
    ctx.pathSkipRapids = settings_.pathSkipRapids;
    ctx.feedStep = m.stepLength;
    env_.feed.feedMode = m.feedMode;
    env_.feed.feedPerMinute = m.feedPerMinute;
    env_.feed.revolutionFeed = static_cast<double>(m.spindleSpeed.load()) * m.feedPerRev;
    return ctx;
}

void MillMotion::executeBlock(ModalState& m, const BlockQueue& queue, bool onLastLine) {
    const BlockWords& b = queue.executing();
    line_ = b.line;
    const bool axisWords = m.seen.x || m.seen.y || m.seen.z || m.seen.i || m.seen.j || m.seen.k;
    if (!axisWords || m.blockMakesNoMove() || m.nurbsState != ModeSetup::Off) return;
    MotionContext ctx = context(m, b.line);

    if (m.oneShot == 12 || m.oneShot == 13) {
        runFullCircleCut(ctx, m.oneShot == 12, m.plane, m.reg('I'), current_);
    } else if (m.oneShot == 28) {
        Vec3 intermediate = current_;
        const bool inc = m.incremental != 0;
        if (m.seen.x) intermediate.x = inc ? current_.x + m.reg('X') : m.reg('X');
        if (m.seen.y) intermediate.y = inc ? current_.y + m.reg('Y') : m.reg('Y');
        if (m.seen.z) intermediate.z = inc ? current_.z + m.reg('Z') : m.reg('Z');
        Vec3 reference = settings_.referencePoint;
        reference.z -= settings_.totalLength;
        current_ = runReferenceReturn(ctx, current_, intermediate, {m.seen.x, m.seen.y, m.seen.z}, reference);
        chainEnd_ = current_;
        lastOut_ = current_;
    } else if (m.oneShot != 0) {
        return;
    } else if (m.cycle != 80) {
        runCycle(m, ctx);
    } else if (m.motion >= 0 && m.motion <= 3) {
        MotionSegment seg = programmedSegment(m, current_);
        MotionSegment next = onLastLine ? MotionSegment{} : lookAheadSegment(m, queue, seg.end);
        CompRequest rq;
        rq.current = seg;
        rq.next = next;
        rq.axisGiven = {m.seen.x, m.seen.y, m.seen.z};
        rq.chainStart = chainEnd_;
        rq.radius = m.compRadius;
        rq.arcJoin = settings_.arcJoin;
        // The programmed path keeps the compensation state as the program set it (on or off is what
        // it shows) but runs the programmed segment itself.
        int32_t uncompensated = kCompOff;
        SegmentChain chain = compensateBlock(rq, settings_.programmedPath ? uncompensated : m.radiusComp);
        chainEnd_ = chain.last();
        if (m.mirrorState == ModeSetup::Active) mirrorChain(chain, m.mirrorCentre, m.mirrorAxis);
        if (m.rotationState == ModeSetup::Active) {
            int32_t plane =
                m.rotationXY ? kPlaneXY : (m.rotationZX ? kPlaneZX : (m.rotationYZ ? kPlaneYZ : -1));
            if (plane >= 0) rotateChain(chain, plane, m.rotationCentre, m.rotationAngle);
        }
        // The first piece starts where the tool stands. That is the chain's start unless mirror or
        // rotation was switched since the last move; moving the start keeps the path continuous then.
        chain.points[0] = lastOut_;
        if (chain.count > 0) chain.pieces[0].start = lastOut_;
        lastOut_ = chain.last();
        for (int i = 0; i < chain.count && !env_.stopped(); ++i)
            runMove(ctx, chain.pieces[static_cast<size_t>(i)]);
        current_ = seg.end;
    }
    m.cuttingTime = env_.cuttingTime;
}

void MillMotion::runCycle(ModalState& m, MotionContext& ctx) {
    const bool inc = m.incremental != 0;
    CannedCycleRequest rq;
    rq.cycle = m.cycle;
    rq.holeX = m.seen.x ? (inc ? current_.x + m.reg('X') : m.reg('X')) : current_.x;
    rq.holeY = m.seen.y ? (inc ? current_.y + m.reg('Y') : m.reg('Y')) : current_.y;
    if (m.seen.z) {
        levels_.bottomZ = inc ? current_.z + m.reg('Z') : m.reg('Z');
        levels_.bottomGiven = true;
    }
    if (m.seen.r) {
        levels_.rPointZ = inc ? current_.z + m.reg('R') : m.reg('R');
        levels_.rGiven = true;
    }
    rq.bottomZ = levels_.bottom(current_.z);
    rq.rPointZ = levels_.rPoint(current_.z);
    rq.peck = m.reg('Q');
    rq.repeats = m.seen.l ? std::clamp(RoundHalfAway(m.reg('L')), 0, kMaxRepeats) : 1;
    rq.returnToR = m.returnLevel == 1;
    rq.stepPlay = settings_.stepPlay;
    current_ = runCannedCycle(ctx, rq, current_, &m.spindle);
    chainEnd_ = current_;
    lastOut_ = current_;
}

void MillMotion::runOutNurbs(ModalState& m) {
    std::vector<Vec3> points;
    points.reserve(m.nurbsPoints.size());
    for (const NurbsPoint& p : m.nurbsPoints) points.push_back({p.x, p.y, p.z});
    MotionContext ctx = context(m, line_);
    current_ = RunOutNurbs(ctx, points, current_);
    chainEnd_ = current_;
    lastOut_ = current_;
    m.cuttingTime = env_.cuttingTime;
}

void MillMotion::toolChangedTo(double z) {
    current_.z = z;
    chainEnd_ = current_;
    lastOut_ = current_;
}

}  // namespace vantrel
