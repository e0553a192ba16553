#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "render/view.h"
#include "scene/stock_surface.h"

namespace vantrel {
namespace {

constexpr uint32_t kBack = 0xFFFFFF;

struct Fixture {
    StockSpec spec;
    std::unique_ptr<StockGrid> grid = std::make_unique<StockGrid>();
    ViewState view;
    FrameBuffer fb{320, 240};
    Fixture() {
        spec.sizeX = 100;
        spec.sizeY = 100;
        spec.sizeZ = 50;
        spec.offsetX = 0;
        spec.offsetY = 0;
        spec.offsetZ = -50;
        spec.pitch = 1;
        initialiseStockGrid(*grid, spec, MachineKind::VerticalMill);
        view.originX = 100;
        view.originY = 200;
        view.scale = 3;
        updateViewBasis(view, MachineKind::VerticalMill);
        fb.clearDepth();
        fb.image().fill(kBack);
    }
    int mesh() {
        DrawContext ctx(fb, view);
        return drawStockMesh(ctx, spec, *grid, 0xA0A0A0, false, fb.fullClip(), fullLattice(spec));
    }
};

TEST(StockSurface, FreshBlockIsOneTopQuadPerColumnPlusWalls) {
    Fixture f;
    EXPECT_EQ(f.mesh(), 100 + 4 * 100);
}

TEST(StockSurface, LoweredNodeSplitsOnlyItsTwoColumns) {
    Fixture f;
    f.grid->height(40, 60) = 45;
    // Columns 39 and 40 each: the run above, two sloped cells, the run below.
    EXPECT_EQ(f.mesh(), 98 + 2 * 4 + 400);
}

TEST(StockSurface, HoleShowsTheBackground) {
    Fixture f;
    f.view.viewA = 0.0001;  // looking straight down
    updateViewBasis(f.view, MachineKind::VerticalMill);
    f.view.originX = 160;
    f.view.originY = 120;
    f.view.vwx = -50;
    f.view.vwy = -50;
    f.view.vwz = 0;
    updateViewBasis(f.view, MachineKind::VerticalMill);
    for (int ix = 40; ix <= 60; ++ix)
        for (int iy = 40; iy <= 60; ++iy) f.grid->height(ix, iy) = 0;
    f.mesh();
    // The centre of the block (50, 50) projects to the origin: a hole through which the white shows.
    const ProjectedPoint p = projectPoint(f.view, Vec3{50, 50, -50});
    const int x = f.view.originX + p.px, y = f.view.originY + p.py;
    ASSERT_TRUE(f.fb.image().contains(x, y));
    EXPECT_EQ(f.fb.image().at(x, y), kBack);
    const ProjectedPoint q = projectPoint(f.view, Vec3{20, 20, 0});
    EXPECT_NE(f.fb.image().at(f.view.originX + q.px, f.view.originY + q.py), kBack);
}

TEST(StockSurface, LatheSurfaceStaysInsideTheProfiles) {
    StockSpec s;
    applyMachineStockDefaults(s, MachineKind::Lathe);
    s.pitch = 0.001;  // far more slices than the profile holds: the pairs stop at 1000
    s.sizeZ = 5000;
    auto g = std::make_unique<StockGrid>();
    initialiseStockGrid(*g, s, MachineKind::Lathe);
    ViewState v;
    v.originX = 160;
    v.originY = 120;
    updateViewBasis(v, MachineKind::Lathe);
    FrameBuffer fb(320, 240);
    fb.clearDepth();
    fb.image().fill(kBack);
    DrawContext ctx(fb, v);
    drawLatheStockSurface(ctx, s, *g, 0xA0A0A0, false);
    // Drawn, and (under the sanitizers) without reading past slice 1000.
    int drawn = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) drawn += fb.image().at(x, y) != kBack;
    EXPECT_GT(drawn, 0);
}

TEST(StockSurface, LatheTurnedDiameterIsDrawnSmaller) {
    StockSpec s;
    applyMachineStockDefaults(s, MachineKind::Lathe);
    s.pitch = 1;
    auto g = std::make_unique<StockGrid>();
    initialiseStockGrid(*g, s, MachineKind::Lathe);
    ViewState v;
    v.originX = 160;
    v.originY = 120;
    v.scale = 1;
    updateViewBasis(v, MachineKind::Lathe);
    auto draw = [&] {
        FrameBuffer fb(320, 240);
        fb.clearDepth();
        fb.image().fill(kBack);
        DrawContext ctx(fb, v);
        drawLatheStockSurface(ctx, s, *g, 0xA0A0A0, false);
        int n = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) n += fb.image().at(x, y) != kBack;
        return n;
    };
    const int full = draw();
    EXPECT_GT(full, 100);
    for (int k = 0; k <= 1000; ++k) g->outerDiameters()[k] = std::min(g->outerDiameters()[k], s.sizeX / 2);
    const int turned = draw();
    EXPECT_LT(turned, full);
    EXPECT_GT(turned, 0);
}

