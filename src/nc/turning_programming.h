#pragma once
#include <cstdint>

namespace vantrel {

// The lathe's programming settings ("半径値指令", "Ｘ軸±逆転", "Ｔ指令認識定義").
struct TurningProgramming {
    int8_t diameterDivisor = 2;  // 2 diameter, 1 radius programming; negative with the X-axis reversal
    int32_t tFormat = 0;         // 0 "T** **", 1 "T*** ***", 2 "T**** ****"

    // From the three settings as the machine menu holds them.
    static TurningProgramming from(bool radiusProgramming, bool xReversed, int32_t tFormat) {
        TurningProgramming p;
        p.diameterDivisor = static_cast<int8_t>((radiusProgramming ? 1 : 2) * (xReversed ? -1 : 1));
        p.tFormat = tFormat >= 0 && tFormat <= 2 ? tFormat : 0;
        return p;
    }
    bool operator==(const TurningProgramming&) const = default;
};

}  // namespace vantrel
