#pragma once
// The Play-menu switches and the play state.
#include <cstdint>

namespace vantrel {

inline constexpr uint8_t kPlayIdle = 10;

struct PlayOptions {
    uint8_t playState = kPlayIdle;
    bool singleBlock = false;
    bool optionalStop = false;
    bool blockSkip = false;
    bool endless = false;
    int32_t speedStep = 1;  // TrackBar3 at 5
    bool noseRadiusArcJoin = true;  // "円弧" (true) or "線分"
    bool ignoreM0 = true;           // "M0無視"
    bool repaintAfterPlay = true;   // "再生後再描画"
};

}  // namespace vantrel
