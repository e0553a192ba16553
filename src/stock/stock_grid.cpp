#include <algorithm>
#include <cmath>

#include "core/rounding.h"
#include "stock/stock_spec.h"

namespace vantrel {

void applyMachineStockDefaults(StockSpec& s, MachineKind kind) {
    switch (familyOf(kind)) {
        case MachineFamily::Milling:
            s.sizeX = 100, s.sizeY = 100, s.sizeZ = 50;
            s.offsetX = 0, s.offsetY = 0, s.offsetZ = -50;
            break;
        case MachineFamily::Turning:
            s.sizeX = 100, s.sizeY = 0, s.sizeZ = 150;
            s.offsetX = 0, s.offsetY = 0, s.offsetZ = 0;
            break;
        case MachineFamily::Wire:
            s.sizeX = 100, s.sizeY = 100, s.sizeZ = 10;
            s.offsetX = 0, s.offsetY = 0, s.offsetZ = 0;
            break;
    }
}

StockGrid::StockGrid()
    : heights_(std::make_unique<float[]>(kCellCount)), marks_(std::make_unique<uint8_t[]>(kCellCount)) {
    initialiseStockGrid(*this, StockSpec{}, MachineKind::VerticalMill);
}

void clampStockToRanges(StockSpec& s) {
    auto clamp = [](float& f, double lo, double hi) {
        f = std::isnan(f) ? 0.0f : static_cast<float>(std::clamp<double>(f, lo, hi));
    };
    for (float* f : {&s.offsetX, &s.offsetY, &s.offsetZ}) clamp(*f, -kStockOffsetLimit, kStockOffsetLimit);
    const double bound = stockPitchInRange(s.pitch) ? stockSizeLimit(s.pitch) : 0;
    for (float* f : {&s.sizeX, &s.sizeY, &s.sizeZ}) clamp(*f, 0, bound);
}

int stockNodeCount(float size, double pitch) {
    if (!(pitch > 0)) return 0;
    return clampTo(RoundHalfAway(static_cast<double>(size) / pitch), 0, kStockMaxIndex);
}

void initialiseStockGrid(StockGrid& g, const StockSpec& s, MachineKind kind) {
    float* h = g.heights();
    uint8_t* m = g.cellMarks();
    switch (familyOf(kind)) {
        case MachineFamily::Wire:
            return;
        case MachineFamily::Turning:
            std::fill_n(g.outerDiameters(), kStockNodes, s.sizeX);
            std::fill_n(g.innerDiameters(), kStockNodes, s.sizeY);
            return;
        case MachineFamily::Milling:
            break;
    }
    if (s.sides != 0) {
        std::fill_n(h, StockGrid::kCellCount, s.sizeZ);
        std::fill_n(m, StockGrid::kCellCount, uint8_t{0});
        return;
    }
    std::fill_n(h, StockGrid::kCellCount, 0.0f);
    std::fill_n(m, StockGrid::kCellCount, uint8_t{99});
    // Half sizes in nodes; the lattice has room for 500 nodes either side of the centre. A half size
    // that rounds to no node leaves no node strictly inside the ellipse.
    int c = 0, e = 0;
    if (s.pitch > 0) {
        c = clampTo(RoundHalfAway(s.sizeX / s.pitch / 2), 0, kStockMaxIndex / 2);
        e = clampTo(RoundHalfAway(s.sizeY / s.pitch / 2), 0, kStockMaxIndex / 2);
    }
    if (c == 0 || e == 0) return;
    const double c2 = static_cast<double>(c) * c, e2 = static_cast<double>(e) * e;
    for (int f = -c; f <= c; ++f) {
        for (int i = -e; i <= e; ++i) {
            if (f * f / c2 + i * i / e2 < 1.0) g.height(f + c, i + e) = s.sizeZ;
        }
    }
}

void invertStockGrid(StockGrid& g, const StockSpec& s) {
    const int nx = stockNodeCount(s.sizeX, s.pitch);
    const int ny = stockNodeCount(s.sizeY, s.pitch);
    for (int ix = 0; ix <= nx; ++ix) {
        float* r = g.row(ix);
        for (int iy = 0; iy <= ny; ++iy) r[iy] = std::max(s.sizeZ - r[iy], 0.0f);
    }
}

}  // namespace vantrel
