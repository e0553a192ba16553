#!/usr/bin/env python3
"""Independent check of the golden tool paths in this folder.

Each *.trace.jsonl file holds what `vantrel-sim trace PROGRAM.nc` printed. This script does not run the
simulator: for every program it lists the expected move pieces, worked out from the drawing of the
part (hole positions, peck depths, offsets, arc centres) with plain geometry written here, and the
expected cutting time (rapid length / 10000 + feed length / F, arcs by r * sweep, helices by their
length without extra turns). It then compares them with the golden file to 1e-6.

The arc centre of an R word is found here from the rule "G02 with R > 0 has its centre to the right of
the chord, G03 to the left, a negative R swaps the side", and sweeps from the angle difference in the
arc's direction; the simulator finds them differently (two candidates chosen by sweep), so agreement is
a real check.

Run: python3 check_goldens.py   (exit status 0 when every golden file agrees)
"""
import json
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TOL = 2e-6
AXES = {"xy": (0, 1, 2), "zx": (2, 0, 1), "yz": (1, 2, 0)}


class Path:
    def __init__(self, start):
        self.pieces = []
        self.at = list(start)
        self.time = 0.0
        self.feed = None

    def rapid(self, line, end):
        end = list(end)
        self.pieces.append({"line": line, "kind": "rapid", "plane": "xy", "start": self.at, "end": end})
        self.time += dist(self.at, end) / 10000.0
        self.at = end

    def line(self, line, end, start=None):
        end = list(end)
        s = list(start) if start is not None else self.at
        self.pieces.append({"line": line, "kind": "line", "plane": "xy", "start": s, "end": end})
        self.time += dist(s, end) / self.feed
        self.at = end

    def arc(self, line, kind, plane, end, centre, radius, helix_dz=0.0):
        end = list(end)
        s = self.at
        a, b, _ = AXES[plane]
        sweep = arc_sweep(kind, (s[a], s[b]), (end[a], end[b]), (centre[a], centre[b]))
        self.pieces.append({"line": line, "kind": kind, "plane": plane, "start": s, "end": end,
                            "centre": list(centre), "radius": radius})
        self.time += math.hypot(radius * sweep, helix_dz) / self.feed
        self.at = end


def dist(p, q):
    return math.sqrt(sum((x - y) ** 2 for x, y in zip(p, q)))


def arc_sweep(kind, s, e, c):
    a_s = math.atan2(s[1] - c[1], s[0] - c[0])
    a_e = math.atan2(e[1] - c[1], e[0] - c[0])
    d = (a_s - a_e) if kind == "cw" else (a_e - a_s)
    d %= 2 * math.pi
    if d < 1e-12:
        d = 2 * math.pi  # start and end equal: a full circle
    return d


def centre_from_r(plane, kind, s, e, r):
    """Centre of an R arc: on the chord's perpendicular bisector, right of the chord for G02 R > 0."""
    a, b, n = AXES[plane]
    sa, sb, ea, eb = s[a], s[b], e[a], e[b]
    half = math.hypot(ea - sa, eb - sb) / 2
    ua, ub = (ea - sa) / (2 * half), (eb - sb) / (2 * half)
    ma, mb = (sa + ea) / 2, (sb + eb) / 2
    off = math.sqrt(max(0.0, r * r - half * half))
    right = (kind == "cw") == (r > 0)
    sign = -1 if right else 1  # left normal is (-ub, ua)
    c = [0.0, 0.0, 0.0]
    c[a] = ma + sign * (-ub) * off
    c[b] = mb + sign * ua * off
    c[n] = s[n]
    return c


