#include "dnc/code_conversion.h"

#include <array>

#include "platform/text_codec.h"

namespace vantrel {

namespace {

struct EiaEntry {
    char c;
    uint8_t code;
};

// The EIA tape code of the controllers (bit 4, 0x10, is the odd-parity channel; 0x80 ends a block).
constexpr EiaEntry kEia[] = {
    {'0', 0x20}, {'1', 0x01}, {'2', 0x02}, {'3', 0x13}, {'4', 0x04}, {'5', 0x15}, {'6', 0x16}, {'7', 0x07},
    {'8', 0x08}, {'9', 0x19}, {'A', 0x61}, {'B', 0x62}, {'C', 0x73}, {'D', 0x64}, {'E', 0x75}, {'F', 0x76},
    {'G', 0x67}, {'H', 0x68}, {'I', 0x79}, {'J', 0x51}, {'K', 0x52}, {'L', 0x43}, {'M', 0x54}, {'N', 0x45},
    {'O', 0x46}, {'P', 0x57}, {'Q', 0x58}, {'R', 0x49}, {'S', 0x32}, {'T', 0x23}, {'U', 0x34}, {'V', 0x25},
    {'W', 0x26}, {'X', 0x37}, {'Y', 0x38}, {'Z', 0x29}, {' ', 0x10}, {'%', 0x0B}, {'&', 0x0E}, {'(', 0x1A},
    {')', 0x4A}, {'+', 0x70}, {',', 0x3B}, {'-', 0x40}, {'.', 0x6B}, {'/', 0x31},
};
constexpr uint8_t kEiaEndOfBlock = 0x80;  // also what ';' is sent as
constexpr uint8_t kEiaCr = 0x0B;
constexpr uint8_t kIsoEndOfBlock = 0x0A;
constexpr uint8_t kIsoCr = 0x8D;

// Reception table of EIA: byte -> character (0: not a character).
const std::array<char, 256>& eiaReverse() {
    static const std::array<char, 256> t = [] {
        std::array<char, 256> r{};
        for (const auto& e : kEia) r[e.code] = e.c;
        return r;
    }();
    return t;
}

bool inIsoSendSet(char c) {
    if (c >= '0' && c <= '9') return true;
    if (c >= 'A' && c <= 'Z') return true;
    if (c == ' ' || c == '@') return true;
    if (c >= '"' && c <= '/') return true;  // " # $ % & ' ( ) * + , - . /
    if (c >= ':' && c <= '?') return true;  // : ; < = > ?
    return false;
}

uint8_t withEvenParity(uint8_t seven) {
    int ones = __builtin_popcount(seven & 0x7F);
    return static_cast<uint8_t>((seven & 0x7F) | ((ones & 1) ? 0x80 : 0x00));
}

// Reception table of ISO: byte (with its parity bit) -> character.
const std::array<char, 256>& isoReverse() {
    static const std::array<char, 256> t = [] {
        std::array<char, 256> r{};
        for (int c = 0x20; c < 0x7F; ++c)
            if (inIsoSendSet(static_cast<char>(c)) || c == '!' || c == '[' || c == ']')
                r[withEvenParity(static_cast<uint8_t>(c))] = static_cast<char>(c);
        return r;
    }();
    return t;
}

bool isCp932Lead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The line as the machine's character set holds it. A character CP932 has no form for keeps its UTF-8
// bytes (nothing of the line is dropped).
std::string lineBytes(std::string_view utf8) {
    std::string out;
    while (!utf8.empty()) {
        std::string part;
        std::size_t bad = 0;
        if (utf8ToCp932(utf8, part, &bad)) {
            out += part;
            break;
        }
        out += part;
        std::size_t len = 1;
        const auto lead = static_cast<uint8_t>(utf8[bad]);
        if (lead >= 0xF0)
            len = 4;
        else if (lead >= 0xE0)
            len = 3;
        else if (lead >= 0xC0)
            len = 2;
        len = std::min(len, utf8.size() - bad);
        out.append(utf8.substr(bad, len));
        utf8.remove_prefix(bad + len);
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

TransferCode transferCodeFromComboIndex(int index) {
    switch (index) {
        case 0:
            return TransferCode::Eia;
        case 2:
            return TransferCode::Ascii;
        case 3:
            return TransferCode::Hex;
        default:
            return TransferCode::Iso;
    }
}

int comboIndexFromTransferCode(TransferCode code) {
    switch (code) {
        case TransferCode::Eia:
            return 0;
        case TransferCode::Iso:
            return 1;
        case TransferCode::Ascii:
            return 2;
        case TransferCode::Hex:
            return 3;
    }
    return 1;
}

bool parseTransferCode(std::string_view name, TransferCode& code) {
    if (name == "eia")
        code = TransferCode::Eia;
    else if (name == "iso")
        code = TransferCode::Iso;
    else if (name == "ascii")
        code = TransferCode::Ascii;
    else if (name == "hex")
        code = TransferCode::Hex;
    else
        return false;
    return true;
}

uint8_t eiaCode(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const auto& e : kEia)
        if (e.c == c) return e.code;
    if (c == ';') return kEiaEndOfBlock;
    return 0;
}

uint8_t isoCode(char c) {
    return inIsoSendSet(c) ? withEvenParity(static_cast<uint8_t>(c)) : 0;
}

std::string encodeProgramStart(TransferCode code) {
    switch (code) {
        case TransferCode::Eia:
            return std::string("\x0B\x80", 2);
        case TransferCode::Iso:
            return std::string("\xA5\x0A", 2);
        case TransferCode::Ascii:
            return std::string("%\n", 2);
        case TransferCode::Hex:
            return {};
    }
    return {};
}

std::string encodeLine(std::string_view line, TransferCode code, bool cr) {
    std::string out;
    if (code == TransferCode::Hex) {
        int high = -1;
        for (char c : line) {
            int d = hexDigit(c);
            if (d < 0) {
                high = -1;  // a lone digit before a separator is not a byte
                continue;
            }
            if (high < 0) {
                high = d;
            } else {
                out.push_back(static_cast<char>(high * 16 + d));
                high = -1;
            }
        }
        return out;
    }
    const std::string bytes = lineBytes(line);
    out.reserve(bytes.size() + 4);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        // A double-byte character goes unchanged as a whole: its second byte may look like a letter.
        if (isCp932Lead(b) && i + 1 < bytes.size()) {
            out.push_back(bytes[i]);
            out.push_back(bytes[++i]);
            continue;
        }
        uint8_t sent = b;
        if (code == TransferCode::Eia) {
            if (uint8_t e = eiaCode(static_cast<char>(b))) sent = e;
        } else if (code == TransferCode::Iso) {
            if (uint8_t e = isoCode(static_cast<char>(b))) sent = e;
        }
        out.push_back(static_cast<char>(sent));
    }
    out.push_back('\0');
    switch (code) {
        case TransferCode::Eia:
            if (cr) out.push_back(static_cast<char>(kEiaCr));
            out.push_back(static_cast<char>(kEiaEndOfBlock));
            break;
        case TransferCode::Iso:
            if (cr) out.push_back(static_cast<char>(kIsoCr));
            out.push_back(static_cast<char>(kIsoEndOfBlock));
            break;
        case TransferCode::Ascii:
            if (cr) out.push_back('\r');
            out.push_back('\n');
            break;
        case TransferCode::Hex:
            break;
    }
    return out;
}

std::string encodeProgram(const std::vector<std::string>& lines, TransferCode code, bool eor, bool cr) {
    std::string out = eor ? encodeProgramStart(code) : std::string();
    for (const auto& l : lines) out += encodeLine(l, code, cr);
    return out;
}

ReceiveDecoder::ReceiveDecoder(TransferCode code, bool sevenBit, std::string lineBuffer)
    : code_(code), sevenBit_(sevenBit), lineBuffer_(std::move(lineBuffer)) {
    if (code_ != TransferCode::Hex) lineBuffer_.clear();
}

std::string ReceiveDecoder::decode(std::string_view bytes) {
    std::string out;
    switch (code_) {
        case TransferCode::Eia: {
            const auto& t = eiaReverse();
            for (char ch : bytes) {
                const auto b = static_cast<uint8_t>(ch);
                if (b == kEiaEndOfBlock)
                    out.push_back('\n');
                else if (char c = t[b])
                    out.push_back(c);
            }
            break;
        }
        case TransferCode::Iso: {
            const auto& t = isoReverse();
            for (char ch : bytes) {
                auto b = static_cast<uint8_t>(ch);
                // A 7-bit line delivers the characters without their parity bit.
                if (sevenBit_) b = withEvenParity(b);
                if (b == kIsoEndOfBlock)
                    out.push_back('\n');
                else if (char c = t[b])
                    out.push_back(c);
            }
            break;
        }
        case TransferCode::Hex: {
            static const char* kDigits = "0123456789ABCDEF";
            for (char ch : bytes) {
                const auto b = static_cast<uint8_t>(ch);
                if (lineBuffer_.size() >= 30) {
                    out += lineBuffer_;
                    out.push_back('\n');
                    lineBuffer_.clear();
                }
                lineBuffer_.push_back(kDigits[b >> 4]);
                lineBuffer_.push_back(kDigits[b & 15]);
                lineBuffer_.push_back(' ');
            }
            break;
        }
        case TransferCode::Ascii: {
            // Tape feed (0x00), the flow-control characters and other control bytes are not text;
            // tabs and line breaks are.
            std::string raw = pendingLead_;
            pendingLead_.clear();
            raw.reserve(raw.size() + bytes.size());
            for (char ch : bytes) {
                const auto b = static_cast<uint8_t>(ch);
                if (b < 0x20 && b != '\t' && b != '\r' && b != '\n') continue;
                if (b == 0x7F) continue;
                raw.push_back(ch);
            }
            std::size_t end = raw.size();
            for (std::size_t i = 0; i < raw.size(); ++i) {
                if (!isCp932Lead(static_cast<uint8_t>(raw[i]))) continue;
                if (i + 1 == raw.size()) {
                    end = i;  // its second byte comes with the next chunk
                    break;
                }
                ++i;
            }
            pendingLead_ = raw.substr(end);
            out = cp932ToUtf8(std::string_view(raw).substr(0, end));
            break;
        }
    }
    return out;
}

std::string ReceiveDecoder::finish() {
    std::string out;
    if (code_ == TransferCode::Hex) out.swap(lineBuffer_);
    if (!pendingLead_.empty()) out += cp932ToUtf8(pendingLead_);
    pendingLead_.clear();
    return out;
}

std::string decodeAll(std::string_view bytes, TransferCode code, bool sevenBit) {
    ReceiveDecoder d(code, sevenBit);
    std::string text = d.decode(bytes);
    return text + d.finish();
}

}  // namespace vantrel
