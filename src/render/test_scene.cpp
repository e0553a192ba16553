#include "render/test_scene.h"

#include <cmath>

#include "render/primitives.h"
#include "render/shapes.h"
#include "render/view.h"

namespace vantrel {

namespace {

Vec3f f3(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

// An axis-aligned box from its six faces, wound so that each face's front looks outwards.
void drawBox(DrawContext& ctx, uint32_t colour, FaceMode mode, bool wire, Vec3 lo, Vec3 hi) {
    const ClipRect clip = ctx.fb.fullClip();
    const Vec3f p000 = f3(lo.x, lo.y, lo.z), p100 = f3(hi.x, lo.y, lo.z), p110 = f3(hi.x, hi.y, lo.z),
                p010 = f3(lo.x, hi.y, lo.z), p001 = f3(lo.x, lo.y, hi.z), p101 = f3(hi.x, lo.y, hi.z),
                p111 = f3(hi.x, hi.y, hi.z), p011 = f3(lo.x, hi.y, hi.z);
    drawQuad3D(ctx, colour, clip, mode, wire, p000, p010, p110, p100);  // bottom (-Z)
    drawQuad3D(ctx, colour, clip, mode, wire, p001, p101, p111, p011);  // top (+Z)
    drawQuad3D(ctx, colour, clip, mode, wire, p000, p100, p101, p001);  // -Y
    drawQuad3D(ctx, colour, clip, mode, wire, p010, p011, p111, p110);  // +Y
    drawQuad3D(ctx, colour, clip, mode, wire, p000, p001, p011, p010);  // -X
    drawQuad3D(ctx, colour, clip, mode, wire, p100, p110, p111, p101);  // +X
}

}  // namespace

ViewState testSceneView(int w, int h) {
    ViewState v;
    v.originX = w / 2;
    v.originY = h / 2;
    v.scale = 4.0 * std::min(w / 640.0, h / 480.0);
    updateViewBasis(v, MachineKind::VerticalMill);
    return v;
}

void drawTestScene(FrameBuffer& fb, const ViewState& view) {
    fb.image().fill(0xFFFFFF);
    fb.clearDepth();
    DrawContext ctx(fb, view);
    const ClipRect clip = fb.fullClip();

    // Grid on the table plane: depth-tested wire lines.
    for (int i = -150; i <= 150; i += 30) {
        drawLine3D(ctx, 0xC0C0C0, clip, f3(i, -150, 0), f3(i, 150, 0));
        drawLine3D(ctx, 0xC0C0C0, clip, f3(-150, i, 0), f3(150, i, 0));
    }
    // Axes.
    drawLine3D(ctx, 0x0000FF, clip, f3(0, 0, 0), f3(200, 0, 0));
    drawLine3D(ctx, 0x00A000, clip, f3(0, 0, 0), f3(0, 200, 0));
    drawLine3D(ctx, 0xFF0000, clip, f3(0, 0, 0), f3(0, 0, 200));

    // A bevelled block and an opaque box with its edges drawn over it.
    drawBlock(ctx, {0x30A030, false}, Vec3{-90, -70, 30}, 70, 50, 60, 8, {});
    drawBox(ctx, 0x808080, FaceMode::Front, false, {-130, 40, 0}, {-70, 100, 40});
    drawBox(ctx, 0x000000, FaceMode::Front, true, {-130, 40, 0}, {-70, 100, 40});

    // A hollow tube lying along X and a frustum standing on the table.
    drawTube(ctx, {0x0080FF, false}, Vec3{20, 70, 30}, 50, 30, 80, {0, kPi / 2});
    drawFrustum(ctx, {0xA040C0, false}, Vec3{110, 90, 0}, 50, 16, 60, {});

    // A smooth surface of revolution: a bulb on a stem.
    ProfilePoint profile[10];
    for (int i = 0; i < 10; ++i) {
        const double t = -kPi / 2 + kPi * i / 9;
        // The poles lie exactly on the axis so that their rings collapse to single points.
        const double r = (i == 0 || i == 9) ? 0.0 : 30 * std::cos(t);
        profile[i] = {r, 60 + 30 * std::sin(t), std::cos(t), std::sin(t)};
    }
    drawRevolved(ctx, {0x40C0E0, false}, Vec3{0, -20, 0}, {}, std::span<const ProfilePoint>(profile, 10));
    drawTube(ctx, {0x40C0E0, false}, Vec3{0, -20, 0}, 12, 0, 31, {});

    // A hexagonal prism and, in wire mode, a round one.
    drawPrism(ctx, {0x2020C0, false}, Vec3{100, -80, 0}, 50, 50, 0, 30, 6, {});
    drawPrism(ctx, {0x004080, true}, Vec3{100, 10, 0}, 40, 30, 5, 40, 0, {});

    // Two triangles passing through each other.
    drawTriangle3D(ctx, 0x00C0C0, clip, FaceMode::Both, false, f3(-60, -150, 0), f3(40, -150, 0),
                   f3(-10, -150, 80));
    drawTriangle3D(ctx, 0xC06000, clip, FaceMode::Both, false, f3(-60, -170, 60), f3(40, -130, 60),
                   f3(-10, -150, -10));

    // A see-through box in front of everything drawn so far.
    drawBox(ctx, 0xFF4000, FaceMode::SeeThrough, false, {30, -150, 0}, {80, -100, 50});

    // A circle around the scene as an overlay line.
    ctx.penColour = 0x0000C0;
    drawArc3D(ctx, 0, Vec3{0, 0, 0}, 340, {}, Vec3{170, 0, 0}, Vec3{170, 0, 0}, 1, false, 0);
}

Image32 renderTestScene(int w, int h) {
    FrameBuffer fb(w, h);
    const ViewState view = testSceneView(fb.width(), fb.height());
    drawTestScene(fb, view);
    return fb.image();
}

}  // namespace vantrel