def expected_drill_cycles():
    p = Path((0, 0, 435))
    p.feed = 100.0
    p.rapid(1, (0, 0, 20))
    # G98 G81 at (10, 10): R2, bottom -5, back to the initial level 20.
    for x, ret in ((10, 20), (20, 2)):  # second hole in G99 returns to the R point
        line = 2 if x == 10 else 3
        p.rapid(line, (x, 10, 20) if x == 10 else (x, 10, 20))
        p.rapid(line, (x, 10, 2))
        p.line(line, (x, 10, -5))
        p.rapid(line, (x, 10, ret))
    p.rapid(4, (20, 10, 20))
    # G99 G73 at (30, 10): R2, bottom -3, Q1: pecks to 1, 0, -1, -2, 0.2 retracts, final feed to -3.
    p.rapid(5, (30, 10, 20))
    p.rapid(5, (30, 10, 2))
    for depth in (1, 0, -1, -2):
        p.line(5, (30, 10, depth))
        p.rapid(5, (30, 10, depth + 0.2))
        p.line(5, (30, 10, depth))
    p.line(5, (30, 10, -3))
    p.rapid(5, (30, 10, 2))
    p.rapid(6, (30, 10, 20))
    # G91 G98 G83 X10 Z-25 R-15 Q2 from (30, 10, 20): hole (40, 10), R point 5, bottom -5.
    p.rapid(7, (40, 10, 20))
    p.rapid(7, (40, 10, 5))
    for depth in (3, 1, -1, -3):
        p.line(7, (40, 10, depth))
        p.rapid(7, (40, 10, 5))
        p.rapid(7, (40, 10, depth))
    p.line(7, (40, 10, -5))
    p.rapid(7, (40, 10, 20))
    # G91 G99 G84 X10 Z-15 R-10 from (40, 10, 20): hole (50, 10), R point 10, bottom 5; tap in and out.
    p.rapid(8, (50, 10, 20))
    p.rapid(8, (50, 10, 10))
    p.line(8, (50, 10, 5))
    p.line(8, (50, 10, 10))
    p.rapid(9, (50, 10, 20))
    return p


def expected_helix_turns():
    p = Path((0, 0, 435))
    p.feed = 200.0
    p.rapid(1, (10, 0, 0))
    p.arc(3, "cw", "xy", (10, 0, -3), (0, 0, 0), 10, helix_dz=-3)  # full circle: one helix length
    p.arc(4, "ccw", "xy", (0, 10, -4), (0, 0, -3), 10, helix_dz=-1)
    p.rapid(5, (0, 10, 10))
    return p


def expected_r_arcs():
    p = Path((0, 0, 435))
    p.feed = 100.0
    p.rapid(1, (0, 0, 0))
    moves = [
        (2, "cw", "xy", (10, 0, 0), 10),
        (3, "ccw", "xy", (0, 0, 0), -10),
        (4, "cw", "zx", (0, 0, 10), 10),
        (5, "ccw", "zx", (0, 0, 0), -10),
        (6, "cw", "yz", (0, 10, 0), 10),
        (7, "ccw", "yz", (0, 0, 0), -10),
    ]
    for line, kind, plane, end, r in moves:
        c = centre_from_r(plane, kind, p.at, end, r)
        p.arc(line, kind, plane, end, c, abs(r))
    # R5 across a chord of 20: no circle of radius 5 reaches both ends; the half circle on the chord.
    p.arc(8, "cw", "xy", (20, 0, 0), (10, 0, 0), 10)
    return p


def expected_comp_contour():
    r = 5.0
    p = Path((0, 0, 435))
    p.feed = 100.0
    p.rapid(1, (-20, -20, 5))
    p.line(2, (-20, -20, -2))
    # Start-up: beside the first side (upwards), to its left: X -r.
    p.line(3, (-r, 0, -2))
    # Clockwise walk, G41: the tool is outside; every corner turns right and gets a quarter circle
    # of radius r about the corner, clockwise.
    corners = [(0, 30), (40, 30), (40, 0)]
    sides_end = [(-r, 30), (40, 30 + r), (40 + r, 0)]
    joins_end = [(0, 30 + r), (40 + r, 30), (40, -r)]
    for i, line in enumerate((4, 5, 6)):
        p.line(line, (*sides_end[i], -2))
        p.arc(line, "cw", "xy", (*joins_end[i], -2), (*corners[i], -2), r)
    # Last side ends at its own offset end (the next block cancels), then the cancel move.
    p.line(7, (0, -r, -2))
    p.line(8, (-20, -20, -2))
    p.rapid(9, (-20, -20, 5))
    return p


def expected_mirror_rotation():
    p = Path((0, 0, 435))
    p.feed = 100.0
    p.rapid(1, (0, 0, 0))
    p.line(2, (15, 0, 0))
    # Mirrored about X10: X15 Y5 becomes X5 Y5; the G02 from (15, 5) to (20, 10) with R5 has its centre
    # at (20, 5); mirrored it runs counter-clockwise from (5, 5) to (0, 10) about (0, 5).
    p.line(4, (5, 5, 0))
    p.arc(5, "ccw", "xy", (0, 10, 0), (0, 5, 0), 5)
    p.rapid(6, (0, 0, 0))
    # Rotated 90 degrees about (10, 0): (x, y) -> (10 - y, x - 10).
    rot = lambda x, y: (10 - y, x - 10, 0)
    p.line(8, rot(20, 0))
    # G03 from (20, 0) to (20, 10) with R5: a half circle about (20, 5).
    p.arc(9, "ccw", "xy", rot(20, 10), rot(20, 5), 5)
    p.rapid(11, (0, 0, 0))
    return p


