#include "render/frame_buffer.h"

#include <algorithm>

namespace vantrel {

void FrameBuffer::resize(int w, int h) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    if (w == width() && h == height() && !depth_.empty()) return;
    image_.resize(w, h, 0);
    const size_t n = (static_cast<size_t>(w) + 1) * (static_cast<size_t>(h) + 1);
    depth_.assign(n, kFarDepth);
    second_.assign(n, kFarDepth);
    ++allocations_;
}

void FrameBuffer::clearDepth(float v) {
    std::fill(depth_.begin(), depth_.end(), v);
}

void FrameBuffer::clearSecond(float v) {
    std::fill(second_.begin(), second_.end(), v);
}

}  // namespace vantrel
