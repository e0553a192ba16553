#pragma once
// The scene through OpenGL: the frame set-up (viewport, matrices, state) and the primitives of
// primitives.h mapped onto immediate-mode OpenGL 1.1.
//
// The caller owns the context and makes it current; GlRenderer only issues calls through the GlApi
// table. The projection reproduces the software renderer's: a world point lands on the pixel
// projectPoint gives it, in the perspective and in the parallel view, for every machine kind.
//
// Face modes: Both draws with culling off, Front culls back faces, Back culls front faces, SeeThrough
// draws with culling off and adds 0.4 of its colour to what is behind it. Culling is switched on again
// after Both and SeeThrough primitives; the cull face stays as the last Front or Back primitive set it.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/machine_kind.h"
#include "core/vec3.h"
#include "render/gl_api.h"
#include "render/primitives.h"
#include "render/raster.h"
#include "render/view_state.h"

namespace vantrel {

// Where the frame goes: the viewport in the context's drawable (x, y from the bottom left), the
// scene area's size and the background colour (0x00BBGGRR).
struct GlFrame {
    int32_t viewportX = 0, viewportY = 0;
    int32_t width = 1, height = 1;  // the scene area in the view's pixels
    double pixelRatio = 1;          // drawable pixels per view pixel (high-density screens)
    uint32_t back = 0;
};

// The whole world-to-clip transform of a frame, column-major as OpenGL keeps it: the orthographic
// placement of the origin and scale, the perspective (or, in the parallel view, its orthographic
// counterpart), the look-at and the view offset, multiplied in that order. The basis must be current.
std::array<double, 16> glSceneMatrix(const ViewState& view, int32_t width, int32_t height);
// The pieces, for the frame set-up (which multiplies them onto the context's matrix one by one).
std::array<double, 6> glOrthoBox(const ViewState& view, int32_t width, int32_t height);
std::array<double, 16> glProjectionMatrix(const ViewState& view, int32_t width, int32_t height);
std::array<double, 16> glLookAtMatrix(const ViewState& view);

// The colour OpenGL is given for a palette colour: its bytes over 255, alpha 0.4.
std::array<float, 4> glColourOf(uint32_t colour);

class GlRenderer {
  public:
    explicit GlRenderer(const GlApi& api) : gl_(api) {}

    // Viewport, matrices and state; clears colour and depth.
    void beginFrame(const ViewState& view, const GlFrame& frame);
    // Flushes what is pending and waits for the frame to be drawn.
    void endFrame();

    void line(uint32_t colour, const Vec3f& a, const Vec3f& b);
    // A triangle (count 3) or quad (count 4), flat shaded with the normal of its first three corners;
    // with normals, a quad shaded at each corner and interpolated (smooth quad).
    void polygon(const ViewState& view, uint32_t colour, FaceMode mode, bool wire, const Vec3f* p, int count,
                 const Vec3f* normals);
    // The tool path is drawn over everything: the depth test is off for it.
    void setDepthTest(bool on);
    // Lines drawn from here on are dotted (every other pixel), as the software view draws rapids.
    void setDotted(bool on);

    int64_t trianglesSent() const { return triangles_; }
    int64_t linesSent() const { return lines_; }

  private:
    // Vertices wait in arrays until the state must change (or the arrays are full), then go to OpenGL
    // in one draw call.
    enum class Batch : uint8_t { None, Lines, Triangles, SmoothTriangles };
    void open(Batch b);
    void flush();
    void applyFaceMode(FaceMode mode);
    void restoreAfter(FaceMode mode);
    void colour(uint32_t c);
    void vertex(const Vec3f& p);
    // The face shading of the view as it is now (the light gain changes between layers).
    uint32_t shade(const ViewState& view, uint32_t colour, const Vec3& normal);

    GlApi gl_;
    Batch batch_ = Batch::None;
    bool dotted_ = false;
    std::vector<float> xyz_;
    std::vector<uint8_t> rgba_;
    std::array<uint8_t, 4> colour_{0, 0, 0, 102};
    std::optional<FaceShader> shader_;
    const ViewState* shaderView_ = nullptr;
    float shaderGain_ = 0;
    int32_t shaderPower_ = 0;
    double shaderA_ = 0, shaderB_ = 0;
    uint32_t cullFace_ = 0;  // GL_BACK or GL_FRONT as last set
    int64_t triangles_ = 0, lines_ = 0;
};

}  // namespace vantrel
