#pragma once
// The Play-menu switches and the play state.
#include <cstdint>

#include "core/shared_value.h"

namespace vantrel {

inline constexpr uint8_t kPlayIdle = 10;

// The step-play drawing interval for a position of its slider (0..5): 1000, 500, 100, 50, 10, 1.
constexpr int32_t stepPlayInterval(int position) {
    constexpr int32_t kIntervals[6] = {1000, 500, 100, 50, 10, 1};
    return kIntervals[position < 0 ? 0 : (position > 5 ? 5 : position)];
}

struct PlayOptions {
    uint8_t playState = kPlayIdle;
    // Toggled by their buttons on the UI thread while the playing thread reads them at every block.
    Shared<bool> singleBlock{false};
    Shared<bool> optionalStop{false};
    Shared<bool> blockSkip{false};
    bool endless = false;
    int32_t speedStep = 1;          // step-play drawing interval: TrackBar3 at 5
    bool noseRadiusArcJoin = true;  // "円弧" (true) or "線分"
    bool ignoreM0 = true;           // "M0無視"
    bool repaintAfterPlay = true;   // "再生後再描画"
};

}  // namespace vantrel
