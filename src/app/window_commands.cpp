#include "app/window_commands.h"

#include <memory>

#include "app/machine_defaults.h"
#include "app/main_window_controls.h"
#include "app/settings_store.h"
#include "app/value_edit.h"
#include "stock/stock_commands.h"
#include "tools/tool_commands.h"
#include "tools/tool_table.h"

namespace vantrel {

namespace {

struct PanelButton {
    const char* button;
    const char* panel;
};
constexpr PanelButton kPanelButtons[] = {
    {"sb_kikai0", "panel_kikai_m"}, {"sb_kikai3", "panel_kikai_m"},     {"sb_kikai1", "panel_kikai_s"},
    {"sb_kikai4", "panel_kikai_s"}, {"sb_showkikai", "panel_hyoujiop"}, {"sb_showgrid", "panel_grid"},
    {"sb_showaxis", "panel_axis"},  {"sb_view1", "panel_view1"},
};

const FloatingPanel* findPanel(std::string_view name) {
    for (const FloatingPanel& p : floatingPanels())
        if (name == p.name) return &p;
    return nullptr;
}

const char* const kTFormatItems[] = {"menu_kikai_T2", "menu_kikai_T3", "menu_kikai_T4"};

void selectTCodeFormat(ControlSet& cs, AppState& s, int format) {
    if (format < 0 || format > 2) return;
    s.machine.tCodeFormat = format;
    for (int i = 0; i < 3; ++i) cs.setChecked(kTFormatItems[i], i == format);
    cs.setItemIndex("combo_tformat", format);
}

}  // namespace

std::string_view floatingPanelOfButton(std::string_view button) {
    for (const PanelButton& b : kPanelButtons)
        if (button == b.button) return b.panel;
    return {};
}

bool openFloatingPanel(ControlSet& cs, std::string_view panel, const std::function<void()>& step) {
    const FloatingPanel* p = findPanel(panel);
    if (!p || cs.visible(p->name)) return false;
    cs.setHeight(p->name, 0);
    cs.setVisible(p->name, true);
    for (const FloatingPanel& other : floatingPanels())
        if (other.name != p->name) cs.setVisible(other.name, false);
    // The unfolding runs to its end before anything else happens.
    for (int h = 1; h <= p->openedHeight; ++h) {
        cs.setHeight(p->name, h);
        if (step) step();
    }
    return true;
}

void closeFloatingPanels(ControlSet& cs) {
    for (const FloatingPanel& p : floatingPanels()) cs.setVisible(p.name, false);
}

bool rightPressOnControl(Application& app, std::string_view control, bool onlyRightButton) {
    if (!onlyRightButton) return false;
    const std::string_view panel = floatingPanelOfButton(control);
    if (panel.empty()) return false;
    return openFloatingPanel(app.controls(), panel, app.hooks.panelUnfoldStep);
}

void bindWindowCommands(Application& app) {
    ControlSet& cs = app.controls();
    AppState& s = app.state();

    // Every "×" hides all six panels; "詳細設定" shows the display options at once, without unfolding
    // and without hiding the others.
    for (const FloatingPanel& p : floatingPanels())
        cs.bind(p.closeButton, [&cs](const Control&) { closeFloatingPanels(cs); });
    cs.bind("N43", [&cs](const Control&) {
        const FloatingPanel* p = findPanel("panel_hyoujiop");
        cs.setHeight(p->name, p->openedHeight);
        cs.setVisible(p->name, true);
    });

    // The Play menu's switches are check marks the play reads when it starts; the interference switch
    // also turns the cutting off at once (a tool drag cuts too).
    cs.bind("menu_kanno", [&cs, &s](const Control&) { s.stock.cuttingEnabled = !cs.checked("menu_kanno"); });
    auto join = [&cs, &s](const Control& c) {
        const bool arc = c.name == "menu_hoseir";
        cs.setChecked("menu_hoseir", arc);
        cs.setChecked("menu_hoseil", !arc);
        s.play.noseRadiusArcJoin = arc;
    };
    cs.bind("menu_hoseir", join);
    cs.bind("menu_hoseil", join);
    cs.bind("menu_m0no", [&cs, &s](const Control&) { s.play.ignoreM0 = cs.checked("menu_m0no"); });
    cs.bind("menu_repaint",
            [&cs, &s](const Control&) { s.play.repaintAfterPlay = cs.checked("menu_repaint"); });

    // The view commands that need nothing of the scene but a repaint and the labels.
    auto apply = [&app](const ViewUpdate& up) {
        if (up.repaint) app.requestRepaint();
        if (up.refreshLabels) app.refreshLabels();
    };
    for (const char* n : {"sb_view1", "sb_view2", "sb_view3", "sb_view4", "sb_view5", "menu_view1",
                          "menu_view2", "menu_view3", "menu_view4", "menu_view5"})
        cs.bind(n, [&s, &cs, apply](const Control& c) { apply(viewModeClick(s.view, cs, c)); });
    for (const char* n : {"menu_view1g", "menu_view1k", "menu_view1z", "menu_view1c", "RadioButton1",
                          "RadioButton2", "RadioButton3", "RadioButton4"})
        cs.bind(n, [&s, &cs, apply](const Control& c) { apply(rotationCentreClick(s.view, cs, c)); });
    for (const char* n : {"sb_mouse_xy", "sb_mouse_xz", "sb_mouse_yz", "sb_mouse_ab"})
        cs.bind(n, [&s, &cs, apply](const Control& c) { apply(moveLockClick(s.view, cs, c)); });
    cs.bind("menu_heikou", [&s, &cs, apply](const Control&) { apply(parallelClick(s.view, cs)); });
    cs.bind("menu_pwyer", [&cs, apply](const Control&) { apply(temporaryWireframeClick(cs)); });
    cs.bind("ScrollBar2", [&s, &cs, apply](const Control&) { apply(lightPowerScroll(s.view, cs)); });
    cs.bind("label_bairitu", [&app, &s, apply](const Control&) { apply(scaleEntryClick(s.view, app.ui())); });

    // The T-code format: menu items by Tag, the lathe panel's combo by item index.
    for (const char* n : kTFormatItems)
        cs.bind(n, [&cs, &s](const Control& c) { selectTCodeFormat(cs, s, c.tag); });
    cs.bind("combo_tformat", [&cs, &s](const Control& c) { selectTCodeFormat(cs, s, c.itemIndex); });

    // The machining wizards are not part of this program yet.
    for (const char* n : {"sb_cad", "N63", "N68", "N70", "N72", "N73", "N74", "N75", "N76", "N77"})
        cs.bind(n, [&app](const Control&) { app.ui().message(kMsgUnderDevelopment); });

    // The OpenGL view: without a usable context (no driver, a remote display) the button says so and
    // springs back, and the software view stays.
    cs.bind("sb_opengl", [&app, &cs, &s](const Control&) {
        const bool want = cs.checked("sb_opengl");
        if (want && !(app.hooks.openGlView && app.hooks.openGlView(true))) {
            cs.setChecked("sb_opengl", false);
            s.view.openGlRequested = false;
            s.openGlOn = false;
            app.ui().message(kMsgOpenGlUnavailable);
            return;
        }
        openGlClick(s.view, cs);
        s.openGlOn = want;
        if (!want && app.hooks.openGlView) app.hooks.openGlView(false);
        app.requestRepaint();
    });
}

void applyViewUpdate(Application& app, SceneComposer& composer, const ViewUpdate& up, const ToolPose* pose) {
    AppState& s = app.state();
    if (pose && up.toolAxisChanged) {
        s.pos.axis = pose->axis;
        s.tools.workingTool.axisX = pose->axis.x;
        s.tools.workingTool.axisY = pose->axis.y;
        s.tools.workingTool.axisZ = pose->axis.z;
        updateDerivedToolValues(s.tools);
        s.pos.a = s.tools.toolTiltAngle;
        s.pos.b = s.tools.toolTurnAngle;
        storeWorkingTool(s.tools, s.machineKind, s.tools.currentToolIndex);
    }
    if (pose && up.toolMoved) {
        s.pos.tool.set(pose->position);
        s.pos.tool.setShown(pose->position);
        s.arc.end = pose->position;
        composer.quickToolRedraw();
    }
    if (up.repaintWithoutTool) {
        // The spindle goes with the tool: a drag draws both as outlines over this picture.
        const bool t = s.display.tool_on, h = s.display.holder_on, sp = s.machine.spindleShown;
        s.display.tool_on = false;
        s.display.holder_on = false;
        s.machine.spindleShown = false;
        composer.repaintScene();
        s.display.tool_on = t;
        s.display.holder_on = h;
        s.machine.spindleShown = sp;
    } else if (up.repaint) {
        app.requestRepaint();
    }
    if (up.refreshLabels) app.refreshLabels();
    if (up.magnifier)
        composer.drawMagnifierFrame(up.magnifier->centreX, up.magnifier->centreY, up.magnifier->halfWidth,
                                    up.magnifier->halfHeight);
}

void resetToInitialState(Application& app, SceneComposer& composer) {
    AppState& s = app.state();
    ControlSet& cs = app.controls();
    const ColourPalette fresh;
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12}) s.colours[i] = fresh[i];
    s.display.kikai_on = false;
    s.display.grid_on = true;
    s.display.axis_on = true;
    s.display.tool_on = true;
    s.display.holder_on = true;
    s.display.cad_on = true;
    s.display.kouwyer_on = false;
    s.display.zaiwyer_on = false;
    s.display.kikaiwyer_on = false;
    s.display.cadwyer_on = false;
    const GridAxes grid;
    s.grid.gridX = grid.gridX;
    s.grid.gridY = grid.gridY;
    s.grid.interval = grid.interval;
    s.grid.axisX = s.grid.axisY = s.grid.axisZ = 200;
    // The working tool: a plain end mill of the tool colour.
    ToolRecord& w = s.tools.workingTool;
    w.kind = 0;
    w.tipPosition = 5;
    w.noseRadius = 0;
    w.diameter = 10;
    w.holderLength = 0;
    w.length = 20;
    w.angleA = 0;
    w.angleB = 0;
    w.color = static_cast<int32_t>(s.colours[ColourPalette::kTool]);
    s.pos.reference = {0, 0, 500};
    s.stock = StockSpec{};
    s.pos.c = 0;
    s.arc = ArcOverlay{};
    s.arc.radius = 30;
    applyMachineKindDefaults(s, s.machineKind, cs.checked("menu_kikai_hankei"));
    // The view last: light, distance, offsets, the kind's camera and the origin moved by the hidden
    // panels.
    resetView(s.view, cs, s.machineKind, composer.panelsHidden());
    {
        std::lock_guard lk(s.stockMutex);
        initialiseStockGrid(s.stockGrid, s.stock, s.machineKind);
    }
    cs.setColor("panel_clback", s.colours.back());
    cs.setColor("panel_clzai", s.colours[ColourPalette::kZai]);
    applySettings(app);
    app.requestRepaint();
    app.refreshLabels();
}

