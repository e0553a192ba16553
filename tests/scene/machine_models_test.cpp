// The machine models as numbers: where each part stands for a given stock, tool, holder, chuck and
// tailstock, worked out by hand from the model's rules, and the switches that leave parts out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "render/frame_buffer.h"
#include "render/raster.h"
#include "render/view.h"
#include "scene/machine_models.h"

namespace vantrel {
namespace {

constexpr double kEps = 1e-4;

MachineScene millScene() {
    MachineScene m;
    m.kind = MachineKind::VerticalMill;
    m.stock.sizeX = 100, m.stock.sizeY = 80, m.stock.sizeZ = 50;
    m.stock.offsetX = 0, m.stock.offsetY = 0, m.stock.offsetZ = -50;
    m.tool = {10, 20, 30};
    // BT40 with a 40 mm holder and a 20 mm cutter.
    m.flangeDiameter = 63;
    m.holderBaseLength = 27;
    m.holderLength = 40;
    m.toolLength = 20;
    m.viewA = kPi / 4;
    for (size_t i = 0; i < m.palette.size(); ++i) m.palette[i] = static_cast<uint32_t>(0x010101 * (i + 1));
    return m;
}

MachineScene latheScene(MachineKind kind = MachineKind::Lathe) {
    MachineScene m = millScene();
    m.kind = kind;
    // Outer diameter 80, length 100, end face at Z = 0: the chuck grips at Zb = -100.
    m.stock.sizeX = 80, m.stock.sizeY = 0, m.stock.sizeZ = 100;
    m.stock.offsetX = 0, m.stock.offsetY = 0, m.stock.offsetZ = 0;
    m.chuckDiameter = 8 * 25.4;
    m.tailstock = 1200;
    m.tool = {50, 0, -20};
    m.turn = kPi / 2;  // a lathe tool pointing down the X axis
    m.totalLength = 120;
    return m;
}

std::vector<MachinePart> ofRole(const std::vector<MachinePart>& parts, MachinePartRole role) {
    std::vector<MachinePart> out;
    for (const MachinePart& p : parts)
        if (p.role == role) out.push_back(p);
    return out;
}

void expectVec(const Vec3& got, const Vec3& want, const char* what) {
    EXPECT_NEAR(got.x, want.x, kEps) << what;
    EXPECT_NEAR(got.y, want.y, kEps) << what;
    EXPECT_NEAR(got.z, want.z, kEps) << what;
}

// The world direction of a shape's local +Z axis.
Vec3 axisOf(const MachinePart& p) {
    return rotateLocal(0, 0, 1, p.o.tilt, p.o.turn);
}

TEST(MachineModels, VerticalMillViceGripsTheStockInY) {
    const std::vector<MachinePart> parts = buildMachineParts(millScene());
    const auto front = ofRole(parts, MachinePartRole::ViceFrontJaw);
    const auto rear = ofRole(parts, MachinePartRole::ViceRearJaw);
    ASSERT_EQ(front.size(), 1u);
    ASSERT_EQ(rear.size(), 1u);
    // x0 = xs - 10, dx = W + 20; y0 = ys - 10, dy = 10; z0 = zs - 10, dz = H + 5.
    expectVec(front[0].at, {-10, -10, -60}, "front jaw corner");
    expectVec(front[0].size, {120, 10, 55}, "front jaw size");
    expectVec(rear[0].at, {-10, 80, -60}, "rear jaw corner at ys + D");
    const auto base = ofRole(parts, MachinePartRole::ViceBase);
    ASSERT_EQ(base.size(), 1u);
    expectVec(base[0].at, {-20, -150, -110}, "base corner");
    expectVec(base[0].size, {140, 280, 50}, "base size (D + 200)");
    const auto moving = ofRole(parts, MachinePartRole::ViceMovingBlock);
    ASSERT_EQ(moving.size(), 1u);
    expectVec(moving[0].at, {-5, 90, -60}, "moving block at ys + D + 10");
    const auto bolts = ofRole(parts, MachinePartRole::ViceBolt);
    ASSERT_EQ(bolts.size(), 4u);
    for (const MachinePart& b : bolts) {
        EXPECT_TRUE(b.at.x == -60 || b.at.x == 120) << b.at.x;
        EXPECT_TRUE(b.at.y == -50 || b.at.y == 60) << b.at.y;
        EXPECT_EQ(b.at.z, -110);
        EXPECT_EQ(b.colour, 0x6F6F6Fu);
    }
    // The handle points -Y from (cx, ys - 160, zs - 30) with the light gain 5; the knob points +Y.
    const auto handle = ofRole(parts, MachinePartRole::ViceHandle);
    const auto knob = ofRole(parts, MachinePartRole::ViceKnob);
    ASSERT_EQ(handle.size(), 1u);
    ASSERT_EQ(knob.size(), 1u);
    expectVec(handle[0].at, {50, -160, -80}, "handle start");
    expectVec(axisOf(handle[0]), {0, -1, 0}, "handle direction");
    expectVec(axisOf(knob[0]), {0, 1, 0}, "knob direction");
    EXPECT_EQ(handle[0].lightGain, 5.0f);
    EXPECT_EQ(knob[0].lightGain, 1.0f);
}

TEST(MachineModels, SpindleStandsOnTheGaugePlaneAboveTheTool) {
    const std::vector<MachinePart> parts = buildMachineParts(millScene());
    // Zsp = z + Lt + Lb + Lh = 30 + 20 + 27 + 40 = 117.
    const auto sleeve = ofRole(parts, MachinePartRole::SpindleSleeve);
    const auto collar = ofRole(parts, MachinePartRole::SpindleCollar);
    const auto head = ofRole(parts, MachinePartRole::SpindleHead);
    ASSERT_EQ(sleeve.size(), 1u);
    ASSERT_EQ(collar.size(), 1u);
    ASSERT_EQ(head.size(), 1u);
    expectVec(sleeve[0].at, {10, 20, 117}, "sleeve start");
    expectVec(sleeve[0].size, {23, 73, 500}, "sleeve: inner F - 40, outer F + 10, length 500");
    expectVec(collar[0].at, {10, 20, 137}, "collar start");
    expectVec(collar[0].size, {23, 113, 100}, "collar: outer F + 50");
    expectVec(head[0].at, {10, 20, 517}, "head centre");
    expectVec(head[0].size, {200, 300, 600}, "head 600 x 300 x 200");
    EXPECT_EQ(head[0].colour, millScene().palette[23]);
    for (const auto* group : {&sleeve, &collar, &head}) EXPECT_TRUE((*group)[0].moving);

    MachineScene h = millScene();
    h.kind = MachineKind::HorizontalMill;
    const auto hhead = ofRole(buildMachineParts(h), MachinePartRole::SpindleHead);
    ASSERT_EQ(hhead.size(), 1u);
    EXPECT_EQ(hhead[0].colour, 0xE08080u);

    // Hidden by its switch, by the spindle-shown flag, or seen almost straight down.
    for (int c = 0; c < 3; ++c) {
        MachineScene m = millScene();
        if (c == 0) m.parts.spindle = false;
        if (c == 1) m.spindleShown = false;
        if (c == 2) m.viewA = std::acos(0.9);
        EXPECT_TRUE(ofRole(buildMachineParts(m), MachinePartRole::SpindleHead).empty()) << c;
    }
}

TEST(MachineModels, SeenFromStraightAboveTheMillKeepsViceTableAndEnclosureOnly) {
    MachineScene m = millScene();
    m.viewA = 0;
    const std::vector<MachinePart> parts = buildMachineParts(m);
    for (MachinePartRole r :
         {MachinePartRole::SpindleSleeve, MachinePartRole::SpindleHead, MachinePartRole::ColumnHead,
          MachinePartRole::MagazineDisc, MachinePartRole::MagazinePot})
        EXPECT_TRUE(ofRole(parts, r).empty()) << static_cast<int>(r);
    EXPECT_EQ(ofRole(parts, MachinePartRole::ViceFrontJaw).size(), 1u);
    EXPECT_EQ(ofRole(parts, MachinePartRole::Table).size(), 1u);
    EXPECT_EQ(ofRole(parts, MachinePartRole::TableSlot).size(), 12u);
    EXPECT_EQ(ofRole(parts, MachinePartRole::Enclosure).size(), 5u);

    // At 45 degrees the column head (two bars) and the magazine (two discs, twenty pots) are there.
    const std::vector<MachinePart> slanted = buildMachineParts(millScene());
    EXPECT_EQ(ofRole(slanted, MachinePartRole::ColumnHead).size(), 2u);
    EXPECT_EQ(ofRole(slanted, MachinePartRole::MagazineDisc).size(), 2u);
    EXPECT_EQ(ofRole(slanted, MachinePartRole::MagazinePot).size(), 20u);
}

TEST(MachineModels, TableAndEnclosureOfTheVerticalMill) {
    const std::vector<MachinePart> parts = buildMachineParts(millScene());
    const auto table = ofRole(parts, MachinePartRole::Table);
    ASSERT_EQ(table.size(), 1u);
    // 50 x 560 x 1050 centred at (cx, 80, zs - 125).
    expectVec(table[0].at, {50, 80, -175}, "table centre");
    expectVec(table[0].size, {1050, 560, 50}, "table size");
    const auto slots = ofRole(parts, MachinePartRole::TableSlot);
    ASSERT_EQ(slots.size(), 12u);
    EXPECT_NEAR(slots[0].at.z, -139.5, kEps);  // zs - 89.5
    EXPECT_NEAR(slots[1].at.z, -120, kEps);    // zs - 70, with the chamfer
    EXPECT_EQ(slots[1].chamfer, 1);
    // The front wall's lower panel runs across X = cx +- 1200 from zs - 900 to zs at Y = -800, and is
    // see-through while "透過" is checked.
    const auto glass = ofRole(parts, MachinePartRole::Enclosure);
    ASSERT_EQ(glass.size(), 5u);
    double minX = 1e9, maxX = -1e9, minZ = 1e9;
    for (const Vec3& c :
         {glass[0].corners[0], glass[0].corners[1], glass[0].corners[2], glass[0].corners[3]}) {
        EXPECT_EQ(c.y, -800);
        minX = std::min(minX, c.x);
        maxX = std::max(maxX, c.x);
        minZ = std::min(minZ, c.z);
    }
    EXPECT_EQ(minX, -1150);
    EXPECT_EQ(maxX, 1250);
    EXPECT_EQ(minZ, -950);
    EXPECT_EQ(glass[0].faceMode, FaceMode::SeeThrough);
    MachineScene opaque = millScene();
    opaque.parts.seeThrough = false;
    EXPECT_EQ(ofRole(buildMachineParts(opaque), MachinePartRole::Enclosure)[0].faceMode, FaceMode::Both);
}

TEST(MachineModels, HorizontalMillStationsTurnAboutTheFixtureAxis) {
    MachineScene m = millScene();
    m.kind = MachineKind::HorizontalMill;
    const std::vector<MachinePart> parts = buildMachineParts(m);
    const auto jaws = ofRole(parts, MachinePartRole::ViceFrontJaw);
    ASSERT_EQ(jaws.size(), 4u);
    // c = zs - 460 = -510; the jaw radius is (H + 5)/2 + 450 = 477.5. Station 1 (w = pi/2) stands on
    // top: X = cx, Z = c + 477.5 = -32.5, its long side (W + 20) along the fixture's face.
    expectVec(jaws[0].at, {50 + 477.5, -5, -510}, "station 0");
    expectVec(jaws[1].at, {50, -5, -32.5}, "station 1");
    expectVec(jaws[2].at, {50 - 477.5, -5, -510}, "station 2");
    // Its height (the bar's local Z) runs along Z, across the fixture's face.
    EXPECT_NEAR(std::fabs(axisOf(jaws[1]).z), 1, kEps);
    const auto fixture = ofRole(parts, MachinePartRole::Fixture);
    ASSERT_EQ(fixture.size(), 1u);
    expectVec(fixture[0].at, {50, 80, -510}, "fixture centre");
    EXPECT_EQ(ofRole(parts, MachinePartRole::TableSlot).size(), 48u);
    EXPECT_EQ(ofRole(parts, MachinePartRole::Turntable).size(), 2u);
}

TEST(MachineModels, ChuckSizeMovesTheBackFaceAndTheTailstock) {
    MachineScene m = latheScene();
    auto backOf = [](const MachineScene& s) {
        return ofRole(buildMachineParts(s), MachinePartRole::ChuckBack).at(0).at.z;
    };
    auto centreOf = [](const MachineScene& s) {
        return ofRole(buildMachineParts(s), MachinePartRole::TailstockCentre).at(0).at.z;
    };
    // 8 inch: C = 203.2, Zc = Zb - C / 2.5 = -100 - 81.28; the centre at Zc + T.
    EXPECT_NEAR(backOf(m), -181.28, kEps);
    EXPECT_NEAR(centreOf(m), -181.28 + 1200, kEps);
    m.chuckDiameter = 10 * 25.4;
    EXPECT_NEAR(backOf(m), -201.6, kEps);
    EXPECT_NEAR(centreOf(m), -201.6 + 1200, kEps);
    m.tailstock = 0;
    EXPECT_NEAR(centreOf(m), -201.6, kEps);

    const std::vector<MachinePart> parts = buildMachineParts(latheScene());
    const auto body = ofRole(parts, MachinePartRole::ChuckBody).at(0);
    expectVec(body.at, {0, 0, -100}, "chuck body at Zb");
    expectVec(body.size, {203.2 / 3, 203.2, 81.28}, "chuck body: inner C/3, outer C, length C/2.5");
    expectVec(axisOf(body), {0, 0, -1}, "chuck body points -Z");
    const auto quill = ofRole(parts, MachinePartRole::TailstockQuill).at(0);
    EXPECT_NEAR(quill.at.z, -181.28 + 1300, kEps);
}

TEST(MachineModels, JawsReachFromTheStockToTheChuckRim) {
    MachineScene m = latheScene();
    const auto jaws = ofRole(buildMachineParts(m), MachinePartRole::ChuckJaw);
    ASSERT_EQ(jaws.size(), 3u);
    // Phase 0: the first jaw along +X from Dout/2 - 10 = 30 to C/2 + 2 = 103.6, +-C/12 across, from
    // Zb - 10 to Zb + 40.
    const MachinePart& j = jaws[0];
    expectVec(j.corners[0], {30, -203.2 / 12, -110}, "inner, one side, near end");
    expectVec(j.corners[7], {103.6, 203.2 / 12, -60}, "outer, other side, far end");
    EXPECT_TRUE(j.moving);
    // The second jaw a third of a turn on: the middle of its outer face at C/2 + 2 on that angle.
    const Vec3 mid = (jaws[1].corners[1] + jaws[1].corners[3]) / 2;
    expectVec(mid, {103.6 * std::cos(kTwoPi / 3), 103.6 * std::sin(kTwoPi / 3), -110}, "second jaw");
    // With a phase of a quarter turn the first jaw stands along +Y.
    m.chuckPhase = static_cast<float>(kPi / 2);
    const MachinePart turned = ofRole(buildMachineParts(m), MachinePartRole::ChuckJaw).at(0);
    EXPECT_NEAR(turned.corners[1].x, 203.2 / 12, 1e-4);
    EXPECT_NEAR(turned.corners[1].y, 103.6, 1e-4);
    // The vertical lathe's jaws do not turn, whatever the phase.
    MachineScene v = latheScene(MachineKind::VerticalLathe);
    v.chuckPhase = 1.0f;
    const MachinePart still = ofRole(buildMachineParts(v), MachinePartRole::ChuckJaw).at(0);
    EXPECT_FALSE(still.moving);
    EXPECT_NEAR(still.corners[1].y, -203.2 / 12, 1e-9);
    EXPECT_TRUE(turnsChuckJaws(m));
    EXPECT_FALSE(turnsChuckJaws(v));
}

TEST(MachineModels, ChuckPhaseFollowsTheSpindle) {
    // S = 300 forward: one radian a drawing; 2 pi comes off when the phase reaches it.
    float p = 0;
    for (int i = 1; i <= 6; ++i) {
        p = advanceChuckPhase(p, 1, 300);
        EXPECT_FLOAT_EQ(p, static_cast<float>(i));
    }
    p = advanceChuckPhase(p, 1, 300);
    EXPECT_NEAR(p, 7 - kTwoPi, 1e-5);
    // Stopped or turning backwards (M05, M04): the jaws stand.
    EXPECT_EQ(advanceChuckPhase(2.5f, 0, 300), 2.5f);
    EXPECT_EQ(advanceChuckPhase(2.5f, 2, 300), 2.5f);
    // A speed of many turns a drawing, or a negative one, stays within one turn.
    const float fast = advanceChuckPhase(0, 1, 99999);
    EXPECT_GE(fast, 0.0f);
    EXPECT_LT(fast, static_cast<float>(kTwoPi));
    const float back = advanceChuckPhase(0.5f, 1, -300);
    EXPECT_GE(back, 0.0f);
    EXPECT_NEAR(back, 0.5 - 1 + kTwoPi, 1e-5);
}

TEST(MachineModels, TurretFollowsTheLatheTool) {
    const std::vector<MachinePart> parts = buildMachineParts(latheScene());
    // B = pi/2: u = 1, v = 0. Tool at (50, 0, -20); B0 = 150 for a turning tool.
    expectVec(ofRole(parts, MachinePartRole::TurretNose).at(0).at, {200, 0, -20}, "nose");
    expectVec(ofRole(parts, MachinePartRole::TurretBarrel).at(0).at, {300, 0, -20}, "barrel");
    expectVec(ofRole(parts, MachinePartRole::TurretHead).at(0).at, {600, -100, -20}, "head");
    const MachinePart slide = ofRole(parts, MachinePartRole::CrossSlide).at(0);
    expectVec(slide.at, {300, -300, -20}, "cross slide");
    EXPECT_EQ(slide.faceMode, FaceMode::SeeThrough);
    expectVec(axisOf(ofRole(parts, MachinePartRole::TurretBarrel).at(0)), {1, 0, 0}, "barrel along +X");
    // A drill (kind 8) starts the turret at its total length.
    MachineScene d = latheScene();
    d.latheToolKind = static_cast<int>(LatheToolKind::RadialDrill);
    expectVec(ofRole(buildMachineParts(d), MachinePartRole::TurretNose).at(0).at, {170, 0, -20},
              "drill nose");
}

TEST(MachineModels, GeneralPurposeLatheHasHeadstockAndRailsAndNoTurret) {
    MachineScene m = latheScene();
    m.parts.generalLathe = true;
    const std::vector<MachinePart> parts = buildMachineParts(m);
    EXPECT_TRUE(ofRole(parts, MachinePartRole::TurretHead).empty());
    EXPECT_TRUE(ofRole(parts, MachinePartRole::Housing).empty());
    const auto head = ofRole(parts, MachinePartRole::Headstock);
    ASSERT_EQ(head.size(), 1u);
    expectVec(head[0].at, {0, 200, -181.28 - 400}, "headstock");
    EXPECT_EQ(head[0].faceMode, FaceMode::Both);
    const auto rails = ofRole(parts, MachinePartRole::BedRail);
    ASSERT_EQ(rails.size(), 2u);
    EXPECT_EQ(rails[0].at.x, -150);
    EXPECT_EQ(rails[1].at.x, 150);
    // The NC lathe: 21 quads of housing, two base, sixteen walls, three of the slanted bed.
    const std::vector<MachinePart> nc = buildMachineParts(latheScene());
    EXPECT_EQ(ofRole(nc, MachinePartRole::HousingBase).size(), 2u);
    EXPECT_EQ(ofRole(nc, MachinePartRole::Housing).size(), 16u);
    EXPECT_EQ(ofRole(nc, MachinePartRole::SlantBed).size(), 3u);
    // The vertical lathe draws its three-part turret whatever "汎用旋盤" says.
    MachineScene v = latheScene(MachineKind::VerticalLathe);
    v.parts.generalLathe = true;
    const std::vector<MachinePart> vp = buildMachineParts(v);
    EXPECT_EQ(ofRole(vp, MachinePartRole::TurretHead).size(), 1u);
    EXPECT_TRUE(ofRole(vp, MachinePartRole::CrossSlide).empty());
    expectVec(ofRole(vp, MachinePartRole::TailstockBody).at(0).at, {0, 0, -181.28 + 1200 + 500}, "tailstock");
}

TEST(MachineModels, WireGuidesAreAlwaysThereAndNothingAboveKindFour) {
    MachineScene m = millScene();
    m.kind = MachineKind::WireEdm;
    m.upperZ = 60;
    m.lowerZ = -10;
    m.parts = MachinePartSwitches{false, false, false, false, false, false, false};
    m.spindleShown = false;
    const std::vector<MachinePart> parts = buildMachineParts(m);
    ASSERT_EQ(parts.size(), 3u);
    expectVec(ofRole(parts, MachinePartRole::WireGuideUpper).at(0).at, {10, 20, 60}, "upper guide");
    expectVec(ofRole(parts, MachinePartRole::WireGuideLower).at(0).at, {10, 20, -10}, "lower guide");
    expectVec(ofRole(parts, MachinePartRole::WireArm).at(0).at, {10, 20, 360}, "arm");
    m.parts.body = true;
    EXPECT_EQ(buildMachineParts(m).size(), 7u);

    MachineScene bad = millScene();
    bad.kind = static_cast<MachineKind>(5);
    EXPECT_TRUE(buildMachineParts(bad).empty());
}

TEST(MachineModels, StillAndMovingPartsMakeTheWhole) {
    for (MachineKind k : {MachineKind::VerticalMill, MachineKind::HorizontalMill, MachineKind::Lathe,
                          MachineKind::VerticalLathe, MachineKind::WireEdm}) {
        MachineScene m = isTurning(k) ? latheScene(k) : millScene();
        m.kind = k;
        const size_t all = buildMachineParts(m).size();
        const auto still = buildMachineParts(m, MachinePartSet::Still);
        const auto moving = buildMachineParts(m, MachinePartSet::Moving);
        EXPECT_EQ(still.size() + moving.size(), all) << static_cast<int>(k);
        EXPECT_FALSE(moving.empty()) << static_cast<int>(k);
        for (const MachinePart& p : still) EXPECT_FALSE(p.moving);
        for (const MachinePart& p : moving) EXPECT_TRUE(p.moving);
    }
}

TEST(MachineModels, DrawingAndOutline) {
    ViewState v;
    v.originX = 160;
    v.originY = 120;
    v.scale = 0.5;
    v.kyori = 3000;
    updateViewBasis(v, MachineKind::VerticalMill);
    FrameBuffer fb(320, 240);
    fb.image().fill(0xFFFFFF);
    fb.clearDepth();
    const std::vector<MachinePart> parts = buildMachineParts(millScene());
    DrawContext ctx(fb, v);
    drawMachineParts(ctx, v, parts, false);
    EXPECT_EQ(v.lightGain, 1.0f);  // put back after the handle
    int painted = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) painted += fb.image().at(x, y) != 0xFFFFFFu;
    EXPECT_GT(painted, 320 * 240 / 4);

