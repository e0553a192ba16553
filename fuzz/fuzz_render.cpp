// Feeds arbitrary cameras and geometry (NaN, infinities, huge and degenerate values included) to the
// software renderer: nothing may write outside the buffers, hang or trip the sanitizers.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/rounding.h"
#include "render/primitives.h"
#include "render/raster.h"
#include "render/shapes.h"
#include "render/view.h"

namespace {

struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t byte() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
    float f() {
        float v = 0;
        uint8_t b[4] = {byte(), byte(), byte(), byte()};
        std::memcpy(&v, b, 4);
        return v;
    }
    // A float that is usually in a drawable range but can be anything.
    float coord() {
        const uint8_t kind = byte();
        if (kind < 200)
            return static_cast<float>(static_cast<int8_t>(byte())) * 2.0f +
                   static_cast<float>(byte()) / 64.0f;
        return f();
    }
    vantrel::Vec3f point() { return {coord(), coord(), coord()}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrel;
    Reader r{data, size};
    FrameBuffer fb(48 + r.byte() % 32, 32 + r.byte() % 32);
    fb.image().fill(0xFFFFFF);
    fb.clearDepth();
    Image32 background(fb.width(), fb.height(), 0x123456);
    fb.background = &background;
    ViewState view;
    view.viewA = r.coord() / 20;
    view.viewB = r.coord() / 20;
    view.scale = r.byte() < 250 ? 0.1 + r.byte() / 16.0 : r.f();
    view.originX = static_cast<int8_t>(r.byte()) + 24;
    view.originY = static_cast<int8_t>(r.byte()) + 16;
    view.parallel = r.byte() & 1;
    view.laypower = r.byte() % 11;
    updateViewBasis(view, static_cast<MachineKind>(r.byte() % 5));
    DrawContext ctx(fb, view);
    const ClipRect clip = fb.fullClip();
    for (int op = 0; op < 12 && r.n > 0; ++op) {
        const uint8_t kind = r.byte();
        const uint32_t colour = 0x10101u * r.byte();
        const FaceMode mode = static_cast<FaceMode>(r.byte() % 4 == 3 ? 10 : r.byte() % 3);
        const bool wire = r.byte() & 1;
        switch (kind % 10) {
            case 0:
                drawTriangle3D(ctx, colour, clip, mode, wire, r.point(), r.point(), r.point());
                break;
            case 1:
                drawQuad3D(ctx, colour, clip, mode, wire, r.point(), r.point(), r.point(), r.point());
                break;
            case 2:
                drawSmoothQuad3D(ctx, colour, clip, mode, wire, r.point(), r.point(), r.point(), r.point(),
                                 r.point(), r.point(), r.point(), r.point());
                break;
            case 3:
                drawLine3D(ctx, colour, clip, r.point(), r.point());
                break;
            case 4:
                paintQuad3D(ctx, colour, clip, static_cast<PaintMode>(r.byte() % 7), r.byte() % 4, r.point(),
                            r.point(), r.point(), r.point());
                break;
            case 5: {
                const ScreenPoint a{r.coord(), r.coord()}, b{r.coord(), r.coord()}, c{r.coord(), r.coord()};
                fillTriangleSmooth(fb, view, colour, clip, r.point(), r.point(), r.point(), r.point(),
                                   r.point(), r.point(), a, b, c);
                paintLine2D(fb.image(), colour, clip, saturatingToInt32(r.f()), r.byte(), r.byte(), r.byte(),
                            wire);
                drawDepthLine(fb, view, colour, clip, r.point(), r.point(), a, b);
                break;
            }
            case 6:
                drawTube(ctx, {colour, wire}, Vec3{r.coord(), r.coord(), r.coord()}, r.coord(), r.coord(),
                         r.coord(), {r.coord(), r.coord()});
                break;
            case 7:
                drawPrism(ctx, {colour, wire}, Vec3{r.coord(), r.coord(), r.coord()}, r.coord(), r.coord(),
                          r.coord(), r.coord(), r.byte() % 9, {r.coord(), r.coord()});
                break;
            case 8:
                drawBlock(ctx, {colour, wire}, Vec3{r.coord(), r.coord(), r.coord()}, r.coord(), r.coord(),
                          r.coord(), r.coord(), {r.coord(), r.coord()});
                drawFrustum(ctx, {colour, wire}, Vec3{r.coord(), r.coord(), r.coord()}, r.coord(), r.coord(),
                            r.coord(), {r.coord(), r.coord()});
                break;
            case 9: {
                const Vec3 c{r.coord(), r.coord(), r.coord()};
                drawArc3D(ctx, colour, c, r.coord(), {r.coord(), r.coord()},
                          Vec3{r.coord(), r.coord(), r.coord()}, Vec3{r.coord(), r.coord(), r.coord()},
                          r.byte() % 4, wire, r.byte() % 8);
                ProfilePoint prof[3];
                for (ProfilePoint& p : prof) p = {r.coord(), r.coord(), r.coord(), r.coord()};
                drawRevolved(ctx, {colour, wire}, c, {r.coord(), r.coord()}, prof);
                break;
            }
        }
    }
    return 0;
}
