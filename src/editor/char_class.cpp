#include "editor/char_class.h"

#include <string>

#include "platform/text_codec.h"

namespace vantrel {

char32_t decodeUtf8At(std::string_view s, std::size_t pos, std::size_t* len) {
    auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c0 = b(pos);
    auto fallback = [&]() -> char32_t {
        *len = 1;
        return c0 < 0x80 ? c0 : static_cast<char32_t>(0x10FF00 + c0);
    };
    if (c0 < 0x80) {
        *len = 1;
        return c0;
    }
    std::size_t n = 0;
    char32_t cp = 0;
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        n = 2;
        cp = c0 & 0x1F;
    } else if (c0 >= 0xE0 && c0 <= 0xEF) {
        n = 3;
        cp = c0 & 0x0F;
    } else if (c0 >= 0xF0 && c0 <= 0xF4) {
        n = 4;
        cp = c0 & 0x07;
    } else {
        return fallback();
    }
    if (pos + n > s.size()) return fallback();
    for (std::size_t i = 1; i < n; ++i) {
        const unsigned char ci = b(pos + i);
        if ((ci & 0xC0) != 0x80) return fallback();
        cp = (cp << 6) | (ci & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are single bytes of their own.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return fallback();
    *len = n;
    return cp;
}

std::size_t previousCharStart(std::string_view s, std::size_t pos) {
    if (pos == 0) return 0;
    // Step back over at most three continuation bytes and check the lead decodes to end at pos.
    for (std::size_t back = 2; back <= 4 && back <= pos; ++back) {
        const std::size_t start = pos - back;
        const unsigned char c = static_cast<unsigned char>(s[start]);
        if ((c & 0xC0) == 0x80) continue;
        std::size_t len = 0;
        decodeUtf8At(s, start, &len);
        if (start + len == pos) return start;
        break;
    }
    return pos - 1;
}

std::size_t nextCharEnd(std::string_view s, std::size_t pos) {
    if (pos >= s.size()) return s.size();
    std::size_t len = 0;
    decodeUtf8At(s, pos, &len);
    return pos + len;
}

int charClassOfCp932(uint32_t code) {
    if (code <= 0xFF) {
        if (code < '0') return 7;
        if (code <= '9') return 6;
        if (code <= 0x3F) return 7;
        if (code <= 0x7F) return 6;
        if (code <= 0xA5) return 2;
        if (code <= 0xDF) return 5;
        return 7;
    }
    if (code >= 0x829F && code <= 0x82FF) return 0;
    if (code >= 0x8340 && code <= 0x8396) return 1;
    if (code >= 0x824F && code <= 0x829E) return 3;
    if ((code >= 0x8140 && code <= 0x824E) || (code >= 0x8397 && code <= 0x889E)) return 4;
    return 2;
}

int charClass(char32_t c) {
    if (c < 0x80) return charClassOfCp932(c);
    if (c >= 0x10FF00 && c <= 0x10FFFF) return charClassOfCp932(c - 0x10FF00);
    // Encode the one character as UTF-8 and ask the codec for its CP932 form.
    char buf[4];
    std::size_t n;
    if (c < 0x800) {
        buf[0] = static_cast<char>(0xC0 | (c >> 6));
        buf[1] = static_cast<char>(0x80 | (c & 0x3F));
        n = 2;
    } else if (c < 0x10000) {
        buf[0] = static_cast<char>(0xE0 | (c >> 12));
        buf[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        buf[2] = static_cast<char>(0x80 | (c & 0x3F));
        n = 3;
    } else {
        buf[0] = static_cast<char>(0xF0 | (c >> 18));
        buf[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        buf[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        buf[3] = static_cast<char>(0x80 | (c & 0x3F));
        n = 4;
    }
    std::string out;
    if (!utf8ToCp932(std::string_view(buf, n), out) || out.empty()) return 2;
    if (out.size() == 1) return charClassOfCp932(static_cast<unsigned char>(out[0]));
    return charClassOfCp932(static_cast<uint32_t>(static_cast<unsigned char>(out[0])) << 8 |
                            static_cast<unsigned char>(out[1]));
}

}  // namespace vantrel
