// The path display's pass as data (runs and their points) and its two displays in the scene.
#include "app/tool_path_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "app/application.h"
#include "app/scene_composer.h"
#include "support/scripted_ui_services.h"

namespace vantrel {
namespace {

ToolPathData pathOf(const std::string& text, ToolPathOptions o = {}) {
    TQuonStrings p;
    p.SetText(text);
    o.start = {0, 0, 0};
    return buildToolPath(p, o);
}

int count(const ToolPathData& d, PathRunStyle s) {
    int n = 0;
    for (const PathRun& r : d.runs) n += r.style == s;
    return n;
}

Vec3 first(const ToolPathData& d, const PathRun& r) {
    return d.points[r.first];
}
Vec3 last(const ToolPathData& d, const PathRun& r) {
    return d.points[r.first + r.count - 1];
}

TEST(ToolPathPass, FeedsSolidRapidsDottedAndG00IgnoredKeepsG28AndCycleLegs) {
    const std::string prog =
        "O1\nG90 G00 X10. Y0 Z5.\nG01 X20. F100\nG28 Z10.\nG81 X30. Y0 Z-5. R2. F100\nG80\nM30\n";
    const ToolPathData all = pathOf(prog);
    EXPECT_EQ(count(all, PathRunStyle::Feed), 1);
    EXPECT_EQ(count(all, PathRunStyle::Plunge), 1);
    // G00 (1), G28 (2 legs), cycle approach (2 legs).
    EXPECT_EQ(count(all, PathRunStyle::Rapid), 5);
    ToolPathOptions o;
    o.skipRapids = true;
    const ToolPathData noG0 = pathOf(prog, o);
    EXPECT_EQ(count(noG0, PathRunStyle::Rapid), 4);
    EXPECT_EQ(count(noG0, PathRunStyle::Feed), 1);
    // The plunge: from the R point to the bottom at the hole.
    for (const PathRun& r : all.runs)
        if (r.style == PathRunStyle::Plunge) {
            EXPECT_EQ(first(all, r), Vec3(30, 0, 2));
            EXPECT_EQ(last(all, r), Vec3(30, 0, -5));
        }
}

TEST(ToolPathPass, G28GoesThroughTheIntermediatePointToTheReferenceWithoutToolLength) {
    ToolPathOptions o;
    o.reference = {1, 2, 500};
    const ToolPathData d = pathOf("O1\nG90 G28 Z100.\nM30\n", o);
    ASSERT_EQ(d.runs.size(), 2u);
    EXPECT_EQ(last(d, d.runs[0]), Vec3(0, 0, 100));
    EXPECT_EQ(last(d, d.runs[1]), Vec3(0, 0, 500));
}

TEST(ToolPathPass, FullCircleFromIAndHelixDrawnAsOneTurn) {
    const ToolPathData d = pathOf("O1\nG90 G17 G02 I10. F100\nM30\n");
    ASSERT_EQ(d.runs.size(), 1u);
    const PathRun& r = d.runs[0];
    EXPECT_GE(r.count, 73u);
    double sweepX = 0;
    for (uint32_t i = 0; i < r.count; ++i) {
        const Vec3 p = d.points[r.first + i];
        EXPECT_NEAR(std::hypot(p.x - 10, p.y), 10, 1e-9);
        sweepX = std::max(sweepX, p.x);
    }
    EXPECT_NEAR(sweepX, 20, 1e-9);  // the far side of the circle is reached
    EXPECT_EQ(last(d, r), Vec3(0, 0, 0));
}

TEST(ToolPathPass, CompensationIsNotAppliedButColoured) {
    const ToolPathData d = pathOf("O1\nG90 G17 G01 X0 Y0 F100\nG41 D1 X20. Y0\nY20.\nG40 X0 Y0\nM30\n");
    ASSERT_EQ(count(d, PathRunStyle::Compensated), 2);
    for (const PathRun& r : d.runs)
        if (r.style == PathRunStyle::Compensated) {
            // Programmed positions: the contour itself, not the tool centre beside it.
            const Vec3 e = last(d, r);
            EXPECT_TRUE(e == Vec3(20, 0, 0) || e == Vec3(20, 20, 0));
        }
    EXPECT_EQ(d.runs.back().style, PathRunStyle::Feed);  // G40's move
}

TEST(ToolPathPass, LatheDiameterHalvedAndMirroredAcrossTheSpindleAxis) {
    ToolPathOptions o;
    o.kind = MachineKind::Lathe;
    o.diameterDivisor = 2;
    const ToolPathData d = pathOf("O1\nG00 X40. Z2.\nG01 Z-10. F0.2\nM30\n", o);
    // The rapid once, the feed twice.
    ASSERT_EQ(d.runs.size(), 3u);
    EXPECT_EQ(d.runs[0].style, PathRunStyle::Rapid);
    EXPECT_EQ(last(d, d.runs[1]), Vec3(20, 0, -10));
    EXPECT_EQ(last(d, d.runs[2]), Vec3(-20, 0, -10));
}

TEST(ToolPathPass, DwellXIsNoCoordinateAndMirrorUsesTheCentre) {
    EXPECT_TRUE(pathOf("O1\nG04 X2.\nM30\n").runs.empty());
    const ToolPathData d = pathOf("O1\nG90 G51.1 X10.\nG01 X15. Y3. F100\nG50.1 X0\nM30\n");
    ASSERT_GE(d.runs.size(), 1u);
    EXPECT_EQ(d.runs[0].line, 2);
    EXPECT_EQ(last(d, d.runs[0]), Vec3(5, 3, 0));  // 2 * 10 - 15
}

TEST(ToolPathPass, RepeatedHoleAndEndsOfThePass) {
    const ToolPathData d = pathOf("O1\nG90 G81 X5. Y5. Z-3. R1. L3 F100\nG80\nM30\nG01 X99.\n");
    EXPECT_GE(count(d, PathRunStyle::Plunge), 1);
    for (const PathRun& r : d.runs) EXPECT_NE(last(d, r).x, 99);  // nothing after M30
    EXPECT_TRUE(pathOf("").runs.empty());
}

TEST(ToolPathPass, CacheFollowsEveryEdit) {
    TQuonStrings p;
    p.SetText("O1\nG01 X10. F100\nM30\n");
    ToolPathCache cache;
    ToolPathOptions o;
    EXPECT_EQ(cache.get(p, o).runs.size(), 1u);
    cache.get(p, o);
    EXPECT_EQ(cache.passes(), 1);
    p.Put(1, "G01 X20. F100\r\n");
    EXPECT_EQ(last(cache.get(p, o), cache.get(p, o).runs[0]).x, 20);
    EXPECT_EQ(cache.passes(), 2);
    o.skipRapids = true;
    cache.get(p, o);
    EXPECT_EQ(cache.passes(), 3);
}

// The buttons and menu items through the window's control model, drawn by the scene.
struct PathDisplay : ::testing::Test {
    std::unique_ptr<AppState> state = std::make_unique<AppState>();
    ControlSet controls;
    ScriptedUiServices ui;
    InlineMainThread mt;
    Application app{*state, controls, ui, mt};
    std::unique_ptr<SceneComposer> composer;
    TQuonStrings program;
    const uint32_t feedPixel = 0x0000FF;  // blue

