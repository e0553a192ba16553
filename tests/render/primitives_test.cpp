// The world-space primitives and the shapes built from them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "gl_recorder.h"
#include "render/gl_renderer.h"
#include "render/primitives.h"
#include "render/raster.h"
#include "render/shapes.h"
#include "render/view.h"

namespace vantrel {
namespace {

// Looking straight down from (0, 0, 1600) at scale 4, origin in the middle of a 96 x 72 image; the
// projection plane is z = 1000.
ViewState topView() {
    ViewState v;
    v.viewA = 0;
    v.viewB = -kPi / 2;
    v.scale = 4;
    v.originX = 48;
    v.originY = 36;
    updateViewBasis(v, MachineKind::VerticalMill);
    return v;
}

ViewState obliqueView(double a, double b) {
    ViewState v;
    v.viewA = a;
    v.viewB = b;
    v.scale = 4;
    v.originX = 48;
    v.originY = 36;
    updateViewBasis(v, MachineKind::VerticalMill);
    return v;
}

bool sameImage(const Image32& a, const Image32& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.data(), b.data(), static_cast<size_t>(a.width()) * a.height() * 4) == 0;
}

int countNot(const Image32& img, uint32_t background) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.at(x, y) != background;
    return n;
}

class Primitives : public ::testing::Test {
  protected:
    void clear() {
        fb.image().fill(0xFFFFFF);
        fb.clearDepth();
    }
    void SetUp() override { clear(); }
    FrameBuffer fb{96, 72};
    ViewState view = topView();
    DrawContext ctx{fb, view};
    ClipRect clip = fb.fullClip();
};

TEST_F(Primitives, QuadWithADegenerateHalfCountsAsFrontButNotBack) {
    // (P1, P2, P3) runs anticlockwise seen from above (s1 > 0); P4 lies on the diagonal P1 P3 (s2 = 0).
    const Vec3f p1{0, 0, 0}, p2{20, 0, 0}, p3{20, 20, 0}, p4{10, 10, 0};
    EXPECT_GT(orientation(view, p1, p2, p3), 0);
    EXPECT_EQ(orientation(view, p1, p3, p4), 0);
    drawQuad3D(ctx, 0x808080, clip, FaceMode::Front, false, p1, p2, p3, p4);
    EXPECT_GT(countNot(fb.image(), 0xFFFFFF), 100);
    clear();
    drawQuad3D(ctx, 0x808080, clip, FaceMode::Back, false, p1, p2, p3, p4);
    EXPECT_EQ(countNot(fb.image(), 0xFFFFFF), 0);
}

TEST_F(Primitives, BackFacesAndTheirReversedShading) {
    const Vec3f p1{0, 0, 0}, p2{0, 20, 0}, p3{20, 0, 0};  // clockwise from above: the back faces the eye
    drawTriangle3D(ctx, 0x808080, clip, FaceMode::Front, false, p1, p2, p3);
    EXPECT_EQ(countNot(fb.image(), 0xFFFFFF), 0);
    drawTriangle3D(ctx, 0x808080, clip, FaceMode::Back, false, p1, p2, p3);
    const uint32_t expect = toPixel(shadeColour(view, 0x808080, {0, 0, 1}));
    EXPECT_EQ(fb.image().at(52, 34), expect);
    clear();
    drawTriangle3D(ctx, 0x808080, clip, FaceMode::Both, false, p1, p2, p3);
    EXPECT_EQ(fb.image().at(52, 34), toPixel(shadeColour(view, 0x808080, {0, 0, -1})));
}

TEST_F(Primitives, QuadWithCoincidentCornersIsOneTriangle) {
    const Vec3f p1{-10, -10, 0}, p2{10, -10, 0}, p3{0, 10, 0};
    drawQuad3D(ctx, 0x4080C0, clip, FaceMode::Front, false, p1, p2, p3, p3);
    const Image32 quad = fb.image();
    EXPECT_GT(countNot(quad, 0xFFFFFF), 50);
    clear();
    drawTriangle3D(ctx, 0x4080C0, clip, FaceMode::Front, false, p1, p2, p3);
    EXPECT_TRUE(sameImage(quad, fb.image()));
    // Two coincident pairs leave no triangle.
    clear();
    drawQuad3D(ctx, 0x4080C0, clip, FaceMode::Both, false, p1, p1, p3, p3);
    EXPECT_EQ(countNot(fb.image(), 0xFFFFFF), 0);
}

