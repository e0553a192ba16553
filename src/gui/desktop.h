#pragma once
// The desktop program put together: the controls and the application shell, the main window, the screen
// tab, the settings store, the editor window with the program-file commands, the play, the
// communication panel and the scene, in the order the start-up needs them. The program's main and the
// Qt tests that walk the whole window build the very same thing.
//
//   Desktop d(state, program, ui, mainThread);
//   QtQuestions questions(&d.window());
//   d.start(settingsStorePath(), &questions, programArguments(qapp.arguments()));
//   d.window().show();
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/dnc_panel.h"
#include "gui/check_list.h"
#include "gui/gui_dnc.h"
#include "gui/gui_playback.h"
#include "gui/main_window.h"
#include "gui/program_editor.h"
#include "gui/qt_main_thread.h"
#include "gui/scene_view.h"
#include "gui/screen_tab.h"
#include "program/quon_strings.h"

namespace vantrel {

class Desktop {
  public:
    // Registers and binds every control and builds the main window with its screen tab.
    Desktop(AppState& state, TQuonStrings& program, UiServices& ui, MainThread& mainThread);
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // The start-up: the settings store at `settingsPath` (none when empty) is loaded and applied, then
    // the editor (its questions through `questions`, or the UiServices when null) loads the program the
    // arguments name, and the play, the communication panel and the scene are set up.
    void start(const std::string& settingsPath, CaptionedQuestions* questions,
               const std::vector<std::string>& programArguments);

    ControlSet& controls() { return controls_; }
    Application& app() { return app_; }
    MainWindow& window() { return *window_; }
    GuiScreenTab& screenTab() { return *screenTab_; }
    ProgramEditor& editor() { return *editor_; }
    GuiPlayback& playback() { return *playback_; }
    GuiCheckList& checkList() { return *checkList_; }
    DncPanel& dnc() { return *dnc_; }
    GuiScene& scene() { return *scene_; }
    // Draws the program strip beside the view from the program's first line.
    void redrawProgramStrip();

  private:
    AppState& state_;
    TQuonStrings& program_;
    UiServices& ui_;
    ControlSet controls_;
    Application app_;
    QtTextPainter painter_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<GuiScreenTab> screenTab_;
    std::unique_ptr<ProgramEditor> editor_;
    std::unique_ptr<GuiPlayback> playback_;
    std::unique_ptr<GuiCheckList> checkList_;
    std::unique_ptr<DncPanel> dnc_;
    std::unique_ptr<GuiDnc> guiDnc_;
    std::unique_ptr<GuiScene> scene_;
};

}  // namespace vantrel
