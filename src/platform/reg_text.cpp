#include "platform/reg_text.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "platform/text_codec.h"

namespace vantrel {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalsNoCase(s.substr(0, prefix.size()), prefix);
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE to UTF-8; an unpaired surrogate becomes U+FFFD, an odd last byte is dropped.
std::string utf16leToUtf8(std::string_view b) {
    std::string out;
    out.reserve(b.size() / 2);
    const size_t n = b.size() / 2;
    auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<uint8_t>(b[2 * i])) |
               (static_cast<uint32_t>(static_cast<uint8_t>(b[2 * i + 1])) << 8);
    };
    for (size_t i = 0; i < n; ++i) {
        uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        appendUtf8(out, u);
    }
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted string with the export's two escapes (\\ and \") starting at s[i] == '"'. On success
// i is just past the closing quote.
bool readQuoted(std::string_view s, size_t& i, std::string& out) {
    if (i >= s.size() || s[i] != '"') return false;
    ++i;
    out.clear();
    while (i < s.size()) {
        char c = s[i++];
        if (c == '"') return true;
        if (c == '\\' && i < s.size()) c = s[i++];
        out += c;
    }
    return false;
}

// "xx,xx , xx" (possibly empty) to bytes.
bool readHexList(std::string_view s, std::string& out) {
    out.clear();
    s = trim(s);
    if (s.empty()) return true;
    size_t i = 0;
    for (;;) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        int hi = i < s.size() ? hexDigit(s[i]) : -1;
        if (hi < 0) return false;
        ++i;
        int lo = i < s.size() ? hexDigit(s[i]) : -1;
        int byte = hi;
        if (lo >= 0) {
            byte = hi * 16 + lo;
            ++i;
        }
        out += static_cast<char>(byte);
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i == s.size()) return true;
        if (s[i] != ',') return false;
        ++i;
        // A trailing comma (left by a joined continuation) ends the list.
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i == s.size()) return true;
    }
}

// Text of a hex(1)/hex(2) value: UTF-16LE in a version 5 file, the file's own text otherwise; ends at
// the first terminating zero.
std::string stringFromBytes(const std::string& bytes, bool utf16) {
    if (utf16) {
        std::string u = utf16leToUtf8(bytes);
        return u.substr(0, u.find('\0'));
    }
    std::string s = bytes.substr(0, bytes.find('\0'));
    return isValidUtf8(s) ? s : cp932ToUtf8(s);
}

// One value line (continuations already joined): "name"=... or @=...
// Returns false when it cannot be read. `remove` is set for "name"=-.
bool parseValueLine(std::string_view line, bool utf16, RegValue& v, bool& remove) {
    size_t i = 0;
    remove = false;
    v = RegValue{};
    if (line[0] == '@') {
        i = 1;
    } else if (!readQuoted(line, i, v.name)) {
        return false;
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size() || line[i] != '=') return false;
    std::string_view rest = trim(line.substr(i + 1));
    if (rest == "-") {
        remove = true;
        return true;
    }
    if (!rest.empty() && rest[0] == '"') {
        size_t j = 0;
        std::string text;
        if (!readQuoted(rest, j, text) || !trim(rest.substr(j)).empty()) return false;
        v.kind = RegValueKind::String;
        // The registry's strings end at their first zero, whichever way they were written.
        v.data = text.substr(0, text.find('\0'));
        return true;
    }
    if (startsWithNoCase(rest, "dword:")) {
        std::string_view d = trim(rest.substr(6));
        if (d.empty() || d.size() > 8) return false;
        uint32_t x = 0;
        for (char c : d) {
            int h = hexDigit(c);
            if (h < 0) return false;
            x = (x << 4) | static_cast<uint32_t>(h);
        }
        v.kind = RegValueKind::Dword;
        v.dword = x;
        return true;
    }
    if (startsWithNoCase(rest, "hex:")) {
        v.kind = RegValueKind::Binary;
        return readHexList(rest.substr(4), v.data);
    }
    if (startsWithNoCase(rest, "hex(")) {
        size_t close = rest.find(')');
        if (close == std::string_view::npos || close == 4 || close > 8 || close + 1 >= rest.size() ||
            rest[close + 1] != ':')
            return false;
        int type = 0;
        for (size_t k = 4; k < close; ++k) {
            int h = hexDigit(rest[k]);
            if (h < 0) return false;
            type = type * 16 + h;
        }
        std::string bytes;
        if (!readHexList(rest.substr(close + 2), bytes)) return false;
        if (type == 4 && bytes.size() == 4) {
            v.kind = RegValueKind::Dword;
            for (int k = 3; k >= 0; --k) v.dword = (v.dword << 8) | static_cast<uint8_t>(bytes[k]);
        } else if (type == 3) {
            v.kind = RegValueKind::Binary;
            v.data = std::move(bytes);
        } else if (type == 1 || type == 2) {
            v.kind = RegValueKind::String;
            v.data = stringFromBytes(bytes, utf16);
        } else {
            v.kind = RegValueKind::Other;
            v.otherType = type;
            v.data = std::move(bytes);
        }
        return true;
    }
    return false;
}

