// The main window's own commands without a window: floating panels, the lathe settings pair, the Play
// menu's switches, the T-code format, the machining entries and the full reset.
#include <gtest/gtest.h>

#include "app/application.h"
#include "app/main_window_controls.h"
#include "app/scene_composer.h"
#include "app/window_commands.h"
#include "queue_main_thread.h"
#include "support/scripted_ui_services.h"
#include "tools/tool_table.h"

using namespace vantrel;

namespace {

struct Shell {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    InlineMainThread mainThread;
    Application app{state, controls, ui, mainThread};
    Shell() {
        app.createControls();
        app.bindSubsystemCommands(nullptr);
        app.startUp();
    }
};

int openHeight(const char* panel) {
    for (const auto& p : floatingPanels())
        if (std::string(p.name) == panel) return p.openedHeight;
    return -1;
}

}  // namespace

TEST(FloatingPanels, RightPressUnfoldsOnePanelAndHidesTheOthers) {
    Shell sh;
    ControlSet& cs = sh.controls;
    // Every height on the way is shown, one pixel at a time, before the press returns.
    std::vector<int> heights;
    sh.app.hooks.panelUnfoldStep = [&] { heights.push_back(cs.get("panel_axis").height); };
    EXPECT_TRUE(rightPressOnControl(sh.app, "sb_showaxis", true));
    ASSERT_EQ(heights.size(), 81u);
    EXPECT_EQ(heights.front(), 1);
    EXPECT_EQ(heights.back(), 81);
    EXPECT_TRUE(cs.visible("panel_axis"));

    // The grid panel while the axis panel is open: the axis panel goes, the grid panel unfolds to 172.
    sh.app.hooks.panelUnfoldStep = nullptr;
    EXPECT_TRUE(rightPressOnControl(sh.app, "sb_showgrid", true));
    EXPECT_FALSE(cs.visible("panel_axis"));
    EXPECT_TRUE(cs.visible("panel_grid"));
    EXPECT_EQ(cs.get("panel_grid").height, 172);
    EXPECT_EQ(cs.get("panel_grid").left, 400);
    // A second right press while it is open does nothing.
    EXPECT_FALSE(rightPressOnControl(sh.app, "sb_showgrid", true));
    EXPECT_EQ(cs.get("panel_grid").height, 172);
    // With a modifier or another button held the press is no panel press; nor on a button without one.
    closeFloatingPanels(cs);
    EXPECT_FALSE(rightPressOnControl(sh.app, "sb_showgrid", false));
    EXPECT_FALSE(rightPressOnControl(sh.app, "sb_play", true));
    EXPECT_FALSE(cs.visible("panel_grid"));
}

TEST(FloatingPanels, EachButtonOpensItsPanelAndEveryCrossHidesAll) {
    Shell sh;
    ControlSet& cs = sh.controls;
    const std::pair<const char*, const char*> pairs[] = {
        {"sb_kikai0", "panel_kikai_m"}, {"sb_kikai3", "panel_kikai_m"},     {"sb_kikai1", "panel_kikai_s"},
        {"sb_kikai4", "panel_kikai_s"}, {"sb_showkikai", "panel_hyoujiop"}, {"sb_view1", "panel_view1"},
    };
    for (auto [button, panel] : pairs) {
        closeFloatingPanels(cs);
        EXPECT_TRUE(rightPressOnControl(sh.app, button, true)) << button;
        EXPECT_TRUE(cs.visible(panel)) << button;
        EXPECT_EQ(cs.get(panel).height, openHeight(panel)) << button;
    }
    for (const auto& p : floatingPanels()) {
        cs.setVisible("panel_grid", true);
        cs.setVisible("panel_view1", true);
        cs.click(p.closeButton);
        for (const auto& q : floatingPanels()) EXPECT_FALSE(cs.visible(q.name)) << p.closeButton;
    }
    // "詳細設定" shows the display options at full height at once and leaves the others open.
    cs.setVisible("panel_grid", true);
    cs.click("N43");
    EXPECT_TRUE(cs.visible("panel_hyoujiop"));
    EXPECT_TRUE(cs.visible("panel_grid"));
    EXPECT_EQ(cs.get("panel_hyoujiop").height, 124);
}

TEST(FloatingPanels, LeftClickOnTheGridButtonTogglesTheGridOnly) {
    Shell sh;
    ControlSet& cs = sh.controls;
    ASSERT_TRUE(sh.state.display.grid_on);
    cs.click("sb_showgrid");
    EXPECT_FALSE(sh.state.display.grid_on);
    EXPECT_FALSE(cs.visible("panel_grid"));
}

