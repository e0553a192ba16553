#pragma once
// The pixels of an image that differ from its background, for the raster tests.
#include <set>
#include <utility>

#include "core/image32.h"

namespace vantrel {

inline std::set<std::pair<int, int>> written(const Image32& img, uint32_t background) {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.at(x, y) != background) out.insert({x, y});
    return out;
}

}  // namespace vantrel
