#include "scene/tool_models.h"

#include <algorithm>
#include <cmath>

#include "core/rounding.h"
#include "render/raster.h"
#include "render/view.h"

namespace vantrel {

namespace {

constexpr uint32_t kShankColour = 0x303030;
constexpr uint32_t kWireColour = 0x808080;

Vec3f f3(const Vec3& v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

bool finiteVec(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A point of the tool frame in the world.
// The rotation is linear, so its three axes are worked out once per model rather than per point.
struct ToolFrame {
    ToolFrame(const Vec3& t, double tilt, double turn)
        : tip(t),
          ex(rotateLocal(1, 0, 0, tilt, turn)),
          ey(rotateLocal(0, 1, 0, tilt, turn)),
          ez(rotateLocal(0, 0, 1, tilt, turn)) {}
    Vec3 tip, ex, ey, ez;
    Vec3 at(double x, double y, double z) const { return tip + dir(x, y, z); }
    Vec3 dir(double x, double y, double z) const { return ex * x + ey * y + ez * z; }
};

// A profile revolved about the tool axis in facets + 1 equal steps, front faces outwards, each
// segment shaded smoothly with its own normal (the profile direction turned by a quarter turn).
template <class Emit>
void revolveProfile(const ToolFrame& fr, const float* r, const float* z, int count, int facets, Emit&& emit) {
    const int steps = facets + 1;
    for (int i = 0; i + 1 < count; ++i) {
        const double dr = r[i + 1] - r[i], dz = z[i + 1] - z[i];
        const double len = std::hypot(dr, dz);
        if (!(len > 0)) continue;
        const double nr = dz / len, nz = -dr / len;
        for (int k = 0; k < steps; ++k) {
            const double t0 = kTwoPi * k / steps, t1 = kTwoPi * (k + 1) / steps;
            const double c0 = std::cos(t0), s0 = std::sin(t0), c1 = std::cos(t1), s1 = std::sin(t1);
            emit(fr.at(r[i] * c0, r[i] * s0, z[i]), fr.at(r[i] * c1, r[i] * s1, z[i]),
                 fr.at(r[i + 1] * c1, r[i + 1] * s1, z[i + 1]), fr.at(r[i + 1] * c0, r[i + 1] * s0, z[i + 1]),
                 fr.dir(nr * c0, nr * s0, nz), fr.dir(nr * c1, nr * s1, nz));
        }
    }
}

void smoothRevolved(DrawContext& ctx, uint32_t colour, bool wire, const ToolFrame& fr, const float* r,
                    const float* z, int count, int facets) {
    const ClipRect clip = ctx.fb.fullClip();
    revolveProfile(
        fr, r, z, count, facets,
        [&](const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d, const Vec3& n0, const Vec3& n1) {
            drawSmoothQuad3D(ctx, colour, clip, FaceMode::Front, wire, f3(a), f3(b), f3(c), f3(d), f3(n0),
                             f3(n1), f3(n1), f3(n0));
        });
}

void profileArrays(const std::vector<ProfilePoint>& pts, std::vector<float>& r, std::vector<float>& z) {
    r.clear();
    z.clear();
    for (const ProfilePoint& p : pts) {
        r.push_back(static_cast<float>(p.radius));
        z.push_back(static_cast<float>(p.z));
    }
}

double largestHolderDiameter(const ToolScene& s) {
    double m = s.holder.maxDiameter();
    m = std::max(m, s.tool.holderDiameter);
    return std::max(m, s.tool.diameter);
}

}  // namespace

bool screenOf(const ViewState& view, const Vec3& p, int32_t& x, int32_t& y) {
    const ProjectedPoint pp = projectPoint(view, p);
    if (pp.clipped) return false;
    const double sx = screenX(view, pp), sy = screenY(view, pp);
    if (!(std::fabs(sx) < 1e7) || !(std::fabs(sy) < 1e7)) return false;
    x = saturatingToInt32(std::floor(sx));
    y = saturatingToInt32(std::floor(sy));
    return true;
}

void PixelRect::unite(const PixelRect& o) {
    if (o.empty()) return;
    if (empty()) {
        *this = o;
        return;
    }
    left = std::min(left, o.left);
    top = std::min(top, o.top);
    right = std::max(right, o.right);
    bottom = std::max(bottom, o.bottom);
}

PixelRect PixelRect::widened(int32_t by) const {
    if (empty()) return *this;
    return {left - by, top - by, right + by, bottom + by};
}

PixelRect PixelRect::clippedTo(int w, int h) const {
    PixelRect r{std::max(left, 0), std::max(top, 0), std::min(right, w - 1), std::min(bottom, h - 1)};
    if (r.empty()) return PixelRect{};
    return r;
}

Vec3 millingTipPoint(const ToolRecord& tool, const Vec3& p) {
    const double h = tool.diameter / 2;
    const int t = tool.tipPosition;
    if (t < 1 || t > 9) return p;
    const int col = (t - 1) % 3, row = (t - 1) / 3;
    const double dx = col == 0 ? h : col == 1 ? 0 : -h;
    const double dy = row == 0 ? h : row == 1 ? 0 : -h;
    return {p.x + dx, p.y + dy, p.z};
}

Vec3 latheNoseCentre(const ToolRecord& tool, const Vec3& p) {
    const double r = tool.noseRadius;
    const int t = tool.tipPosition;
    if (t < 1 || t > 9) return p;
    const int col = (t - 1) % 3, row = (t - 1) / 3;
    const double dx = row == 0 ? r : row == 1 ? 0 : -r;
    const double dz = col == 0 ? r : col == 1 ? 0 : -r;
    return {p.x + dx, p.y, p.z + dz};
}

int modelFacetCount(const ViewState& view, int width, int height, const Vec3& centre, double maxDiameter) {
    if (!(maxDiameter > 0) || !finiteVec(centre)) return 3;
    const Vec3 across = view.basis.r * maxDiameter;
    const ProjectedPoint a = projectPoint(view, centre - across);
    const ProjectedPoint b = projectPoint(view, centre + across);
    const double dx = std::fabs(b.X - a.X), dy = std::fabs(b.Y - a.Y);
    if (!std::isfinite(dx) || !std::isfinite(dy) || dx > width || dy > height) return 16;
    const double d = std::hypot(dx, dy);
    const int n = saturatingToInt32(RoundHalfAway(d / 6)) + 2;
    return std::clamp(n, 3, 16);
}

std::vector<ProfilePoint> cutterProfilePoints(const ToolRecord& tool, const ToolProfile& pr) {
    std::vector<ProfilePoint> pts;
    const double len = tool.length;
    auto add = [&](double r, double z) { pts.push_back({r, z, 1, 0}); };
    if (tool.noseRadius > 0) {
        const double r = tool.noseRadius;
        const double a = degToRad(tool.angleA), b = degToRad(tool.angleB);
        const double th0 = a - kPi / 2;
        add(0, 0);
        add(pr.bottomTangentR, pr.bottomTangentZ);
        for (int k = 1; k <= 8; ++k) {
            const double th = th0 + k * (-b - th0) / 8;
            add(pr.cornerCentreR + r * std::cos(th), pr.cornerCentreZ + r * std::sin(th));
        }
        add(pr.sideTangentR, pr.sideTangentZ);
        add(pr.topDiameter / 2, len);
        add(0, len);
    } else {
        add(0, 0);
        add(tool.diameter / 2, pr.coneHeight);
        add(pr.topDiameter / 2, len);
        add(0, len);
    }
    return pts;
}

void drawMillingTool(DrawContext& ctx, const ToolScene& s, const Vec3& tip) {
    if (!finiteVec(tip)) return;
    const ToolFrame fr(tip, s.tilt, s.turn);
    const ToolRecord& t = s.tool;
    const int W = ctx.fb.width(), H = ctx.fb.height();
    if (s.holderKind != 0 && s.holderOn) {
        const int n = modelFacetCount(ctx.view, W, H, tip, largestHolderDiameter(s));
        const float rh = static_cast<float>(t.holderDiameter / 2);
        const float z0 = static_cast<float>(t.length), z1 = static_cast<float>(t.length + t.holderLength);
        // Collet body: bottom disc, cylinder and the ring out to the flange's lower face.
        const float cr[4] = {0, rh, rh, s.holder.d[0] / 2};
        const float cz[4] = {z0, z0, z1, z1};
        smoothRevolved(ctx, s.palette[14], s.wire, fr, cr, cz, 4, n);
        float pr[kHolderProfilePoints], pz[kHolderProfilePoints];
        for (int i = 0; i < kHolderProfilePoints; ++i) {
            pr[i] = s.holder.d[static_cast<size_t>(i)] / 2;
            pz[i] = z1 + s.holder.z[static_cast<size_t>(i)];
        }
        smoothRevolved(ctx, s.palette[13], s.wire, fr, pr, pz, 12, n);
        smoothRevolved(ctx, s.palette[15], s.wire, fr, pr + 11, pz + 11, 7, n);
    }
    if (t.diameter > 0 && s.toolOn) {
        std::vector<float> r, z;
        profileArrays(cutterProfilePoints(t, s.profile), r, z);
        const int n = modelFacetCount(ctx.view, W, H, tip, t.diameter);
        smoothRevolved(ctx, s.cutterColour, s.wire, fr, r.data(), z.data(), static_cast<int>(r.size()), n);
    }
}

namespace {

// One triangle of the imprint. Pass 1 (front faces) sets the mask where the body lies in front of the
// stored surface; pass 2 (back faces) paints where the body's back lies behind it and the mask is set.
void imprintTriangle(FrameBuffer& fb, const ViewState& view, int pass, uint32_t shadedPixel, const Vec3& p1,
                     const Vec3& p2, const Vec3& p3) {
    const ProjectedPoint a = projectPoint(view, p1), b = projectPoint(view, p2), c = projectPoint(view, p3);
    if (a.clipped || b.clipped || c.clipped) return;
    const double ax = screenX(view, a), ay = screenY(view, a);
    const double bx = screenX(view, b), by = screenY(view, b);
    const double cx = screenX(view, c), cy = screenY(view, c);
    const double area = (bx - ax) * (cy - ay) - (cx - ax) * (by - ay);
    if (!(std::fabs(area) > 1e-12) || !std::isfinite(area)) return;
    const Vec3 n = (p2 - p1).cross(p3 - p1);
    const double facing = (view.basis.eye - p1).dot(n);
    if (pass == 1 ? facing <= 0 : facing >= 0) return;
    const double c0 = n.dot(p1 - view.basis.eye);
    const int W = fb.width(), H = fb.height();
    const double minX = std::max(0.0, std::floor(std::min({ax, bx, cx})));
    const double maxX = std::min(W - 1.0, std::ceil(std::max({ax, bx, cx})));
    const double minY = std::max(0.0, std::floor(std::min({ay, by, cy})));
    const double maxY = std::min(H - 1.0, std::ceil(std::max({ay, by, cy})));
    if (minX > maxX || minY > maxY) return;
    const int x0 = static_cast<int>(minX), x1 = static_cast<int>(maxX);
    const int y0 = static_cast<int>(minY), y1 = static_cast<int>(maxY);
    for (int y = y0; y <= y1; ++y) {
        const double py = y + 0.5;
        float* depth = fb.depthRow(y);
        float* mask = fb.secondRow(y);
        uint32_t* px = fb.image().row(y);
        for (int x = x0; x <= x1; ++x) {
            const double qx = x + 0.5;
            const double w0 = (bx - qx) * (cy - py) - (cx - qx) * (by - py);
            const double w1 = (cx - qx) * (ay - py) - (ax - qx) * (cy - py);
            const double w2 = (ax - qx) * (by - py) - (bx - qx) * (ay - py);
            const bool inside = area > 0 ? (w0 >= 0 && w1 >= 0 && w2 >= 0) : (w0 <= 0 && w1 <= 0 && w2 <= 0);
            if (!inside) continue;
            const Vec3 d = rayDirection(view, x, y);
            const double nd = n.dot(d);
            if (nd == 0) continue;
            const float dist = static_cast<float>(std::sqrt(d.dot(d)) * c0 / nd);
            if (pass == 1) {
                mask[x] = dist < depth[x] ? 1.0f : 0.0f;
            } else if (dist > depth[x] && mask[x] == 1.0f) {
                px[x] = shadedPixel;
                depth[x] = dist;
            }
        }
    }
}

}  // namespace

void drawToolImprint(DrawContext& ctx, const ToolScene& s, const Vec3& tip, uint32_t colour) {
    if (ctx.openGl() || !(s.tool.diameter > 0) || !s.toolOn || !finiteVec(tip)) return;
    const ToolFrame fr(tip, s.tilt, s.turn);
    std::vector<float> r, z;
    profileArrays(cutterProfilePoints(s.tool, s.profile), r, z);
    const int n = modelFacetCount(ctx.view, ctx.fb.width(), ctx.fb.height(), tip, s.tool.diameter);
    const int count = static_cast<int>(r.size());
    if (s.wire) {
        const ClipRect clip = ctx.fb.fullClip();
        revolveProfile(
            fr, r.data(), z.data(), count, n,
            [&](const Vec3& a, const Vec3& b, const Vec3&, const Vec3& d, const Vec3&, const Vec3&) {
                drawLine3D(ctx, colour, clip, f3(a), f3(b));
                drawLine3D(ctx, colour, clip, f3(a), f3(d));
            });
        return;
    }
    ctx.fb.clearSecond(0.0f);
    for (int pass = 1; pass <= 2; ++pass) {
        revolveProfile(
            fr, r.data(), z.data(), count, n,
            [&](const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d, const Vec3& n0, const Vec3&) {
                // The far inside seen through the cut: shade with the inward normal.
                const uint32_t px = toPixel(shadeColour(ctx.view, colour, n0 * -1.0));
                imprintTriangle(ctx.fb, ctx.view, pass, px, a, b, c);
                imprintTriangle(ctx.fb, ctx.view, pass, px, a, c, d);
            });
    }
}

namespace {

// A slab between two parallel outlines at heights y0 and y1 of the lathe's Z-X plane (points given
// as (Z, X)); top, bottom and the side faces.
void drawSlab(DrawContext& ctx, uint32_t colour, bool wire, const std::vector<std::pair<double, double>>& pts,
              double y0, double y1) {
    const ClipRect clip = ctx.fb.fullClip();
    const size_t n = pts.size();
    if (n < 3) return;
    auto w = [&](size_t i, double y) { return f3(Vec3{pts[i].second, y, pts[i].first}); };
    for (size_t i = 1; i + 1 < n; ++i) {
        drawTriangle3D(ctx, colour, clip, FaceMode::Both, wire, w(0, y1), w(i, y1), w(i + 1, y1));
        drawTriangle3D(ctx, colour, clip, FaceMode::Both, wire, w(0, y0), w(i, y0), w(i + 1, y0));
    }
    for (size_t i = 0; i < n; ++i) {
        const size_t j = (i + 1) % n;
        drawQuad3D(ctx, colour, clip, FaceMode::Both, wire, w(i, y0), w(j, y0), w(j, y1), w(i, y1));
    }
}

// The geometry of a lathe tool in its plane: insert outline, nose centres and the shank.
struct LatheGeometry {
    std::vector<std::pair<double, double>> insert;  // (Z, X)
    std::vector<std::pair<double, double>> noses;   // nose centres (Z, X)
    std::pair<double, double> shankBase;            // Q3
    double rho = 0;
    bool boringBar = false;
    bool round = false;
    double thickness = 4;
};

bool latheGeometry(const ToolScene& s, LatheGeometry& g) {
    const ToolRecord& t = s.tool;
    const int kind = t.kind;
    if (kind < 0 || kind > 14 || kind == 8 || kind == 9) return false;
    const double a = degToRad(t.angleA), b = degToRad(t.angleB);
    const double rho0 = s.turn - kPi / 2;
    const bool left = kind == 1 || kind == 3 || kind == 5 || kind == 7 || kind == 12 || kind == 14;
    const bool inner = kind >= 4 && kind <= 7 ? true : (kind == 13 || kind == 14);
    const double rho = left ? -rho0 : rho0;
    const double gamma = inner ? 3 * kPi / 2 - a - b : b;
    const Vec3 nc = latheNoseCentre(t, s.position);
    const double Nz = nc.z, Nx = nc.x, r = t.noseRadius, L = t.length;
    const double delta = gamma - kPi / 2;
    const double a1 = delta - rho, a2 = a + delta - rho, a3 = rho + kPi - a - gamma;
    const double k = std::tanh(kPi / 2 - a / 2);
    const std::pair<double, double> P1{Nz - r * std::cos(a1), Nx + r * std::sin(a1)};
    const std::pair<double, double> P2{Nz + r * std::cos(a2), Nx - r * std::sin(a2)};
    const std::pair<double, double> C1{P1.first - r * k * std::sin(a1), P1.second - r * k * std::cos(a1)};
    const std::pair<double, double> Q3{C1.first + L * std::sin(a1), C1.second + L * std::cos(a1)};
    const std::pair<double, double> C2{Nz + r * std::cos(a2) - r * k * std::cos(a3),
                                       Nx - r * std::sin(a2) - r * k * std::sin(a3)};
    const std::pair<double, double> Q2{C2.first + L * std::sin(a2), C2.second + L * std::cos(a2)};
    g.rho = rho;
    g.noses = {{Nz, Nx}};
    g.shankBase = Q3;
    g.round = kind == 10;
    g.boringBar = inner;
    const bool blade = kind == 2 || kind == 3 || kind == 6 || kind == 7 || kind >= 11;
    g.thickness = g.round ? r / 2 : blade ? 3 : 4;
    if (blade) {
        // The second nose lies the groove width (less the nose rounding) along the blade's front.
        const double wprime = t.holderLength - 2 * r * std::tan((kPi - a) / 4);
        const double dir = a / 2 + gamma - kPi / 2 - rho;
        g.noses.push_back({Nz + wprime * std::cos(dir), Nx + wprime * std::sin(dir)});
    }
    if (!g.round) g.insert = {P1, P2, Q2, Q3};
    return true;
}

void drawLatheSolid(DrawContext& ctx, const ToolScene& s) {
    const ToolRecord& t = s.tool;
    if (t.kind == 8 || t.kind == 9) {
        ToolScene drill = s;
        drill.holderKind = 0;
        drill.cutterColour = s.palette[7];
        const Vec3 tip = millingTipPoint(t, s.position);
        drawMillingTool(ctx, drill, tip);
        return;
    }
    LatheGeometry g;
    if (!latheGeometry(s, g)) return;
    const double y0 = s.position.y;
    const uint32_t toolColour = s.palette[7];
    if (s.toolOn) {
        if (!g.insert.empty()) drawSlab(ctx, toolColour, s.wire, g.insert, y0, y0 + g.thickness);
        ShapeStyle st{toolColour, s.wire, FaceMode::Front};
        const double noseDiameter = std::max(2 * t.noseRadius, 0.01);
        for (const auto& nz : g.noses) {
            // A cylinder along Y: tilt -pi/2 turns local +Z onto +Y.
            drawTube(ctx, st, Vec3{nz.second, y0, nz.first}, noseDiameter, 0, g.thickness, {-kPi / 2, 0});
        }
    }
    if (s.holderOn) {
        const double sz = t.diameter, len = 150;
        const double cr = std::cos(g.rho), sr = std::sin(g.rho);
        const double cz = g.shankBase.first + (sz * cr - len * sr) / 2;
        const double cx = g.shankBase.second + (sz * sr + len * cr) / 2;
        ShapeStyle st{kShankColour, s.wire, FaceMode::Front};
        if (g.boringBar) {
            const Vec3 axis{cr, 0, -sr};  // (X, Y, Z) of the long direction (-sin, cos) in (Z, X)
            const Vec3 start = Vec3{cx, y0 + sz / 2, cz} - axis * (len / 2);
            const DirectionAngles da = directionAngles(axis.x, axis.y, axis.z);
            drawTube(ctx, st, start, sz, 0, len, {da.b, da.a});
        } else {
            // Box: long side along (Z, X) = (-sin rho, cos rho), section s x s.
            std::vector<std::pair<double, double>> box;
            const double hl = len / 2, hs = sz / 2;
            const double lz = -sr, lx = cr, wz = cr, wx = sr;
            box.push_back({cz - lz * hl - wz * hs, cx - lx * hl - wx * hs});
            box.push_back({cz + lz * hl - wz * hs, cx + lx * hl - wx * hs});
            box.push_back({cz + lz * hl + wz * hs, cx + lx * hl + wx * hs});
            box.push_back({cz - lz * hl + wz * hs, cx - lx * hl + wx * hs});
            drawSlab(ctx, kShankColour, s.wire, box, y0, y0 + sz);
        }
    }
}

}  // namespace

void drawWorkingTool(DrawContext& ctx, ViewState& view, const ToolScene& s) {
    if (isMilling(s.kind)) {
        const Vec3 tip = millingTipPoint(s.tool, s.position);
        drawMillingTool(ctx, s, tip);
        view.lightGain = 2.5f;
        drawToolImprint(ctx, s, tip, s.palette[9]);
        view.lightGain = 1.0f;
    } else if (isTurning(s.kind)) {
        if (!s.toolOn && !s.holderOn) return;
        drawLatheSolid(ctx, s);
    } else {
        const Vec3f a{static_cast<float>(s.position.x), static_cast<float>(s.position.y),
                      static_cast<float>(s.tool.angleA)};
        const Vec3f b{static_cast<float>(s.position.x), static_cast<float>(s.position.y),
                      static_cast<float>(s.tool.angleB)};
        drawLine3D(ctx, kWireColour, ctx.fb.fullClip(), a, b);
    }
}

float advanceSpinPhase(float phase, int spindle) {
    constexpr float kStep = 0.0872664f;
    constexpr float kFull = static_cast<float>(kTwoPi);
    if (spindle == 1) phase -= kStep;
    if (spindle == 2) phase += kStep;
    if (phase <= -kFull) phase += kFull;
    if (phase >= kFull) phase -= kFull;
    return phase;
}

OutlineBounds drawToolOutline(Image32* target, const ViewState& view, const ToolScene& s, float spinPhase,
                              PixelRecord* drawn) {
    OutlineBounds out;
    if (!isMilling(s.kind)) return out;
    const Vec3 tip = millingTipPoint(s.tool, s.position);
    if (!finiteVec(tip)) return out;
    const ToolFrame fr(tip, s.tilt, s.turn);
    const int W = target ? target->width() : 1 << 20, H = target ? target->height() : 1 << 20;
    const ClipRect clip{0, 0, W - 1, H - 1};
    struct Px {
        int32_t x = 0, y = 0;
        bool ok = false;
    };
    auto line = [&](PixelRect& bounds, uint32_t pixelColour, const Px& p, const Px& q) {
        if (!p.ok || !q.ok) return;
        bounds.include(p.x, p.y);
        bounds.include(q.x, q.y);
        if (!target) return;
        if (drawn)
            paintLine2DRecorded(*target, pixelColour, clip, p.x, p.y, q.x, q.y, *drawn);
        else
            paintLine2D(*target, pixelColour, clip, p.x, p.y, q.x, q.y);
    };
    // Circles at the given profile points and generator lines through them. Every point is projected
    // once and shared by the circle and the generator line that meet there.
    thread_local std::vector<Px> pts;
    auto outline = [&](PixelRect& bounds, uint32_t colour, const float* r, const float* z, int count, int n) {
        const int steps = n + 1;
        // The generator angles once per outline, not per line (n is at most 16).
        double cs[18], sn[18];
        for (int k = 0; k <= steps; ++k) {
            const double t = kTwoPi * k / steps + spinPhase;
            cs[k] = std::cos(t);
            sn[k] = std::sin(t);
        }
        const int stride = steps + 1;
        pts.resize(static_cast<size_t>(count) * static_cast<size_t>(stride));
        for (int i = 0; i < count; ++i)
            for (int k = 0; k <= steps; ++k) {
                Px& p = pts[static_cast<size_t>(i * stride + k)];
                p.ok = screenOf(view, fr.at(r[i] * cs[k], r[i] * sn[k], z[i]), p.x, p.y);
            }
        for (int i = 0; i < count; ++i) {
            for (int k = 0; k < steps; ++k) {
                const Px& a = pts[static_cast<size_t>(i * stride + k)];
                line(bounds, colour, a, pts[static_cast<size_t>(i * stride + k + 1)]);
                if (i + 1 < count) line(bounds, colour, a, pts[static_cast<size_t>((i + 1) * stride + k)]);
            }
        }
    };
    const ToolRecord& t = s.tool;
    if (s.holderKind != 0 && s.holderOn) {
        const int n = modelFacetCount(view, W, H, tip, largestHolderDiameter(s));
        const float rh = static_cast<float>(t.holderDiameter / 2);
        const float z0 = static_cast<float>(t.length), z1 = static_cast<float>(t.length + t.holderLength);
        const float cr[2] = {rh, rh}, cz[2] = {z0, z1};
        outline(out.holder, s.palette[14], cr, cz, 2, n);
        float pr[13], pz[13];
        for (int i = 0; i < 13; ++i) {
            pr[i] = s.holder.d[static_cast<size_t>(i)] / 2;
            pz[i] = z1 + s.holder.z[static_cast<size_t>(i)];
        }
        outline(out.holder, s.palette[13], pr, pz, 13, n);
    }
    if (t.diameter > 0 && s.toolOn) {
        thread_local std::vector<float> r, z;
        profileArrays(cutterProfilePoints(t, s.profile), r, z);
        const int n = modelFacetCount(view, W, H, tip, t.diameter);
        outline(out.tool, s.cutterColour, r.data(), z.data(), static_cast<int>(r.size()), n);
    }
    return out;
}

PixelRect drawFlatLatheTool(Image32& target, const ViewState& view, const ToolScene& s, uint32_t colour,
                            bool mirrored) {
    PixelRect bounds;
    const ClipRect clip{0, 0, target.width() - 1, target.height() - 1};
    const uint32_t px = toPixel(colour);
    const double sign = mirrored ? -1 : 1;
    auto scr = [&](double z, double x, ScreenPoint& sp) {
        const ProjectedPoint pp = projectPoint(view, Vec3{sign * x, s.position.y, z});
        if (pp.clipped) return false;
        sp = {static_cast<float>(screenX(view, pp)), static_cast<float>(screenY(view, pp))};
        if (!(std::fabs(sp.x) < 1e7f) || !(std::fabs(sp.y) < 1e7f)) return false;
        bounds.include(static_cast<int32_t>(std::floor(sp.x)), static_cast<int32_t>(std::floor(sp.y)));
        bounds.include(static_cast<int32_t>(std::ceil(sp.x)), static_cast<int32_t>(std::ceil(sp.y)));
        return true;
    };
    auto polygon = [&](const std::vector<std::pair<double, double>>& pts) {
        std::vector<ScreenPoint> sp(pts.size());
        for (size_t i = 0; i < pts.size(); ++i) {
            if (!scr(pts[i].first, pts[i].second, sp[i])) return;
        }
        for (size_t i = 1; i + 1 < sp.size(); ++i) paintTriangle(target, px, clip, sp[0], sp[i], sp[i + 1]);
    };
    auto disc = [&](double z, double x, double radius) {
        std::vector<std::pair<double, double>> pts;
        for (int k = 0; k < 16; ++k) {
            const double t = kTwoPi * k / 16;
            pts.push_back({z + radius * std::cos(t), x + radius * std::sin(t)});
        }
        polygon(pts);
    };
    const ToolRecord& t = s.tool;
    if (t.kind == 8 || t.kind == 9) {
        // The drill's outline mirrored about its axis, in the plane of the tool axis and X.
        const Vec3 tip = millingTipPoint(t, s.position);
        const std::vector<ProfilePoint> pr = cutterProfilePoints(t, s.profile);
        const Vec3 ax = rotateLocal(0, 0, 1, s.tilt, s.turn);
        const Vec3 side = rotateLocal(1, 0, 0, s.tilt, s.turn);
        for (size_t i = 0; i + 1 < pr.size(); ++i) {
            std::vector<std::pair<double, double>> q;
            for (double sg : {1.0, -1.0}) {
                const Vec3 a = tip + ax * pr[i].z + side * (sg * pr[i].radius);
                const Vec3 b = tip + ax * pr[i + 1].z + side * (sg * pr[i + 1].radius);
                if (sg > 0) {
                    q.push_back({a.z, a.x});
                    q.push_back({b.z, b.x});
                } else {
                    q.push_back({b.z, b.x});
                    q.push_back({a.z, a.x});
                }
            }
            polygon(q);
        }
        return bounds.clippedTo(target.width(), target.height());
    }
    LatheGeometry g;
    if (!latheGeometry(s, g)) return bounds;
    if (s.toolOn) {
        for (const auto& n : g.noses) disc(n.first, n.second, std::max(t.noseRadius, 0.05));
        if (!g.insert.empty()) polygon(g.insert);
    }
    if (s.holderOn) {
        const bool shortShank = t.kind == 0 || t.kind == 1 || t.kind == 4 || t.kind == 5;
        const double len = shortShank ? 50 : 150, sz = t.diameter;
        const double cr = std::cos(g.rho), sr = std::sin(g.rho);
        const auto base = g.shankBase;
        polygon({base,
                 {base.first + sz * cr, base.second + sz * sr},
                 {base.first + sz * cr - len * sr, base.second + sz * sr + len * cr},
                 {base.first - len * sr, base.second + len * cr}});
        // The region between the shank and the insert.
        if (g.insert.size() == 4)
            polygon({g.insert[3], g.insert[2], {base.first + sz * cr, base.second + sz * sr}});
    }
    return bounds.clippedTo(target.width(), target.height());
}

}  // namespace vantrel
