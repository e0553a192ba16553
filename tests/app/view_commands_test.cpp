// The view commands. Expected numbers come from the camera geometry worked out by hand in the comments
// (top view: eye at (0, 0, 1600), one millimetre on the table is 0.375 k pixels).
#include <gtest/gtest.h>

#include <cmath>

#include "app/view_commands.h"
#include "render/view.h"
#include "support/scripted_ui_services.h"

namespace vantrel {
namespace {

void addViewControls(ControlSet& cs) {
    auto add = [&](const char* name, ControlKind kind, int tag, int group = 0, bool allUp = false) {
        Control c;
        c.name = name;
        c.kind = kind;
        c.tag = tag;
        c.group = group;
        c.allowAllUp = allUp;
        cs.add(c);
    };
    for (int i = 1; i <= 5; ++i) {
        add(("sb_view" + std::to_string(i)).c_str(), ControlKind::SpeedButton, i, 2);
        add(("menu_view" + std::to_string(i)).c_str(), ControlKind::MenuItem, i);
    }
    add("menu_view1k", ControlKind::MenuItem, 0);
    add("menu_view1z", ControlKind::MenuItem, 1);
    add("menu_view1g", ControlKind::MenuItem, 2);
    add("menu_view1c", ControlKind::MenuItem, 3);
    add("RadioButton1", ControlKind::CheckBox, 2);
    add("RadioButton2", ControlKind::CheckBox, 0);
    add("RadioButton3", ControlKind::CheckBox, 1);
    add("RadioButton4", ControlKind::CheckBox, 3);
    add("sb_mouse_xy", ControlKind::SpeedButton, 0, 3, true);
    add("sb_mouse_xz", ControlKind::SpeedButton, 1, 3, true);
    add("sb_mouse_yz", ControlKind::SpeedButton, 2, 3, true);
    add("sb_mouse_ab", ControlKind::SpeedButton, 3, 3, true);
    add("sb_xy", ControlKind::SpeedButton, 0);
    add("sb_xz", ControlKind::SpeedButton, 1);
    add("sb_yz", ControlKind::SpeedButton, 2);
    add("menu_heikou", ControlKind::MenuItem, 0);
    add("menu_pwyer", ControlKind::MenuItem, 0);
    add("sb_opengl", ControlKind::SpeedButton, 0);
    add("ScrollBar2", ControlKind::ScrollBar, 0);
    add("label_bairitu", ControlKind::Label, 0);
    cs.setRange("ScrollBar2", 0, 10);
}

class ViewCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        addViewControls(cs);
        updateViewBasis(view, env.kind);
    }
    ViewState topView(double k) {
        ViewState v;
        v.viewA = 0;
        v.viewB = -kPi / 2;
        v.scale = k;
        v.originX = 100;
        v.originY = 100;
        updateViewBasis(v, MachineKind::VerticalMill);
        return v;
    }
    // One move to prime the previous position, then the drag itself.
    ViewUpdate drag(bool right, int x0, int y0, int x1, int y1) {
        MouseInput m;
        m.x = x0;
        m.y = y0;
        sceneMouseMove(view, cs, env, m, tool);  // no button: only the position is taken
        m.right = right;
        m.left = !right;
        m.x = x1;
        m.y = y1;
        return sceneMouseMove(view, cs, env, m, tool);
    }
    Control sender(const std::string& name) { return cs.get(name); }

    ControlSet cs;
    ViewState view;
    ViewEnvironment env;
    ToolPose tool;
    WireSwitches wire;
    ScriptedUiServices ui;
};

TEST_F(ViewCommands, RotateAboutTheStockKeepsItsPixelAndTurnsByOneRadianPer314Pixels) {
    view.rotationCentre = 1;
    const Vec3 centre{50, 50, -25};  // default stock 100 x 100 x 50 at (0, 0, -50)
    const ProjectedPoint before = projectPoint(view, centre);
    const int bx = view.originX + before.px, by = view.originY + before.py;
    const double a = view.viewA, b = view.viewB;
    const ViewUpdate up = drag(true, 300, 200, 330, 180);
    EXPECT_TRUE(up.repaint);
    EXPECT_NEAR(view.viewA, a + 20.0 / 314, 1e-12);
    EXPECT_NEAR(view.viewB, b - 30.0 / 314, 1e-12);
    const ProjectedPoint after = projectPoint(view, centre);
    EXPECT_NEAR(view.originX + after.px, bx, 1);
    EXPECT_NEAR(view.originY + after.py, by, 1);
}

