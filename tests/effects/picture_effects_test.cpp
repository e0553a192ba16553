// The effect frames on small pictures, with the expected pixels worked out by hand in the comments.
#include <gtest/gtest.h>

#include <cmath>

#include "effects/picture_effects.h"

namespace vantrel {
namespace {

// Every pixel tells where it came from: x in the low byte, y in the next (values below 256).
Image32 coordinatePicture(int w, int h) {
    Image32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.at(x, y) = static_cast<uint32_t>(y) << 8 | static_cast<uint32_t>(x) | 0x10000u;
    return p;
}
uint32_t from(int x, int y) {
    return static_cast<uint32_t>(y) << 8 | static_cast<uint32_t>(x) | 0x10000u;
}

TEST(EffectStart, StartValuesFollowTheFeedStep) {
    EXPECT_FLOAT_EQ(effectStartValues(kEffectRasterScroll, 1).phase, 1);
    EXPECT_EQ(effectStartValues(kEffectRasterScroll, 1).amplitude, 0);
    EXPECT_EQ(effectStartValues(kEffectFadeOut, 1).fadeLevel, 70);
    EXPECT_FLOAT_EQ(effectStartValues(kEffectHeatHaze, 2).phase, 1);
    EXPECT_FLOAT_EQ(effectStartValues(kEffectRotation, 0.5).phase, -2.5f);
}

TEST(ScrollEffect, RowsMoveUpAndTheTopRowWrapsToTheBottom) {
    Image32 p = coordinatePicture(2, 3);
    scrollFrame(p);
    EXPECT_EQ(p.at(0, 0), from(0, 1));
    EXPECT_EQ(p.at(1, 1), from(1, 2));
    EXPECT_EQ(p.at(1, 2), from(1, 0));
    scrollFrame(p);
    scrollFrame(p);
    EXPECT_EQ(p.at(0, 0), from(0, 0));  // three frames bring a three-row picture back
    Image32 one = coordinatePicture(3, 1);
    scrollFrame(one);  // a single row has nowhere to go
    EXPECT_EQ(one.at(2, 0), from(2, 0));
}

TEST(RasterScrollEffect, RowsShiftBySineTimesAmplitude) {
    // 8 x 8: a = 8 div 8 = 1. With phase 0 and amplitude 2, n = trunc(2 sin y):
    // y 0 -> 0, 1 -> trunc(1.68) = 1, 2 -> trunc(1.82) = 1, 3 -> trunc(0.28) = 0, 4 -> trunc(-1.51) = -1.
    const Image32 copy = coordinatePicture(8, 8);
    Image32 p = copy;
    EffectValues v;
    v.phase = 0;
    v.amplitude = 2;
    rasterScrollFrame(copy, p, v, 1);
    EXPECT_EQ(p.at(0, 0), from(0, 0));
    EXPECT_EQ(p.at(0, 1), 0u);  // shifted right: the uncovered pixel is black
    EXPECT_EQ(p.at(1, 1), from(0, 1));
    EXPECT_EQ(p.at(7, 2), from(6, 2));
    EXPECT_EQ(p.at(3, 3), from(3, 3));
    EXPECT_EQ(p.at(0, 4), from(1, 4));  // shifted left
    EXPECT_EQ(p.at(7, 4), 0u);
    // The phase advances by 5 x step; the amplitude stays, as it is not below 8 / 8 = 1.
    EXPECT_FLOAT_EQ(v.phase, 5);
    EXPECT_EQ(v.amplitude, 2);
    // 5 + 5 = 10 exceeds 1 x 6.28 and is reduced to 3.72.
    rasterScrollFrame(copy, p, v, 1);
    EXPECT_NEAR(v.phase, 3.72, 1e-5);
    // The amplitude grows by one per frame while below width / 8: 16 wide, from 0 up to 2.
    const Image32 wide = coordinatePicture(16, 8);
    Image32 q = wide;
    EffectValues w = effectStartValues(kEffectRasterScroll, 1);
    rasterScrollFrame(wide, q, w, 1);
    EXPECT_EQ(q.at(0, 5), from(0, 5));  // amplitude 0: nothing moves in the first frame
    rasterScrollFrame(wide, q, w, 1);
    rasterScrollFrame(wide, q, w, 1);
    EXPECT_EQ(w.amplitude, 2);
}

TEST(RasterScrollEffect, APictureLowerThanEightRowsUsesAStepOfOne) {
    // 3 rows: 3 div 8 = 0 would divide by zero; a = 1 instead, so the period is 6.28.
    const Image32 copy = coordinatePicture(16, 3);
    Image32 p = copy;
    EffectValues v;
    v.phase = 6;
    v.amplitude = 2;
    rasterScrollFrame(copy, p, v, 1);
    EXPECT_NEAR(v.phase, 11 - 6.28, 1e-5);
    // Row 0: trunc(2 sin(-6)) = trunc(0.56) = 0; row 2: trunc(2 sin(-4)) = trunc(1.51) = 1.
    EXPECT_EQ(p.at(5, 0), from(5, 0));
    EXPECT_EQ(p.at(5, 2), from(4, 2));
}

TEST(FadeEffect, ChannelsScaleByTheLevelAndTheDirectionTurns) {
    Image32 copy(1, 1, 0xFF8040);
    Image32 p(1, 1, 0x123456);
    EffectValues v;
    v.fadeLevel = 32;
    // 0xFF x 32 / 64 = 127, 0x80 x 32 / 64 = 64, 0x40 x 32 / 64 = 32.
    EXPECT_EQ(fadeFrame(copy, p, kEffectFadeOut, v), kEffectFadeOut);
    EXPECT_EQ(p.at(0, 0), 0x7F4020u);
    EXPECT_EQ(v.fadeLevel, 31);
    // Outside 0..64 the picture is not redrawn.
    p.at(0, 0) = 0x123456;
    v.fadeLevel = 70;
    fadeFrame(copy, p, kEffectFadeOut, v);
    EXPECT_EQ(p.at(0, 0), 0x123456u);

    // A whole cycle from the start (fade out at 70): frames starting at 70 ... -4 fade out (75 frames),
    // then fade in from -5 until a frame ends at 70 (75 frames).
    v = effectStartValues(kEffectFadeOut, 1);
    int32_t kind = kEffectFadeOut;
    int frames = 0, black = 0;
    while (kind == kEffectFadeOut) {
        kind = fadeFrame(copy, p, kind, v);
        ++frames;
        if (v.fadeLevel + 1 == 0) {
            EXPECT_EQ(p.at(0, 0), 0u);
        }
        if (v.fadeLevel + 1 <= 0) ++black;
    }
    EXPECT_EQ(frames, 75);
    EXPECT_EQ(v.fadeLevel, -5);
    EXPECT_EQ(black, 5);  // levels 0, -1, -2, -3, -4
    frames = 0;
    while (kind == kEffectFadeIn) {
        kind = fadeFrame(copy, p, kind, v);
        ++frames;
    }
    EXPECT_EQ(frames, 75);
    EXPECT_EQ(v.fadeLevel, 70);
    EXPECT_EQ(p.at(0, 0), 0xFF8040u);  // level 64 drew the picture in full
}

TEST(HeatHazeEffect, RowsComeFromOffsetRows) {
    // Phase 1, row 0: t = -0.04, (sin t + 3) x 4 x cos t = 2.96 x 4 x 0.9992 = 11.83 -> row 11.
    // Row 19: t = 0.72, (0.6594 + 3) x 4 x 0.7518 = 11.005 -> row 30, outside a 20-row picture: black.
    const Image32 copy = coordinatePicture(3, 20);
    Image32 p = copy;
    EffectValues v = effectStartValues(kEffectHeatHaze, 1);
    heatHazeFrame(copy, p, v, 1);
    EXPECT_EQ(p.at(2, 0), from(2, 11));
    EXPECT_EQ(p.at(0, 19), 0u);
    EXPECT_FLOAT_EQ(v.phase, 3);
    v.phase = 156.25f;
    heatHazeFrame(copy, p, v, 1);
    EXPECT_FLOAT_EQ(v.phase, 1);  // 158.25 reaches 157.25 and is reduced by it
}

TEST(RotationEffect, AQuarterTurnAboutTheIntegerCentre) {
    // 4 x 4, centre (2, 2); theta = 157.0796 / 100 = pi / 2: cos 0, sin 1.
    // (x, y) takes (2 + (y - 2), 2 + (2 - x)): (1, 0) <- (0, 3); (0, 0) <- (0, 4), outside: black;
    // (3, 3) <- (3, 1).
    const Image32 copy = coordinatePicture(4, 4);
    Image32 p = copy;
    EffectValues v;
    v.phase = 157.0796f;
    rotationFrame(copy, p, v, 1);
    EXPECT_EQ(p.at(1, 0), from(0, 3));
    EXPECT_EQ(p.at(0, 0), 0u);
    EXPECT_EQ(p.at(3, 3), from(3, 1));
    EXPECT_EQ(p.at(2, 2), from(2, 2));
    EXPECT_NEAR(v.phase, 152.0796, 1e-4);
    // The phase falls by 5 x step and is put back by 628 once it is no longer above -628.
    v.phase = -625;
    rotationFrame(copy, p, v, 1);
    EXPECT_FLOAT_EQ(v.phase, -2);
    // Phase 0 is the identity.
    v.phase = 0;
    rotationFrame(copy, p, v, 1);
    EXPECT_EQ(p.at(3, 1), from(3, 1));
}

TEST(MagnifierEffect, LensRimAndUntouchedOutside) {
    const Image32 copy = coordinatePicture(101, 101);
    Image32 p(101, 101, 0xABCDEF);
    magnifierFrame(copy, p, 50, 50);
    EXPECT_EQ(p.at(50, 50), from(50, 50));
    // dx = 10: l = 10, m = sqrt(270 x 250) = 259.81, r = 10 x (519.62 - 320) / 259.81 = 7.68 -> 7.
    EXPECT_EQ(p.at(60, 50), from(57, 50));
    EXPECT_EQ(p.at(50, 40), from(50, 43));
    // 35 < l <= 40 is the black rim; farther pixels are the copy's (copied back whole first).
    EXPECT_EQ(p.at(87, 50), 0u);
    EXPECT_EQ(p.at(50, 90), 0u);
    EXPECT_EQ(p.at(91, 50), from(91, 50));
    EXPECT_EQ(p.at(80, 80), from(80, 80));  // l = 42.4
    EXPECT_EQ(p.at(0, 0), from(0, 0));
}

TEST(MagnifierEffect, TheLensWindowIsClippedToThePicture) {
    // Centre (2, 2) in a 10 x 10 picture: most of the 81 x 81 window lies outside and is skipped.
    // (0, 0): dx = dy = -2, l = 2.83, m = 259.98, r = 2.18, trunc(-2 x 2.18 / 2.83) = -1 -> (1, 1).
    const Image32 copy = coordinatePicture(10, 10);
    Image32 p = copy;
    magnifierFrame(copy, p, 2, 2);
    EXPECT_EQ(p.at(0, 0), from(1, 1));
    // A centre far outside changes nothing and writes nothing out of bounds.
    magnifierFrame(copy, p, -500, 10000);
    EXPECT_EQ(p.at(9, 9), from(9, 9));
    // The centre in picture coordinates: the mouse less half the size difference, truncated.
    int cx = 0, cy = 0;
    magnifierCentre(100, 80, 300, 200, 100, 50, cx, cy);
    EXPECT_EQ(cx, 0);  // 100 - (300 - 100) / 2
    EXPECT_EQ(cy, 5);  // 80 - (200 - 50) / 2
    magnifierCentre(10, 10, 100, 100, 105, 105, cx, cy);
    EXPECT_EQ(cx, 12);  // (100 - 105) / 2 = -2.5 truncates to -2
}

TEST(MonochromeStep, GreyLevelsFromTheChannelMean) {
    // (30, 60, 91): g = 181 / 3 = 60. At 256 levels g stays; at 4 levels (k = 6) 60 >> 6 = 0 -> 0;
    // (200, 200, 200) at 4 levels: 200 >> 6 = 3 -> 3 x 255 / 3 = 255; 100 -> 1 -> 85.
    Image32 p(3, 1);
    p.at(0, 0) = 0x1E3C5B;
    p.at(1, 0) = 0xC8C8C8;
    p.at(2, 0) = 0x646464;
    Image32 q = p;
    monochromeStep(q, 256);
    EXPECT_EQ(q.at(0, 0), 0x3C3C3Cu);
    EXPECT_EQ(q.at(1, 0), 0xC8C8C8u);
    q = p;
    monochromeStep(q, 4);
    EXPECT_EQ(q.at(0, 0), 0u);
    EXPECT_EQ(q.at(1, 0), 0xFFFFFFu);
    EXPECT_EQ(q.at(2, 0), 0x555555u);
    // Two levels: black or white by the top bit of the grey.
    q = p;
    monochromeStep(q, 2);
    EXPECT_EQ(q.at(0, 0), 0u);
    EXPECT_EQ(q.at(1, 0), 0xFFFFFFu);
    EXPECT_EQ(q.at(2, 0), 0u);
}

}  // namespace
}  // namespace vantrel
