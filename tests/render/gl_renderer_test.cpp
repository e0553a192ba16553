// The OpenGL renderer: its projection checked as numbers against the software projection, its mapping
// of the face modes checked on the calls it makes, and frames drawn in an off-screen OSMesa context
// read back as pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gl_recorder.h"
#include "platform/headless_gl.h"
#include "render/gl_renderer.h"
#include "render/raster.h"
#include "render/view.h"

namespace vantrel {
namespace {

struct Screen {
    double x, y;
};

// Where the frame's matrix puts a world point: pixels from the top left, as the software counts.
Screen glScreen(const std::array<double, 16>& m, int w, int h, const Vec3& p) {
    double c[4];
    for (int r = 0; r < 4; ++r) c[r] = m[r] * p.x + m[4 + r] * p.y + m[8 + r] * p.z + m[12 + r];
    const double nx = c[0] / c[3], ny = c[1] / c[3];
    return {(nx + 1) / 2 * w, h - (ny + 1) / 2 * h};
}

TEST(GlProjection, EveryKindAndViewPutsPointsOnTheSoftwarePixels) {
    const MachineKind kinds[] = {MachineKind::VerticalMill, MachineKind::HorizontalMill, MachineKind::Lathe,
                                 MachineKind::VerticalLathe, MachineKind::WireEdm};
    const double angles[][2] = {{kPi / 4, -5 * kPi / 8}, {0, -kPi / 2}, {0, 0.3}, {kPi / 2, 0}, {2.5, 1.0}};
    const int sizes[][2] = {{640, 480}, {300, 500}, {1001, 1001}};
    const Vec3 points[] = {{0, 0, 0}, {50, -20, 30}, {-80, 60, -50}, {120, 120, 10}};
    for (MachineKind k : kinds)
        for (const auto& ab : angles)
            for (const auto& sz : sizes)
                for (bool parallel : {false, true}) {
                    ViewState v;
                    v.viewA = ab[0];
                    v.viewB = ab[1];
                    v.scale = 2.5;
                    v.originX = 210;
                    v.originY = 300;
                    v.vwx = 5;
                    v.vwy = -12;
                    v.vwz = 7;
                    v.parallel = parallel;
                    updateViewBasis(v, k);
                    const auto m = glSceneMatrix(v, sz[0], sz[1]);
                    for (const Vec3& p : points) {
                        const ProjectedPoint pp = projectPoint(v, p);
                        ASSERT_FALSE(pp.clipped);
                        const Screen s = glScreen(m, sz[0], sz[1], p);
                        EXPECT_NEAR(s.x, screenX(v, pp), 1e-6) << static_cast<int>(k) << " " << ab[0];
                        EXPECT_NEAR(s.y, screenY(v, pp), 1e-6) << static_cast<int>(k) << " " << ab[0];
                    }
                }
}

TEST(GlProjection, NearerPointsGetSmallerDepthAndTheProjectionPlaneClips) {
    ViewState v;
    updateViewBasis(v, MachineKind::VerticalMill);
    const auto m = glSceneMatrix(v, 640, 480);
    auto depth = [&](const Vec3& p) {
        double c[4];
        for (int r = 0; r < 4; ++r) c[r] = m[r] * p.x + m[4 + r] * p.y + m[8 + r] * p.z + m[12 + r];
        return c[2] / c[3];
    };
    const Vec3 n = v.basis.n;
    EXPECT_LT(depth(n * 100), depth(Vec3{0, 0, 0}));
    EXPECT_LT(depth(Vec3{0, 0, 0}), depth(n * -500));
    // Inside the clip volume at the view centre, outside it beyond the projection plane.
    EXPECT_GT(depth(Vec3{0, 0, 0}), -1);
    EXPECT_LT(depth(Vec3{0, 0, 0}), 1);
    EXPECT_LT(depth(n * (v.kyori + 1)), -1);
}

TEST(GlFaceModes, StateCallsFollowTheModeAndCullingComesBack) {
    GlRecorder rec;
    GlRenderer gl(rec.api());
    ViewState v;
    updateViewBasis(v, MachineKind::VerticalMill);
    const Vec3f q[4] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    auto callsOf = [&](FaceMode mode) {
        rec.calls.clear();
        gl.polygon(v, 0x808080, mode, false, q, 4, nullptr);
        gl.endFrame();
        std::string all;
        for (const std::string& c : rec.calls) all += c + ";";
        return all;
    };
    // GL_CULL_FACE 0B44, GL_BLEND 0BE2, GL_BACK 0405, GL_FRONT 0404, GL_TRIANGLES 0004; the blend
    // function is printed as source * 0x100 + destination (GL_SRC_ALPHA 0302, GL_ONE 1).
    EXPECT_EQ(callsOf(FaceMode::Both), "disable 0B44;draw 0004;enable 0B44;");
    EXPECT_EQ(callsOf(FaceMode::Back), "cullFace 0404;draw 0004;");
    // The cull face stays as the last primitive set it; a front face sets it back.
    EXPECT_EQ(callsOf(FaceMode::Front), "cullFace 0405;draw 0004;");
    // See-through: culling off, blending (source alpha, one), then all as before.
    EXPECT_EQ(callsOf(FaceMode::SeeThrough),
              "disable 0B44;enable 0BE2;blendFunc 30201;draw 0004;disable 0BE2;blendFunc 0100;enable 0B44;");
    // Consecutive front faces share one draw call.
    rec.calls.clear();
    rec.vertices = 0;
    for (int i = 0; i < 5; ++i) gl.polygon(v, 0x808080, FaceMode::Front, false, q, 4, nullptr);
    gl.endFrame();
    EXPECT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.vertices, 5 * 6);
    EXPECT_EQ(gl.trianglesSent(), 2 * 4 + 10);
}

// A frame in an OSMesa context: the scene's top view of a 96 x 72 area.
class GlFrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!context.create(96, 72)) GTEST_SKIP() << "no off-screen OpenGL: " << context.error();
        ASSERT_TRUE(api.load(&HeadlessGlContext::lookup, &context));
        view.viewA = 0;
        view.viewB = -kPi / 2;
        // 4 pixels a millimetre on the plane z = 0, 1600 mm below the eye (600 mm behind the plane).
        view.scale = 4.0 * 1600.0 / 600.0;
        view.originX = 48;
        view.originY = 36;
        updateViewBasis(view, MachineKind::VerticalMill);
    }
    GlRenderer begin(uint32_t back) {
        GlRenderer gl(api);
        GlFrame f;
        f.width = 96;
        f.height = 72;
        f.back = back;
        gl.beginFrame(view, f);
        return gl;
    }
    static uint32_t channel(uint32_t px, int shift) { return (px >> shift) & 0xFF; }

    HeadlessGlContext context;
    GlApi api;
    ViewState view;
};

