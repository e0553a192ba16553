// Projection, its inverse and the vector helpers, checked against numbers worked out by hand from the
// camera geometry (eye at n (D + E) - c, perspective factor E / distance from the eye), not by the code.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "render/view.h"

namespace vantrel {
namespace {

// Looking straight down (A = 0, B = -pi/2): n = (0, 0, 1), r = (1, 0, 0), u = (0, 1, 0); the eye is at
// (0, 0, 1600) for D = 1000, E = 600.
ViewState topView(double scale = 1.0) {
    ViewState v;
    v.viewA = 0;
    v.viewB = -kPi / 2;
    v.scale = scale;
    v.originX = 100;
    v.originY = 100;
    updateViewBasis(v, MachineKind::VerticalMill);
    return v;
}

TEST(Projection, PerspectiveTopViewMatchesHandNumbers) {
    ViewState v = topView();
    // (10, 20, 0) lies 1600 from the eye: factor 600 / 1600 = 0.375, X = 3.75, Y = -7.5 (screen y down).
    ProjectedPoint p = projectPoint(v, Vec3{10, 20, 0});
    EXPECT_NEAR(p.X, 3.75, 1e-9);
    EXPECT_NEAR(p.Y, -7.5, 1e-9);
    EXPECT_EQ(p.px, 4);
    EXPECT_EQ(p.py, -8);
    EXPECT_FALSE(p.clipped);
    // 100 higher the point is 1500 from the eye: factor 0.4.
    p = projectPoint(v, Vec3{10, 20, 100});
    EXPECT_NEAR(p.X, 4.0, 1e-9);
    EXPECT_NEAR(p.Y, -8.0, 1e-9);
    // The view offset moves the world: with c = (5, 0, 0) the point (5, 20, 0) lands where (10, 20, 0) did.
    v.vwx = 5;
    updateViewBasis(v, MachineKind::VerticalMill);
    p = projectPoint(v, Vec3{5, 20, 0});
    EXPECT_NEAR(p.X, 3.75, 1e-9);
}

TEST(Projection, ParallelUsesATenthOfTheScaleAndNoPerspective) {
    ViewState v = topView();
    v.parallel = true;
    const ProjectedPoint p = projectPoint(v, Vec3{10, 20, 0});
    EXPECT_NEAR(p.X, 1.0, 1e-12);
    EXPECT_NEAR(p.Y, -2.0, 1e-12);
    EXPECT_EQ(p.px, 1);
    EXPECT_EQ(p.py, -2);
}

TEST(Projection, TurnedKindsSwapTheAxes) {
    ViewState v = topView();
    updateViewBasis(v, MachineKind::Lathe);
    // Xa = 3.75, Ya = -7.5 -> X = -Ya = 7.5, Y = Xa = 3.75.
    ProjectedPoint p = projectPoint(v, Vec3{10, 20, 0});
    EXPECT_NEAR(p.X, 7.5, 1e-9);
    EXPECT_NEAR(p.Y, 3.75, 1e-9);
    EXPECT_EQ(p.px, 8);
    EXPECT_EQ(p.py, 4);
    updateViewBasis(v, MachineKind::HorizontalMill);
    EXPECT_NEAR(projectPoint(v, Vec3{10, 20, 0}).X, 7.5, 1e-9);
    updateViewBasis(v, MachineKind::VerticalLathe);
    EXPECT_NEAR(projectPoint(v, Vec3{10, 20, 0}).X, 3.75, 1e-9);
}

TEST(Projection, SideViewAndHalfPixelRounding) {
    // A = pi/2, B = 0: n = (1, 0, 0), r = (0, 1, 0), u = (0, 0, 1). Scale 2, factor 0.375:
    // (0, 30, 40) -> X = 2 * 0.375 * 30 = 22.5, Y = -30; 22.5 rounds away from zero to 23.
    ViewState v;
    v.viewA = kPi / 2;
    v.viewB = 0;
    v.scale = 2;
    updateViewBasis(v, MachineKind::VerticalMill);
    ProjectedPoint p = projectPoint(v, Vec3{0, 30, 40});
    EXPECT_NEAR(p.X, 22.5, 1e-9);
    EXPECT_NEAR(p.Y, -30, 1e-9);
    EXPECT_EQ(p.px, 23);
    p = projectPoint(v, Vec3{0, -30, 0});
    EXPECT_NEAR(p.X, -22.5, 1e-9);
    EXPECT_EQ(p.px, -23);
}

TEST(Projection, PointsNearAndBehindTheEyeAreFlagged) {
    ViewState v = topView();
    // Between the projection plane (z = 1000) and the eye (z = 1600): drawn at scale 1, flagged.
    ProjectedPoint p = projectPoint(v, Vec3{10, 20, 1200});
    EXPECT_TRUE(p.clipped);
    EXPECT_NEAR(p.X, 10.0, 1e-9);
    EXPECT_NEAR(p.Y, -20.0, 1e-9);
    // Behind the eye: the origin, flagged.
    p = projectPoint(v, Vec3{10, 20, 2000});
    EXPECT_TRUE(p.clipped);
    EXPECT_EQ(p.px, 0);
    EXPECT_EQ(p.py, 0);
    EXPECT_EQ(p.X, 0);
}

TEST(Projection, HugeOffsetsSaturateInsteadOfOverflowing) {
    ViewState v = topView(2000);
    const ProjectedPoint p = projectPoint(v, Vec3{1e12, -1e12, 0});
    EXPECT_GT(p.px, 100000000);
    EXPECT_GT(p.py, 100000000);
    EXPECT_LT(static_cast<int64_t>(p.px) + v.originX, INT32_MAX);
}

TEST(ScreenToPlane, TopViewRayMeetsTheTable) {
    ViewState v = topView();
    // Pixel (103.75, 92.5) is s = 3.75, t = 7.5 on the projection plane; the ray from (0, 0, 1600)
    // through (3.75, 7.5, 1000) reaches z = 0 after 1600 / 600 of its length: (10, 20, 0).
    auto w = screenToPlane(v, 103.75, 92.5, Vec3{0, 0, 0}, Vec3{0, 0, 1});
    ASSERT_TRUE(w);
    EXPECT_NEAR(w->x, 10, 1e-9);
    EXPECT_NEAR(w->y, 20, 1e-9);
    EXPECT_NEAR(w->z, 0, 1e-9);
    // A plane containing the ray's direction gives no result.
    EXPECT_FALSE(screenToPlane(v, 100, 100, Vec3{0, 0, 0}, Vec3{1, 0, 0}));
}

// screenToPlane inverts the perspective projection (it keeps that ray in the parallel view too);
// castToPlane inverts whichever projection the picture uses.
TEST(ScreenToPlane, IsTheInverseOfTheProjectionForAnyCamera) {
    for (int kind = 0; kind <= 4; ++kind) {
        for (bool parallel : {false, true}) {
            ViewState v;
            v.viewA = 0.3 + 0.2 * kind;
            v.viewB = -1.0 + 0.7 * kind;
            v.scale = 1.7;
            v.vwx = 12;
            v.vwz = -7;
            v.parallel = parallel;
            updateViewBasis(v, static_cast<MachineKind>(kind));
            const Vec3 p{31, -17, 44};
            const ProjectedPoint pp = projectPoint(v, p);
            const double sx = v.originX + pp.X, sy = v.originY + pp.Y;
            std::vector<std::optional<Vec3>> hits{castToPlane(v, sx, sy, p, Vec3{0.2, 0.3, 1})};
            if (!parallel) hits.push_back(screenToPlane(v, sx, sy, p, Vec3{0.2, 0.3, 1}));
            for (const std::optional<Vec3>& w : hits) {
                ASSERT_TRUE(w) << kind << parallel;
                EXPECT_NEAR(w->x, p.x, 1e-6) << kind << parallel;
                EXPECT_NEAR(w->y, p.y, 1e-6) << kind << parallel;
                EXPECT_NEAR(w->z, p.z, 1e-6) << kind << parallel;
            }
        }
    }
}

TEST(VectorHelpers, RotateLocalDirectionAnglesAndAngleBetween) {
    // Quarter turn about X takes +Y to +Z; a quarter turn about Y takes +Z to +X.
    Vec3 v = rotateLocal(0, 1, 0, kPi / 2, 0);
    EXPECT_NEAR(v.z, 1, 1e-12);
    v = rotateLocal(0, 0, 1, 0, kPi / 2);
    EXPECT_NEAR(v.x, 1, 1e-12);
    // directionAngles inverts rotateLocal for the Z axis.
    const Vec3 dirs[] = {{1, 2, 3}, {-4, 0.5, -2}, {0, -1, 0}, {3, 0, 0}};
    for (const Vec3& d : dirs) {
        const DirectionAngles a = directionAngles(d.x, d.y, d.z);
        const Vec3 z = rotateLocal(0, 0, 1, a.b, a.a);
        const Vec3 unit = d.normalized();
        EXPECT_NEAR(z.x, unit.x, 1e-12);
        EXPECT_NEAR(z.y, unit.y, 1e-12);
        EXPECT_NEAR(z.z, unit.z, 1e-12);
    }
    const DirectionAngles zero = directionAngles(0, 0, 0);
    EXPECT_EQ(zero.a, 0);
    EXPECT_EQ(zero.b, 0);
    EXPECT_NEAR(angleBetween({1, 0, 0}, {0, 3, 0}), kPi / 2, 1e-12);
    // acos near -1 loses half the digits: sqrt(2) * sqrt(8) is not exactly 4.
    EXPECT_NEAR(angleBetween({1, 1, 0}, {-2, -2, 0}), kPi, 1e-7);
    EXPECT_EQ(angleBetween({0, 0, 0}, {1, 0, 0}), 0);
    EXPECT_NEAR(degToRad(180), kPi, 1e-15);
}

}  // namespace
}  // namespace vantrel
