#pragma once
// Tool movement: the pieces a motion block becomes, the shared tool position the steppers advance, and
// the one interface through which every step is published (playback, cutting, drawing and the trace
// command all listen to the same stream).
#include <cmath>
#include <cstdint>
#include <string>

#include "core/shared_value.h"
#include "core/vec3.h"

namespace vantrel {

struct InputState;

// moveKind values.
inline constexpr int32_t kMoveRapid = 0;
inline constexpr int32_t kMoveLine = 1;
inline constexpr int32_t kMoveArcCW = 2;
inline constexpr int32_t kMoveArcCCW = 3;

// plane values (G17, G18, G19).
inline constexpr int32_t kPlaneXY = 0;
inline constexpr int32_t kPlaneZX = 1;
inline constexpr int32_t kPlaneYZ = 2;

// One piece of movement.
struct MotionSegment {
    int32_t moveKind = kMoveRapid;
    int32_t plane = kPlaneXY;
    Vec3 start;
    Vec3 end;
    Vec3 centre;
    double radius = 0;
    double turns = 0;  // helical turns (the block's P), 0 when none
};

// The axes of a plane as indices 0 = X, 1 = Y, 2 = Z: first axis, second axis and the normal axis.
// The ZX plane takes Z as its first axis so that "counter-clockwise" keeps the right-hand rule about
// the normal in all three planes.
struct PlaneAxes {
    int a, b, n;
};
inline PlaneAxes planeAxes(int32_t plane) {
    switch (plane) {
        case kPlaneZX:
            return {2, 0, 1};
        case kPlaneYZ:
            return {1, 2, 0};
        default:
            return {0, 1, 2};
    }
}
inline double axisValue(const Vec3& v, int axis) {
    return axis == 0 ? v.x : (axis == 1 ? v.y : v.z);
}
inline void setAxis(Vec3& v, int axis, double value) {
    if (axis == 0)
        v.x = value;
    else if (axis == 1)
        v.y = value;
    else
        v.z = value;
}
inline bool isFinite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The current tool position (the programmed tool tip), written by the playback thread's steppers and
// read by the main thread's cutting and drawing. `shown` is the copy taken each time the tool's
// projected pixel changes; the moving repaint draws the tool there.
struct ToolPosition {
    Shared<double> x, y, z;
    Shared<double> shownX, shownY, shownZ;
    // Set after a step that moved the tool to another pixel, so the per-step update redraws only then.
    Shared<bool> stepDrawDue{false};

    Vec3 get() const { return {x.load(), y.load(), z.load()}; }
    void set(const Vec3& p) {
        x.store(p.x);
        y.store(p.y);
        z.store(p.z);
    }
    Vec3 shown() const { return {shownX.load(), shownY.load(), shownZ.load()}; }
    void setShown(const Vec3& p) {
        shownX.store(p.x);
        shownY.store(p.y);
        shownZ.store(p.z);
    }
};

// Everything the steppers publish. Playback implements it with the synchronous calls to the main
// thread (cut, redraw, repaint, speed delay); tests and the trace command record it. All methods have
// empty defaults so a listener overrides only what it needs.
class MotionSink {
  public:
    virtual ~MotionSink() = default;
    // A piece is about to run (the interpreter calls this once per piece, before its stepper).
    virtual void onPiece(const MotionSegment& /*piece*/, int32_t /*line*/) {}
    // The "projected pixel changed" test made after every step; true asks for a redraw of this step.
    virtual bool pixelChanged(const Vec3& /*pos*/) { return true; }
    // The per-step update after every intermediate step.
    virtual void onStep(const Vec3& /*pos*/, bool /*drawDue*/) {}
    // The end-of-move repaint, made while the move still counts as in progress.
    virtual void onMoveEndRepaint(const Vec3& /*end*/) {}
    // The final per-step update of a move, after the move has ended.
    virtual void onMoveEnd(const Vec3& /*end*/) {}
    // The cutting time changed (shown after every move).
    virtual void onCuttingTime(double /*minutes*/) {}
    // The spindle state changed inside a cycle (tapping): 0 stop, 1 clockwise, 2 counter-clockwise.
    virtual void onSpindle(int32_t /*state*/) {}
};

// How pieces are drawn into the scene image while playing with path drawing on.
enum class PathStyle { Feed, Rapid };

// Path drawing during play. The scene composition implements it; the interpreter calls it (when the
// switch is on) before a piece runs.
class PathDrawHook {
  public:
    virtual ~PathDrawHook() = default;
    virtual void drawPiece(const MotionSegment& piece, PathStyle style) = 0;
};

// The cutting-time inputs of the move being run.
struct FeedInfo {
    int32_t feedMode = 0;       // -1 G93, 0 G94, 1 G95
    double feedPerMinute = 0;   // mm/min
    double revolutionFeed = 0;  // spindle speed x feed per revolution (G95 divisor)
    double divisor() const { return feedMode == 1 ? revolutionFeed : feedPerMinute; }
};

// What the steppers need: the shared position, the listener, the polled requests and the step
// settings. Pointers left null are simply not used.
struct StepperEnv {
    ToolPosition* tool = nullptr;
    MotionSink* sink = nullptr;
    const InputState* input = nullptr;            // right button skips the rest of a move
    const Shared<bool>* stopRequested = nullptr;  // the play's stop request
    Shared<bool>* moveInProgress = nullptr;
    double rapidStep = 10;  // mm per step of rapid moves ("位置決め速度")
    FeedInfo feed;
    double cuttingTime = 0;  // minutes
    // Steps still allowed; negative means no limit. When it runs out every move ends at once, so a
    // caller (a fuzzer, a batch run) can bound the work of any program.
    int64_t stepBudget = -1;
    // Every move jumps to its end in one go: for passes that only want the pieces (the path display).
    bool jumpMoves = false;

    // True when the move in progress must end now (skip, stop or budget).
    bool interrupted() const;
    bool stopped() const { return stopRequested != nullptr && stopRequested->load(); }
    // True when loops of moves (pecks, repetitions, point lists) must end: stop or budget spent.
    bool abandoned() const;
};

// Upper bound on the steps of one move: a move that would take more steps runs with a coarser step.
// It keeps a tiny but positive step (a typo such as F0.0001) from stalling the play for hours.
inline constexpr double kMaxStepsPerMove = 2.0e7;

void StepRapid(StepperEnv& env, const Vec3& end, const Vec3& start);
void StepLine(StepperEnv& env, double step, const Vec3& end, const Vec3& start);
void StepArcCW(StepperEnv& env, int32_t plane, double turns, double step, double radius, const Vec3& centre,
               const Vec3& end, const Vec3& start);
void StepArcCCW(StepperEnv& env, int32_t plane, double turns, double step, double radius, const Vec3& centre,
                const Vec3& end, const Vec3& start);

// Runs one piece with the stepper of its kind (feed pieces with `step`).
void runPiece(StepperEnv& env, const MotionSegment& piece, double step);

// The centre of an arc given by its radius word: R >= 0 picks the arc of at most 180 degrees, R < 0
// the longer one; when the chord is longer than 2|R| the chord's midpoint; when R or the chord is 0
// the start point. The coordinate on the plane's normal axis is the start's.
Vec3 ArcCentreFromRadius(int32_t plane, int32_t motion, double r, const Vec3& end, const Vec3& start);

// The text of the cutting-time label: minutes as "###0.##" followed by "分".
std::string cuttingTimeCaption(double minutes);

// Distance between two points in the plane (ignoring the normal axis).
double planeDistance(int32_t plane, const Vec3& p, const Vec3& q);

}  // namespace vantrel
