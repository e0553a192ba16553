#include <gtest/gtest.h>

#include <cmath>

#include "render/frame_buffer.h"
#include "render/raster.h"
#include "render/view.h"
#include "scene/holder_profile.h"
#include "scene/tool_models.h"

namespace vantrel {
namespace {

constexpr uint32_t kBack = 0xFFFFFF;

ViewState millView(int w, int h, double scale = 1.5) {
    ViewState v;
    v.originX = w / 2;
    v.originY = h / 2;
    v.scale = scale;
    updateViewBasis(v, MachineKind::VerticalMill);
    return v;
}

ToolScene millScene(int holderKind) {
    ToolScene s;
    s.tool = defaultMillTool();
    s.profile = computeToolProfile(s.tool, 27);
    if (const HolderProfile* h = holderProfileFor(holderKind)) s.holder = *h;
    s.holderKind = holderKind;
    s.position = {0, 0, 0};
    s.cutterColour = 0x00FFFF;
    for (size_t i = 0; i < s.palette.size(); ++i) s.palette[i] = 0x101010 * (i % 15);
    s.palette[13] = 0x0000FF;  // flange: red pixels
    s.palette[14] = 0x00FF00;  // collet: green
    s.palette[15] = 0xFF0000;  // pull stud: blue
    s.palette[9] = 0xA0A0A0;
    return s;
}

int countNot(const Image32& img, uint32_t px) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.at(x, y) != px;
    return n;
}

// Pixels whose dominant channel is `channel` (0 blue, 8 green, 16 red) by a clear margin.
int countDominant(const Image32& img, int channel) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const uint32_t p = img.at(x, y);
            const int c = (p >> channel) & 0xFF;
            const int o1 = (p >> ((channel + 8) % 24)) & 0xFF, o2 = (p >> ((channel + 16) % 24)) & 0xFF;
            n += c > o1 + 40 && c > o2 + 40;
        }
    return n;
}

TEST(HolderProfile, TableValuesAndRebuild) {
    const HolderProfile* bt50 = holderProfileFor(3);
    ASSERT_NE(bt50, nullptr);
    EXPECT_EQ(bt50->z[13], 152.4f);
    EXPECT_EQ(bt50->z[12], 152.8f);
    const HolderProfile* bt30 = holderProfileFor(1);
    EXPECT_EQ(bt30->top, 93.4f);
    EXPECT_EQ(bt30->z[17], 98.4f);
    EXPECT_EQ(holderProfileFor(0), nullptr);
    EXPECT_EQ(holderProfileFor(7), nullptr);
    EXPECT_EQ(holderProfileFor(-1), nullptr);
    EXPECT_EQ(holderProfileFor(6)->d[10], 70.2f);

    ToolTable t;
    HolderProfileState st;
    rebuildHolderProfile(st, t, MachineKind::VerticalMill, 2);
    EXPECT_EQ(t.holderBaseLength, 27);
    EXPECT_EQ(st.current.flangeDiameter, 63);
    EXPECT_FLOAT_EQ(t.profile.totalLength,
                    static_cast<float>(computeToolProfile(t.workingTool, 27).totalLength));
    // "なし": no flange, no top, the base length of the previous standard stays.
    rebuildHolderProfile(st, t, MachineKind::VerticalMill, 0);
    EXPECT_EQ(st.kind, 0);
    EXPECT_EQ(st.current.flangeDiameter, 0);
    EXPECT_EQ(st.current.top, 0);
    EXPECT_EQ(t.holderBaseLength, 27);
}

TEST(ToolModels, TipPositionAndNoseCentre) {
    ToolRecord t = defaultMillTool();
    t.diameter = 10;
    t.tipPosition = 1;
    Vec3 p = millingTipPoint(t, {1, 2, 3});
    EXPECT_DOUBLE_EQ(p.x, 6);
    EXPECT_DOUBLE_EQ(p.y, 7);
    EXPECT_DOUBLE_EQ(p.z, 3);
    t.tipPosition = 9;
    p = millingTipPoint(t, {0, 0, 0});
    EXPECT_DOUBLE_EQ(p.x, -5);
    EXPECT_DOUBLE_EQ(p.y, -5);
    t.tipPosition = 0;  // outside the keypad: the programmed point
    EXPECT_DOUBLE_EQ(millingTipPoint(t, {0, 0, 0}).x, 0);
    t.noseRadius = 0.8;
    t.tipPosition = 3;
    p = latheNoseCentre(t, {10, 0, 5});
    EXPECT_DOUBLE_EQ(p.x, 10.8);
    EXPECT_DOUBLE_EQ(p.z, 5 - 0.8);
}

