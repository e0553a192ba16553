#include "platform/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace vantrel {

namespace {

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`, appending to `out`. On failure returns false with `stopped` at the offset
    // of the first byte that could not be converted (what came before it is in `out`).
    bool convert(std::string_view in, std::string& out, std::size_t* stopped = nullptr) {
        if (!ok()) {
            if (stopped) *stopped = 0;
            return false;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* inp = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        std::size_t base = out.size();
        out.resize(base + in.size() * 2 + 16);
        char* outp = out.data() + base;
        std::size_t outLeft = out.size() - base;
        bool good = true;
        while (inLeft > 0) {
            std::size_t r = iconv(cd_, &inp, &inLeft, &outp, &outLeft);
            if (r != static_cast<std::size_t>(-1)) continue;
            if (errno == E2BIG) {
                std::size_t used = static_cast<std::size_t>(outp - out.data());
                out.resize(out.size() * 2 + 16);
                outp = out.data() + used;
                outLeft = out.size() - used;
                continue;
            }
            good = false;  // EILSEQ or EINVAL (a truncated sequence at the end)
            break;
        }
        if (good) {
            // Flush any shift state (none for these encodings, but harmless).
            if (outLeft < 16) {
                std::size_t used = static_cast<std::size_t>(outp - out.data());
                out.resize(out.size() + 16);
                outp = out.data() + used;
                outLeft = out.size() - used;
            }
            iconv(cd_, nullptr, nullptr, &outp, &outLeft);
        }
        out.resize(static_cast<std::size_t>(outp - out.data()));
        if (stopped) *stopped = in.size() - inLeft;
        return good;
    }

  private:
    iconv_t cd_;
};

constexpr unsigned char kEscapeLead0 = 0xF4, kEscapeLead1 = 0x8F;

void appendEscape(std::string& out, unsigned char b) {
    // U+10FF00 + b in UTF-8.
    out.push_back(static_cast<char>(kEscapeLead0));
    out.push_back(static_cast<char>(kEscapeLead1));
    out.push_back(static_cast<char>(0xBC + (b >> 6)));
    out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
}

// True when text[i..i+3] is an escaped byte; the byte is returned in `b`.
bool readEscape(std::string_view text, std::size_t i, unsigned char& b) {
    if (i + 4 > text.size()) return false;
    auto u = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    if (u(i) != kEscapeLead0 || u(i + 1) != kEscapeLead1) return false;
    unsigned char c2 = u(i + 2), c3 = u(i + 3);
    if (c2 < 0xBC || c2 > 0xBF || (c3 & 0xC0) != 0x80) return false;
    b = static_cast<unsigned char>(((c2 - 0xBC) << 6) | (c3 & 0x3F));
    return true;
}

bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool isTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t n = s.size(), i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i < len) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)) return false;  // overlong
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

std::size_t findNonCp932(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (!isLeadByte(p[i])) continue;
        if (i + 1 >= n || !isTrailByte(p[i + 1])) return i;
        ++i;
    }
    return std::string_view::npos;
}

std::string cp932ToUtf8(std::string_view bytes) {
    Converter dec("UTF-8", "CP932");
    Converter enc("CP932", "UTF-8");
    std::string out;
    // Fast path: the whole text converts and comes back unchanged.
    if (dec.convert(bytes, out)) {
        std::string back;
        if (enc.convert(out, back) && back == bytes) return out;
    }
    // Character by character, escaping whatever has no faithful mapping.
    out.clear();
    out.reserve(bytes.size() * 2);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size(), i = 0;
    std::string decoded, back;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        std::size_t len = (isLeadByte(c) && i + 1 < n && isTrailByte(p[i + 1])) ? 2 : 1;
        std::string_view unit = bytes.substr(i, len);
        decoded.clear();
        back.clear();
        if (dec.convert(unit, decoded) && enc.convert(decoded, back) && back == unit) {
            out += decoded;
        } else {
            for (std::size_t k = 0; k < len; ++k) appendEscape(out, p[i + k]);
        }
        i += len;
    }
    return out;
}

bool utf8ToCp932(std::string_view text, std::string& out, std::size_t* badOffset) {
    Converter enc("CP932", "UTF-8");
    out.clear();
    out.reserve(text.size());
    std::size_t start = 0, i = 0;
    auto flush = [&](std::size_t end) {
        if (end <= start) return true;
        std::size_t stopped = 0;
        if (enc.convert(text.substr(start, end - start), out, &stopped)) return true;
        if (badOffset) *badOffset = start + stopped;
        return false;
    };
    while (i < text.size()) {
        unsigned char b;
        if (static_cast<unsigned char>(text[i]) == kEscapeLead0 && readEscape(text, i, b)) {
            if (!flush(i)) return false;
            out.push_back(static_cast<char>(b));
            i += 4;
            start = i;
        } else {
            ++i;
        }
    }
    return flush(text.size());
}

}  // namespace vantrel
