// Starts the real main window on the offscreen platform and drives it like a user.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest/QtTest>

#include "app/application.h"
#include "gui/main_window.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void namedControlsCarryTheirCaptions();
    void clickingGridButtonFlipsSwitchAndMenuMark();
    void closeAskedAndRefusedWhenConnected();
    void machinePartsFromTheDisplayOptions();
};

namespace {
struct Fixture {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    InlineMainThread mt;
    Application app{state, controls, ui, mt};
    std::unique_ptr<MainWindow> window;
    Fixture() {
        app.createControls();
        window = std::make_unique<MainWindow>(app);
        app.hooks.repaint = [this] { window->repaintScene(); };
        app.startUp();
        window->show();
    }
};
}  // namespace

void MainWindowTest::namedControlsCarryTheirCaptions() {
    Fixture f;
    QCOMPARE(f.window->windowTitle(), QString("Vantrel 3.71"));
    QVERIFY(f.window->action("File1"));
    QCOMPARE(f.window->action("File1")->text(), QString("ファイル"));
    QCOMPARE(f.window->action("menu_kikai")->text(), QString("機械（立ち型）"));
    QCOMPARE(f.window->action("menu_kikai4")->text(), QString("【ワイヤ放電加工機】"));
    QCOMPARE(f.window->action("N13")->text(), QString("初期状態"));
    auto* end = qobject_cast<QToolButton*>(f.window->widget("sb_end"));
    QVERIFY(end);
    QCOMPARE(end->toolTip(), QString("終了"));
    auto* grid = qobject_cast<QToolButton*>(f.window->widget("sb_showgrid"));
    QVERIFY(grid);
    QCOMPARE(grid->toolTip(), QString("グリッド表示"));
    QVERIFY(grid->isChecked());
    auto* tabs = qobject_cast<QTabWidget*>(f.window->widget("PageControl1"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->tabText(0), QString("画面"));
    QCOMPARE(tabs->tabText(3), QString("色情報"));
    QCOMPARE(tabs->currentIndex(), 0);
    QVERIFY(f.window->widget("panel_grid"));
    QVERIFY(!f.window->widget("panel_grid")->isVisible());
    QVERIFY(f.window->editorWindow());
    QCOMPARE(f.window->editorWindow()->windowTitle(), QString("編集"));
}

void MainWindowTest::clickingGridButtonFlipsSwitchAndMenuMark() {
    Fixture f;
    auto* grid = qobject_cast<QToolButton*>(f.window->widget("sb_showgrid"));
    QAction* menu = f.window->action("menu_grid");
    QVERIFY(grid && menu);
    QVERIFY(f.state.display.grid_on);
    QVERIFY(menu->isChecked());
    QTest::mouseClick(grid, Qt::LeftButton);
    QVERIFY(!f.state.display.grid_on);
    QVERIFY(!menu->isChecked());
    QVERIFY(!grid->isChecked());
    QVERIFY(!f.controls.checked("menu_grid"));
    menu->trigger();  // and back through the menu
    QVERIFY(f.state.display.grid_on);
    QVERIFY(grid->isChecked());
    QVERIFY(menu->isChecked());
}

void MainWindowTest::closeAskedAndRefusedWhenConnected() {
    Fixture f;
    f.state.dnc.connected = true;
    QVERIFY(!f.window->close());
    QCOMPARE(f.ui.messages.back(), std::string("接続中です"));
    f.state.dnc.connected = false;
    f.ui.yesNoAnswers = {true};
    QVERIFY(f.window->close());
    QCOMPARE(f.ui.log.back(), std::string("ask:終了しますか?"));
}

// "機械" shows the machine; "詳細設定" opens the display options whose check boxes switch its parts.
void MainWindowTest::machinePartsFromTheDisplayOptions() {
    Fixture f;
    auto* machine = qobject_cast<QToolButton*>(f.window->widget("sb_showkikai"));
    QVERIFY(machine);
    QVERIFY(!f.state.display.kikai_on);
    QTest::mouseClick(machine, Qt::LeftButton);
    QVERIFY(f.state.display.kikai_on);
    QWidget* panel = f.window->widget("panel_hyoujiop");
    QVERIFY(panel && !panel->isVisible());
    f.window->action("N43")->trigger();
    QVERIFY(panel->isVisible());
    auto* vice = qobject_cast<QCheckBox*>(f.window->widget("checkbox_bise"));
    QVERIFY(vice && vice->isChecked());
    QTest::mouseClick(vice, Qt::LeftButton);
    QVERIFY(!f.state.machine.showVice);
    auto* spindle = qobject_cast<QCheckBox*>(f.window->widget("checkbox_spindle"));
    QVERIFY(spindle);
    QTest::mouseClick(spindle, Qt::LeftButton);
    QVERIFY(!f.state.machine.showSpindle);
    QVERIFY(!f.state.machine.spindleShown);
}

QTEST_MAIN(MainWindowTest)
#include "main_window_qtest.moc"
