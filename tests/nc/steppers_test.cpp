#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "nc/motion.h"
#include "nc/motion_recorder.h"
#include "platform/input_state.h"

namespace vantrel {
namespace {

constexpr double kEps = 1e-9;

struct Rig {
    ToolPosition tool;
    MotionRecorder rec;
    InputState input;
    Shared<bool> stop{false};
    Shared<bool> moving{false};
    StepperEnv env;
    Rig() {
        env.tool = &tool;
        env.sink = &rec;
        env.input = &input;
        env.stopRequested = &stop;
        env.moveInProgress = &moving;
    }
};

TEST(ArcCentreFromRadius, ShortAndLongArcInEachPlane) {
    Vec3 c = ArcCentreFromRadius(kPlaneXY, 2, 10, {10, 0, 0}, {0, 0, 0});
    EXPECT_NEAR(c.x, 5, kEps);
    EXPECT_NEAR(c.y, -std::sqrt(75.0), kEps);
    c = ArcCentreFromRadius(kPlaneXY, 2, -10, {10, 0, 0}, {0, 0, 0});
    EXPECT_NEAR(c.y, std::sqrt(75.0), kEps);
    // Counter-clockwise flips the sides.
    c = ArcCentreFromRadius(kPlaneXY, 3, 10, {10, 0, 0}, {0, 0, 0});
    EXPECT_NEAR(c.y, std::sqrt(75.0), kEps);
    // G18 (Z first, X second) and G19 (Y first, Z second): the chord along the first axis.
    c = ArcCentreFromRadius(kPlaneZX, 2, 10, {0, 4, 10}, {0, 4, 0});
    EXPECT_NEAR(c.z, 5, kEps);
    EXPECT_NEAR(c.x, -std::sqrt(75.0), kEps);
    EXPECT_NEAR(c.y, 4, kEps);  // the normal coordinate is the start's
    c = ArcCentreFromRadius(kPlaneYZ, 3, -10, {0, 10, 0}, {0, 0, 0});
    EXPECT_NEAR(c.y, 5, kEps);
    EXPECT_NEAR(c.z, -std::sqrt(75.0), kEps);
}

TEST(ArcCentreFromRadius, DegenerateRadiiFallBackSafely) {
    Vec3 c = ArcCentreFromRadius(kPlaneXY, 2, 3, {10, 0, 1}, {0, 0, 1});  // R below half the chord
    EXPECT_EQ(c, (Vec3{5, 0, 1}));
    c = ArcCentreFromRadius(kPlaneXY, 2, 0, {10, 0, 0}, {1, 2, 3});
    EXPECT_EQ(c, (Vec3{1, 2, 3}));
    c = ArcCentreFromRadius(kPlaneXY, 2, 5, {1, 2, 3}, {1, 2, 3});
    EXPECT_EQ(c, (Vec3{1, 2, 3}));
    c = ArcCentreFromRadius(kPlaneXY, 2, std::numeric_limits<double>::quiet_NaN(), {10, 0, 0}, {0, 0, 0});
    EXPECT_TRUE(isFinite(c));
}

TEST(StepLine, EvenStepsAndExactEnd) {
    Rig rig;
    StepLine(rig.env, 1.0, {10, 0, 0}, {0, 0, 0});
    ASSERT_EQ(rig.rec.steps.size(), 9u);
    for (size_t i = 0; i < 9; ++i) EXPECT_NEAR(rig.rec.steps[i].x, static_cast<double>(i + 1), kEps);
    EXPECT_EQ(rig.rec.moveEnds.back(), (Vec3{10, 0, 0}));
    EXPECT_EQ(rig.tool.get(), (Vec3{10, 0, 0}));
    EXPECT_FALSE(rig.moving.load());
    // Diagonal: every step one step length from the previous.
    rig.rec = MotionRecorder{};
    StepLine(rig.env, 0.3, {3, 4, -12}, {0, 0, 0});
    Vec3 prev{0, 0, 0};
    for (const Vec3& p : rig.rec.steps) {
        EXPECT_NEAR((p - prev).length(), 0.3, 1e-9);
        prev = p;
    }
    EXPECT_LE((Vec3{3, 4, -12} - prev).length(), 0.3 + kEps);
}

TEST(StepLine, NoIntermediatePositionsForBadStepsOrZeroLength) {
    for (double step :
         {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        Rig rig;
        StepLine(rig.env, step, {5, 5, 5}, {0, 0, 0});
        EXPECT_TRUE(rig.rec.steps.empty());
        EXPECT_EQ(rig.tool.get(), (Vec3{5, 5, 5}));
        StepArcCW(rig.env, kPlaneXY, 0, step, 5, {0, 0, 0}, {5, 0, 0}, {0, 5, 0});
        EXPECT_TRUE(rig.rec.steps.empty());
        EXPECT_EQ(rig.tool.get(), (Vec3{5, 0, 0}));
    }
    Rig rig;
    StepLine(rig.env, 0.1, {1, 1, 1}, {1, 1, 1});
    StepRapid(rig.env, {1, 1, 1}, {1, 1, 1});
    EXPECT_TRUE(rig.rec.steps.empty());
    EXPECT_EQ(rig.rec.moveEnds.size(), 2u);
}

TEST(StepLine, TinyStepIsCappedSoAMoveEnds) {
    Rig rig;
    rig.rec.keepSteps = false;
    rig.env.stepBudget = -1;
    StepLine(rig.env, 1e-300, {1, 0, 0}, {0, 0, 0});
    EXPECT_EQ(rig.tool.get(), (Vec3{1, 0, 0}));
}

TEST(StepperPolling, RightButtonSkipsTheRestOfAMoveAndStopRequestToo) {
    Rig rig;
    struct SkipAfter : MotionRecorder {
        InputState* in = nullptr;
        void onStep(const Vec3& p, bool d) override {
            MotionRecorder::onStep(p, d);
            if (steps.size() == 3) in->rightButton = true;
        }
    } rec;
    rec.in = &rig.input;
    rig.env.sink = &rec;
    rig.env.feed.feedPerMinute = 100;
    StepLine(rig.env, 1.0, {10, 0, 0}, {0, 0, 0});
    EXPECT_EQ(rec.steps.size(), 3u);
    EXPECT_EQ(rig.tool.get(), (Vec3{10, 0, 0}));  // a skipped move ends at its end point
    EXPECT_NEAR(rig.env.cuttingTime, 3.0 / 100, kEps) << "the skipped remainder is not counted";

    rig.input.rightButton = false;
    rig.stop = true;
    StepArcCCW(rig.env, kPlaneXY, 5, 0.01, 5, {0, 0, 0}, {5, 0, -10}, {5, 0, 0});
    EXPECT_EQ(rec.steps.size(), 3u);
    EXPECT_EQ(rig.tool.get(), (Vec3{5, 0, -10}));
}

TEST(StepperPolling, StepBudgetEndsEveryMoveOnceSpent) {
    Rig rig;
    rig.env.stepBudget = 5;
    StepLine(rig.env, 0.1, {100, 0, 0}, {0, 0, 0});
    StepArcCW(rig.env, kPlaneXY, 100, 0.001, 5, {0, 0, 0}, {5, 0, 0}, {5, 0, 0});
    EXPECT_EQ(rig.rec.steps.size(), 5u);
    EXPECT_EQ(rig.tool.get(), (Vec3{5, 0, 0}));
}

TEST(StepperPublishing, EachStepSetsPositionAndDrawFlagOnPixelChange) {
    struct EveryOther : MotionRecorder {
        int n = 0;
        bool pixelChanged(const Vec3&) override { return (++n % 2) == 0; }
        std::vector<bool> due;
        void onStep(const Vec3& p, bool d) override {
            MotionRecorder::onStep(p, d);
            due.push_back(d);
        }
    } rec;
    Rig rig;
    rig.env.sink = &rec;
    StepLine(rig.env, 1.0, {5, 0, 0}, {0, 0, 0});
    ASSERT_EQ(rec.due.size(), 4u);
    EXPECT_FALSE(rec.due[0]);
    EXPECT_TRUE(rec.due[1]);
    EXPECT_TRUE(rig.tool.stepDrawDue.load());  // set again at the end of the move
    EXPECT_EQ(rig.tool.shown(), (Vec3{5, 0, 0}));
}

TEST(StepArc, FullCircleWhenStartEqualsEnd) {
    Rig rig;
    StepArcCCW(rig.env, kPlaneXY, 0, 0.1, 10, {0, 0, 0}, {10, 0, 0}, {10, 0, 0});
    const auto& s = rig.rec.steps;
    ASSERT_NEAR(static_cast<double>(s.size()), 2 * std::numbers::pi * 10 / 0.1, 2);
    double swept = 0;
    Vec3 prev{10, 0, 0};
    for (const Vec3& p : s) {
        EXPECT_NEAR(std::hypot(p.x, p.y), 10, 1e-9);
        double a = std::atan2(prev.x * p.y - prev.y * p.x, prev.x * p.x + prev.y * p.y);
        EXPECT_GT(a, 0) << "counter-clockwise";
        swept += a;
        prev = p;
    }
    EXPECT_NEAR(swept, 2 * std::numbers::pi, 0.011);
}

TEST(StepArc, HelixWithTurnsDescendsOverAllTurns) {
    // G02 Z-3. P3 with a full circle in XY: three turns, Z falls evenly to -3.
    Rig rig;
    rig.env.feed.feedPerMinute = 100;
    StepArcCW(rig.env, kPlaneXY, 3, 0.05, 5, {0, 0, 0}, {5, 0, -3}, {5, 0, 0});
    const auto& s = rig.rec.steps;
    ASSERT_GT(s.size(), 100u);
    double swept = 0;
    Vec3 prev{5, 0, 0};
    for (const Vec3& p : s) {
        EXPECT_NEAR(std::hypot(p.x, p.y), 5, 1e-9);
        EXPECT_LT(p.z, prev.z);
        swept += std::atan2(prev.x * p.y - prev.y * p.x, prev.x * p.x + prev.y * p.y);
        prev = p;
    }
    EXPECT_NEAR(swept, -3 * 2 * std::numbers::pi, 0.05);
    EXPECT_NEAR(prev.z, -3, 0.01);
    EXPECT_EQ(rig.tool.get(), (Vec3{5, 0, -3}));
    // Time: one helix length (extra turns not counted) at 100 mm/min.
    EXPECT_NEAR(rig.env.cuttingTime, std::hypot(3.0, 2 * std::numbers::pi * 5) / 100, 1e-12);
}

TEST(StepArc, OtherPlanesKeepTheNormalCoordinate) {
    Rig rig;
    // G18 G02 from (Z0, X10) to (Z10, X0) about the origin: a quarter in the ZX plane at Y 7.
    StepArcCW(rig.env, kPlaneZX, 0, 0.1, 10, {0, 7, 0}, {0, 7, 10}, {10, 7, 0});
    ASSERT_FALSE(rig.rec.steps.empty());
    for (const Vec3& p : rig.rec.steps) {
        EXPECT_NEAR(std::hypot(p.x, p.z), 10, 1e-9);
        EXPECT_EQ(p.y, 7);
        EXPECT_GE(p.x, -kEps);
        EXPECT_GE(p.z, -kEps);
    }
}

TEST(StepArc, ZeroOrBadRadiusRunsStraight) {
    for (double r : {0.0, -2.0, std::numeric_limits<double>::quiet_NaN()}) {
        Rig rig;
        StepArcCW(rig.env, kPlaneXY, 0, 1.0, r, {0, 0, 0}, {10, 0, 0}, {0, 0, 0});
        ASSERT_EQ(rig.rec.steps.size(), 9u);
        for (const Vec3& p : rig.rec.steps) EXPECT_EQ(p.y, 0);
        EXPECT_EQ(rig.tool.get(), (Vec3{10, 0, 0}));
    }
}

TEST(CuttingTime, RapidLineArcAndZeroDivisors) {
    Rig rig;
    StepRapid(rig.env, {30, 40, 0}, {0, 0, 0});
    EXPECT_NEAR(rig.env.cuttingTime, 50.0 / 10000, 1e-15);
    // No feed given yet: neither a line nor an arc may make the time infinite.
    StepLine(rig.env, 0.5, {30, 50, 0}, {30, 40, 0});
    StepArcCW(rig.env, kPlaneXY, 0, 0.5, 10, {30, 40, 0}, {30, 50, 0}, {40, 40, 0});
    EXPECT_NEAR(rig.env.cuttingTime, 50.0 / 10000, 1e-15);
    EXPECT_NEAR(rig.rec.lastCuttingTime, rig.env.cuttingTime, 0);
    // G95: the revolution divisor.
    rig.env.feed.feedMode = 1;
    rig.env.feed.revolutionFeed = 200;
    StepLine(rig.env, 0.5, {30, 60, 0}, {30, 50, 0});
    EXPECT_NEAR(rig.env.cuttingTime, 50.0 / 10000 + 10.0 / 200, 1e-12);
}

}  // namespace
}  // namespace vantrel
