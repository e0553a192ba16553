#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/rounding.h"

using namespace vantrel;

TEST(RoundHalfAway, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(RoundHalfAway(2.5), 3);
    EXPECT_EQ(RoundHalfAway(-2.5), -3);
    EXPECT_EQ(RoundHalfAway(0.49), 0);
    EXPECT_EQ(RoundHalfAway(-0.49), 0);
    EXPECT_EQ(RoundHalfAway(1.5), 2);
    EXPECT_EQ(RoundHalfAway(-1.4999), -1);
    EXPECT_EQ(RoundHalfAway(0.0), 0);
    EXPECT_EQ(RoundHalfAway64(4294967296.5), 4294967297LL);
}

TEST(RoundHalfAway, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(RoundHalfAway(1e20), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(RoundHalfAway(-1e20), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(RoundHalfAway(std::nan("")), 0);
}

TEST(SaturatingConversion, NanInfinityAndRangeEnds) {
    EXPECT_EQ(saturatingToInt32(std::nan("")), 0);
    EXPECT_EQ(saturatingToInt32(std::numeric_limits<double>::infinity()),
              std::numeric_limits<int32_t>::max());
    EXPECT_EQ(saturatingToInt32(-std::numeric_limits<double>::infinity()),
              std::numeric_limits<int32_t>::min());
    EXPECT_EQ(saturatingToInt32(2147483647.9), 2147483647);
    EXPECT_EQ(saturatingToInt32(2147483646.9), 2147483646);
    EXPECT_EQ(saturatingToInt32(-2147483648.5), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(saturatingToInt32(-7.9), -7);  // truncates toward zero
    EXPECT_EQ(saturatingToInt64(1e300), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(saturatingToInt64(-1e300), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(saturatingToInt64(std::nan("")), 0);
}
