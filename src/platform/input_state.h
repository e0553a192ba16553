#pragma once
// Key and mouse state that worker threads poll while a program plays: Esc stops, Shift resumes a
// pause, the right mouse button skips the rest of a move, the conversion key starts reconversion in
// the editor. The GUI's event filter keeps it current; tests set it directly.
#include <atomic>

namespace vantrel {

struct InputState {
    std::atomic<bool> escape{false};
    std::atomic<bool> shift{false};
    std::atomic<bool> rightButton{false};
    std::atomic<bool> conversionKey{false};

    void clear() {
        escape = false;
        shift = false;
        rightButton = false;
        conversionKey = false;
    }
};

}  // namespace vantrel
