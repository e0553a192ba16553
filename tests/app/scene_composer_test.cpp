#include <gtest/gtest.h>

#include <memory>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>
#include "app/play_controller.h"
#include "app/scene_composer.h"
#include "core/control_set.h"
#include "render/png_writer.h"
#include "render/raster.h"
#include "render/view.h"
#include "stock/material_removal.h"

namespace vantrel {
namespace {

std::unique_ptr<AppState> millState(int w = 400, int h = 300) {
    auto s = std::make_unique<AppState>();
    s->window.clientWidth = w + s->window.panelLeft + kPanelRightWidth;
    s->window.clientHeight = h + s->window.panelTop + kPanelBottomHeight;
    s->stock.pitch = 0.5;
    initialiseStockGrid(s->stockGrid, s->stock, MachineKind::VerticalMill);
    s->view.originX = w / 2 - 40;
    s->view.originY = h / 2 + 60;
    s->view.scale = 4;
    s->view.vwx = -50;
    s->view.vwy = -50;
    s->view.vwz = 0;
    return s;
}

// Shading a long merged quad and the cells it stands for gives the same face normal up to single-
// precision rounding, which can move a channel by a step or two.
bool closeColour(uint32_t a, uint32_t b) {
    for (int sh = 0; sh <= 16; sh += 8) {
        const int d = static_cast<int>((a >> sh) & 0xFF) - static_cast<int>((b >> sh) & 0xFF);
        if (d > 4 || d < -4) return false;
    }
    return true;
}

TEST(SceneLayout, SceneAreaOfA640x480Client) {
    const SceneArea a = sceneAreaFor(640, 480, 128, 29, false);
    EXPECT_EQ(a.left, 128);
    EXPECT_EQ(a.top, 29);
    EXPECT_EQ(a.width, 382);
    EXPECT_EQ(a.height, 422);
    const SceneArea hidden = sceneAreaFor(640, 480, 0, 0, true);
    EXPECT_EQ(hidden.width, 640);
    EXPECT_EQ(hidden.height, 480);
    const SceneArea tiny = sceneAreaFor(10, 10, 128, 29, false);
    EXPECT_EQ(tiny.width, 1);
    EXPECT_EQ(tiny.height, 1);

    auto s = std::make_unique<AppState>();
    s->window.clientWidth = 640;
    s->window.clientHeight = 480;
    SceneComposer c(*s);
    EXPECT_EQ(c.scene().width(), 382);
    EXPECT_EQ(c.scene().height(), 422);
    // The depth buffers carry one extra column and row.
    c.scene().clearDepth();
    EXPECT_EQ(c.scene().depthRow(1) - c.scene().depthRow(0), 383);
}

TEST(SceneLayout, HidingThePanelsKeepsTheSceneInPlace) {
    auto s = std::make_unique<AppState>();
    s->window.clientWidth = 640;
    s->window.clientHeight = 480;
    SceneComposer c(*s);
    const int ox = s->view.originX, oy = s->view.originY;
    c.togglePanels();
    EXPECT_TRUE(c.panelsHidden());
    EXPECT_EQ(s->view.originX, ox + 128);
    EXPECT_EQ(s->view.originY, oy + 29);
    EXPECT_EQ(c.scene().width(), 640);
    // A world point stays at the same place on the screen: window position = area offset + pixel.
    c.togglePanels();
    EXPECT_FALSE(c.panelsHidden());
    EXPECT_EQ(s->view.originX, ox);
    EXPECT_EQ(c.area().left, 128);
}

TEST(SceneLayout, GridLinesAndLabelSizes) {
    EXPECT_EQ(gridLineCount(300, 10), 31);
    EXPECT_EQ(gridLineCount(300, 1e-9), kMaxGridLines);
    EXPECT_EQ(gridLineCount(300, 0), 0);
    EXPECT_EQ(gridLineCount(300, -1), 0);
    EXPECT_EQ(axisLabelFontSize(1.5, 1000), 15);
    EXPECT_EQ(axisLabelFontSize(1e9, 1), 500);
    EXPECT_EQ(axisLabelFontSize(1e-9, 1000), 1);
    EXPECT_EQ(axisLabelFontSize(1.5, 0), 1);
}

TEST(SceneLayout, ToolCopyRectangles) {
    const PixelRect a{10, 10, 30, 30};
    const PixelRect moved{11, 10, 31, 30};
    const std::vector<PixelRect> one = toolCopyRects(a, moved);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].left, 10);
    EXPECT_EQ(one[0].right, 31);
    const std::vector<PixelRect> two = toolCopyRects(a, {200, 150, 220, 170});
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].left, 200);
    EXPECT_EQ(toolCopyRects(PixelRect{}, moved).size(), 1u);
}

