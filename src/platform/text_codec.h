#pragma once
// Text encodings at the edges of the program: program files written by Windows tools, tool files and
// the serial line carry CP932 (Shift_JIS as Windows writes it); inside the program all text is UTF-8.
//
// Decoding never fails and never loses a byte: a byte sequence that is not CP932, or that would not
// come back as the same bytes (CP932 has a few characters with two codes), is kept as private-use
// characters U+10FF00 + byte, which encoding turns back into the original byte. A file read as CP932
// and written back unchanged is therefore identical byte for byte.
#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

enum class TextEncoding { Utf8, Cp932 };

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// The offset of the first byte that cannot be CP932 text (a lead byte without its second byte), or
// npos. Single bytes that Windows maps to characters of their own (0x80, 0xA0, 0xFD to 0xFF) and
// two-byte codes without an assigned character pass: decoding keeps them byte for byte.
std::size_t findNonCp932(std::string_view bytes);

// CP932 bytes to UTF-8 (see above for bytes without a faithful mapping).
std::string cp932ToUtf8(std::string_view bytes);

// UTF-8 text to CP932. Returns false when a character has no CP932 form; `badOffset` (when given) then
// receives the byte offset of that character in `text`, and `out` holds what was converted before it.
bool utf8ToCp932(std::string_view text, std::string& out, std::size_t* badOffset = nullptr);

}  // namespace vantrel