TEST_F(ViewCommands, RotateAboutTheOriginKeepsTheOriginAndTurnedKindsSwapTheDrag) {
    view.rotationCentre = 2;
    drag(true, 10, 10, 20, 10);
    EXPECT_EQ(view.originX, 160);
    EXPECT_EQ(view.originY, 350);
    env.kind = MachineKind::HorizontalMill;
    const double a = view.viewA, b = view.viewB;
    drag(true, 10, 10, 20, 15);  // dX 10 turns A forwards, dY 5 turns B back
    EXPECT_NEAR(view.viewA, a + 10.0 / 314, 1e-12);
    EXPECT_NEAR(view.viewB, b - 5.0 / 314, 1e-12);
}

TEST_F(ViewCommands, AnglesWrapOnlyAtTwoPi) {
    view.rotationCentre = 2;
    view.viewA = 3.0;
    drag(true, 0, 100, 0, 0);  // dY = -100: A grows by 0.318 past pi and is kept
    EXPECT_NEAR(view.viewA, 3.0 + 100.0 / 314, 1e-12);
    view.viewA = 6.2;
    drag(true, 0, 100, 0, 0);
    EXPECT_NEAR(view.viewA, 6.2 + 100.0 / 314 - kTwoPi, 1e-12);
}

TEST_F(ViewCommands, PanZoomAndViewDistanceDrags) {
    view.mouseMode = 2;
    drag(true, 0, 0, 7, -3);
    EXPECT_EQ(view.originX, 167);
    EXPECT_EQ(view.originY, 347);

    // Zoom: factor (100 + 100) / 100 = 2; origin scaled about (320, 240):
    // ox = 320 + trunc(3 (167 - 320) / 1.5) = 14, oy = 240 + trunc(3 (347 - 240) / 1.5) = 454.
    view.mouseMode = 3;
    drag(true, 0, 0, 100, 0);
    EXPECT_DOUBLE_EQ(view.scale, 3.0);
    EXPECT_EQ(view.originX, 14);
    EXPECT_EQ(view.originY, 454);
    EXPECT_EQ(cs.caption("label_bairitu"), "3");
    drag(true, 0, 0, -150, 0);  // factor -0.5: not positive
    EXPECT_DOUBLE_EQ(view.scale, 0.001);
    view.scale = 1500;
    drag(true, 0, 0, 50, 0);
    EXPECT_DOUBLE_EQ(view.scale, 2000);

    view.mouseMode = 4;
    drag(true, 0, 0, 10, 4);  // D - 50 + 20
    EXPECT_FLOAT_EQ(view.kyori, 970);
}

TEST_F(ViewCommands, ViewCentrePanFollowsTheMouseOnThePlaneThroughTheOffset) {
    view = topView(1);
    view.mouseMode = 5;
    // 10 pixels on the plane z = 0 are 10 / 0.375 = 26.67 mm.
    drag(true, 200, 200, 210, 200);
    EXPECT_NEAR(view.vwx, 10 / 0.375, 1e-9);
    EXPECT_NEAR(view.vwy, 0, 1e-9);
    // A step that would reach 1000 in magnitude is ignored for that axis.
    view.vwx = 990;
    drag(true, 200, 200, 210, 200);
    EXPECT_NEAR(view.vwx, 990, 1e-9);
}

