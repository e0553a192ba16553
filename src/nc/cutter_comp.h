#pragma once
// Cutter radius compensation (G41 tool left of the path, G42 right): turns a block's programmed
// segment and the next programmed segment into the pieces the tool centre runs, at the tool radius
// beside the contour. Pure geometry in the active plane; the normal axis follows the programmed values.
#include <array>
#include <cstdint>

#include "nc/motion.h"

namespace vantrel {

// radiusComp values.
inline constexpr int32_t kCompOff = 0;
inline constexpr int32_t kCompLeft = 1;            // G41 active
inline constexpr int32_t kCompRight = 2;           // G42 active
inline constexpr int32_t kCompLeftRequested = 3;   // G41 given, start-up pending
inline constexpr int32_t kCompRightRequested = 4;  // G42 given, start-up pending

// The pieces one block yields: piece i runs from points[i] to points[i + 1] (i = 0 .. count - 1);
// points[0] is the previous chain's last point, so consecutive chains join.
struct SegmentChain {
    static constexpr int kMaxPieces = 4;
    int32_t count = 0;
    std::array<Vec3, kMaxPieces + 1> points{};
    std::array<MotionSegment, kMaxPieces> pieces{};  // start/end mirror points[i], points[i + 1]

    const Vec3& last() const { return points[count]; }
    // Appends a piece from the current last point; a full chain ignores further pieces.
    void append(int32_t kind, int32_t plane, const Vec3& end, const Vec3& centre = {}, double radius = 0,
                double turns = 0);
};

struct CompRequest {
    MotionSegment current;  // the block's programmed segment (start = previous programmed end point)
    MotionSegment next;     // the next programmed segment; kind 0 (rapid) when the look-ahead found none
    std::array<bool, 3> axisGiven{true, true, true};  // X, Y, Z words standing in the block
    Vec3 chainStart;                                  // the previous chain's last point
    double radius = 0;                                // compRadius
    bool arcJoin = true;  // corner join between two lines: arc ("円弧") or extended lines ("線分")
};

// Computes the block's chain and advances `radiusComp` (3 -> 1, 4 -> 2 at start-up; 1 -> 3, 2 -> 4
// on a rapid under compensation).
SegmentChain compensateBlock(const CompRequest& request, int32_t& radiusComp);

// True when the segment moves in its plane (a Z-only plunge under G17 does not).
bool hasPlaneLength(const MotionSegment& seg);

}  // namespace vantrel
