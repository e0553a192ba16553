#pragma once
// The holder standards' profiles: flange, V-groove, taper and pull stud of each spindle holder as 18
// (diameter, height) points measured from the holder's lower face up the tool axis, plus the three
// values other parts of the program take from a standard (flange diameter, base length, top).
#include <array>
#include <cstdint>

#include "core/machine_kind.h"
#include "tools/tool_table.h"

namespace vantrel {

inline constexpr int kHolderProfilePoints = 18;

struct HolderProfile {
    std::array<float, kHolderProfilePoints> d{};  // diameters
    std::array<float, kHolderProfilePoints> z{};  // heights above the holder's lower face
    float flangeDiameter = 0;
    float baseLength = 0;  // holderBaseLength
    float top = 0;         // holder top
    // Points 0..11 form the flange and taper, 11..17 the pull stud.
    float maxDiameter() const;
};

// The row of a holder standard (1..6); nullptr for "なし" (0) and anything outside 1..6.
const HolderProfile* holderProfileFor(int holderKind);

// The profile loaded for the current standard. An empty profile (all zero) stands for "なし".
struct HolderProfileState {
    HolderProfile current;  // zero for "なし"
    int kind = 0;
};

// Loads the standard's row (flange diameter and top become 0 for "なし", while the tool table's
// holderBaseLength keeps the value of the previously selected standard), then reloads the working
// tool so that its total length follows.
void rebuildHolderProfile(HolderProfileState& state, ToolTable& tools, MachineKind kind, int holderKind);

}  // namespace vantrel
