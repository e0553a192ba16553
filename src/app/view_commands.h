#pragma once
// The commands of the scene view: mouse drags, wheel, magnifier, fit to screen, plane views, the
// view-mode buttons and menu items, parallel projection, light power and the view part of the
// "初期状態" reset.
//
// They are plain functions of the ViewState, the input (mouse position in scene-image pixels, buttons,
// modifier keys, wheel delta in units of 120 per notch) and, where they touch controls, the ControlSet.
// Values owned elsewhere (machine kind, scene size, tool position, stock box) come in a ViewEnvironment;
// values they change elsewhere (the tool pose, the wireframe switches) are passed by reference. Every
// command returns a ViewUpdate telling the caller what to redo; it never repaints by itself.
//
// Binding (the GUI's scene widget and the main window call these):
//   PaintBox1MouseMove   sceneMouseMove(view, controls, env, mouse, tool)
//   PaintBox1MouseDown   sceneMouseDown(view, controls, env, mouse, wire)
//   PaintBox1MouseUp     sceneMouseUp(view, controls, env, wire)
//   FormMouseWheel       sceneWheel(view, controls, env, delta, x, y)
//   sb_view1..5, menu_view1..5           viewModeClick(view, controls, sender)
//   menu_view1k/z/g/c, RadioButton1..4   rotationCentreClick(view, controls, sender)
//   sb_mouse_xy/xz/yz/ab                 moveLockClick(view, controls, sender)
//   sb_xy, sb_xz, sb_yz                  planeViewClick(view, env, sender)
//   menu_heikou                          parallelClick(view, controls)
//   sb_opengl                            openGlClick(view, controls)
//   menu_pwyer                           temporaryWireframeClick(controls)
//   ScrollBar2                           lightPowerScroll(view, controls)
//   ScrollBar1 (change)                  tailstockScrollChange()
//   label_bairitu                        scaleEntryClick(view, ui)
//   label_vx, label_vy, label_vz         toolAxisEntryClick(ui, sender, tool)
//   sb_zai_fitscreen                     fitToScreen(view, env)
//   sb_mannaka, N13 (view part)          resetView(view, controls, kind, panelsHidden)
#include <cstdint>
#include <optional>
#include <string>

#include "core/control_set.h"
#include "core/machine_kind.h"
#include "core/vec3.h"
#include "platform/ui_services.h"
#include "render/view_state.h"

namespace vantrel {

inline constexpr const char* kScaleRangeMessage = "0から2000まで";
inline constexpr const char* kToolAxisRangeMessage = "-100から+100まで";

// The stock box as the view commands need it (the stock's own fields, in its own meaning per family).
struct StockBox {
    float zai_x = 100, zai_y = 100, zai_z = 50;
    float zai_x_off = 0, zai_y_off = 0, zai_z_off = -50;
};

struct ViewEnvironment {
    MachineKind kind = MachineKind::VerticalMill;
    int sceneWidth = 640, sceneHeight = 480;        // scene image W x H
    int paintBoxWidth = 640, paintBoxHeight = 480;  // PaintBox1 client size
    Vec3 toolPosition{0, 0, 435};
    StockBox stock;
    bool playing = false;  // a playback runs: the mouse handlers do nothing
};

struct MouseInput {
    int x = 0, y = 0;  // scene-image pixels
    bool left = false, right = false, middle = false;
    bool shift = false, ctrl = false, alt = false;
    bool onlyLeft() const { return left && !right && !middle && !shift && !ctrl && !alt; }
    bool onlyRight() const { return right && !left && !middle && !shift && !ctrl && !alt; }
};

// The working tool as the tool drag and the tool-axis entry change it.
struct ToolPose {
    Vec3 position{0, 0, 435};
    double length = 20;         // working tool length
    double tilt = 0, turn = 0;  // toolTiltAngle, toolTurnAngle (radians)
    Vec3 axis{0, 0, 1};         // tool axis vector
};

// kikaiwyer_on, zaiwyer_on, kouwyer_on, cadwyer_on.
struct WireSwitches {
    bool machine = false, stock = false, tool = false, cad = false;
};

// The area a pending magnifier zoom will fill, to be outlined on the visible scene in palette colour 1.
struct MagnifierFrame {
    int centreX = 0, centreY = 0, halfWidth = 0, halfHeight = 0;
};

struct ViewUpdate {
    bool repaint = false;             // the master repaint
    bool refreshLabels = false;       // the value labels (scale ...)
    bool repaintWithoutTool = false;  // repaint once with tool_on and holder_on off, then restore them
    bool toolMoved = false;           // tool drag: R-arc end to the tool, quick tool redraw, position labels
    bool toolAxisChanged = false;     // store the tool axis and angles in the working tool and the tool entry
    std::optional<MagnifierFrame> magnifier;
};

// "###0.#" as label_bairitu shows the scale.
std::string scaleCaption(double scale);

ViewUpdate sceneMouseMove(ViewState& view, ControlSet& controls, const ViewEnvironment& env,
                          const MouseInput& mouse, ToolPose& tool);
ViewUpdate sceneMouseDown(ViewState& view, ControlSet& controls, const ViewEnvironment& env,
                          const MouseInput& mouse, WireSwitches& wire);
ViewUpdate sceneMouseUp(ViewState& view, ControlSet& controls, const ViewEnvironment& env,
                        WireSwitches& wire);
ViewUpdate sceneWheel(ViewState& view, ControlSet& controls, const ViewEnvironment& env, int delta, int x,
                      int y);

ViewUpdate viewModeClick(ViewState& view, ControlSet& controls, const Control& sender);
ViewUpdate rotationCentreClick(ViewState& view, ControlSet& controls, const Control& sender);
ViewUpdate moveLockClick(ViewState& view, ControlSet& controls, const Control& sender);
ViewUpdate planeViewClick(ViewState& view, const ViewEnvironment& env, const Control& sender);
ViewUpdate parallelClick(ViewState& view, ControlSet& controls);
ViewUpdate openGlClick(ViewState& view, ControlSet& controls);
ViewUpdate temporaryWireframeClick(ControlSet& controls);
ViewUpdate lightPowerScroll(ViewState& view, ControlSet& controls);
// The tailstock position only needs the picture redrawn.
ViewUpdate tailstockScrollChange();
ViewUpdate scaleEntryClick(ViewState& view, UiServices& ui);
ViewUpdate toolAxisEntryClick(UiServices& ui, const Control& sender, ToolPose& tool, MachineKind kind);
ViewUpdate fitToScreen(ViewState& view, const ViewEnvironment& env);

// The camera values of a machine kind (angles, origin, distance, scales, move lock), as the machine
// selection and the reset load them.
void applyKindViewDefaults(ViewState& view, MachineKind kind);
// The mouse-move lock a machine kind starts with (0 XY, 1 ZX, 4 free).
uint8_t defaultMoveLock(MachineKind kind);
// The view part of the reset: light power 5 (and ScrollBar2), D 1000, view offset 0, magnifier off,
// the kind's camera values and move lock (with the sb_mouse_* buttons), the origin moved by (+130, +29)
// when the panels are hidden. The rest of the reset (palette, grid, tool, stock ...) is the caller's.
ViewUpdate resetView(ViewState& view, ControlSet& controls, MachineKind kind, bool panelsHidden);

}  // namespace vantrel
