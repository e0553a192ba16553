// The communication panel in the real window: a long transfer runs while the window keeps serving
// its events.
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QtTest>
#include <thread>

#include "app/application.h"
#include "app/dnc_panel.h"
#include "dnc/pty_pair.h"
#include "gui/main_window.h"
#include "gui/qt_main_thread.h"
#include "program/quon_strings.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;

class DncPanelTest : public QObject {
    Q_OBJECT
  private slots:
    void panelOpensFromTheToolBar();
    void aLongTransferKeepsTheWindowResponsive();
};

namespace {
struct Fixture {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    QtMainThread mt;
    Application app{state, controls, ui, mt};
    TQuonStrings program;
    vantrel::testing::PtyPair pty;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<DncPanel> dnc;
    Fixture() {
        app.createControls();
        window = std::make_unique<MainWindow>(app);
        app.startUp();
        state.dnc.portDevices = {pty.path, "", "", ""};
        dnc = std::make_unique<DncPanel>(state, controls, ui, mt, program);
        window->show();
    }
    ~Fixture() { dnc.reset(); }
    QToolButton* button(const char* name) { return qobject_cast<QToolButton*>(window->widget(name)); }
};
}  // namespace

void DncPanelTest::panelOpensFromTheToolBar() {
    Fixture f;
    QWidget* panel = f.window->widget("panel_tuusin");
    QVERIFY(panel);
    QVERIFY(!panel->isVisible());
    QTest::mouseClick(f.button("sb_tuusin"), Qt::LeftButton);
    QVERIFY(panel->isVisible());
    auto* device = qobject_cast<QLabel*>(f.window->widget("label_tuusin_device"));
    QVERIFY(device);
    QCOMPARE(device->text(), QString::fromStdString(f.pty.path));
    QTest::mouseClick(f.button("sb_rssetuzoku"), Qt::LeftButton);
    QVERIFY(f.state.dnc.connected);
    QVERIFY(!f.window->widget("combo_baudrate")->isEnabled());
    QVERIFY(f.button("sb_sousin")->isEnabled());
    QTest::mouseClick(f.button("sb_rssetuzoku"), Qt::LeftButton);
    QVERIFY(!f.state.dnc.connected);
}

void DncPanelTest::aLongTransferKeepsTheWindowResponsive() {
    Fixture f;
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text.append("N").append(std::to_string(i + 1)).append(" G01 X12.345 Y-6.789 F300\n");
    f.program.SetText(text);
    QTest::mouseClick(f.button("sb_tuusin"), Qt::LeftButton);
    QTest::mouseClick(f.button("sb_rssetuzoku"), Qt::LeftButton);
    QVERIFY(f.state.dnc.connected);
    // 115,200 baud is not among the panel's items; set on the open line like any property. (A
    // pseudo-terminal does not pace the bytes at the line speed.)
    QVERIFY(f.dnc->comm().setBaudRate(115200).ok());
    std::atomic<long long> atMachine{0};
    std::atomic<bool> done{false};
    std::thread machine([&] {
        char buf[65536];
        while (!done) {
            pollfd p{f.pty.master, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                ssize_t r = read(f.pty.master, buf, sizeof buf);
                if (r > 0) atMachine += r;
            }
        }
    });
    int ticks = 0, ticksWhileSending = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (f.dnc->running()) ++ticksWhileSending;
    });
    timer.start(5);
    QTest::mouseClick(f.button("sb_sousin"), Qt::LeftButton);
    QCOMPARE(f.ui.messages.back(), std::string("送信します（右クリックで停止）"));
    QVERIFY(QTest::qWaitFor([&] { return f.controls.caption("sb_sousin") == "強制送信"; }, 120000));
    done = true;
    machine.join();
    const std::string status = f.controls.caption("label_tuusin_status");
    qInfo("%s; timer events while sending: %d", status.c_str(), ticksWhileSending);
    QVERIFY2(status.rfind("送信終了 100000 行", 0) == 0, status.c_str());
    QVERIFY(status.find("バイト/秒") != std::string::npos);
    QVERIFY(ticksWhileSending >= 3);
    QCOMPARE(atMachine.load(),
             static_cast<long long>(
                 encodeProgram(programLinesForSending(f.program), TransferCode::Iso, false, false).size()));
}

QTEST_MAIN(DncPanelTest)
#include "dnc_qtest.moc"
