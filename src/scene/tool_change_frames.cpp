#include "scene/tool_change_frames.h"

#include <cmath>
#include <numbers>

namespace vantrel {

std::vector<ToolChangeFrame> toolChangeFrames(const ToolChangeGeometry& g, const ToolChangeTool& oldTool,
                                              const ToolChangeTool& newTool) {
    std::vector<ToolChangeFrame> frames;
    frames.reserve(kToolChangeFrames);
    const double px = g.x + g.armX, py = g.y + g.armY;  // the pivot
    const double w = std::hypot(g.armX, g.armY);
    const double s = std::atan2(-g.armY, -g.armX);  // from the pivot towards the spindle
    const double m = s + std::numbers::pi;          // towards the magazine pocket
    auto onArm = [&](double angle, double z) {
        return Vec3(px + w * std::cos(angle), py + w * std::sin(angle), z);
    };
    // The tool tip's height with the tool seated in the spindle at the reference point is base - h2.
    const double oldBase = g.referenceZ - oldTool.length - oldTool.holderLength;
    const double newBase = g.referenceZ - newTool.length - newTool.holderLength;
    const double h1 = g.holderTop, h2 = g.holderBaseLength;
    const Vec3 spindle(g.x, g.y, 0);
    const Vec3 magazine = onArm(m, 0);

    for (int i = 0; i < kToolChangePullFrames; ++i) {
        const double down = h2 + (h1 - h2) * i / 10.0;
        frames.push_back(
            {Vec3(spindle.x, spindle.y, oldBase - down), Vec3(magazine.x, magazine.y, newBase - down)});
    }
    for (int i = 0; i < kToolChangeSwingFrames; ++i) {
        const double d = (s - m) * i / 20.0;
        frames.push_back({onArm(s - d, oldBase - h1), onArm(m - d, newBase - h1)});
    }
    for (int i = 0; i < kToolChangePushFrames; ++i) {
        const double up = h1 - (h1 - h2) * i / 10.0;
        frames.push_back(
            {Vec3(magazine.x, magazine.y, oldBase - up), Vec3(spindle.x, spindle.y, newBase - up)});
    }
    return frames;
}

}  // namespace vantrel
