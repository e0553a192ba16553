// The tool changer's frame positions against numbers worked out by hand.
#include "scene/tool_change_frames.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

void expectAt(const Vec3& got, double x, double y, double z, const char* what, int frame) {
    EXPECT_NEAR(got.x, x, 1e-9) << what << " in frame " << frame;
    EXPECT_NEAR(got.y, y, 1e-9) << what << " in frame " << frame;
    EXPECT_NEAR(got.z, z, 1e-9) << what << " in frame " << frame;
}

TEST(ToolChangeFrames, SwapWorkedOutByHand) {
    // Spindle at (10, 20); arm (-300, 400): pivot P = (-290, 420), arm radius w = 500.
    // From the pivot the spindle lies along (0.6, -0.8), the magazine pocket along (-0.6, 0.8):
    // magazine = P + 500 * (-0.6, 0.8) = (-590, 820).
    // Reference Z 500, holder top h1 = 100, base length h2 = 30 (travel h1 - h2 = 70).
    // Old tool: length 60, holder 40 -> Zb = 500 - 60 - 40 = 400. New: 80 and 30 -> Zb = 390.
    ToolChangeGeometry g;
    g.x = 10;
    g.y = 20;
    g.armX = -300;
    g.armY = 400;
    g.referenceZ = 500;
    g.holderTop = 100;
    g.holderBaseLength = 30;
    const std::vector<ToolChangeFrame> f = toolChangeFrames(g, {60, 40}, {80, 30});
    ASSERT_EQ(f.size(), 43u);  // 11 + 21 + 11

    // Pull-out, frame 0: Zb - h2 = 370 (old) and 360 (new).
    expectAt(f[0].oldTool, 10, 20, 370, "old", 0);
    expectAt(f[0].newTool, -590, 820, 360, "new", 0);
    // Frame 5: down by 70 * 5 / 10 = 35: 335 and 325.
    expectAt(f[5].oldTool, 10, 20, 335, "old", 5);
    expectAt(f[5].newTool, -590, 820, 325, "new", 5);
    // Frame 10: Zb - h1 = 300 and 290.
    expectAt(f[10].oldTool, 10, 20, 300, "old", 10);
    expectAt(f[10].newTool, -590, 820, 290, "new", 10);

    // Swing, i = 0 (frame 11): where the pull-out left them.
    expectAt(f[11].oldTool, 10, 20, 300, "old", 11);
    expectAt(f[11].newTool, -590, 820, 290, "new", 11);
    // i = 10 (frame 21): a quarter turn, (0.6, -0.8) turned by +90 degrees is (0.8, 0.6):
    // old at P + 500 * (0.8, 0.6) = (110, 720); new at P + 500 * (-0.8, -0.6) = (-690, 120).
    expectAt(f[21].oldTool, 110, 720, 300, "old", 21);
    expectAt(f[21].newTool, -690, 120, 290, "new", 21);
    // i = 20 (frame 31): half a turn, the tools have exchanged places.
    expectAt(f[31].oldTool, -590, 820, 300, "old", 31);
    expectAt(f[31].newTool, 10, 20, 290, "new", 31);

    // Push-in, i = 0 (frame 32) at Zb - h1; i = 10 (frame 42) back at Zb - h2: 370 and 360.
    expectAt(f[32].oldTool, -590, 820, 300, "old", 32);
    expectAt(f[32].newTool, 10, 20, 290, "new", 32);
    expectAt(f[42].oldTool, -590, 820, 370, "old", 42);
    expectAt(f[42].newTool, 10, 20, 360, "new", 42);

    // Every swing frame keeps both tools on the arm's circle, opposite each other.
    for (int i = 11; i <= 31; ++i) {
        const Vec3 mid = (f[i].oldTool + f[i].newTool) * 0.5;
        EXPECT_NEAR(mid.x, -290, 1e-9) << i;
        EXPECT_NEAR(mid.y, 420, 1e-9) << i;
    }
}

TEST(ToolChangeFrames, DefaultArmAndNoHolder) {
    // Arm (-250, 100) from the spindle at (0, 0): the magazine lies at twice the arm, (-500, 200).
    // Without a holder (h1 = h2 = 0) nothing moves up or down: every height is Zb.
    ToolChangeGeometry g;
    const std::vector<ToolChangeFrame> f = toolChangeFrames(g, {50, 0}, {100, 0});
    ASSERT_EQ(f.size(), 43u);
    for (size_t i = 0; i < f.size(); ++i) {
        EXPECT_NEAR(f[i].oldTool.z, 450, 1e-9) << i;
        EXPECT_NEAR(f[i].newTool.z, 400, 1e-9) << i;
    }
    expectAt(f[0].newTool, -500, 200, 400, "new", 0);
    expectAt(f[42].oldTool, -500, 200, 450, "old", 42);
    expectAt(f[42].newTool, 0, 0, 400, "new", 42);
}

}  // namespace
}  // namespace vantrel
