#include "app/keypad.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(Keypad, FirstDigitReplacesThePreloadedValue) {
    KeypadMemory mem;
    Keypad k(12.5, mem);
    EXPECT_EQ(k.display(), "12.5");
    k.digit(7);
    EXPECT_EQ(k.display(), "7");
    k.set();
    EXPECT_TRUE(k.accepted());
    EXPECT_EQ(k.value(), 7);
}

TEST(Keypad, TypingAndTakingBackAFraction) {
    KeypadMemory mem;
    Keypad k(0, mem);
    std::vector<std::string> shown;
    k.digit(1);
    shown.push_back(k.display());
    k.point();
    shown.push_back(k.display());
    k.digit(2);
    shown.push_back(k.display());
    k.digit(5);
    shown.push_back(k.display());
    EXPECT_EQ(shown, (std::vector<std::string>{"1", "1.", "1.2", "1.25"}));
    EXPECT_DOUBLE_EQ(k.value(), 1.25);
    k.backspace();
    EXPECT_EQ(k.display(), "1.2");
    k.backspace();
    EXPECT_EQ(k.display(), "1");
    k.backspace();
    EXPECT_EQ(k.display(), "0");
    // Trailing zeros typed after the point stay visible.
    k.digit(3);
    k.point();
    k.digit(0);
    EXPECT_EQ(k.display(), "3.0");
}

TEST(Keypad, BackspaceRightAfterThePointRemovesOnlyThePoint) {
    KeypadMemory mem;
    Keypad k(0, mem);
    k.digit(4);
    k.digit(2);
    k.point();
    k.backspace();
    EXPECT_EQ(k.display(), "42");
    EXPECT_EQ(k.value(), 42);
    k.digit(1);  // an integer digit again
    EXPECT_EQ(k.value(), 421);
}

TEST(Keypad, MinusBeforeOrAfterTheDigits) {
    for (bool before : {true, false}) {
        KeypadMemory mem;
        Keypad k(0, mem);
        if (before) k.minus();
        k.digit(3);
        if (!before) k.minus();
        EXPECT_EQ(k.display(), "-3");
        k.set();
        EXPECT_EQ(k.value(), -3);
    }
    KeypadMemory mem;
    Keypad k(0, mem);
    k.minus();
    k.clear();  // only the clear key takes the minus back
    k.digit(3);
    k.set();
    EXPECT_EQ(k.value(), 3);
}

TEST(Keypad, CancelRestoresThePreloadedValue) {
    KeypadMemory mem;
    Keypad k(12.5, mem);
    k.digit(9);
    k.minus();
    k.cancel();
    EXPECT_TRUE(k.closed());
    EXPECT_FALSE(k.accepted());
    EXPECT_EQ(k.value(), 12.5);
}

TEST(Keypad, MemorySurvivesIntoALaterDialog) {
    KeypadMemory mem;
    {
        Keypad k(40, mem);
        EXPECT_FALSE(k.memoryPressed());
        k.memoryKey();
        EXPECT_TRUE(k.memoryPressed());
        k.cancel();
    }
    Keypad k(0, mem);
    EXPECT_TRUE(k.memoryPressed());
    k.memoryKey();  // released: recalls
    EXPECT_EQ(k.display(), "40");
    EXPECT_FALSE(mem.stored);
    k.set();
    EXPECT_EQ(k.value(), 40);
}

TEST(Keypad, LengthLimitIsTestedBeforeADigitIsAdded) {
    KeypadMemory mem;
    Keypad k(0, mem);
    for (char c : std::string("1234567890")) k.key(static_cast<char32_t>(c));
    k.digit(1);  // ten characters: still taken
    EXPECT_EQ(k.value(), 12345678901.0);
    k.digit(2);  // eleven: refused
    EXPECT_EQ(k.value(), 12345678901.0);
    EXPECT_EQ(k.display(), "12345678901");
}

TEST(Keypad, LongFractionsStayFiniteAndBounded) {
    KeypadMemory mem;
    Keypad k(0, mem);
    k.point();
    for (int i = 0; i < 40; ++i) k.digit(1);
    // The length limit stops the digits long before the divisor could overflow.
    EXPECT_LT(k.value(), 0.2);
    EXPECT_GT(k.value(), 0.11);
    EXPECT_LE(k.display().size(), 20u);
    for (int i = 0; i < 40; ++i) k.backspace();
    EXPECT_EQ(k.value(), 0);
    EXPECT_EQ(k.display(), "0");
}

TEST(Keypad, KeyboardAndSecondPoint) {
    KeypadMemory mem;
    Keypad k(12.5, mem);
    k.point();
    EXPECT_EQ(k.display(), "12.5.");  // the point is appended, the number is not reformatted
    k.point();
    EXPECT_EQ(k.display(), "12.5.");
    EXPECT_TRUE(k.key(U'6'));
    EXPECT_EQ(k.display(), "0.6");
    EXPECT_FALSE(k.key(U'a'));
    EXPECT_TRUE(k.key(127));
    EXPECT_EQ(k.display(), "0");
    EXPECT_TRUE(k.key(8));
    k.key(U'-');
    k.key(U'2');
    k.set();
    EXPECT_EQ(k.value(), -2);
    k.digit(5);  // closed: nothing changes any more
    EXPECT_EQ(k.value(), -2);
}

}  // namespace
}  // namespace vantrel
