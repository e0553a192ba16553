#pragma once
// The animated screen effects over the background picture and its reduction to grey levels.
//
// Each effect renders one frame at a time into the picture the scene shows, most of them from the copy
// taken when the effect started (so that releasing the effect can put the picture back exactly).
// Pixels outside a source image count as black. All of this runs on the UI thread; the effect thread
// only sequences the frames.
#include <cstdint>

#include "core/image32.h"

namespace vantrel {

// effectKind values.
inline constexpr int32_t kEffectScroll = 0;
inline constexpr int32_t kEffectRasterScroll = 1;
inline constexpr int32_t kEffectFadeIn = 2;
inline constexpr int32_t kEffectFadeOut = 3;
inline constexpr int32_t kEffectHeatHaze = 4;
inline constexpr int32_t kEffectRotation = 5;
inline constexpr int32_t kEffectMagnifier = 6;
inline constexpr int32_t kEffectStopped = 255;

// The running values of the effects.
struct EffectValues {
    float phase = 0;        // effectPhase
    int16_t amplitude = 0;  // effectAmplitude
    int16_t fadeLevel = 0;  // fadeLevel
};

// The values an effect starts with; `step` is the feed step length that paces playback, so the
// effects' speed follows it.
EffectValues effectStartValues(int32_t kind, double step);

// Scroll: every row moves up by one and the old top row becomes the bottom row (in place).
void scrollFrame(Image32& picture);

// Raster scroll: row y of `copy` shifted sideways by trunc(sin((y - phase) / a) x amplitude) pixels
// (a = height / 8, at least 1), then the phase advances by 5 x step within one period and the
// amplitude grows by 1 up to width / 8.
void rasterScrollFrame(const Image32& copy, Image32& picture, EffectValues& v, double step);

// Fade in (2) or out (3): while 0 <= fadeLevel <= 64 every channel of `copy` scaled by fadeLevel / 64;
// fade in counts up and turns to fade out at 70, fade out counts down and turns to fade in after a
// frame that started at -4 or less. Returns the kind for the next frame.
int32_t fadeFrame(const Image32& copy, Image32& picture, int32_t kind, EffectValues& v);

// Heat haze: row y takes row y + trunc((sin t + 3) x 4 x cos t) of `copy`, t = (y - phase) / 25; then
// the phase advances by 2 x step, wrapping at 157.25.
void heatHazeFrame(const Image32& copy, Image32& picture, EffectValues& v, double step);

// Rotation by phase / 100 radians about the picture's centre (integer halves), source positions rounded
// to nearest with ties to even; then the phase falls by 5 x step, wrapping at -628.
void rotationFrame(const Image32& copy, Image32& picture, EffectValues& v, double step);

// Magnifier: `copy` back whole, then a lens of radius 35 with a black rim to 40 around (cx, cy) in
// picture coordinates. The 81 x 81 window is clipped to the picture.
void magnifierFrame(const Image32& copy, Image32& picture, int cx, int cy);
// The lens centre in picture coordinates for a mouse position over a view of viewWidth x viewHeight:
// half the difference of the sizes (truncated) is subtracted, as the centred picture is placed.
void magnifierCentre(int mouseX, int mouseY, int viewWidth, int viewHeight, int pictureWidth,
                     int pictureHeight, int& cx, int& cy);

// One monochrome step at `levels` grey levels (2 ... 256): g = (R + G + B) / 3 and the new grey
// ((g >> k) x 255) / (levels - 1) with levels = 256 >> k, written to all three channels.
void monochromeStep(Image32& picture, int levels);

}  // namespace vantrel
