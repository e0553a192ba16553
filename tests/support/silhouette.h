#pragma once
// Comparing two pictures of the same scene drawn by different renderers: their silhouettes (the solids
// against the background) and the colours inside them.
#include <cstdint>
#include <map>
#include <vector>

#include "core/image32.h"

namespace vantrel::testing {

// The most frequent pixel: the background of a scene picture.
inline uint32_t backgroundOf(const Image32& img) {
    std::map<uint32_t, int> n;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) ++n[img.at(x, y) & 0xFFFFFFu];
    uint32_t best = 0;
    int most = -1;
    for (const auto& [px, c] : n) {
        if (c > most) {
            most = c;
            best = px;
        }
    }
    return best;
}

// The pixels that are not background and whose eight neighbours are not either: one-pixel lines (grid,
// axes, the outline of a face) drop out and the solids remain.
inline std::vector<uint8_t> solidMask(const Image32& img) {
    const uint32_t back = backgroundOf(img);
    const int w = img.width(), h = img.height();
    std::vector<uint8_t> m(static_cast<size_t>(w) * h, 0);
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            bool solid = true;
            for (int dy = -1; dy <= 1 && solid; ++dy)
                for (int dx = -1; dx <= 1 && solid; ++dx)
                    solid = (img.at(x + dx, y + dy) & 0xFFFFFFu) != back;
            m[static_cast<size_t>(y) * w + x] = solid;
        }
    return m;
}

struct SilhouetteComparison {
    int both = 0, onlyFirst = 0, onlySecond = 0;
    int colourDiffers = 0;  // inside both: a channel differs by more than 16 levels
    // The pixels in one silhouette and not the other, over the pixels of the two together.
    double mismatch() const {
        const int all = both + onlyFirst + onlySecond;
        return all == 0 ? 0 : static_cast<double>(onlyFirst + onlySecond) / all;
    }
};

inline SilhouetteComparison compareSilhouettes(const Image32& first, const Image32& second) {
    SilhouetteComparison r;
    const std::vector<uint8_t> a = solidMask(first), b = solidMask(second);
    for (int y = 0; y < first.height() && y < second.height(); ++y)
        for (int x = 0; x < first.width() && x < second.width(); ++x) {
            const size_t i = static_cast<size_t>(y) * first.width() + x;
            const size_t j = static_cast<size_t>(y) * second.width() + x;
            const bool p = a[i], q = b[j];
            r.both += p && q;
            r.onlyFirst += p && !q;
            r.onlySecond += !p && q;
            if (!p || !q) continue;
            const uint32_t u = first.at(x, y), v = second.at(x, y);
            bool far = false;
            for (int sh = 0; sh <= 16; sh += 8) {
                const int d = static_cast<int>((u >> sh) & 0xFF) - static_cast<int>((v >> sh) & 0xFF);
                far = far || d > 16 || d < -16;
            }
            r.colourDiffers += far;
        }
    return r;
}

}  // namespace vantrel::testing
