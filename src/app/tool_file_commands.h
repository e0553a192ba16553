#pragma once
// The main window's "工具ファイル（tgs）" menu: "読み込み" (N3) and "保存" (Save2) act on the tool stores
// of the application state and ask the overwrite question with its own caption.
#include "app/app_state.h"
#include "app/program_file_commands.h"
#include "core/control_set.h"
#include "platform/ui_services.h"
#include "tools/command_hooks.h"

namespace vantrel {

// `state`, `ui` and `questions` must outlive the bindings; `hooks` is kept by value.
void bindToolFileCommands(ControlSet& cs, AppState& state, UiServices& ui, CaptionedQuestions& questions,
                          CommandHooks hooks);

}  // namespace vantrel
