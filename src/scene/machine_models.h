#pragma once
// The machine around the work: vice, chuck and jaws, spindle, turret, tailstock, wire guides and the
// machine bodies with their tables, columns, magazines and see-through enclosures.
//
// A model is a list of parts, each one solid primitive (box, bar, tube, cone, quad or a six-sided
// block with free corners) with its colour, face mode and light gain. The list is built afresh from
// the stock, the tool position, the holder standard, the chuck size and the part switches at every
// drawing, so nothing here keeps state but the chuck phase, which the caller owns.
//
// Parts that follow the program (the spindle with the tool, the lathe turret with the lathe tool,
// the turning jaws, the wire guides) are marked moving: a play draws the still parts once into its
// background and only the moving ones at each step, as outlines without depth like the tool's.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/image32.h"
#include "core/machine_kind.h"
#include "core/vec3.h"
#include "render/primitives.h"
#include "render/raster.h"
#include "render/shapes.h"
#include "scene/tool_models.h"
#include "stock/stock_spec.h"

namespace vantrel {

// The part groups the display options switch ("本体", "バイス", "スピンドル", "チャック", "刃物台",
// "透過") and the general-purpose lathe body ("汎用旋盤").
struct MachinePartSwitches {
    bool body = true, vice = true, spindle = true, chuck = true, turret = true, seeThrough = true;
    bool generalLathe = false;
};

// Everything a machine model reads, gathered at drawing time.
struct MachineScene {
    MachineKind kind = MachineKind::VerticalMill;
    StockSpec stock;
    Vec3 tool;                      // the current tool position x, y, z
    double turn = 0;                // B: the tool-axis turn about Y
    double flangeDiameter = 0;      // F of the holder standard (0 for "なし")
    double holderBaseLength = 0;    // Lb
    double holderLength = 0;        // Lh
    double toolLength = 0;          // Lt
    double totalLength = 0;         // Lx
    int latheToolKind = 0;          // LatheToolKind of the working tool
    double chuckDiameter = 203.2;   // C, mm
    double tailstock = 1200;        // T, ScrollBar1
    double upperZ = 0, lowerZ = 0;  // the wire's end heights
    double viewA = 0;
    MachinePartSwitches parts;
    bool spindleShown = true;  // cleared while a play captures its background
    float chuckPhase = 0;
    Palette palette{};
};

enum class MachineShape : uint8_t {
    Box,   // axis-aligned: corner `at`, extents `size` (dx, dy, dz)
    Bar,   // bevelled block centred at `at`: size = (hx along local X, wy along Y, lz along Z)
    Tube,  // from `at` along the turned local +Z: size = (inner diameter, outer diameter, length)
    Cone,  // frustum from `at`: size = (first diameter, second diameter, length)
    Quad,  // corners[0..3]
    Hexa,  // six quads through corners[0..7]: bit 0 of the index picks the outer radius, bit 1 the
           // side, bit 2 the far end (the chuck jaws)
};

// What a part is, for the tests and the readers of a model; the drawing does not look at it.
enum class MachinePartRole : uint8_t {
    ViceFrontJaw,
    ViceRearJaw,
    ViceFixedBlock,
    ViceMovingBlock,
    ViceBase,
    ViceBolt,
    ViceHandle,
    ViceKnob,
    SpindleSleeve,
    SpindleCollar,
    SpindleHead,
    TableSlot,
    Table,
    BodyBlock,
    ColumnHead,
    SlideCover,
    MagazineDisc,
    MagazinePot,
    Enclosure,
    Turntable,
    Fixture,
    ChuckBody,
    ChuckJaw,
    ChuckBack,
    TailstockQuill,
    TailstockCentre,
    TailstockRing,
    TailstockBody,
    TurretNose,
    TurretBarrel,
    TurretHead,
    CrossSlide,
    Headstock,
    BedRail,
    HousingBase,
    Housing,
    SlantBed,
    WireGuideUpper,
    WireGuideLower,
    WireArm,
};

struct MachinePart {
    MachineShape shape = MachineShape::Box;
    MachinePartRole role = MachinePartRole::BodyBlock;
    bool moving = false;  // follows the tool or the chuck phase
    uint32_t colour = 0;  // 0x00BBGGRR
    FaceMode faceMode = FaceMode::Front;
    float lightGain = 1.0f;
    Vec3 at;
    Vec3 size;
    double chamfer = 0;
    Orientation o;
    std::array<Vec3, 8> corners{};
};

enum class MachinePartSet : uint8_t { All, Still, Moving };

// The parts of the scene's machine kind (none for a kind above 4).
std::vector<MachinePart> buildMachineParts(const MachineScene& m, MachinePartSet which = MachinePartSet::All);

// Solid parts, depth-tested; `wire` draws their edges instead. The light gain of each part is set on
// the view while it is drawn and put back to 1.0 afterwards.
void drawMachineParts(DrawContext& ctx, ViewState& view, std::span<const MachinePart> parts, bool wire);

// The model of the scene's machine kind, drawn solid (or its edges with `wireframe`): every part, or
// only the still or the moving ones. True when turning jaws were drawn, after which the caller
// advances the chuck phase.
bool drawMachine(DrawContext& ctx, ViewState& view, const MachineScene& m, bool wireframe,
                 MachinePartSet which = MachinePartSet::All);

// The edges of the parts without depth into `target`, in their colours; `drawn` (when given) receives
// the offsets of the pixels set. Returns the bounds of what was drawn.
PixelRect drawMachineOutline(Image32& target, const ViewState& view, std::span<const MachinePart> parts,
                             PixelRecord* drawn = nullptr);

// True when the model turns its jaws with the spindle (the NC lathe with the chuck shown).
bool turnsChuckJaws(const MachineScene& m);

// The jaws' phase after one drawing: while the spindle turns forward (spindle 1) it grows by
// speed / 300 radians, wrapping below 2 pi; otherwise it stays.
float advanceChuckPhase(float phase, int spindle, int32_t spindleSpeed);

}  // namespace vantrel
