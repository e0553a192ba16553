// The lathe sample in the real main window (offscreen), played from the play button on the NC lathe and
// on the vertical lathe with the sample's own tools: the play reaches M30, T words load their tools at
// once, the part is faced, turned, grooved, threaded and drilled, and the turned part's picture equals
// the golden one a person has looked at. VANTREL_ACCEPT_GOLDEN=1 writes the pictures instead (and
// fails): look at them before committing.
#include <QToolButton>
#include <QtTest/QtTest>
#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "app/scene_composer.h"
#include "app/view_commands.h"
#include "render/png_writer.h"
#include "stock/stock_spec.h"
#include "tools/tool_file.h"
#include "tools/tool_table.h"
#include "window_harness.h"

using namespace vantrel;

class LatheTest : public QObject {
    Q_OBJECT
  private slots:
    void lathePartPlaysToItsEndOnTheLathe();
    void lathePartPlaysToItsEndOnTheVerticalLathe();
    void cyclesSamplePlaysToItsEndOnTheLathe();

  private:
    void playOn(const char* machineButton, MachineKind kind, const std::string& golden);
    void compareWithGolden(vantrel::testing::WindowHarness& h, const std::string& golden);
};

void LatheTest::playOn(const char* machineButton, MachineKind kind, const std::string& golden) {
    vantrel::testing::WindowHarness h;
    QVERIFY(h.open("lathe_part.nc"));
    h.controls.click(machineButton);
    QCOMPARE(h.state.machineKind, kind);
    std::string message;
    QVERIFY2(readToolFile(std::string(VANTREL_SOURCE_DIR) + "/samples/turning_tools.tgs", h.state.tools, kind,
                          kDefaultToolColor, message),
             message.c_str());
    QCOMPARE(h.state.tools.latheTools.size(), size_t{5});
    h.controls.click("sb_zai_fitscreen");

    std::mutex mu;
    std::vector<std::string> loaded;  // what label_t0 showed: the lathe loads at the T word
    const int id = h.controls.subscribe([&](const Control& c, ControlChange ch) {
        if (ch != ControlChange::Caption || c.name != "label_t0") return;
        std::lock_guard lk(mu);
        loaded.push_back(c.caption);
    });
    QVERIFY(h.playToTheEnd());
    h.controls.unsubscribe(id);
    {
        std::lock_guard lk(mu);
        for (const char* t : {"01", "03", "05", "07"})
            QVERIFY2(std::find(loaded.begin(), loaded.end(), t) != loaded.end(), t);
    }
    QVERIFY(h.controls.visible("label_g99"));
    QVERIFY(!h.controls.visible("label_g95"));

    // The part: D60 at slice 28 (finish pass), D80 at slice 50, the groove D54 at slice 26, the
    // thread's last pass 57.5 at slice 5, a D20 bore 40 deep, the stock untouched beyond Z-61.
    const float* od = h.state.stockGrid.outerDiameters();
    const float* id_ = h.state.stockGrid.innerDiameters();
    QCOMPARE(od[28], 60.0f);
    QCOMPARE(od[50], 80.0f);
    QCOMPARE(od[26], 54.0f);
    QCOMPARE(od[5], 57.5f);
    QCOMPARE(id_[20], 20.0f);
    QCOMPARE(id_[45], 0.0f);
    QCOMPARE(od[100], 100.0f);
    // The tool is back where it stood and the window unlocked.
    QVERIFY(h.window->widget("sb_kikai0")->isEnabled());

    compareWithGolden(h, golden);
}

void LatheTest::compareWithGolden(vantrel::testing::WindowHarness& h, const std::string& golden) {
    // The turned part drawn by the window's scene code from the window's state after the play, at a
    // fixed size and fitted, so that neither the layout of the panels nor the repaints the window
    // happened to make (the chuck's turning phase) enter the picture.
    SceneComposer composer(h.state);
    composer.setSceneSize(320, 240);
    fitToScreen(h.state.view, composer.viewEnvironment());
    composer.repaintScene();
    composer.drawStockSurface();  // the machined profiles, as the stock display shows them after a play
    composer.showScene();
    const Image32& got = composer.window();
    const std::string path = std::string(VANTREL_SOURCE_DIR) + "/tests/gui/data/" + golden;
    if (std::getenv("VANTREL_ACCEPT_GOLDEN")) {
        QVERIFY(writePng(path, got));
        QFAIL(("wrote " + path + ": look at it before committing").c_str());
    }
    Image32 want;
    QVERIFY2(readPng(path, want), path.c_str());
    QCOMPARE(got.width(), want.width());
    QCOMPARE(got.height(), want.height());
    int differ = 0;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x) differ += got.at(x, y) != want.at(x, y);
    QCOMPARE(differ, 0);
}

void LatheTest::lathePartPlaysToItsEndOnTheLathe() {
    playOn("sb_kikai1", MachineKind::Lathe, "lathe_part_lathe.png");
}

void LatheTest::lathePartPlaysToItsEndOnTheVerticalLathe() {
    playOn("sb_kikai4", MachineKind::VerticalLathe, "lathe_part_vlathe.png");
}

void LatheTest::cyclesSamplePlaysToItsEndOnTheLathe() {
    // The multiple repetitive cycles sample: G71 roughs, G70 finishes along the shape, G75 grooves and
    // G76 threads, each from its own block.
    vantrel::testing::WindowHarness h;
    QVERIFY(h.open("lathe_cycles.nc"));
    h.controls.click("sb_kikai1");
    std::string message;
    QVERIFY2(readToolFile(std::string(VANTREL_SOURCE_DIR) + "/samples/turning_tools.tgs", h.state.tools,
                          MachineKind::Lathe, kDefaultToolColor, message),
             message.c_str());
    h.controls.click("sb_zai_fitscreen");
    QVERIFY(h.playToTheEnd());

    // Slices from the end face: the chamfer's D46..50, the thread's last pass D48.16 at slice 10,
    // the groove D46 at slice 30, the finished D60 shoulder, the taper and D70 at slice 50, the stock
    // beyond Z-61 untouched.
    const float* od = h.state.stockGrid.outerDiameters();
    QCOMPARE(od[10], 48.16f);
    QCOMPARE(od[30], 46.0f);
    QCOMPARE(od[50], 70.0f);
    QCOMPARE(od[100], 100.0f);
    QVERIFY(h.window->widget("sb_kikai0")->isEnabled());
    compareWithGolden(h, "lathe_cycles_lathe.png");
}

QTEST_MAIN(LatheTest)
#include "lathe_qtest.moc"