TEST(ToolModels, SpinPhaseWrapsAfterAFullTurn) {
    float phase = 0;
    for (int i = 0; i < 72; ++i) phase = advanceSpinPhase(phase, 1);
    EXPECT_NEAR(phase, -6.2831831f, 2e-5f);
    EXPECT_GT(phase, -static_cast<float>(kTwoPi));
    phase = advanceSpinPhase(phase, 1);
    EXPECT_NEAR(phase, -0.0872642f, 2e-5f);
    EXPECT_EQ(advanceSpinPhase(1.0f, 0), 1.0f);
    EXPECT_NEAR(advanceSpinPhase(0, 2), 0.0872664f, 1e-7f);
}

TEST(ToolModels, CutterProfiles) {
    ToolRecord ball = defaultMillTool();
    ball.diameter = 10;
    ball.noseRadius = 5;
    ball.angleA = ball.angleB = 0;
    const ToolProfile pb = computeToolProfile(ball, 0);
    const std::vector<ProfilePoint> p = cutterProfilePoints(ball, pb);
    ASSERT_EQ(p.size(), 13u);
    // The arc ends at angle 0: the full radius at the corner centre's height.
    EXPECT_NEAR(p[9].radius, pb.cornerCentreR + 5, 1e-6);
    EXPECT_NEAR(p[9].z, pb.cornerCentreZ, 1e-6);
    // Half way round the arc (k = 4): angle -pi/4.
    EXPECT_NEAR(p[5].radius, pb.cornerCentreR + 5 * std::cos(-kPi / 4), 1e-5);
    EXPECT_NEAR(p[5].z, pb.cornerCentreZ + 5 * std::sin(-kPi / 4), 1e-5);
    EXPECT_DOUBLE_EQ(p.back().z, ball.length);
    EXPECT_DOUBLE_EQ(p.back().radius, 0);

    ToolRecord flat = ball;
    flat.noseRadius = 0;
    const ToolProfile pf = computeToolProfile(flat, 0);
    const std::vector<ProfilePoint> q = cutterProfilePoints(flat, pf);
    ASSERT_EQ(q.size(), 4u);
    EXPECT_DOUBLE_EQ(q[1].radius, 5);
    EXPECT_DOUBLE_EQ(q[1].z, pf.coneHeight);
    EXPECT_DOUBLE_EQ(q[3].radius, 0);
}

TEST(ToolModels, FacetCountFollowsTheProjectedSize) {
    const ViewState v = millView(200, 150);
    EXPECT_EQ(modelFacetCount(v, 200, 150, {0, 0, 0}, 0.01), 3);
    // A holder far larger than the picture: 16 (17 facets).
    EXPECT_EQ(modelFacetCount(v, 200, 150, {0, 0, 0}, 1000), 16);
    const int mid = modelFacetCount(v, 200, 150, {0, 0, 0}, 20);
    EXPECT_GE(mid, 3);
    EXPECT_LE(mid, 16);
    // The segment of length 2M across the view, projected: n = round(d / 6) + 2.
    const ProjectedPoint a = projectPoint(v, Vec3{0, 0, 0} - v.basis.r * 20.0);
    const ProjectedPoint b = projectPoint(v, Vec3{0, 0, 0} + v.basis.r * 20.0);
    const double d = std::hypot(b.X - a.X, b.Y - a.Y);
    EXPECT_EQ(mid, static_cast<int>(std::floor(d / 6 + 0.5)) + 2);
}

TEST(ToolModels, SwitchesDecideWhatIsDrawn) {
    const int W = 200, H = 300;
    ViewState v = millView(W, H, 1.2);
    v.originY = 250;
    FrameBuffer fb(W, H);
    auto draw = [&](ToolScene s) {
        fb.clearDepth();
        fb.image().fill(kBack);
        DrawContext ctx(fb, v);
        drawWorkingTool(ctx, v, s);
        EXPECT_EQ(v.lightGain, 1.0f);
    };
    ToolScene s = millScene(2);
    draw(s);
    const int all = countNot(fb.image(), kBack);
    EXPECT_GT(countDominant(fb.image(), 16), 50);  // flange (palette 13, red)
    EXPECT_GT(countDominant(fb.image(), 8), 10);   // collet (palette 14, green)

    s.holderKind = 0;  // "なし": the cutter alone
    s.holder = HolderProfile{};
    draw(s);
    EXPECT_EQ(countDominant(fb.image(), 16), 0);
    EXPECT_EQ(countDominant(fb.image(), 8), 0);
    const int cutterOnly = countNot(fb.image(), kBack);
    EXPECT_GT(cutterOnly, 20);
    EXPECT_LT(cutterOnly, all);

    s = millScene(2);
    s.holderOn = false;
    draw(s);
    EXPECT_EQ(countDominant(fb.image(), 16), 0);
    EXPECT_GT(countNot(fb.image(), kBack), 20);

    s.toolOn = false;
    draw(s);
    EXPECT_EQ(countNot(fb.image(), kBack), 0);

    s = millScene(2);
    s.tool.diameter = 0;  // only the holder
    s.holderOn = true;
    draw(s);
    EXPECT_GT(countDominant(fb.image(), 16), 50);
}