TEST(StockSurface, LatticeWindowCoversTheCellsUnderARectangle) {
    Fixture f;
    // The screen point of a node at the top and of one at the bottom of a deep pocket: both cells are
    // in the window of a small rectangle around the top point's pixel.
    const ProjectedPoint p = projectPoint(f.view, Vec3{30, 40, 0});
    const int x = f.view.originX + p.px, y = f.view.originY + p.py;
    const LatticeWindow w = latticeWindowFor(f.view, f.spec, {x - 2, y - 2, x + 2, y + 2});
    ASSERT_FALSE(w.empty());
    EXPECT_LE(w.ixMin, 30);
    EXPECT_GE(w.ixMax, 29);
    EXPECT_LE(w.iyMin, 40);
    EXPECT_GE(w.iyMax, 39);
    EXPECT_GE(w.ixMin, 0);
    EXPECT_LE(w.ixMax, 99);
    // A rectangle far off the stock yields a window clipped to the lattice (possibly empty).
    const LatticeWindow off = latticeWindowFor(f.view, f.spec, {0, 0, 1, 1});
    if (!off.empty()) {
        EXPECT_GE(off.ixMin, 0);
        EXPECT_LE(off.ixMax, 99);
    }
    EXPECT_TRUE(latticeWindowFor(f.view, f.spec, PixelRect{}).empty());
}

TEST(StockSurface, RowRangesHoldEveryCellThatShowsInTheRectangle) {
    // Random views (perspective and parallel, a close eye among them) and random rectangles: every
    // cell with a point between the two cast planes that projects inside the rectangle is in its row's
    // range, and the ranges stay inside the window. The ranges are also narrower than the window for a
    // slanted view, which is what they are for.
    Fixture f;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> polar(0.2, 1.4), azimuth(-3.1, 3.1), u(0, 1);
    long cellsInWindow = 0, cellsInRanges = 0;
    for (int round = 0; round < 40; ++round) {
        f.view.viewA = polar(rng);
        f.view.viewB = azimuth(rng);
        f.view.parallel = round % 4 == 3;
        f.view.kyori = round % 5 == 4 ? 150.0f : 1000.0f;
        f.view.scale = 1 + 4 * u(rng);
        f.view.vwx = round % 3 == 1 ? 20 * u(rng) - 10 : 0;
        f.view.vwz = round % 3 == 1 ? 20 * u(rng) - 10 : 0;
        updateViewBasis(f.view, MachineKind::VerticalMill);
        const double lowest = 50 * u(rng);
        // A rectangle around the screen point of a random stock point.
        const ProjectedPoint c = projectPoint(f.view, Vec3{100 * u(rng), 100 * u(rng), -50 + lowest});
        if (c.clipped) continue;
        const int cx = static_cast<int>(screenX(f.view, c)), cy = static_cast<int>(screenY(f.view, c));
        const int hw = 1 + static_cast<int>(20 * u(rng)), hh = 1 + static_cast<int>(20 * u(rng));
        const PixelRect rect{cx - hw, cy - hh, cx + hw, cy + hh};
        const LatticeWindow w = latticeWindowFor(f.view, f.spec, rect, lowest);
        if (w.empty()) continue;
        for (int ix = w.ixMin; ix <= w.ixMax; ++ix) {
            int first = 0, last = -1;
            w.rowRange(ix, first, last);
            if (first <= last) {
                EXPECT_GE(first, w.iyMin);
                EXPECT_LE(last, w.iyMax);
                cellsInRanges += last - first + 1;
            }
            cellsInWindow += w.iyMax - w.iyMin + 1;
        }
        // Sample the slab over the whole lattice: a point that shows in the rectangle must be in a
        // cell of its row's range.
        for (int k = 0; k < 20000; ++k) {
            const double x = 100 * u(rng), y = 100 * u(rng), z = -50 + lowest + (50 - lowest) * u(rng);
            const ProjectedPoint p = projectPoint(f.view, Vec3{x, y, z});
            if (p.clipped) continue;
            const double sx = screenX(f.view, p), sy = screenY(f.view, p);
            if (sx < rect.left || sx >= rect.right + 1 || sy < rect.top || sy >= rect.bottom + 1) continue;
            const int ix = std::min(static_cast<int>(x), 99), iy = std::min(static_cast<int>(y), 99);
            ASSERT_GE(ix, w.ixMin) << "round " << round;
            ASSERT_LE(ix, w.ixMax) << "round " << round;
            int first = 0, last = -1;
            w.rowRange(ix, first, last);
            ASSERT_GE(iy, first) << "round " << round << " cell " << ix << "," << iy;
            ASSERT_LE(iy, last) << "round " << round << " cell " << ix << "," << iy;
        }
    }
    EXPECT_LT(cellsInRanges, cellsInWindow);
}

}  // namespace
}  // namespace vantrel
