// The settings store with the real main window (offscreen) and the store in a temporary
// XDG_CONFIG_HOME: what the user changes survives a close and a new start, and a store the window
// wrote gives vantrel-sim play the same cut as the window's own play.
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest/QtTest>

#include <memory>
#include <sstream>

#include "app/application.h"
#include "app/settings_store.h"
#include "cli/play_command.h"
#include "cli/scene_render_command.h"
#include "gui/gui_playback.h"
#include "gui/main_window.h"
#include "gui/qt_main_thread.h"
#include "platform/atomic_file.h"
#include "program/quon_strings.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;

class SettingsTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void changesSurviveCloseAndStart();
    void storedStatePlaysTheSameCutInTheRunner();

  private:
    std::unique_ptr<QTemporaryDir> dir_;
};

namespace {

// The program as main() starts it: controls, commands, the window, the store, the start-up.
struct Program {
    std::unique_ptr<AppState> state = std::make_unique<AppState>();
    ControlSet controls;
    ScriptedUiServices ui;
    QtMainThread mt;
    Application app{*state, controls, ui, mt};
    TQuonStrings text;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<GuiPlayback> playback;
    Program() {
        app.createControls();
        app.bindSubsystemCommands(&text);
        window = std::make_unique<MainWindow>(app);
        app.hooks.repaint = [this] { window->repaintScene(); };
        app.hooks.requestClose = [this] { window->close(); };
        attachSettingsStore(app, settingsStorePath());
        app.startUp();
        window->show();
        playback = std::make_unique<GuiPlayback>(app, *window, text);
    }
    AppState& s() { return *state; }
    void clickButton(const char* name) {
        auto* b = qobject_cast<QToolButton*>(window->widget(name));
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // "終了" answered Yes: the window closes and the settings are saved.
    void close() {
        ui.yesNoAnswers.push_back(true);
        clickButton("sb_end");
        QTRY_VERIFY(!window->isVisible());
    }
};

}  // namespace

void SettingsTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    qputenv("XDG_CONFIG_HOME", dir_->path().toUtf8());
}

void SettingsTest::changesSurviveCloseAndStart() {
    const std::string store = settingsStorePath();
    QVERIFY(store.rfind(dir_->path().toStdString(), 0) == 0);
    {
        Program p;
        p.clickButton("sb_kikai3");  // the horizontal mill
        QCOMPARE(p.s().machineKind, MachineKind::HorizontalMill);
        p.ui.keypadAnswers.push_back(123.5);
        p.controls.click("label_zai_x");  // the stock's X size through the keypad
        QCOMPARE(p.s().stock.sizeX, 123.5f);
        p.ui.colourAnswers.push_back(0x203040);
        p.controls.click("panel_clzai");
        QCOMPARE(p.s().colours[ColourPalette::kZai], 0x203040u);
        p.ui.keypadAnswers.push_back(7);  // a new tool number 7
        p.controls.click("button_t_new");
        QCOMPARE(p.s().tools.millTools.size(), size_t(2));
        p.ui.keypadAnswers.push_back(16);
        p.controls.click("label_t_kei");  // its diameter
        QCOMPARE(p.s().tools.millTools[1].diameter, 16.0);
        QVERIFY(p.controls.checked("ini1"));
        p.close();
        QVERIFY(p.ui.messages.empty());
    }
    Program p;
    QVERIFY(p.ui.messages.empty());
    QCOMPARE(p.s().machineKind, MachineKind::HorizontalMill);
    QVERIFY(p.controls.checked("menu_kikai1"));
    QVERIFY(qobject_cast<QToolButton*>(p.window->widget("sb_kikai3"))->isChecked());
    QCOMPARE(p.s().stock.sizeX, 123.5f);
    QCOMPARE(p.s().colours[ColourPalette::kZai], 0x203040u);
    QCOMPARE(p.controls.get("panel_clzai").color, 0x203040u);
    QCOMPARE(p.s().tools.millTools.size(), size_t(2));
    QCOMPARE(p.s().tools.millTools[1].number, 7);
    QCOMPARE(p.s().tools.millTools[1].diameter, 16.0);
    QCOMPARE(p.controls.items("ComboBox1"), (std::vector<std::string>{"-", "7"}));
    p.close();
}

void SettingsTest::storedStatePlaysTheSameCutInTheRunner() {
    const char* programText =
        "O0001\nG90 G54\nT3\nM06\nG00 X-40. Y-10. Z5.\nG01 Z-4. F3000\nX40.\nY15.\n"
        "X-40.\nG00 Z50.\nM30\n";
    const std::string programFile = (dir_->path() + "/cut.nc").toStdString();
    QVERIFY(writeFileAtomically(programFile, programText));
    double windowVolume = 0;
    {
        Program p;
        // The shop's state: a smaller stock and tool 3 of diameter 12, made in the window.
        p.ui.keypadAnswers.push_back(90);
        p.controls.click("label_zai_x");
        p.ui.keypadAnswers.push_back(3);
        p.controls.click("button_t_new");
        p.ui.keypadAnswers.push_back(12);
        p.controls.click("label_t_kei");
        p.close();
    }
    {
        Program p;  // started from the store, as the runner will be
        QCOMPARE(p.s().tools.millTools.size(), size_t(2));
        p.text.SetText(programText);
        auto before = std::make_unique<StockGrid>();
        initialiseStockGrid(*before, p.s().stock, p.s().machineKind);
        p.clickButton("sb_playfast");
        PlaybackController& pc = p.playback->session().controller();
        QTRY_VERIFY_WITH_TIMEOUT(!pc.running() && pc.lastResult().blocks > 0, 20000);
        pc.join();
        QCOMPARE(pc.lastResult().end, PlayEnd::M30);
        windowVolume = measureRemoved(*before, p.s().stockGrid, p.s().stock, p.s().machineKind).removedVolume;
        p.close();
    }
    QVERIFY(windowVolume > 100);
    std::ostringstream out, err;
    const int rc =
        runPlayCommand({programFile, "--mode", "fast", "--settings", settingsStorePath()}, out, err);
    QCOMPARE(rc, 0);
    const std::string report = out.str();
    const auto at = report.find("\"removed_volume_mm3\": ");
    QVERIFY2(at != std::string::npos, report.c_str());
    const double runnerVolume = std::stod(report.substr(at + 22));
    qInfo("removed volume: window %.6f mm3, vantrel-sim play --settings %.6f mm3", windowVolume,
          runnerVolume);
    QVERIFY2(std::fabs(runnerVolume - windowVolume) <= 1e-6 * windowVolume,
             (std::to_string(runnerVolume) + " vs " + std::to_string(windowVolume)).c_str());
    // Without the store the runner cuts with its own start-up tool: a different cut.
    std::ostringstream plain, err2;
    QCOMPARE(runPlayCommand({programFile, "--mode", "fast"}, plain, err2), 0);
    QVERIFY(plain.str() != report);
}

QTEST_MAIN(SettingsTest)
#include "settings_qtest.moc"