TEST(SceneRepaint, LayersAndSwitches) {
    auto s = millState();
    SceneComposer c(*s);
    int updates = 0;
    c.onWindowUpdate = [&](int, int, int w, int h) {
        ++updates;
        EXPECT_EQ(w, c.window().width());
        EXPECT_EQ(h, c.window().height());
    };
    c.repaintScene();
    EXPECT_EQ(updates, 1);
    const Image32 shown = c.window();
    s->stock.visible = 0;
    c.repaintScene();
    int diff = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) diff += shown.at(x, y) != c.window().at(x, y);
    EXPECT_GT(diff, 1000);
    // Nothing is drawn before the settings are read.
    s->window.settingsReady = false;
    c.repaintScene();
    EXPECT_EQ(updates, 2);
}

// The picture lies under everything else: where nothing is drawn it shows, elsewhere the scene does.
TEST(SceneRepaint, BackgroundPictureUnderTheScene) {
    auto s = millState();
    SceneComposer c(*s);
    c.repaintScene();
    const Image32 plain = c.window();
    s->picture.pictureImage = Image32(40, 30, 0x00C01020);
    s->picture.pictureMode = 2;  // stretched over the whole 400 x 300 scene (same proportions)
    c.repaintScene();
    int shown = 0, kept = 0;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x) {
            const bool back = plain.at(x, y) == toPixel(s->colours.back());
            if (back) shown += c.window().at(x, y) == 0x00C01020u;
            if (!back) kept += c.window().at(x, y) == plain.at(x, y);
        }
    const int64_t all = int64_t{plain.width()} * plain.height();
    EXPECT_GT(shown, all / 2);
    EXPECT_GT(kept, 1000);
    // Mode 1 centres the small picture: the corner keeps the background colour.
    s->picture.pictureMode = 1;
    c.repaintScene();
    EXPECT_EQ(c.window().at(0, 0), toPixel(s->colours.back()));
    EXPECT_EQ(c.window().at(180, 135), 0x00C01020u);
}

TEST(SceneRepaint, MagnifierFrameOnTheWindowOnly) {
    auto s = millState();
    SceneComposer c(*s);
    c.repaintScene();
    const Image32 scene = c.scene().image();
    int updates = 0;
    c.onWindowUpdate = [&](int x, int y, int w, int h) {
        ++updates;
        EXPECT_EQ(x, 100);
        EXPECT_EQ(y, 80);
        EXPECT_EQ(w, 201);
        EXPECT_EQ(h, 141);
    };
    c.drawMagnifierFrame(200, 150, 100, 70);
    EXPECT_EQ(updates, 1);
    const uint32_t pen = toPixel(s->colours[1]);
    for (int x = 100; x <= 300; x += 20) {
        EXPECT_EQ(c.window().at(x, 80), pen);
        EXPECT_EQ(c.window().at(x, 220), pen);
    }
    EXPECT_EQ(c.window().at(100, 150), pen);
    EXPECT_EQ(c.window().at(300, 150), pen);
    EXPECT_EQ(c.window().at(200, 150), scene.at(200, 150));
    // The scene image has no trace of it; a frame larger than the window is clipped.
    for (int y = 0; y < scene.height(); ++y)
        for (int x = 0; x < scene.width(); ++x) ASSERT_EQ(scene.at(x, y), c.scene().image().at(x, y));
    c.onWindowUpdate = nullptr;
    c.drawMagnifierFrame(200, 150, 100000, 2000000000);
    c.repaintScene();
    EXPECT_EQ(c.window().at(100, 80), scene.at(100, 80));
}

