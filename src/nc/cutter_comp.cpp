#include "nc/cutter_comp.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace vantrel {

namespace {

// Lengths below this count as zero (mm); NC coordinates carry three to four decimals.
constexpr double kTiny = 1e-9;

struct P2 {
    double a = 0, b = 0;
};
P2 operator+(P2 p, P2 q) {
    return {p.a + q.a, p.b + q.b};
}
P2 operator-(P2 p, P2 q) {
    return {p.a - q.a, p.b - q.b};
}
P2 operator*(P2 p, double s) {
    return {p.a * s, p.b * s};
}
double dot(P2 p, P2 q) {
    return p.a * q.a + p.b * q.b;
}
double cross(P2 p, P2 q) {
    return p.a * q.b - p.b * q.a;
}
double len(P2 p) {
    return std::hypot(p.a, p.b);
}
P2 unit(P2 p) {
    double l = len(p);
    return l > 0 ? p * (1.0 / l) : P2{};
}
P2 left(P2 p) {
    return {-p.b, p.a};
}  // rotated a quarter turn counter-clockwise

P2 toPlane(const Vec3& v, const PlaneAxes& ax) {
    return {axisValue(v, ax.a), axisValue(v, ax.b)};
}
Vec3 fromPlane(P2 p, double normal, const PlaneAxes& ax) {
    Vec3 v;
    setAxis(v, ax.a, p.a);
    setAxis(v, ax.b, p.b);
    setAxis(v, ax.n, normal);
    return v;
}

// A programmed element in plane coordinates.
struct Element {
    bool arc = false;
    P2 s, e, c;
    double R = 0;    // programmed radius (distance from the end to the centre)
    double dir = 1;  // arcs: +1 counter-clockwise, -1 clockwise
};

Element elementOf(const MotionSegment& seg, const PlaneAxes& ax) {
    Element el;
    el.arc = seg.moveKind == kMoveArcCW || seg.moveKind == kMoveArcCCW;
    el.s = toPlane(seg.start, ax);
    el.e = toPlane(seg.end, ax);
    if (el.arc) {
        el.c = toPlane(seg.centre, ax);
        el.R = len(el.e - el.c);
        el.dir = seg.moveKind == kMoveArcCCW ? 1.0 : -1.0;
    }
    return el;
}

// Unit direction of travel at point p of the element.
P2 tangentAt(const Element& el, P2 p) {
    if (!el.arc) return unit(el.e - el.s);
    return unit(left(p - el.c) * el.dir);
}

// Radius of the arc's offset circle; negative when the cutter is larger than an inner arc.
double offsetRadius(const Element& el, double side, double r) {
    return el.R - side * el.dir * r;
}

// The offset of point p of the element: beside a line, or along the radius of an arc.
P2 offsetPoint(const Element& el, P2 p, double side, double r) {
    if (!el.arc) return p + left(tangentAt(el, p)) * (side * r);
    P2 radial = p - el.c;
    double l = len(radial);
    if (!(l > 0)) return p;
    return el.c + radial * (offsetRadius(el, side, r) / l);
}

// Intersection of two lines given by point and direction; parallel lines give the second's point.
P2 lineLine(P2 a1, P2 d1, P2 a2, P2 d2) {
    double cr = cross(d1, d2);
    if (std::fabs(cr) <= kTiny * len(d1) * len(d2)) return a2;
    double t = cross(a2 - a1, d2) / cr;
    return a1 + d1 * t;
}

// Intersection of a line (point, unit direction) with a circle. When the line misses the circle the
// circle's point nearest the line is taken; a circle of radius 0 gives its centre.
P2 lineCircle(P2 a, P2 d, P2 c, double rho, bool first) {
    rho = std::fabs(rho);
    if (rho <= kTiny) return c;
    P2 foot = a + d * dot(c - a, d);
    P2 toFoot = foot - c;
    double h = len(toFoot);
    if (h > rho) return c + toFoot * (rho / h);
    double q = std::sqrt(std::max(0.0, rho * rho - h * h));  // clamped: tangent lines give h == rho
    return first ? foot - d * q : foot + d * q;
}

// Intersection of two circles on the side of the line of centres where the corner k lies.
std::optional<P2> circleCircle(P2 c1, double r1, P2 c2, double r2, P2 k) {
    r1 = std::fabs(r1);
    r2 = std::fabs(r2);
    P2 between = c2 - c1;
    double d = len(between);
    if (d <= kTiny || r1 <= kTiny) return std::nullopt;
    double cosA = (r1 * r1 + d * d - r2 * r2) / (2 * r1 * d);
    constexpr double kSlack = 1e-9;
    if (!(cosA <= 1 + kSlack && cosA >= -1 - kSlack)) return std::nullopt;
    cosA = std::clamp(cosA, -1.0, 1.0);
    double sinA = std::sqrt(std::max(0.0, 1 - cosA * cosA));
    P2 e = between * (1.0 / d);
    P2 base = c1 + e * (r1 * cosA);
    double sideOfCorner = cross(e, k - c1);
    return base + left(e) * (r1 * sinA * (sideOfCorner >= 0 ? 1.0 : -1.0));
}

// Where the current offset element meets the next one at an inside corner k.
std::optional<P2> insideCorner(const Element& cur, const Element& nxt, P2 k, double side, double r) {
    if (!cur.arc && !nxt.arc) {
        return lineLine(offsetPoint(cur, k, side, r), tangentAt(cur, k), offsetPoint(nxt, k, side, r),
                        tangentAt(nxt, k));
    }
    if (cur.arc && nxt.arc) {
        return circleCircle(cur.c, offsetRadius(cur, side, r), nxt.c, offsetRadius(nxt, side, r), k);
    }
    const Element& line = cur.arc ? nxt : cur;
    const Element& arc = cur.arc ? cur : nxt;
    P2 d = tangentAt(line, k);
    // The corner is the first crossing along the line when the line runs into the circle there.
    bool first = dot(d, arc.c - k) > 0;
    return lineCircle(offsetPoint(line, k, side, r), d, arc.c, offsetRadius(arc, side, r), first);
}

}  // namespace

