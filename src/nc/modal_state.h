#pragma once
// The interpreter's modal state: what the G, M, F, S, T, D, H ... words of the executed blocks have
// set. One ModalState lives for one pass over the program; construct it (or call resetForPass) at the
// start of each pass. ApplyBlock (nc/apply_block.h) updates it from the executing block; the motion
// code reads it to build the movement and calls finishBlockSetup afterwards.
//
// Field comments name the codes that set each field. Registers hold the last value of each address
// A..Z (after the scanner's scaling, see nc/block_scanner.h); they keep their values across blocks.
#include <array>
#include <cstdint>
#include <vector>

#include "core/shared_value.h"

namespace vantrel {

struct NurbsPoint {
    double x = 0, y = 0, z = 0;  // X, Y, Z registers when the block was applied
    double r = 0;                // R register (the weight)
    double f = 0;                // raw F register (with the decimal marker when written with ".")
};

// Per-block flags of the addresses that matter to the motion code.
struct SeenWords {
    bool d = false, h = false, i = false, j = false, k = false, l = false, p = false, r = false, s = false,
         t = false, x = false, y = false, z = false;
    bool u = false, v = false, w = false;  // the lathe's incremental X, Y, Z
};

struct ModalState {
    // --- modal groups -------------------------------------------------------------------------
    int32_t motion = 0;  // G00 0, G01 1, G02 (G2.1) 2, G03 (G3.1) 3; lathe: G32 32, G90 90, G92 92, G94 94
    int32_t plane = 0;   // G17 0 (XY), G18 1 (ZX), G19 2 (YZ)
    int32_t incremental = 0;    // G90 0, G91 1
    int32_t radiusComp = 0;     // G40 0; G41 requested 3, G42 requested 4; G41 active 1, G42 active 2
    int32_t feedMode = 0;       // G93 -1, G94 0 (per minute), G95 1 (per revolution); lathe: G98 0, G99 1
    int32_t speedMode = 0;      // G96 0, G97 1
    int32_t returnLevel = 0;    // G98 0, G99 1
    int32_t mirrorState = 0;    // G50.1 0; G51.1 2 in its own block, then 1 (active)
    int32_t rotationState = 0;  // G69 0; G68 2 in its own block, then 1 (active)
    int32_t nurbsState = 0;     // 0 off; G06.2 2 in its own block, then 1 while collecting points
    int32_t cycle = 80;         // canned cycle G73 G74 G76 G81..G89; G80 (and G00..G03) 80 = none

    std::array<double, 26> registers{};  // A..Z: last value written by a word of that address

    // --- block-scoped items, cleared before each block -------------------------------------------
    int32_t oneShot =
        0;  // G04 G12 G13 G28 G29 G53 G92 of this block; lathe also G50.1 50, G51.1 51, G68, G69
    int32_t repetitiveCycle = 0;  // lathe: G70 .. G76 of this block
    SeenWords seen;
    static constexpr int kMaxMCodes = 3;
    std::array<double, kMaxMCodes> mCodes{};  // M values of the block in order; a fourth has no room
    int32_t mCodeCount = 0;
    bool lengthOffsetCalled = false;  // G43 / G44 in the block
    bool nurbsPointAdded = false;     // the block was taken as a G06.2 control point (no other move)

    // --- machine state ------------------------------------------------------------------------
    Shared<int32_t> spindle = 0;       // M05 0, M03 1 (clockwise), M04 2; read by the machine model
    Shared<int32_t> spindleSpeed = 0;  // last S, truncated; read by the main window
    double feedPerMinute = 0;          // mm/min
    double feedPerRev = 0;             // mm/rev
    double stepLength = 1.0;           // length of one interpolation step of feed moves
    double compRadius = 0;             // tool radius used by the cutter radius compensation

    std::array<double, 3> mirrorCentre{};  // X, Y, Z (G51.1)
    std::array<bool, 3> mirrorAxis{};      // X, Y, Z mirrored

    std::array<double, 3> rotationCentre{};  // X, Y, Z (G68)
    double rotationAngle = 0;                // radians
    bool rotationXY = false, rotationZX = false, rotationYZ = false;

    std::vector<NurbsPoint> nurbsPoints;  // G06.2 control points
    double nurbsOrder = 4.0;              // P of the G06.2 block, 4 without P

    double cuttingTime = 0;  // minutes

    double reg(char upperLetter) const { return registers[static_cast<std::size_t>(upperLetter - 'A')]; }

    // Start-of-pass values (the tool position, the spindle tool and the stock are not part of it).
    void resetForPass() { *this = ModalState(); }
    void clearBlockItems() {
        oneShot = 0;
        repetitiveCycle = 0;
        seen = SeenWords();
        mCodes.fill(0);
        mCodeCount = 0;
        lengthOffsetCalled = false;
        nurbsPointAdded = false;
    }
    // True when the block just applied makes no movement of its own: a dwell or another non-moving
    // one-shot code, a G06.2 control point, or the set-up block of G51.1 / G68.
    bool blockMakesNoMove() const {
        return oneShot == 4 || oneShot == 29 || oneShot == 53 || oneShot == 92 || nurbsPointAdded ||
               mirrorState == 2 || rotationState == 2;
    }
};

}  // namespace vantrel
