#pragma once
// The camera: angles, distance, scale, screen origin and the mouse modes of the scene view.
#include <cstdint>

namespace vantrel {

inline constexpr double kPi = 3.1415926535897932385;

struct ViewState {
    double viewA = kPi / 4;         // view_a: polar angle of the viewing direction from +Z
    double viewB = -5 * kPi / 8;    // view_b: azimuth in the XY plane from +X
    float kyori = 1000.0f;          // view distance D
    float eyeGap = 600.0f;          // eye gap E, never changed
    double scale = 1.5;             // pixels per millimetre
    double pendingScale = 1.5;      // second scale: target of a pending magnifier zoom
    bool magnifierPending = false;  // zoom-window flag
    int32_t originX = 160;          // origin_x
    int32_t originY = 350;          // origin_y
    double vwx = 0, vwy = 0, vwz = 0;  // view offset added to every world point
    bool parallel = false;          // menu_heikou
    uint8_t mouseMode = 1;          // 0 none, 1 rotate, 2 pan, 3 zoom, 4 view distance, 5 view-centre pan
    uint8_t rotationCentre = 2;     // 0 tool, 1 stock, 2 origin, 3 screen centre
    uint8_t moveLock = 4;           // 0 XY, 1 ZX, 2 YZ, 3 tool-axis angles, 4 free
    int32_t laypower = 5;           // light power 0..10 (ScrollBar2)
    float lightGain = 1.0f;
};

}  // namespace vantrel
