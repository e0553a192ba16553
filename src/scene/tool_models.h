#pragma once
// The working tool in the scene: the milling cutter with its holder (collet body, flange and taper,
// pull stud), the tool imprint that shows where the cutter lies inside the stock, the turning tools
// of the lathes, the lathe drills and the wire. Solid models are drawn depth-tested into the frame
// buffer; the quick models (outlines and flat silhouettes) are drawn without depth during playback.
//
// Every model is built in a tool frame whose +Z runs from the tip towards the spindle and placed with
// rotateLocal(local, tilt, turn) at the drawn tip point.
#include <array>
#include <cstdint>
#include <vector>

#include "core/image32.h"
#include "core/machine_kind.h"
#include "core/vec3.h"
#include "render/primitives.h"
#include "render/shapes.h"
#include "scene/holder_profile.h"
#include "tools/tool_table.h"

namespace vantrel {

using Palette = std::array<uint32_t, 24>;  // 0x00BBGGRR

// What the tool models read: the working tool, the pose and the switches.
struct ToolScene {
    MachineKind kind = MachineKind::VerticalMill;
    ToolRecord tool;
    ToolProfile profile;
    HolderProfile holder;  // the current standard's row; all zero for "なし"
    int holderKind = 0;
    Vec3 position;              // the programmed point
    double tilt = 0, turn = 0;  // toolTiltAngle, toolTurnAngle
    uint32_t cutterColour = 0;  // the entry's own colour (mills)
    bool toolOn = true, holderOn = true, wire = false;
    Palette palette{};
};

// A pixel rectangle (inclusive); empty when right < left.
struct PixelRect {
    int32_t left = 0, top = 0, right = -1, bottom = -1;
    bool empty() const { return right < left || bottom < top; }
    int64_t area() const { return empty() ? 0 : int64_t{right - left + 1} * int64_t{bottom - top + 1}; }
    void include(int32_t x, int32_t y) {
        if (empty()) {
            left = right = x;
            top = bottom = y;
            return;
        }
        left = x < left ? x : left;
        right = x > right ? x : right;
        top = y < top ? y : top;
        bottom = y > bottom ? y : bottom;
    }
    void unite(const PixelRect& o);
    PixelRect widened(int32_t by) const;
    PixelRect clippedTo(int w, int h) const;
};

// The pixel of a world point for the quick outlines, or false when it is clipped or absurdly far out.
bool screenOf(const ViewState& view, const Vec3& p, int32_t& x, int32_t& y);

// The programmed point shifted by the tool's tip position (keypad code 1..9; others keep the point).
Vec3 millingTipPoint(const ToolRecord& tool, const Vec3& position);
// The lathe nose-circle centre: the same table in X and Z by the nose radius.
Vec3 latheNoseCentre(const ToolRecord& tool, const Vec3& position);

// n (3..16) for a round model of largest diameter maxDiameter around `centre`: 16 when the projected
// width exceeds the image, otherwise round(d / 6) + 2. The circle is divided into n + 1 facets.
int modelFacetCount(const ViewState& view, int width, int height, const Vec3& centre, double maxDiameter);

// The cutter outline (radius, height, normal) from the tip: 13 points with a corner radius, 4 without.
std::vector<ProfilePoint> cutterProfilePoints(const ToolRecord& tool, const ToolProfile& profile);

void drawMillingTool(DrawContext& ctx, const ToolScene& s, const Vec3& tip);
// The imprint: the cutter's far inside, in `colour`, where an already drawn surface lies between the
// cutter's front and back. Uses the frame buffer's second buffer as a mask. Wireframe: the body's
// edges as depth-tested lines.
void drawToolImprint(DrawContext& ctx, const ToolScene& s, const Vec3& tip, uint32_t colour);

// The solid model of the current family (light gain 2.5 around the imprint, restored to 1.0).
void drawWorkingTool(DrawContext& ctx, ViewState& view, const ToolScene& s);

// Spin phase advance for one outline frame: -5 deg with M03 (spindle 1), +5 deg with M04 (2).
float advanceSpinPhase(float phase, int spindle);

// Bounds of the tool and of the holder as the outline draws them (both empty when hidden).
struct OutlineBounds {
    PixelRect tool, holder;
};
// The milling outline without depth into `target` (nullptr: only the bounds are worked out). The
// generator lines start at `spinPhase`. With `drawn` the offsets of the pixels set are appended there,
// so that a play can put exactly those pixels back before the next frame.
OutlineBounds drawToolOutline(Image32* target, const ViewState& view, const ToolScene& s, float spinPhase,
                              PixelRecord* drawn = nullptr);

// The flat lathe silhouette (face mode 0, no depth) in `colour` (0x00BBGGRR); returns its bounds.
// With mirrored set it is drawn on the other side of the spindle axis (-X).
PixelRect drawFlatLatheTool(Image32& target, const ViewState& view, const ToolScene& s, uint32_t colour,
                            bool mirrored);

}  // namespace vantrel
