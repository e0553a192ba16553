#include "render/picture_placement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vantrel {

PictureRect fittedPictureRect(int width, int height, int pictureWidth, int pictureHeight) {
    PictureRect r;
    if (width <= 0 || height <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return r;
    const double k =
        std::min(static_cast<double>(width) / pictureWidth, static_cast<double>(height) / pictureHeight);
    const double w = pictureWidth * k, h = pictureHeight * k;
    r.left = static_cast<int>(std::trunc((width - w) / 2));
    r.top = static_cast<int>(std::trunc((height - h) / 2));
    r.right = std::clamp(static_cast<int>(std::trunc((width + w) / 2)), r.left, width);
    r.bottom = std::clamp(static_cast<int>(std::trunc((height + h) / 2)), r.top, height);
    return r;
}

void placePicture(Image32& target, const Image32& picture, int mode) {
    if (picture.empty() || target.empty()) return;
    const int W = target.width(), H = target.height(), pw = picture.width(), ph = picture.height();
    if (mode == 1) {
        // Per axis: the destination offset of a narrower picture, the source offset of a wider one.
        const int dx = pw < W ? (W - pw) / 2 : 0, sx = pw < W ? 0 : (pw - W) / 2, n = std::min(pw, W);
        const int dy = ph < H ? (H - ph) / 2 : 0, sy = ph < H ? 0 : (ph - H) / 2, m = std::min(ph, H);
        target.copyRect(picture, sx, sy, n, m, dx, dy);
        return;
    }
    if (mode != 2) return;
    const PictureRect r = fittedPictureRect(W, H, pw, ph);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    for (int y = 0; y < h; ++y) {
        const int sy = std::min(static_cast<int>((static_cast<int64_t>(2 * y + 1) * ph) / (2 * h)), ph - 1);
        const uint32_t* src = picture.row(sy);
        uint32_t* dst = target.row(r.top + y) + r.left;
        for (int x = 0; x < w; ++x)
            dst[x] =
                src[std::min(static_cast<int>((static_cast<int64_t>(2 * x + 1) * pw) / (2 * w)), pw - 1)];
    }
}

}  // namespace vantrel
