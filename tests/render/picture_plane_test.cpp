// The picture pasted on the work plane: where a world point of the plane shows, the pixel is the
// picture's pixel at (W/2 + u, H/2 - v); nearer geometry already drawn keeps its pixel.
#include <gtest/gtest.h>

#include "render/picture_plane.h"
#include "render/view.h"

namespace vantrel {
namespace {

// 64 x 32 in blocks of 8 x 8 pixels, each block its own colour, so a point at a block's middle reads
// the same colour whichever way the pixel rounds.
Image32 blockPicture() {
    Image32 p(64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) p.at(x, y) = static_cast<uint32_t>(0x100000 + (y / 8) * 16 + x / 8);
    return p;
}
uint32_t block(int bx, int by) {
    return static_cast<uint32_t>(0x100000 + by * 16 + bx);
}

struct Frame {
    ViewState view;
    FrameBuffer fb{640, 480};
    explicit Frame(MachineKind kind) {
        view.originX = 320;
        view.originY = 240;
        view.scale = 4;
        updateViewBasis(view, kind);
        fb.clearDepth(kFarDepth);
        fb.image().fill(0xFFFFFF);
    }
    // The pixel a world point projects to.
    std::pair<int, int> pixel(const Vec3& p) const {
        const ProjectedPoint pp = projectPoint(view, p);
        EXPECT_FALSE(pp.clipped);
        return {view.originX + pp.px, view.originY + pp.py};
    }
};

TEST(PictureOnPlane, MillsPasteOnTheStockBottomWithRowsAlongMinusY) {
    Frame f(MachineKind::VerticalMill);
    const Image32 pic = blockPicture();
    const double bottom = -50;
    EXPECT_GT(pastePictureOnPlane(f.fb, f.view, pic, MachineKind::VerticalMill, bottom), 0);
    // Block (bx, by) has its middle at picture (8 bx + 4, 8 by + 4): u = 8 bx + 4 - 32, v = 16 - 8 by - 4.
    for (const auto& [bx, by] : {std::pair{0, 0}, std::pair{7, 0}, std::pair{3, 2}, std::pair{6, 3}}) {
        const auto [x, y] = f.pixel({8.0 * bx + 4 - 32, 16 - 8.0 * by - 4, bottom});
        ASSERT_TRUE(f.fb.image().contains(x, y));
        EXPECT_EQ(f.fb.image().at(x, y), block(bx, by)) << bx << "," << by;
        EXPECT_LT(f.fb.depthAt(x, y), kFarDepth);
    }
    // Beyond the picture's edge the background stays.
    const auto [ox, oy] = f.pixel({40, 0, bottom});
    EXPECT_EQ(f.fb.image().at(ox, oy), 0xFFFFFFu);
}

TEST(PictureOnPlane, NearerGeometryKeepsItsPixelAndTheWireGetsNoPicture) {
    Frame f(MachineKind::VerticalMill);
    const auto [x, y] = f.pixel({-28, 12, -50});
    f.fb.depthRow(y)[x] = 1.0f;
    f.fb.image().at(x, y) = 0x123456;
    pastePictureOnPlane(f.fb, f.view, blockPicture(), MachineKind::VerticalMill, -50);
    EXPECT_EQ(f.fb.image().at(x, y), 0x123456u);
    EXPECT_FLOAT_EQ(f.fb.depthAt(x, y), 1.0f);

    Frame w(MachineKind::WireEdm);
    EXPECT_EQ(pastePictureOnPlane(w.fb, w.view, blockPicture(), MachineKind::WireEdm, -50), 0);
    EXPECT_EQ(pastePictureOnPlane(f.fb, f.view, Image32(), MachineKind::VerticalMill, -50), 0);
}

TEST(PictureOnPlane, LathesPasteOnYZeroWithColumnsAlongZ) {
    Frame f(MachineKind::Lathe);
    const Image32 pic = blockPicture();
    pastePictureOnPlane(f.fb, f.view, pic, MachineKind::Lathe, -50);
    // Columns along +Z, rows along -X: block (bx, by) at z = 8 bx + 4 - 32, x = 16 - 8 by - 4.
    for (const auto& [bx, by] : {std::pair{1, 1}, std::pair{5, 2}}) {
        const auto [x, y] = f.pixel({16 - 8.0 * by - 4, 0, 8.0 * bx + 4 - 32});
        ASSERT_TRUE(f.fb.image().contains(x, y));
        EXPECT_EQ(f.fb.image().at(x, y), block(bx, by)) << bx << "," << by;
    }
}

}  // namespace
}  // namespace vantrel
