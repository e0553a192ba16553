#include "core/image32.h"

#include <algorithm>
#include <cstring>

namespace vantrel {

void Image32::copyRect(const Image32& src, int x, int y, int w, int h, int dx, int dy) {
    // Clip against the source.
    if (x < 0) {
        w += x;
        dx -= x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        dy -= y;
        y = 0;
    }
    w = std::min(w, src.width() - x);
    h = std::min(h, src.height() - y);
    // Clip against the destination.
    if (dx < 0) {
        w += dx;
        x -= dx;
        dx = 0;
    }
    if (dy < 0) {
        h += dy;
        y -= dy;
        dy = 0;
    }
    w = std::min(w, w_ - dx);
    h = std::min(h, h_ - dy);
    if (w <= 0 || h <= 0) return;
    for (int r = 0; r < h; ++r)
        std::memmove(row(dy + r) + dx, src.row(y + r) + x, static_cast<size_t>(w) * 4);
}

}  // namespace vantrel
