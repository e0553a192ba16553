#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel {
namespace {

TEST(TextCodec, Utf8Validation) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("G01 X1.(φ10 エンドミル)"));
    EXPECT_TRUE(isValidUtf8("\xf4\x8f\xbf\xbf"));   // U+10FFFF
    EXPECT_FALSE(isValidUtf8("\x82\xa0"));          // CP932 "あ"
    EXPECT_FALSE(isValidUtf8("\xc0\xaf"));          // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80"));      // surrogate
    EXPECT_FALSE(isValidUtf8("\xf4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("abc\xe3\x81"));       // cut short
}

TEST(TextCodec, Cp932RoundTrip) {
    const std::string sjis = "O0001(\x83\x54\x83\x93\x83\x76\x83\x8b)\x82\xa0\xb1";  // (サンプル)あｱ
    std::string utf8 = cp932ToUtf8(sjis);
    EXPECT_EQ(utf8, "O0001(サンプル)あｱ");
    std::string back;
    ASSERT_TRUE(utf8ToCp932(utf8, back));
    EXPECT_EQ(back, sjis);
    EXPECT_EQ(cp932ToUtf8("\\~"), "\\~");  // ASCII stays ASCII
}

TEST(TextCodec, BytesWithoutFaithfulMappingSurviveTheRoundTrip) {
    // 0xED40 and 0xFA5C are the same character in CP932; 0x80, 0xA0, 0xFD and a lone lead byte at
    // the end have no character at all. Every byte must come back.
    const std::string odd = std::string("\xed\x40 \xfa\x5c \x80\xa0\xfd X\x81", 13);
    std::string utf8 = cp932ToUtf8(odd);
    EXPECT_TRUE(isValidUtf8(utf8));
    std::string back;
    ASSERT_TRUE(utf8ToCp932(utf8, back));
    EXPECT_EQ(back, odd);
    // Every byte value, alone and in pairs, comes back unchanged.
    std::string all;
    for (int a = 0; a < 256; ++a) {
        all.push_back(static_cast<char>(a));
        all.push_back(static_cast<char>(255 - a));
    }
    ASSERT_TRUE(utf8ToCp932(cp932ToUtf8(all), back));
    EXPECT_EQ(back, all);
}

TEST(TextCodec, CharacterWithoutCp932FormIsReported) {
    std::string out;
    std::size_t bad = 0;
    EXPECT_FALSE(utf8ToCp932("G01 😀 X1.", out, &bad));
    EXPECT_EQ(bad, 4u);
    EXPECT_EQ(out, "G01 ");
}

}  // namespace
}  // namespace vantrel