TEST_F(ViewCommands, WheelZoomKeepsThePointUnderTheMouseAndIgnoresStepsOutOfRange) {
    view = topView(1.5);
    // Pixel (400, 300) sees the table point (533.33, -355.56, 0) (s = 200, t = -133.33 scaled by 1600 / 600).
    // At scale 1.8 that point projects to (360, 240), so the origin becomes (40, 60).
    sceneWheel(view, cs, env, 120, 400, 300);
    EXPECT_NEAR(view.scale, 1.8, 1e-12);
    EXPECT_EQ(view.originX, 40);
    EXPECT_EQ(view.originY, 60);
    view.scale = 90;
    const ViewUpdate up = sceneWheel(view, cs, env, 120, 400, 300);  // 108 > 100: ignored
    EXPECT_DOUBLE_EQ(view.scale, 90);
    EXPECT_TRUE(up.refreshLabels);
    EXPECT_TRUE(up.repaint);
    sceneWheel(view, cs, env, -120, 400, 300);
    EXPECT_NEAR(view.scale, 72, 1e-12);
}

TEST_F(ViewCommands, FitToScreenCentresTheStockAndKeepsTheScaleForAnEmptyStock) {
    env.sceneWidth = 400;
    env.sceneHeight = 300;
    fitToScreen(view, env);
    const ProjectedPoint c = projectPoint(view, Vec3{50, 50, -25});
    EXPECT_EQ(view.originX + c.px, 200);
    EXPECT_EQ(view.originY + c.py, 150);
    EXPECT_NE(view.scale, 1.5);
    EXPECT_GT(view.scale, 0);
    EXPECT_LE(view.scale, 2000);
    // The farthest corner towards the top-left now lies about 80 % of the half height from the centre:
    // m = min over the corners of (x, y) is near 150 - 0.8 * 150 = 30.
    int m = 200;
    for (int i = 0; i < 8; ++i) {
        const ProjectedPoint p =
            projectPoint(view, Vec3{(i & 1) ? 100.0 : 0.0, (i & 2) ? 100.0 : 0.0, (i & 4) ? 0.0 : -50.0});
        m = std::min({m, view.originX + p.px, view.originY + p.py});
    }
    EXPECT_NEAR(m, 30, 2);

    const double k = view.scale;
    env.stock = StockBox{0, 0, 0, 0, 0, 0};
    fitToScreen(view, env);
    EXPECT_DOUBLE_EQ(view.scale, k);
    EXPECT_TRUE(std::isfinite(view.scale));

    env.kind = MachineKind::WireEdm;
    const int ox = view.originX;
    const ViewUpdate up = fitToScreen(view, env);
    EXPECT_EQ(view.originX, ox);
    EXPECT_TRUE(up.repaint);
}

TEST_F(ViewCommands, PlaneViewsByMachineKind) {
    planeViewClick(view, env, sender("sb_xy"));
    EXPECT_EQ(view.viewA, 0);
    EXPECT_DOUBLE_EQ(view.viewB, -kPi / 2);
    env.kind = MachineKind::HorizontalMill;
    planeViewClick(view, env, sender("sb_xy"));
    EXPECT_DOUBLE_EQ(view.viewB, kPi);
    env.kind = MachineKind::Lathe;
    planeViewClick(view, env, sender("sb_xy"));
    EXPECT_DOUBLE_EQ(view.viewB, kPi / 2);
    planeViewClick(view, env, sender("sb_xz"));
    EXPECT_DOUBLE_EQ(view.viewA, kPi / 2);
    EXPECT_DOUBLE_EQ(view.viewB, kPi / 2);
    planeViewClick(view, env, sender("sb_yz"));
    EXPECT_DOUBLE_EQ(view.viewA, kPi / 2);
    EXPECT_DOUBLE_EQ(view.viewB, 0);
}

TEST_F(ViewCommands, ModeButtonsAndMenuItemsStayInStep) {
    cs.setChecked("sb_view3", true);
    viewModeClick(view, cs, sender("sb_view3"));
    EXPECT_EQ(view.mouseMode, 3);
    EXPECT_TRUE(cs.checked("menu_view3"));
    EXPECT_TRUE(cs.checked("sb_view3"));
    EXPECT_FALSE(cs.checked("sb_view1"));
    viewModeClick(view, cs, sender("menu_view5"));
    EXPECT_EQ(view.mouseMode, 5);
    EXPECT_TRUE(cs.checked("sb_view5"));
    EXPECT_FALSE(cs.checked("sb_view3"));
    EXPECT_FALSE(cs.checked("menu_view3"));
    viewModeClick(view, cs, sender("menu_view5"));  // already checked: no mode
    EXPECT_EQ(view.mouseMode, 0);
    for (int i = 1; i <= 5; ++i) EXPECT_FALSE(cs.checked("sb_view" + std::to_string(i)));
}

