#include "app/view_commands.h"

#include <algorithm>
#include <cmath>

#include "core/number_format.h"
#include "core/rounding.h"
#include "render/view.h"

namespace vantrel {

namespace {

constexpr double kMaxScale = 2000;

bool turnedKind(MachineKind k) {
    return k == MachineKind::HorizontalMill || k == MachineKind::Lathe;
}

double wrapTwoPi(double a) {
    if (a >= kTwoPi) a -= kTwoPi;
    if (a <= -kTwoPi) a += kTwoPi;
    return a;
}

// Into (-pi, pi].
double wrapPi(double a) {
    if (!std::isfinite(a)) return 0;
    a = std::remainder(a, kTwoPi);
    if (a <= -kPi) a += kTwoPi;
    return a;
}

int32_t addClamped(int64_t a, int64_t b) {
    return static_cast<int32_t>(std::clamp<int64_t>(a + b, INT32_MIN, INT32_MAX));
}

// Places the origin so that the projection of p lands on pixel (sx, sy).
void anchorOrigin(ViewState& view, const Vec3& p, int64_t sx, int64_t sy) {
    const ProjectedPoint pp = projectPoint(view, p);
    view.originX = addClamped(sx, -static_cast<int64_t>(pp.px));
    view.originY = addClamped(sy, -static_cast<int64_t>(pp.py));
}

Vec3 stockCentre(const StockBox& s) {
    return {s.zai_x / 2.0 + s.zai_x_off, s.zai_y / 2.0 + s.zai_y_off, s.zai_z / 2.0 + s.zai_z_off};
}

void rotate(ViewState& view, const ViewEnvironment& env, int dX, int dY) {
    updateViewBasis(view, env.kind);
    bool anchored = false;
    int64_t sx = 0, sy = 0;
    Vec3 w;
    auto anchorAt = [&](const Vec3& t) {
        const ProjectedPoint pp = projectPoint(view, t);
        if (pp.clipped) return;
        sx = static_cast<int64_t>(view.originX) + pp.px;
        sy = static_cast<int64_t>(view.originY) + pp.py;
        w = screenToPlane(view, static_cast<double>(sx), static_cast<double>(sy), t, view.basis.eye - t)
                .value_or(t);
        anchored = true;
    };
    switch (view.rotationCentre) {
        case 0:
            anchorAt(env.toolPosition);
            break;
        case 1:
            anchorAt(stockCentre(env.stock));
            break;
        case 3: {
            sx = env.paintBoxWidth / 2;
            sy = env.paintBoxHeight / 2;
            if (auto p = screenToPlane(view, static_cast<double>(sx), static_cast<double>(sy), Vec3{},
                                       view.basis.n * view.kyori)) {
                w = *p;
                anchored = true;
            }
            break;
        }
        default:
            break;
    }
    if (turnedKind(env.kind)) {
        view.viewB -= dY / 314.0;
        view.viewA += dX / 314.0;
    } else {
        view.viewA -= dY / 314.0;
        view.viewB -= dX / 314.0;
    }
    view.viewA = wrapTwoPi(view.viewA);
    view.viewB = wrapTwoPi(view.viewB);
    updateViewBasis(view, env.kind);
    if (anchored) anchorOrigin(view, w, sx, sy);
}

void zoomDrag(ViewState& view, ControlSet& controls, const ViewEnvironment& env, int dX, int dY) {
    double k = view.scale * (100.0 + dX) / 100.0 * (100.0 - dY) / 100.0;
    if (!(k > 0)) k = 0.001;
    if (k >= kMaxScale) k = kMaxScale;
    const int hw = env.sceneWidth / 2, hh = env.sceneHeight / 2;
    view.originX =
        addClamped(hw, saturatingToInt32(k * (static_cast<double>(view.originX) - hw) / view.scale));
    view.originY =
        addClamped(hh, saturatingToInt32(k * (static_cast<double>(view.originY) - hh) / view.scale));
    view.scale = k;
    controls.setCaption("label_bairitu", scaleCaption(k));
}

void centrePan(ViewState& view, const ViewEnvironment& env, int prevX, int prevY, int x, int y) {
    updateViewBasis(view, env.kind);
    const Vec3 c = view.offset();
    const auto wp = screenToPlane(view, prevX, prevY, c, view.basis.n);
    const auto wc = screenToPlane(view, x, y, c, view.basis.n);
    if (!wp || !wc) return;
    const double nx = view.vwx + wc->x - wp->x, ny = view.vwy + wc->y - wp->y, nz = view.vwz + wc->z - wp->z;
    if (std::fabs(nx) < 1000) view.vwx = nx;
    if (std::fabs(ny) < 1000) view.vwy = ny;
    if (std::fabs(nz) < 1000) view.vwz = nz;
    updateViewBasis(view, env.kind);
}

bool dragTool(ViewState& view, const ViewEnvironment& env, int prevX, int prevY, int x, int y,
              ToolPose& tool) {
    updateViewBasis(view, env.kind);
    const Vec3 t = tool.position;
    if (view.moveLock == 3) {
        const Vec3 n = view.basis.n;
        const Vec3 p0 = t + n * tool.length;
        const auto wp = screenToPlane(view, prevX, prevY, p0, n);
        const auto wc = screenToPlane(view, x, y, p0, n);
        if (!wp || !wc) return false;
        const Vec3 vp = *wp - t, vc = *wc - t;
        const DirectionAngles ap = directionAngles(vp.x, vp.y, vp.z);
        const DirectionAngles ac = directionAngles(vc.x, vc.y, vc.z);
        if (isMilling(env.kind)) tool.tilt = wrapPi(tool.tilt + ac.b - ap.b);
        tool.turn = wrapPi(tool.turn + ac.a - ap.a);
        tool.axis = rotateLocal(0, 0, 1, tool.tilt, tool.turn);
        return true;
    }
    Vec3 normal;
    bool cx = true, cy = true, cz = true;
    switch (view.moveLock) {
        case 0:
            normal = {0, 0, 1};
            cz = false;
            break;
        case 1:
            normal = {0, 1, 0};
            cy = false;
            break;
        case 2:
            normal = {1, 0, 0};
            cx = false;
            break;
        default:
            normal = view.basis.n;
            break;
    }
    const auto wp = screenToPlane(view, prevX, prevY, t, normal);
    const auto wc = screenToPlane(view, x, y, t, normal);
    if (!wp || !wc) return false;
    const Vec3 moved = t + (*wc - *wp);
    if (cx && std::fabs(moved.x) < 10000) tool.position.x = moved.x;
    if (cy && std::fabs(moved.y) < 10000) tool.position.y = moved.y;
    if (cz && std::fabs(moved.z) < 10000) tool.position.z = moved.z;
    return true;
}

const char* const kViewButtons[5] = {"sb_view1", "sb_view2", "sb_view3", "sb_view4", "sb_view5"};
const char* const kViewItems[5] = {"menu_view1", "menu_view2", "menu_view3", "menu_view4", "menu_view5"};

// The digit that ends a control name such as sb_view3 or menu_view3 (0 when there is none).
int trailingDigit(const std::string& name) {
    if (name.empty()) return 0;
    const char c = name.back();
    return c >= '1' && c <= '9' ? c - '0' : 0;
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

}  // namespace

std::string scaleCaption(double scale) {
    return FormatFloat("###0.#", scale);
}

ViewUpdate sceneMouseMove(ViewState& view, ControlSet& controls, const ViewEnvironment& env,
                          const MouseInput& mouse, ToolPose& tool) {
    ViewUpdate up;
    if (env.playing) return up;
    if (!view.mousePrimed) {
        view.prevMouseX = mouse.x;
        view.prevMouseY = mouse.y;
        view.mousePrimed = true;
    }
    const int prevX = view.prevMouseX, prevY = view.prevMouseY;
    const int dX = mouse.x - prevX, dY = mouse.y - prevY;
    if (view.magnifierPending && view.pendingScale > 0) {
        up.repaint = true;
        const double ratio = view.scale / view.pendingScale;
        up.magnifier = MagnifierFrame{mouse.x, mouse.y, saturatingToInt32(ratio * env.paintBoxWidth / 2),
                                      saturatingToInt32(ratio * env.paintBoxHeight / 2)};
    }
    if (mouse.onlyRight()) {
        switch (view.mouseMode) {
            case 1:
                rotate(view, env, dX, dY);
                break;
            case 2:
                view.originX = addClamped(view.originX, dX);
                view.originY = addClamped(view.originY, dY);
                break;
            case 3:
                zoomDrag(view, controls, env, dX, dY);
                break;
            case 4:
                view.kyori = static_cast<float>(view.kyori - 5.0 * dX + 5.0 * dY);
                updateViewBasis(view, env.kind);
                break;
            case 5:
                centrePan(view, env, prevX, prevY, mouse.x, mouse.y);
                break;
            default:
                break;
        }
        up.repaint = true;
    } else if (mouse.onlyLeft()) {
        if (dragTool(view, env, prevX, prevY, mouse.x, mouse.y, tool)) {
            up.toolMoved = true;
            up.toolAxisChanged = view.moveLock == 3;
            up.refreshLabels = true;
        }
    }
    view.prevMouseX = mouse.x;
    view.prevMouseY = mouse.y;
    return up;
}

ViewUpdate sceneMouseDown(ViewState& view, ControlSet& controls, const ViewEnvironment& env,
                          const MouseInput& mouse, WireSwitches& wire) {
    ViewUpdate up;
    if (env.playing) return up;
    if (view.magnifierPending && view.pendingScale > 0 && view.scale > 0) {
        const double ratio = view.pendingScale / view.scale;
        view.originX = addClamped(env.sceneWidth / 2,
                                  saturatingToInt32(ratio * (static_cast<double>(view.originX) - mouse.x)));
        view.originY = addClamped(env.sceneHeight / 2,
                                  saturatingToInt32(ratio * (static_cast<double>(view.originY) - mouse.y)));
        view.scale = view.pendingScale;
        up.repaint = true;
        up.refreshLabels = true;
    }
    view.magnifierPending = false;
    if (controls.checked("menu_pwyer") && view.mouseMode != 0 && !view.tempWireframe) {
        view.savedWire[0] = wire.machine;
        view.savedWire[1] = wire.stock;
        view.savedWire[2] = wire.tool;
        view.savedWire[3] = wire.cad;
        wire = {true, true, true, true};
        view.tempWireframe = true;
    }
    if (mouse.onlyLeft()) {
        view.leftDrag = true;
        up.repaintWithoutTool = true;
    }
    if (view.openGlRequested) view.openGlDrag = true;
    return up;
}

ViewUpdate sceneMouseUp(ViewState& view, ControlSet& /*controls*/, const ViewEnvironment& env,
                        WireSwitches& wire) {
    ViewUpdate up;
    if (env.playing) return up;
    // The user's own switches come back whenever they were replaced, even if the menu item or the mouse
    // mode changed during the drag; otherwise they would stay forced on.
    if (view.tempWireframe) {
        wire = {view.savedWire[0], view.savedWire[1], view.savedWire[2], view.savedWire[3]};
    }
    view.tempWireframe = false;
    view.openGlDrag = false;
    view.leftDrag = false;
    up.repaint = true;
    return up;
}

ViewUpdate sceneWheel(ViewState& view, ControlSet& /*controls*/, const ViewEnvironment& env, int delta, int x,
                      int y) {
    ViewUpdate up;
    if (env.playing) return up;  // the play draws with the view it started with
    up.repaint = true;
    up.refreshLabels = true;
    const double k = (delta / 600.0 + 1.0) * view.scale;
    if (k >= 0.05 && k <= 100) {
        updateViewBasis(view, env.kind);
        const auto w0 = screenToPlane(view, x, y, Vec3{}, view.basis.eye);
        view.scale = k;
        if (w0) anchorOrigin(view, *w0, x, y);
    }
    return up;
}

ViewUpdate viewModeClick(ViewState& view, ControlSet& controls, const Control& sender) {
    const int n = trailingDigit(sender.name);
    if (n < 1 || n > 5) return {};
    int mode = 0;
    if (startsWith(sender.name, "sb_view")) {
        bool anyDown = false;
        for (const char* b : kViewButtons) anyDown = anyDown || controls.checked(b);
        mode = anyDown ? n : 0;
    } else {
        mode = controls.checked(sender.name) ? 0 : n;
    }
    for (int i = 0; i < 5; ++i) {
        controls.setChecked(kViewButtons[i], false);
        controls.setChecked(kViewItems[i], false);
    }
    if (mode > 0) {
        controls.setChecked(kViewButtons[mode - 1], true);
        controls.setChecked(kViewItems[mode - 1], true);
    }
    view.mouseMode = static_cast<uint8_t>(mode);
    return {};
}

ViewUpdate rotationCentreClick(ViewState& view, ControlSet& controls, const Control& sender) {
    if (sender.tag < 0 || sender.tag > 3) return {};
    view.rotationCentre = static_cast<uint8_t>(sender.tag);
    static const char* const kItems[4] = {"menu_view1k", "menu_view1z", "menu_view1g", "menu_view1c"};
    static const char* const kRadios[4] = {"RadioButton2", "RadioButton3", "RadioButton1", "RadioButton4"};
    for (int i = 0; i < 4; ++i) {
        controls.setChecked(kItems[i], i == sender.tag);
        controls.setChecked(kRadios[i], i == sender.tag);
    }
    return {};
}

ViewUpdate moveLockClick(ViewState& view, ControlSet& controls, const Control& sender) {
    bool anyDown = false;
    for (const char* b : {"sb_mouse_xy", "sb_mouse_xz", "sb_mouse_yz", "sb_mouse_ab"})
        anyDown = anyDown || controls.checked(b);
    view.moveLock = anyDown && sender.tag >= 0 && sender.tag <= 3 ? static_cast<uint8_t>(sender.tag) : 4;
    return {};
}

ViewUpdate planeViewClick(ViewState& view, const ViewEnvironment& env, const Control& sender) {
    int plane = 0;
    if (sender.name == "sb_xy")
        plane = 1;
    else if (sender.name == "sb_xz")
        plane = 2;
    else if (sender.name == "sb_yz")
        plane = 3;
    else
        return {};
    double a = kPi / 2, b = 0;
    if (plane == 1) {
        a = 0;
        switch (env.kind) {
            case MachineKind::HorizontalMill:
                b = kPi;
                break;
            case MachineKind::Lathe:
            case MachineKind::VerticalLathe:
                b = kPi / 2;
                break;
            default:
                b = -kPi / 2;
                break;
        }
    } else if (plane == 2) {
        b = kPi / 2;
    }
    view.viewA = a;
    view.viewB = b;
    updateViewBasis(view, env.kind);
    ViewUpdate up;
    up.repaint = true;
    return up;
}

ViewUpdate parallelClick(ViewState& view, ControlSet& controls) {
    view.parallel = !controls.checked("menu_heikou");
    controls.setChecked("menu_heikou", view.parallel);
    ViewUpdate up;
    up.repaint = true;
    return up;
}

ViewUpdate openGlClick(ViewState& view, ControlSet& controls) {
    view.openGlRequested = controls.checked("sb_opengl");
    ViewUpdate up;
    up.repaint = true;
    return up;
}

ViewUpdate temporaryWireframeClick(ControlSet& controls) {
    controls.setChecked("menu_pwyer", !controls.checked("menu_pwyer"));
    return {};
}

ViewUpdate lightPowerScroll(ViewState& view, ControlSet& controls) {
    view.laypower = std::clamp(controls.position("ScrollBar2"), 0, 10);
    ViewUpdate up;
    up.repaint = true;
    return up;
}

ViewUpdate tailstockScrollChange() {
    ViewUpdate up;
    up.repaint = true;
    return up;
}

ViewUpdate scaleEntryClick(ViewState& view, UiServices& ui) {
    const std::optional<double> v = ui.keypad(view.scale);
    if (!v) return {};
    if (!(*v > 0) || *v > kMaxScale || !std::isfinite(*v)) {
        ui.message(kScaleRangeMessage);
        return {};
    }
    if (*v <= view.scale) {
        view.scale = *v;
    } else {
        view.pendingScale = *v;
        view.magnifierPending = true;
    }
    ViewUpdate up;
    up.repaint = true;
    up.refreshLabels = true;
    return up;
}

ViewUpdate toolAxisEntryClick(UiServices& ui, const Control& sender, ToolPose& tool, MachineKind /*kind*/) {
    double* component = nullptr;
    if (sender.name == "label_vx" || (sender.name.empty() && sender.tag == 0))
        component = &tool.axis.x;
    else if (sender.name == "label_vy" || (sender.name.empty() && sender.tag == 1))
        component = &tool.axis.y;
    else if (sender.name == "label_vz" || (sender.name.empty() && sender.tag == 2))
        component = &tool.axis.z;
    if (!component) return {};
    const std::optional<double> v = ui.keypad(*component);
    if (!v) return {};
    if (!std::isfinite(*v) || *v > 100 || *v < -100) {
        ui.message(kToolAxisRangeMessage);
        return {};
    }
    *component = *v;
    const DirectionAngles da = directionAngles(tool.axis.x, tool.axis.y, tool.axis.z);
    tool.tilt = da.b;
    tool.turn = da.a;
    ViewUpdate up;
    up.toolAxisChanged = true;
    up.refreshLabels = true;
    return up;
}

ViewUpdate fitToScreen(ViewState& view, const ViewEnvironment& env) {
    ViewUpdate up;
    up.repaint = true;
    up.refreshLabels = true;
    if (isWire(env.kind)) return up;
    updateViewBasis(view, env.kind);
    const int hw = env.sceneWidth / 2, hh = env.sceneHeight / 2;
    const int h = std::min(hw, hh);
    const StockBox& s = env.stock;
    Vec3 centre;
    Vec3 corners[8];
    if (isMilling(env.kind)) {
        const Vec3 lo{s.zai_x_off, s.zai_y_off, s.zai_z_off};
        const Vec3 hi = lo + Vec3{s.zai_x, s.zai_y, s.zai_z};
        centre = (lo + hi) * 0.5;
        for (int i = 0; i < 8; ++i)
            corners[i] = {(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z};
    } else {
        const double r = s.zai_x / 2.0;
        centre = {0, 0, s.zai_x_off - s.zai_z / 2.0};
        for (int i = 0; i < 8; ++i)
            corners[i] = {(i & 1) ? r : -r, (i & 2) ? r : -r, (i & 4) ? s.zai_x_off - s.zai_z : s.zai_x_off};
    }
    anchorOrigin(view, centre, hw, hh);
    int64_t m = std::max(hw, hh);
    for (const Vec3& c : corners) {
        const ProjectedPoint pp = projectPoint(view, c);
        m = std::min(
            {m, static_cast<int64_t>(view.originX) + pp.px, static_cast<int64_t>(view.originY) + pp.py});
    }
    // A stock of no size (or one already beyond the edge) gives no usable ratio: keep the scale.
    if (h - m > 0) {
        const double k = view.scale * 0.8 * h / static_cast<double>(h - m);
        if (k > 0 && std::isfinite(k)) view.scale = std::min(k, kMaxScale);
    }
    anchorOrigin(view, centre, hw, hh);
    return up;
}

uint8_t defaultMoveLock(MachineKind kind) {
    return isTurning(kind) ? 1 : isWire(kind) ? 0 : 4;  // ZX on the lathes, XY on the wire, free else
}

void applyKindViewDefaults(ViewState& view, MachineKind kind) {
    struct Defaults {
        double a, b;
        int32_t ox, oy;
    };
    static constexpr Defaults kTable[5] = {
        {kPi / 4, -5 * kPi / 8, 160, 350},    {kPi / 6, kPi, 100, 250},
        {3 * kPi / 8, 5 * kPi / 8, 100, 260}, {3 * kPi / 8, -kPi / 3, 160, 280},
        {kPi / 3, -5 * kPi / 8, 160, 260},
    };
    const Defaults& d = kTable[static_cast<int>(kind)];
    view.viewA = d.a;
    view.viewB = d.b;
    view.originX = d.ox;
    view.originY = d.oy;
    view.kyori = 1000.0f;
    view.scale = 1.5;
    view.pendingScale = 1.5;
    view.moveLock = defaultMoveLock(kind);
    updateViewBasis(view, kind);
}

ViewUpdate resetView(ViewState& view, ControlSet& controls, MachineKind kind, bool panelsHidden) {
    view.laypower = 5;
    controls.setPosition("ScrollBar2", 5);
    view.kyori = 1000.0f;
    view.vwx = view.vwy = view.vwz = 0;
    view.magnifierPending = false;
    view.moveLock = 4;
    applyKindViewDefaults(view, kind);
    static const char* const kLockButtons[4] = {"sb_mouse_xy", "sb_mouse_xz", "sb_mouse_yz", "sb_mouse_ab"};
    for (int i = 0; i < 4; ++i) controls.setChecked(kLockButtons[i], i == view.moveLock);
    if (panelsHidden) {
        view.originX = addClamped(view.originX, 130);
        view.originY = addClamped(view.originY, 29);
    }
    controls.setCaption("label_bairitu", scaleCaption(view.scale));
    ViewUpdate up;
    up.repaint = true;
    up.refreshLabels = true;
    return up;
}

}  // namespace vantrel
