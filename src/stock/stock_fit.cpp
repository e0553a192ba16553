#include "stock/stock_fit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vantrel {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

double& component(Vec3& v, int axis) {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}
double component(const Vec3& v, int axis) {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

}  // namespace

void PathExtent::widen(int axis, double v) {
    if (!std::isfinite(v)) return;
    double& lo = component(min, axis);
    double& hi = component(max, axis);
    if (!open[axis]) {
        lo = hi = v;
        open[axis] = true;
        return;
    }
    lo = std::min(lo, v);
    hi = std::max(hi, v);
}

void widenByArc(PathExtent& ext, const Vec3& s, const Vec3& e, const Vec3& c, double radius, bool ccw,
                bool wholeTurns, int a, int b) {
    const double sa = component(s, a) - component(c, a), sb = component(s, b) - component(c, b);
    const double ea = component(e, a) - component(c, a), eb = component(e, b) - component(c, b);
    const double t0 = std::atan2(sb, sa), t1 = std::atan2(eb, ea);
    auto wrap = [](double v) {
        v = std::fmod(v, kTwoPi);
        return v < 0 ? v + kTwoPi : v;
    };
    const bool closed = std::fabs(sa - ea) < 1e-9 && std::fabs(sb - eb) < 1e-9;
    double sweep = closed || wholeTurns ? kTwoPi : wrap(ccw ? t1 - t0 : t0 - t1);
    if (!closed && sweep == 0) sweep = kTwoPi;
    for (int q = 0; q < 4; ++q) {
        const double angle = q * std::numbers::pi / 2;
        const double along = wrap(ccw ? angle - t0 : t0 - angle);
        if (along > sweep + 1e-12) continue;
        switch (q) {
            case 0:
                ext.widen(a, component(c, a) + radius);
                break;
            case 1:
                ext.widen(b, component(c, b) + radius);
                break;
            case 2:
                ext.widen(a, component(c, a) - radius);
                break;
            case 3:
                ext.widen(b, component(c, b) - radius);
                break;
        }
    }
}

bool fitStockToExtent(StockSpec& stock, MachineKind kind, PathExtent ext) {
    if (!ext.any()) return false;
    for (int a = 0; a < 3; ++a) {
        if (!ext.open[a]) continue;
        if (!(component(ext.max, a) - component(ext.min, a) > 0))
            component(ext.max, a) = component(ext.min, a) + 10;
    }
    // An axis no point touched keeps the stock's present span.
    const double pitch = stock.pitch;
    auto size = [&](int a, float present) {
        if (!ext.open[a]) return present;
        const double span = component(ext.max, a) - component(ext.min, a);
        return static_cast<float>(pitch > 0 && span / pitch > 1000 ? 1000 * pitch : span);
    };
    switch (familyOf(kind)) {
        case MachineFamily::Milling:
            if (ext.open[0]) stock.offsetX = static_cast<float>(ext.min.x);
            if (ext.open[1]) stock.offsetY = static_cast<float>(ext.min.y);
            if (ext.open[2]) stock.offsetZ = static_cast<float>(ext.min.z);
            stock.sizeX = size(0, stock.sizeX);
            stock.sizeY = size(1, stock.sizeY);
            stock.sizeZ = size(2, stock.sizeZ);
            break;
        case MachineFamily::Turning:
            if (ext.open[0]) {
                stock.sizeX = static_cast<float>(2 * ext.max.x);
                stock.sizeY = static_cast<float>(2 * ext.min.x);
            }
            if (ext.open[2]) {
                stock.sizeZ = static_cast<float>(ext.max.z - ext.min.z + 40);
                stock.offsetX = static_cast<float>(ext.max.z);
            }
            break;
        case MachineFamily::Wire:
            if (ext.open[0]) stock.offsetX = static_cast<float>(ext.min.x);
            if (ext.open[1]) stock.offsetY = static_cast<float>(ext.min.y);
            if (ext.open[2]) stock.offsetZ = static_cast<float>(ext.min.z);
            break;
    }
    // A path far out (X99999., a bore below the axis) still gives a stock the window can show and edit.
    clampStockToRanges(stock);
    return true;
}

}  // namespace vantrel
