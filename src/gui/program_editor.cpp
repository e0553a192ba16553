#include "gui/program_editor.h"

#include <QMessageBox>

#include "app/tool_file_commands.h"

namespace vantrel {

bool QtQuestions::ask(const std::string& text, const std::string& caption) {
    return QMessageBox::question(parent_, QString::fromStdString(caption), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

ProgramEditor::ProgramEditor(MainWindow& window, Application& app, TQuonStrings& program,
                             CaptionedQuestions* questions)
    : app_(app),
      form_(new Tmemoform(program)),
      view_(*form_),
      defaultQuestions_(app.ui()),
      files_(app.controls(), app.ui(), program, view_, questions) {
    window.setEditorWindow(form_);
    files_.bindControls();
    bindToolFileCommands(app.controls(), app.state(), app.ui(), questions ? *questions : defaultQuestions_,
                         app.commandHooks());
    // The popup's "フォント" is the main window's font dialog; its "全削除" resets what a load set.
    edit().fontDialog = [this] { files_.fontCommand(); };
    edit().programCleared = [this] {
        if (files_.hooks.programCleared) files_.hooks.programCleared();
    };
    edit().showError = [&app](const std::string& msg) { app.ui().message(msg); };
    // Closing the window and "終了" ask before an edited program is lost.
    guardCloseWithUnsavedProgram(app, files_);
}

ProgramEditor::~ProgramEditor() {
    app_.hooks.confirmDiscardProgram = nullptr;
}

std::vector<std::string> programArguments(const QStringList& args) {
    std::vector<std::string> out;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--screenshot") || args[i] == QLatin1String("--show-hint") ||
            args[i] == QLatin1String("--autoplay") || args[i] == QLatin1String("--open-panel") ||
            args[i] == QLatin1String("--machine")) {
            ++i;
            continue;
        }
        out.push_back(args[i].toStdString());
    }
    return out;
}

}  // namespace vantrel
