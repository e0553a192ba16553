#include <gtest/gtest.h>

#include <sstream>

#include "platform/reg_text.h"
#include "platform/text_codec.h"

using namespace vantrel;

namespace {
constexpr const char* kKey = "HKEY_CURRENT_USER\\Software\\orvik\\Vantrel";

RegDocument parse(const std::string& bytes, RegParseResult* result = nullptr) {
    RegDocument doc;
    RegParseResult r = parseRegText(bytes, doc);
    if (result) *result = r;
    return doc;
}
}  // namespace

TEST(RegText, ReadsEveryValueKindWithEscapesAndComments) {
    const std::string text =
        "REGEDIT4\n"
        "; exported\n"
        "[HKEY_CURRENT_USER\\Software\\orvik\\Vantrel]\n"
        "\"d\"=dword:0000002a\n"
        "\"short\"=dword:ff\n"
        "\"b\"=hex:01,ab,FF\n"
        "\"empty\"=hex:\n"
        "\"s\"=\"C:\\\\dir\\\\\\\"q\\\".txt\"\n"
        "@=\"default\"\n"
        "\"q\"=hex(b):01,00,00,00,00,00,00,00\n"
        "\"d4\"=hex(4):78,56,34,12\n";
    RegParseResult r;
    const RegDocument doc = parse(text, &r);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.skippedLines.empty());
    const RegKey* k = doc.findKey(kKey);
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->find("D")->dword, 42u);  // names compare without regard to case
    EXPECT_EQ(k->find("short")->dword, 0xFFu);
    EXPECT_EQ(k->find("b")->data, std::string("\x01\xab\xff", 3));
    EXPECT_EQ(k->find("empty")->kind, RegValueKind::Binary);
    EXPECT_TRUE(k->find("empty")->data.empty());
    EXPECT_EQ(k->find("s")->data, "C:\\dir\\\"q\".txt");
    EXPECT_EQ(k->find("")->data, "default");
    EXPECT_EQ(k->find("q")->kind, RegValueKind::Other);
    EXPECT_EQ(k->find("q")->otherType, 0xb);
    EXPECT_EQ(k->find("d4")->kind, RegValueKind::Dword);
    EXPECT_EQ(k->find("d4")->dword, 0x12345678u);

    // Written back and read again, every value is the same (the unknown type included).
    const std::string out = serialiseRegText(doc);
    EXPECT_EQ(out.rfind("REGEDIT4\r\n", 0), 0u);
    const RegDocument again = parse(out);
    const RegKey* k2 = again.findKey(kKey);
    ASSERT_NE(k2, nullptr);
    ASSERT_EQ(k2->values.size(), k->values.size());
    for (size_t i = 0; i < k->values.size(); ++i) {
        EXPECT_EQ(k2->values[i].name, k->values[i].name);
        EXPECT_EQ(k2->values[i].kind, k->values[i].kind);
        EXPECT_EQ(k2->values[i].dword, k->values[i].dword);
        EXPECT_EQ(k2->values[i].data, k->values[i].data);
    }
}

TEST(RegText, LongBinaryIsWrappedLikeAnExportAndReadBack) {
    RegDocument doc;
    std::string bytes;
    for (int i = 0; i < 200; ++i) bytes += static_cast<char>(i);
    doc.key(kKey).set(RegValue::makeBinary("t_res0", bytes));
    const std::string out = serialiseRegText(doc);
    std::istringstream in(out);
    std::string line;
    int continued = 0;
    while (std::getline(in, line)) {
        EXPECT_LE(line.size(), 81u) << line;  // 80 columns and the CR
        if (line.size() > 1 && line[line.size() - 2] == '\\') ++continued;
    }
    EXPECT_GT(continued, 5);
    EXPECT_EQ(parse(out).findKey(kKey)->find("t_res0")->data, bytes);
}

