// Cutter radius compensation as geometry: contours are run block by block through compensateBlock and
// the steppers, and every tool-centre position is checked against the programmed contour.
#include "nc/cutter_comp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "nc/motion_recorder.h"

namespace vantrel {
namespace {

constexpr double kEps = 1e-6;

MotionSegment line(Vec3 s, Vec3 e, int32_t kind = kMoveLine) {
    MotionSegment m;
    m.moveKind = kind;
    m.start = s;
    m.end = e;
    return m;
}

MotionSegment arc(int32_t kind, Vec3 s, Vec3 e, Vec3 c) {
    MotionSegment m;
    m.moveKind = kind;
    m.start = s;
    m.end = e;
    m.centre = c;
    m.radius = std::hypot(e.x - c.x, e.y - c.y);
    return m;
}

double distToSegment(const MotionSegment& seg, const Vec3& p) {
    double px = p.x, py = p.y;
    if (seg.moveKind == kMoveArcCW || seg.moveKind == kMoveArcCCW) {
        double cx = seg.centre.x, cy = seg.centre.y;
        double R = std::hypot(seg.end.x - cx, seg.end.y - cy);
        double ts = std::atan2(seg.start.y - cy, seg.start.x - cx);
        double te = std::atan2(seg.end.y - cy, seg.end.x - cx);
        double tp = std::atan2(py - cy, px - cx);
        // Angles measured counter-clockwise from the arc's ccw-most start.
        double lo = seg.moveKind == kMoveArcCCW ? ts : te;
        double hi = seg.moveKind == kMoveArcCCW ? te : ts;
        auto norm = [](double a) {
            while (a < 0) a += 2 * std::numbers::pi;
            while (a >= 2 * std::numbers::pi) a -= 2 * std::numbers::pi;
            return a;
        };
        double span = norm(hi - lo);
        if (span == 0) span = 2 * std::numbers::pi;
        if (norm(tp - lo) <= span + 1e-12) return std::fabs(std::hypot(px - cx, py - cy) - R);
        return std::min(std::hypot(px - seg.start.x, py - seg.start.y),
                        std::hypot(px - seg.end.x, py - seg.end.y));
    }
    double dx = seg.end.x - seg.start.x, dy = seg.end.y - seg.start.y;
    double l2 = dx * dx + dy * dy;
    double t = l2 > 0 ? std::clamp(((px - seg.start.x) * dx + (py - seg.start.y) * dy) / l2, 0.0, 1.0) : 0.0;
    return std::hypot(px - (seg.start.x + t * dx), py - (seg.start.y + t * dy));
}

double distToContour(const std::vector<MotionSegment>& contour, const Vec3& p) {
    double d = 1e300;
    for (const auto& s : contour) d = std::min(d, distToSegment(s, p));
    return d;
}

struct CompRun {
    std::vector<SegmentChain> chains;  // start-up, one per contour element, cancel
    MotionRecorder rec;                // every position the steppers published
    std::vector<size_t> stepsPerBlock;
};

// Runs: start-up line from `from` to the contour's start, the closed contour once, and a G40 cancel
// move back to `from`.
CompRun runClosed(const std::vector<MotionSegment>& contour, Vec3 from, int32_t request, double r,
                  bool arcJoin) {
    CompRun run;
    StepperEnv env;
    env.sink = &run.rec;
    int32_t state = request;
    Vec3 p0 = from;
    auto block = [&](const MotionSegment& cur, const MotionSegment& next) {
        CompRequest rq;
        rq.current = cur;
        rq.next = next;
        rq.chainStart = p0;
        rq.radius = r;
        rq.arcJoin = arcJoin;
        SegmentChain ch = compensateBlock(rq, state);
        size_t before = run.rec.steps.size();
        for (int i = 0; i < ch.count; ++i) runPiece(env, ch.pieces[i], 0.05);
        run.stepsPerBlock.push_back(run.rec.steps.size() - before);
        p0 = ch.last();
        run.chains.push_back(ch);
    };
    block(line(from, contour.front().start), contour.front());
    for (size_t i = 0; i < contour.size(); ++i) block(contour[i], contour[(i + 1) % contour.size()]);
    state = kCompOff;
    block(line(contour.back().end, from), MotionSegment{});
    return run;
}

std::vector<MotionSegment> rectangleCcw() {
    return {line({0, 0, 0}, {40, 0, 0}), line({40, 0, 0}, {40, 30, 0}), line({40, 30, 0}, {0, 30, 0}),
            line({0, 30, 0}, {0, 0, 0})};
}

// Checks every step of the contour blocks (not the start-up and cancel) lies at r from the contour.
void expectAllAtRadius(const CompRun& run, const std::vector<MotionSegment>& contour, double r) {
    size_t first = run.stepsPerBlock[0];
    size_t last = run.rec.steps.size() - run.stepsPerBlock.back();
    ASSERT_LT(first, last);
    for (size_t i = first; i < last; ++i) {
        ASSERT_NEAR(distToContour(contour, run.rec.steps[i]), r, kEps) << "step " << i;
    }
    for (size_t b = 1; b + 1 < run.chains.size(); ++b) {
        const SegmentChain& ch = run.chains[b];
        for (int i = 1; i <= ch.count; ++i) EXPECT_NEAR(distToContour(contour, ch.points[i]), r, kEps);
    }
}

TEST(CutterCompRectangle, PocketG41InsideCornersEndAtIntersections) {
    // Walked counter-clockwise from the middle of the bottom side, so G41 keeps the tool inside.
    std::vector<MotionSegment> contour = {line({20, 0, 0}, {40, 0, 0}), line({40, 0, 0}, {40, 30, 0}),
                                          line({40, 30, 0}, {0, 30, 0}), line({0, 30, 0}, {0, 0, 0}),
                                          line({0, 0, 0}, {20, 0, 0})};
    for (bool arcJoin : {true, false}) {
        CompRun run = runClosed(contour, {20, 15, 0}, kCompLeftRequested, 2, arcJoin);
        // Start-up ends beside the first side, perpendicular to it.
        EXPECT_NEAR(run.chains[0].last().x, 20, kEps);
        EXPECT_NEAR(run.chains[0].last().y, 2, kEps);
        const Vec3 ends[] = {{38, 2, 0}, {38, 28, 0}, {2, 28, 0}, {2, 2, 0}, {20, 2, 0}};
        for (int i = 0; i < 5; ++i) {
            const SegmentChain& ch = run.chains[1 + i];
            ASSERT_EQ(ch.count, 1) << "no join piece at an inside corner";
            EXPECT_NEAR(ch.last().x, ends[i].x, kEps);
            EXPECT_NEAR(ch.last().y, ends[i].y, kEps);
        }
        expectAllAtRadius(run, contour, 2);
        // Cancel: from the last offset point straight to the programmed end.
        EXPECT_EQ(run.chains.back().count, 1);
        EXPECT_NEAR(run.chains.back().pieces[0].start.y, 2, kEps);
        EXPECT_NEAR(run.chains.back().last().y, 15, kEps);
    }
}

TEST(CutterCompRectangle, OutlineG42ArcJoinAddsQuarterCircles) {
    auto contour = rectangleCcw();
    CompRun run = runClosed(contour, {-10, -10, 0}, kCompRightRequested, 3, true);
    const Vec3 corners[] = {{40, 0, 0}, {40, 30, 0}, {0, 30, 0}, {0, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        const SegmentChain& ch = run.chains[1 + i];
        ASSERT_EQ(ch.count, 2);
        const MotionSegment& join = ch.pieces[1];
        EXPECT_EQ(join.moveKind, kMoveArcCCW);  // G42 joins counter-clockwise
        EXPECT_NEAR(join.radius, 3, kEps);
        EXPECT_NEAR(join.centre.x, corners[i].x, kEps);
        EXPECT_NEAR(join.centre.y, corners[i].y, kEps);
        // A quarter circle: start and end radii perpendicular.
        Vec3 a = join.start - join.centre, b = join.end - join.centre;
        EXPECT_NEAR(a.dot(b), 0, kEps);
    }
    EXPECT_NEAR(run.chains[1].points[1].x, 40, kEps);
    EXPECT_NEAR(run.chains[1].points[1].y, -3, kEps);
    EXPECT_NEAR(run.chains[1].points[2].x, 43, kEps);
    EXPECT_NEAR(run.chains[1].points[2].y, 0, kEps);
    expectAllAtRadius(run, contour, 3);
}

TEST(CutterCompRectangle, OutlineG42LineJoinMakesSharpCorners) {
    auto contour = rectangleCcw();
    CompRun run = runClosed(contour, {-10, -10, 0}, kCompRightRequested, 3, false);
    const Vec3 corners[] = {{43, -3, 0}, {43, 33, 0}, {-3, 33, 0}, {-3, -3, 0}};
    for (int i = 0; i < 4; ++i) {
        const SegmentChain& ch = run.chains[1 + i];
        ASSERT_EQ(ch.count, 1);
        EXPECT_NEAR(ch.last().x, corners[i].x, kEps);
        EXPECT_NEAR(ch.last().y, corners[i].y, kEps);
    }
    // Every position stays at least r from the contour, and exactly r away from the corners.
    for (const Vec3& p : run.rec.steps) {
        double d = distToContour(contour, p);
        if (p.x > 0 && p.x < 40 && p.y > -10) {
            EXPECT_GE(d, 3 - kEps);
        }
        if (p.x > 0.5 && p.x < 39.5 && p.y < 0) {
            EXPECT_NEAR(d, 3, kEps);
        }
    }
}

TEST(CutterCompRectangle, ClockwiseG41IsTheOutlineWithClockwiseJoins) {
    // The same rectangle walked clockwise puts G41's tool outside.
    std::vector<MotionSegment> cw = {line({0, 0, 0}, {0, 30, 0}), line({0, 30, 0}, {40, 30, 0}),
                                     line({40, 30, 0}, {40, 0, 0}), line({40, 0, 0}, {0, 0, 0})};
    CompRun run = runClosed(cw, {-10, -10, 0}, kCompLeftRequested, 1.5, true);
    for (int i = 1; i <= 4; ++i) {
        ASSERT_EQ(run.chains[i].count, 2);
        EXPECT_EQ(run.chains[i].pieces[1].moveKind, kMoveArcCW);
    }
    expectAllAtRadius(run, cw, 1.5);
}

TEST(CutterCompCircle, FullCirclePocketAndOutlineBothSidesBothJoins) {
    // A full circle of radius 20 about the origin, walked twice so the second lap follows the first.
    MotionSegment ccw = arc(kMoveArcCCW, {20, 0, 0}, {20, 0, 0}, {0, 0, 0});
    MotionSegment cw = arc(kMoveArcCW, {20, 0, 0}, {20, 0, 0}, {0, 0, 0});
    struct Case {
        MotionSegment seg;
        int32_t request;
        double expectedRadius;
    } cases[] = {{ccw, kCompLeftRequested, 18},
                 {ccw, kCompRightRequested, 22},
                 {cw, kCompLeftRequested, 22},
                 {cw, kCompRightRequested, 18}};
    for (const Case& c : cases) {
        for (bool arcJoin : {true, false}) {
            std::vector<MotionSegment> contour = {c.seg, c.seg};
            CompRun run = runClosed(contour, {0, 0, 0}, c.request, 2, arcJoin);
            EXPECT_NEAR(run.chains[0].last().x, c.expectedRadius, kEps);
            EXPECT_NEAR(run.chains[0].last().y, 0, kEps);
            for (int b = 1; b <= 2; ++b) {
                ASSERT_EQ(run.chains[b].count, 1);
                EXPECT_NEAR(run.chains[b].pieces[0].radius, c.expectedRadius, kEps);
                EXPECT_EQ(run.chains[b].pieces[0].moveKind, c.seg.moveKind);
            }
            expectAllAtRadius(run, contour, 2);
        }
    }
}

TEST(CutterCompCircle, RoundedRectangleBothSidesBothJoinsStayAtRadius) {
    // Lines joined tangentially by quarter circles of radius 5: every corner is tangent, so offset
    // lines meet the offset circles where they touch.
    std::vector<MotionSegment> contour = {
        line({5, 0, 0}, {35, 0, 0}),   arc(kMoveArcCCW, {35, 0, 0}, {40, 5, 0}, {35, 5, 0}),
        line({40, 5, 0}, {40, 25, 0}), arc(kMoveArcCCW, {40, 25, 0}, {35, 30, 0}, {35, 25, 0}),
        line({35, 30, 0}, {5, 30, 0}), arc(kMoveArcCCW, {5, 30, 0}, {0, 25, 0}, {5, 25, 0}),
        line({0, 25, 0}, {0, 5, 0}),   arc(kMoveArcCCW, {0, 5, 0}, {5, 0, 0}, {5, 5, 0})};
    for (int32_t request : {kCompLeftRequested, kCompRightRequested}) {
        for (bool arcJoin : {true, false}) {
            CompRun run = runClosed(contour, {20, 15, 0}, request, 2, arcJoin);
            for (size_t b = 1; b + 1 < run.chains.size(); ++b) EXPECT_EQ(run.chains[b].count, 1) << b;
            expectAllAtRadius(run, contour, 2);
            // The arcs run on radius 3 inside and 7 outside.
            EXPECT_NEAR(run.chains[2].pieces[0].radius, request == kCompLeftRequested ? 3 : 7, kEps);
        }
    }
}

TEST(CutterCompProfile, LineArcLineTangentTouchesTheInnerCircle) {
    // G41 r2: G01 (0,0)->(10,0), G03 to (20,10) about (10,10), G01 up to (20,30).
    MotionSegment l1 = line({0, 0, 0}, {10, 0, 0});
    MotionSegment a = arc(kMoveArcCCW, {10, 0, 0}, {20, 10, 0}, {10, 10, 0});
    MotionSegment l2 = line({20, 10, 0}, {20, 30, 0});
    for (bool arcJoin : {true, false}) {
        int32_t state = kCompLeft;
        CompRequest rq;
        rq.radius = 2;
        rq.arcJoin = arcJoin;
        rq.current = l1;
        rq.next = a;
        rq.chainStart = {0, 2, 0};
        SegmentChain c1 = compensateBlock(rq, state);
        ASSERT_EQ(c1.count, 1);
        EXPECT_NEAR(c1.last().x, 10, kEps);
        EXPECT_NEAR(c1.last().y, 2, kEps);
        rq.current = a;
        rq.next = l2;
        rq.chainStart = c1.last();
        SegmentChain c2 = compensateBlock(rq, state);
        ASSERT_EQ(c2.count, 1);
        EXPECT_NEAR(c2.pieces[0].radius, 8, kEps);
        EXPECT_NEAR(c2.last().x, 18, kEps);
        EXPECT_NEAR(c2.last().y, 10, kEps);
        EXPECT_EQ(state, kCompLeft);
    }
}

TEST(CutterCompProfile, LineArcLineOutsideCornersGetJoinArcsEvenWithLineJoin) {
    // A half circle dipping below the line: both corners turn right, outside for G41.
    MotionSegment l1 = line({0, 0, 0}, {10, 0, 0});
    MotionSegment a = arc(kMoveArcCCW, {10, 0, 0}, {20, 0, 0}, {15, 0, 0});
    MotionSegment l2 = line({20, 0, 0}, {30, 0, 0});
    std::vector<MotionSegment> contour = {l1, a, l2};
    int32_t state = kCompLeft;
    CompRequest rq;
    rq.radius = 2;
    rq.arcJoin = false;
    rq.current = l1;
    rq.next = a;
    rq.chainStart = {0, 2, 0};
    SegmentChain c1 = compensateBlock(rq, state);
    ASSERT_EQ(c1.count, 2);
    EXPECT_NEAR(c1.points[1].x, 10, kEps);
    EXPECT_NEAR(c1.points[1].y, 2, kEps);
    EXPECT_EQ(c1.pieces[1].moveKind, kMoveArcCW);
    EXPECT_NEAR(c1.points[2].x, 12, kEps);  // on the inner offset circle (radius 3)
    EXPECT_NEAR(c1.points[2].y, 0, kEps);
    rq.current = a;
    rq.next = l2;
    rq.chainStart = c1.last();
    SegmentChain c2 = compensateBlock(rq, state);
    ASSERT_EQ(c2.count, 2);
    EXPECT_NEAR(c2.pieces[0].radius, 3, kEps);
    EXPECT_NEAR(c2.points[1].x, 18, kEps);
    EXPECT_NEAR(c2.points[2].x, 20, kEps);
    EXPECT_NEAR(c2.points[2].y, 2, kEps);
    // All positions of both chains lie at r from the contour.
    MotionRecorder rec;
    StepperEnv env;
    env.sink = &rec;
    for (const SegmentChain* ch : {&c1, &c2})
        for (int i = 0; i < ch->count; ++i) runPiece(env, ch->pieces[i], 0.05);
    ASSERT_GT(rec.steps.size(), 100u);
    for (const Vec3& p : rec.steps) ASSERT_NEAR(distToContour(contour, p), 2, kEps);
}

TEST(CutterCompCorners, ArcArcInsideCornerWithoutIntersectionEndsAtOwnOffset) {
    // Two small arcs meeting at an inside corner whose offset circles (radius 1 - 0.8 each,
    // centres 1.9 apart) do not meet.
    MotionSegment a1 = arc(kMoveArcCCW, {-1.95, 0, 0}, {0, 0.5, 0}, {-0.95, 0, 0});
    a1.end = {-0.95 + std::cos(0.3), std::sin(0.3), 0};
    MotionSegment a2 = arc(kMoveArcCCW, a1.end, {1.95, 0, 0}, {0.95, 0, 0});
    a1.radius = a2.radius = 1;
    int32_t state = kCompLeft;
    CompRequest rq;
    rq.radius = 0.8;
    rq.current = a1;
    rq.next = a2;
    rq.chainStart = {-1.75, 0, 0};
    SegmentChain ch = compensateBlock(rq, state);
    ASSERT_EQ(ch.count, 1);
    Vec3 expected = Vec3{-0.95, 0, 0} + (a1.end - Vec3{-0.95, 0, 0}) * 0.2;
    EXPECT_NEAR(ch.last().x, expected.x, kEps);
    EXPECT_NEAR(ch.last().y, expected.y, kEps);
}

TEST(CutterCompCorners, CollinearLinesGiveThePlainOffsetLine) {
    int32_t state = kCompRight;
    CompRequest rq;
    rq.radius = 2;
    rq.current = line({0, 0, 0}, {10, 0, 0});
    rq.next = line({10, 0, 0}, {15, 0, 0});
    rq.chainStart = {0, -2, 0};
    for (bool arcJoin : {true, false}) {
        rq.arcJoin = arcJoin;
        SegmentChain ch = compensateBlock(rq, state);
        ASSERT_EQ(ch.count, 1);
        EXPECT_NEAR(ch.last().x, 10, kEps);
        EXPECT_NEAR(ch.last().y, -2, kEps);
    }
}

TEST(CutterCompCorners, ReversalGoesRoundTheEndWithAHalfCircle) {
    int32_t state = kCompLeft;
    CompRequest rq;
    rq.radius = 2;
    rq.arcJoin = false;
    rq.current = line({0, 0, 0}, {10, 0, 0});
    rq.next = line({10, 0, 0}, {0, 0, 0});
    rq.chainStart = {0, 2, 0};
    SegmentChain ch = compensateBlock(rq, state);
    ASSERT_EQ(ch.count, 2);
    EXPECT_NEAR(ch.points[1].y, 2, kEps);
    EXPECT_NEAR(ch.points[2].x, 10, kEps);
    EXPECT_NEAR(ch.points[2].y, -2, kEps);
}

TEST(CutterCompStartUpAndCancel, StartUpOffsetsBesideTheNextElement) {
    CompRequest rq;
    rq.radius = 2.5;
    rq.chainStart = {-10, -10, 5};
    rq.current = line({-10, -10, 5}, {0, 0, 0});
    // Next line along +Y: G41 puts the tool to the left (-X).
    rq.next = line({0, 0, 0}, {0, 20, 0});
    int32_t state = kCompLeftRequested;
    SegmentChain ch = compensateBlock(rq, state);
    EXPECT_EQ(state, kCompLeft);
    ASSERT_EQ(ch.count, 1);
    EXPECT_EQ(ch.pieces[0].moveKind, kMoveLine);
    EXPECT_NEAR(ch.last().x, -2.5, kEps);
    EXPECT_NEAR(ch.last().y, 0, kEps);
    EXPECT_NEAR(ch.last().z, 0, kEps);  // the normal axis follows the program

    // Next clockwise arc about (10, 0): G41 is outside, G42 inside, along the radius at the start.
    rq.next = arc(kMoveArcCW, {0, 0, 0}, {20, 0, 0}, {10, 0, 0});
    state = kCompLeftRequested;
    EXPECT_NEAR(compensateBlock(rq, state).last().x, -2.5, kEps);
    state = kCompRightRequested;
    ch = compensateBlock(rq, state);
    EXPECT_EQ(state, kCompRight);
    EXPECT_NEAR(ch.last().x, 2.5, kEps);

    // No next feed segment: the programmed end point.
    rq.next = MotionSegment{};
    state = kCompLeftRequested;
    ch = compensateBlock(rq, state);
    EXPECT_EQ(state, kCompLeft);
    EXPECT_NEAR(ch.last().x, 0, kEps);
    EXPECT_NEAR(ch.last().y, 0, kEps);
}

TEST(CutterCompStartUpAndCancel, CancelRunsFromOffsetPointToProgrammedEnd) {
    CompRequest rq;
    rq.radius = 2;
    rq.chainStart = {10, 2, 0};
    rq.current = line({10, 0, 0}, {20, -5, 0});
    int32_t state = kCompOff;
    SegmentChain ch = compensateBlock(rq, state);
    ASSERT_EQ(ch.count, 1);
    EXPECT_EQ(ch.pieces[0].start, (Vec3{10, 2, 0}));
    EXPECT_EQ(ch.last(), (Vec3{20, -5, 0}));
}

TEST(CutterCompStartUpAndCancel, RapidUnderCompensationGoesToProgrammedAxesAndStartsUpAgain) {
    CompRequest rq;
    rq.radius = 2;
    rq.chainStart = {10, 2, -1};
    rq.current = line({10, 0, -1}, {30, 0, -1}, kMoveRapid);
    rq.current.end = {30, 0, 5};
    rq.axisGiven = {false, false, true};  // G00 Z5.
    int32_t state = kCompLeft;
    SegmentChain ch = compensateBlock(rq, state);
    EXPECT_EQ(state, kCompLeftRequested);
    EXPECT_EQ(ch.last(), (Vec3{10, 2, 5}));  // axes not named keep the previous chain end
    // The following feed block starts up again from there.
    rq.chainStart = ch.last();
    rq.current = line({10, 0, 5}, {10, 10, 5});
    rq.next = line({10, 10, 5}, {20, 10, 5});
    rq.axisGiven = {true, true, true};
    ch = compensateBlock(rq, state);
    EXPECT_EQ(state, kCompLeft);
    EXPECT_NEAR(ch.last().x, 10, kEps);
    EXPECT_NEAR(ch.last().y, 12, kEps);
}

TEST(CutterCompDegenerate, PlungeWithoutPlaneLengthKeepsTheOffsetPoint) {
    CompRequest rq;
    rq.radius = 2;
    rq.chainStart = {10, 2, 5};
    rq.current = line({10, 0, 5}, {10, 0, -3});
    rq.next = line({10, 0, -3}, {20, 0, -3});
    for (int32_t s : {kCompLeft, kCompLeftRequested}) {
        int32_t state = s;
        SegmentChain ch = compensateBlock(rq, state);
        EXPECT_EQ(state, s) << "a plunge neither starts up nor ends compensation";
        ASSERT_EQ(ch.count, 1);
        EXPECT_EQ(ch.last(), (Vec3{10, 2, -3}));
        EXPECT_TRUE(isFinite(ch.last()));
    }
    // A next segment without plane length is no corner partner: the block ends at its offset end.
    rq.current = line({0, 0, 0}, {10, 0, 0});
    rq.chainStart = {0, 2, 0};
    rq.next = line({10, 0, 0}, {10, 0, 5});
    int32_t state = kCompLeft;
    SegmentChain ch = compensateBlock(rq, state);
    EXPECT_EQ(ch.last(), (Vec3{10, 2, 0}));
}

TEST(CutterCompDegenerate, InnerArcSmallerThanTheCutterRunsStraight) {
    // G41 on a ccw arc of radius 1 with r = 3: the offset radius is negative, no circle to follow.
    CompRequest rq;
    rq.radius = 3;
    rq.chainStart = {0, 0, 0};
    rq.current = arc(kMoveArcCCW, {1, 0, 0}, {-1, 0, 0}, {0, 0, 0});
    int32_t state = kCompLeft;
    SegmentChain ch = compensateBlock(rq, state);
    ASSERT_EQ(ch.count, 1);
    EXPECT_LE(ch.pieces[0].radius, 0);
    MotionRecorder rec;
    StepperEnv env;
    env.sink = &rec;
    runPiece(env, ch.pieces[0], 0.1);
    for (const Vec3& p : rec.steps) ASSERT_TRUE(isFinite(p));
    EXPECT_EQ(rec.moveEnds.back(), ch.last());
}

TEST(CutterCompPlanes, ZXPlaneOffsetsZAndXOnly) {
    // G18: a line along +Z; G41 puts the tool on its left in the (Z, X) plane, i.e. towards +X.
    CompRequest rq;
    rq.radius = 2;
    rq.current = line({0, 7, 0}, {0, 7, 10});
    rq.current.plane = kPlaneZX;
    rq.next = line({0, 7, 10}, {0, 7, 20});
    rq.next.plane = kPlaneZX;
    rq.chainStart = {0, 7, 0};
    int32_t state = kCompLeftRequested;
    SegmentChain ch = compensateBlock(rq, state);
    EXPECT_NEAR(ch.last().x, 2, kEps);
    EXPECT_NEAR(ch.last().y, 7, kEps);
    EXPECT_NEAR(ch.last().z, 10, kEps);
}

}  // namespace
}  // namespace vantrel
