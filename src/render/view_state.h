#pragma once
// The camera: angles, distance, scale, screen origin and the mouse modes of the scene view, plus the
// basis derived from them at every repaint.
//
// World coordinates are machine coordinates in millimetres; screen coordinates are pixels of the scene
// image, x to the right and y downwards. The camera orbits the view centre (-vwx, -vwy, -vwz).
#include <cstdint>

#include "core/machine_kind.h"
#include "core/vec3.h"

namespace vantrel {

inline constexpr double kPi = 3.1415926535897932385;
inline constexpr double kTwoPi = 6.283185307179586477;

constexpr double degToRad(double deg) {
    return deg * kPi / 180.0;
}
constexpr double radToDeg(double rad) {
    return rad * 180.0 / kPi;
}

// Values derived from the camera angles and distances; recomputed by updateViewBasis (view.h) at the
// start of every repaint and by any command that changes the angles, the distance or the view centre
// before it projects again.
struct ViewBasis {
    double sA = 0, cA = 1, sB = 0, cB = 1;
    Vec3 n{0, 0, 1};       // unit viewing direction, from the scene towards the eye
    Vec3 r{0, 1, 0};       // screen right
    Vec3 u{-1, 0, 0};      // screen up
    Vec3 eye{0, 0, 1600};  // e = n (D + E) - c
    Vec3 planePoint;       // n D
    Vec3 eyeOffset;        // n (D + E)
    Vec3 nE;               // n E
    MachineKind kind = MachineKind::VerticalMill;
    // HorizontalMill and Lathe show the picture turned a quarter turn: screen x runs along u.
    bool turned = false;
};

// One projected point: screen offsets relative to the origin, their rounded pixel offsets and whether
// the point lies on the eye's side of the projection plane (or behind the eye).
struct ProjectedPoint {
    double X = 0, Y = 0;
    int32_t px = 0, py = 0;
    bool clipped = false;
};

struct ViewState {
    double viewA = kPi / 4;            // view_a: polar angle of the viewing direction from +Z
    double viewB = -5 * kPi / 8;       // view_b: azimuth in the XY plane from +X
    float kyori = 1000.0f;             // view distance D ("視点距離")
    float eyeGap = 600.0f;             // eye gap E, never changed
    double scale = 1.5;                // pixels per millimetre ("倍率", label_bairitu)
    double pendingScale = 1.5;         // second scale: target of a pending magnifier zoom
    bool magnifierPending = false;     // zoom-window flag
    int32_t originX = 160;             // origin_x: pixel onto which the view centre projects
    int32_t originY = 350;             // origin_y
    double vwx = 0, vwy = 0, vwz = 0;  // view offset added to every world point
    bool parallel = false;             // menu_heikou "平行投影"
    uint8_t mouseMode = 1;       // right drag: 0 none, 1 rotate, 2 pan, 3 zoom, 4 view distance, 5 centre pan
    uint8_t rotationCentre = 2;  // 0 tool, 1 stock, 2 origin, 3 screen centre
    uint8_t moveLock = 4;        // left drag plane: 0 XY, 1 ZX, 2 YZ, 3 tool-axis angles, 4 free
    int32_t laypower = 5;        // light power 0..10 (ScrollBar2)
    float lightGain = 1.0f;      // shading multiplier set by the drawing code; 1 outside special models

    // The state of the OpenGL button. The software rasteriser is the only renderer in this build, so the
    // primitives never forward, whatever this says.
    bool openGlRequested = false;

    // Drag state of the scene's mouse handlers.
    int32_t prevMouseX = 0, prevMouseY = 0;
    bool mousePrimed = false;                          // the previous position is valid
    bool leftDrag = false;                             // the tool is being dragged
    bool openGlDrag = false;                           // a drag in the OpenGL view
    bool tempWireframe = false;                        // "一時的にワイヤーフレーム" is in effect
    bool savedWire[4] = {false, false, false, false};  // kikaiwyer_on, zaiwyer_on, kouwyer_on, cadwyer_on

    ViewBasis basis;

    Vec3 offset() const { return {vwx, vwy, vwz}; }
};

}  // namespace vantrel
