#include <gtest/gtest.h>

#include <cmath>

#include "stock/material_removal.h"

namespace vantrel {
namespace {

ToolRecord flatMill(double d) {
    ToolRecord t = defaultMillTool();
    t.diameter = d;
    t.noseRadius = 0;
    return t;
}

struct MillCut : ::testing::Test {
    StockGrid g;
    StockSpec s;  // 100 x 100 x 50 at (0, 0, -50), pitch 1
    MillCutResult cut(const ToolRecord& t, Vec3 p, bool fast = false) {
        return applyMillCut(g, s, t, computeToolProfile(t, 0), p, fast);
    }
};

TEST_F(MillCut, FlatEndMillFlattensItsDisc) {
    ToolRecord t = flatMill(10);
    MillCutResult r = cut(t, {50, 50, -5});
    EXPECT_TRUE(r.stockChanged);
    EXPECT_EQ(g.height(50, 50), 45);
    EXPECT_EQ(g.height(55, 50), 45);
    EXPECT_EQ(g.height(53, 54), 45);
    EXPECT_EQ(g.height(56, 50), 50);
    EXPECT_EQ(g.height(54, 54), 50);  // 5.66 from the axis
    EXPECT_EQ(r.ixMin, 45);
    EXPECT_EQ(r.ixMax, 55);
    // The same cut again lowers nothing.
    EXPECT_FALSE(cut(t, {50, 50, -5}).stockChanged);
}

TEST_F(MillCut, AboveTheTopCutsNothingAndFastPlaySkips) {
    ToolRecord t = flatMill(10);
    MillCutResult r = cut(t, {50, 50, 1});
    EXPECT_FALSE(r.stockChanged);
    EXPECT_FALSE(r.skipped);
    EXPECT_EQ(g.height(50, 50), 50);
    r = cut(t, {50, 50, 1}, true);
    EXPECT_TRUE(r.skipped);
    // Exactly at the top the tool touches without lowering.
    EXPECT_FALSE(cut(t, {50, 50, 0}).stockChanged);
}

TEST_F(MillCut, DisabledCuttingRemovesNothing) {
    s.cuttingEnabled = false;
    EXPECT_FALSE(cut(flatMill(10), {50, 50, -20}).stockChanged);
    EXPECT_EQ(g.height(50, 50), 50);
}

TEST_F(MillCut, BallBullAndDrillSurfaces) {
    ToolRecord ball = defaultMillTool();  // D10 r5
    cut(ball, {50, 50, -10});
    EXPECT_FLOAT_EQ(g.height(50, 50), 40);
    EXPECT_NEAR(g.height(53, 50), 40 + 5 - std::sqrt(25.0 - 9.0), 1e-4);
    EXPECT_NEAR(g.height(50, 54), 40 + 5 - 3, 1e-4);
    EXPECT_EQ(g.height(56, 50), 50);

    ToolRecord bull = flatMill(10);
    bull.noseRadius = 2;
    cut(bull, {20, 20, -10});
    EXPECT_FLOAT_EQ(g.height(22, 20), 40);  // flat bottom out to radius 3
    EXPECT_NEAR(g.height(24, 20), 40 + 2 - std::sqrt(4.0 - 1.0), 1e-4);

    ToolRecord drill = flatMill(10);
    drill.angleA = 30;
    cut(drill, {80, 80, -10});
    EXPECT_FLOAT_EQ(g.height(80, 80), 40);
    EXPECT_NEAR(g.height(84, 80), 40 + 4 * std::tan(M_PI / 6), 1e-4);

    // A tapered side (angle B) widens the cut above the tip.
    ToolRecord taper = flatMill(4);
    taper.angleB = 45;
    taper.length = 10;
    cut(taper, {50, 20, -10});
    EXPECT_FLOAT_EQ(g.height(51, 20), 40);
    EXPECT_NEAR(g.height(54, 20), 40 + 2, 1e-4);  // 2 beyond the side tangent at 45 degrees
    EXPECT_EQ(g.height(63, 20), 50);
}

TEST_F(MillCut, TipPositionMovesTheAxis) {
    ToolRecord t = flatMill(10);
    t.tipPosition = 1;
    cut(t, {20, 20, -5});
    EXPECT_EQ(g.height(25, 25), 45);
    EXPECT_EQ(g.height(30, 25), 45);
    EXPECT_EQ(g.height(19, 25), 50);
}

TEST_F(MillCut, WindowIsClippedAndNothingGoesBelowZero) {
    ToolRecord t = flatMill(10);
    cut(t, {1, 99, -60});  // across two edges, below the bottom
    EXPECT_EQ(g.height(0, 100), 0);
    EXPECT_EQ(g.height(4, 96), 0);
    EXPECT_EQ(g.height(0, 101), 50);  // beyond NY: not cut
    EXPECT_EQ(g.height(101, 99), 50);
    // Far outside the lattice or with sizes from another pitch: stays inside the block.
    cut(t, {-1e9, 1e9, -5});
    cut(t, {std::nan(""), 5, -5});
    s.sizeX = s.sizeY = 5000;
    s.pitch = 0.05;  // 100000 nodes by the sizes: clamped to the lattice
    ToolRecord big = flatMill(400);
    cut(big, {50, 50, -5});
    EXPECT_EQ(g.height(1000, 1000), 45);
    s.pitch = 0;
    EXPECT_FALSE(cut(t, {10, 10, -5}).stockChanged);
}

TEST_F(MillCut, ATinyPitchKeepsTheWindowWhereTheToolIs) {
    // 1e-300 puts the whole lattice (1000 nodes by the clamped sizes) within a hair of the origin.
    // The window's ends are then far beyond any integer: a tool centred there covers every node, a
    // tool beside it none, and neither overflows on the way.
    s.pitch = 1e-300;
    ToolRecord t = flatMill(10);
    MillCutResult r = cut(t, {0, 0, -5});
    EXPECT_TRUE(r.stockChanged);
    EXPECT_EQ(r.ixMin, 0);
    EXPECT_EQ(r.ixMax, 1000);
    EXPECT_EQ(g.height(0, 0), 45);
    EXPECT_EQ(g.height(1000, 1000), 45);
    EXPECT_FALSE(cut(t, {6, 6, -10}).stockChanged);  // the window's first node beyond every integer
    EXPECT_EQ(g.height(500, 500), 45);
    EXPECT_FALSE(cut(t, {1e30f, -1e30f, -10}).stockChanged);
}

TEST(TurnCut, OuterInnerAndDrills) {
    StockGrid g;
    StockSpec s;
    applyMachineStockDefaults(s, MachineKind::Lathe);
    initialiseStockGrid(g, s, MachineKind::Lathe);
    ToolRecord outer = defaultLatheTool();  // 外右
    EXPECT_TRUE(applyTurnCut(g, s, outer, {40, 0, -3.5}));
    EXPECT_EQ(g.outerDiameters()[3], 80);
    EXPECT_FALSE(applyTurnCut(g, s, outer, {45, 0, -3.5}));
    EXPECT_EQ(g.outerDiameters()[3], 80);
    // A tool at Z = -2.5 falls in slice 2.
    applyTurnCut(g, s, outer, {30, 0, -2.5});
    EXPECT_EQ(g.outerDiameters()[2], 60);
    // In front of the end face (also within one pitch of it) and beyond slice 1000: nothing.
    EXPECT_FALSE(applyTurnCut(g, s, outer, {10, 0, 0.5}));
    EXPECT_EQ(g.outerDiameters()[0], 100);
    EXPECT_FALSE(applyTurnCut(g, s, outer, {10, 0, -1002}));
    EXPECT_FALSE(applyTurnCut(g, s, outer, {10, 0, -1e30}));
    EXPECT_FALSE(applyTurnCut(g, s, outer, {10, 0, std::nan("")}));
    EXPECT_TRUE(applyTurnCut(g, s, outer, {10, 0, -1000.5}));
    EXPECT_EQ(g.outerDiameters()[1000], 20);
    // Facing past the centre is stored as it is.
    applyTurnCut(g, s, outer, {-0.5, 0, -7.2});
    EXPECT_EQ(g.outerDiameters()[7], -1);

    ToolRecord inner = defaultLatheTool();
    applyLatheToolKind(inner, 4);
    EXPECT_TRUE(applyTurnCut(g, s, inner, {10, 0, -5.5}));
    EXPECT_EQ(g.innerDiameters()[5], 20);
    EXPECT_FALSE(applyTurnCut(g, s, inner, {8, 0, -5.5}));

    ToolRecord axial = defaultLatheTool();
    applyLatheToolKind(axial, 9);
    applyTurnCut(g, s, axial, {123, 0, -8.5});
    EXPECT_EQ(g.innerDiameters()[8], 10);

    ToolRecord radial = defaultLatheTool();
    applyLatheToolKind(radial, 8);
    EXPECT_FALSE(applyTurnCut(g, s, radial, {0, 0, -9.5}));
    EXPECT_EQ(g.outerDiameters()[9], 100);
    EXPECT_EQ(g.innerDiameters()[9], 0);
}

}  // namespace
}  // namespace vantrel
