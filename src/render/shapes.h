#pragma once
// Parametric shapes built from the world-space primitives. Local geometry is placed with
// rotateLocal(local, tilt, turn) and then moved to the position; local +Z is the shape's axis. Round
// shapes measure their size on the screen first, so that a small object costs a few dozen triangles
// and a large one stays smooth.
//
//   drawTube     ring or solid cylinder: position = centre of the first end
//   drawPrism    3..6 sided (or round when sides <= 2) prism, solid or hollow: position = bottom centre
//   drawFrustum  cone frustum: position = centre of the first end
//   drawBlock    box with bevelled edges: position = centre
//   drawRevolved surface of revolution of a profile (radius, axial position, normal per point)
//   drawArc3D    arc or helix as overlay lines or pie slices
//
// All faces use ShapeStyle::faceMode (front faces only, unless a caller asks otherwise).
#include <cstdint>
#include <span>

#include "core/vec3.h"
#include "render/primitives.h"

namespace vantrel {

struct Orientation {
    double tilt = 0;  // b: about X
    double turn = 0;  // a: about Y
};

struct ShapeStyle {
    uint32_t colour = 0;  // 0x00BBGGRR
    bool wire = false;
    FaceMode faceMode = FaceMode::Front;
};

// The size of a round shape on the screen: the pixel distance between the projections of P plus and
// minus a vector of the reference radius perpendicular to the direction towards the eye.
struct ScreenSize {
    double dpx = 0;
    bool largerThanScreen = false;
};
ScreenSize measureOnScreen(const ViewState& view, int width, int height, const Vec3& p, double radius);

// Segment counts by screen size (see each shape for how they are used).
int tubeHalfSegments(ScreenSize s);      // m in 3..8 (8 when larger than the screen); 2m segments
int roundPrismSegments(ScreenSize s);    // m in 6..48 (48 when larger than the screen)
int frustumSegments(ScreenSize s);       // m in 8..24
int revolvedHalfSegments(ScreenSize s);  // m in 3..16 (16 when larger than the screen); 2m segments
double arcStep(ScreenSize s);            // radians per step

void drawTube(DrawContext& ctx, const ShapeStyle& style, const Vec3& position, double outerDiameter,
              double innerDiameter, double length, Orientation o);

void drawPrism(DrawContext& ctx, const ShapeStyle& style, const Vec3& position, double sizeX, double sizeY,
               double thickness, double length, int sides, Orientation o);
// Corner k of the sided outline whose sides touch the ellipse (X/2, Y/2) at the angles 2 pi k / n.
Vec3 prismCorner(double sizeX, double sizeY, int sides, int k);

// segments <= 0 chooses the count by screen size.
void drawFrustum(DrawContext& ctx, const ShapeStyle& style, const Vec3& position, double firstDiameter,
                 double secondDiameter, double length, Orientation o, int segments = 0);

void drawBlock(DrawContext& ctx, const ShapeStyle& style, const Vec3& centre, double sizeX, double sizeY,
               double sizeZ, double bevel, Orientation o);

struct ProfilePoint {
    double radius = 0, z = 0;
    double normalRadial = 1, normalAxial = 0;
};
void drawRevolved(DrawContext& ctx, const ShapeStyle& style, const Vec3& position, Orientation o,
                  std::span<const ProfilePoint> profile);

// mode: 0, 2 clockwise into the scene pen; 1 clockwise into the frame image; 4 clockwise onto the window;
// 3 anticlockwise into the scene pen; 5 anticlockwise onto the window; 6 clockwise pie slices restoring
// the background; above 6 nothing. With fill set (modes 0..5) each step is a pie slice painted in the
// colour instead of a line. turns > 1 adds (turns - 1) full turns.
void drawArc3D(DrawContext& ctx, uint32_t colour, const Vec3& centre, double diameter, Orientation o,
               const Vec3& start, const Vec3& end, int turns, bool fill, int mode);

}  // namespace vantrel
