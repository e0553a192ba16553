#pragma once
// The tool tab ("工具情報") of the main window: its controls, the label captions per machine family,
// and the commands behind the tool selector, the value labels and the tool buttons and menu items.
//
// Every command acts on the store of the given machine kind, keeps the working tool and its table
// entry in step and ends with the hooks' label refresh and repaint.
#include <cstdint>

#include "core/control_set.h"
#include "core/machine_kind.h"
#include "platform/ui_services.h"
#include "tools/command_hooks.h"
#include "tools/tool_table.h"

namespace vantrel {

// Value-label Tags of the tool tab (the Tag selects the edited field).
enum ToolValueTag : int {
    kToolTagPoint = 0,       // label_t_point
    kToolTagDiameter = 1,    // label_t_kei
    kToolTagLength = 2,      // label_t_naga
    kToolTagNoseRadius = 3,  // label_t_noser
    kToolTagAngleA = 4,      // label_t_teimenkaku
    kToolTagAngleB = 5,      // label_t_sokumenkaku
    kToolTagWidth = 9,       // label_t_haba
};

// Registers the tool tab's labels, ComboBox1, ComboBox2, the tool buttons, panel_t_color and
// combo_holder with their captions, hints and Tags.
void addToolControls(ControlSet& cs);

// Name-label captions for the family (and the drill kinds), the value labels, panel_t_color.
void showToolLabels(ControlSet& cs, const ToolTable& t, MachineKind kind);

// The machine has changed: ComboBox1 gets "-" and the family's numbers with item 0 selected, entry 0
// is loaded, ComboBox2 gets the lathe kinds (or is disabled), the wire disables what it has no use for.
void applyToolFamily(ControlSet& cs, ToolTable& t, MachineKind kind);

// Refills ComboBox1 from the family's list and selects currentToolIndex.
void showToolList(ControlSet& cs, const ToolTable& t, MachineKind kind);

// The value the keypad is pre-loaded with for a Tag, and the store of an entered value with its range
// check. Returns false (and shows the range message) when the value is rejected.
double toolFieldValue(const ToolRecord& tool, MachineKind kind, int tag);
bool setToolField(ToolRecord& tool, MachineKind kind, int tag, double v, UiServices& ui);

// ComboBox1 change: store the current entry, select `index`, load it.
void selectToolCommand(ControlSet& cs, ToolTable& t, MachineKind kind, int index, const CommandHooks& hooks);
// ComboBox2 change on the lathes: the kind's defaults into the working tool, store, reload.
void chooseLatheKindCommand(ControlSet& cs, ToolTable& t, MachineKind kind, int latheKind,
                            const CommandHooks& hooks);
// A click on a tool value label (Tag as above).
void editToolValueCommand(ControlSet& cs, ToolTable& t, MachineKind kind, int tag, UiServices& ui,
                          const CommandHooks& hooks);
// button_t_new / menu_t_new.
void addToolCommand(ControlSet& cs, ToolTable& t, MachineKind kind, UiServices& ui, uint32_t defaultColor,
                    const CommandHooks& hooks);
// button_t_del / menu_t_del.
void deleteToolCommand(ControlSet& cs, ToolTable& t, MachineKind kind, const CommandHooks& hooks);
// menu_t_change "番号変更".
void renumberToolCommand(ControlSet& cs, ToolTable& t, MachineKind kind, UiServices& ui,
                         const CommandHooks& hooks);
// button_t_ini / menu_t_ini: asks "初期化しますか?" first.
void initialiseToolsCommand(ControlSet& cs, ToolTable& t, MachineKind kind, UiServices& ui,
                            uint32_t defaultColor, const CommandHooks& hooks);
// panel_t_color / menu_t_color.
void toolColourCommand(ControlSet& cs, ToolTable& t, MachineKind kind, UiServices& ui,
                       const CommandHooks& hooks);
// combo_holder change or menu_bt0 ... menu_hsk100 (Tag = holder kind). Out-of-range kinds are ignored.
void holderKindCommand(ControlSet& cs, int32_t& holderKind, int newKind, const CommandHooks& hooks);

// The stores were replaced (a tool file was read): ComboBox1 refilled, entry 0 selected and loaded,
// labels and scene refreshed.
void showReplacedToolTables(ControlSet& cs, ToolTable& t, MachineKind kind, const CommandHooks& hooks);

// A T word read by the interpreter. Mills: selects the entry (loaded later by M06). Lathes: selects
// and loads at once. Wire EDM: nothing. Returns the selected index.
int selectToolByTWord(ToolTable& t, MachineKind kind, double tWord, int tCodeFormat);

}  // namespace vantrel
