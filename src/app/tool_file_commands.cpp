#include "app/tool_file_commands.h"

#include "tools/tool_file.h"

namespace vantrel {

void bindToolFileCommands(ControlSet& cs, AppState& state, UiServices& ui, CaptionedQuestions& questions,
                          CommandHooks hooks) {
    cs.bind("N3", [&cs, &state, &ui, hooks](const Control&) {
        loadToolFileCommand(cs, state.tools, state.machineKind, ui, state.colours[ColourPalette::kTool],
                            hooks);
    });
    cs.bind("Save2", [&state, &ui, &questions](const Control&) {
        saveToolFileCommand(state.tools, ui,
                            [&questions](const std::string& text, const std::string& caption) {
                                return questions.ask(text, caption);
                            });
    });
}

}  // namespace vantrel
