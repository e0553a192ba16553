#pragma once
// The value edits of the main window that belong to the application itself (tool position and angles,
// grid and axes, machine reference point and rapid step), the refresh of every value label, the R-arc
// overlay's candidate centres, and the stock fit wired to the program text.
//
// Every edit follows one pattern: the keypad is pre-loaded with the present value (in the unit in
// which it is shown), a value outside the field's range shows the range message and changes nothing,
// and anything else (a cancelled dialog included) is stored and followed by the label refresh and a
// repaint.
#include <functional>

#include "app/app_state.h"
#include "core/control_set.h"
#include "platform/ui_services.h"
#include "stock/stock_spec.h"
#include "tools/command_hooks.h"

namespace vantrel {

class TQuonStrings;

// Tags of the position labels (label_x ... label_c).
enum PositionTag : int {
    kPosTagX = 0,
    kPosTagY = 1,
    kPosTagZ = 2,
    kPosTagA = 9,
    kPosTagB = 10,
    kPosTagC = 11
};
// Tags of the grid and axis labels and menu items.
enum GridTag : int {
    kGridTagInterval = 0,
    kGridTagSizeX = 1,
    kGridTagSizeY = 2,
    kAxisTagX = 3,
    kAxisTagY = 4,
    kAxisTagZ = 5,
    kGridTagSizeZ = 6,
    kGridTagCentreX = 7,
    kGridTagCentreY = 8,
    kGridTagCentreZ = 9,
};
// Tags of the machine values served by the tool value handler.
enum MachineValueTag : int { kRefTagX = 6, kRefTagY = 7, kRefTagZ = 8, kRapidStepTag = 10 };

// Registers the position, grid and axis labels with their Tags.
void addValueLabelControls(ControlSet& cs);

// label_x, label_y, label_z, label_a, label_b, label_c.
void editPositionCommand(AppState& app, ControlSet& cs, int tag, UiServices& ui, const CommandHooks& hooks);
// The grid and axis labels and menu items.
void editGridAxisCommand(AppState& app, ControlSet& cs, int tag, UiServices& ui, const CommandHooks& hooks);
// The tool value labels (Tags 0-5, 9) and menu_rfx, menu_rfy, menu_rfz (6-8), menu_ichigime (10).
void editToolOrMachineValueCommand(AppState& app, ControlSet& cs, int tag, UiServices& ui,
                                   const CommandHooks& hooks);

// Rewrites every value label and value-bearing menu caption. `positionReadout` rewrites the position
// labels first (it belongs to the scene composition); it may be empty.
void refreshValueLabels(AppState& app, ControlSet& cs, const std::function<void()>& positionReadout = {});

// The two centres of the circles of radius r through S and E in a plane (0 XY, 1 ZX, 2 YZ). With r = 0
// or E = S (in the plane) the centres keep their values.
void computeArcCandidates(const Vec3& s, const Vec3& e, double r, int plane, Vec3& c1, Vec3& c2);
void computeArcCandidates(ArcOverlay& arc);

// sb_zai_fit: the program scan reads the program text through the block scanner's number reader.
void fitStockToProgramCommand(AppState& app, StockGrid& grid, ControlSet& cs, const TQuonStrings& program,
                              UiServices& ui, const CommandHooks& hooks);
// The fit itself, without a question (the caller has asked its own).
void fitStockToProgramNow(AppState& app, StockGrid& grid, ControlSet& cs, const TQuonStrings& program,
                          UiServices& ui, const CommandHooks& hooks);
// After a program text has been read: asks "読み込んだデータに材料を合わせますか？" and fits on Yes.
void offerStockFitAfterLoad(AppState& app, StockGrid& grid, ControlSet& cs, const TQuonStrings& program,
                            UiServices& ui, const CommandHooks& hooks);

// Binds every command of this file and of the tool and stock tabs to its controls by name: the value
// labels, the tool selector and shape boxes, the tool buttons and menu items, the holder choice, the
// stock buttons and menu items. `program` gives the program text for the stock fit (nullptr: no fit).
// The references must outlive the control set's use of the commands.
void bindValueEditCommands(ControlSet& cs, AppState& app, StockGrid& grid, UiServices& ui,
                           const CommandHooks& hooks, std::function<const TQuonStrings*()> program);

}  // namespace vantrel
