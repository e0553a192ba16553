// Canned cycles, full-circle cutting, reference return, mirror and rotation as move transcripts.
#include "nc/canned_cycles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "nc/motion_recorder.h"

namespace vantrel {
namespace {

constexpr double kEps = 1e-9;

struct Rig {
    ToolPosition tool;
    MotionRecorder rec;
    Shared<bool> stop{false};
    Shared<int32_t> spindle{0};
    StepperEnv env;
    MotionContext ctx;
    Rig() {
        env.tool = &tool;
        env.sink = &rec;
        env.stopRequested = &stop;
        ctx.env = &env;
        ctx.feedStep = 0.5;
    }
    // (kind, end z) of every piece.
    std::vector<std::pair<int32_t, double>> zMoves() const {
        std::vector<std::pair<int32_t, double>> out;
        for (const auto& p : rec.pieces) out.push_back({p.segment.moveKind, p.segment.end.z});
        return out;
    }
};

using Moves = std::vector<std::pair<int32_t, double>>;
constexpr int32_t R = kMoveRapid, F = kMoveLine;

TEST(CannedCycle, G73PecksWithSmallRetracts) {
    Rig rig;
    CannedCycleRequest rq;
    rq.cycle = 73;
    rq.holeX = 5;
    rq.holeY = 6;
    rq.rPointZ = 2;
    rq.bottomZ = -3;
    rq.peck = 1;
    rq.returnToR = false;
    Vec3 end = runCannedCycle(rig.ctx, rq, {0, 0, 10}, &rig.spindle);
    Moves expected = {{R, 10}, {R, 2},    {F, 1},  {R, 1.2}, {F, 1},    {F, 0},  {R, 0.2}, {F, 0},
                      {F, -1}, {R, -0.8}, {F, -1}, {F, -2},  {R, -1.8}, {F, -2}, {F, -3},  {R, 10}};
    Moves got = rig.zMoves();
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].first, expected[i].first) << i;
        EXPECT_NEAR(got[i].second, expected[i].second, 1e-12) << i;
    }
    EXPECT_EQ(end, (Vec3{5, 6, 10}));
    EXPECT_EQ(rig.rec.pieces[0].segment.end, (Vec3{5, 6, 10}));
}

TEST(CannedCycle, G83RetractsToRPointAndG99ReturnsThere) {
    Rig rig;
    CannedCycleRequest rq;
    rq.cycle = 83;
    rq.rPointZ = 2;
    rq.bottomZ = -1.5;
    rq.peck = 1.5;
    rq.returnToR = true;
    Vec3 end = runCannedCycle(rig.ctx, rq, {0, 0, 10}, nullptr);
    Moves expected = {{R, 10}, {R, 2}, {F, 0.5}, {R, 2},    {R, 0.5},
                      {F, -1}, {R, 2}, {R, -1},  {F, -1.5}, {R, 2}};
    Moves got = rig.zMoves();
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i].second, expected[i].second, 1e-12) << i;
    EXPECT_EQ(end.z, 2);
}

TEST(CannedCycle, NonPositivePeckMakesOneFeedToTheBottom) {
    for (double q : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        Rig rig;
        CannedCycleRequest rq;
        rq.cycle = 73;
        rq.rPointZ = 2;
        rq.bottomZ = -30;
        rq.peck = q;
        runCannedCycle(rig.ctx, rq, {0, 0, 10}, nullptr);
        Moves got = rig.zMoves();
        ASSERT_EQ(got.size(), 4u);
        EXPECT_EQ(got[2], (std::pair<int32_t, double>{F, -30}));
    }
}

TEST(CannedCycle, StepPlayDrillsWithoutPecks) {
    Rig rig;
    CannedCycleRequest rq;
    rq.cycle = 73;
    rq.rPointZ = 2;
    rq.bottomZ = -3;
    rq.peck = 1;
    rq.stepPlay = true;
    runCannedCycle(rig.ctx, rq, {0, 0, 10}, nullptr);
    EXPECT_EQ(rig.zMoves().size(), 4u);
}