TEST_F(Primitives, PolygonThroughTheProjectionPlaneIsCutAndFilledFlat) {
    // One corner at z = 1200 lies between the projection plane (z = 1000) and the eye.
    const Vec3f p1{-5, -5, 900}, p2{5, -5, 900}, p3{5, 5, 1200}, p4{-5, 5, 900};
    EXPECT_TRUE(projectPoint(view, p3).clipped);
    drawQuad3D(ctx, 0x808080, clip, FaceMode::Both, false, p1, p2, p3, p4);
    const Image32 flat = fb.image();
    EXPECT_GT(countNot(flat, 0xFFFFFF), 100);
    // The smooth quad ignores its normals here: the same flat picture.
    clear();
    drawSmoothQuad3D(ctx, 0x808080, clip, FaceMode::Both, false, p1, p2, p3, p4, {1, 0, 0}, {0, 1, 0},
                     {0, 0, -1}, {-1, 0, 0});
    EXPECT_TRUE(sameImage(flat, fb.image()));
    // Wholly on the eye's side: nothing.
    clear();
    const Vec3f q{0, 0, 1300};
    drawTriangle3D(ctx, 0, clip, FaceMode::Both, false, q, {10, 0, 1300}, {0, 10, 1300});
    EXPECT_EQ(countNot(fb.image(), 0xFFFFFF), 0);
}

TEST_F(Primitives, WireModeDrawsOnlyTheEdges) {
    drawQuad3D(ctx, 0, clip, FaceMode::Both, true, {-8, -8, 0}, {8, -8, 0}, {8, 8, 0}, {-8, 8, 0});
    // An 8 mm half-size at 4 x 0.375 pixels per mm: corners 12 pixels from the centre.
    EXPECT_NE(fb.image().at(48 - 12, 36), 0xFFFFFFu);
    EXPECT_NE(fb.image().at(48, 36 - 12), 0xFFFFFFu);
    EXPECT_EQ(fb.image().at(48, 36), 0xFFFFFFu);
}

TEST_F(Primitives, SegmentsAreClippedToTheEyeSideAndTheImage) {
    // From behind the eye to the table: cut at the projection plane.
    auto seg = clipSegment(view, 96, 72, {0, 0, 3000}, {0, 0, 0});
    ASSERT_TRUE(seg);
    EXPECT_NEAR(seg->first.z, 1000, 1e-6);
    // Far beyond the right edge: the far end is moved onto the edge (x = 95 on the screen).
    seg = clipSegment(view, 96, 72, {0, 0, 0}, {100000, 0, 0});
    ASSERT_TRUE(seg);
    const ProjectedPoint p = projectPoint(view, seg->second);
    EXPECT_NEAR(view.originX + p.X, 95, 1e-6);
    // Entirely beyond the left edge: invisible.
    EXPECT_FALSE(clipSegment(view, 96, 72, {-1000, -5, 0}, {-900, 5, 0}));
    EXPECT_FALSE(clipSegment(view, 96, 72, {0, 0, 1700}, {1, 1, 1800}));
    // The line drawn from a far point touches the right edge but nothing outside the image.
    drawLine3D(ctx, 0, clip, {0, 0, 0}, {100000, 0, 0});
    EXPECT_EQ(fb.image().at(95, 36), 0u);
    EXPECT_EQ(fb.image().at(47, 36), 0xFFFFFFu);
}

TEST_F(Primitives, PaintPrimitivesGrowTheDirtyRectangle) {
    paintQuad3D(ctx, 0x0000FF, clip, PaintMode::FillFront, 0, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0});
    ASSERT_FALSE(ctx.dirty.empty());
    // x from 48 to 48 + 15, y from 36 - 15 to 36.
    EXPECT_EQ(ctx.dirty.minX, 48);
    EXPECT_EQ(ctx.dirty.maxX, 63);
    EXPECT_EQ(ctx.dirty.minY, 21);
    EXPECT_EQ(ctx.dirty.maxY, 36);
    EXPECT_EQ(fb.image().at(55, 30), 0xFF0000u);
    // A quad with only one half facing the eye is painted whole in paint mode 1.
    clear();
    ctx.dirty.reset();
    paintQuad3D(ctx, 0x0000FF, clip, PaintMode::FillFront, 0, {0, 0, 0}, {10, 0, 0}, {10, 10, 0},
                {11, -1, 0});
    EXPECT_FALSE(ctx.dirty.empty());
    EXPECT_GT(countNot(fb.image(), 0xFFFFFF), 20);
    // Off the image: skipped, the rectangle does not grow.
    ctx.dirty.reset();
    paintTriangle3D(ctx, 0, clip, PaintMode::Fill, 0, {500, 500, 0}, {510, 500, 0}, {500, 510, 0});
    EXPECT_TRUE(ctx.dirty.empty());
    // Restore mode copies the background.
    Image32 bg(96, 72, 0x00FF00);
    fb.background = &bg;
    paintQuad3D(ctx, 0, clip, PaintMode::Restore, 0, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0});
    EXPECT_EQ(fb.image().at(55, 30), 0x00FF00u);
    fb.background = nullptr;
}