void bindSceneCommands(Application& app, SceneComposer& composer, std::function<bool()> playing) {
    ControlSet& cs = app.controls();
    AppState& s = app.state();
    auto isPlaying = std::make_shared<std::function<bool()>>(std::move(playing));
    auto env = [&composer, isPlaying] { return composer.viewEnvironment(*isPlaying && (*isPlaying)()); };
    auto apply = [&app, &composer](const ViewUpdate& up) { applyViewUpdate(app, composer, up, nullptr); };

    for (const char* n : {"sb_xy", "sb_xz", "sb_yz"})
        cs.bind(n, [&s, env, apply](const Control& c) { apply(planeViewClick(s.view, env(), c)); });
    for (const char* n : {"label_vx", "label_vy", "label_vz"})
        cs.bind(n, [&app, &composer, &s](const Control& c) {
            ToolPose pose = composer.toolPose();
            const ViewUpdate up = toolAxisEntryClick(app.ui(), c, pose, s.machineKind);
            applyViewUpdate(app, composer, up, &pose);
        });
    cs.bind("sb_zai_fitscreen", [&s, env, apply](const Control&) { apply(fitToScreen(s.view, env())); });
    cs.bind("menu_paneloff", [&composer](const Control&) { composer.togglePanels(); });
    cs.bind("N13", [&app, &composer](const Control&) { resetToInitialState(app, composer); });

    // The holder model follows the holder standard, and the machined stock is drawn on request.
    app.hooks.holderChanged = [&composer, &s] {
        rebuildHolderProfile(composer.holder(), s.tools, s.machineKind, s.machine.holderStandard);
    };
    app.hooks.showStockGrid = [&composer] { composer.drawStockSurface(); };
}

}  // namespace vantrel