TEST(RegText, EncodingsOfTheText) {
    const std::string utf8 =
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\orvik\\Vantrel]\r\n\"p\"=\"背景.bmp\"\r\n";
    // UTF-8 with and without a byte order mark.
    EXPECT_EQ(parse(utf8).findKey(kKey)->find("p")->data, "背景.bmp");
    EXPECT_EQ(parse("\xEF\xBB\xBF" + utf8).findKey(kKey)->find("p")->data, "背景.bmp");
    // CP932, as an export from a Japanese system writes REGEDIT4 files.
    std::string sjis;
    ASSERT_TRUE(utf8ToCp932(utf8, sjis));
    ASSERT_FALSE(isValidUtf8(sjis));
    EXPECT_EQ(parse(sjis).findKey(kKey)->find("p")->data, "背景.bmp");
    // UTF-16LE with its byte order mark; a hex(2) string in it is UTF-16 too.
    const std::string u8 =
        "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\Software\\orvik\\Vantrel]\r\n"
        "\"x\"=hex(2):41,00,42,00,00,00\r\n";
    std::string u16 = "\xff\xfe";
    for (char c : u8) {
        u16 += c;
        u16 += '\0';
    }
    const RegDocument doc = parse(u16);
    ASSERT_NE(doc.findKey(kKey), nullptr);
    EXPECT_EQ(doc.findKey(kKey)->find("x")->kind, RegValueKind::String);
    EXPECT_EQ(doc.findKey(kKey)->find("x")->data, "AB");
}

TEST(RegText, ImportRulesAndBadLines) {
    const std::string text =
        "REGEDIT4\n"
        "[HKEY_CURRENT_USER\\Software\\orvik\\Vantrel]\n"
        "\"a\"=dword:00000001\n"
        "\"b\"=dword:00000002\n"
        "\"a\"=dword:00000003\n"  // a later value replaces the earlier one
        "\"b\"=-\n"               // and "=-" removes it
        "\"bad\"=dword:123456789\n"
        "\"bad2\"=hex:1g\n"
        "garbage\n"
        "[HKEY_USERS\\S-1-5-21-1\\Software\\orvik\\Vantrel]\n"  // another user's hive: the same key
        "\"c\"=\"x\"\n"
        "[HKEY_CURRENT_USER\\Software\\gone]\n"
        "\"z\"=dword:1\n"
        "[-HKEY_CURRENT_USER\\Software\\gone]\n";
    RegParseResult r;
    const RegDocument doc = parse(text, &r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.skippedLines, (std::vector<int>{7, 8, 9}));
    const RegKey* k = doc.findKey(kKey);
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->find("a")->dword, 3u);
    EXPECT_EQ(k->find("b"), nullptr);
    EXPECT_NE(k->find("c"), nullptr);
    EXPECT_EQ(doc.findKey("HKEY_CURRENT_USER\\Software\\gone"), nullptr);
    EXPECT_EQ(doc.keys.size(), 1u);

    // Without the header nothing is read.
    RegDocument none;
    EXPECT_FALSE(parseRegText("[HKEY_CURRENT_USER\\Software\\orvik\\Vantrel]\n\"a\"=dword:1\n", none).ok);
    EXPECT_TRUE(none.keys.empty());
}

TEST(RegText, StringsEndAtTheirFirstZeroHoweverWritten) {
    const std::string text =
        std::string("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\orvik\\Vantrel]\n\"a\"=\"ab") +
        std::string(1, '\0') + "cd\"\n\"b\"=hex(1):61,62,00,63,00\n";
    const RegDocument doc = parse(text);
    ASSERT_NE(doc.findKey(kKey), nullptr);
    EXPECT_EQ(doc.findKey(kKey)->find("a")->data, "ab");
    EXPECT_EQ(doc.findKey(kKey)->find("b")->data, "ab");
    EXPECT_EQ(parse(serialiseRegText(doc)).findKey(kKey)->find("a")->data, "ab");
}

TEST(RegText, TextThatAQuotedStringCannotHoldGoesOutAsBytes) {
    RegDocument doc;
    doc.key(kKey).set(RegValue::makeString("f", "two\nlines"));
    const std::string out = serialiseRegText(doc);
    EXPECT_NE(out.find("\"f\"=hex(1):"), std::string::npos);
    EXPECT_EQ(parse(out).findKey(kKey)->find("f")->data, "two\nlines");
}
