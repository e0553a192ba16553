#pragma once
// The scene image with its depth buffer.
//
// Depth entries hold the distance from the eye to the nearest surface drawn so far, measured along the
// pixel's viewing ray (smaller is nearer). Both depth buffers have (W + 1) x (H + 1) entries; entry
// (x, y) belongs to pixel (x, y) and the extra column and row are never written by the drawing
// routines. They are stored row by row (the spans of the rasteriser run along x), W + 1 floats a row.
//
// Memory is allocated only by resize(); clearDepth() and every drawing routine work in place.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/image32.h"

namespace vantrel {

inline constexpr float kFarDepth = 90000.0f;

// An inclusive pixel rectangle that a routine may write.
struct ClipRect {
    int32_t left = 0, top = 0, right = -1, bottom = -1;
};

// A screen position in pixels (origin included), not rounded.
struct ScreenPoint {
    float x = 0, y = 0;
};

class FrameBuffer {
  public:
    FrameBuffer() { resize(1, 1); }
    FrameBuffer(int w, int h) { resize(w, h); }

    // Sets the size (at least 1 x 1). The image and both depth buffers are reallocated only when the size
    // changes; their contents are then undefined until the next clear.
    void resize(int w, int h);

    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    ClipRect fullClip() const { return {0, 0, width() - 1, height() - 1}; }

    Image32& image() { return image_; }
    const Image32& image() const { return image_; }

    // Depth buffer row y (W + 1 entries).
    float* depthRow(int y) { return depth_.data() + static_cast<size_t>(y) * stride(); }
    const float* depthRow(int y) const { return depth_.data() + static_cast<size_t>(y) * stride(); }
    float depthAt(int x, int y) const { return depthRow(y)[x]; }
    // The second buffer of the same shape, used by the tool-model drawing.
    float* secondRow(int y) { return second_.data() + static_cast<size_t>(y) * stride(); }
    float secondAt(int x, int y) const { return second_[static_cast<size_t>(y) * stride() + x]; }

    void clearDepth(float v = kFarDepth);
    void clearSecond(float v = kFarDepth);

    // The still background that restoreTriangle copies from (owned by the scene composition).
    const Image32* background = nullptr;

    // How many times the buffers were (re)allocated; a drawing routine never changes it.
    int allocations() const { return allocations_; }

  private:
    size_t stride() const { return static_cast<size_t>(width()) + 1; }

    Image32 image_;
    std::vector<float> depth_;
    std::vector<float> second_;
    int allocations_ = 0;
};

}  // namespace vantrel