TEST_F(Primitives, NothingIsDrawnIntoTheSoftwareBuffersWhileForwardingToOpenGl) {
    // A renderer whose every entry point is missing: the calls must not reach the software buffers, and
    // a renderer that was never loaded is never called (the composer refuses it first).
    GlApi none;
    GlRecorder rec;
    GlRenderer gl(rec.api());
    ctx.gl = &gl;
    drawTriangle3D(ctx, 0, clip, FaceMode::Both, false, {0, 0, 0}, {10, 0, 0}, {0, 10, 0});
    drawQuad3D(ctx, 0, clip, FaceMode::Both, true, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0});
    drawLine3D(ctx, 0, clip, {0, 0, 0}, {10, 10, 0});
    drawOverlayLine(ctx, OverlayTarget::SceneBlack, {0, 0, 0}, {10, 10, 0});
    paintQuad3D(ctx, 0, clip, PaintMode::Fill, 0, {0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0});
    drawTube(ctx, {0, false}, {0, 0, 0}, 20, 0, 10, {});
    drawBlock(ctx, {0, false}, {0, 0, 0}, 10, 10, 10, 1, {});
    drawArc3D(ctx, 0, {0, 0, 0}, 20, {}, {10, 0, 0}, {10, 0, 0}, 1, true, 0);
    gl.endFrame();
    EXPECT_EQ(countNot(fb.image(), 0xFFFFFF), 0);
    EXPECT_FALSE(none.loaded());
    // The depth-tested ones went to OpenGL instead; the paint without depth went nowhere.
    EXPECT_GT(gl.trianglesSent(), 10);
    EXPECT_GT(gl.linesSent(), 4);
    EXPECT_GT(rec.vertices, 0);
}

TEST(Tessellation, SegmentCountsFollowTheScreenSize) {
    // A tube of diameter 10 seen from above at scale 1 on the table: 10 * 0.375 = 3.75 pixels across,
    // the ends round to +-2 pixels: dpx = 4, m = round(4 / 6) + 2 = 3, so 6 segments round.
    ViewState v;
    v.viewA = 0;
    v.viewB = -kPi / 2;
    v.scale = 1;
    updateViewBasis(v, MachineKind::VerticalMill);
    const ScreenSize s = measureOnScreen(v, 640, 480, {0, 0, 0}, 5);
    EXPECT_NEAR(s.dpx, 4, 1e-9);
    EXPECT_FALSE(s.largerThanScreen);
    EXPECT_EQ(tubeHalfSegments(s), 3);
    EXPECT_EQ(tubeHalfSegments({5, false}), 3);
    EXPECT_EQ(tubeHalfSegments({27, false}), 7);   // round(4.5) = 5
    EXPECT_EQ(tubeHalfSegments({1000, true}), 8);  // 16 segments
    EXPECT_TRUE(measureOnScreen(v, 640, 480, {0, 0, 0}, 2000).largerThanScreen);
    EXPECT_EQ(roundPrismSegments({0, false}), 6);
    EXPECT_EQ(roundPrismSegments({60, false}), 22);
    EXPECT_EQ(roundPrismSegments({5000, true}), 48);
    EXPECT_EQ(frustumSegments({11.9, false}), 8);
    EXPECT_EQ(frustumSegments({90, false}), 17);
    EXPECT_EQ(frustumSegments({1e9, true}), 24);
    EXPECT_EQ(revolvedHalfSegments({80, false}), 15);
    EXPECT_EQ(revolvedHalfSegments({80, true}), 16);
    EXPECT_NEAR(arcStep({40, false}), kPi / 24, 1e-15);  // 7.5 degrees
    EXPECT_NEAR(arcStep({10, false}), kPi / 3, 1e-15);   // 4 pi / 12 = 60 degrees
}

TEST(Shapes, PrismCornersTouchTheEllipse) {
    const double expect[4][2] = {{50, 30}, {-50, 30}, {-50, -30}, {50, -30}};
    for (int k = 0; k < 4; ++k) {
        const Vec3 c = prismCorner(100, 60, 4, k);
        EXPECT_NEAR(c.x, expect[k][0], 1e-9);
        EXPECT_NEAR(c.y, expect[k][1], 1e-9);
    }
    // A hexagon's sides touch the circle of radius 25: corners 25 / cos 30 degrees from the centre.
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(prismCorner(50, 50, 6, k).length(), 25 / std::cos(kPi / 6), 1e-9);
}

