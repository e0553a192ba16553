#pragma once
// Material removal for one tool position: the milling cut lowers the height field to the cutter's
// lower surface, the turning cut narrows or widens one slice of the diameter profiles.
//
// Both are plain functions on the state they change so that the motion code can call them after every
// interpolation step (on whichever thread holds the stock). Neither allocates.
#include "core/vec3.h"
#include "stock/stock_spec.h"
#include "tools/tool_table.h"

namespace vantrel {

struct MillCutResult {
    bool stockChanged = false;  // at least one node was lowered
    bool skipped = false;       // fast play above the stock: nothing computed
    // The lattice nodes visited (inclusive); empty when ixMin > ixMax.
    int ixMin = 0, ixMax = -1, iyMin = 0, iyMax = -1;
    // Where nodes were lowered (inclusive; empty unless stockChanged): the rows exactly, along the
    // rows the nodes visited. And the highest height, above the stock bottom, that a lowered node had
    // before the cut. Fast play, which draws nothing meanwhile, may report the whole window visited
    // and the stock's height instead.
    int changedIxMin = 0, changedIxMax = -1, changedIyMin = 0, changedIyMax = -1;
    float highestLowered = 0;
};

// The lattice nodes lowered since the stock was last drawn: the cuts of several steps are collected
// here and the drawing covers them all at once.
struct StockChange {
    int ixMin = 0, ixMax = -1, iyMin = 0, iyMax = -1;
    float highestLowered = 0;
    bool empty() const { return ixMax < ixMin || iyMax < iyMin; }
    void add(const MillCutResult& r) {
        if (!r.stockChanged || r.changedIxMax < r.changedIxMin || r.changedIyMax < r.changedIyMin) return;
        if (empty()) {
            ixMin = r.changedIxMin, ixMax = r.changedIxMax, iyMin = r.changedIyMin, iyMax = r.changedIyMax;
            highestLowered = r.highestLowered;
            return;
        }
        ixMin = ixMin < r.changedIxMin ? ixMin : r.changedIxMin;
        ixMax = ixMax > r.changedIxMax ? ixMax : r.changedIxMax;
        iyMin = iyMin < r.changedIyMin ? iyMin : r.changedIyMin;
        iyMax = iyMax > r.changedIyMax ? iyMax : r.changedIyMax;
        highestLowered = highestLowered > r.highestLowered ? highestLowered : r.highestLowered;
    }
    void clear() { *this = StockChange{}; }
};

// One milling cut at the programmed point `toolPos` (X, Y, Z; taken in single precision).
// `tool` supplies diameter, tipPosition and the angles; `profile` the cutter outline derived from it.
// In fast play a tool above the stock top returns at once. Nothing is removed while
// `stock.cuttingEnabled` is off or the tip is above the stock top. The window is clipped to the
// lattice, so any position, size or pitch stays inside the block.
MillCutResult applyMillCut(StockGrid& grid, const StockSpec& stock, const ToolRecord& tool,
                           const ToolProfile& profile, const Vec3& toolPos, bool fastPlay);

// Where the cutter's axis stands for the programmed point: the tip-position code (1..9 like the keys
// of a numeric keypad, 5 on the axis) places the point on the cutter's outline.
Vec3 millCutterAxis(const ToolRecord& tool, const Vec3& toolPos);

// The height of the cutter's lower surface above its tip at distance `rho` from the axis (flat end,
// ball, bull nose, cone and side angle alike); +infinity beyond the cutter's top radius. The checks of
// a program use it to sweep the cutter along a move; the cut's own rows evaluate the same outline.
float millCutterSurface(const ToolRecord& tool, const ToolProfile& profile, float rho);

// The milling cut uses an 8-wide vector path where the processor has one; both paths compute the
// same values. Switching it off (tests, benchmarks) runs the portable loops.
void setVectorMillCut(bool enabled);

// Which profile a turning tool kind cuts: outer tools (turning, grooving, round, threading) the outer
// diameter, inner tools (boring, inner grooving and threading) the bore, the axial drill the bore to
// its own diameter; the radial drill and unknown kinds nothing.
enum class TurnCutSide { Outer, Inner, AxialDrill, None };
TurnCutSide turnCutSide(uint8_t kind);

// One turning cut at the programmed point (X a radius, Z along the spindle). Only the slice under the
// point changes, by the tool kind: outer tools reduce the outer diameter to 2X, inner tools enlarge the
// bore to 2X, the axial drill enlarges it to its diameter, the radial drill cuts nothing. A point in
// front of the end face or beyond slice 1000 cuts nothing. Returns true when the slice changed.
bool applyTurnCut(StockGrid& grid, const StockSpec& stock, const ToolRecord& tool, const Vec3& toolPos);

}  // namespace vantrel
