#pragma once
// Character classes for word movement and word deletion, and display widths for the wrapped layout.
//
// A word is a run of characters of one class. The class is taken from the character's CP932 code, so a
// program behaves the same whether its file was read as UTF-8 or as CP932:
//   0 hiragana (0x829F-0x82FF)            1 katakana (0x8340-0x8396)
//   2 kanji and every other code, single bytes 0x80-0xA5, characters CP932 cannot express
//   3 full-width digits and letters (0x824F-0x829E)
//   4 full-width symbols, Greek, Cyrillic, rules (0x8140-0x824E, 0x8397-0x889E)
//   5 half-width katakana (single bytes 0xA6-0xDF)
//   6 "0"-"9" and single bytes 0x40-0x7F
//   7 single bytes below "0", 0x3A-0x3F and 0xE0-0xFF
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vantrel {

// Decodes the UTF-8 character starting at `pos` (pos < text.size()); `len` receives its byte length
// (1 for a malformed byte, which then stands for itself as U+10FF00 + byte).
char32_t decodeUtf8At(std::string_view text, std::size_t pos, std::size_t* len);
// Byte offset of the start of the character before `pos` (pos > 0).
std::size_t previousCharStart(std::string_view text, std::size_t pos);
// Byte offset just past the character at `pos` (pos < text.size()).
std::size_t nextCharEnd(std::string_view text, std::size_t pos);

// The class of a CP932 code: a single byte (0x00-0xFF) or a double-byte code (lead * 256 + trail).
int charClassOfCp932(uint32_t code);
// The class of a character of the UTF-8 text.
int charClass(char32_t c);

// Columns a character takes on screen: 1 for a character CP932 writes as one byte (ASCII, half-width
// katakana, a byte kept as itself), 2 for everything else.
inline int charColumns(char32_t c) {
    if (c < 0x80) return 1;
    if (c >= 0xFF61 && c <= 0xFF9F) return 1;
    if (c >= 0x10FF00 && c <= 0x10FFFF) return 1;
    return 2;
}

}  // namespace vantrel
