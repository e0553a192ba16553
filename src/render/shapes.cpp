#include "render/shapes.h"

#include <algorithm>
#include <cmath>

#include "core/rounding.h"
#include "render/view.h"

namespace vantrel {

namespace {

// Local frame of a shape: local points are turned with rotateLocal and moved to the position.
struct Frame {
    Vec3 position;
    Orientation o;
    Vec3f point(double x, double y, double z) const {
        const Vec3 w = position + rotateLocal(x, y, z, o.tilt, o.turn);
        return {static_cast<float>(w.x), static_cast<float>(w.y), static_cast<float>(w.z)};
    }
    Vec3f point(const Vec3& l) const { return point(l.x, l.y, l.z); }
    Vec3f normal(double x, double y, double z) const {
        const Vec3 w = rotateLocal(x, y, z, o.tilt, o.turn);
        return {static_cast<float>(w.x), static_cast<float>(w.y), static_cast<float>(w.z)};
    }
    Vec3 axis() const { return rotateLocal(0, 0, 1, o.tilt, o.turn); }
};

Vec3 ring(double radius, double angle, double z) {
    return {radius * std::cos(angle), radius * std::sin(angle), z};
}

ClipRect clipOf(const DrawContext& ctx) {
    return ctx.fb.fullClip();
}

void quad(DrawContext& ctx, const ShapeStyle& st, const Frame& f, const Vec3& a, const Vec3& b, const Vec3& c,
          const Vec3& d) {
    drawQuad3D(ctx, st.colour, clipOf(ctx), st.faceMode, st.wire, f.point(a), f.point(b), f.point(c),
               f.point(d));
}

void triangle(DrawContext& ctx, const ShapeStyle& st, const Frame& f, const Vec3& a, const Vec3& b,
              const Vec3& c) {
    drawTriangle3D(ctx, st.colour, clipOf(ctx), st.faceMode, st.wire, f.point(a), f.point(b), f.point(c));
}

// A smooth quad with local normals na..nd.
void smooth(DrawContext& ctx, const ShapeStyle& st, const Frame& f, const Vec3& a, const Vec3& b,
            const Vec3& c, const Vec3& d, const Vec3& na, const Vec3& nb, const Vec3& nc, const Vec3& nd) {
    drawSmoothQuad3D(ctx, st.colour, clipOf(ctx), st.faceMode, st.wire, f.point(a), f.point(b), f.point(c),
                     f.point(d), f.normal(na.x, na.y, na.z), f.normal(nb.x, nb.y, nb.z),
                     f.normal(nc.x, nc.y, nc.z), f.normal(nd.x, nd.y, nd.z));
}

Vec3 radial(double angle) {
    return {std::cos(angle), std::sin(angle), 0};
}

// A negative length runs the shape the other way along its axis; the same solid starts at the far end.
void normaliseLength(Frame& f, double& length) {
    if (length < 0) {
        f.position = f.position + f.axis() * length;
        length = -length;
    }
}

bool usable(double v) {
    return std::isfinite(v);
}

}  // namespace

ScreenSize measureOnScreen(const ViewState& view, int width, int height, const Vec3& p, double radius) {
    const Vec3 toEye = view.basis.eye - p;
    const DirectionAngles da = directionAngles(toEye.x, toEye.y, toEye.z);
    const Vec3 v = rotateLocal(radius, 0, 0, da.b + kPi / 2, da.a);
    const ProjectedPoint a = projectPoint(view, p + v);
    const ProjectedPoint b = projectPoint(view, p - v);
    const double dx = static_cast<double>(a.px) - b.px;
    const double dy = static_cast<double>(a.py) - b.py;
    ScreenSize s;
    s.dpx = std::sqrt(dx * dx + dy * dy);
    s.largerThanScreen = std::fabs(dx) > width - 1 || std::fabs(dy) > height - 1;
    return s;
}

int tubeHalfSegments(ScreenSize s) {
    if (s.largerThanScreen) return 8;
    return std::clamp(RoundHalfAway(s.dpx / 6) + 2, 3, 8);
}

int roundPrismSegments(ScreenSize s) {
    if (s.largerThanScreen) return 48;
    return std::clamp(2 * RoundHalfAway(s.dpx / 6) + 2, 6, 48);
}

int frustumSegments(ScreenSize s) {
    return std::clamp(saturatingToInt32(s.dpx / 6) + 2, 8, 24);
}

int revolvedHalfSegments(ScreenSize s) {
    if (s.largerThanScreen) return 16;
    return std::clamp(RoundHalfAway(s.dpx / 6) + 2, 3, 16);
}

double arcStep(ScreenSize s) {
    return s.dpx >= 32 ? kPi / 24 : 4 * kPi / (s.dpx + 2);
}

void drawTube(DrawContext& ctx, const ShapeStyle& st, const Vec3& position, double outerDiameter,
              double innerDiameter, double length, Orientation o) {
    if (!(outerDiameter > 0) || !usable(innerDiameter) || !usable(length) || length == 0) return;
    Frame f{position, o};
    normaliseLength(f, length);
    const double ro = outerDiameter / 2;
    const double ri = std::clamp(innerDiameter / 2, 0.0, ro);
    const bool hollow = ri > 0;
    const int m = tubeHalfSegments(measureOnScreen(ctx.view, ctx.fb.width(), ctx.fb.height(), position, ro));
    const double step = kPi / m;
    const Vec3 c0{0, 0, 0}, c1{0, 0, length};
    for (int j = 0; j < 2 * m; ++j) {
        const double t0 = j * step, t1 = (j + 1) * step;
        const Vec3 o0 = ring(ro, t0, 0), o1 = ring(ro, t1, 0), o0l = ring(ro, t0, length),
                   o1l = ring(ro, t1, length);
        if (hollow) {
            const Vec3 i0 = ring(ri, t0, 0), i1 = ring(ri, t1, 0), i0l = ring(ri, t0, length),
                       i1l = ring(ri, t1, length);
            smooth(ctx, st, f, i0, i0l, i1l, i1, -radial(t0), -radial(t0), -radial(t1), -radial(t1));
            smooth(ctx, st, f, o0, o1, o1l, o0l, radial(t0), radial(t1), radial(t1), radial(t0));
            quad(ctx, st, f, o1, o0, i0, i1);
            quad(ctx, st, f, o0l, o1l, i1l, i0l);
        } else {
            smooth(ctx, st, f, o0, o1, o1l, o0l, radial(t0), radial(t1), radial(t1), radial(t0));
            triangle(ctx, st, f, c0, o1, o0);
            triangle(ctx, st, f, c1, o0l, o1l);
        }
    }
}

Vec3 prismCorner(double sizeX, double sizeY, int sides, int k) {
    const double step = 2 * kPi / sides;
    const double t0 = k * step, t1 = (k + 1) * step;
    const double s = std::sin(step);
    return {(sizeX / 2) * (std::sin(t1) - std::sin(t0)) / s, (sizeY / 2) * (std::cos(t0) - std::cos(t1)) / s,
            0};
}

void drawPrism(DrawContext& ctx, const ShapeStyle& st, const Vec3& position, double sizeX, double sizeY,
               double thickness, double length, int sides, Orientation o) {
    if (!(sizeX > 0) || !(sizeY > 0) || !usable(length) || length == 0 || !usable(thickness)) return;
    Frame f{position, o};
    normaliseLength(f, length);
    const bool round = sides <= 2;
    const bool hollow = thickness > 0 && sizeX / 2 - thickness > 0 && sizeY / 2 - thickness > 0;
    int n = 0;
    if (round) {
        n = roundPrismSegments(
            measureOnScreen(ctx.view, ctx.fb.width(), ctx.fb.height(), position, sizeY / 2));
    } else {
        n = std::min(sides, 64);
    }
    // Outline points of the outer and inner rings, with the radial direction for the round prism.
    auto outer = [&](int k) {
        if (!round) return prismCorner(sizeX, sizeY, n, k % n);
        const double t = 2 * kPi * k / n;
        return Vec3{sizeX / 2 * std::cos(t), sizeY / 2 * std::sin(t), 0};
    };
    auto inner = [&](int k) {
        if (!round) return prismCorner(sizeX - 2 * thickness, sizeY - 2 * thickness, n, k % n);
        const double t = 2 * kPi * k / n;
        return Vec3{(sizeX / 2 - thickness) * std::cos(t), (sizeY / 2 - thickness) * std::sin(t), 0};
    };
    const Vec3 up{0, 0, length};
    const Vec3 c0{0, 0, 0}, c1{0, 0, length};
    for (int k = 0; k < n; ++k) {
        const Vec3 o0 = outer(k), o1 = outer(k + 1);
        if (round) {
            smooth(ctx, st, f, o0, o1, o1 + up, o0 + up, o0, o1, o1, o0);
        } else {
            quad(ctx, st, f, o0, o1, o1 + up, o0 + up);
        }
        if (hollow) {
            const Vec3 i0 = inner(k), i1 = inner(k + 1);
            if (round)
                smooth(ctx, st, f, i0, i0 + up, i1 + up, i1, -i0, -i0, -i1, -i1);
            else
                quad(ctx, st, f, i0, i0 + up, i1 + up, i1);
            quad(ctx, st, f, o1, o0, i0, i1);
            quad(ctx, st, f, o0 + up, o1 + up, i1 + up, i0 + up);
        } else {
            triangle(ctx, st, f, c0, o1, o0);
            triangle(ctx, st, f, c1, o0 + up, o1 + up);
        }
    }
}

void drawFrustum(DrawContext& ctx, const ShapeStyle& st, const Vec3& position, double firstDiameter,
                 double secondDiameter, double length, Orientation o, int segments) {
    if (!usable(firstDiameter) || !usable(secondDiameter) || !usable(length)) return;
    Frame f{position, o};
    if (length < 0) {
        normaliseLength(f, length);
        std::swap(firstDiameter, secondDiameter);
    }
    const double r1 = firstDiameter / 2, r2 = secondDiameter / 2;
    int m = segments;
    if (m <= 0) {
        m = frustumSegments(measureOnScreen(ctx.view, ctx.fb.width(), ctx.fb.height(), position,
                                            std::max(std::fabs(r1), std::fabs(r2))));
    }
    m = std::min(m, 1024);
    const double step = 2 * kPi / m;
    const Vec3 c0{0, 0, 0}, c1{0, 0, length};
    if (firstDiameter != 0) {
        for (int j = 0; j < m; ++j) {
            const double t0 = j * step, t1 = (j + 1) * step;
            smooth(ctx, st, f, ring(r1, t0, 0), ring(r1, t1, 0), ring(r2, t1, length), ring(r2, t0, length),
                   radial(t0), radial(t1), radial(t1), radial(t0));
        }
        for (int j = 0; j < m; ++j) {
            const double t0 = j * step, t1 = (j + 1) * step;
            triangle(ctx, st, f, c0, ring(r1, t1, 0), ring(r1, t0, 0));
        }
    }
    if (secondDiameter > 0) {
        for (int j = 0; j < m; ++j) {
            const double t0 = j * step, t1 = (j + 1) * step;
            triangle(ctx, st, f, c1, ring(r2, t0, length), ring(r2, t1, length));
        }
    }
}

void drawBlock(DrawContext& ctx, const ShapeStyle& st, const Vec3& centre, double sizeX, double sizeY,
               double sizeZ, double bevel, Orientation o) {
    if (!(sizeX > 0) || !(sizeY > 0) || !(sizeZ > 0) || !usable(bevel)) return;
    const Frame f{centre, o};
    const double hx = sizeX / 2, hy = sizeY / 2, hz = sizeZ / 2;
    const double c = std::clamp(bevel, 0.0, std::min({hx, hy, hz}));
    // Faces are wound so that their normal points away from the centre (a convex solid).
    auto outward = [&](Vec3* p, int count) {
        Vec3 centroid;
        for (int i = 0; i < count; ++i) centroid += p[i];
        const Vec3 normal = (p[1] - p[0]).cross(p[2] - p[0]);
        if (normal.dot(centroid) < 0) std::reverse(p, p + count);
    };
    auto face4 = [&](Vec3 a, Vec3 b, Vec3 cc, Vec3 d) {
        Vec3 p[4] = {a, b, cc, d};
        outward(p, 4);
        quad(ctx, st, f, p[0], p[1], p[2], p[3]);
    };
    if (c <= 0) {
        for (int axis = 0; axis < 3; ++axis) {
            for (int side = -1; side <= 1; side += 2) {
                Vec3 p[4];
                static constexpr int kU[4] = {-1, 1, 1, -1}, kV[4] = {-1, -1, 1, 1};
                for (int i = 0; i < 4; ++i) {
                    const double a = kU[i], b = kV[i];
                    if (axis == 0) p[i] = {side * hx, a * hy, b * hz};
                    if (axis == 1) p[i] = {a * hx, side * hy, b * hz};
                    if (axis == 2) p[i] = {a * hx, b * hy, side * hz};
                }
                face4(p[0], p[1], p[2], p[3]);
            }
        }
        return;
    }
    // Three vertices per corner, one on each of the corner's faces, inset by the bevel.
    auto v = [&](int sx, int sy, int sz, int face) {
        const double x = sx * (face == 0 ? hx : hx - c);
        const double y = sy * (face == 1 ? hy : hy - c);
        const double z = sz * (face == 2 ? hz : hz - c);
        return Vec3{x, y, z};
    };
    static constexpr int kU[4] = {-1, 1, 1, -1}, kV[4] = {-1, -1, 1, 1};
    // The six inset faces.
    for (int s = -1; s <= 1; s += 2) {
        Vec3 px[4], py[4], pz[4];
        for (int i = 0; i < 4; ++i) {
            px[i] = v(s, kU[i], kV[i], 0);
            py[i] = v(kU[i], s, kV[i], 1);
            pz[i] = v(kU[i], kV[i], s, 2);
        }
        face4(px[0], px[1], px[2], px[3]);
        face4(py[0], py[1], py[2], py[3]);
        face4(pz[0], pz[1], pz[2], pz[3]);
    }
    // The twelve edge bevels: an edge along one axis joins the vertices of the two faces it separates.
    for (int a = -1; a <= 1; a += 2) {
        for (int b = -1; b <= 1; b += 2) {
            face4(v(-1, a, b, 1), v(1, a, b, 1), v(1, a, b, 2), v(-1, a, b, 2));  // along X
            face4(v(a, -1, b, 0), v(a, 1, b, 0), v(a, 1, b, 2), v(a, -1, b, 2));  // along Y
            face4(v(a, b, -1, 0), v(a, b, 1, 0), v(a, b, 1, 1), v(a, b, -1, 1));  // along Z
        }
    }
    // The eight corner triangles.
    for (int sx = -1; sx <= 1; sx += 2) {
        for (int sy = -1; sy <= 1; sy += 2) {
            for (int sz = -1; sz <= 1; sz += 2) {
                Vec3 p[3] = {v(sx, sy, sz, 0), v(sx, sy, sz, 1), v(sx, sy, sz, 2)};
                outward(p, 3);
                triangle(ctx, st, f, p[0], p[1], p[2]);
            }
        }
    }
}

void drawRevolved(DrawContext& ctx, const ShapeStyle& st, const Vec3& position, Orientation o,
                  std::span<const ProfilePoint> profile) {
    if (profile.size() < 2) return;
    double rmax = 0;
    for (const ProfilePoint& p : profile) {
        if (!usable(p.radius) || !usable(p.z)) return;
        rmax = std::max(rmax, std::fabs(p.radius));
    }
    const Frame f{position, o};
    const int m =
        revolvedHalfSegments(measureOnScreen(ctx.view, ctx.fb.width(), ctx.fb.height(), position, rmax));
    const double step = kPi / m;
    for (size_t i = 0; i + 1 < profile.size(); ++i) {
        const ProfilePoint& a = profile[i];
        const ProfilePoint& b = profile[i + 1];
        for (int j = 0; j < 2 * m; ++j) {
            const double t0 = j * step, t1 = (j + 1) * step;
            auto nrm = [](const ProfilePoint& p, double t) {
                return Vec3{p.normalRadial * std::cos(t), p.normalRadial * std::sin(t), p.normalAxial};
            };
            smooth(ctx, st, f, ring(a.radius, t0, a.z), ring(a.radius, t1, a.z), ring(b.radius, t1, b.z),
                   ring(b.radius, t0, b.z), nrm(a, t0), nrm(a, t1), nrm(b, t1), nrm(b, t0));
        }
    }
}

void drawArc3D(DrawContext& ctx, uint32_t colour, const Vec3& centre, double diameter, Orientation o,
               const Vec3& start, const Vec3& end, int turns, bool fill, int mode) {
    if (mode < 0 || mode > 6 || !(diameter > 0) || !std::isfinite(diameter)) return;
    const double radius = diameter / 2;
    const Vec3 ax = rotateLocal(1, 0, 0, o.tilt, o.turn);
    const Vec3 ay = rotateLocal(0, 1, 0, o.tilt, o.turn);
    const Vec3 az = rotateLocal(0, 0, 1, o.tilt, o.turn);
    auto angleOf = [&](const Vec3& p) {
        const Vec3 v = p - centre;
        const Vec3 inPlane = v - az * v.dot(az);
        const double a = angleBetween(inPlane, ax);
        return v.dot(ay) < 0 ? -a : a;
    };
    const double a0 = angleOf(start), a1 = angleOf(end);
    const double h0 = (start - centre).dot(az), h1 = (end - centre).dot(az);
    const bool clockwise = mode != 3 && mode != 5;
    double sweep;
    if (a0 == a1 || start == end) {
        sweep = kTwoPi;
    } else {
        sweep = clockwise ? a0 - a1 : a1 - a0;
        while (sweep <= 0) sweep += kTwoPi;
        while (sweep > kTwoPi) sweep -= kTwoPi;
    }
    // Far more turns than any screen can show would only stall the drawing.
    if (turns > 1) sweep += std::min(turns - 1, 1000) * kTwoPi;
    const double step = arcStep(measureOnScreen(ctx.view, ctx.fb.width(), ctx.fb.height(), centre, radius));
    if (!(step > 0)) return;
    auto at = [&](double s, Vec3* axisPoint) {
        const double ang = clockwise ? a0 - s : a0 + s;
        const double h = h0 + (h1 - h0) * (s / sweep);
        if (axisPoint) *axisPoint = centre + az * h;
        return centre + (ax * std::cos(ang) + ay * std::sin(ang)) * radius + az * h;
    };
    auto f3 = [](const Vec3& p) {
        return Vec3f{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    };
    const ClipRect clip = clipOf(ctx);
    double s = 0;
    Vec3 axisPrev;
    Vec3 prev = at(0, &axisPrev);
    for (int guard = 0; s < sweep && guard < 200000; ++guard) {
        const double next = std::min(s + step, sweep);
        Vec3 axisNext;
        const Vec3 p = at(next, &axisNext);
        if (mode == 6) {
            paintQuad3D(ctx, colour, clip, PaintMode::Restore, 0, f3(axisPrev), f3(prev), f3(p), f3(p));
        } else if (fill) {
            paintQuad3D(ctx, colour, clip, PaintMode::Fill, 0, f3(axisPrev), f3(prev), f3(p), f3(p));
        } else {
            OverlayTarget target = OverlayTarget::ScenePen;
            if (mode == 1) target = OverlayTarget::Frame;
            if (mode == 4 || mode == 5) target = OverlayTarget::Window;
            drawOverlayLine(ctx, target, f3(prev), f3(p));
        }
        prev = p;
        axisPrev = axisNext;
        s = next;
    }
}

}  // namespace vantrel
