// Lathe programs played the way the window plays them (the headless play: the same controller, the
// turning dialect, the turning cut at every step), checked against profiles worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "app/headless_setup.h"
#include "app/modal_labels.h"
#include "program/quon_strings.h"

namespace vantrel {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct LathePlay {
    std::unique_ptr<AppState> state = std::make_unique<AppState>();
    TQuonStrings program;
    PlayResult result;
    std::unique_ptr<HeadlessPlay> headless;

    // Stock D100 x 150, end face at Z0, pitch 1; tool entry 0 (outer right) at X150 Z400.
    void play(const std::string& text, MachineKind kind = MachineKind::Lathe, uint8_t mode = kModeLatheFast) {
        HeadlessOptions o;
        o.kind = kind;
        ASSERT_TRUE(setUpHeadlessState(*state, o));
        program.SetText(text);
        headless = std::make_unique<HeadlessPlay>(*state, program);
        result = headless->session().controller().runNow(mode);
    }
    float outer(int k) const { return state->stockGrid.outerDiameters()[k]; }
    float inner(int k) const { return state->stockGrid.innerDiameters()[k]; }
};

// Facing, one turning pass and a groove, in diameter programming.
//
// How the numbers were worked out: the cut lowers slice k = trunc((0 - Z) / 1) to twice the radius of
// every point the tool passes through (steps of 0.2 mm, the feed per revolution, and the end of
// every move).
// - Facing at Z-0.5 to X-1.6 (radius -0.8): slice 0 only, diameter -1.6 (a face cut past the axis).
// - Turning at X80. (radius 40) from Z2 to Z-40: slices 0..40, the end point Z-40 lying in slice 40;
//   slice 0 keeps the smaller -1.6.
// - Groove at Z-20 to X70.: slice 20 becomes 70.
// - Slices 41 and beyond keep 100. Removed: slice 0 all of pi 50^2; 39 slices of pi (50^2 - 40^2);
//   slice 20 pi (50^2 - 35^2), each 1 mm long.
TEST(LathePlay, FacingTurningAndGroovingGiveTheHandWorkedProfile) {
    LathePlay p;
    p.play(
        "%\nT0101\nG99 G97 S500 M03\nG00 X104. Z2.\nG01 Z-0.5 F0.2\nX-1.6\nG00 Z2.\nX80.\nG01 Z-40.\n"
        "G00 X104.\nZ-20.\nG01 X70.\nG00 X104.\nZ2.\nM30\n");
    EXPECT_EQ(p.result.end, PlayEnd::M30);
    EXPECT_FLOAT_EQ(p.outer(0), -1.6f);
    for (int k = 1; k <= 40; ++k) EXPECT_FLOAT_EQ(p.outer(k), k == 20 ? 70.0f : 80.0f) << "slice " << k;
    for (int k = 41; k < 150; ++k) EXPECT_FLOAT_EQ(p.outer(k), 100.0f) << "slice " << k;
    for (int k = 0; k < 150; ++k) EXPECT_FLOAT_EQ(p.inner(k), 0.0f);

    // The play's time: 500 rev/min x 0.2 mm/rev = 100 mm/min. Feeds: 2.5 (Z2 to Z-0.5), 52.8 (radius 52
    // to -0.8), 42 (Z2 to Z-40), 17 (radius 52 to 35): 114.3 mm. Rapids at 10 m/min: from the start
    // (radius 150, Z400) to (52, 2), then 2.5, 40.8, 12, 20, 17 and 22 mm.
    const double rapids = std::hypot(150 - 52, 400 - 2) + 2.5 + 40.8 + 12 + 20 + 17 + 22;
    EXPECT_NEAR(p.result.cuttingTime, 114.3 / 100 + rapids / 10000, 1e-6);
}

// G90 with a taper, in diameter programming: from X102. Z2. (radius 51), G90 X80. Z-30. I-5.
//
// How the numbers were worked out: the feed runs from radius 40 at Z2 to radius 35 at Z-30, so the
// radius falls 5/32 mm per mm of Z: r(Z) = 40 - 5 (2 - Z) / 32. Slice k (Z from -k to -(k+1)) is cut to
// the smallest radius in it, reached at its deep end: diameter 80 - 10 (k + 3) / 32, less one step
// (0.25 mm along the line, 0.247 in Z) of slack: at most 0.08 larger. Slice 30 takes the end point
// Z-30 at radius 35 (diameter 70) and the feed out from there; beyond it the stock stays at 100.
TEST(LathePlay, G90TaperCycleGivesTheHandWorkedProfile) {
    LathePlay p;
    p.play("%\nT0101\nG97 S400 M03\nG00 X102. Z2.\nG90 X80. Z-30. I-5. F0.25\nM30\n");
    EXPECT_EQ(p.result.end, PlayEnd::M30);
    for (int k = 0; k < 30; ++k) {
        const double want = 80 - 10.0 * (k + 3) / 32;
        EXPECT_GE(p.outer(k), want - 1e-4) << "slice " << k;
        EXPECT_LE(p.outer(k), want + 0.08) << "slice " << k;
    }
    EXPECT_FLOAT_EQ(p.outer(30), 70.0f);
    for (int k = 31; k < 150; ++k) EXPECT_FLOAT_EQ(p.outer(k), 100.0f);
    // The tool is back at the start of the play, the stock keeps the cut.
    const Vec3 at = p.state->pos.tool.get();
    EXPECT_DOUBLE_EQ(at.x, 150);
    EXPECT_DOUBLE_EQ(at.z, 400);
}

TEST(LathePlay, RadiusProgrammingAndTheReversalReachTheCut) {
    // Radius programming: X40. is radius 40 (diameter 80). Diameter programming with the X axis
    // reversed: X-80. is -80 / -2 = radius 40.
    for (int variant = 0; variant < 2; ++variant) {
        LathePlay p;
        HeadlessOptions o;
        o.kind = MachineKind::Lathe;
        o.radiusProgramming = variant == 0;
        o.xReversed = variant == 1;
        ASSERT_TRUE(setUpHeadlessState(*p.state, o));
        p.program.SetText(variant == 0 ? "%\nG00 X52. Z2.\nG01 X40. F0.2\nZ-10.\nG00 X52.\nM30\n"
                                       : "%\nG00 X-104. Z2.\nG01 X-80. F0.2\nZ-10.\nG00 X-104.\nM30\n");
        HeadlessPlay h(*p.state, p.program);
        h.session().controller().runNow(kModeLatheFast);
        EXPECT_FLOAT_EQ(p.outer(5), 80.0f) << variant;
    }
}

TEST(LathePlay, AOneLineProgramDoesNothingOnEitherLathe) {
    for (MachineKind kind : {MachineKind::Lathe, MachineKind::VerticalLathe}) {
        for (uint8_t mode : {kModeLathePlay, kModeLatheStep, kModeLatheFast}) {
            LathePlay p;
            p.play("G01 X0. Z-50. F0.2", kind, mode);
            EXPECT_EQ(p.result.blocks, 0);
            EXPECT_EQ(p.headless->controls.position("ProgressBar1"), 0);
            EXPECT_FLOAT_EQ(p.outer(10), 100.0f);
        }
    }
}

TEST(LathePlay, SpeedAndFeedLabelsFollowTheRadiusAndNeverDivideByAStandingSpindle) {
    ControlSet cs;
    addModalStatusControls(cs);
    ModalState m;
    m.speedMode = 0;  // G96 S150
    m.spindleSpeed = 150;
    m.feedMode = 1;  // G99 F0.2
    m.feedPerRev = 0.2;
    showTurningSpeedAndFeed(cs, m, 25);
    EXPECT_EQ(cs.caption("label_s"), "955");
    EXPECT_EQ(cs.caption("label_f1"), "191");
    showTurningSpeedAndFeed(cs, m, 0);  // on the axis: the ceiling
    EXPECT_EQ(cs.caption("label_s"), "99999");
    m.spindleSpeed = 0;
    showTurningSpeedAndFeed(cs, m, 25);
    EXPECT_EQ(cs.caption("label_s"), "0");
    EXPECT_EQ(cs.caption("label_f1"), "0");
    m.feedMode = 0;  // G98 F100: per revolution shown, 0 with the spindle standing
    m.feedPerRev = 100;
    showTurningSpeedAndFeed(cs, m, 25);
    EXPECT_EQ(cs.caption("label_f"), "0");
    m.speedMode = 1;
    m.spindleSpeed = 500;
    showTurningSpeedAndFeed(cs, m, 25);
    EXPECT_EQ(cs.caption("label_f"), "0.2");
    EXPECT_EQ(cs.caption("label_s"), "500");
}

TEST(LathePlay, ThePassShowsTheLathesFeedLabels) {
    LathePlay p;
    p.play("%\nG98 G01 W-1. F100.\nM30\n", MachineKind::Lathe, kModeLathePlay);
    const ControlSet& cs = p.headless->controls;
    EXPECT_TRUE(cs.visible("label_g98"));
    EXPECT_TRUE(cs.visible("label_g99"));
    EXPECT_FALSE(cs.visible("label_g94"));
    EXPECT_FALSE(cs.visible("label_g95"));
}

}  // namespace
}  // namespace vantrel
