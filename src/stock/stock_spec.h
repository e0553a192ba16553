#pragma once
// The stock's description and its discretised state.
//
// On the mills the stock is a height field over a square lattice: node (ix, iy) stands at
// X = offsetX + ix*pitch, Y = offsetY + iy*pitch and holds the height of the material top above
// offsetZ. On the lathes the same block holds two diameter profiles along the spindle axis: slice k
// covers Z from offsetX - (k+1)*pitch to offsetX - k*pitch. For the turning kinds sizeX is the outer
// diameter, sizeY the inner diameter, sizeZ the length and offsetX the Z of the end face.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/machine_kind.h"

namespace vantrel {

struct StockSpec {
    int32_t visible = 1;                            // zai_type: the stock is drawn
    int32_t sides = 4;                              // 3..6 prism with that many sides, 0 cylinder (ComboBox3)
    float sizeX = 100, sizeY = 100, sizeZ = 50;     // zai_x, zai_y, zai_z
    float offsetX = 0, offsetY = 0, offsetZ = -50;  // zai_x_off, zai_y_off, zai_z_off
    double pitch = 1.0;                             // lattice spacing / slice width
    float wallThickness = 0;                        // 0 = solid
    bool cuttingEnabled = true;  // off while "材料と工具干渉計算無視" is checked
};

// Sizes and offsets a machine selection gives the stock.
void applyMachineStockDefaults(StockSpec& s, MachineKind kind);

// The lattice: at most kStockNodes nodes per axis (indices 0..kStockMaxIndex).
inline constexpr int kStockNodes = 1001;
inline constexpr int kStockMaxIndex = kStockNodes - 1;

// One block of heights and cell marks, allocated once when the grid is constructed; nothing is ever
// allocated again (cutting, resetting and inverting work in place).
class StockGrid {
  public:
    StockGrid();
    StockGrid(const StockGrid&) = delete;
    StockGrid& operator=(const StockGrid&) = delete;
    StockGrid(StockGrid&&) noexcept = default;
    StockGrid& operator=(StockGrid&&) noexcept = default;

    // Callers index with 0 <= ix, iy <= kStockMaxIndex.
    float& height(int ix, int iy) { return heights_[index(ix, iy)]; }
    float height(int ix, int iy) const { return heights_[index(ix, iy)]; }
    uint8_t& cellMark(int ix, int iy) { return marks_[index(ix, iy)]; }
    uint8_t cellMark(int ix, int iy) const { return marks_[index(ix, iy)]; }

    // Row ix of the heights (kStockNodes values over iy), for loops that walk a row.
    float* row(int ix) { return heights_.get() + index(ix, 0); }
    const float* row(int ix) const { return heights_.get() + index(ix, 0); }

    // The lathe profiles share the first two rows of the heights: mill and lathe states never coexist.
    float* outerDiameters() { return row(0); }
    const float* outerDiameters() const { return row(0); }
    float* innerDiameters() { return row(1); }
    const float* innerDiameters() const { return row(1); }

    float* heights() { return heights_.get(); }
    const float* heights() const { return heights_.get(); }
    uint8_t* cellMarks() { return marks_.get(); }
    const uint8_t* cellMarks() const { return marks_.get(); }

    static constexpr size_t kCellCount = static_cast<size_t>(kStockNodes) * kStockNodes;

  private:
    static size_t index(int ix, int iy) {
        return static_cast<size_t>(ix) * kStockNodes + static_cast<size_t>(iy);
    }
    std::unique_ptr<float[]> heights_;
    std::unique_ptr<uint8_t[]> marks_;
};

// The ranges the stock tab's value edits accept: offsets within +-1000, a pitch above 0 up to 100, and
// sizes from 0 to 1000 spans of the pitch (what the lattice holds). Whatever sets the stock otherwise
// (the stock fit, the command line) keeps within them too.
inline constexpr double kStockOffsetLimit = 1000;
inline constexpr double kStockPitchMax = 100;
inline bool stockPitchInRange(double pitch) {
    return pitch > 0 && pitch <= kStockPitchMax;
}
inline double stockSizeLimit(double pitch) {
    return 1000 * pitch;
}
// Pulls offsets and sizes into those ranges (a value that is not a number becomes 0).
void clampStockToRanges(StockSpec& s);

// Node counts of the stock's extent, round(size / pitch) half away from zero, clamped to 0..1000.
// A pitch that is not positive (or not a number) gives 0.
int stockNodeCount(float size, double pitch);

// Mills: prism (sides 3..6) full height everywhere, cylinder the inscribed ellipse; lathes: the two
// profiles at the outer and inner diameters; wire EDM: nothing.
void initialiseStockGrid(StockGrid& g, const StockSpec& s, MachineKind kind);

// Height := sizeZ - height (0 where negative) over the stock's extent: a pocket becomes a boss.
void invertStockGrid(StockGrid& g, const StockSpec& s);

}  // namespace vantrel