// The readout: X times the diameter divisor, the angles (kept in radians) in degrees.
TEST(SceneRepaint, PositionReadoutInDegrees) {
    auto s = millState();
    ControlSet cs;
    for (const char* n : {"label_x", "label_y", "label_z", "label_a", "label_b", "label_c", "label_vx",
                          "label_vy", "label_vz"})
        cs.add(labelControl(n, ""));
    SceneComposer c(*s);
    c.setControls(&cs);
    s->pos.tool.set({1.5, -2, 30.125});
    s->pos.a = kPi / 6;
    s->pos.b = -kPi / 2;
    s->pos.axis = {0, 0.5, 0.75};
    s->machine.diameterDivisor = 2;
    c.updatePositionReadout();
    EXPECT_EQ(cs.caption("label_x"), "3.00000000");
    EXPECT_EQ(cs.caption("label_y"), "-2.00000000");
    EXPECT_EQ(cs.caption("label_z"), "30.12500000");
    EXPECT_EQ(cs.caption("label_a"), "30.00000");
    EXPECT_EQ(cs.caption("label_b"), "-90.00000");
    EXPECT_EQ(cs.caption("label_vy"), "0.50000");
}

TEST(SceneRepaint, MachinedStateOnRequestOnly) {
    auto s = millState();
    SceneComposer c(*s);
    s->display.tool_on = false;
    s->display.holder_on = false;
    c.repaintScene();
    const Image32 nominal = c.window();
    for (int ix = 80; ix <= 120; ++ix)
        for (int iy = 80; iy <= 120; ++iy) s->stockGrid.height(ix, iy) = 30;
    c.drawStockSurface();
    int diff = 0;
    for (int y = 0; y < nominal.height(); ++y)
        for (int x = 0; x < nominal.width(); ++x) diff += nominal.at(x, y) != c.window().at(x, y);
    EXPECT_GT(diff, 100);
    // The next master repaint shows the nominal block again.
    c.repaintScene();
    diff = 0;
    for (int y = 0; y < nominal.height(); ++y)
        for (int x = 0; x < nominal.width(); ++x) diff += nominal.at(x, y) != c.window().at(x, y);
    EXPECT_EQ(diff, 0);
}

// The pixels where the window differs from the scene image with the tool outline drawn at `p` (with
// spin `phase`; above the stock top the play shows no tool).
int outlineMismatch(SceneComposer& c, const AppState& s, const Vec3& p, float phase) {
    Image32 expect = c.scene().image();
    ToolScene ts = c.toolScene();
    ts.position = p;
    if (millingTipPoint(ts.tool, p).z <= s.stock.offsetZ + s.stock.sizeZ)
        drawToolOutline(&expect, s.view, ts, phase);
    int wrong = 0;
    for (int y = 0; y < expect.height(); ++y)
        for (int x = 0; x < expect.width(); ++x) wrong += expect.at(x, y) != c.window().at(x, y);
    return wrong;
}

// The working tool of a test. The scene loads the selected tool from the list when it is made, so this
// comes after the composer.
void useTool(AppState& s, double diameter, double noseRadius) {
    s.tools.workingTool.diameter = diameter;
    s.tools.workingTool.noseRadius = noseRadius;
    updateDerivedToolValues(s.tools);
}