TEST(CannedCycle, TappingTurnsTheSpindleAndReturns) {
    for (int32_t cycle : {84, 74}) {
        Rig rig;
        CannedCycleRequest rq;
        rq.cycle = cycle;
        rq.rPointZ = 3;
        rq.bottomZ = -10;
        Vec3 end = runCannedCycle(rig.ctx, rq, {0, 0, 20}, &rig.spindle);
        Moves expected = {{R, 20}, {R, 3}, {F, -10}, {F, 3}, {R, 20}};
        EXPECT_EQ(rig.zMoves(), expected);
        int32_t first = cycle == 84 ? 1 : 2, second = cycle == 84 ? 2 : 1;
        EXPECT_EQ(rig.rec.spindleStates, (std::vector<int32_t>{first, second, 0}));
        EXPECT_EQ(rig.spindle.load(), 0);
        EXPECT_EQ(end.z, 20);
    }
}

TEST(CannedCycle, RepeatsDrillTheSameHoleAndStopEndsTheLoop) {
    Rig rig;
    CannedCycleRequest rq;
    rq.cycle = 81;
    rq.rPointZ = 1;
    rq.bottomZ = -1;
    rq.repeats = 3;
    rq.returnToR = true;
    runCannedCycle(rig.ctx, rq, {0, 0, 5}, nullptr);
    EXPECT_EQ(rig.zMoves().size(), 12u);

    Rig stopped;
    stopped.stop = true;
    rq.repeats = 1000000;
    runCannedCycle(stopped.ctx, rq, {0, 0, 5}, nullptr);
    EXPECT_TRUE(stopped.rec.pieces.empty());
}

TEST(CannedCycle, TinyPeckIsBoundedByTheBudget) {
    Rig rig;
    rig.env.stepBudget = 1000;
    CannedCycleRequest rq;
    rq.cycle = 83;
    rq.rPointZ = 0;
    rq.bottomZ = -1e6;
    rq.peck = 1e-6;
    runCannedCycle(rig.ctx, rq, {0, 0, 1}, nullptr);
    EXPECT_LE(rig.rec.pieces.size(), 1100u);
}

TEST(MirrorAndRotation, MirrorAboutACentreAndArcDirection) {
    SegmentChain ch;
    ch.points[0] = {15, 0, 0};
    ch.append(kMoveArcCW, kPlaneXY, {15, 10, 0}, {15, 5, 0}, 5);
    mirrorChain(ch, {10, 0, 0}, {true, false, false});
    EXPECT_EQ(ch.points[0], (Vec3{5, 0, 0}));  // X15 about X10 becomes X5
    EXPECT_EQ(ch.pieces[0].end, (Vec3{5, 10, 0}));
    EXPECT_EQ(ch.pieces[0].centre, (Vec3{5, 5, 0}));
    EXPECT_EQ(ch.pieces[0].moveKind, kMoveArcCCW);
    // Both axes of the plane mirrored: the direction stays.
    mirrorChain(ch, {0, 0, 0}, {true, true, false});
    EXPECT_EQ(ch.pieces[0].moveKind, kMoveArcCCW);
    // Z alone does not change an XY arc.
    mirrorChain(ch, {0, 0, 1}, {false, false, true});
    EXPECT_EQ(ch.pieces[0].moveKind, kMoveArcCCW);
    EXPECT_EQ(ch.pieces[0].end.z, 2);
}

TEST(MirrorAndRotation, RotationInEachPlane) {
    Vec3 p{20, 10, 3};
    rotatePoint(p, kPlaneXY, {10, 10, 0}, std::numbers::pi / 2);
    EXPECT_NEAR(p.x, 10, kEps);
    EXPECT_NEAR(p.y, 20, kEps);
    EXPECT_EQ(p.z, 3);
    Vec3 q{1, 5, 0};
    rotatePoint(q, kPlaneZX, {0, 0, 0}, std::numbers::pi / 2);  // (X, Z) rotate: X1 -> Z1
    EXPECT_NEAR(q.x, 0, kEps);
    EXPECT_NEAR(q.z, 1, kEps);
    EXPECT_EQ(q.y, 5);
}