    void SetUp() override {
        app.createControls();
        composer = std::make_unique<SceneComposer>(*state);
        composer->setControls(&controls);
        composer->setProgram(&program);
        app.hooks.repaint = [this] { composer->repaintScene(); };
        app.hooks.drawPathOnce = [this] { composer->drawPathOnce(); };
        program.SetText("O1\nG90 G01 X50. Y50. Z0 F100\nX-50.\nM30\n");
        state->pos.tool.set({0, 0, 0});
    }
    int bluePixels(const Image32& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += (img.at(x, y) & 0xFFFFFF) == feedPixel;
        return n;
    }
};

TEST_F(PathDisplay, OnceDisappearsAtTheNextRepaintContinuousSurvives) {
    composer->repaintScene();
    const int base = bluePixels(composer->window());
    controls.click("sb_lineonly");
    EXPECT_GT(bluePixels(composer->window()), base + 20);
    EXPECT_EQ(bluePixels(composer->scene().image()), base);
    composer->repaintScene();
    EXPECT_EQ(bluePixels(composer->window()), base);

    controls.click("N16");  // the menu item toggles and sets the button
    EXPECT_TRUE(state->path.on);
    EXPECT_TRUE(controls.checked("sb_line"));
    const int shown = bluePixels(composer->window());
    EXPECT_GT(shown, base + 20);
    composer->repaintScene();
    EXPECT_EQ(bluePixels(composer->window()), shown);
    // The path follows an edit of the program.
    program.Put(2, "X-20.\r\n");
    composer->repaintScene();
    EXPECT_LT(bluePixels(composer->window()), shown);
    controls.click("sb_line");  // the button up
    EXPECT_FALSE(state->path.on);
    EXPECT_FALSE(controls.checked("N16"));
    EXPECT_EQ(bluePixels(composer->window()), base);
}

TEST_F(PathDisplay, G00IgnoredIsAMenuSwitch) {
    EXPECT_FALSE(controls.checked("menu_g0"));
    controls.click("menu_g0");
    EXPECT_TRUE(controls.checked("menu_g0"));
    program.SetText("O1\nG00 X50.\nM30\n");
    EXPECT_TRUE(composer->programPath().runs.empty());
    controls.click("menu_g0");
    EXPECT_EQ(composer->programPath().runs.size(), 1u);
}

TEST(ToolPathPass, APassThatWouldNotEndStopsAtItsBudgets) {
    // Ten levels of subprograms, each calling the next ten times: 10^10 blocks; the path shows the
    // moves up to the block budget.
    std::string text = "O1\nG90 G01 X1. Y1. Z0 F100\nM98 P2\nM30\n";
    for (int level = 2; level <= 11; ++level) {
        text += std::string("O").append(std::to_string(level)).append("\n");
        for (int call = 0; call < 10; ++call)
            text += level < 11 ? std::string("M98 P").append(std::to_string(level + 1)).append("\n")
                               : std::string("G91 X0.001\n");
        text += "M99\n";
    }
    ToolPathOptions o;
    o.blockBudget = 5000;
    const ToolPathData d = pathOf(text, o);
    ASSERT_FALSE(d.runs.empty());
    EXPECT_GT(d.runs.size(), 1000u);
    EXPECT_LT(d.runs.size(), 5000u);
    // One cycle block drilling its hole 9999 times ends at the piece budget: the pass stops there and
    // the feed after it is not drawn.
    o = {};
    o.pieceBudget = 100;
    const ToolPathData c = pathOf("O1\nG81 X1. Y2. Z-5. R2. L9999 F100\nG80 G01 X50.\nM30\n", o);
    for (const PathRun& r : c.runs) EXPECT_LT(last(c, r).x, 50);
    o.pieceBudget = 100000;
    const ToolPathData full = pathOf("O1\nG81 X1. Y2. Z-5. R2. L9999 F100\nG80 G01 X50.\nM30\n", o);
    EXPECT_EQ(last(full, full.runs.back()).x, 50);
}

}  // namespace
}  // namespace vantrel
