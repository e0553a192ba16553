#include <gtest/gtest.h>

#include <cmath>

#include "core/number_format.h"

using namespace vantrel;

TEST(FormatFloat, RequiredAndOptionalDigits) {
    EXPECT_EQ(FormatFloat("###0.00", 12.5), "12.50");
    EXPECT_EQ(FormatFloat("###0.00", 0), "0.00");
    EXPECT_EQ(FormatFloat("##0.###", 1.5), "1.5");
    EXPECT_EQ(FormatFloat("##0.###", 2), "2");
    EXPECT_EQ(FormatFloat("##0.###", 0.1234), "0.123");
    EXPECT_EQ(FormatFloat("###0.#######", 437.25), "437.25");
    EXPECT_EQ(FormatFloat("###0", 12345.4), "12345");  // integer digits are never cut
    EXPECT_EQ(FormatFloat("####0.##", 0.001), "0");
    EXPECT_EQ(FormatFloat("##0.#####", 3.14159265), "3.14159");
    EXPECT_EQ(FormatFloat("###0.#", 99.96), "100");
}

TEST(FormatFloat, RoundsHalfAwayAtTheLastPlace) {
    EXPECT_EQ(FormatFloat("###0.00", 1.005), "1.01");  // 1.005 is stored just below; decimal rounding
    EXPECT_EQ(FormatFloat("###0.00", 2.675), "2.68");
    EXPECT_EQ(FormatFloat("###0", 2.5), "3");
    EXPECT_EQ(FormatFloat("###0", -2.5), "-3");
    EXPECT_EQ(FormatFloat("###0.0", 9.95), "10.0");
    EXPECT_EQ(FormatFloat("###0.000", 0.0005), "0.001");
}

TEST(FormatFloat, NegativesAndLiteralMinusPrefix) {
    EXPECT_EQ(FormatFloat("###0.00", -12.5), "-12.50");
    EXPECT_EQ(FormatFloat("-###0.0000", 5), "-5.0000");
    EXPECT_EQ(FormatFloat("-###0.0", -1.5), "--1.5");  // own minus before the literal one
    EXPECT_EQ(FormatFloat("-###0", 0), "-0");
    // A value that rounds to zero shows no minus of its own.
    EXPECT_EQ(FormatFloat("###0.00", -0.001), "0.00");
    EXPECT_EQ(FormatFloat("###0", -0.4), "0");
}

TEST(FormatFloat, LargeValuesAndNonFinite) {
    EXPECT_EQ(FormatFloat("###0.00", 1234567.891), "1234567.89");
    EXPECT_EQ(FormatFloat("###0", 1e15), "1000000000000000");
    EXPECT_EQ(FormatFloat("###0.00", std::nan("")), "NAN");
}
