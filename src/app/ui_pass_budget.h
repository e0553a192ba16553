#pragma once
// Passes over the program that run on the UI thread (the path display, the stock fit) must end in good
// time whatever the program: subprograms nested ten deep, each calling the next ten times, make 10^10
// blocks, and one cycle block repeated 9999 times makes tens of thousands of pieces. Such a pass ends
// after these many executed blocks or pieces (about a second's work) and keeps what it saw.
#include <cstdint>

#include "core/shared_value.h"

namespace vantrel {

inline constexpr int64_t kUiPassBlockBudget = 2'000'000;
inline constexpr int64_t kUiPassPieceBudget = 20'000'000;

// Counts the pieces of a pass; when they run out it asks the interpreter to stop through the pass's
// stop request, which ends the loops of a block (repetitions, pecks) as well as the pass.
class PieceBudget {
  public:
    PieceBudget(Shared<bool>& stop, int64_t pieces) : stop_(stop), left_(pieces) {}
    // Takes one piece; false (and the stop requested) when none was left.
    bool take() {
        if (left_ < 0) return true;  // no limit
        if (left_ == 0) {
            spent_ = true;
            stop_.store(true);
            return false;
        }
        --left_;
        return true;
    }
    bool spent() const { return spent_; }

  private:
    Shared<bool>& stop_;
    int64_t left_;
    bool spent_ = false;
};

}  // namespace vantrel
