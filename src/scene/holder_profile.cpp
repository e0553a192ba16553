#include "scene/holder_profile.h"

#include <algorithm>

namespace vantrel {

namespace {
// Heights and diameters as single-precision millimetres, exactly as the standards' drawings give them.
// The HSK rows run up the flange and then back down inside the hollow shank.
const std::array<HolderProfile, 6> kProfiles = {{
    {{46, 46, 38, 38, 46, 46, 31.75f, 31.75f, 17.63f, 16.5f, 16.5f, 14, 14, 7, 7, 11, 11, 0},
     {0, 4.4f, 6.709f, 10.09f, 12.4f, 20, 20, 22, 70.4f, 70.4f, 75.4f, 75.4f, 78.4f, 78.4f, 93.4f, 93.4f,
      97.4f, 98.4f},
     46,
     22,
     93.4f},
    {{63, 63, 53, 53, 63, 63, 44.45f, 44.45f, 25.3f, 23, 23, 19, 19, 10, 10, 15, 15, 0},
     {0, 5.4f, 8.28f, 12.51f, 15.4f, 25, 25, 27, 92.4f, 92.4f, 97.4f, 97.4f, 103.4f, 103.4f, 120.4f, 120.4f,
      125.4f, 127.4f},
     63,
     27,
     127.4f},
    {{100, 100, 85, 85, 100, 100, 69.85f, 69.85f, 40.1f, 38, 38, 35, 35, 17, 17, 23, 23, 0},
     {0, 7.3f, 11.63f, 17.97f, 22.3f, 35, 35, 38, 139.8f, 139.8f, 146.8f, 146.8f, 152.8f, 152.4f, 170.4f,
      170.4f, 180.4f, 184.8f},
     100,
     38,
     184.8f},
    {{41, 41, 50, 50, 45, 45, 50, 50, 38, 38, 36, 30, 26, 26, 30, 30, 0, 0},
     {0, 16, 16, 20, 21, 23, 24, 42, 42, 44, 67, 67, 65, 50, 50, 25, 25, 25},
     50,
     44,
     67},
    {{52, 52, 63, 63, 55, 55, 63, 63, 48, 48, 45, 38, 34, 34, 38, 38, 0, 0},
     {0, 16, 16, 20, 21, 23, 24, 42, 42, 44, 74, 74, 72, 50, 50, 25, 25, 25},
     63,
     44,
     74},
    {{85, 85, 100, 100, 92, 92, 100, 100, 75, 75, 70.2f, 62, 58, 58, 64, 64, 0, 0},
     {0, 16, 16, 24, 25, 26, 27, 45, 45, 47, 95, 95, 90, 65, 65, 40, 40, 40},
     100,
     47,
     95},
}};
}  // namespace

float HolderProfile::maxDiameter() const {
    return *std::max_element(d.begin(), d.end());
}

const HolderProfile* holderProfileFor(int holderKind) {
    if (holderKind < 1 || holderKind > 6) return nullptr;
    return &kProfiles[static_cast<size_t>(holderKind - 1)];
}

void rebuildHolderProfile(HolderProfileState& state, ToolTable& tools, MachineKind kind, int holderKind) {
    const HolderProfile* row = holderProfileFor(holderKind);
    if (row) {
        state.current = *row;
        state.kind = holderKind;
        tools.holderBaseLength = row->baseLength;
    } else {
        state.current = HolderProfile{};
        state.kind = 0;
    }
    loadWorkingTool(tools, kind, tools.currentToolIndex);
}

}  // namespace vantrel
