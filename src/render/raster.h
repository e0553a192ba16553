#pragma once
// The pixel-level drawing routines of the software renderer.
//
// Depth-tested routines (a pixel is written only when its new depth is strictly less than the stored
// one; the depth of a pixel is the exact distance from the eye to the primitive's plane along the
// pixel's viewing ray, computed per pixel, never interpolated):
//   drawDepthLine       a line between two world points given with their screen positions
//   fillTriangle        a flat opaque triangle (colour already shaded by the caller)
//   fillTriangleBlend   a see-through triangle: each channel becomes 0.6 old + 0.4 new
//   fillTriangleSmooth  a triangle shaded per pixel from interpolated vertex normals
// Routines without depth:
//   paintTriangle, restoreTriangle (copies the background), paintLine2D
//
// Scan conversion (shared by all triangle routines): a pixel is covered when its centre lies in
// (xl, xr] across the row and in (top y, bottom y] down the triangle; a triangle whose vertices round to
// one row draws nothing. Colours are 0x00BBGGRR; pixels 0x00RRGGBB. Every routine is limited to the
// clip rectangle and to the image; none of them allocates.
//
// The routines read the camera (ray directions, scale, origin, light) from the ViewState, whose basis
// must be current (updateViewBasis).
#include <cstdint>

#include <algorithm>
#include <vector>
#include "core/image32.h"
#include "core/vec3.h"

#include "render/frame_buffer.h"
#include "render/view_state.h"

namespace vantrel {

// 0x00BBGGRR palette colour -> 0x00RRGGBB pixel.
constexpr uint32_t toPixel(uint32_t c) {
    return (c & 0x00FF00) | ((c >> 16) & 0xFF) | ((c & 0xFF) << 16);
}

// The light direction for the current view angles and machine kind (a unit vector).
Vec3 lightDirection(const ViewState& view);

// Lights a face: each channel ch becomes ch + trunc(ch r), limited to 0..255, where
// r = (light power / 20 - angle(normal, light) / pi) x light gain.
uint32_t shadeColour(const ViewState& view, uint32_t colour, const Vec3& normal);
// shadeColour with the light direction worked out once, for many faces under one view.
class FaceShader {
  public:
    explicit FaceShader(const ViewState& view);
    uint32_t shade(uint32_t colour, const Vec3& normal) const;

  private:
    Vec3 light_;
    double power_, gain_;
};

void drawDepthLine(FrameBuffer& fb, const ViewState& view, uint32_t colour, const ClipRect& clip,
                   const Vec3f& p1, const Vec3f& p2, ScreenPoint s1, ScreenPoint s2);

void fillTriangle(FrameBuffer& fb, const ViewState& view, uint32_t colour, const ClipRect& clip,
                  const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, ScreenPoint s1, ScreenPoint s2,
                  ScreenPoint s3);

void fillTriangleBlend(FrameBuffer& fb, const ViewState& view, uint32_t colour, const ClipRect& clip,
                       const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, ScreenPoint s1, ScreenPoint s2,
                       ScreenPoint s3);

void fillTriangleSmooth(FrameBuffer& fb, const ViewState& view, uint32_t colour, const ClipRect& clip,
                        const Vec3f& p1, const Vec3f& p2, const Vec3f& p3, const Vec3f& n1, const Vec3f& n2,
                        const Vec3f& n3, ScreenPoint s1, ScreenPoint s2, ScreenPoint s3);

// No depth: fills the triangle with the colour.
void paintTriangle(Image32& target, uint32_t colour, const ClipRect& clip, ScreenPoint s1, ScreenPoint s2,
                   ScreenPoint s3);
// No depth: copies the background's pixels inside the triangle (pixels the background lacks are kept).
void restoreTriangle(Image32& target, const Image32& background, const ClipRect& clip, ScreenPoint s1,
                     ScreenPoint s2, ScreenPoint s3);
// No depth: an integer line, both end points included. A dotted line plots every other pixel.
void paintLine2D(Image32& target, uint32_t colour, const ClipRect& clip, int32_t x1, int32_t y1, int32_t x2,
                 int32_t y2, bool dotted = false);
// Offsets (y x width + x) of pixels set, kept so that they can be put back. The storage only grows,
// so recording a frame after the first allocates nothing and clears nothing.
class PixelRecord {
  public:
    // Room for n more offsets; the caller writes them and then calls added(n).
    uint32_t* room(size_t n) {
        if (count_ + n > store_.size()) store_.resize(std::max(store_.size() * 2, count_ + n + 1024));
        return store_.data() + count_;
    }
    void added(size_t n) { count_ += n; }
    void push(uint32_t o) {
        *room(1) = o;
        ++count_;
    }
    const uint32_t* begin() const { return store_.data(); }
    const uint32_t* end() const { return store_.data() + count_; }
    size_t size() const { return count_; }
    void clear() { count_ = 0; }

  private:
    std::vector<uint32_t> store_;
    size_t count_ = 0;
};

// The same solid line, recording the offset of every pixel it sets.
void paintLine2DRecorded(Image32& target, uint32_t colour, const ClipRect& clip, int32_t x1, int32_t y1,
                         int32_t x2, int32_t y2, PixelRecord& offsets);

}  // namespace vantrel
