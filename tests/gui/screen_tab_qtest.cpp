// The screen tab in the real window: the picture buttons clicked as a user clicks them (the dialog
// answered by the script), and the media player playing a .wav written here through Qt Multimedia,
// or saying that there is no audio output, without crashing.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest/QtTest>
#include <cmath>

#include "app/application.h"
#include "gui/main_window.h"
#include "gui/qt_main_thread.h"
#include "gui/screen_tab.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;

class ScreenTabTest : public QObject {
    Q_OBJECT
  private slots:
    void pictureButtonLoadsAndEffectRunsOnItsThread();
    void mediaPlayerPlaysAWaveFileOrSaysThereIsNoOutput();
};

namespace {
struct Fixture {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    QtMainThread mt;
    Application app{state, controls, ui, mt};
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<GuiScreenTab> tab;
    Fixture() {
        app.createControls();
        window = std::make_unique<MainWindow>(app);
        app.hooks.repaint = [this] { window->repaintScene(); };
        tab = std::make_unique<GuiScreenTab>(app, *window);
        app.startUp();
        window->show();
    }
};

// One second of a 440 Hz tone, 16-bit mono at 8000 samples a second.
QByteArray waveFile() {
    const int rate = 8000, n = rate;
    QByteArray b;
    auto put = [&b](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.append(static_cast<char>(v >> (8 * i)));
    };
    b.append("RIFF");
    put(36 + 2 * n, 4);
    b.append("WAVEfmt ");
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(rate, 4);
    put(rate * 2, 4);
    put(2, 2);
    put(16, 2);
    b.append("data");
    put(2 * n, 4);
    for (int i = 0; i < n; ++i)
        put(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(2 * 3.14159265 * 440 * i / rate))), 2);
    return b;
}

QByteArray bitmap8x8() {
    QByteArray b("BM");
    auto put = [&b](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.append(static_cast<char>(v >> (8 * i)));
    };
    put(54 + 8 * 24, 4);
    put(0, 4);
    put(54, 4);
    put(40, 4);
    put(8, 4);
    put(8, 4);
    put(1, 2);
    put(24, 2);
    for (int i = 0; i < 6; ++i) put(0, 4);
    for (int i = 0; i < 64; ++i) {
        b.append(static_cast<char>(i));
        b.append(static_cast<char>(255 - i));
        b.append(static_cast<char>(4 * i));
    }
    return b;
}
}  // namespace

void ScreenTabTest::pictureButtonLoadsAndEffectRunsOnItsThread() {
    Fixture f;
    QTemporaryDir dir;
    const QString path = dir.filePath("p.bmp");
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bitmap8x8());
    out.close();
    auto* button = qobject_cast<QToolButton*>(f.window->widget("sb_onpicture"));
    QVERIFY(button);
    QCOMPARE(button->text(), QString("背景の絵"));
    auto* scroll = qobject_cast<QToolButton*>(f.window->widget("sb_scroll"));
    QVERIFY(scroll && scroll->isHidden());
    f.ui.fileAnswers.push_back(path.toStdString());
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(f.state.picture.pictureMode, 1);
    QCOMPARE(f.state.picture.pictureImage.width(), 8);
    QVERIFY(!scroll->isHidden());
    QTest::mouseClick(scroll, Qt::LeftButton);
    QVERIFY(scroll->isChecked());
    // The frames come from the effect thread through the event loop.
    QTRY_VERIFY_WITH_TIMEOUT(f.tab->pictures().thread().frames() >= 3, 5000);
    QTest::mouseClick(scroll, Qt::LeftButton);
    QVERIFY(!f.tab->pictures().thread().running());
    QCOMPARE(f.state.picture.effectKind.load(), 255);
}

void ScreenTabTest::mediaPlayerPlaysAWaveFileOrSaysThereIsNoOutput() {
    Fixture f;
    QTemporaryDir dir;
    const QString path = dir.filePath("tone.wav");
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(waveFile());
    out.close();
    auto* button = qobject_cast<QToolButton*>(f.window->widget("sb_musicav"));
    QVERIFY(button);
    f.ui.fileAnswers.push_back(path.toStdString());
    QTest::mouseClick(button, Qt::LeftButton);
    const bool opened = f.tab->mediaCommands().opened();
    qInfo("media: opened %d, length %lld ms, messages %d (%s)", opened,
          static_cast<long long>(f.tab->media().length()), static_cast<int>(f.ui.messages.size()),
          f.ui.messages.empty() ? "" : f.ui.messages.back().c_str());
    if (!opened) {
        // Nothing could play it here: the user was told why and the button popped up.
        QVERIFY(!f.ui.messages.empty());
        QVERIFY(!button->isChecked());
        return;
    }
    QVERIFY(button->isChecked());
    QVERIFY(f.state.picture.mediaPlaying);
    QVERIFY(f.tab->media().timerRunning());
    QCOMPARE(f.controls.get("TrackBar1").maximum, static_cast<int>(f.tab->media().length()));
    QVERIFY(f.tab->media().length() >= 900 && f.tab->media().length() <= 1100);
    if (f.tab->media().missingAudioOutput()) {
        QCOMPARE(f.ui.messages.back(), std::string(kMsgNoAudioOutput));
    } else {
        // It plays: the position moves, and after the end the timer starts it again from the beginning.
        QTRY_VERIFY_WITH_TIMEOUT(f.tab->media().position() > 0, 5000);
    }
    QTest::qWait(2500);
    qInfo("media: position after 2.5 s %lld ms", static_cast<long long>(f.tab->media().position()));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!f.state.picture.mediaPlaying);
    QVERIFY(!f.tab->media().timerRunning());
    QVERIFY(f.window->widget("TrackBar1")->isHidden());
}

QTEST_MAIN(ScreenTabTest)
#include "screen_tab_qtest.moc"
