// The background picture's placement: centred or cropped at its own size, or fitted with its
// proportions kept.
#include <gtest/gtest.h>

#include "render/picture_placement.h"

namespace vantrel {
namespace {

// A picture whose every pixel tells where it came from: x in the low 16 bits, y above.
Image32 coordinatePicture(int w, int h) {
    Image32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.at(x, y) = static_cast<uint32_t>(y) << 16 | static_cast<uint32_t>(x);
    return p;
}

constexpr uint32_t kBack = 0xFFFFFFFF;

TEST(PicturePlacement, CentredPicturesAreCentredOrCroppedPerAxis) {
    // Narrower and lower than the image: placed at ((200 - 51) / 2, (100 - 30) / 2) = (74, 35).
    Image32 img(200, 100, kBack);
    placePicture(img, coordinatePicture(51, 30), 1);
    EXPECT_EQ(img.at(74, 35), 0u);
    EXPECT_EQ(img.at(124, 64), (29u << 16) | 50u);
    EXPECT_EQ(img.at(73, 35), kBack);
    EXPECT_EQ(img.at(125, 64), kBack);
    EXPECT_EQ(img.at(74, 65), kBack);
    // Wider than the image, lower: cropped to the middle columns (from (300 - 200) / 2 = 50), centred rows.
    img = Image32(200, 100, kBack);
    placePicture(img, coordinatePicture(301, 20), 1);
    EXPECT_EQ(img.at(0, 40), 50u);
    EXPECT_EQ(img.at(199, 59), (19u << 16) | 249u);
    EXPECT_EQ(img.at(0, 39), kBack);
    // Larger both ways: the middle part fills the image.
    img = Image32(10, 10, kBack);
    placePicture(img, coordinatePicture(20, 30), 1);
    EXPECT_EQ(img.at(0, 0), (10u << 16) | 5u);
    EXPECT_EQ(img.at(9, 9), (19u << 16) | 14u);
}

TEST(PicturePlacement, FittedPicturesKeepTheirProportions) {
    // A 4:1 picture in 200 x 100: scale 0.5 by width, 50 rows centred from row 25.
    PictureRect r = fittedPictureRect(200, 100, 400, 100);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 200);
    EXPECT_EQ(r.top, 25);
    EXPECT_EQ(r.bottom, 75);
    // A tall picture: limited by the height, centred across; edges truncated.
    r = fittedPictureRect(200, 100, 30, 70);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 100);
    EXPECT_EQ(r.left, 78);    // (200 - 42.857) / 2 = 78.57
    EXPECT_EQ(r.right, 121);  // (200 + 42.857) / 2 = 121.43
    EXPECT_EQ(fittedPictureRect(200, 100, 0, 5).right, 0);

    Image32 img(200, 100, kBack);
    placePicture(img, coordinatePicture(400, 100), 2);
    EXPECT_EQ(img.at(0, 24), kBack);
    EXPECT_EQ(img.at(0, 75), kBack);
    // Each target pixel takes the source pixel under its centre: x 0 -> 1, y 25 -> 1.
    EXPECT_EQ(img.at(0, 25), (1u << 16) | 1u);
    EXPECT_EQ(img.at(199, 74), (99u << 16) | 399u);
    // A small picture is enlarged the same way.
    img = Image32(40, 40, kBack);
    placePicture(img, coordinatePicture(2, 2), 2);
    EXPECT_EQ(img.at(0, 0), 0u);
    EXPECT_EQ(img.at(19, 19), 0u);
    EXPECT_EQ(img.at(20, 20), (1u << 16) | 1u);
    // Nothing for mode 0 or 3 (the plane is drawn with the scene) or an empty picture.
    img = Image32(40, 40, kBack);
    placePicture(img, coordinatePicture(2, 2), 0);
    placePicture(img, coordinatePicture(2, 2), 3);
    placePicture(img, Image32(), 2);
    EXPECT_EQ(img.at(20, 20), kBack);
}

}  // namespace
}  // namespace vantrel
