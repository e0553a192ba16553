#include "render/view.h"

#include <algorithm>
#include <cmath>

#include "core/rounding.h"

namespace vantrel {

namespace {

// Projected offsets beyond this are far outside any screen; clamping them before rounding keeps the
// pixel offsets (and origin + offset) well inside the 32-bit range.
constexpr double kMaxOffset = 1.0e9;

int32_t pixelOffset(double v) {
    if (std::isnan(v)) return 0;
    return RoundHalfAway(std::clamp(v, -kMaxOffset, kMaxOffset));
}

}  // namespace

void updateViewBasis(ViewState& view, MachineKind kind) {
    ViewBasis& b = view.basis;
    b.sA = std::sin(view.viewA);
    b.cA = std::cos(view.viewA);
    b.sB = std::sin(view.viewB);
    b.cB = std::cos(view.viewB);
    b.n = {b.sA * b.cB, b.sA * b.sB, b.cA};
    b.r = {-b.sB, b.cB, 0};
    b.u = {-b.cA * b.cB, -b.cA * b.sB, b.sA};
    const double d = view.kyori;
    const double e = view.eyeGap;
    b.planePoint = b.n * d;
    b.eyeOffset = b.n * (d + e);
    b.nE = b.n * e;
    b.eye = b.eyeOffset - view.offset();
    b.kind = kind;
    b.turned = kind == MachineKind::HorizontalMill || kind == MachineKind::Lathe;
}

ProjectedPoint projectPoint(const ViewState& view, const Vec3& p) {
    const ViewBasis& b = view.basis;
    ProjectedPoint out;
    const Vec3 q = p + view.offset();
    double f = 1.0;
    double k = view.scale;
    if (view.parallel) {
        k = view.scale / 10.0;
    } else {
        const double qn = q.dot(b.n);
        double dPlane = view.kyori - qn;
        const double dEye = (static_cast<double>(view.kyori) + view.eyeGap) - qn;
        if (!(dEye > 0)) {
            out.clipped = true;
            return out;
        }
        if (!(dPlane > 0)) {
            out.clipped = true;
            dPlane = 0;
        }
        f = 1.0 - std::fabs(dPlane / dEye);
    }
    const double xa = k * f * q.dot(b.r);
    const double ya = -k * f * q.dot(b.u);
    if (b.turned) {
        out.X = -ya;
        out.Y = xa;
    } else {
        out.X = xa;
        out.Y = ya;
    }
    out.px = pixelOffset(out.X);
    out.py = pixelOffset(out.Y);
    return out;
}

Vec3 rayDirection(const ViewState& view, double x, double y) {
    const ViewBasis& b = view.basis;
    double s, t;
    if (b.turned) {
        t = (x - view.originX) / view.scale;
        s = (y - view.originY) / view.scale;
    } else {
        s = (x - view.originX) / view.scale;
        t = (view.originY - y) / view.scale;
    }
    return b.r * s + b.u * t - b.nE;
}

std::optional<Vec3> screenToPlane(const ViewState& view, double px, double py, const Vec3& planePoint,
                                  const Vec3& planeNormal) {
    const Vec3 d = rayDirection(view, px, py);
    const double den = planeNormal.dot(d);
    if (den == 0 || !std::isfinite(den)) return std::nullopt;
    const Vec3& e = view.basis.eye;
    const double lambda = planeNormal.dot(planePoint - e) / den;
    Vec3 w = e + d * lambda;
    if (!std::isfinite(w.x) || !std::isfinite(w.y) || !std::isfinite(w.z)) return std::nullopt;
    return w;
}

std::optional<Vec3> castToPlane(const ViewState& view, double px, double py, const Vec3& planePoint,
                                const Vec3& planeNormal) {
    if (!view.parallel) return screenToPlane(view, px, py, planePoint, planeNormal);
    // The parallel projection puts q = p + offset at (k q.r, -k q.u) with k = scale / 10: every point
    // on the line along n through the pixel's point of the r-u plane lands on that pixel.
    const ViewBasis& b = view.basis;
    const double k = view.scale / 10.0;
    if (!(k > 0)) return std::nullopt;
    double s, t;
    if (b.turned) {
        t = (px - view.originX) / k;
        s = (py - view.originY) / k;
    } else {
        s = (px - view.originX) / k;
        t = (view.originY - py) / k;
    }
    const Vec3 base = b.r * s + b.u * t - view.offset();
    const double den = planeNormal.dot(b.n);
    if (den == 0 || !std::isfinite(den)) return std::nullopt;
    const double lambda = planeNormal.dot(planePoint - base) / den;
    const Vec3 w = base + b.n * lambda;
    if (!std::isfinite(w.x) || !std::isfinite(w.y) || !std::isfinite(w.z)) return std::nullopt;
    return w;
}

Vec3 rotateLocal(double x, double y, double z, double b, double a) {
    const double cb = std::cos(b), sb = std::sin(b);
    const double ca = std::cos(a), sa = std::sin(a);
    const double y1 = y * cb - z * sb;
    const double z1 = y * sb + z * cb;
    return {x * ca + z1 * sa, y1, z1 * ca - x * sa};
}

DirectionAngles directionAngles(double dx, double dy, double dz) {
    const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(len > 0) || !std::isfinite(len)) return {0, 0};
    const double s = std::clamp(-dy / len, -1.0, 1.0);
    return {std::asin(s), std::atan2(dx, dz)};
}

double angleBetween(const Vec3& v, const Vec3& w) {
    const double l = v.length() * w.length();
    if (!(l > 0) || !std::isfinite(l)) return 0;
    const double c = std::clamp(v.dot(w) / l, -1.0, 1.0);
    return std::acos(c);
}

}  // namespace vantrel