TEST(ToolModels, ImprintShowsTheCutInsideASurface) {
    const int W = 160, H = 120;
    ViewState v = millView(W, H, 4);
    FrameBuffer fb(W, H);
    fb.clearDepth();
    fb.image().fill(kBack);
    DrawContext ctx(fb, v);
    // A large horizontal plate at z = 5 that the cutter (tip at 0, 20 long) pierces.
    const ClipRect clip = fb.fullClip();
    drawQuad3D(ctx, 0x404040, clip, FaceMode::Both, false, {-40, -40, 5}, {40, -40, 5}, {40, 40, 5},
               {-40, 40, 5});
    const Image32 before = fb.image();
    ToolScene s = millScene(0);
    drawToolImprint(ctx, s, {0, 0, 0}, 0xA0A0A0);
    int changed = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) changed += fb.image().at(x, y) != before.at(x, y);
    EXPECT_GT(changed, 30);
    // A cutter wholly above the plate leaves it alone.
    fb.image() = before;
    fb.clearDepth();
    drawQuad3D(ctx, 0x404040, clip, FaceMode::Both, false, {-40, -40, 5}, {40, -40, 5}, {40, 40, 5},
               {-40, 40, 5});
    drawToolImprint(ctx, s, {0, 0, 10}, 0xA0A0A0);
    changed = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) changed += fb.image().at(x, y) != before.at(x, y);
    EXPECT_EQ(changed, 0);
}

TEST(ToolModels, OutlineBoundsAndTarget) {
    const int W = 300, H = 300;
    const ViewState v = millView(W, H);
    ToolScene s = millScene(2);
    const OutlineBounds b = drawToolOutline(nullptr, v, s, 0);
    EXPECT_FALSE(b.tool.empty());
    EXPECT_FALSE(b.holder.empty());
    Image32 img(W, H, kBack);
    const OutlineBounds c = drawToolOutline(&img, v, s, 0);
    EXPECT_EQ(c.tool.left, b.tool.left);
    EXPECT_EQ(c.holder.bottom, b.holder.bottom);
    // Every drawn pixel lies in the bounds.
    PixelRect all = c.tool;
    all.unite(c.holder);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (img.at(x, y) != kBack) {
                EXPECT_GE(x, all.left);
                EXPECT_LE(x, all.right);
                EXPECT_GE(y, all.top);
                EXPECT_LE(y, all.bottom);
            }
    s.toolOn = s.holderOn = false;
    const OutlineBounds none = drawToolOutline(nullptr, v, s, 0);
    EXPECT_TRUE(none.tool.empty());
    EXPECT_TRUE(none.holder.empty());
}

TEST(ToolModels, LatheToolsSolidAndFlat) {
    const int W = 240, H = 200;
    ViewState v;
    v.originX = W / 2;
    v.originY = H / 2;
    v.scale = 2;
    updateViewBasis(v, MachineKind::Lathe);
    FrameBuffer fb(W, H);
    ToolScene s;
    s.kind = MachineKind::Lathe;
    s.tool = defaultLatheTool();
    s.profile = computeToolProfile(s.tool, 0);
    s.position = {20, 0, 0};
    s.palette[7] = 0x00FFFF;
    for (int kind = 0; kind <= 14; ++kind) {
        s.tool.kind = static_cast<uint8_t>(kind);
        fb.clearDepth();
        fb.image().fill(kBack);
        DrawContext ctx(fb, v);
        drawWorkingTool(ctx, v, s);
        EXPECT_GT(countNot(fb.image(), kBack), 10) << "kind " << kind;
        Image32 flat(W, H, kBack);
        const PixelRect r = drawFlatLatheTool(flat, v, s, 0x0000FF, false);
        EXPECT_GT(countNot(flat, kBack), 10) << "kind " << kind;
        EXPECT_FALSE(r.empty());
        // Erasing at the same place in the background colour leaves nothing behind.
        drawFlatLatheTool(flat, v, s, 0xFFFFFF, false);
        EXPECT_EQ(countNot(flat, kBack), 0) << "kind " << kind;
    }
    s.tool.kind = 15;  // outside 0..14: nothing
    fb.image().fill(kBack);
    fb.clearDepth();
    DrawContext ctx(fb, v);
    drawWorkingTool(ctx, v, s);
    EXPECT_EQ(countNot(fb.image(), kBack), 0);
}

}  // namespace
}  // namespace vantrel
