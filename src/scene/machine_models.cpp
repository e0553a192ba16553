#include "scene/machine_models.h"

#include <algorithm>
#include <cmath>

#include "core/rounding.h"
#include "render/view.h"

namespace vantrel {

namespace {

constexpr uint32_t kJawGrey = 0xD0D0D0;
constexpr uint32_t kViceGreen = 0x00FF00;
constexpr uint32_t kBoltGrey = 0x6F6F6F;
constexpr uint32_t kHandleBlack = 0x303030;
constexpr uint32_t kSteel = 0x808080;
constexpr uint32_t kBright = 0xC0C0C0;
constexpr uint32_t kHorizontalHead = 0xE08080;
constexpr uint32_t kMagazine = 0xD07050;
constexpr uint32_t kTurntableRing = 0x008080;
constexpr uint32_t kTailstockRing = 0x000080;
constexpr uint32_t kWireGuide = 0xFF0000;
constexpr float kHandleGain = 5.0f;

// Directions of a shape's axis.
constexpr Orientation kAlongZ{0, 0};
constexpr Orientation kAlongMinusZ{0, kPi};
constexpr Orientation kAlongY{-kPi / 2, 0};
constexpr Orientation kAlongMinusX{0, -kPi / 2};

// The T-slot bars of the vertical mill's table: (Y, width) of the six 21 mm bars and of the six
// 20 mm bars that carry the chamfer.
constexpr double kSlotY21[6] = {-177.5, -85, 25, 135, 245, 337.5};
constexpr double kSlotW21[6] = {45, 80, 80, 80, 80, 45};
constexpr double kSlotY20[6] = {-174.5, -85, 25, 135, 245, 331.5};
constexpr double kSlotW20[6] = {51, 92, 92, 92, 92, 51};

class Builder {
  public:
    Builder(const MachineScene& m, MachinePartSet which, std::vector<MachinePart>& out)
        : m_(m), which_(which), out_(out) {}

    FaceMode seeThrough() const { return m_.parts.seeThrough ? FaceMode::SeeThrough : FaceMode::Both; }
    uint32_t palette(int i) const { return m_.palette[static_cast<size_t>(i)]; }

    // Axis-aligned box [x0, x0 + dx] x [y0, y0 + dy] x [z0, z0 + dz].
    void box(MachinePartRole role, uint32_t colour, double x0, double dx, double y0, double dy, double z0,
             double dz, bool moving = false) {
        MachinePart p = part(role, colour, moving);
        p.shape = MachineShape::Box;
        p.at = {x0, y0, z0};
        p.size = {dx, dy, dz};
        add(p);
    }
    // Bar lz x wy x hx (along local Z, Y, X) centred at c.
    void bar(MachinePartRole role, uint32_t colour, const Vec3& c, double lz, double wy, double hx,
             double chamfer, Orientation o = {}, FaceMode mode = FaceMode::Front, bool moving = false) {
        MachinePart p = part(role, colour, moving);
        p.shape = MachineShape::Bar;
        p.at = c;
        p.size = {hx, wy, lz};
        p.chamfer = chamfer;
        p.o = o;
        p.faceMode = mode;
        add(p);
    }
    void tube(MachinePartRole role, uint32_t colour, const Vec3& from, double length, double inner,
              double outer, Orientation o, bool moving = false, float gain = 1.0f) {
        MachinePart p = part(role, colour, moving);
        p.shape = MachineShape::Tube;
        p.at = from;
        p.size = {inner, outer, length};
        p.o = o;
        p.lightGain = gain;
        add(p);
    }
    void cone(MachinePartRole role, uint32_t colour, const Vec3& from, double length, double d1, double d2,
              Orientation o) {
        MachinePart p = part(role, colour, false);
        p.shape = MachineShape::Cone;
        p.at = from;
        p.size = {d1, d2, length};
        p.o = o;
        add(p);
    }
    // A quad wound so that its front faces along `facing` (see-through quads show both sides anyway).
    void quad(MachinePartRole role, uint32_t colour, FaceMode mode, const Vec3& a, const Vec3& b,
              const Vec3& c, const Vec3& d, const Vec3& facing) {
        MachinePart p = part(role, colour, false);
        p.shape = MachineShape::Quad;
        p.faceMode = mode;
        p.corners = {a, b, c, d};
        if ((b - a).cross(c - a).dot(facing) < 0) p.corners = {a, d, c, b};
        add(p);
    }
    void hexa(MachinePartRole role, uint32_t colour, const std::array<Vec3, 8>& corners, bool moving) {
        MachinePart p = part(role, colour, moving);
        p.shape = MachineShape::Hexa;
        p.corners = corners;
        add(p);
    }