TEST(FullCircleCut, G12CutsAroundThePositionAndReturns) {
    Rig rig;
    runFullCircleCut(rig.ctx, true, kPlaneXY, 5, {1, 2, -1});
    ASSERT_EQ(rig.rec.pieces.size(), 3u);
    EXPECT_EQ(rig.rec.pieces[1].segment.radius, 5);
    EXPECT_EQ(rig.rec.pieces[1].segment.moveKind, kMoveArcCW);
    double maxDist = 0;
    for (const Vec3& p : rig.rec.steps) maxDist = std::max(maxDist, std::hypot(p.x - 1, p.y - 2));
    EXPECT_NEAR(maxDist, 5, 1e-9);
    EXPECT_EQ(rig.tool.get(), (Vec3{1, 2, -1}));
    // I not above 0: straight moves, no NaN.
    Rig bad;
    runFullCircleCut(bad.ctx, false, kPlaneXY, -3, {0, 0, 0});
    for (const Vec3& p : bad.rec.steps) EXPECT_TRUE(isFinite(p));
    EXPECT_EQ(bad.tool.get(), (Vec3{0, 0, 0}));
}

TEST(ReferenceReturn, NamedAxesGoToTheReferenceOthersStay) {
    Rig rig;
    Vec3 end = runReferenceReturn(rig.ctx, {10, 20, 5}, {10, 20, 5}, {false, false, true}, {300, 200, 350});
    EXPECT_EQ(end, (Vec3{10, 20, 350}));
    ASSERT_EQ(rig.rec.pieces.size(), 2u);
    EXPECT_EQ(rig.rec.pieces[0].segment.moveKind, kMoveRapid);
}

struct PathLog : PathDrawHook {
    std::vector<std::pair<int32_t, PathStyle>> drawn;
    void drawPiece(const MotionSegment& piece, PathStyle style) override {
        drawn.push_back({piece.moveKind, style});
    }
};

TEST(PathDrawing, PiecesAreDrawnBeforeTheyRunAndRapidsCanBeLeftOut) {
    Rig rig;
    PathLog log;
    rig.ctx.pathHook = &log;
    runRapid(rig.ctx, {0, 0, 0}, {1, 0, 0});
    runFeed(rig.ctx, {1, 0, 0}, {2, 0, 0});
    rig.ctx.pathSkipRapids = true;
    runRapid(rig.ctx, {2, 0, 0}, {3, 0, 0});
    ASSERT_EQ(log.drawn.size(), 2u);
    EXPECT_EQ(log.drawn[0].second, PathStyle::Rapid);
    EXPECT_EQ(log.drawn[1].second, PathStyle::Feed);
    EXPECT_EQ(rig.rec.pieces.size(), 3u);
}

TEST(PathDrawing, CannedCycleDrawsItsPreviewOnceAndNotEachMove) {
    Rig rig;
    PathLog log;
    rig.ctx.pathHook = &log;
    CannedCycleRequest rq;
    rq.cycle = 83;
    rq.rPointZ = 2;
    rq.bottomZ = -6;
    rq.peck = 2;
    rq.repeats = 2;
    runCannedCycle(rig.ctx, rq, {0, 0, 10}, nullptr);
    ASSERT_EQ(log.drawn.size(), 3u);  // dotted to the hole, dotted to the R point, solid to the bottom
    EXPECT_EQ(log.drawn[0].second, PathStyle::Rapid);
    EXPECT_EQ(log.drawn[1].second, PathStyle::Rapid);
    EXPECT_EQ(log.drawn[2].second, PathStyle::Feed);
    EXPECT_EQ(rig.ctx.pathHook, &log);
    EXPECT_GT(rig.rec.pieces.size(), 10u);
}

TEST(CuttingTimeCaption, MinutesWithTwoDecimalsAndUnit) {
    EXPECT_EQ(cuttingTimeCaption(1.23456), "1.23分");
    EXPECT_EQ(cuttingTimeCaption(0), "0分");
}

}  // namespace
}  // namespace vantrel
