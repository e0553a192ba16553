// The rasteriser's pixel rules, depth and colour arithmetic, with expected values worked out by hand.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <new>
#include <set>
#include <utility>

#include "render/raster.h"
#include "render/test_scene.h"
#include "render/view.h"
#include "written_pixels.h"

// Counts heap allocations made by this thread while `g_counting` is set, to show that drawing never
// allocates.
namespace {
thread_local bool g_counting = false;
std::atomic<long> g_allocations{0};
}  // namespace

// Kept out of line: inlined into their callers, GCC takes the malloc/free pair for a mismatch.
__attribute__((noinline)) void* operator new(std::size_t n) {
    if (g_counting) ++g_allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
// The non-throwing form too, so that every form of plain new in the process pairs with these deletes
// (a library that allocates with it, such as the off-screen OpenGL's compiler, frees with them).
__attribute__((noinline)) void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    if (g_counting) ++g_allocations;
    return std::malloc(n ? n : 1);
}
__attribute__((noinline)) void operator delete(void* p) noexcept {
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace vantrel {
namespace {

// Looking straight down from (0, 0, 1600) at scale 1, origin (32, 24).
ViewState topView(int ox = 32, int oy = 24) {
    ViewState v;
    v.viewA = 0;
    v.viewB = -kPi / 2;
    v.scale = 1;
    v.originX = ox;
    v.originY = oy;
    updateViewBasis(v, MachineKind::VerticalMill);
    return v;
}

constexpr Vec3f kA{0, 0, 0}, kB{1, 0, 0}, kC{0, 1, 0};  // a plane for tests that only look at coverage

class Raster : public ::testing::Test {
  protected:
    void SetUp() override {
        fb.image().fill(0xFFFFFF);
        fb.clearDepth();
    }
    FrameBuffer fb{64, 48};
    ViewState view = topView();
};

TEST(Colours, ToPixelAndShading) {
    EXPECT_EQ(toPixel(0x0000FF), 0xFF0000u);
    EXPECT_EQ(toPixel(0x123456), 0x563412u);
    // A = pi/6 puts the light straight up: L = (sin 0 cos B, sin 0 sin B, cos 0) = (0, 0, 1).
    ViewState v;
    v.viewA = kPi / 6;
    v.viewB = 1.0;
    updateViewBasis(v, MachineKind::VerticalMill);
    const Vec3 l = lightDirection(v);
    EXPECT_NEAR(l.z, 1, 1e-12);
    // Along the light: r = 5/20 - 0 = 0.25, 128 + 32 = 160. Against it: r = 0.25 - 1, 128 - 96 = 32.
    EXPECT_EQ(shadeColour(v, 0x808080, {0, 0, 3}), 0xA0A0A0u);
    EXPECT_EQ(shadeColour(v, 0x808080, {0, 0, -1}), 0x202020u);
    // Edge-on: r = 0.25 - 0.5, 128 - 32 = 96. Channels keep their places.
    EXPECT_EQ(shadeColour(v, 0x804020, {1, 0, 0}), 0x603018u);
    v.laypower = 0;
    v.lightGain = 2.5f;
    EXPECT_EQ(shadeColour(v, 0x808080, {0, 0, -1}), 0u);
    v.laypower = 10;
    EXPECT_EQ(shadeColour(v, 0xF0F0F0, {0, 0, 1}), 0xFFFFFFu);  // limited to 255
    EXPECT_EQ(shadeColour(v, 0, {0, 0, 1}), 0u);                // black stays black
    // On the lathe the light is the viewing direction turned 60 degrees about Z: A = pi/2, B = pi/3 gives
    // L = (1, 0, 0).
    v.viewA = kPi / 2;
    v.viewB = kPi / 3;
    updateViewBasis(v, MachineKind::Lathe);
    EXPECT_NEAR(lightDirection(v).x, 1, 1e-12);
}

TEST_F(Raster, TriangleOnOneRowDrawsNothingAndNonFiniteInputIsIgnored) {
    fillTriangle(fb, view, 0, fb.fullClip(), kA, kB, kC, {10.2f, 5.4f}, {20.7f, 5.1f}, {15, 5.3f});
    const float nan = std::nanf("");
    fillTriangle(fb, view, 0, fb.fullClip(), kA, kB, kC, {nan, 5}, {20, 30}, {15, 40});
    fillTriangle(fb, view, 0, fb.fullClip(), kA, kB, kC, {1e30f, -1e30f}, {20, 30}, {-1e30f, 40});
    // Rows far beyond the 64-bit range must not overflow when the parts are delimited.
    fillTriangle(fb, view, 0, fb.fullClip(), kA, kB, kC, {0, -1e30f}, {10, -1e29f}, {5, -2e30f});
    paintTriangle(fb.image(), 0, fb.fullClip(), {nan, nan}, {1, 2}, {3, 4});
    EXPECT_TRUE(written(fb.image(), 0xFFFFFF).empty());
}

TEST_F(Raster, SpanCoversCentresInHalfOpenInterval) {
    // Left edge x = 10.5 (vertical), right edge x = ys + 11; on row 9 (ys = 9.5) the span is (10.5, 20.5].
    fillTriangle(fb, view, 0, fb.fullClip(), kA, kB, kC, {10.5f, -0.5f}, {10.5f, 39.5f}, {50.5f, 39.5f});
    const Image32& img = fb.image();
    EXPECT_EQ(img.at(10, 9), 0xFFFFFFu);
    EXPECT_EQ(img.at(11, 9), 0u);
    EXPECT_EQ(img.at(20, 9), 0u);
    EXPECT_EQ(img.at(21, 9), 0xFFFFFFu);
    // Rows: centres in (-0.5, 39.5] are rows 0..39.
    EXPECT_EQ(img.at(11, 0), 0u);
    EXPECT_EQ(img.at(49, 39), 0u);
    EXPECT_EQ(img.at(30, 40), 0xFFFFFFu);
}

TEST_F(Raster, ClipRectangleLimitsEveryWrite) {
    const ClipRect clip{5, 6, 20, 15};
    fillTriangle(fb, view, 0, clip, kA, kB, kC, {-100, -100}, {200, -50}, {0, 300});
    paintTriangle(fb.image(), 0, clip, {-100, -100}, {200, -50}, {0, 300});
    paintLine2D(fb.image(), 0, clip, -1000, 10, 1000, 10);
    // A rectangle larger than the image is limited to the image.
    paintTriangle(fb.image(), 0x00FF00, {-50, -50, 500, 500}, {60, 40}, {200, 40}, {60, 200});
    for (const auto& [x, y] : written(fb.image(), 0xFFFFFF)) {
        if (fb.image().at(x, y) == 0x00FF00u) continue;
        EXPECT_TRUE(x >= 5 && x <= 20 && y >= 6 && y <= 15) << x << "," << y;
    }
    EXPECT_EQ(fb.image().at(5, 6), 0u);
    EXPECT_EQ(fb.image().at(20, 15), 0u);
}

TEST_F(Raster, DepthIsTheExactDistanceAlongThePixelRay) {
    // A large triangle on the table z = 0 under the eye at (0, 0, 1600).
    const Vec3f p1{-200, -200, 0}, p2{200, -200, 0}, p3{0, 300, 0};
    const ProjectedPoint a = projectPoint(view, p1), b = projectPoint(view, p2), c = projectPoint(view, p3);
    auto sp = [&](const ProjectedPoint& p) {
        return ScreenPoint{static_cast<float>(view.originX + p.X), static_cast<float>(view.originY + p.Y)};
    };
    fillTriangle(fb, view, 0x0000FF, fb.fullClip(), p1, p2, p3, sp(a), sp(b), sp(c));
    for (auto [x, y] : {std::pair{32, 24}, std::pair{0, 0}, std::pair{63, 47}, std::pair{10, 40}}) {
        // Ray through the pixel centre: (s, t, -600) with s = x + 0.5 - 32, t = 24 - y - 0.5; it reaches
        // z = 0 after 1600 / 600 of its length.
        const double s = x + 0.5 - 32, t = 24 - y - 0.5;
        const double expect = 1600.0 / 600.0 * std::sqrt(s * s + t * t + 600.0 * 600.0);
        EXPECT_NEAR(fb.depthAt(x, y), expect, expect * 1e-6) << x << "," << y;
        EXPECT_EQ(fb.image().at(x, y), 0xFF0000u);
    }
}

TEST_F(Raster, TurnedPicturesStepTheRayAlongTheUpVector) {
    // On the lathe the screen's x runs along u (world y here) and its y along r (world x). A plane tilted
    // along world x, z = x / 2, tells the two apart: the ray (s, t, -600) from (0, 0, 1600), with
    // s = (y + 0.5 - 24) / k along world x and t = (x + 0.5 - 32) / k along world y, meets it after
    // 1600 / (600 + s / 2) of its length.
    updateViewBasis(view, MachineKind::Lathe);
    const Vec3f p1{-300, -300, -150}, p2{300, -300, 150}, p3{0, 400, 0};
    auto sp = [&](const Vec3f& p) {
        const ProjectedPoint q = projectPoint(view, p);
        return ScreenPoint{static_cast<float>(view.originX + q.X), static_cast<float>(view.originY + q.Y)};
    };
    fillTriangle(fb, view, 0, fb.fullClip(), p1, p2, p3, sp(p1), sp(p2), sp(p3));
    for (auto [x, y] : {std::pair{32, 24}, std::pair{2, 40}, std::pair{60, 3}}) {
        const double s = y + 0.5 - 24, t = x + 0.5 - 32;
        const double expect = 1600.0 / (600 + s / 2) * std::sqrt(s * s + t * t + 600.0 * 600.0);
        EXPECT_NEAR(fb.depthAt(x, y), expect, expect * 1e-6) << x << "," << y;
    }
}

TEST_F(Raster, EqualDepthDoesNotOverwriteAndNearerDoes) {
    const Vec3f p1{-20, -20, 0}, p2{20, -20, 0}, p3{0, 20, 0};
    auto sp = [&](const Vec3f& p) {
        const ProjectedPoint q = projectPoint(view, p);
        return ScreenPoint{static_cast<float>(view.originX + q.X), static_cast<float>(view.originY + q.Y)};
    };
    fillTriangle(fb, view, 0x0000FF, fb.fullClip(), p1, p2, p3, sp(p1), sp(p2), sp(p3));
    const Image32 first = fb.image();
    fillTriangle(fb, view, 0x00FF00, fb.fullClip(), p1, p2, p3, sp(p1), sp(p2), sp(p3));
    EXPECT_TRUE(std::equal(first.data(), first.data() + 64 * 48, fb.image().data()));
    // The smooth fill computes the same depths: over the flat one it changes nothing either.
    fillTriangleSmooth(fb, view, 0x00FF00, fb.fullClip(), p1, p2, p3, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, sp(p1),
                       sp(p2), sp(p3));
    EXPECT_TRUE(std::equal(first.data(), first.data() + 64 * 48, fb.image().data()));
    // The same triangle 1 mm nearer the eye wins everywhere it covers.
    const Vec3f q1{-20, -20, 1}, q2{20, -20, 1}, q3{0, 20, 1};
    fillTriangle(fb, view, 0x00FF00, fb.fullClip(), q1, q2, q3, sp(q1), sp(q2), sp(q3));
    EXPECT_EQ(fb.image().at(32, 24), 0x00FF00u);
    // Surfaces farther than the cleared depth never appear.
    const Vec3f f1{-1e6, -1e6, -1e5}, f2{1e6, -1e6, -1e5}, f3{0, 1e6, -1e5};
    fb.image().fill(0xFFFFFF);
    fb.clearDepth();
    fillTriangle(fb, view, 0, fb.fullClip(), f1, f2, f3, {-10, -10}, {100, -10}, {30, 100});
    EXPECT_TRUE(written(fb.image(), 0xFFFFFF).empty());
}

TEST_F(Raster, SeeThroughMixesSixTenthsOldWithFourTenthsNew) {
    fb.image().fill(0xFF0000);  // red pixels
    fillTriangleBlend(fb, view, 0xFF0000 /* blue, BGR */, fb.fullClip(), kA, kB, kC, {0, 0}, {64, 0},
                      {0, 48});
    // Red: trunc(255 * 0.6 + 0) = 153; blue: trunc(0 + 255 * 0.4) = 102.
    EXPECT_EQ(fb.image().at(2, 2), 0x990066u);
    // The depth is written: a second see-through face at the same depth leaves the pixel alone.
    fillTriangleBlend(fb, view, 0xFF0000, fb.fullClip(), kA, kB, kC, {0, 0}, {64, 0}, {0, 48});
    EXPECT_EQ(fb.image().at(2, 2), 0x990066u);
}

TEST_F(Raster, SmoothShadingFollowsTheNormals) {
    ViewState v = view;
    v.viewA = kPi / 6;  // light straight down onto the table... from above: L = (0, 0, 1)
    updateViewBasis(v, MachineKind::VerticalMill);
    // The left edge's normals point along the light (bright), the right vertex's against it (dark). On row
    // 24 the span runs from x = 0 to 62.7; at x = 58 the normal is about (0, 0, -0.85): r = 0.25 - 0.82,
    // 128 - 73 = 55.
    fillTriangleSmooth(fb, v, 0x808080, fb.fullClip(), kA, kB, kC, {0, 0, 1}, {0, 0, 1}, {0, 0, -1}, {0, 0},
                       {0, 48}, {64, 24});
    const uint32_t left = fb.image().at(1, 24) & 0xFF, right = fb.image().at(58, 24) & 0xFF;
    EXPECT_GT(left, 150u);
    EXPECT_LT(right, 70u);
    // Uniform normals give the flat shade exactly.
    fb.clearDepth();
    fillTriangleSmooth(fb, v, 0x808080, fb.fullClip(), kA, kB, kC, {0, 0, 1}, {0, 0, 2}, {0, 0, 5}, {0, -10},
                       {64, 24}, {0, 60});
    EXPECT_EQ(fb.image().at(10, 24), 0xA0A0A0u);
}

TEST_F(Raster, DepthLineStepsAndPlotsTheEndTwice) {
    drawDepthLine(fb, view, 0, fb.fullClip(), {0, 0, 0}, {0, 0, 0}, {5, 5}, {5, 5});
    EXPECT_EQ(written(fb.image(), 0xFFFFFF), (std::set<std::pair<int, int>>{{5, 5}}));
    // Along x with slope 0.5: y = 10, 10.5, 11, 11.5 ... rounded half away from zero.
    fb.image().fill(0xFFFFFF);
    fb.clearDepth();
    drawDepthLine(fb, view, 0, fb.fullClip(), {0, 0, 0}, {1, 0, 0}, {10, 10}, {14, 12});
    EXPECT_EQ(written(fb.image(), 0xFFFFFF),
              (std::set<std::pair<int, int>>{{10, 10}, {11, 11}, {12, 11}, {13, 12}, {14, 12}}));
}

// The walk exactly as described (x += m every step), for comparison with the clipped one.
std::set<std::pair<int, int>> naiveLine(ScreenPoint a, ScreenPoint b, const ClipRect& c) {
    std::set<std::pair<int, int>> out;
    auto plot = [&](double x, double y) {
        const int px = static_cast<int>(x < 0 ? x - 0.5 : x + 0.5),
                  py = static_cast<int>(y < 0 ? y - 0.5 : y + 0.5);
        if (px >= c.left && px <= c.right && py >= c.top && py <= c.bottom) out.insert({px, py});
    };
    const double m = (b.y - a.y) / (b.x - a.x);
    double y = a.y;
    for (double x = a.x; x <= b.x; x += 1, y += m) plot(x, y);
    plot(b.x, b.y);
    return out;
}

TEST_F(Raster, FarAwayLineEndsAreClippedBeforeStepping) {
    // Slope 1/4, exact in binary; the line crosses the image near y = 10.
    const ScreenPoint a{-3000.25f, -740.0f}, far{997000.25f, 249260.0f};
    drawDepthLine(fb, view, 0, fb.fullClip(), {0, 0, 0}, {1, 0, 0}, a, far);
    const auto pixels = written(fb.image(), 0xFFFFFF);
    EXPECT_EQ(pixels, naiveLine(a, far, fb.fullClip()));
    EXPECT_FALSE(pixels.empty());
    // A segment billions of pixels long costs no more than a short one.
    fb.image().fill(0xFFFFFF);
    const auto t0 = std::chrono::steady_clock::now();
    drawDepthLine(fb, view, 0, fb.fullClip(), {0, 0, 0}, {1, 0, 0}, {-3000.25f, 1.0f}, {4e12f, 1e12f});
    paintLine2D(fb.image(), 0, fb.fullClip(), -2000000000, -2000000000, 2000000000, 2000000000);
    // So far out that adding one pixel to the coordinate changes nothing in double precision.
    drawDepthLine(fb, view, 0, fb.fullClip(), {0, 0, 0}, {1, 0, 0}, {-1e20f, 10.0f}, {1e20f, 10.5f});
    drawDepthLine(fb, view, 0, fb.fullClip(), {0, 0, 0}, {1, 0, 0}, {5.0f, -3e38f}, {6.0f, 3e38f});
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(ms, 100);
    EXPECT_EQ(fb.image().at(10, 10), 0u);  // the diagonal passes through the image
}

TEST_F(Raster, PlainLineFollowsTheErrorTerm) {
    // Error -0.5, +0.4 a step: -0.1, 0.3 (move, -0.7), -0.3, 0.1 (move, -0.9), -0.5.
    const std::set<std::pair<int, int>> expect{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}};
    paintLine2D(fb.image(), 0, fb.fullClip(), 0, 0, 5, 2);
    EXPECT_EQ(written(fb.image(), 0xFFFFFF), expect);
    fb.image().fill(0xFFFFFF);
    // Drawn the other way the walk still starts at the smaller x, which it does not plot itself: only the
    // first argument's end point is plotted besides the walk.
    paintLine2D(fb.image(), 0, fb.fullClip(), 5, 2, 0, 0);
    auto reversed = expect;
    reversed.erase({0, 0});
    EXPECT_EQ(written(fb.image(), 0xFFFFFF), reversed);
    // Steep and exact diagonal.
    fb.image().fill(0xFFFFFF);
    paintLine2D(fb.image(), 0x0000FF, fb.fullClip(), 3, 3, 6, 6);
    EXPECT_EQ(written(fb.image(), 0xFFFFFF), (std::set<std::pair<int, int>>{{3, 3}, {4, 4}, {5, 5}, {6, 6}}));
    EXPECT_EQ(fb.image().at(4, 4), 0xFF0000u);
}

TEST_F(Raster, RestoreCopiesTheBackgroundInsideTheTriangle) {
    Image32 bg(64, 48, 0x123456);
    bg.at(10, 10) = 0xABCDEF;
    restoreTriangle(fb.image(), bg, fb.fullClip(), {0, 0}, {40, 0}, {0, 40});
    EXPECT_EQ(fb.image().at(10, 10), 0xABCDEFu);
    EXPECT_EQ(fb.image().at(5, 5), 0x123456u);
    EXPECT_EQ(fb.image().at(50, 30), 0xFFFFFFu);
    // A smaller background never reads outside itself.
    Image32 small(8, 8, 0x111111);
    restoreTriangle(fb.image(), small, fb.fullClip(), {0, 0}, {64, 0}, {0, 48});
    EXPECT_EQ(fb.image().at(3, 3), 0x111111u);
    EXPECT_EQ(fb.image().at(50, 3), 0xFFFFFFu);
}

TEST(Allocation, DrawingAFullSceneAllocatesNothing) {
    FrameBuffer fb(320, 240);
    const ViewState view = testSceneView(320, 240);
    drawTestScene(fb, view);  // warm up
    const int buffers = fb.allocations();
    g_allocations = 0;
    g_counting = true;
    drawTestScene(fb, view);
    g_counting = false;
    EXPECT_EQ(g_allocations.load(), 0);
    EXPECT_EQ(fb.allocations(), buffers);
    // Only a change of size reallocates the buffers.
    fb.resize(320, 240);
    EXPECT_EQ(fb.allocations(), buffers);
    fb.resize(321, 240);
    EXPECT_EQ(fb.allocations(), buffers + 1);
    fb.resize(0, -5);
    EXPECT_EQ(fb.width(), 1);
    EXPECT_EQ(fb.height(), 1);
}

}  // namespace
}  // namespace vantrel
