#include "effects/picture_effects.h"

#include <algorithm>
#include <cmath>

#include "core/rounding.h"

namespace vantrel {

EffectValues effectStartValues(int32_t kind, double step) {
    EffectValues v;
    switch (kind) {
        case kEffectRasterScroll:
            v.amplitude = 0;
            v.phase = 1;
            break;
        case kEffectFadeIn:
        case kEffectFadeOut:
            v.fadeLevel = 70;
            break;
        case kEffectHeatHaze:
            v.phase = 1;
            break;
        case kEffectRotation:
            v.phase = static_cast<float>(-5 * step);
            break;
        default:
            break;
    }
    return v;
}

namespace {

// The picture the frame is written into has the copy's size; a picture replaced meanwhile is sized
// again rather than written out of bounds.
void matchSize(const Image32& copy, Image32& picture) {
    if (picture.width() != copy.width() || picture.height() != copy.height())
        picture.resize(copy.width(), copy.height());
}

}  // namespace

void scrollFrame(Image32& picture) {
    const int w = picture.width(), h = picture.height();
    if (w <= 0 || h <= 1) return;
    std::rotate(picture.data(), picture.data() + w, picture.data() + static_cast<size_t>(w) * h);
}

void rasterScrollFrame(const Image32& copy, Image32& picture, EffectValues& v, double step) {
    matchSize(copy, picture);
    const int w = copy.width(), h = copy.height();
    if (w <= 0 || h <= 0) return;
    // A picture lower than 8 rows still waves, one row per radian.
    const int a = std::max(h / 8, 1);
    for (int y = 0; y < h; ++y) {
        const int n = saturatingToInt32(std::sin((y - static_cast<double>(v.phase)) / a) * v.amplitude);
        const uint32_t* src = copy.row(y);
        uint32_t* dst = picture.row(y);
        for (int x = 0; x < w; ++x) {
            const int64_t sx = static_cast<int64_t>(x) - n;
            dst[x] = sx >= 0 && sx < w ? src[sx] : 0;
        }
    }
    v.phase = static_cast<float>(v.phase + 5 * step);
    const float period = static_cast<float>(a * 6.28);
    if (v.phase > period) v.phase -= period;
    if (v.amplitude < w / 8) ++v.amplitude;
}

int32_t fadeFrame(const Image32& copy, Image32& picture, int32_t kind, EffectValues& v) {
    matchSize(copy, picture);
    const int level = v.fadeLevel;
    if (level >= 0 && level <= 64) {
        const size_t n = static_cast<size_t>(copy.width()) * static_cast<size_t>(copy.height());
        const uint32_t* src = copy.data();
        uint32_t* dst = picture.data();
        const uint32_t k = static_cast<uint32_t>(level);
        for (size_t i = 0; i < n; ++i) {
            const uint32_t p = src[i];
            dst[i] = ((((p >> 16) & 0xFF) * k / 64) << 16) | ((((p >> 8) & 0xFF) * k / 64) << 8) |
                     ((p & 0xFF) * k / 64);
        }
    }
    if (kind == kEffectFadeIn) {
        ++v.fadeLevel;
        return v.fadeLevel >= 70 ? kEffectFadeOut : kEffectFadeIn;
    }
    --v.fadeLevel;
    return level <= -4 ? kEffectFadeIn : kEffectFadeOut;
}

void heatHazeFrame(const Image32& copy, Image32& picture, EffectValues& v, double step) {
    matchSize(copy, picture);
    const int w = copy.width(), h = copy.height();
    for (int y = 0; y < h; ++y) {
        const float t = (static_cast<float>(y) - v.phase) / 25.0f;
        const int64_t sy =
            static_cast<int64_t>(y) + saturatingToInt32((std::sin(t) + 3.0f) * 4.0f * std::cos(t));
        uint32_t* dst = picture.row(y);
        if (sy >= 0 && sy < h)
            std::copy(copy.row(static_cast<int>(sy)), copy.row(static_cast<int>(sy)) + w, dst);
        else
            std::fill(dst, dst + w, 0u);
    }
    v.phase = static_cast<float>(v.phase + 2 * step);
    if (v.phase >= 157.25f) v.phase -= 157.25f;
}

void rotationFrame(const Image32& copy, Image32& picture, EffectValues& v, double step) {
    matchSize(copy, picture);
    const int w = copy.width(), h = copy.height();
    const double theta = v.phase / 100.0;
    const double c = std::cos(theta), s = std::sin(theta);
    const int cx = w / 2, cy = h / 2;
    for (int y = 0; y < h; ++y) {
        uint32_t* dst = picture.row(y);
        for (int x = 0; x < w; ++x) {
            // nearbyint rounds ties to even in the default rounding mode.
            const int64_t sx =
                cx + static_cast<int64_t>(saturatingToInt32(std::nearbyint((x - cx) * c + (y - cy) * s)));
            const int64_t sy =
                cy + static_cast<int64_t>(saturatingToInt32(std::nearbyint((cx - x) * s + (y - cy) * c)));
            dst[x] = sx >= 0 && sx < w && sy >= 0 && sy < h
                         ? copy.at(static_cast<int>(sx), static_cast<int>(sy))
                         : 0;
        }
    }
    v.phase = static_cast<float>(v.phase - 5 * step);
    if (!(v.phase > -628.0f)) v.phase += 628.0f;
}

void magnifierFrame(const Image32& copy, Image32& picture, int cx, int cy) {
    picture = copy;
    const int w = copy.width(), h = copy.height();
    auto source = [&](int64_t x, int64_t y) -> uint32_t {
        return x >= 0 && x < w && y >= 0 && y < h ? copy.at(static_cast<int>(x), static_cast<int>(y)) : 0;
    };
    for (int dy = -40; dy <= 40; ++dy) {
        const int64_t y = static_cast<int64_t>(cy) + dy;
        if (y < 0 || y >= h) continue;
        for (int dx = -40; dx <= 40; ++dx) {
            const int64_t x = static_cast<int64_t>(cx) + dx;
            if (x < 0 || x >= w) continue;
            const double l = std::sqrt(static_cast<double>(dx * dx + dy * dy));
            uint32_t px;
            if (l > 40) {
                continue;
            } else if (l > 35) {
                px = 0;  // the lens rim
            } else if (l == 0) {
                px = source(cx, cy);
            } else {
                const double m = std::sqrt((l + 260) * (260 - l));
                const double r = l * (2 * m - 320) / m;
                px = source(static_cast<int64_t>(cx) + saturatingToInt32(dx * r / l),
                            static_cast<int64_t>(cy) + saturatingToInt32(dy * r / l));
            }
            picture.at(static_cast<int>(x), static_cast<int>(y)) = px;
        }
    }
}

void magnifierCentre(int mouseX, int mouseY, int viewWidth, int viewHeight, int pictureWidth,
                     int pictureHeight, int& cx, int& cy) {
    cx = saturatingToInt32(static_cast<double>(mouseX) -
                           std::trunc((static_cast<double>(viewWidth) - pictureWidth) / 2));
    cy = saturatingToInt32(static_cast<double>(mouseY) -
                           std::trunc((static_cast<double>(viewHeight) - pictureHeight) / 2));
}

void monochromeStep(Image32& picture, int levels) {
    levels = std::clamp(levels, 2, 256);
    int k = 0;
    while ((256 >> k) > levels) ++k;
    const uint32_t divisor = static_cast<uint32_t>(levels - 1);
    const size_t n = static_cast<size_t>(picture.width()) * static_cast<size_t>(picture.height());
    uint32_t* p = picture.data();
    for (size_t i = 0; i < n; ++i) {
        const uint32_t g = (((p[i] >> 16) & 0xFF) + ((p[i] >> 8) & 0xFF) + (p[i] & 0xFF)) / 3;
        const uint32_t grey = std::min<uint32_t>(((g >> k) * 255) / divisor, 255);
        p[i] = (grey << 16) | (grey << 8) | grey;
    }
}

}  // namespace vantrel
