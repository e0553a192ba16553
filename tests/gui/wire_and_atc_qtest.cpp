// The wire EDM and the tool changer in the real main window (offscreen), played from the play button:
// the two-tool-change sample shows the changer's frames and changes the tool; the punch sample plays
// to its end on the wire EDM without touching the stock, and leaves only plain play available.
#include <QToolButton>
#include <QtTest/QtTest>
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "app/application.h"
#include "gui/gui_playback.h"
#include "gui/main_window.h"
#include "gui/qt_main_thread.h"
#include "gui/scene_view.h"
#include "program/quon_strings.h"
#include "scene/tool_change_frames.h"
#include "stock/stock_spec.h"
#include "support/scripted_ui_services.h"
#include "tools/tool_table.h"
#include "window_harness.h"

using namespace vantrel;

class WireAndAtcTest : public QObject {
    Q_OBJECT
  private slots:
    void twoToolChangesShowTheChangerAndChangeTheTool();
    void punchPlaysOnTheWireEdmWithoutCutting();
};

namespace {

using Harness = vantrel::testing::WindowHarness;

}  // namespace

void WireAndAtcTest::twoToolChangesShowTheChangerAndChangeTheTool() {
    Harness h;
    QVERIFY(h.open("two_tool_changes.nc"));
    QVERIFY(h.state.machine.atcAnimation);
    // The list's placeholder (loaded) and the two tools the program names.
    ToolRecord t1 = defaultMillTool(), t2 = defaultMillTool();
    t1.number = 1;
    t1.diameter = 10;
    t2.number = 2;
    t2.diameter = 4;
    t2.length = 80;
    h.state.tools.millTools = {h.state.tools.millTools.at(0), t1, t2};
    std::mutex mu;
    std::vector<std::string> loaded;  // what label_t0 (the tool in the spindle) showed
    const int id = h.controls.subscribe([&](const Control& c, ControlChange ch) {
        if (ch != ControlChange::Caption || c.name != "label_t0") return;
        std::lock_guard lk(mu);
        loaded.push_back(c.caption);
    });
    QVERIFY(h.playToTheEnd());
    h.controls.unsubscribe(id);
    // Placeholder -> T1 and T1 -> T2: two swaps of 43 frames each.
    QCOMPARE(h.scene->drawing().toolChangeFramesShown(), int64_t{2 * kToolChangeFrames});
    std::lock_guard lk(mu);
    QVERIFY(std::find(loaded.begin(), loaded.end(), "01") != loaded.end());
    QVERIFY(std::find(loaded.begin(), loaded.end(), "02") != loaded.end());
}

void WireAndAtcTest::punchPlaysOnTheWireEdmWithoutCutting() {
    Harness h;
    QVERIFY(h.open("punch_wire.nc"));
    h.controls.click("sb_kikai2");  // the wire EDM
    QCOMPARE(h.state.machineKind, MachineKind::WireEdm);
    QVERIFY(h.ui.messages.empty());
    const std::vector<float> before(h.state.stockGrid.heights(),
                                    h.state.stockGrid.heights() + StockGrid::kCellCount);
    QVERIFY(h.playToTheEnd());
    CuttingPlaybackView& cut = h.playback->session().view();
    QCOMPARE(cut.cutSteps(), int64_t{0});
    QCOMPARE(cut.changedSteps(), int64_t{0});
    QVERIFY(std::equal(before.begin(), before.end(), h.state.stockGrid.heights()));
    QCOMPARE(h.scene->drawing().toolChangeFramesShown(), int64_t{0});
    // Only plain play remains for this machine.
    QVERIFY(!h.window->widget("sb_playstep")->isEnabled());
    QVERIFY(!h.window->widget("sb_playfast")->isEnabled());
    QVERIFY(h.window->widget("sb_play")->isEnabled());
}

QTEST_MAIN(WireAndAtcTest)
#include "wire_and_atc_qtest.moc"