TEST(LatheSettings, ReversalNegatesOnceAndRadiusProgrammingMakesTheDivisorPositive) {
    Shell sh;
    ControlSet& cs = sh.controls;
    EXPECT_FALSE(cs.checked("menu_kikai_hankei"));  // diameter programming, as lathe programs are written
    cs.click("sb_kikai1");
    ASSERT_EQ(sh.state.machine.diameterDivisor, 2);
    cs.click("menu_kikai_xm");
    EXPECT_EQ(sh.state.machine.diameterDivisor, -2);
    EXPECT_TRUE(cs.checked("checkbox_gyaku"));
    cs.click("menu_kikai_hankei");
    EXPECT_EQ(sh.state.machine.diameterDivisor, 1);
    EXPECT_TRUE(cs.checked("menu_kikai_xm"));
    EXPECT_TRUE(cs.checked("checkbox_hankei"));
    // The check box is the same command as the menu item; each acts exactly once.
    cs.click("checkbox_gyaku");
    EXPECT_EQ(sh.state.machine.diameterDivisor, -1);
    EXPECT_FALSE(cs.checked("menu_kikai_xm"));
}

TEST(LatheSettings, TCodeFormatFromTheMenuAndTheCombo) {
    Shell sh;
    ControlSet& cs = sh.controls;
    cs.click("menu_kikai_T4");
    EXPECT_EQ(sh.state.machine.tCodeFormat, 2);
    EXPECT_EQ(cs.itemIndex("combo_tformat"), 2);
    EXPECT_TRUE(cs.checked("menu_kikai_T4"));
    EXPECT_FALSE(cs.checked("menu_kikai_T2"));
    cs.selectItem("combo_tformat", 1);
    EXPECT_EQ(sh.state.machine.tCodeFormat, 1);
    EXPECT_TRUE(cs.checked("menu_kikai_T3"));
    EXPECT_FALSE(cs.checked("menu_kikai_T4"));
}

TEST(PlayMenu, SwitchesKeepTheirMarksAndTheJoinIsOneOfTwo) {
    Shell sh;
    ControlSet& cs = sh.controls;
    for (const char* n :
         {"menu_okupitch", "menu_play_ton", "menu_kanno", "menu_m0no", "menu_repaint", "menu_error"}) {
        const bool before = cs.checked(n);
        cs.click(n);
        EXPECT_NE(cs.checked(n), before) << n;
    }
    EXPECT_FALSE(sh.state.stock.cuttingEnabled);  // "材料と工具干渉計算無視" is on now
    cs.click("menu_kanno");
    EXPECT_TRUE(sh.state.stock.cuttingEnabled);
    cs.click("menu_hoseil");
    EXPECT_TRUE(cs.checked("menu_hoseil"));
    EXPECT_FALSE(cs.checked("menu_hoseir"));
    EXPECT_FALSE(sh.state.play.noseRadiusArcJoin);
    cs.click("menu_hoseir");
    EXPECT_TRUE(cs.checked("menu_hoseir"));
    EXPECT_FALSE(cs.checked("menu_hoseil"));
}

TEST(MachiningEntries, SayUnderDevelopmentAndOpenGlWithoutAContextSaysSo) {
    Shell sh;
    for (const char* n : {"sb_cad", "N63", "N68", "N70", "N72", "N73", "N74", "N75", "N76", "N77"}) {
        sh.ui.messages.clear();
        sh.controls.click(n);
        ASSERT_EQ(sh.ui.messages.size(), 1u) << n;
        EXPECT_EQ(sh.ui.messages[0], "開発中です");
    }
    // No OpenGL view to be had (headless, or a display without OpenGL): the message, the button back
    // up, the software view kept.
    sh.ui.messages.clear();
    sh.controls.click("sb_opengl");
    ASSERT_EQ(sh.ui.messages.size(), 1u);
    EXPECT_EQ(sh.ui.messages[0], "OpenGLを使えないため、ソフトウェア描画で表示します。");
    EXPECT_FALSE(sh.controls.checked("sb_opengl"));
    EXPECT_FALSE(sh.state.openGlOn);
    EXPECT_FALSE(sh.state.view.openGlRequested);
    sh.app.hooks.openGlView = [](bool) { return false; };
    sh.ui.messages.clear();
    sh.controls.click("sb_opengl");
    EXPECT_EQ(sh.ui.messages.size(), 1u);
    EXPECT_FALSE(sh.state.openGlOn);
}

TEST(MachiningEntries, OpenGlSwitchShowsAndHidesTheOpenGlView) {
    Shell sh;
    std::vector<bool> asked;
    sh.app.hooks.openGlView = [&asked](bool on) {
        asked.push_back(on);
        return true;
    };
    sh.controls.click("sb_opengl");
    EXPECT_TRUE(sh.controls.checked("sb_opengl"));
    EXPECT_TRUE(sh.state.openGlOn);
    EXPECT_TRUE(sh.state.view.openGlRequested);
    EXPECT_TRUE(sh.ui.messages.empty());
    sh.controls.click("sb_opengl");
    EXPECT_FALSE(sh.controls.checked("sb_opengl"));
    EXPECT_FALSE(sh.state.openGlOn);
    EXPECT_FALSE(sh.state.view.openGlRequested);
    EXPECT_EQ(asked, (std::vector<bool>{true, false}));
}

