#pragma once
// The stock fit's pass: the whole program run through the interpreter with compensation not applied
// and no stepping, the extent of its cutting moves collected from the machine actions (stock/stock_fit.h
// turns the extent into a stock).
//
// Feeds and arcs widen the extent (arcs by the quadrant points they pass); rapids, reference returns and
// the approach and retract legs of the cycles only move the tool; a cycle widens it by each hole bottom
// it plunges to. The program is read exactly as a play reads it: the same subprograms, modes and ends.
//
// The pass runs on the UI thread, so it is bounded (app/ui_pass_budget.h): after `blockBudget` executed
// blocks or `pieceBudget` pieces it stops and fits to what it saw, and the result says so.
#include <cstdint>
#include <string>

#include "app/ui_pass_budget.h"
#include "core/machine_kind.h"
#include "core/vec3.h"
#include "program/quon_strings.h"
#include "stock/stock_fit.h"

namespace vantrel {

// The message when a budget ended the pass before the program did.
inline constexpr const char* kMsgStockFitCutShort =
    "プログラムが長すぎるため、途中までの経路に材料を合わせました";

struct StockFitOptions {
    MachineKind kind = MachineKind::VerticalMill;
    double diameterDivisor = 1;  // a lathe's divisor: 2 diameter programming, 1 radius, negative reversed
    Vec3 start;                  // where the tool stands
    Vec3 reference;              // the machine reference point (G28)
    int64_t blockBudget = kUiPassBlockBudget;
    int64_t pieceBudget = kUiPassPieceBudget;
};

// One pass over the program; `notice` is kMsgStockFitCutShort when a budget ended it.
PathExtentScan scanProgramExtent(const TQuonStrings& program, const StockFitOptions& options);

}  // namespace vantrel
