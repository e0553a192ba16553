#pragma once
// Where the old and the new tool stand in each frame of the automatic tool changer's animation. The
// changer arm turns about a pivot beside the spindle: both tools are pulled down out of the spindle
// and the magazine pocket, swung half a turn so that they exchange places, and pushed up again.
//
// Usage:
//   ToolChangeGeometry g{pos.x, pos.y, armX, armY, reference.z, holderTop, holderBaseLength};
//   for (const ToolChangeFrame& f : toolChangeFrames(g, oldTool, newTool)) draw f.oldTool, f.newTool
#include <vector>

#include "core/vec3.h"

namespace vantrel {

inline constexpr int kToolChangePullFrames = 11;   // pulled down out of spindle and pocket
inline constexpr int kToolChangeSwingFrames = 21;  // the half turn of the arm
inline constexpr int kToolChangePushFrames = 11;   // pushed up into spindle and pocket
inline constexpr int kToolChangeFrames =
    kToolChangePullFrames + kToolChangeSwingFrames + kToolChangePushFrames;

struct ToolChangeGeometry {
    double x = 0, y = 0;             // the spindle axis (the tool position)
    double armX = -250, armY = 100;  // from the spindle axis to the arm's pivot
    double referenceZ = 500;         // the machine reference point's Z
    double holderTop = 0;            // h1: the holder's top
    double holderBaseLength = 0;     // h2: the holder's spindle-side part
};

// The lengths of one tool that set its height: the cutter's and the holder's.
struct ToolChangeTool {
    double length = 0;
    double holderLength = 0;
};

struct ToolChangeFrame {
    Vec3 oldTool, newTool;  // where each tool (with its holder) is drawn
};

// The 43 frames in order. A zero arm (pivot on the spindle axis) leaves both tools on the axis.
std::vector<ToolChangeFrame> toolChangeFrames(const ToolChangeGeometry& g, const ToolChangeTool& oldTool,
                                              const ToolChangeTool& newTool);

}  // namespace vantrel
