#pragma once
// World-space primitives: every object of the scene reaches the rasteriser through these.
//
//   drawLine3D        depth-tested line between two world points
//   drawOverlayLine   line without depth into one of four targets (see OverlayTarget)
//   drawTriangle3D    triangle: back-face test, projection-plane clipping, bounding-box rejection,
//                     face shading, opaque or see-through fill, or its outline in wire mode
//   drawQuad3D        the same for a quad (two triangles P1 P2 P3 and P1 P3 P4)
//   drawSmoothQuad3D  a quad shaded per pixel from four vertex normals
//   paintTriangle3D, paintQuad3D
//                     primitives without depth for piecewise back-to-front redraws; they grow the
//                     context's dirty rectangle
//   clipSegment       the visible part of a segment (in front of the projection plane, on the image)
//
// Orientation: a triangle (P1, P2, P3) whose vertices run anticlockwise as seen from the eye has its
// front towards the eye, i.e. (e - P1) . ((P2 - P1) x (P3 - P1)) > 0.
#include <cstdint>
#include <optional>
#include <utility>

#include "core/image32.h"
#include "core/vec3.h"
#include "render/frame_buffer.h"
#include "render/raster.h"
#include "render/view_state.h"

namespace vantrel {

class GlRenderer;

enum class FaceMode : uint8_t {
    Both = 0,         // both sides, shaded with the face normal
    Front = 1,        // front side only
    Back = 2,         // back side only, shaded with the reversed normal
    SeeThrough = 10,  // both sides, blended 0.6 old + 0.4 new
};

// The rectangle grown by the primitives without depth: min x, max x, min y, max y in pixels.
struct DirtyRect {
    int32_t minX = 0, maxX = -1, minY = 0, maxY = -1;
    bool empty() const { return maxX < minX || maxY < minY; }
    void reset() { *this = DirtyRect{}; }
    void grow(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
};

enum class OverlayTarget : uint8_t {
    SceneBlack = 0,  // the scene image, colour 0 (black)
    ScenePen = 1,    // the scene image, with the pen's colour and style
    Window = 2,      // the visible window image
    Frame = 3,       // the frame image
};

// What the primitives draw into. One context per repaint (or per quick redraw).
struct DrawContext {
    DrawContext(FrameBuffer& f, const ViewState& v) : fb(f), view(v) {}

    FrameBuffer& fb;
    const ViewState& view;
    DirtyRect dirty;
    // The OpenGL renderer of the frame being drawn: the depth-tested primitives forward to it and touch
    // no software buffer; the primitives without depth and the software-only effects draw nothing.
    GlRenderer* gl = nullptr;
    bool openGl() const { return gl != nullptr; }
    uint32_t penColour = 0;  // scene pen, 0x00BBGGRR
    bool penDotted = false;
    Image32* window = nullptr;  // OverlayTarget::Window; nothing is drawn when absent
    Image32* frame = nullptr;   // OverlayTarget::Frame
};

std::optional<std::pair<Vec3, Vec3>> clipSegment(const ViewState& view, int width, int height, const Vec3& p1,
                                                 const Vec3& p2);

void drawLine3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, const Vec3f& p1, const Vec3f& p2);
void drawOverlayLine(DrawContext& ctx, OverlayTarget target, const Vec3f& p1, const Vec3f& p2);

void drawTriangle3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, FaceMode mode, bool wire,
                    const Vec3f& p1, const Vec3f& p2, const Vec3f& p3);
void drawQuad3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, FaceMode mode, bool wire,
                const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, const Vec3f& p4);
void drawSmoothQuad3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, FaceMode mode, bool wire,
                      const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, const Vec3f& p4, const Vec3f& n1,
                      const Vec3f& n2, const Vec3f& n3, const Vec3f& n4);

// Flat front-facing quads of a mesh whose corners are shared between quads (the machined stock): the
// caller projects each corner once with corner(), the light direction is worked out once, and a quad
// outside the clip rectangle is dismissed from its four screen points. The pixels are exactly those of
// drawQuad3D with FaceMode::Front.
struct MeshCorner {
    Vec3f p;
    ScreenPoint s;
    bool clipped = true;
};
class MeshQuadPainter {
  public:
    MeshQuadPainter(DrawContext& ctx, uint32_t colour, const ClipRect& clip, bool wire);
    MeshCorner corner(const Vec3f& p) const;
    // The back-face test on the world corners alone, before any of them needs projecting.
    bool facesEye(const Vec3f& a, const Vec3f& b, const Vec3f& c, const Vec3f& d) const;
    // A quad that passed facesEye.
    void quad(const MeshCorner& a, const MeshCorner& b, const MeshCorner& c, const MeshCorner& d);
    // Only quads whose screen box meets one of these rectangles are drawn (none given: all).
    void onlyWhereMeets(const ClipRect* areas, int count) {
        areas_ = areas;
        areaCount_ = count;
    }
    int quadsFilled() const { return filled_; }

  private:
    DrawContext& ctx_;
    uint32_t colour_;
    ClipRect clip_;
    bool wire_;
    FaceShader shader_;
    const ClipRect* areas_ = nullptr;
    int areaCount_ = 0;
    // The last normal shaded and its colour: the two triangles of a flat quad have the same normal to
    // the last bit, and so do neighbouring cells of the same slope.
    Vec3 lastNormal_{0, 0, 0};
    uint32_t lastShade_ = 0;
    bool haveShade_ = false;
    int filled_ = 0;
};

// Paint modes of the primitives without depth.
enum class PaintMode : uint8_t {
    Fill = 0,           // fill regardless of orientation
    FillFront = 1,      // fill front-facing polygons (a quad with either half turned to the eye)
    Outline = 3,        // outline with the scene pen, solid
    OutlineDotted = 4,  // outline, dotted
    Restore = 6,        // quad only: copy the background inside the quad
};
// shading: 1 or 3 shade the colour with the face normal (triangle: in paint modes 1 and 3; quad: in
// paint mode 1, each half with its own normal); other values paint the colour as given.
void paintTriangle3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, PaintMode mode, int shading,
                     const Vec3f& p1, const Vec3f& p2, const Vec3f& p3);
void paintQuad3D(DrawContext& ctx, uint32_t colour, const ClipRect& clip, PaintMode mode, int shading,
                 const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, const Vec3f& p4);

// (e - P1) . ((P2 - P1) x (P3 - P1)); > 0 when the front faces the eye.
double orientation(const ViewState& view, const Vec3f& p1, const Vec3f& p2, const Vec3f& p3);

}  // namespace vantrel