def expected_circle_cut_and_return():
    p = Path((0, 0, 435))
    p.feed = 100.0
    p.rapid(1, (10, 10, -1))
    for line, kind, rad in ((2, "cw", 5.0), (3, "ccw", 4.0)):
        rim = (10 + rad, 10, -1)
        half = (10 + rad / 2, 10, -1)
        p.arc(line, kind, "xy", rim, half, rad / 2)
        p.arc(line, kind, "xy", rim, (10, 10, -1), rad)
        p.arc(line, kind, "xy", (10, 10, -1), half, rad / 2)
    # G28 Z0: to Z0, then to the reference Z 500 minus the tool length 65.
    p.rapid(4, (10, 10, 0))
    p.rapid(4, (10, 10, 435))
    return p


EXPECTED = {
    "drill_cycles": expected_drill_cycles,
    "helix_turns": expected_helix_turns,
    "r_arcs": expected_r_arcs,
    "comp_contour": expected_comp_contour,
    "mirror_rotation": expected_mirror_rotation,
    "circle_cut_and_return": expected_circle_cut_and_return,
}


def close(a, b):
    if isinstance(a, list):
        return len(a) == len(b) and all(close(x, y) for x, y in zip(a, b))
    if isinstance(a, str):
        return a == b
    return abs(a - b) <= TOL


def check(name, build):
    path = build()
    with open(os.path.join(HERE, name + ".trace.jsonl"), encoding="utf-8") as f:
        got = [json.loads(line) for line in f if line.strip()]
    problems = []
    pieces, tail = got[:-1], got[-1]
    if len(pieces) != len(path.pieces):
        problems.append(f"{len(pieces)} pieces, expected {len(path.pieces)}")
    for i, (g, e) in enumerate(zip(pieces, path.pieces)):
        if set(g) != set(e) or not all(close(e[k], g[k]) for k in e):
            problems.append(f"piece {i}: got {g}, expected {e}")
    if not close(path.at, tail["end"]):
        problems.append(f"end {tail['end']}, expected {path.at}")
    if abs(tail["cutting_time_min"] - path.time) > 2e-6:
        problems.append(f"cutting time {tail['cutting_time_min']}, expected {path.time:.6f}")
    return problems


def check_helix_steps():
    """The helix's published steps: on the radius, Z falling evenly over exactly three turns."""
    with open(os.path.join(HERE, "helix_turns.steps.jsonl"), encoding="utf-8") as f:
        rows = [json.loads(line) for line in f if line.strip()]
    problems = []
    steps, pieces, current = [], [], None
    for r in rows:
        if "line" in r:
            current = r
            pieces.append(r)
        elif "step" in r and current is not None and current["line"] == 3:
            steps.append(r["step"])
    prev, swept = [10, 0, 0], 0.0
    for s in steps:
        if abs(math.hypot(s[0], s[1]) - 10) > TOL:
            problems.append(f"step {s} off the radius")
        if not s[2] < prev[2]:
            problems.append(f"step {s} does not descend")
        swept += math.atan2(prev[0] * s[1] - prev[1] * s[0], prev[0] * s[0] + prev[1] * s[1])
        prev = s
    if abs(swept + 6 * math.pi) > 0.2:  # clockwise, three turns, up to one step short
        problems.append(f"swept {swept / (2 * math.pi):.3f} turns, expected -3")
    if not (-3 < prev[2] < -2.9):
        problems.append(f"last step at Z {prev[2]}, expected just above -3")
    return problems


def main():
    failed = False
    for name, build in EXPECTED.items():
        problems = check(name, build)
        print(f"{name}: {'ok' if not problems else 'MISMATCH'}")
        for p in problems:
            print("   ", p)
        failed |= bool(problems)
    problems = check_helix_steps()
    print(f"helix_turns steps: {'ok' if not problems else 'MISMATCH'}")
    for p in problems[:10]:
        print("   ", p)
    failed |= bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
