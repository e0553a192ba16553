// Material removal over sequences of tool positions: a lathe sequence, and the milling cut's shape
// loops and vector path against the general portable outline.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

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
    }
    setVectorMillCut(true);
    int differing = 0;
    for (int ix = 0; ix <= kStockMaxIndex; ++ix)
        for (int iy = 0; iy <= kStockMaxIndex; ++iy)
            if (a.height(ix, iy) != b.height(ix, iy)) ++differing;
    EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace vantrel