  private:
    MachinePart part(MachinePartRole role, uint32_t colour, bool moving) const {
        MachinePart p;
        p.role = role;
        p.colour = colour;
        p.moving = moving;
        return p;
    }
    void add(const MachinePart& p) {
        if (which_ == MachinePartSet::All || (which_ == MachinePartSet::Moving) == p.moving)
            out_.push_back(p);
    }

    const MachineScene& m_;
    MachinePartSet which_;
    std::vector<MachinePart>& out_;
};

struct StockFrame {
    double W, D, H, xs, ys, zs, cx;
    explicit StockFrame(const StockSpec& s)
        : W(s.sizeX),
          D(s.sizeY),
          H(s.sizeZ),
          xs(s.offsetX),
          ys(s.offsetY),
          zs(s.offsetZ),
          cx(s.offsetX + s.sizeX / 2.0) {}
};

// The spindle of both mills: sleeve and collar round the holder's flange, the head above them.
void spindle(Builder& b, const MachineScene& m, uint32_t headColour) {
    if (!m.parts.spindle || !m.spindleShown || !(std::cos(m.viewA) < 0.9)) return;
    const double F = m.flangeDiameter;
    const double zsp = m.tool.z + m.toolLength + m.holderBaseLength + m.holderLength;
    const double x = m.tool.x, y = m.tool.y;
    b.tube(MachinePartRole::SpindleSleeve, kBright, {x, y, zsp}, 500, F - 40, F + 10, kAlongZ, true);
    b.tube(MachinePartRole::SpindleCollar, kSteel, {x, y, zsp + 20}, 100, F - 40, F + 50, kAlongZ, true);
    b.bar(MachinePartRole::SpindleHead, headColour, {x, y, zsp + 400}, 600, 300, 200, 10, {}, FaceMode::Front,
          true);
}

// A tool magazine: a disc and a hub on one axis and twenty pots on a ring of 275 in the disc's plane.
void magazine(Builder& b, const Vec3& centre, Orientation axis, uint32_t discColour, uint32_t potColour,
              bool ringInXZ) {
    b.tube(MachinePartRole::MagazineDisc, discColour, centre, 120, 700, 750, axis);
    b.tube(MachinePartRole::MagazineDisc, discColour, centre, 80, 0, 400, axis);
    for (int k = 0; k < 20; ++k) {
        const double a = k * kPi / 10;
        const Vec3 at = ringInXZ ? Vec3{centre.x + 275 * std::cos(a), centre.y, centre.z + 275 * std::sin(a)}
                                 : Vec3{centre.x, centre.y + 275 * std::cos(a), centre.z + 275 * std::sin(a)};
        b.tube(MachinePartRole::MagazinePot, potColour, at, 100, 63, 80, axis);
    }
}

void verticalMill(Builder& b, const MachineScene& m) {
    const StockFrame s(m.stock);
    const double cosA = std::cos(m.viewA);
    if (m.parts.vice) {
        using R = MachinePartRole;
        b.box(R::ViceFrontJaw, kJawGrey, s.xs - 10, s.W + 20, s.ys - 10, 10, s.zs - 10, s.H + 5);
        b.box(R::ViceRearJaw, kJawGrey, s.xs - 10, s.W + 20, s.ys + s.D, 10, s.zs - 10, s.H + 5);
        b.box(R::ViceFixedBlock, kViceGreen, s.xs - 5, s.W + 10, s.ys - 100, 90, s.zs - 10, s.H);
        b.box(R::ViceMovingBlock, kViceGreen, s.xs - 5, s.W + 10, s.ys + s.D + 10, 40, s.zs - 10, s.H);
        b.box(R::ViceBase, kViceGreen, s.xs - 20, s.W + 40, s.ys - 150, s.D + 200, s.zs - 60, 50);
        for (double y0 : {-50.0, 60.0})
            for (double x0 : {s.xs - 60, s.xs + s.W + 20})
                b.box(R::ViceBolt, kBoltGrey, x0, 40, y0, 40, s.zs - 60, 20);
        const Vec3 handle{s.cx, s.ys - 160, s.zs - 30};
        b.tube(R::ViceHandle, kHandleBlack, handle, 60, 0, 30, {kPi / 2, 0}, false, kHandleGain);
        b.tube(R::ViceKnob, kJawGrey, handle, 10, 0, 20, {-kPi / 2, 0});
    }
    spindle(b, m, b.palette(23));
    if (!m.parts.body) return;
    using R = MachinePartRole;
    const uint32_t tableColour = b.palette(22), bodyColour = b.palette(23), coverColour = b.palette(21);
    for (int i = 0; i < 6; ++i) {
        b.bar(R::TableSlot, tableColour, {s.cx, kSlotY21[i], s.zs - 89.5}, 21, kSlotW21[i], 1050, 0,
              {0, kPi});
        b.bar(R::TableSlot, tableColour, {s.cx, kSlotY20[i], s.zs - 70}, 20, kSlotW20[i], 1050, 1, {0, kPi});
    }
    b.bar(R::Table, tableColour, {s.cx, 80, s.zs - 125}, 50, 560, 1050, 0);
    // Bed, saddle and the lower column stand whatever the view; the upper column, the head carrier and
    // the column head would cover the stock seen from above.
    b.box(R::BodyBlock, bodyColour, s.cx - 300, 600, -700, 2000, s.zs - 950, 300);
    b.box(R::BodyBlock, bodyColour, s.cx - 400, 800, -300, 700, s.zs - 650, 500);
    b.box(R::BodyBlock, bodyColour, s.cx - 450, 900, 800, 500, s.zs - 650, 1000);
    if (cosA < 0.8) {
        b.box(R::BodyBlock, bodyColour, s.cx - 450, 900, 800, 500, s.zs + 350, 675);
        b.box(R::BodyBlock, bodyColour, s.cx - 200, 400, 300, 500, s.zs + 500, 525);
        b.bar(R::ColumnHead, bodyColour, {s.cx, 1050, s.zs + 1125}, 200, 560, 960, 30);
        b.bar(R::ColumnHead, bodyColour, {s.cx, 1050, s.zs + 1285}, 120, 420, 700, 30);
    }
    // Telescopic covers over the ways on either side of the table, each stage a plate over a skirt.
    for (int side = -1; side <= 1; side += 2) {
        for (int k = 0; k < 3; ++k) {
            const double x0 = side > 0 ? s.cx + 525 + k * 140 : s.cx - 525 - k * 140 - 150;
            b.box(R::SlideCover, coverColour, x0, 150, -260 + 15 * k, 620 - 30 * k, s.zs - 160 - 10 * k, 10);
            b.box(R::SlideCover, coverColour, x0, 150, -250 + 15 * k, 600 - 30 * k, s.zs - 220 - 10 * k, 60);
        }
    }
    if (cosA < 0.8) magazine(b, {s.cx - 400, 200, s.zs + 1000}, kAlongY, kMagazine, coverColour, true);
    // The enclosure: the front wall with its opening above the table and the two side walls.
    const uint32_t glass = b.palette(18);
    const FaceMode see = b.seeThrough();
    const double xl = s.cx - 1200, xr = s.cx + 1200, zb = s.zs - 900, zt = s.zs + 1000;
    const Vec3 front{0, -1, 0};
    b.quad(R::Enclosure, glass, see, {xl, -800, zb}, {xr, -800, zb}, {xr, -800, s.zs}, {xl, -800, s.zs},
           front);
    b.quad(R::Enclosure, glass, see, {xl, -800, s.zs}, {s.cx - 500, -800, s.zs}, {s.cx - 500, -800, zt},
           {xl, -800, zt}, front);
    b.quad(R::Enclosure, glass, see, {s.cx + 500, -800, s.zs}, {xr, -800, s.zs}, {xr, -800, zt},
           {s.cx + 500, -800, zt}, front);
    for (double x : {xl, xr})
        b.quad(R::Enclosure, glass, see, {x, -800, zb}, {x, 800, zb}, {x, 800, s.zs + 700},
               {x, -800, s.zs + 700}, {x < s.cx ? -1.0 : 1.0, 0, 0});
}

void horizontalMill(Builder& b, const MachineScene& m) {
    using R = MachinePartRole;
    const StockFrame s(m.stock);
    const double c = s.zs - 460;
    const double cosA = std::cos(m.viewA);
    // A point at radius rho and angle w about the fixture's axis.
    auto at = [&](double rho, double w, double y) {
        return Vec3{s.cx + rho * std::cos(w), y, c + rho * std::sin(w)};
    };
    if (m.parts.vice) {
        for (int i = 0; i < 4; ++i) {
            const double w = i * kPi / 2;
            const Orientation o{0, w + kPi / 2};
            const double rj = (s.H + 5) / 2 + 450, rb = s.H / 2 + 450;
            b.bar(R::ViceFrontJaw, kJawGrey, at(rj, w, s.ys - 5), s.H + 5, 10, s.W + 20, 0, o);
            b.bar(R::ViceRearJaw, kJawGrey, at(rj, w, s.ys + s.D + 5), s.H + 5, 10, s.W + 20, 0, o);
            b.bar(R::ViceFixedBlock, kViceGreen, at(rb, w, s.ys - 55), s.H, 90, s.W + 10, 0, o);
            b.bar(R::ViceMovingBlock, kViceGreen, at(rb, w, s.ys + s.D + 30), s.H, 40, s.W + 10, 0, o);
            b.bar(R::ViceBase, kViceGreen, at(425, w, s.ys + s.D / 2 - 50), 50, s.D + 200, s.W + 40, 0, o);
            const Vec3 handle = at(430, w, s.ys - 160);
            b.tube(R::ViceHandle, kHandleBlack, handle, 60, 0, 30, {kPi / 2, w + kPi / 2}, false,
                   kHandleGain);
            b.tube(R::ViceKnob, kJawGrey, handle, 10, 0, 20, {-kPi / 2, w + kPi / 2});
        }
    }
    spindle(b, m, kHorizontalHead);
    if (!m.parts.body) return;
    const uint32_t tableColour = b.palette(22), bodyColour = b.palette(23);
    b.box(R::BodyBlock, bodyColour, s.cx - 600, 1200, -900, 300, -1000, 2500);
    b.tube(R::Turntable, kBoltGrey, {s.cx, -450, c}, 250, 10, 600, kAlongY);
    b.tube(R::Turntable, kTurntableRing, {s.cx, -600, c}, 150, 500, 800, kAlongY);
    if (cosA < 0.8) {
        b.box(R::BodyBlock, bodyColour, s.cx - 900, 500, -700, 1400, s.zs + 700, 900);
        magazine(b, {s.cx - 340, 0, s.zs + 1100}, kAlongMinusX, bodyColour, b.palette(21), false);
    }
    for (int i = 0; i < 4; ++i) {
        const double w = i * kPi / 2;
        const Orientation o{0, w + kPi / 2};
        for (int k = 0; k < 6; ++k) {
            b.bar(R::TableSlot, tableColour, at(370.5, w, kSlotY21[k]), 21, kSlotW21[k], 600, 0, o);
            b.bar(R::TableSlot, tableColour, at(390, w, kSlotY20[k]), 20, kSlotW20[k], 600, 1, o);
        }
    }
    b.bar(R::Fixture, tableColour, {s.cx, 80, c}, 720, 700, 720, 40);
}

// The three jaws at their angles: boxes from just inside the stock's outer radius out past the chuck
// rim, a sixth of the chuck wide, gripping the last 40 mm of the stock.
void jaws(Builder& b, const MachineScene& m, double zb, double phase, bool moving) {
    const double C = m.chuckDiameter;
    const double r0 = m.stock.sizeX / 2.0 - 10, r1 = C / 2 + 2, half = C / 12;
    for (int i = 0; i < 3; ++i) {
        const double phi = kTwoPi * i / 3 + phase;
        const Vec3 er{std::cos(phi), std::sin(phi), 0}, et{-std::sin(phi), std::cos(phi), 0};
        std::array<Vec3, 8> k;
        for (int j = 0; j < 8; ++j) {
            const double r = (j & 1) ? r1 : r0, t = (j & 2) ? half : -half, z = (j & 4) ? zb + 40 : zb - 10;
            k[static_cast<size_t>(j)] = er * r + et * t + Vec3{0, 0, z};
        }
        b.hexa(MachinePartRole::ChuckJaw, b.palette(17), k, moving);
    }
}

void lathe(Builder& b, const MachineScene& m) {
    using R = MachinePartRole;
    const bool vertical = m.kind == MachineKind::VerticalLathe;
    const double C = m.chuckDiameter;
    const double zb = static_cast<double>(m.stock.offsetX) - m.stock.sizeZ;
    const double zc = zb - C / 2.5;
    if (m.parts.chuck) {
        b.tube(R::ChuckBody, kSteel, {0, 0, zb}, C / 2.5, C / 3, C, kAlongMinusZ);
        jaws(b, m, zb, vertical ? 0.0 : m.chuckPhase, !vertical);
        b.tube(R::ChuckBack, kSteel, {0, 0, zc}, C / 5, C / 3, 0.8 * C, kAlongMinusZ);
        const double zt = zc + m.tailstock;
        b.tube(R::TailstockQuill, kSteel, {0, 0, zt + 100}, 600, 30, 100, kAlongZ);
        b.cone(R::TailstockCentre, kBright, {0, 0, zt}, 50, 50, 2, kAlongZ);
        b.tube(R::TailstockRing, kTailstockRing, {0, 0, zt + 50}, 50, 2, 80, kAlongZ);
        if (vertical)
            b.bar(R::TailstockBody, b.palette(19), {0, 0, zt + 500}, 600, 200, 200, 0);
        else
            b.bar(R::TailstockBody, b.palette(19), {-50, -100, zt + 400}, 300, 500, 400, 20,
                  {kPi / 4, kPi / 2});
    }
    if (m.parts.turret && m.spindleShown && (vertical || !m.parts.generalLathe)) {
        const double B = m.turn, u = std::sin(B), v = std::cos(B);
        const bool drill = m.latheToolKind == static_cast<int>(LatheToolKind::RadialDrill) ||
                           m.latheToolKind == static_cast<int>(LatheToolKind::AxialDrill);
        const double b0 = drill ? m.totalLength : 150;
        const double x = m.tool.x, y = m.tool.y, z = m.tool.z;
        const Orientation o{0, B};
        b.tube(R::TurretNose, kSteel, {x + b0 * u, y, z + b0 * v}, 100, 0, 100, o, true);
        b.tube(R::TurretBarrel, kSteel, {x + (b0 + 100) * u, y, z + (b0 + 100) * v}, 600, 0, 200, o, true);
        b.bar(R::TurretHead, kSteel, {x + 550 * u, y - 100, z + 550 * v}, 500, 500, 300, 10, o,
              FaceMode::Front, true);
        if (!vertical)
            b.bar(R::CrossSlide, b.palette(19), {300, y - 300, z + 550 * v}, 900, 100, 400, 5, {0, kPi / 2},
                  b.seeThrough(), true);
    }
    if (!m.parts.body) return;
    if (vertical) {
        b.bar(R::BodyBlock, b.palette(19), {0, 0, zc - 350}, 600, 800, 800, 20);
        return;
    }
    if (m.parts.generalLathe) {
        b.bar(R::Headstock, b.palette(19), {0, 200, zc - 400}, 800, 700, 400, 10, {}, FaceMode::Both);
        for (double x : {-150.0, 150.0})
            b.bar(R::BedRail, b.palette(19), {x, 300, zc + 800}, 2000, 200, 100, 0, {}, FaceMode::Both);
        return;
    }
    // The slant-bed housing: a floor, a see-through cabinet round the working space with a door
    // opening in its front, and the slanted bed behind the turret.
    const double z0 = zc - 1000, z1 = zc + 2000, zm = zc + 500;
    const double x0 = -500, x1 = 1100, xm = 300, y0 = -700, y1 = 1100, ym = 200;
    const uint32_t base = b.palette(20), wall = b.palette(19);
    const FaceMode see = b.seeThrough();
    const Vec3 up{1, 0, 0};
    b.quad(R::HousingBase, base, FaceMode::Front, {x0, y0, z0}, {x0, y1, z0}, {x0, y1, zm}, {x0, y0, zm}, up);
    b.quad(R::HousingBase, base, FaceMode::Front, {x0, y0, zm}, {x0, y1, zm}, {x0, y1, z1}, {x0, y0, z1}, up);
    auto wallQuad = [&](const Vec3& a, const Vec3& bb, const Vec3& cc, const Vec3& d) {
        b.quad(R::Housing, wall, see, a, bb, cc, d, up);
    };
    for (auto [za, zz] : {std::pair{z0, zm}, std::pair{zm, z1}}) {
        wallQuad({x1, y0, za}, {x1, y1, za}, {x1, y1, zz}, {x1, y0, zz});  // roof
        wallQuad({x0, y1, za}, {xm, y1, za}, {xm, y1, zz}, {x0, y1, zz});  // back, lower
        wallQuad({xm, y1, za}, {x1, y1, za}, {x1, y1, zz}, {xm, y1, zz});  // back, upper
        wallQuad({x0, y0, za}, {xm, y0, za}, {xm, y0, zz}, {x0, y0, zz});  // front, lower
    }
    wallQuad({xm, y0, z0}, {x1, y0, z0}, {x1, y0, zc + 200}, {xm, y0, zc + 200});    // front, beside
    wallQuad({xm, y0, zc + 1400}, {x1, y0, zc + 1400}, {x1, y0, z1}, {xm, y0, z1});  // the door
    for (double z : {z0, z1}) {
        wallQuad({x0, y0, z}, {x0, ym, z}, {x1, ym, z}, {x1, y0, z});  // ends
        wallQuad({x0, ym, z}, {x0, y1, z}, {x1, y1, z}, {x1, ym, z});
    }
    wallQuad({x0, y0, zc - 200}, {x0, ym, zc - 200}, {x1, ym, zc - 200},
             {x1, y0, zc - 200});  // headstock wall
    wallQuad({x0, ym, zc - 200}, {x0, y1, zc - 200}, {x1, y1, zc - 200}, {x1, ym, zc - 200});
    // The bed slants from low at the back up towards the turret's side.
    const Vec3 a{-400, 900, zc}, bb{-400, 900, z1}, cc{600, 500, z1}, d{600, 500, zc};
    const Vec3 slantUp =
        (bb - a).cross(d - a).dot(Vec3{1, 0, 0}) >= 0 ? (bb - a).cross(d - a) : (d - a).cross(bb - a);
    b.quad(R::SlantBed, kSteel, FaceMode::Front, a, bb, cc, d, slantUp);
    b.quad(R::SlantBed, kSteel, FaceMode::Front, {x0, 900, zc}, a, d, {x0, 500, zc}, {0, 0, -1});
    b.quad(R::SlantBed, kSteel, FaceMode::Front, {x0, 500, zc}, d, cc, {x0, 500, z1}, {0, -1, 0});
}

void wireEdm(Builder& b, const MachineScene& m) {
    using R = MachinePartRole;
    const double x = m.tool.x, y = m.tool.y;
    b.bar(R::WireGuideUpper, kWireGuide, {x, y, m.upperZ}, 60, 40, 40, 2, {}, FaceMode::Front, true);
    b.bar(R::WireGuideLower, kWireGuide, {x, y, m.lowerZ}, 60, 40, 40, 2, {}, FaceMode::Front, true);
    b.bar(R::WireArm, kSteel, {x, y, m.upperZ + 300}, 450, 80, 80, 5, {}, FaceMode::Front, true);
    if (!m.parts.body) return;
    const double zs = m.stock.offsetZ;
    b.bar(R::BodyBlock, b.palette(20), {0, 0, zs - 500}, 400, 560, 1050, 10);
    b.bar(R::BodyBlock, b.palette(19), {0, 0, zs - 200}, 300, 500, 800, 5);
    b.bar(R::BodyBlock, b.palette(19), {200, 0, zs + 600}, 300, 300, 600, 5);
    b.bar(R::BodyBlock, b.palette(19), {800, 300, zs}, 1400, 1000, 800, 10);
}

Vec3f f3(const Vec3& v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

// The eight corners of a box or bar, indexed like the jaws' (bit 0 X, bit 1 Y, bit 2 Z).
std::array<Vec3, 8> blockCorners(const MachinePart& p) {
    std::array<Vec3, 8> k;
    for (int j = 0; j < 8; ++j) {
        const double sx = (j & 1) ? 0.5 : -0.5, sy = (j & 2) ? 0.5 : -0.5, sz = (j & 4) ? 0.5 : -0.5;
        if (p.shape == MachineShape::Box)
            k[static_cast<size_t>(j)] =
                p.at + Vec3{p.size.x * (sx + 0.5), p.size.y * (sy + 0.5), p.size.z * (sz + 0.5)};
        else
            k[static_cast<size_t>(j)] =
                p.at + rotateLocal(p.size.x * sx, p.size.y * sy, p.size.z * sz, p.o.tilt, p.o.turn);
    }
    return k;
}

// The six faces of a block given by its corners, each wound outwards.
void drawHexa(DrawContext& ctx, const MachinePart& p, bool wire) {
    static constexpr int kFaces[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                         {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    Vec3 centre;
    for (const Vec3& c : p.corners) centre += c;
    centre = centre / 8;
    const ClipRect clip = ctx.fb.fullClip();
    for (const auto& f : kFaces) {
        Vec3 q[4] = {p.corners[static_cast<size_t>(f[0])], p.corners[static_cast<size_t>(f[1])],
                     p.corners[static_cast<size_t>(f[2])], p.corners[static_cast<size_t>(f[3])]};
        const Vec3 mid = (q[0] + q[1] + q[2] + q[3]) / 4;
        if ((q[1] - q[0]).cross(q[2] - q[0]).dot(mid - centre) < 0) std::swap(q[1], q[3]);
        drawQuad3D(ctx, p.colour, clip, p.faceMode, wire, f3(q[0]), f3(q[1]), f3(q[2]), f3(q[3]));
    }
}

}  // namespace

std::vector<MachinePart> buildMachineParts(const MachineScene& m, MachinePartSet which) {
    std::vector<MachinePart> parts;
    Builder b(m, which, parts);
    switch (m.kind) {
        case MachineKind::VerticalMill:
            verticalMill(b, m);
            break;
        case MachineKind::HorizontalMill:
            horizontalMill(b, m);
            break;
        case MachineKind::Lathe:
        case MachineKind::VerticalLathe:
            lathe(b, m);
            break;
        case MachineKind::WireEdm:
            wireEdm(b, m);
            break;
        default:
            break;
    }
    return parts;
}

void drawMachineParts(DrawContext& ctx, ViewState& view, std::span<const MachinePart> parts, bool wire) {
    const ClipRect clip = ctx.fb.fullClip();
    for (const MachinePart& p : parts) {
        view.lightGain = p.lightGain;
        const ShapeStyle st{p.colour, wire, p.faceMode};
        switch (p.shape) {
            case MachineShape::Box:
                drawBlock(ctx, st, p.at + p.size / 2, p.size.x, p.size.y, p.size.z, 0, {});
                break;
            case MachineShape::Bar:
                drawBlock(ctx, st, p.at, p.size.x, p.size.y, p.size.z, p.chamfer, p.o);
                break;
            case MachineShape::Tube:
                drawTube(ctx, st, p.at, p.size.y, p.size.x, p.size.z, p.o);
                break;
            case MachineShape::Cone:
                drawFrustum(ctx, st, p.at, p.size.x, p.size.y, p.size.z, p.o);
                break;
            case MachineShape::Quad:
                drawQuad3D(ctx, p.colour, clip, p.faceMode, wire, f3(p.corners[0]), f3(p.corners[1]),
                           f3(p.corners[2]), f3(p.corners[3]));
                break;
            case MachineShape::Hexa:
                drawHexa(ctx, p, wire);
                break;
        }
    }
    view.lightGain = 1.0f;
}

bool drawMachine(DrawContext& ctx, ViewState& view, const MachineScene& m, bool wireframe,
                 MachinePartSet which) {
    const std::vector<MachinePart> parts = buildMachineParts(m, which);
    drawMachineParts(ctx, view, parts, wireframe);
    return turnsChuckJaws(m) && std::any_of(parts.begin(), parts.end(), [](const MachinePart& p) {
               return p.role == MachinePartRole::ChuckJaw;
           });
}

PixelRect drawMachineOutline(Image32& target, const ViewState& view, std::span<const MachinePart> parts,
                             PixelRecord* drawn) {
    PixelRect bounds;
    const ClipRect clip{0, 0, target.width() - 1, target.height() - 1};
    auto line = [&](uint32_t colour, const Vec3& a, const Vec3& b) {
        int32_t ax = 0, ay = 0, bx = 0, by = 0;
        if (!screenOf(view, a, ax, ay) || !screenOf(view, b, bx, by)) return;
        // Only what lies on the image counts towards the bounds the caller copies.
        PixelRect r;
        r.include(ax, ay);
        r.include(bx, by);
        r = r.clippedTo(target.width(), target.height());
        if (r.empty()) return;
        bounds.unite(r);
        if (drawn)
            paintLine2DRecorded(target, colour, clip, ax, ay, bx, by, *drawn);
        else
            paintLine2D(target, colour, clip, ax, ay, bx, by);
    };
    constexpr int kRound = 12;  // segments of a circle; every other joint carries a generator line
    for (const MachinePart& p : parts) {
        const uint32_t colour = p.colour;  // the line painters take palette colours
        switch (p.shape) {
            case MachineShape::Box:
            case MachineShape::Bar:
            case MachineShape::Hexa: {
                const std::array<Vec3, 8> k = p.shape == MachineShape::Hexa ? p.corners : blockCorners(p);
                for (int j = 0; j < 8; ++j)
                    for (int bit = 1; bit < 8; bit <<= 1)
                        if (!(j & bit))
                            line(colour, k[static_cast<size_t>(j)], k[static_cast<size_t>(j | bit)]);
                break;
            }
            case MachineShape::Tube:
            case MachineShape::Cone: {
                const double r0 = (p.shape == MachineShape::Tube ? p.size.y : p.size.x) / 2;
                const double r1 = p.size.y / 2, len = p.size.z;
                auto at = [&](double r, int k, double z) {
                    const double t = kTwoPi * k / kRound;
                    return p.at + rotateLocal(r * std::cos(t), r * std::sin(t), z, p.o.tilt, p.o.turn);
                };
                for (int k = 0; k < kRound; ++k) {
                    line(colour, at(r0, k, 0), at(r0, k + 1, 0));
                    line(colour, at(r1, k, len), at(r1, k + 1, len));
                    if (k % 2 == 0) line(colour, at(r0, k, 0), at(r1, k, len));
                }
                break;
            }
            case MachineShape::Quad:
                for (int j = 0; j < 4; ++j)
                    line(colour, p.corners[static_cast<size_t>(j)],
                         p.corners[static_cast<size_t>((j + 1) % 4)]);
                break;
        }
    }
    return bounds;
}

bool turnsChuckJaws(const MachineScene& m) {
    return m.kind == MachineKind::Lathe && m.parts.chuck;
}

float advanceChuckPhase(float phase, int spindle, int32_t spindleSpeed) {
    if (spindle != 1) return phase;
    float p = phase + static_cast<float>(spindleSpeed) / 300.0f;
    // A fast spindle turns the jaws by more than a turn per drawing, and a negative speed turns them
    // back: the phase is kept within one turn either way so that it never loses its precision.
    constexpr float kTurn = static_cast<float>(kTwoPi);
    if (p >= kTurn || p < 0) p = std::fmod(p, kTurn);
    if (p < 0) p += kTurn;
    if (!std::isfinite(p)) p = 0;
    return p;
}

}  // namespace vantrel