TEST(InitialState, ResetBringsBackColoursViewToolAndStockOfTheKind) {
    Shell sh;
    SceneComposer composer(sh.state);
    composer.setControls(&sh.controls);
    bindSceneCommands(sh.app, composer, [] { return false; });
    AppState& s = sh.state;
    ControlSet& cs = sh.controls;
    cs.click("sb_kikai1");
    s.colours[0] = 0x123456;
    s.view.laypower = 9;
    s.view.scale = 7;
    s.view.kyori = 3000;
    s.grid.interval = 55;
    s.grid.axisX = 17;
    s.display.grid_on = false;
    cs.setChecked("menu_grid", false);
    s.display.zaiwyer_on = true;
    s.tools.workingTool.diameter = 33;
    s.stock.sizeX = 12;
    s.pos.reference = {1, 2, 3};
    cs.click("N13");
    EXPECT_EQ(s.colours[0], ColourPalette{}[0]);
    EXPECT_EQ(cs.get("panel_clback").color, ColourPalette{}[0]);
    EXPECT_EQ(s.view.laypower, 5);
    EXPECT_EQ(cs.position("ScrollBar2"), 5);
    EXPECT_DOUBLE_EQ(s.view.scale, 1.5);
    EXPECT_FLOAT_EQ(s.view.kyori, 1000.0f);
    EXPECT_FLOAT_EQ(s.grid.interval, 10);
    EXPECT_TRUE(s.display.grid_on);
    EXPECT_FALSE(s.display.zaiwyer_on);
    // The working tool is the family's selected entry again, as after a machine selection.
    EXPECT_EQ(s.tools.workingTool, (*toolListFor(s.tools, s.machineKind))[size_t(s.tools.currentToolIndex)]);
    EXPECT_EQ(s.machineKind, MachineKind::Lathe);
    // The lathe's own values: its origin, position and stock, and its axis lengths.
    EXPECT_EQ(s.view.originX, 100);
    EXPECT_EQ(s.view.originY, 260);
    EXPECT_EQ(s.pos.toolPosition(), Vec3(150, 0, 400));
    EXPECT_NE(s.stock.sizeX, 12);
    EXPECT_EQ(cs.caption("label_bairitu"), "1.5");
    EXPECT_TRUE(cs.checked("sb_kikai1"));
}

TEST(InitialState, HiddenPanelsMoveTheResetOrigin) {
    Shell sh;
    SceneComposer composer(sh.state);
    composer.setControls(&sh.controls);
    bindSceneCommands(sh.app, composer, [] { return false; });
    sh.controls.click("menu_paneloff");
    ASSERT_TRUE(sh.controls.checked("menu_paneloff"));
    sh.controls.click("N13");
    EXPECT_EQ(sh.state.view.originX, 160 + 130);
    EXPECT_EQ(sh.state.view.originY, 350 + 29);
    sh.controls.click("menu_paneloff");
    EXPECT_FALSE(sh.controls.checked("menu_paneloff"));
}

TEST(ViewLabels, ScaleAndToolAxisAreEditedThroughTheKeypad) {
    Shell sh;
    SceneComposer composer(sh.state);
    composer.setControls(&sh.controls);
    bindSceneCommands(sh.app, composer, [] { return false; });
    sh.ui.keypadAnswers.push_back(1.0);
    sh.controls.click("label_bairitu");
    EXPECT_DOUBLE_EQ(sh.state.view.scale, 1.0);
    EXPECT_EQ(sh.controls.caption("label_bairitu"), "1");
    sh.ui.keypadAnswers.push_back(5000.0);
    sh.controls.click("label_bairitu");
    EXPECT_EQ(sh.ui.messages.back(), "0から2000まで");
    EXPECT_DOUBLE_EQ(sh.state.view.scale, 1.0);

    sh.ui.keypadAnswers.push_back(1.0);
    sh.controls.click("label_vx");
    EXPECT_DOUBLE_EQ(sh.state.pos.axis.x, 1.0);
    EXPECT_DOUBLE_EQ(sh.state.tools.workingTool.axisX, 1.0);
    EXPECT_EQ(sh.controls.caption("label_vx"), "1.00000");
    EXPECT_NEAR(sh.state.pos.b, kPi / 4, 1e-9);  // the tool leans towards X: its turn follows the axis
    sh.ui.keypadAnswers.push_back(-101.0);
    sh.controls.click("label_vz");
    EXPECT_EQ(sh.ui.messages.back(), "-100から+100まで");
}
