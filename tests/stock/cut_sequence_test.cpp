// Material removal over sequences of tool positions: a lathe sequence, and the milling cut's shape
// loops and vector path against the general portable outline.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "stock/material_removal.h"

namespace vantrel {
namespace {

TEST(CutSequence, LatheFacingTurningBoringAndDrilling) {
    StockGrid grid;
    StockSpec stock;
    applyMachineStockDefaults(stock, MachineKind::Lathe);  // D100, bore 0, length 150, face at Z 0
    initialiseStockGrid(grid, stock, MachineKind::Lathe);
    ToolRecord outer = defaultLatheTool();  // 外右
    ToolRecord inner = defaultLatheTool();
    applyLatheToolKind(inner, 4);  // 内右
    ToolRecord drill = defaultLatheTool();
    applyLatheToolKind(drill, 9);  // 端ドリル, D10

    // Facing at Z -0.5 down past the centre, then turning to D80 over 50 mm in 0.25 mm steps.
    for (double x = 55; x >= -0.5; x -= 0.25) applyTurnCut(grid, stock, outer, {x, 0, -0.5});
    for (double z = 2; z >= -50; z -= 0.25) applyTurnCut(grid, stock, outer, {40, 0, z});
    // Drill 30 deep, then bore to D20 over 20 mm.
    for (double z = 5; z >= -30; z -= 0.25) applyTurnCut(grid, stock, drill, {0, 0, z});
    for (double z = -1; z >= -20; z -= 0.25) applyTurnCut(grid, stock, inner, {10, 0, z});

    const float* od = grid.outerDiameters();
    const float* id = grid.innerDiameters();
    EXPECT_EQ(od[0], -1);  // faced past the axis: stored as it is
    for (int k = 1; k <= 49; ++k) EXPECT_EQ(od[k], 80) << k;
    EXPECT_EQ(od[50], 80);  // Z -50 lies on slice 50's face
    EXPECT_EQ(od[51], 100);
    for (int k = 1; k <= 20; ++k) EXPECT_EQ(id[k], 20) << k;
    for (int k = 21; k <= 30; ++k) EXPECT_EQ(id[k], 10) << k;
    EXPECT_EQ(id[31], 0);
    // An outer profile never grows under an outer tool.
    for (double z = 0; z >= -60; z -= 0.5) applyTurnCut(grid, stock, outer, {45, 0, z});
    EXPECT_EQ(od[10], 80);
}

// The shape-specific loops must give what the general outline gives.
TEST(CutSequence, FlatAndBallLoopsAgreeWithTheGeneralOutline) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> xy(-3, 103), z(-12, 1);
    for (double nose : {0.0, 5.0}) {
        StockGrid a, b;
        StockSpec stock;
        stock.pitch = 0.5;
        initialiseStockGrid(a, stock, MachineKind::VerticalMill);
        initialiseStockGrid(b, stock, MachineKind::VerticalMill);
        ToolRecord fast = defaultMillTool();
        fast.noseRadius = nose;
        ToolRecord general = fast;
        general.angleA = 1e-7;  // practically the same cutter, but not recognised as flat or ball
        const ToolProfile pf = computeToolProfile(fast, 0), pg = computeToolProfile(general, 0);
        for (int i = 0; i < 300; ++i) {
            const Vec3 p{xy(rng), xy(rng), z(rng)};
            applyMillCut(a, stock, fast, pf, p, false);
            applyMillCut(b, stock, general, pg, p, false);
        }
        double worst = 0;
        for (int ix = 0; ix <= 200; ++ix)
            for (int iy = 0; iy <= 200; ++iy)
                worst = std::max(worst, static_cast<double>(std::fabs(a.height(ix, iy) - b.height(ix, iy))));
        EXPECT_LT(worst, 1e-3) << "nose radius " << nose;
    }
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

// The vector path and the portable loops must give the same heights, bit for bit.
TEST(CutSequence, VectorAndPortableCutsAgreeExactly) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> xy(-8, 108), z(-60, 2), d(0.3, 30);
    StockSpec stock;
    stock.pitch = 0.7;  // window rows of every length modulo 8
    StockGrid a, b;
    initialiseStockGrid(a, stock, MachineKind::VerticalMill);
    initialiseStockGrid(b, stock, MachineKind::VerticalMill);
    for (int i = 0; i < 400; ++i) {
        ToolRecord t = defaultMillTool();
        t.diameter = d(rng);
        switch (i % 4) {
            case 0:
                t.noseRadius = 0;
                break;  // flat
            case 1:
                t.noseRadius = t.diameter / 2;
                break;  // ball
            case 2:
                t.noseRadius = t.diameter / 5;
                break;  // bull nose
            case 3:
                t.noseRadius = 0, t.angleA = 30;
                break;  // drill point
        }
        if (i % 7 == 0) t.angleB = 10;  // tapered side
        const ToolProfile prof = computeToolProfile(t, 0);
        const Vec3 p{xy(rng), xy(rng), z(rng)};
        setVectorMillCut(true);
        const MillCutResult ra = applyMillCut(a, stock, t, prof, p, false);
        setVectorMillCut(false);
        const MillCutResult rb = applyMillCut(b, stock, t, prof, p, false);
        ASSERT_EQ(ra.stockChanged, rb.stockChanged) << i;
        ASSERT_EQ(ra.changedIxMin, rb.changedIxMin) << i;
        ASSERT_EQ(ra.changedIxMax, rb.changedIxMax) << i;
        ASSERT_EQ(ra.changedIyMin, rb.changedIyMin) << i;
        ASSERT_EQ(ra.changedIyMax, rb.changedIyMax) << i;
        ASSERT_EQ(ra.highestLowered, rb.highestLowered) << i;
    }
    setVectorMillCut(true);
    int differing = 0;
    for (int ix = 0; ix <= kStockMaxIndex; ++ix)
        for (int iy = 0; iy <= kStockMaxIndex; ++iy)
            if (a.height(ix, iy) != b.height(ix, iy)) ++differing;
    EXPECT_EQ(differing, 0);
}

// The bounds a cut reports hold every node whose height changed: the rows exactly, along a row the
// nodes the cut visited; the highest height reported is the highest that a changed node had. This
// for every cutter shape and both paths: the drawing of the stock during a play redraws only what
// these bounds cover.
TEST(CutSequence, ReportedChangeBoundsAreExact) {
    std::mt19937 rng(5);
    StockSpec stock;
    stock.sizeX = 30, stock.sizeY = 20, stock.pitch = 0.5;
    const int nx = 60, ny = 40;
    std::uniform_real_distribution<double> xy(-6, 36), z(-49, 1), d(0.5, 14);
    for (bool vector : {true, false}) {
        setVectorMillCut(vector);
        StockGrid g;
        initialiseStockGrid(g, stock, MachineKind::VerticalMill);
        std::vector<float> before(static_cast<size_t>((nx + 1) * (ny + 1)));
        int changedCuts = 0;
        for (int i = 0; i < 400; ++i) {
            ToolRecord t = defaultMillTool();
            t.diameter = d(rng);
            t.noseRadius = i % 3 == 0 ? 0 : (i % 3 == 1 ? t.diameter / 2 : t.diameter / 6);
            if (i % 5 == 0) t.angleA = 30, t.noseRadius = 0;
            const ToolProfile prof = computeToolProfile(t, 0);
            for (int ix = 0; ix <= nx; ++ix)
                for (int iy = 0; iy <= ny; ++iy)
                    before[static_cast<size_t>(ix * (ny + 1) + iy)] = g.height(ix, iy);
            const bool fast = i % 4 == 3;
            const MillCutResult r = applyMillCut(g, stock, t, prof, {xy(rng), xy(rng), z(rng)}, fast);
            int x0 = INT32_MAX, x1 = -1, y0 = INT32_MAX, y1 = -1;
            float high = 0;
            for (int ix = 0; ix <= nx; ++ix)
                for (int iy = 0; iy <= ny; ++iy) {
                    const float old = before[static_cast<size_t>(ix * (ny + 1) + iy)];
                    if (g.height(ix, iy) == old) continue;
                    x0 = std::min(x0, ix), x1 = std::max(x1, ix), y0 = std::min(y0, iy),
                    y1 = std::max(y1, iy);
                    high = std::max(high, old);
                }
            // Every tip here stays above the stock bottom, so a lowered node always changes.
            ASSERT_EQ(r.stockChanged, x1 >= 0) << i;
            if (x1 < 0) continue;
            ++changedCuts;
            if (fast) {
                // Fast play: bounds that hold the change, from no lower than the highest node.
                EXPECT_LE(r.changedIxMin, x0) << i;
                EXPECT_GE(r.changedIxMax, x1) << i;
                EXPECT_LE(r.changedIyMin, y0) << i;
                EXPECT_GE(r.changedIyMax, y1) << i;
                EXPECT_GE(r.highestLowered, high) << i;
                continue;
            }
            EXPECT_EQ(r.changedIxMin, x0) << i;
            EXPECT_EQ(r.changedIxMax, x1) << i;
            EXPECT_EQ(r.changedIyMin, r.iyMin) << i;
            EXPECT_EQ(r.changedIyMax, r.iyMax) << i;
            EXPECT_LE(r.changedIyMin, y0) << i;
            EXPECT_GE(r.changedIyMax, y1) << i;
            EXPECT_EQ(r.highestLowered, high) << i;
        }
        EXPECT_GT(changedCuts, 50);
    }
    setVectorMillCut(true);

    // Collected over several cuts, the bounds cover them all; a cut that changes nothing adds nothing.
    StockChange acc;
    MillCutResult a, b, none;
    a.stockChanged = b.stockChanged = true;
    a.changedIxMin = 3, a.changedIxMax = 5, a.changedIyMin = 10, a.changedIyMax = 12, a.highestLowered = 40;
    b.changedIxMin = 4, b.changedIxMax = 9, b.changedIyMin = 2, b.changedIyMax = 11, b.highestLowered = 30;
    acc.add(none);
    EXPECT_TRUE(acc.empty());
    acc.add(a);
    acc.add(b);
    acc.add(none);
    EXPECT_EQ(acc.ixMin, 3);
    EXPECT_EQ(acc.ixMax, 9);
    EXPECT_EQ(acc.iyMin, 2);
    EXPECT_EQ(acc.iyMax, 12);
    EXPECT_EQ(acc.highestLowered, 40);
}

}  // namespace
}  // namespace vantrel
