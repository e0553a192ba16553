#include "dnc/code_conversion.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "program/quon_strings.h"

namespace vantrel {
namespace {

std::string hex(std::string_view bytes) {
    std::string s;
    char b[4];
    for (char c : bytes) {
        std::snprintf(b, sizeof b, "%02X ", static_cast<unsigned char>(c));
        s += b;
    }
    if (!s.empty()) s.pop_back();
    return s;
}

TEST(CodeConversion, TheControllersByteExamples) {
    EXPECT_EQ(hex(encodeLine("G01X-1.5", TransferCode::Iso, false)), "47 30 B1 D8 2D B1 2E 35 00 0A");
    EXPECT_EQ(hex(encodeProgram({"M30"}, TransferCode::Eia, true, true)), "0B 80 54 13 20 00 0B 80");
    EXPECT_EQ(hex(encodeProgramStart(TransferCode::Iso)), "A5 0A");
    EXPECT_EQ(hex(encodeLine("M30", TransferCode::Iso, true)), "4D 33 30 00 8D 0A");
    EXPECT_EQ(hex(encodeLine("G1", TransferCode::Ascii, false)), "47 31 00 0A");
    EXPECT_EQ(hex(encodeProgramStart(TransferCode::Ascii)), "25 0A");
    EXPECT_EQ(encodeProgramStart(TransferCode::Hex), "");
}

TEST(CodeConversion, IsoParityIsEvenOverTheWholeSet) {
    for (int c = 0x20; c < 0x7F; ++c) {
        uint8_t b = isoCode(static_cast<char>(c));
        if (!b) continue;
        EXPECT_EQ(b & 0x7F, c);
        EXPECT_EQ(__builtin_popcount(b) % 2, 0) << c;
    }
    EXPECT_EQ(isoCode('a'), 0);  // not in the set: sent unchanged
    EXPECT_EQ(hex(encodeLine("x", TransferCode::Iso, false)), "78 00 0A");
}

TEST(CodeConversion, EiaSendsLowerCaseAsUpperCaseAndSemicolonAsEndOfBlock) {
    EXPECT_EQ(encodeLine("g01x1", TransferCode::Eia, false), encodeLine("G01X1", TransferCode::Eia, false));
    EXPECT_EQ(hex(encodeLine(";", TransferCode::Eia, false)), "80 00 80");
    // A character outside the table goes unchanged.
    EXPECT_EQ(hex(encodeLine("*", TransferCode::Eia, false)), "2A 00 80");
}

TEST(CodeConversion, DoubleByteCharactersGoUnchangedAsAWhole) {
    // "サ" is 83 54 in CP932; its second byte must not become the EIA code of 'T'.
    EXPECT_EQ(hex(encodeLine("(サ)", TransferCode::Eia, false)), "1A 83 54 4A 00 80");
    EXPECT_EQ(hex(encodeLine("(サ)", TransferCode::Iso, false)), "28 83 54 A9 00 0A");
    // ASCII carries the comment through the CP932 edge and back.
    EXPECT_EQ(decodeAll(encodeLine("O1(φ10 エンドミル)", TransferCode::Ascii, false), TransferCode::Ascii),
              "O1(φ10 エンドミル)\n");
}

TEST(CodeConversion, ReceptionExamples) {
    EXPECT_EQ(decodeAll("\x67\x20\x01\x80", TransferCode::Eia), "G01\n");
    ReceiveDecoder hexDec(TransferCode::Hex);
    std::string bytes;
    for (int i = 0; i < 25; ++i) bytes.push_back(static_cast<char>(i));
    std::string text = hexDec.decode(bytes);
    EXPECT_EQ(text,
              "00 01 02 03 04 05 06 07 08 09 \n"
              "0A 0B 0C 0D 0E 0F 10 11 12 13 \n");
    EXPECT_EQ(hexDec.lineBuffer(), "14 15 16 17 18 ");
    // ISO reception also takes ! [ ] and ignores bytes outside the table (wrong parity included).
    EXPECT_EQ(decodeAll("\x21\xDB\xDD\x31\x0A", TransferCode::Iso), "![]\n");
}

TEST(CodeConversion, SevenBitLineComparesTheLowSevenBits) {
    // On a 7-bit line the parity bit never arrives: "G1" is 47 31 rather than 47 B1.
    EXPECT_EQ(decodeAll("\x47\x31\x0A", TransferCode::Iso, true), "G1\n");
    EXPECT_EQ(decodeAll("\x47\x31\x0A", TransferCode::Iso, false), "G\n");
}

TEST(CodeConversion, ChunksDecodeLikeTheWholeStream) {
    const std::string text = "O1(φ10 エンドミル)\nG01 X-1.5 Y2.\nM30\n";
    TQuonStrings p;
    p.SetText(text);
    std::vector<std::string> lines;
    for (int i = 0; i + 1 < p.count(); ++i) lines.emplace_back(p.lineText(i));
    for (TransferCode c : {TransferCode::Eia, TransferCode::Iso, TransferCode::Ascii, TransferCode::Hex}) {
        const std::string bytes = encodeProgram(lines, c, false, false);
        for (std::size_t chunk : {1u, 2u, 3u, 7u}) {
            ReceiveDecoder d(c);
            std::string out;
            for (std::size_t i = 0; i < bytes.size(); i += chunk) out += d.decode(bytes.substr(i, chunk));
            out += d.finish();
            EXPECT_EQ(out, decodeAll(bytes, c)) << static_cast<int>(c) << " chunk " << chunk;
        }
    }
}

TEST(CodeConversion, HexSendsTheDumpItShows) {
    const std::string bytes("\x00\x11\x7F\x80\xFF\x41", 6);
    const std::string dump = decodeAll(bytes, TransferCode::Hex);
    EXPECT_EQ(dump, "00 11 7F 80 FF 41 ");
    EXPECT_EQ(encodeLine(dump, TransferCode::Hex, true), bytes);
    EXPECT_EQ(encodeLine("4 1 zz", TransferCode::Hex, false), "");  // lone digits are no byte
}

TEST(CodeConversion, AsciiDropsTapeFeedAndFlowControl) {
    EXPECT_EQ(decodeAll(std::string("G1\0\x11\x13\r\nX2", 9), TransferCode::Ascii), "G1\r\nX2");
    // A CP932 character split between two chunks comes out whole.
    ReceiveDecoder d(TransferCode::Ascii);
    EXPECT_EQ(d.decode("(\x83"), "(");
    EXPECT_EQ(d.decode("\x54)"), "サ)");
}

TEST(CodeConversion, ComboIndicesFollowTheItemOrder) {
    EXPECT_EQ(transferCodeFromComboIndex(0), TransferCode::Eia);
    EXPECT_EQ(transferCodeFromComboIndex(1), TransferCode::Iso);
    EXPECT_EQ(transferCodeFromComboIndex(2), TransferCode::Ascii);
    EXPECT_EQ(transferCodeFromComboIndex(3), TransferCode::Hex);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(comboIndexFromTransferCode(transferCodeFromComboIndex(i)), i);
}

}  // namespace
}  // namespace vantrel