    // The outline of the moving parts: every recorded pixel lies inside the bounds returned, and the
    // bounds hold the spindle head's projected centre.
    Image32 img(320, 240, 0xFFFFFF);
    PixelRecord rec;
    MachineScene red = millScene();
    red.palette[23] = 0x0000FF;  // the head in red, so that a colour's byte order shows
    const auto moving = buildMachineParts(red, MachinePartSet::Moving);
    const PixelRect r = drawMachineOutline(img, v, moving, &rec);
    ASSERT_FALSE(r.empty());
    ASSERT_GT(rec.size(), 0u);
    for (uint32_t o : rec) {
        const int x = static_cast<int>(o % 320), y = static_cast<int>(o / 320);
        EXPECT_TRUE(x >= r.left && x <= r.right && y >= r.top && y <= r.bottom);
        EXPECT_NE(img.at(x, y), 0xFFFFFFu);
    }
    // Each part's edges in its own colour, as a pixel (0x00RRGGBB).
    std::vector<uint32_t> pixels;
    for (const MachinePart& p : moving) pixels.push_back(toPixel(p.colour));
    for (uint32_t o : rec) {
        const uint32_t px = img.at(static_cast<int>(o % 320), static_cast<int>(o / 320));
        EXPECT_NE(std::find(pixels.begin(), pixels.end(), px), pixels.end()) << std::hex << px;
    }
    const ProjectedPoint head = projectPoint(v, Vec3{10, 20, 517});
    EXPECT_GE(v.originX + head.px, r.left);
    EXPECT_LE(v.originX + head.px, r.right);
}

}  // namespace
}  // namespace vantrel