TEST_F(GlFrameTest, ASeeThroughPartAddsFourTenthsOfItsColourToWhatIsBehind) {
    // Background 0x00404040 (grey 64); an opaque quad of 0x00200000 at the back (blue 32), then a
    // see-through quad of 0x00000080 (red 128) in front of part of it.
    GlRenderer gl = begin(0x404040);
    const Vec3f back[4] = {{-5, -5, 0}, {5, -5, 0}, {5, 5, 0}, {-5, 5, 0}};
    const Vec3f front[4] = {{-2, -8, 10}, {2, -8, 10}, {2, 8, 10}, {-2, 8, 10}};
    gl.polygon(view, 0x200000, FaceMode::Front, false, back, 4, nullptr);
    gl.polygon(view, 0x000080, FaceMode::SeeThrough, false, front, 4, nullptr);
    gl.endFrame();
    const Image32 img = context.image();
    const uint32_t shadedBack = toPixel(shadeColour(view, 0x200000, {0, 0, 1}));
    const uint32_t shadedFront = toPixel(shadeColour(view, 0x000080, {0, 0, 1}));
    // Over the opaque quad: its colour plus 0.4 of the see-through colour, channel by channel.
    const uint32_t over = img.at(48, 36);
    for (int sh : {0, 8, 16}) {
        const double want = std::min(255.0, channel(shadedBack, sh) + 0.4 * channel(shadedFront, sh));
        EXPECT_NEAR(channel(over, sh), want, 1.5) << sh;
    }
    // Over the background alone (beyond the opaque quad, y = 6 mm up = 24 pixels): the same rule.
    const uint32_t overBack = img.at(48, 36 - 28);
    for (int sh : {0, 8, 16}) {
        const double want = std::min(255.0, 64 + 0.4 * channel(shadedFront, sh));
        EXPECT_NEAR(channel(overBack, sh), want, 1.5) << sh;
    }
    // Beside the see-through part the opaque quad is as it was.
    EXPECT_EQ(img.at(48 + 14, 36), shadedBack);
}

TEST_F(GlFrameTest, CullingAndDepthKeepWhatTheSoftwareViewKeeps) {
    GlRenderer gl = begin(0x000000);
    // A front face (anticlockwise from the eye) and the same quad turned away, side by side.
    const Vec3f facing[4] = {{-10, -3, 0}, {-4, -3, 0}, {-4, 3, 0}, {-10, 3, 0}};
    const Vec3f away[4] = {{4, -3, 0}, {4, 3, 0}, {10, 3, 0}, {10, -3, 0}};
    gl.polygon(view, 0x00FF00, FaceMode::Front, false, facing, 4, nullptr);
    gl.polygon(view, 0x00FF00, FaceMode::Front, false, away, 4, nullptr);
    // A back-mode quad turned away from the eye shows, shaded with the normal of its corners' order.
    const Vec3f backMode[4] = {{4, 5, 0}, {4, 8, 0}, {10, 8, 0}, {10, 5, 0}};
    gl.polygon(view, 0xFF0000, FaceMode::Back, false, backMode, 4, nullptr);
    const Vec3f lid[4] = {{-8, -3, 5}, {-6, -3, 5}, {-6, 3, 5}, {-8, 3, 5}};
    gl.polygon(view, 0x0000FF, FaceMode::Front, false, lid, 4, nullptr);
    // Drawn after the lid but lower: hidden behind it.
    const Vec3f under[4] = {{-7.5, -1, 2}, {-6.5, -1, 2}, {-6.5, 1, 2}, {-7.5, 1, 2}};
    gl.polygon(view, 0xFFFFFF, FaceMode::Front, false, under, 4, nullptr);
    gl.endFrame();
    const Image32 img = context.image();
    // Screen x = 48 + 4 x, y = 36 - 4 y on the plane z = 0 (a little more higher up).
    EXPECT_EQ(img.at(12, 36), toPixel(shadeColour(view, 0x00FF00, {0, 0, 1})));
    EXPECT_EQ(img.at(20, 36), toPixel(shadeColour(view, 0x0000FF, {0, 0, 1})));
    EXPECT_EQ(img.at(76, 36), 0u);  // the turned-away front face is culled
    EXPECT_EQ(img.at(76, 10), toPixel(shadeColour(view, 0xFF0000, {0, 0, -1})));
}

}  // namespace
}  // namespace vantrel
