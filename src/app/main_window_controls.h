#pragma once
// The named controls of the main window: menus, tool bar, side columns, tabs, play bar and the six
// floating panels, with their captions, hints, Tags, groups and start-up states.
#include <string>
#include <vector>

#include "core/control_set.h"

namespace vantrel {

// Registers every control of the main window's shell. Subsystems add their own controls (value labels,
// modal labels, tool and stock tabs) with their own functions; the first registration of a name wins.
void addMainWindowControls(ControlSet& cs);

// The controls a display switch keeps in step: its menu item and its speed button.
struct DisplaySwitchControls {
    const char* field;
    const char* menuItem;
    const char* button;
};
const std::vector<DisplaySwitchControls>& displaySwitchControls();

// The six floating panels in the order of their table, with their opened heights.
struct FloatingPanel {
    const char* name;
    int left, top, width, openedHeight;
    const char* closeButton;
};
const std::vector<FloatingPanel>& floatingPanels();

// The pop-up menu a control opens on a right click (the tool list's "追加", "削除" ...), or nullptr.
const char* popupMenuOf(const std::string& control);

// Parses one table of control definitions (used by the subsystems' registration functions too).
// One control a line: KIND|name|parent|caption|hint|tag|flags, where flags are letters:
//   c checked, d disabled, h hidden, a all-up allowed, t toggles, k menu item checks itself,
//   gN speed-button group N. Blank lines and lines starting with '#' are skipped.
void addControlTable(ControlSet& cs, const char* table);

}  // namespace vantrel
