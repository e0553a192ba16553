#pragma once
// Fitting the stock to the program's tool path: the extent of the cutting moves (collected by a pass of
// the interpreter over the program, app/stock_fit_pass.h) becomes the stock's box.
#include <string>

#include "core/machine_kind.h"
#include "core/vec3.h"
#include "stock/stock_spec.h"

namespace vantrel {

// The box of the visited points, opened per axis by the first point that touches it.
struct PathExtent {
    Vec3 min{}, max{};
    bool open[3] = {false, false, false};

    bool any() const { return open[0] || open[1] || open[2]; }
    void widen(int axis, double v);
    void add(const Vec3& p) {
        widen(0, p.x);
        widen(1, p.y);
        widen(2, p.z);
    }
};

// Widens the extent by the quadrant points that an arc from `s` to `e` around `c` passes; `a` and `b`
// are the plane's first and second axis (0 X, 1 Y, 2 Z), counter-clockwise turning from a to b. An arc
// that ends where it starts, or that makes whole turns, passes all four.
void widenByArc(PathExtent& ext, const Vec3& s, const Vec3& e, const Vec3& c, double radius, bool ccw,
                bool wholeTurns, int a, int b);

// What a scan of the program found; `notice` tells the user when the scan stopped before the program did.
struct PathExtentScan {
    PathExtent extent;
    std::string notice;
};

// Sets the stock from an extent (axes without positive extent get 10). Returns false, changing
// nothing, when the extent holds no point at all.
bool fitStockToExtent(StockSpec& stock, MachineKind kind, PathExtent extent);

}  // namespace vantrel
