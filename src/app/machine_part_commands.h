#pragma once
// The controls of the machine model: the part check boxes of the display options ("本体", "バイス",
// "スピンドル", "チャック", "刃物台", "透過"), "汎用旋盤", the chuck size (combo box and menu) and the
// tailstock scroll bar, plus "詳細設定", which opens the display options.
#include <functional>

#include "app/app_state.h"
#include "core/control_set.h"

namespace vantrel {

// Binds the commands. `repaint` is the shell's repaint request.
void bindMachinePartCommands(ControlSet& cs, AppState& s, std::function<void()> repaint);

// The chuck size by its inches (4, 5, 6, 8, 10, 12, 15, 18, 20): the diameter, the combo box's item
// and the menu's check mark. Another size changes nothing and returns false.
bool selectChuckInches(ControlSet& cs, AppState& s, int inches);

}  // namespace vantrel
