// Small fixed scenes compared pixel for pixel with pictures a person has looked at. To re-accept after
// an intended change, run with VANTREL_ACCEPT_GOLDEN=1 (the test then writes the pictures and fails),
// look at every changed picture, and commit them only if they are right.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "render/png_writer.h"
#include "render/primitives.h"
#include "render/shapes.h"
#include "render/view.h"

namespace vantrel {
namespace {

constexpr int kW = 120, kH = 90;

std::string goldenPath(const std::string& name) {
    // VANTREL_TEST_DATA is tests/render/data; the pictures live in tests/data/render.
    std::string base = VANTREL_TEST_DATA;
    base = base.substr(0, base.rfind("/render/data"));
    return base + "/data/render/" + name + ".png";
}

Vec3f f3(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

ViewState sceneView(double a = kPi / 4, double b = -5 * kPi / 8) {
    ViewState v;
    v.viewA = a;
    v.viewB = b;
    v.scale = 3.0;
    v.originX = kW / 2;
    v.originY = kH / 2;
    updateViewBasis(v, MachineKind::VerticalMill);
    return v;
}

void box(DrawContext& ctx, uint32_t colour, FaceMode mode, bool wire, Vec3 lo, Vec3 hi) {
    const ClipRect clip = ctx.fb.fullClip();
    const Vec3f p000 = f3(lo.x, lo.y, lo.z), p100 = f3(hi.x, lo.y, lo.z), p110 = f3(hi.x, hi.y, lo.z),
                p010 = f3(lo.x, hi.y, lo.z), p001 = f3(lo.x, lo.y, hi.z), p101 = f3(hi.x, lo.y, hi.z),
                p111 = f3(hi.x, hi.y, hi.z), p011 = f3(lo.x, hi.y, hi.z);
    drawQuad3D(ctx, colour, clip, mode, wire, p000, p010, p110, p100);
    drawQuad3D(ctx, colour, clip, mode, wire, p001, p101, p111, p011);
    drawQuad3D(ctx, colour, clip, mode, wire, p000, p100, p101, p001);
    drawQuad3D(ctx, colour, clip, mode, wire, p010, p011, p111, p110);
    drawQuad3D(ctx, colour, clip, mode, wire, p000, p001, p011, p010);
    drawQuad3D(ctx, colour, clip, mode, wire, p100, p110, p111, p101);
}

Image32 render(const ViewState& view, void (*scene)(DrawContext&)) {
    FrameBuffer fb(kW, kH);
    fb.image().fill(0xFFFFFF);
    fb.clearDepth();
    DrawContext ctx(fb, view);
    scene(ctx);
    return fb.image();
}

void shadedAndSeeThroughBoxes(DrawContext& ctx) {
    box(ctx, 0x3060C0, FaceMode::Front, false, {-30, -10, 0}, {0, 20, 25});
    box(ctx, 0xC08020, FaceMode::SeeThrough, false, {-5, -25, 0}, {25, 5, 20});
}

void revolvedSurface(DrawContext& ctx) {
    // A vase: radius 12 at the foot, 18 at the belly, 8 at the neck, with normals from the profile slope.
    ProfilePoint p[8];
    for (int i = 0; i < 8; ++i) {
        const double z = i * 6.0;
        const double r = 13 + 6 * std::sin(z / 42 * 2 * kPi) - z / 10;
        const double drdz = 6 * std::cos(z / 42 * 2 * kPi) * 2 * kPi / 42 - 0.1;
        const double len = std::sqrt(1 + drdz * drdz);
        p[i] = {r, z, 1 / len, -drdz / len};
    }
    drawRevolved(ctx, {0x40B0E0, false}, Vec3{0, 0, -20}, {}, std::span<const ProfilePoint>(p, 8));
}

void crossingTriangles(DrawContext& ctx) {
    const ClipRect clip = ctx.fb.fullClip();
    drawTriangle3D(ctx, 0x00C0C0, clip, FaceMode::Both, false, f3(-30, 0, -10), f3(30, 0, -10), f3(0, 0, 35));
    drawTriangle3D(ctx, 0xC06000, clip, FaceMode::Both, false, f3(-25, -20, 25), f3(25, 20, 25),
                   f3(0, 0, -20));
    drawTriangle3D(ctx, 0x2020E0, clip, FaceMode::Both, false, f3(-30, -25, 5), f3(-30, 25, 5),
                   f3(30, 0, 15));
}

void wireOverSolids(DrawContext& ctx) {
    const ClipRect clip = ctx.fb.fullClip();
    drawBlock(ctx, {0x30A030, false}, Vec3{-12, 0, 10}, 24, 30, 20, 3, {});
    drawTube(ctx, {0x0080FF, false}, Vec3{18, -5, 0}, 20, 10, 25, {});
    box(ctx, 0x000000, FaceMode::Both, true, {-24, -15, 0}, {0, 15, 20});
    for (int i = -30; i <= 30; i += 10) {
        drawLine3D(ctx, 0x808080, clip, f3(i, -30, 8), f3(i, 30, 8));
        drawLine3D(ctx, 0x808080, clip, f3(-30, i, 8), f3(30, i, 8));
    }
}

void expectGolden(const std::string& name, const Image32& img) {
    const std::string path = goldenPath(name);
    if (std::getenv("VANTREL_ACCEPT_GOLDEN")) {
        ASSERT_TRUE(writePng(path, img));
        FAIL() << "wrote " << path << ": look at it before committing";
    }
    Image32 golden;
    std::string error;
    ASSERT_TRUE(readPng(path, golden, &error)) << path << ": " << error;
    ASSERT_EQ(golden.width(), img.width());
    ASSERT_EQ(golden.height(), img.height());
    int differing = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((golden.at(x, y) & 0xFFFFFF) != (img.at(x, y) & 0xFFFFFF)) {
                if (differing++ < 5) ADD_FAILURE() << name << ": pixel " << x << "," << y << " differs";
            }
    EXPECT_EQ(differing, 0) << name;
}

TEST(Golden, ShadedAndSeeThroughBoxes) {
    expectGolden("golden_boxes", render(sceneView(), shadedAndSeeThroughBoxes));
}

TEST(Golden, SmoothSurfaceOfRevolution) {
    expectGolden("golden_revolved", render(sceneView(1.1, -2.0), revolvedSurface));
}

TEST(Golden, DepthCrossingTriangles) {
    expectGolden("golden_crossing", render(sceneView(1.2, -1.9), crossingTriangles));
}

TEST(Golden, WireEdgesOverSolids) {
    expectGolden("golden_wire", render(sceneView(), wireOverSolids));
}

TEST(Png, RoundTripKeepsEveryPixel) {
    Image32 img(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            img.at(x, y) = static_cast<uint32_t>(x * 0x102030 + y * 0x0A0B0C) & 0xFFFFFF;
    std::string bytes;
    ASSERT_TRUE(encodePng(img, bytes));
    Image32 back;
    ASSERT_TRUE(decodePng(bytes, back));
    ASSERT_EQ(back.width(), 7);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(back.at(x, y), img.at(x, y));
    std::string error;
    EXPECT_FALSE(decodePng("not a picture", back, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(encodePng(Image32(), bytes, &error));
    EXPECT_FALSE(writePng("/nonexistent-dir/x.png", img, &error));
}

}  // namespace
}  // namespace vantrel