// The picture built step by step during a play equals the full machined draw over the background.
TEST(ScenePlayback, IncrementalStockEqualsTheFullDraw) {
    // A flat end mill lowers the nodes it newly reaches; a ball end mill every node under its leading
    // half a little at each step: the redraw goes by the nodes in the first case, by their bounds in
    // the second.
    for (double nose : {0.0, 5.0}) {
        SCOPED_TRACE(nose);
        auto s = millState();
        SceneComposer c(*s);
        useTool(*s, 10, nose);
        c.repaintScene();
        c.playStart(kModeMillPlay);
        PixelRect passed;
        std::vector<Vec3> path;
        for (int i = 0; i <= 120; ++i) path.push_back({25 + 0.4 * i, 30 + 0.25 * i, -4.0 - 0.02 * i});
        for (int i = 0; i <= 80; ++i) path.push_back({73, 60 - 0.4 * i, -6.5});
        int64_t copied = 0;
        int checked = 0;
        for (const Vec3& p : path) {
            s->pos.tool.set(p);
            s->stockChanges.add(
                applyMillCut(s->stockGrid, s->stock, s->tools.workingTool, s->tools.profile, p, false));
            const float phase = c.spinPhase();
            c.millStep(p, true);
            // The window is the scene with the outline drawn over it, nothing more: the outline of the
            // step before was put back completely.
            if (checked++ % 25 == 0) {
                EXPECT_EQ(outlineMismatch(c, *s, p, phase), 0) << "step " << checked;
            }
            for (const PixelRect& r : c.lastCopies()) {
                passed.unite(r);
                copied += r.area();
                // Never a whole-window copy per step.
                EXPECT_LT(r.area(), int64_t{c.window().width()} * c.window().height() / 4);
            }
        }
        EXPECT_GT(copied, 0);
        const Image32 incremental = c.scene().image();
        c.playEnd(false);
        s->display.tool_on = false;
        s->display.holder_on = false;
        c.drawStockSurface();
        const Image32& full = c.scene().image();
        ASSERT_FALSE(passed.empty());
        int64_t differ = 0, total = 0;
        for (int y = passed.top; y <= passed.bottom; ++y)
            for (int x = passed.left; x <= passed.right; ++x) {
                ++total;
                differ += !closeColour(incremental.at(x, y), full.at(x, y));
            }
        // Only edge pixels of quads that the full draw merges into runs may fall differently.
        // Colours are compared within a few steps per channel (the shading of merged and single quads).
        if (const char* dump = std::getenv("VANTREL_DUMP_DIFF")) {
            Image32 d = full;
            for (int y = passed.top; y <= passed.bottom; ++y)
                for (int x = passed.left; x <= passed.right; ++x)
                    if (!closeColour(incremental.at(x, y), full.at(x, y))) d.at(x, y) = 0xFF0000;
            writePng(dump, d);
            writePng(std::string(dump) + ".inc.png", incremental);
        }
        RecordProperty(nose > 0 ? "differing_pixels_ball" : "differing_pixels_flat",
                       std::to_string(differ) + " of " + std::to_string(total));
        EXPECT_LT(static_cast<double>(differ), 0.002 * static_cast<double>(total))
            << differ << " of " << total;
    }
}

// Over random views (steep, flat, close, turned, zoomed in so far that corners fall behind the eye,
// parallel projection) and random cutting paths: the window is always the scene plus the outline, and
// the stock drawn step by step matches the full draw wherever the steps drew.
TEST(ScenePlayback, RandomViewsKeepThePictureConsistent) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> ang(0.05, 1.5), az(-3.1, 3.1), pos(-5, 105), depth(-12, 2);
    int cutting = 0;
    for (int round = 0; round < 8; ++round) {
        auto s = millState(240, 180);
        s->view.viewA = ang(rng);
        s->view.viewB = az(rng);
        s->view.scale = round == 5 ? 60 : 1 + round;
        s->view.kyori = round == 4 ? 120.0f : 1000.0f;
        // The parallel projection draws at a tenth of the scale.
        s->view.parallel = round >= 6;
        if (s->view.parallel) s->view.scale = 10.0 * (round - 4);
        SceneComposer c(*s);
        useTool(*s, 6 + round, round % 2 ? 3 : 0);
        c.repaintScene();
        c.playStart(kModeMillPlay);
        Vec3 p{pos(rng), pos(rng), depth(rng)};
        PixelRect drawn;
        for (int i = 0; i < 150; ++i) {
            if (i % 30 == 0) p = {pos(rng), pos(rng), depth(rng)};
            p.x += 0.3;
            p.y += 0.2;
            s->pos.tool.set(p);
            s->stockChanges.add(
                applyMillCut(s->stockGrid, s->stock, s->tools.workingTool, s->tools.profile, p, false));
            const float phase = c.spinPhase();
            c.millStep(p, true);
            for (const PixelRect& r : c.lastCopies()) drawn.unite(r);
            if (i % 50 == 49) {
                EXPECT_EQ(outlineMismatch(c, *s, p, phase), 0) << "round " << round << " step " << i;
            }
        }
        // Steps that were not drawn (none here) would leave changes pending; all were drawn.
        EXPECT_TRUE(s->stockChanges.empty());
        const Image32 incremental = c.scene().image();
        c.playEnd(false);
        s->display.tool_on = s->display.holder_on = false;
        c.drawStockSurface();
        int64_t differ = 0, total = 0;
        const PixelRect area = drawn.clippedTo(incremental.width(), incremental.height());
        for (int y = area.top; y <= area.bottom; ++y)
            for (int x = area.left; x <= area.right; ++x) {
                ++total;
                differ += !closeColour(incremental.at(x, y), c.scene().image().at(x, y));
            }
        EXPECT_LE(static_cast<double>(differ), 0.002 * static_cast<double>(total) + 2)
            << "round " << round << ": " << differ << " of " << total;
        cutting += total > 0;
        RecordProperty("round" + std::to_string(round),
                       std::to_string(differ) + " of " + std::to_string(total));
    }
    EXPECT_GE(cutting, 7);
}