TEST_F(ViewCommands, RotationCentreMoveLockParallelAndLight) {
    rotationCentreClick(view, cs, sender("RadioButton3"));
    EXPECT_EQ(view.rotationCentre, 1);
    EXPECT_TRUE(cs.checked("menu_view1z"));
    EXPECT_FALSE(cs.checked("menu_view1g"));
    rotationCentreClick(view, cs, sender("menu_view1c"));
    EXPECT_EQ(view.rotationCentre, 3);
    EXPECT_TRUE(cs.checked("RadioButton4"));
    EXPECT_FALSE(cs.checked("RadioButton3"));

    cs.setChecked("sb_mouse_xz", true);
    moveLockClick(view, cs, sender("sb_mouse_xz"));
    EXPECT_EQ(view.moveLock, 1);
    cs.setChecked("sb_mouse_xz", false);
    moveLockClick(view, cs, sender("sb_mouse_xz"));
    EXPECT_EQ(view.moveLock, 4);

    parallelClick(view, cs);
    EXPECT_TRUE(view.parallel);
    EXPECT_TRUE(cs.checked("menu_heikou"));
    parallelClick(view, cs);
    EXPECT_FALSE(view.parallel);

    cs.setPosition("ScrollBar2", 8);
    EXPECT_TRUE(lightPowerScroll(view, cs).repaint);
    EXPECT_EQ(view.laypower, 8);
}

TEST_F(ViewCommands, ScaleEntryRejectsOutOfRangeAndArmsTheMagnifier) {
    ui.keypadAnswers = {0.0, 2500.0, 1.0, 5.0};
    scaleEntryClick(view, ui);
    scaleEntryClick(view, ui);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0], "0から2000まで");
    EXPECT_DOUBLE_EQ(view.scale, 1.5);
    scaleEntryClick(view, ui);  // smaller: at once
    EXPECT_DOUBLE_EQ(view.scale, 1.0);
    EXPECT_FALSE(view.magnifierPending);
    scaleEntryClick(view, ui);  // larger: waits for a click
    EXPECT_TRUE(view.magnifierPending);
    EXPECT_DOUBLE_EQ(view.scale, 1.0);

    // While pending, a move reports the frame to outline: half of the box scaled by 1/5.
    MouseInput m;
    m.x = 300;
    m.y = 200;
    const ViewUpdate mv = sceneMouseMove(view, cs, env, m, tool);
    ASSERT_TRUE(mv.magnifier);
    EXPECT_EQ(mv.magnifier->halfWidth, 64);
    EXPECT_EQ(mv.magnifier->halfHeight, 48);

    // The click: ox = 320 + trunc(5 (160 - 300)) = -380, oy = 240 + trunc(5 (350 - 200)) = 990.
    const ViewUpdate up = sceneMouseDown(view, cs, env, m, wire);
    EXPECT_DOUBLE_EQ(view.scale, 5.0);
    EXPECT_EQ(view.originX, -380);
    EXPECT_EQ(view.originY, 990);
    EXPECT_FALSE(view.magnifierPending);
    EXPECT_TRUE(up.refreshLabels);
}

TEST_F(ViewCommands, ToolAxisEntry) {
    ui.keypadAnswers = {150.0, 1.0};
    Control vx;
    vx.name = "label_vx";
    toolAxisEntryClick(ui, vx, tool, env.kind);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "-100から+100まで");
    const ViewUpdate up = toolAxisEntryClick(ui, vx, tool, env.kind);
    EXPECT_TRUE(up.toolAxisChanged);
    EXPECT_DOUBLE_EQ(tool.axis.x, 1.0);
    // Axis (1, 0, 1): no tilt, a turn of 45 degrees about Y.
    EXPECT_NEAR(tool.tilt, 0, 1e-12);
    EXPECT_NEAR(tool.turn, kPi / 4, 1e-12);
}

