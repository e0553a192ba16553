#pragma once
// The real main window, shown offscreen, with a sample program loaded, its play and its scene: what a
// user gets after starting the program on a file. Shared by the Qt tests that play from the play button.
#include <QToolButton>
#include <QtTest/QtTest>
#include <memory>
#include <string>

#include "app/application.h"
#include "gui/gui_playback.h"
#include "gui/main_window.h"
#include "gui/qt_main_thread.h"
#include "gui/scene_view.h"
#include "program/quon_strings.h"
#include "support/scripted_ui_services.h"

namespace vantrel::testing {

struct WindowHarness {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    QtMainThread mt;
    Application app{state, controls, ui, mt};
    TQuonStrings program;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<GuiPlayback> playback;
    std::unique_ptr<GuiScene> scene;

    // Loads samples/<sample> (the build names the source tree: __FILE__ may be relative when the
    // compiler cache rewrites paths) and shows the window.
    bool open(const std::string& sample = "pocket.nc") {
        std::string message;
        if (!program.LoadFromFile(std::string(VANTREL_SOURCE_DIR) + "/samples/" + sample, &message))
            return false;
        app.createControls();
        window = std::make_unique<MainWindow>(app);
        app.hooks.repaint = [this] { window->repaintScene(); };
        app.startUp();
        window->resize(1000, 700);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) return false;
        playback = std::make_unique<GuiPlayback>(app, *window, program);
        scene = std::make_unique<GuiScene>(app, *window, *playback);
        return true;
    }
    // Presses the play button and waits for the play to end at M30.
    bool playToTheEnd() {
        auto* play = qobject_cast<QToolButton*>(window->widget("sb_play"));
        if (!play) return false;
        QTest::mouseClick(play, Qt::LeftButton);
        PlaybackController& pc = playback->session().controller();
        if (!QTest::qWaitFor([&] { return !pc.running(); }, 60000)) return false;
        pc.join();
        QCoreApplication::processEvents();
        return pc.lastResult().end == PlayEnd::M30;
    }
    ~WindowHarness() {
        scene.reset();
        playback.reset();
    }
};

}  // namespace vantrel::testing
