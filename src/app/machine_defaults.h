#pragma once
// The per-kind start values that a machine selection and the "初期状態" reset load, and the controls
// that follow the machine family.
#include "app/app_state.h"
#include "core/control_set.h"

namespace vantrel {

// Writes the per-kind table into the state: view angles, origin, view distance, scales, mouse-move
// lock, diameter divisor, tool position, tool axis, R-arc plane, stock sizes and offsets, axis lengths
// and the machine reference point. radiusProgramming is the check mark of "半径値指令" (the turning
// kinds read X words as radii when it is set, as diameters otherwise).
void applyMachineKindDefaults(AppState& s, MachineKind kind, bool radiusProgramming);

// Only what follows the machine family: diameter divisor, tool axis, mouse-move lock, R-arc plane,
// axis lengths and machine reference point. The view, the origin, the tool position and the stock keep
// their values (the settings apply uses this after a load).
void applyMachineFamilyDefaults(AppState& s, MachineKind kind, bool radiusProgramming);

// Enables, shows and captions the controls that depend on the machine family (milling, turning, wire).
void applyFamilyControls(ControlSet& cs, MachineKind kind);

// The caption of the machine menu for a kind ("機械（立ち型）" ...).
const char* machineMenuCaption(MachineKind kind);

// Names of the machine menu item and tool-bar button of a kind.
const char* machineMenuItem(MachineKind kind);
const char* machineButton(MachineKind kind);

// The 15 lathe tool shapes of ComboBox2.
const std::vector<std::string>& latheToolShapeNames();

}  // namespace vantrel
