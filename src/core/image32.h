#pragma once
// A 32-bit image: width x height pixels, rows top to bottom, each pixel 0x00RRGGBB.
// The layout matches QImage::Format_RGB32, so the GUI can wrap the pixels without a copy.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel {

class Image32 {
  public:
    Image32() = default;
    Image32(int width, int height, uint32_t fill = 0) { resize(width, height, fill); }

    void resize(int width, int height, uint32_t fill = 0) {
        w_ = width > 0 ? width : 0;
        h_ = height > 0 ? height : 0;
        px_.assign(static_cast<size_t>(w_) * static_cast<size_t>(h_), fill);
    }
    void fill(uint32_t c) { px_.assign(px_.size(), c); }

    int width() const { return w_; }
    int height() const { return h_; }
    bool empty() const { return px_.empty(); }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }

    uint32_t* row(int y) { return px_.data() + static_cast<size_t>(y) * w_; }
    const uint32_t* row(int y) const { return px_.data() + static_cast<size_t>(y) * w_; }
    uint32_t& at(int x, int y) { return row(y)[x]; }
    uint32_t at(int x, int y) const { return row(y)[x]; }
    uint32_t* data() { return px_.data(); }
    const uint32_t* data() const { return px_.data(); }
    int bytesPerLine() const { return w_ * 4; }

    // Copies the rectangle (x, y, w, h) of src to (dx, dy) of this image, clipped to both images.
    void copyRect(const Image32& src, int x, int y, int w, int h, int dx, int dy);

  private:
    int w_ = 0, h_ = 0;
    std::vector<uint32_t> px_;
};

// Palette and model colours are 0x00BBGGRR; scene pixels are 0x00RRGGBB. These swap the two.
constexpr uint32_t bgrToRgb(uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr uint32_t rgbToBgr(uint32_t c) {
    return bgrToRgb(c);
}

}  // namespace vantrel
