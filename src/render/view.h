#pragma once
// The world-to-screen projection of the scene view and its inverse.
//
//   updateViewBasis(view, kind)  recompute view.basis from the angles, D, E and the view offset
//   projectPoint(view, p)        world point -> offsets from the origin, pixel offsets, clipped flag
//   screenToPlane(view, px, py, P0, N)
//                                world point where the perspective ray through pixel (px, py) meets
//                                the plane through P0 with normal N; nothing when the ray is parallel
//   rayDirection(view, x, y)     the perspective ray direction through the screen position (x, y)
//   rotateLocal, directionAngles, angleBetween: the small vector helpers every model uses.
//
// All of them read view.basis, so call updateViewBasis after changing viewA, viewB, kyori or the
// offset. The scale, origin and parallel switch are read directly from the view.
#include <optional>

#include "core/vec3.h"
#include "render/view_state.h"

namespace vantrel {

void updateViewBasis(ViewState& view, MachineKind kind);

ProjectedPoint projectPoint(const ViewState& view, const Vec3& p);
inline ProjectedPoint projectPoint(const ViewState& view, const Vec3f& p) {
    return projectPoint(view, Vec3{p.x, p.y, p.z});
}

// Screen position of a projected point: the origin plus the unrounded offsets.
inline double screenX(const ViewState& view, const ProjectedPoint& pp) {
    return view.originX + pp.X;
}
inline double screenY(const ViewState& view, const ProjectedPoint& pp) {
    return view.originY + pp.Y;
}

// The direction from the eye through the screen position (x, y), not normalised: s r + t u - E n with
// (s, t) the position on the projection plane in millimetres.
Vec3 rayDirection(const ViewState& view, double x, double y);

std::optional<Vec3> screenToPlane(const ViewState& view, double px, double py, const Vec3& planePoint,
                                  const Vec3& planeNormal);
// The world point of the plane that projectPoint puts at (px, py), in either projection. The mouse
// commands keep screenToPlane's perspective ray in the parallel view too; what needs the drawn
// picture's own inverse (which cells can show at a pixel) uses this.
std::optional<Vec3> castToPlane(const ViewState& view, double px, double py, const Vec3& planePoint,
                                const Vec3& planeNormal);

// Ry(a) Rx(b) (x, y, z): first a turn by b about X, then by a about Y.
Vec3 rotateLocal(double x, double y, double z, double b, double a);
inline Vec3 rotateLocal(const Vec3& v, double b, double a) {
    return rotateLocal(v.x, v.y, v.z, b, a);
}

struct DirectionAngles {
    double b = 0;  // tilt about X
    double a = 0;  // turn about Y
};
// The angles for which rotateLocal(0, 0, 1, b, a) points along d; the zero vector counts as +Z.
DirectionAngles directionAngles(double dx, double dy, double dz);

// The angle between two vectors in [0, pi]; 0 when either is the zero vector.
double angleBetween(const Vec3& v, const Vec3& w);

}  // namespace vantrel
