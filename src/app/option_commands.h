#pragma once
// Settings the user keeps between runs that are not values of a subsystem: the machine settings kept in
// check boxes and their menu twins (ATC animation, radius programming, X-axis reversal, the
// general-purpose lathe, the machine parts shown) and the user's three colours. Setting one of these check
// boxes from code (the settings load) runs its command as a click does, so each command acts once and
// leaves the box and its menu item in step.
#include <functional>

#include "app/app_state.h"
#include "core/control_set.h"
#include "platform/ui_services.h"

namespace vantrel {

void bindMachineOptionCommands(ControlSet& cs, AppState& s, std::function<void()> repaint);

// panel_clback (Tag 0), panel_clzai (Tag 2) and N71 (Tag 0): the colour dialog preset to the colour
// of the Tag (0 background, 1 tool, 2 stock); a confirmed colour is stored, shown on its panel and the
// scene repainted.
void bindColourCommands(ControlSet& cs, AppState& s, UiServices& ui, std::function<void()> repaint);

}  // namespace vantrel
