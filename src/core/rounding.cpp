#include "core/rounding.h"

#include <cmath>
#include <limits>

namespace vantrel {

int32_t saturatingToInt32(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(x);
}

int64_t saturatingToInt64(double x) {
    if (std::isnan(x)) return 0;
    // 2^63 is exactly representable; anything at or above it would overflow.
    if (x >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (x <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(x);
}

int32_t RoundHalfAway(double x) {
    return saturatingToInt32(x < 0 ? x - 0.5 : x + 0.5);
}

int64_t RoundHalfAway64(double x) {
    return saturatingToInt64(x < 0 ? x - 0.5 : x + 0.5);
}

}  // namespace vantrel
