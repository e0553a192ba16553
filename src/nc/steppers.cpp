// The steppers: advance the shared tool position in small steps along a piece and publish every step.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/number_format.h"
#include "nc/motion.h"
#include "platform/input_state.h"

namespace vantrel {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Rapid moves count at a fixed 10000 mm/min for the cutting time.
constexpr double kRapidFeed = 10000.0;
// A step count within this fraction of a whole number counts as that whole number, so a 10 mm move
// at a 1 mm step makes 9 intermediate positions and not a tenth one a hair before the end.
constexpr double kCountSlack = 1e-9;

ToolPosition& toolOf(StepperEnv& env) {
    // A caller without a shared position still gets a consistent run.
    static thread_local ToolPosition scratch;
    return env.tool != nullptr ? *env.tool : scratch;
}

void beginMove(StepperEnv& env, const Vec3& start) {
    if (env.moveInProgress != nullptr) env.moveInProgress->store(true);
    toolOf(env).set(start);
}

inline void publishStep(StepperEnv& env, ToolPosition& tool, const Vec3& p) {
    tool.set(p);
    bool due = env.sink != nullptr ? env.sink->pixelChanged(p) : true;
    tool.stepDrawDue.store(due);
    if (due) tool.setShown(p);
    if (env.sink != nullptr) env.sink->onStep(p, due);
    if (env.stepBudget > 0) --env.stepBudget;
}

void endMove(StepperEnv& env, const Vec3& end) {
    ToolPosition& tool = toolOf(env);
    tool.set(end);
    tool.setShown(end);
    if (env.sink != nullptr) env.sink->onMoveEndRepaint(end);
    tool.stepDrawDue.store(true);
    if (env.moveInProgress != nullptr) env.moveInProgress->store(false);
    if (env.sink != nullptr) env.sink->onMoveEnd(end);
    // A move counts against the budget too, so loops of moves without steps (pecks of a tiny Q)
    // still come to an end.
    if (env.stepBudget > 0) --env.stepBudget;
}

void addTime(StepperEnv& env, double length, double divisor) {
    if (divisor != 0 && std::isfinite(divisor) && std::isfinite(length) && length > 0) {
        double t = length / divisor;
        if (std::isfinite(t) && t > 0) env.cuttingTime += t;
    }
    if (env.sink != nullptr) env.sink->onCuttingTime(env.cuttingTime);
}

// Number of intermediate positions of a move of `total` at `step`: every k*step strictly inside.
int64_t interiorCount(double total, double step) {
    double n = std::ceil(total / step - kCountSlack) - 1.0;
    if (!(n > 0)) return 0;
    if (n > kMaxStepsPerMove) n = kMaxStepsPerMove;
    return static_cast<int64_t>(n);
}

// Returns the length travelled before the move ended or was interrupted.
double stepStraight(StepperEnv& env, double step, const Vec3& end, const Vec3& start) {
    beginMove(env, start);
    Vec3 d = end - start;
    double len = d.length();
    double travelled = len;
    if (std::isfinite(len) && len > 0 && std::isfinite(step) && step > 0) {
        if (len / step > kMaxStepsPerMove) step = len / kMaxStepsPerMove;
        int64_t count = interiorCount(len, step);
        Vec3 u = d / len;
        ToolPosition& tool = toolOf(env);
        for (int64_t k = 1; k <= count; ++k) {
            if (env.interrupted()) {
                travelled = static_cast<double>(k - 1) * step;
                break;
            }
            double s = static_cast<double>(k) * step;
            publishStep(env, tool, Vec3{start.x + u.x * s, start.y + u.y * s, start.z + u.z * s});
        }
    }
    endMove(env, end);
    return travelled;
}

void stepArc(StepperEnv& env, bool clockwise, int32_t plane, double turns, double step, double radius,
             const Vec3& centre, const Vec3& end, const Vec3& start) {
    if (!(radius > 0) || !std::isfinite(radius) || !isFinite(centre) || !isFinite(start) || !isFinite(end)) {
        // No usable circle (an inner offset smaller than the cutter, a zero full-circle radius):
        // the piece still ends where it must, along the straight line.
        double done = stepStraight(env, step, end, start);
        addTime(env, done, env.feed.divisor());
        return;
    }
    PlaneAxes ax = planeAxes(plane);
    const double ca = axisValue(centre, ax.a), cb = axisValue(centre, ax.b);
    double ts = std::atan2(cb - axisValue(start, ax.b), ca - axisValue(start, ax.a));
    double te = std::atan2(cb - axisValue(end, ax.b), ca - axisValue(end, ax.a));
    if (clockwise) {
        if (!(ts > te)) ts += kTwoPi;
    } else {
        if (!(te > ts)) te += kTwoPi;
    }
    const double sweep = std::fabs(ts - te);
    const double dn = plane == kPlaneXY ? end.z - start.z : 0.0;
    const double arcLength = radius * sweep;
    const double helixLength = std::hypot(dn, arcLength);
    const double t = (std::isfinite(turns) && turns > 1) ? turns : 1.0;
    const double totalAngle = sweep + (t - 1.0) * kTwoPi;

    beginMove(env, start);
    if (std::isfinite(step) && step > 0 && helixLength > 0 && std::isfinite(totalAngle)) {
        double dTheta = step * arcLength / helixLength / radius;
        double dNormal = dn * step / helixLength / t;
        if (dTheta > 0 && totalAngle / dTheta > kMaxStepsPerMove) {
            double scale = totalAngle / kMaxStepsPerMove / dTheta;
            dTheta *= scale;
            dNormal *= scale;
        }
        if (dTheta > 0) {
            int64_t count = interiorCount(totalAngle, dTheta);
            const double dir = clockwise ? -1.0 : 1.0;
            const double n0 = axisValue(start, ax.n);
            ToolPosition& tool = toolOf(env);
            Vec3 p = start;
            for (int64_t k = 1; k <= count; ++k) {
                if (env.interrupted()) break;
                double kk = static_cast<double>(k);
                double th = ts + dir * kk * dTheta;
                setAxis(p, ax.a, ca - radius * std::cos(th));
                setAxis(p, ax.b, cb - radius * std::sin(th));
                setAxis(p, ax.n, n0 + kk * dNormal);
                publishStep(env, tool, p);
            }
        }
    }
    endMove(env, end);
    addTime(env, helixLength, env.feed.divisor());
}

}  // namespace