// Step play draws at every n-th end of a move only, and then everything the moves since the last
// drawing changed.
TEST(ScenePlayback, StepPlayDrawsAtEveryNthMoveEnd) {
    auto s = millState();
    s->play.speedStep = stepPlayInterval(4);  // 10
    ASSERT_EQ(s->play.speedStep, 10);
    SceneComposer c(*s);
    useTool(*s, 8, 0);
    c.repaintScene();
    c.playStart(kModeMillStep);
    std::vector<int> drawnAt;
    Image32 last = c.scene().image();
    for (int move = 1; move <= 25; ++move) {
        // One short move of five steps along X; nothing is drawn in its middle.
        for (int k = 0; k < 5; ++k) {
            const Vec3 p{20.0 + move * 2 + k * 0.4, 40, -3};
            s->stockChanges.add(
                applyMillCut(s->stockGrid, s->stock, s->tools.workingTool, s->tools.profile, p, false));
        }
        const Image32 before = c.scene().image();
        if (c.stepPlayMoveEnd({20.0 + move * 2 + 2, 40, -3})) {
            drawnAt.push_back(move);
        } else {
            int diff = 0;
            for (int y = 0; y < before.height(); ++y)
                for (int x = 0; x < before.width(); ++x)
                    diff += before.at(x, y) != c.scene().image().at(x, y);
            EXPECT_EQ(diff, 0) << "move " << move;
        }
    }
    EXPECT_EQ(drawnAt, (std::vector<int>{10, 20}));
    // Moves 11 to 20 are all in the picture: it equals the full draw where the last drawing copied.
    const Image32 incremental = c.scene().image();
    PixelRect copied;
    for (const PixelRect& r : c.lastCopies()) copied.unite(r);
    c.playEnd(false);
    s->display.tool_on = s->display.holder_on = false;
    // The reference: the stock as it stood after move 20 (replayed on a fresh block), drawn in full.
    StockSpec spec = s->stock;
    initialiseStockGrid(s->stockGrid, spec, MachineKind::VerticalMill);
    for (int move = 1; move <= 20; ++move)
        for (int k = 0; k < 5; ++k)
            applyMillCut(s->stockGrid, s->stock, s->tools.workingTool, s->tools.profile,
                         {20.0 + move * 2 + k * 0.4, 40, -3}, false);
    c.drawStockSurface();
    ASSERT_FALSE(copied.empty());
    int64_t differ = 0, total = 0;
    for (int y = copied.top; y <= copied.bottom; ++y)
        for (int x = copied.left; x <= copied.right; ++x) {
            ++total;
            differ += !closeColour(incremental.at(x, y), c.scene().image().at(x, y));
        }
    EXPECT_LT(static_cast<double>(differ), 0.002 * static_cast<double>(total)) << differ << " of " << total;
}

TEST(ScenePlayback, ToolAboveTheStockRedrawsNoCells) {
    auto s = millState();
    SceneComposer c(*s);
    c.repaintScene();
    c.playStart(kModeMillPlay);
    const Image32 before = c.scene().image();
    int64_t copies = 0;
    for (int i = 0; i < 20; ++i) {
        const Vec3 p{20.0 + i, 50, 30};
        c.millStep(p, true);
        copies += static_cast<int64_t>(c.lastCopies().size());
    }
    int diff = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) diff += before.at(x, y) != c.scene().image().at(x, y);
    EXPECT_EQ(diff, 0);
    EXPECT_EQ(copies, 0);  // nothing to erase: the tool never stood on the stock in this play
    c.playEnd(false);
}

TEST(ScenePlayback, ImagesKeepTheirSizeDuringAPlay) {
    auto s = millState();
    SceneComposer c(*s);
    c.repaintScene();
    c.playStart(kModeMillPlay);
    const int w = c.scene().width();
    c.layoutWindow(900, 700);
    EXPECT_EQ(c.scene().width(), w);
    c.millStep({50, 50, -2}, true);
    c.playEnd(false);
    EXPECT_EQ(c.scene().width(), 900 - 128 - 130);
    EXPECT_EQ(c.window().width(), 900 - 128 - 130);
}

}  // namespace
}  // namespace vantrel
