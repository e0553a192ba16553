#pragma once
// The programmed path of a whole program as data, and its drawing into an image.
//
// A path is a list of runs: each run is a polyline (a straight move is two points, an arc its points
// at most 5 degrees apart) with a style that says how it is drawn. The runs are made once per program
// text and drawn at every repaint, so a long program redraws at the cost of its projection only.
#include <cstdint>
#include <vector>

#include "core/image32.h"
#include "core/vec3.h"
#include "render/frame_buffer.h"
#include "render/view_state.h"

namespace vantrel {

enum class PathRunStyle : uint8_t {
    Feed = 0,         // solid, feed colour
    Rapid = 1,        // dotted, rapid colour
    Compensated = 2,  // solid, programmed under G41 / G42
    Plunge = 3,       // solid, the drilling leg of a canned cycle
};

struct PathRun {
    uint32_t first = 0;  // index of the first point in ToolPathData::points
    uint32_t count = 0;  // points of the polyline (at least 2)
    PathRunStyle style = PathRunStyle::Feed;
    int32_t line = 0;  // source line of the block
};

struct ToolPathData {
    std::vector<Vec3> points;
    std::vector<PathRun> runs;

    void clear() {
        points.clear();
        runs.clear();
    }
    // Appends a run from `pts` (fewer than 2 points are dropped).
    void add(PathRunStyle style, int32_t line, const std::vector<Vec3>& pts);
};

// Palette colours (0x00BBGGRR) per style.
struct PathColours {
    uint32_t feed = 0xFF0000;         // blue
    uint32_t rapid = 0x808080;        // grey
    uint32_t compensated = 0x800080;  // purple
    uint32_t plunge = 0x0000FF;       // red
    uint32_t of(PathRunStyle style) const {
        switch (style) {
            case PathRunStyle::Rapid:
                return rapid;
            case PathRunStyle::Compensated:
                return compensated;
            case PathRunStyle::Plunge:
                return plunge;
            default:
                return feed;
        }
    }
};

// The points of an arc from `start` to `end` about `centre` in the plane whose axes are (a, b) with
// normal n (0 = X, 1 = Y, 2 = Z); a start equal to the end makes a full circle. Steps of at most 5
// degrees; the normal coordinate moves evenly from start to end.
std::vector<Vec3> arcPolyline(const Vec3& start, const Vec3& end, const Vec3& centre, double radius,
                              bool clockwise, int a, int b, int n);

// Draws every run into `target` through the view's projection (origin included), clipped to `clip`.
// Returns the number of line pieces drawn.
int64_t drawToolPath(Image32& target, const ClipRect& clip, const ViewState& view, const ToolPathData& path,
                     const PathColours& colours);

}  // namespace vantrel