bool StepperEnv::interrupted() const {
    if (stepBudget == 0) return true;
    if (input != nullptr && input->rightButton.load(std::memory_order_relaxed)) return true;
    return stopped();
}

bool StepperEnv::abandoned() const {
    return stepBudget == 0 || stopped();
}

void StepRapid(StepperEnv& env, const Vec3& end, const Vec3& start) {
    stepStraight(env, env.rapidStep, end, start);
    addTime(env, (end - start).length(), kRapidFeed);
}

void StepLine(StepperEnv& env, double step, const Vec3& end, const Vec3& start) {
    double done = stepStraight(env, step, end, start);
    // The skipped remainder of a feed move is not counted.
    addTime(env, done, env.feed.divisor());
}

void StepArcCW(StepperEnv& env, int32_t plane, double turns, double step, double radius, const Vec3& centre,
               const Vec3& end, const Vec3& start) {
    stepArc(env, true, plane, turns, step, radius, centre, end, start);
}

void StepArcCCW(StepperEnv& env, int32_t plane, double turns, double step, double radius, const Vec3& centre,
                const Vec3& end, const Vec3& start) {
    stepArc(env, false, plane, turns, step, radius, centre, end, start);
}

void runPiece(StepperEnv& env, const MotionSegment& piece, double step) {
    if (env.jumpMoves) {
        if (env.tool != nullptr) env.tool->set(piece.end);
        return;
    }
    switch (piece.moveKind) {
        case kMoveLine:
            StepLine(env, step, piece.end, piece.start);
            break;
        case kMoveArcCW:
            StepArcCW(env, piece.plane, piece.turns, step, piece.radius, piece.centre, piece.end,
                      piece.start);
            break;
        case kMoveArcCCW:
            StepArcCCW(env, piece.plane, piece.turns, step, piece.radius, piece.centre, piece.end,
                       piece.start);
            break;
        default:
            StepRapid(env, piece.end, piece.start);
            break;
    }
}

double planeDistance(int32_t plane, const Vec3& p, const Vec3& q) {
    PlaneAxes ax = planeAxes(plane);
    return std::hypot(axisValue(p, ax.a) - axisValue(q, ax.a), axisValue(p, ax.b) - axisValue(q, ax.b));
}

Vec3 ArcCentreFromRadius(int32_t plane, int32_t motion, double r, const Vec3& end, const Vec3& start) {
    PlaneAxes ax = planeAxes(plane);
    const double sa = axisValue(start, ax.a), sb = axisValue(start, ax.b);
    const double ea = axisValue(end, ax.a), eb = axisValue(end, ax.b);
    const double absR = std::fabs(r);
    const double h = 0.5 * std::hypot(ea - sa, eb - sb);
    Vec3 centre = start;
    if (!(absR > 0) || !(h > 0) || !std::isfinite(absR) || !std::isfinite(h)) return centre;
    const double ma = 0.5 * (sa + ea), mb = 0.5 * (sb + eb);
    if (absR <= h) {
        setAxis(centre, ax.a, ma);
        setAxis(centre, ax.b, mb);
        return centre;
    }
    // The two points at |R| from both ends lie on the chord's perpendicular bisector.
    const double off = std::sqrt(std::max(0.0, (absR - h) * (absR + h)));  // no overflow of R squared
    const double ua = (ea - sa) / (2 * h), ub = (eb - sb) / (2 * h);
    const double c1a = ma - ub * off, c1b = mb + ua * off;  // left of the chord
    const double c2a = ma + ub * off, c2b = mb - ua * off;  // right of the chord
    double as = std::atan2(sb - c1b, sa - c1a);
    double ae = std::atan2(eb - c1b, ea - c1a);
    double sweep;
    if (motion == 2) {
        if (as < ae) as += kTwoPi;
        sweep = as - ae;
    } else {
        if (as > ae) as -= kTwoPi;
        sweep = ae - as;
    }
    bool shortArc = sweep <= std::numbers::pi;
    bool takeFirst = shortArc == (r >= 0);
    setAxis(centre, ax.a, takeFirst ? c1a : c2a);
    setAxis(centre, ax.b, takeFirst ? c1b : c2b);
    return centre;
}

std::string cuttingTimeCaption(double minutes) {
    return FormatFloat("###0.##", std::isfinite(minutes) ? minutes : 0.0) + "分";
}

}  // namespace vantrel