void SegmentChain::append(int32_t kind, int32_t plane, const Vec3& end, const Vec3& centre, double radius,
                          double turns) {
    if (count >= kMaxPieces) return;
    MotionSegment& p = pieces[count];
    p.moveKind = kind;
    p.plane = plane;
    p.start = points[count];
    p.end = end;
    p.centre = centre;
    p.radius = radius;
    p.turns = turns;
    ++count;
    points[count] = end;
}

bool hasPlaneLength(const MotionSegment& seg) {
    if (seg.moveKind == kMoveArcCW || seg.moveKind == kMoveArcCCW) {
        return planeDistance(seg.plane, seg.end, seg.centre) > kTiny &&
               planeDistance(seg.plane, seg.start, seg.centre) > kTiny;
    }
    return planeDistance(seg.plane, seg.start, seg.end) > kTiny;
}

SegmentChain compensateBlock(const CompRequest& rq, int32_t& radiusComp) {
    SegmentChain chain;
    chain.points[0] = rq.chainStart;
    const MotionSegment& cur = rq.current;
    const PlaneAxes ax = planeAxes(cur.plane);
    const bool curArc = cur.moveKind == kMoveArcCW || cur.moveKind == kMoveArcCCW;
    const double r = std::isfinite(rq.radius) ? rq.radius : 0.0;

    if (radiusComp == kCompOff || radiusComp < 0 || radiusComp > kCompRightRequested) {
        // Compensation off: the programmed segment itself (after G40 this is the cancel move from
        // the last offset point to the programmed end).
        chain.append(cur.moveKind, cur.plane, cur.end, cur.centre, cur.radius, cur.turns);
        return chain;
    }

    const bool active = radiusComp == kCompLeft || radiusComp == kCompRight;
    const double side = (radiusComp == kCompLeft || radiusComp == kCompLeftRequested) ? 1.0 : -1.0;

    if (active && cur.moveKind == kMoveRapid) {
        // A rapid under compensation goes to the programmed values of the axes it names and leaves
        // compensation pending, so the next feed block starts up again.
        Vec3 end = rq.chainStart;
        if (rq.axisGiven[0]) end.x = cur.end.x;
        if (rq.axisGiven[1]) end.y = cur.end.y;
        if (rq.axisGiven[2]) end.z = cur.end.z;
        chain.append(kMoveRapid, cur.plane, end);
        radiusComp = radiusComp == kCompLeft ? kCompLeftRequested : kCompRightRequested;
        return chain;
    }

    const double curNormal = axisValue(cur.end, ax.n);
    const P2 p0 = toPlane(rq.chainStart, ax);
    if (!hasPlaneLength(cur)) {
        // A plunge or retract without movement in the plane: only the normal axis moves and the
        // offset point in the plane stays (a pending start-up waits for a block that moves there).
        chain.append(curArc ? kMoveLine : cur.moveKind, cur.plane, fromPlane(p0, curNormal, ax));
        return chain;
    }

    const Element ce = elementOf(cur, ax);
    const P2 k = ce.e;  // the programmed corner
    const bool nextUsable = rq.next.moveKind != kMoveRapid && rq.next.moveKind >= kMoveLine &&
                            rq.next.moveKind <= kMoveArcCCW && rq.next.plane == cur.plane &&
                            hasPlaneLength(rq.next);
    Element ne;
    if (nextUsable) {
        MotionSegment nx = rq.next;
        nx.start = cur.end;  // the next segment starts at this block's target
        ne = elementOf(nx, ax);
    }

    if (!active) {
        // Start-up: the end point is offset at the start of the next segment.
        radiusComp = side > 0 ? kCompLeft : kCompRight;
        P2 end = nextUsable ? offsetPoint(ne, k, side, r) : k;
        double rad = curArc ? len(end - ce.c) : 0.0;
        chain.append(cur.moveKind, cur.plane, fromPlane(end, curNormal, ax), cur.centre, rad, cur.turns);
        return chain;
    }

    const double curRadius = curArc ? offsetRadius(ce, side, r) : 0.0;
    const P2 curOffsetEnd = offsetPoint(ce, k, side, r);
    auto appendCurrent = [&](P2 end) {
        chain.append(cur.moveKind, cur.plane, fromPlane(end, curNormal, ax), cur.centre, curRadius,
                     cur.turns);
    };
    if (!nextUsable) {
        appendCurrent(curOffsetEnd);
        return chain;
    }

    const P2 u = tangentAt(ce, k);
    const P2 v = tangentAt(ne, k);
    const double cr = cross(u, v);
    constexpr double kAngleTiny = 1e-9;
    // Outside when the path turns away from the tool's side; a full reversal is outside as well
    // (the tool has to go round the end).
    const bool outside = side * cr < -kAngleTiny || (std::fabs(cr) <= kAngleTiny && dot(u, v) < 0);

    if (!outside) {
        std::optional<P2> meet = insideCorner(ce, ne, k, side, r);
        appendCurrent(meet ? *meet : curOffsetEnd);
        return chain;
    }
    if (!ce.arc && !ne.arc && !rq.arcJoin && std::fabs(cr) > kAngleTiny) {
        appendCurrent(lineLine(offsetPoint(ce, k, side, r), u, offsetPoint(ne, k, side, r), v));
        return chain;
    }
    appendCurrent(curOffsetEnd);
    const P2 nextOffsetStart = offsetPoint(ne, k, side, r);
    if (len(nextOffsetStart - curOffsetEnd) > kTiny) {
        chain.append(side > 0 ? kMoveArcCW : kMoveArcCCW, cur.plane,
                     fromPlane(nextOffsetStart, curNormal, ax), fromPlane(k, curNormal, ax), std::fabs(r));
    }
    return chain;
}

}  // namespace vantrel