// Closed convex solids wound outwards look the same with back faces culled as without: drawing only
// front faces must not lose a single pixel (a wrongly wound face would vanish).
TEST(Shapes, ClosedShapesAreWoundOutwards) {
    const std::pair<double, double> views[] = {{kPi / 4, -5 * kPi / 8}, {2.2, 0.7}, {0.4, 2.5}};
    for (const auto& [a, b] : views) {
        const ViewState v = obliqueView(a, b);
        for (int shape = 0; shape < 7; ++shape) {
            Image32 pics[2];
            for (int pass = 0; pass < 2; ++pass) {
                FrameBuffer fb(96, 72);
                fb.image().fill(0xFFFFFF);
                fb.clearDepth();
                DrawContext ctx(fb, v);
                ShapeStyle st{0x808080, false, pass == 0 ? FaceMode::Front : FaceMode::Both};
                const Orientation o{0.3, -0.5};
                switch (shape) {
                    case 0:
                        drawTube(ctx, st, {0, 0, -10}, 20, 0, 25, o);
                        break;
                    case 1:
                        drawPrism(ctx, st, {0, 0, -10}, 25, 18, 0, 20, 5, o);
                        break;
                    case 2:
                        drawPrism(ctx, st, {0, 0, -10}, 25, 18, 0, 20, 0, o);
                        break;
                    case 3:
                        drawFrustum(ctx, st, {0, 0, -10}, 24, 10, 20, o);
                        break;
                    case 4:
                        drawBlock(ctx, st, {0, 0, 0}, 25, 20, 15, 0, o);
                        break;
                    case 5:
                        drawBlock(ctx, st, {0, 0, 0}, 25, 20, 15, 3, o);
                        break;
                    case 6:
                        drawTube(ctx, st, {0, 0, 10}, 20, 0, -25, o);
                        break;  // negative length
                }
                pics[pass] = fb.image();
            }
            EXPECT_GT(countNot(pics[0], 0xFFFFFF), 200) << shape;
            EXPECT_TRUE(sameImage(pics[0], pics[1])) << "shape " << shape << " view " << a << "," << b;
        }
    }
}

TEST(Shapes, DegenerateSizesDrawNothing) {
    FrameBuffer fb(96, 72);
    fb.image().fill(0xFFFFFF);
    fb.clearDepth();
    const ViewState v = topView();
    DrawContext ctx(fb, v);
    drawTube(ctx, {0, false}, {0, 0, 0}, 0, 0, 10, {});
    drawPrism(ctx, {0, false}, {0, 0, 0}, 0, 10, 0, 10, 4, {});
    drawBlock(ctx, {0, false}, {0, 0, 0}, 10, 0, 10, 0, {});
    drawArc3D(ctx, 0, {0, 0, 0}, 0, {}, {1, 0, 0}, {1, 0, 0}, 1, true, 0);
    drawArc3D(ctx, 0, {0, 0, 0}, 20, {}, {10, 0, 0}, {10, 0, 0}, 1, true, 7);
    drawTube(ctx, {0, false}, {0, 0, 0}, std::nan(""), 0, 10, {});
    EXPECT_EQ(countNot(fb.image(), 0xFFFFFF), 0);
}

TEST(Shapes, ArcsSweepTheRightWay) {
    // A quarter arc from +X to +Y on the table, drawn clockwise (mode 0) and anticlockwise (mode 3): the
    // anticlockwise one covers only the first quadrant, the clockwise one the other three.
    const ViewState v = topView();
    for (int mode : {0, 3}) {
        FrameBuffer fb(96, 72);
        fb.image().fill(0xFFFFFF);
        fb.clearDepth();
        DrawContext ctx(fb, v);
        ctx.penColour = 0;
        drawArc3D(ctx, 0, {0, 0, 0}, 40, {}, {20, 0, 0}, {0, 20, 0}, 1, false, mode);
        int firstQuadrant = 0, others = 0;
        for (int y = 0; y < 72; ++y)
            for (int x = 0; x < 96; ++x)
                if (fb.image().at(x, y) == 0) (x >= 46 && y <= 38 ? firstQuadrant : others)++;
        if (mode == 3) {
            EXPECT_GT(firstQuadrant, 10);
            EXPECT_EQ(others, 0);
        } else {
            EXPECT_GT(others, 3 * firstQuadrant);
        }
    }
}

}  // namespace
}  // namespace vantrel