TEST_F(ViewCommands, LeftDragMovesTheToolInTheLockedPlane) {
    view = topView(1);
    tool.position = {0, 0, 0};
    view.moveLock = 0;
    // 15 pixels on the table are 15 / 0.375 = 40 mm.
    const ViewUpdate up = drag(false, 200, 200, 215, 200);
    EXPECT_TRUE(up.toolMoved);
    EXPECT_NEAR(tool.position.x, 40, 1e-9);
    EXPECT_NEAR(tool.position.y, 0, 1e-9);
    // Seen from above the ZX plane is edge-on: the rays run inside it and nothing moves.
    view.moveLock = 1;
    drag(false, 200, 200, 215, 200);
    EXPECT_NEAR(tool.position.x, 40, 1e-9);
    // Free movement in the plane facing the eye, limited to 10000.
    view.moveLock = 4;
    tool.position = {9990, 0, 0};
    drag(false, 200, 200, 215, 200);
    EXPECT_NEAR(tool.position.x, 9990, 1e-9);
}

TEST_F(ViewCommands, ToolAxisDragTurnsTheAxis) {
    view = topView(1);
    view.moveLock = 3;
    tool.position = {0, 0, 0};
    tool.length = 100;
    drag(false, 100, 100, 150, 100);
    // The axis now leans towards +X and stays a unit vector built from the two angles.
    EXPECT_GT(tool.axis.x, 0.1);
    EXPECT_NEAR(tool.axis.length(), 1, 1e-12);
    const Vec3 expect = rotateLocal(0, 0, 1, tool.tilt, tool.turn);
    EXPECT_NEAR(tool.axis.x, expect.x, 1e-12);
}

TEST_F(ViewCommands, TemporaryWireframeIsRestoredOnRelease) {
    temporaryWireframeClick(cs);
    EXPECT_TRUE(cs.checked("menu_pwyer"));
    wire = {false, true, false, false};
    MouseInput m;
    m.right = true;
    sceneMouseDown(view, cs, env, m, wire);
    EXPECT_TRUE(wire.machine && wire.stock && wire.tool && wire.cad);
    // Unchecking the item during the drag still gives the user's switches back.
    temporaryWireframeClick(cs);
    sceneMouseUp(view, cs, env, wire);
    EXPECT_FALSE(wire.machine);
    EXPECT_TRUE(wire.stock);
    EXPECT_FALSE(wire.tool);
    EXPECT_FALSE(view.tempWireframe);

    m.right = false;
    m.left = true;
    EXPECT_TRUE(sceneMouseDown(view, cs, env, m, wire).repaintWithoutTool);
    EXPECT_TRUE(view.leftDrag);
    sceneMouseUp(view, cs, env, wire);
    EXPECT_FALSE(view.leftDrag);
}

TEST_F(ViewCommands, NothingHappensWhilePlaying) {
    env.playing = true;
    view.mouseMode = 2;
    const ViewUpdate up = drag(true, 0, 0, 50, 50);
    EXPECT_FALSE(up.repaint);
    EXPECT_EQ(view.originX, 160);
}

TEST_F(ViewCommands, ResetLoadsTheKindsCameraAndMovesForHiddenPanels) {
    view.laypower = 9;
    view.vwx = 12;
    view.kyori = 400;
    view.magnifierPending = true;
    resetView(view, cs, MachineKind::Lathe, true);
    EXPECT_DOUBLE_EQ(view.viewA, 3 * kPi / 8);
    EXPECT_DOUBLE_EQ(view.viewB, 5 * kPi / 8);
    EXPECT_EQ(view.originX, 230);
    EXPECT_EQ(view.originY, 289);
    EXPECT_EQ(view.moveLock, 1);
    EXPECT_TRUE(cs.checked("sb_mouse_xz"));
    EXPECT_EQ(view.laypower, 5);
    EXPECT_EQ(cs.position("ScrollBar2"), 5);
    EXPECT_EQ(view.vwx, 0);
    EXPECT_FLOAT_EQ(view.kyori, 1000);
    EXPECT_FALSE(view.magnifierPending);
    EXPECT_EQ(cs.caption("label_bairitu"), "1.5");
}

}  // namespace
}  // namespace vantrel
