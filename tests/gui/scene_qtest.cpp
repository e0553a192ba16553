// Plays the pocket sample from the play button in the real main window (offscreen) and checks that
// the scene widget's picture shows the cut: the stock's pixels where the pocket lies change.
#include <QToolButton>
#include <QtTest/QtTest>
#include <set>
#include <string>

#include "app/application.h"
#include "app/view_commands.h"
#include "gui/gui_playback.h"
#include "gui/main_window.h"
#include "gui/qt_main_thread.h"
#include "gui/scene_view.h"
#include "program/quon_strings.h"
#include "render/raster.h"
#include "render/view.h"
#include "support/scripted_ui_services.h"
#include "window_harness.h"

using namespace vantrel;

class SceneTest : public QObject {
    Q_OBJECT
  private slots:
    void playShowsThePocketInTheSceneWidget();
    void positionLabelsFollowTheToolDuringAPlay();
    void pathPiecesAreDrawnDuringAPlayWithPathDrawingOn();
};

using Harness = vantrel::testing::WindowHarness;

void SceneTest::playShowsThePocketInTheSceneWidget() {
    Harness h;
    QVERIFY(h.open());
    AppState& state = h.state;
    GuiScene* scene = h.scene.get();
    MainWindow* window = h.window.get();
    Application& app = h.app;
    SceneComposer& c = scene->composer();
    QCOMPARE(window->scene()->image(), &c.window());

    // Frame the stock and look at it.
    fitToScreen(state.view, c.viewEnvironment());
    state.display.tool_on = false;  // nothing in front of the pocket at the end
    state.display.holder_on = false;
    app.requestRepaint();
    QVERIFY(c.window().width() > 100);
    updateViewBasis(state.view, state.machineKind);
    const ProjectedPoint p = projectPoint(state.view, Vec3{50, 50, 0});
    const int x = state.view.originX + p.px, y = state.view.originY + p.py;
    QVERIFY(c.window().contains(x, y));
    const uint32_t before = c.window().at(x, y);

    QVERIFY(h.playToTheEnd());
    const uint32_t after = c.window().at(x, y);
    QVERIFY2(after != before, "the pocket's floor is drawn differently from the untouched top");
    // The widget shows the composer's picture: grab it and compare the same pixel.
    const QImage shot = window->scene()->grab().toImage();
    QCOMPARE(shot.pixel(x, y) & 0xFFFFFFu, after & 0xFFFFFFu);
    // Copies during the play were rectangles, not the whole picture each step.
    QVERIFY(c.fullWindowCopies() < 10);
}

// "再生時補間経路描画" turned on from its tool-bar button: every piece of the play is drawn into the
// scene, in the feed-path colour, and stays in the picture after the play.
void SceneTest::pathPiecesAreDrawnDuringAPlayWithPathDrawingOn() {
    Harness h;
    QVERIFY(h.open());
    SceneComposer& c = h.scene->composer();
    auto* button = qobject_cast<QToolButton*>(h.window->widget("sb_lineplay"));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(h.controls.checked("menu_playlineon"));
    h.controls.setChecked("menu_repaint", false);  // no full repaint after the play
    // The stock hidden: its cut cells, redrawn as they are cut, would cover the path inside the pocket.
    h.state.stock.visible = 0;
    fitToScreen(h.state.view, c.viewEnvironment());
    h.app.requestRepaint();
    const uint32_t feed = toPixel(h.state.colours[3]);
    auto feedPixels = [&] {
        int64_t n = 0;
        for (int y = 0; y < c.window().height(); ++y)
            for (int x = 0; x < c.window().width(); ++x)
                n += (c.window().at(x, y) & 0xFFFFFFu) == (feed & 0xFFFFFFu);
        return n;
    };
    const int64_t before = feedPixels();
    QVERIFY(h.playToTheEnd());
    QVERIFY(c.pathPiecesDrawn() > 10);
    QVERIFY2(feedPixels() > before + 300, "the feed path shows in the window image");
}

// The X label shows the tool's X while the pocket plays (the tool and holder shown), and the step-play
// slider sets the drawing interval.
void SceneTest::positionLabelsFollowTheToolDuringAPlay() {
    Harness h;
    QVERIFY(h.open());
    AppState& state = h.state;
    ControlSet& controls = h.controls;

    controls.moveTo("TrackBar3", 4);
    QCOMPARE(state.play.speedStep, 10);
    controls.moveTo("TrackBar3", 5);
    QCOMPARE(state.play.speedStep, 1);

    std::set<std::string> xs;
    const int id = controls.subscribe([&](const Control& c, ControlChange) {
        if (c.name == "label_x") xs.insert(c.caption);
    });
    QVERIFY(h.playToTheEnd());
    controls.unsubscribe(id);
    // The pocket runs from X30 to X70: many positions were shown on the way.
    QVERIFY2(xs.size() > 20, std::to_string(xs.size()).c_str());
    QVERIFY(xs.count("50.00000000") + xs.count("30.00000000") + xs.count("70.00000000") > 0);
}

QTEST_MAIN(SceneTest)
#include "scene_qtest.moc"
