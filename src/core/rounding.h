#pragma once
// Conversions from double to integers that never invoke undefined behaviour.
//
// A plain static_cast<int>(x) is undefined when x is NaN or out of range; NC words, pixels and indices
// all come from user input, so every such conversion goes through these helpers.
#include <cstdint>

namespace vantrel {

// NaN gives 0; values beyond the int32 range clamp to its ends; everything else truncates toward zero.
int32_t saturatingToInt32(double x);

// Same for 64-bit results.
int64_t saturatingToInt64(double x);

// Rounds half away from zero: truncate x + 0.5, or x - 0.5 for negative x (2.5 -> 3, -2.5 -> -3).
int32_t RoundHalfAway(double x);
int64_t RoundHalfAway64(double x);

// Clamp helper used wherever a value must stay in a closed range.
template <typename T>
constexpr T clampTo(T v, T lo, T hi) {
    return v < lo ? lo : (hi < v ? hi : v);
}

}  // namespace vantrel