void appendQuoted(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

const char kHex[] = "0123456789abcdef";

// hex:... or hex(n):... wrapped at the width an export uses.
void appendHex(std::string& out, size_t lineStart, const std::string& prefix, std::string_view bytes) {
    out += prefix;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        out += kHex[b >> 4];
        out += kHex[b & 15];
        if (i + 1 < bytes.size()) {
            out += ',';
            if (out.size() - lineStart > 76) {
                out += "\\\r\n  ";
                lineStart = out.size() - 2;
            }
        }
    }
}

bool hasLineBreakOrZero(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

RegValue RegValue::makeDword(std::string name, uint32_t v) {
    RegValue r;
    r.name = std::move(name);
    r.kind = RegValueKind::Dword;
    r.dword = v;
    return r;
}

RegValue RegValue::makeBinary(std::string name, std::string bytes) {
    RegValue r;
    r.name = std::move(name);
    r.kind = RegValueKind::Binary;
    r.data = std::move(bytes);
    return r;
}

RegValue RegValue::makeString(std::string name, std::string text) {
    RegValue r;
    r.name = std::move(name);
    r.kind = RegValueKind::String;
    r.data = std::move(text);
    return r;
}

namespace {
std::string lowerName(std::string_view name) {
    std::string k(name);
    for (char& c : k) c = lowerAscii(c);
    return k;
}
}  // namespace

const RegValue* RegKey::lookup(std::string_view name) const {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1 || index_.size() != values.size()) {
            index_.clear();
            for (size_t i = 0; i < values.size(); ++i) index_.emplace(lowerName(values[i].name), i);
            if (index_.size() != values.size()) {
                // Two values of one name (only when `values` was filled directly): search them in order.
                for (const RegValue& v : values)
                    if (equalsNoCase(v.name, name)) return &v;
                return nullptr;
            }
        }
        auto it = index_.find(lowerName(name));
        if (it == index_.end()) return nullptr;
        // A hit on a value renamed in place since the index was built: rebuild once and look again.
        if (it->second < values.size() && equalsNoCase(values[it->second].name, name))
            return &values[it->second];
    }
    return nullptr;
}

const RegValue* RegKey::find(std::string_view name) const {
    return lookup(name);
}

RegValue* RegKey::find(std::string_view name) {
    return const_cast<RegValue*>(lookup(name));
}

void RegKey::set(RegValue v) {
    if (RegValue* old = find(v.name)) {
        *old = std::move(v);
    } else {
        index_.emplace(lowerName(v.name), values.size());
        values.push_back(std::move(v));
    }
}

void RegKey::remove(std::string_view name) {
    const RegValue* v = find(name);
    if (!v) return;
    values.erase(values.begin() + (v - values.data()));
    index_.clear();
}

const RegKey* RegDocument::findKey(std::string_view path) const {
    for (const RegKey& k : keys)
        if (regKeyPathMatches(k.path, path)) return &k;
    return nullptr;
}

RegKey& RegDocument::key(std::string_view path) {
    for (RegKey& k : keys)
        if (regKeyPathMatches(k.path, path)) return k;
    RegKey k;
    k.path = std::string(path);
    keys.push_back(std::move(k));
    return keys.back();
}

bool regKeyPathMatches(std::string_view path, std::string_view wanted) {
    if (equalsNoCase(path, wanted)) return true;
    constexpr std::string_view kUser = "HKEY_CURRENT_USER\\";
    constexpr std::string_view kUsers = "HKEY_USERS\\";
    if (startsWithNoCase(path, kUser) && startsWithNoCase(wanted, kUsers)) std::swap(path, wanted);
    if (!startsWithNoCase(wanted, kUser) || !startsWithNoCase(path, kUsers)) return false;
    // HKEY_USERS\<user>\rest
    std::string_view rest = path.substr(kUsers.size());
    size_t slash = rest.find('\\');
    if (slash == std::string_view::npos || slash == 0) return false;
    return equalsNoCase(rest.substr(slash + 1), wanted.substr(kUser.size()));
}

std::string decodeRegTextBytes(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE)
        return utf16leToUtf8(bytes.substr(2));
    if (bytes.size() >= 3 && static_cast<uint8_t>(bytes[0]) == 0xEF &&
        static_cast<uint8_t>(bytes[1]) == 0xBB && static_cast<uint8_t>(bytes[2]) == 0xBF)
        bytes.remove_prefix(3);
    else if (bytes.size() >= 4 && bytes[0] != 0 && bytes[1] == 0 && bytes[2] != 0 && bytes[3] == 0)
        return utf16leToUtf8(bytes);  // UTF-16LE that lost its byte order mark
    if (isValidUtf8(bytes)) return std::string(bytes);
    return cp932ToUtf8(bytes);
}

