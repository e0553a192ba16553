// Plays a program from the play button in the real main window (offscreen): the window is locked while
// the play runs and unlocked after it, the block number shows the last block and the progress bar
// returns to 0.
#include <QAction>
#include <QProgressBar>
#include <QToolButton>
#include <QtTest/QtTest>

#include "app/application.h"
#include "gui/gui_playback.h"
#include "gui/main_window.h"
#include "gui/qt_main_thread.h"
#include "program/quon_strings.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;

class PlaybackTest : public QObject {
    Q_OBJECT
  private slots:
    void playsFromTheButtonToTheEnd();
    void closingDuringAPlayStopsAndJoinsIt();
};

namespace {
struct Fixture {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    QtMainThread mt;
    Application app{state, controls, ui, mt};
    TQuonStrings program;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<GuiPlayback> playback;
    bool readOnly = false;
    Fixture(const char* text) {
        program.SetText(text);
        app.createControls();
        window = std::make_unique<MainWindow>(app);
        app.hooks.repaint = [this] { window->repaintScene(); };
        app.startUp();
        window->show();
        playback = std::make_unique<GuiPlayback>(app, *window, program);
        playback->view().editorReadOnly = [this](bool on) { readOnly = on; };
    }
};
}  // namespace

void PlaybackTest::playsFromTheButtonToTheEnd() {
    Fixture f("O0001\nG00 X10.\nM00\nG01 X20. F1000\nM30\n");
    f.controls.setChecked("menu_m0no", false);  // stop at M00 so the locked window can be looked at
    auto* play = qobject_cast<QToolButton*>(f.window->widget("sb_play"));
    QVERIFY(play);
    QTest::mouseClick(play, Qt::LeftButton);
    PlaybackController& pc = f.playback->session().controller();
    QTRY_VERIFY_WITH_TIMEOUT(pc.running() && !f.controls.checked("sb_play"), 5000);  // paused at M00
    QVERIFY(!f.window->widget("sb_view1")->isEnabled());
    QVERIFY(!f.window->widget("sb_kikai1")->isEnabled());
    QVERIFY(!f.window->action("File1")->isEnabled());
    QVERIFY(!f.window->action("Show1")->isEnabled());
    QVERIFY(f.window->widget("ProgressBar1")->isEnabled());
    QVERIFY(f.readOnly);
    QCOMPARE(f.window->windowTitle(), QString("再生中（右クリックでスキップできます）"));
    QTest::mouseClick(play, Qt::LeftButton);  // resume
    QTRY_VERIFY_WITH_TIMEOUT(!pc.running(), 5000);
    pc.join();
    QTRY_VERIFY(f.window->widget("sb_view1")->isEnabled());
    QVERIFY(f.window->widget("sb_kikai1")->isEnabled());
    QVERIFY(f.window->action("File1")->isEnabled());
    QVERIFY(!f.readOnly);
    QCOMPARE(f.controls.caption("label_l"), std::string("5"));
    auto* progress = qobject_cast<QProgressBar*>(f.window->widget("ProgressBar1"));
    QVERIFY(progress);
    QCOMPARE(progress->value(), 0);
    QVERIFY(!progress->isEnabled());
    QCOMPARE(f.window->windowTitle(), QString("Vantrel 3.71"));
    QCOMPARE(pc.lastResult().end, PlayEnd::M30);
}

void PlaybackTest::closingDuringAPlayStopsAndJoinsIt() {
    Fixture f("O0001\nG00 X10.\nM00\nG01 X20. F1000\nM30\n");
    f.controls.setChecked("menu_m0no", false);
    QTest::mouseClick(qobject_cast<QToolButton*>(f.window->widget("sb_play")), Qt::LeftButton);
    PlaybackController& pc = f.playback->session().controller();
    QTRY_VERIFY_WITH_TIMEOUT(pc.running() && !f.controls.checked("sb_play"), 5000);
    f.ui.yesNoAnswers = {true};
    QVERIFY(f.window->close());
    QVERIFY(!pc.running());
    QCOMPARE(f.ui.log.back(), std::string("ask:終了しますか?"));
    QCOMPARE(pc.lastResult().end, PlayEnd::Stop);
}

QTEST_MAIN(PlaybackTest)
#include "playback_qtest.moc"
