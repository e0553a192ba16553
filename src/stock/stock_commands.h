#pragma once
// The stock tab ("材料情報") and the stock commands of the settings menu: value edits with their range
// checks, reset, shape, inversion, showing the machined state and fitting the stock to the program.
#include <cstdint>
#include <functional>
#include <mutex>

#include "core/control_set.h"
#include "core/machine_kind.h"
#include "platform/ui_services.h"
#include "stock/stock_fit.h"
#include "stock/stock_spec.h"
#include "tools/command_hooks.h"

namespace vantrel {

// Value-label Tags of the stock tab.
enum StockValueTag : int {
    kStockTagSizeX = 0,
    kStockTagSizeY = 1,
    kStockTagSizeZ = 2,
    kStockTagOffsetX = 3,
    kStockTagOffsetY = 4,
    kStockTagOffsetZ = 5,
    kStockTagPitch = 6,
    kStockTagWall = 7,
};

// Registers the stock tab's name and value labels, ComboBox3 and the stock speed buttons.
void addStockControls(ControlSet& cs);

// Name captions per family, the hidden offsets on the lathes and the value labels.
void showStockLabels(ControlSet& cs, const StockSpec& s, MachineKind kind);

double stockFieldValue(const StockSpec& s, int tag);
// Stores an entered value after its range check; shows the range message and returns false otherwise.
bool setStockField(StockSpec& s, int tag, double v, UiServices& ui);

// A click on a stock value label.
void editStockValueCommand(ControlSet& cs, StockSpec& s, MachineKind kind, int tag, UiServices& ui,
                           const CommandHooks& hooks);
// sb_zai_mas_reset / "材料内部初期化（四角）": asks "実行しますか?" first. `gridMutex` (when given) is
// the lock a play cuts the grid under: the reset writes the grid under it.
void resetStockCommand(StockSpec& s, StockGrid& g, MachineKind kind, UiServices& ui,
                       const CommandHooks& hooks, std::mutex* gridMutex = nullptr);
// ComboBox3 change: items 0..4 give 3, 4, 5, 6 sides and the cylinder.
void stockShapeCommand(StockSpec& s, int itemIndex, const CommandHooks& hooks);
// sb_zai_repaint / "材料の内部状態表示".
void showStockGridCommand(const CommandHooks& hooks);
// "内部反転" (mills and wire EDM).
void invertStockCommand(StockSpec& s, StockGrid& g, MachineKind kind, const CommandHooks& hooks,
                        std::mutex* gridMutex = nullptr);
// sb_zai_fit / "材料を補間経路に合わせる": asks "実行しますか?" when the program has more than one
// line, scans it (`scan` runs the program and returns the extent of its cutting moves), sets the stock
// and initialises the grid, then shows the scan's notice when it has one. `question` replaces the
// confirmation text (the offer made after a program was read asks its own question).
void fitStockToPathCommand(ControlSet& cs, StockSpec& s, StockGrid& g, MachineKind kind, int32_t programLines,
                           const std::function<PathExtentScan()>& scan, UiServices& ui,
                           const CommandHooks& hooks, const char* question = "実行しますか?");

}  // namespace vantrel
