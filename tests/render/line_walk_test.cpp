// The integer line walk of the scene's pens.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "render/raster.h"
#include "written_pixels.h"

namespace vantrel {
namespace {

// The walk carries the minor coordinate on in integers from the first pixel inside the clip; it must
// give the pixels of the closed form floor(i minor / major + 1/2) for every line and clip, and the
// recording variant must list exactly the pixels it set.
TEST(LineWalk, MatchesTheClosedFormAndRecordsItsPixels) {
    Image32 img(64, 48, 0xFFFFFF);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> coord(-90, 150), clipc(-5, 70);
    int lines = 0;
    for (int n = 0; n < 3000; ++n) {
        const int x1 = coord(rng), y1 = coord(rng), x2 = coord(rng), y2 = coord(rng);
        ClipRect clip{clipc(rng), clipc(rng), clipc(rng), clipc(rng)};
        if (clip.left > clip.right) std::swap(clip.left, clip.right);
        if (clip.top > clip.bottom) std::swap(clip.top, clip.bottom);
        const ClipRect lim{std::max(clip.left, 0), std::max(clip.top, 0),
                           std::min(clip.right, img.width() - 1), std::min(clip.bottom, img.height() - 1)};
        std::set<std::pair<int, int>> expect;
        auto put = [&](int64_t x, int64_t y) {
            if (x >= lim.left && x <= lim.right && y >= lim.top && y <= lim.bottom)
                expect.insert({static_cast<int>(x), static_cast<int>(y)});
        };
        put(x1, y1);
        const bool alongY = std::abs(y2 - y1) > std::abs(x2 - x1);
        int64_t a0 = alongY ? y1 : x1, b0 = alongY ? x1 : y1, a1 = alongY ? y2 : x2, b1 = alongY ? x2 : y2;
        if (a1 < a0) std::swap(a0, a1), std::swap(b0, b1);
        const int64_t major = a1 - a0, minor = std::llabs(b1 - b0), dir = b1 >= b0 ? 1 : -1;
        for (int64_t i = 1; i <= major; ++i) {
            const int64_t b = b0 + dir * ((2 * i * minor + major) / (2 * major));
            alongY ? put(b, a0 + i) : put(a0 + i, b);
        }
        img.fill(0xFFFFFF);
        paintLine2D(img, 0, clip, x1, y1, x2, y2);
        ASSERT_EQ(written(img, 0xFFFFFF), expect) << x1 << "," << y1 << " " << x2 << "," << y2;
        img.fill(0xFFFFFF);
        PixelRecord offsets;
        paintLine2DRecorded(img, 0, clip, x1, y1, x2, y2, offsets);
        std::set<std::pair<int, int>> recorded;
        for (uint32_t o : offsets)
            recorded.insert({static_cast<int>(o % static_cast<uint32_t>(img.width())),
                             static_cast<int>(o / static_cast<uint32_t>(img.width()))});
        ASSERT_EQ(recorded, expect);
        lines += !expect.empty();
    }
    EXPECT_GT(lines, 300);
}

}  // namespace
}  // namespace vantrel
