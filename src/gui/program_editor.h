#pragma once
// The program editor as the desktop program sets it up: the editor window (in the main window's care)
// over the one program store, and the program-file and tool-file commands bound to the main window's
// controls.
//
//   static TQuonStrings program;                 // the program text, for the editor and the players
//   QtQuestions questions(&window);
//   ProgramEditor editor(window, app, program, &questions);
//   editor.files().hooks.stockFit = ...;         // the stock fit command
//   editor.files().loadStartupParameter(programArguments(qapp.arguments()));
#include <QStringList>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/program_file_commands.h"
#include "gui/main_window.h"
#include "gui/memo_form.h"

namespace vantrel {

// Questions with their own caption and a question icon.
class QtQuestions : public CaptionedQuestions {
  public:
    explicit QtQuestions(QWidget* parent = nullptr) : parent_(parent) {}
    bool ask(const std::string& text, const std::string& caption) override;

  private:
    QWidget* parent_;
};

class ProgramEditor {
  public:
    // `questions` null: the questions go through the application's UiServices.
    ProgramEditor(MainWindow& window, Application& app, TQuonStrings& program,
                  CaptionedQuestions* questions = nullptr);
    ~ProgramEditor();
    ProgramEditor(const ProgramEditor&) = delete;
    ProgramEditor& operator=(const ProgramEditor&) = delete;

    Tmemoform& form() { return *form_; }
    TQuonEdit& edit() { return *form_->QuonEdit1(); }
    ProgramFileCommands& files() { return files_; }
    // Read-only while a program plays; back to editable (showing what the play wrote) after it.
    void setPlaying(bool playing) { edit().setReadOnly(playing); }

  private:
    Application& app_;
    Tmemoform* form_;  // owned by the main window
    MemoFormView view_;
    UiServicesQuestions defaultQuestions_;
    ProgramFileCommands files_;
};

// The program's own arguments: without the program name and the "--screenshot FILE", "--show-hint NAME",
// "--autoplay DELAY", "--open-panel NAME" and "--machine KIND" options.
std::vector<std::string> programArguments(const QStringList& args);

}  // namespace vantrel