RegParseResult parseRegText(std::string_view bytes, RegDocument& doc) {
    RegParseResult result;
    const bool utf16 =
        (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
         static_cast<uint8_t>(bytes[1]) == 0xFE) ||
        (bytes.size() >= 4 && bytes[0] != 0 && bytes[1] == 0 && bytes[2] != 0 && bytes[3] == 0);
    const std::string text = decodeRegTextBytes(bytes);

    // Physical lines, split at LF (a CR before it is trimmed with the other trailing blanks).
    std::vector<std::string_view> lines;
    {
        std::string_view rest = text;
        while (!rest.empty()) {
            size_t nl = rest.find('\n');
            lines.push_back(rest.substr(0, nl));
            if (nl == std::string_view::npos) break;
            rest.remove_prefix(nl + 1);
        }
    }

    bool header = false;
    RegKey* current = nullptr;  // null: outside a key, or in a key being deleted
    for (size_t n = 0; n < lines.size(); ++n) {
        const int lineNo = static_cast<int>(n) + 1;
        std::string_view line = trim(lines[n]);
        if (line.empty() || line[0] == ';') continue;
        if (!header) {
            if (line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00") {
                header = true;
                continue;
            }
            return result;  // not a registry file: nothing is read
        }
        if (line[0] == '[') {
            current = nullptr;
            if (line.back() != ']' || line.size() < 3) {
                result.skippedLines.push_back(lineNo);
                continue;
            }
            std::string_view path = line.substr(1, line.size() - 2);
            if (path[0] == '-') {  // [-key]: the key is deleted on import
                std::string_view gone = path.substr(1);
                doc.keys.erase(
                    std::remove_if(doc.keys.begin(), doc.keys.end(),
                                   [&](const RegKey& k) { return regKeyPathMatches(k.path, gone); }),
                    doc.keys.end());
                continue;
            }
            current = &doc.key(path);
            continue;
        }
        // A value; binary data may continue over the following lines, each ending in '\'.
        std::string joined(line);
        size_t nameEnd = 0;
        std::string name;
        if (joined[0] != '"' || !readQuoted(joined, nameEnd, name)) nameEnd = 0;
        const size_t eq = joined.find('=', nameEnd);
        const bool hexValue =
            eq != std::string::npos && startsWithNoCase(trim(std::string_view(joined).substr(eq + 1)), "hex");
        while (hexValue && !joined.empty() && joined.back() == '\\' && n + 1 < lines.size()) {
            joined.pop_back();
            joined += trim(lines[++n]);
        }
        RegValue v;
        bool remove = false;
        if (!parseValueLine(joined, utf16, v, remove)) {
            result.skippedLines.push_back(lineNo);
            continue;
        }
        if (!current) continue;  // a value outside any key, or under a deleted key
        if (remove)
            current->remove(v.name);
        else
            current->set(std::move(v));
    }
    result.ok = header;
    return result;
}

std::string serialiseRegText(const RegDocument& doc) {
    std::string out = "REGEDIT4\r\n";
    for (const RegKey& k : doc.keys) {
        out += "\r\n[";
        out += k.path;
        out += "]\r\n";
        for (const RegValue& v : k.values) {
            const size_t lineStart = out.size();
            if (v.name.empty())
                out += '@';
            else
                appendQuoted(out, v.name);
            out += '=';
            switch (v.kind) {
                case RegValueKind::Dword: {
                    out += "dword:";
                    for (int s = 28; s >= 0; s -= 4) out += kHex[(v.dword >> s) & 15];
                    break;
                }
                case RegValueKind::Binary:
                    appendHex(out, lineStart, "hex:", v.data);
                    break;
                case RegValueKind::String:
                    // A quoted string cannot hold a line break: such text goes out as hex(1) bytes.
                    if (hasLineBreakOrZero(v.data))
                        appendHex(out, lineStart, "hex(1):", v.data + std::string(1, '\0'));
                    else
                        appendQuoted(out, v.data);
                    break;
                case RegValueKind::Other: {
                    std::string prefix = "hex(";
                    const int t = v.otherType & 0xFFFF;
                    bool lead = false;
                    for (int s = 12; s >= 0; s -= 4) {
                        const int d = (t >> s) & 15;
                        if (d || lead || s == 0) {
                            prefix += kHex[d];
                            lead = true;
                        }
                    }
                    prefix += "):";
                    appendHex(out, lineStart, prefix, v.data);
                    break;
                }
            }
            out += "\r\n";
        }
    }
    out += "\r\n";
    return out;
}

}  // namespace vantrel
