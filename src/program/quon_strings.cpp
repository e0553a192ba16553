#include "program/quon_strings.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <iterator>
#include <new>
#include <utility>

#include "platform/atomic_file.h"

namespace vantrel {

namespace {

const std::string kEmpty;
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kNulNul = std::string_view("\0\0", 2);

enum class Breaks { Any, LfOnly, CrOnly };

// Calls line(text) for every piece ended by a line break and returns what follows the last break.
template <typename F>
std::string_view splitLines(std::string_view t, Breaks breaks, F&& line) {
    std::size_t start = 0, i = 0, n = t.size();
    while (i < n) {
        char c = t[i];
        bool isBreak = false;
        std::size_t next = i + 1;
        if (c == '\n') {
            isBreak = breaks != Breaks::CrOnly;
        } else if (c == '\r') {
            if (breaks == Breaks::CrOnly) {
                isBreak = true;
            } else if (breaks == Breaks::Any) {
                isBreak = true;
                if (next < n && t[next] == '\n') ++next;
            }
        }
        if (isBreak) {
            line(t.substr(start, i - start));
            start = next;
        }
        i = next;
    }
    return t.substr(start);
}

std::string withTerminator(std::string_view text, std::string_view term) {
    std::string s;
    s.reserve(text.size() + 2);
    s.append(text);
    s.append(term);
    return s;
}

}  // namespace

TQuonStrings::TQuonStrings() {
    lines_.emplace_back();
}

const std::string& TQuonStrings::Get(int32_t i) const {
    if (i < 0 || i >= count()) return kEmpty;
    return lines_[static_cast<std::size_t>(i)];
}

bool TQuonStrings::indexError() {
    error_ = kIndexError;
    return false;
}

void TQuonStrings::growForOne() {
    if (lines_.size() == lines_.capacity()) {
        std::size_t step = std::max<std::size_t>(lines_.size() / 128, 32);
        lines_.reserve(lines_.capacity() + step);
    }
}

bool TQuonStrings::Put(int32_t i, std::string line) {
    if (i < 0 || i >= count()) return indexError();
    lines_[static_cast<std::size_t>(i)] = std::move(line);
    return true;
}

int32_t TQuonStrings::Add(std::string line) {
    growForOne();
    lines_.push_back(std::move(line));
    return count() - 1;
}

bool TQuonStrings::Insert(int32_t i, std::string line) {
    if (i < 0 || i > count()) return indexError();
    growForOne();
    lines_.insert(lines_.begin() + i, std::move(line));
    return true;
}

bool TQuonStrings::Delete(int32_t i) {
    if (i < 0 || i >= count()) return indexError();
    lines_.erase(lines_.begin() + i);
    return true;
}

void TQuonStrings::Clear() {
    std::vector<std::string>().swap(lines_);
    pendingCr_ = false;
}

std::string TQuonStrings::Text() const {
    std::size_t total = 0;
    for (const auto& l : lines_) total += l.size();
    std::string out;
    out.reserve(total);
    for (int32_t i = 0; i < count(); ++i) {
        out.append(lineText(i));
        if (i + 1 < count()) out.append(kCrLf);
    }
    return out;
}

void TQuonStrings::SetText(std::string_view text) {
    std::vector<std::string> fresh;
    fresh.reserve(text.size() / 28 + 1);
    std::string_view rest =
        splitLines(text, Breaks::Any, [&](std::string_view l) { fresh.push_back(withTerminator(l, kCrLf)); });
    fresh.push_back(rest.empty() ? std::string() : withTerminator(rest, kNulNul));
    lines_.swap(fresh);
    pendingCr_ = false;
}

bool TQuonStrings::InsertText(int32_t at, std::string_view text) {
    if (at < 0 || at > count()) return indexError();
    std::vector<std::string> pieces;
    std::string_view rest = splitLines(
        text, Breaks::Any, [&](std::string_view l) { pieces.push_back(withTerminator(l, kCrLf)); });
    if (!rest.empty()) {
        // Followed by existing lines it needs a break of its own, or saving would join the two.
        pieces.push_back(withTerminator(rest, at < count() ? kCrLf : kNulNul));
    }
    lines_.insert(lines_.begin() + at, std::make_move_iterator(pieces.begin()),
                  std::make_move_iterator(pieces.end()));
    return true;
}

void TQuonStrings::appendToLastLine(std::string_view text) {
    if (lines_.empty()) lines_.emplace_back();
    std::size_t i = 0;
    if (pendingCr_ && !text.empty() && text[0] == '\n') i = 1;
    pendingCr_ = false;
    while (i < text.size()) {
        std::size_t brk = text.find_first_of("\r\n", i);
        std::string_view piece =
            text.substr(i, brk == std::string_view::npos ? std::string_view::npos : brk - i);
        std::string cur(lineText(count() - 1));
        cur.append(piece);
        if (brk == std::string_view::npos) {
            lines_.back() = cur.empty() ? std::string() : withTerminator(cur, kNulNul);
            break;
        }
        lines_.back() = withTerminator(cur, kCrLf);
        Add(std::string());
        i = brk + 1;
        if (text[brk] == '\r') {
            if (i < text.size() && text[i] == '\n') {
                ++i;
            } else if (i == text.size()) {
                pendingCr_ = true;
            }
        }
    }
}

std::string TQuonStrings::CommaText() const {
    std::string out;
    for (int32_t i = 0; i < count(); ++i) {
        std::string_view t = lineText(i);
        if (i > 0) out.push_back(',');
        if (t.find_first_of(" ,") != std::string_view::npos) {
            out.push_back('"');
            out.append(t);
            out.push_back('"');
        } else {
            out.append(t);
        }
    }
    return out;
}

void TQuonStrings::SetCommaText(std::string_view text) {
    std::size_t end = text.find_first_of("\r\n");
    if (end != std::string_view::npos) text = text.substr(0, end);
    std::vector<std::string> items;
    std::size_t i = 0;
    while (true) {
        std::string item;
        if (i < text.size() && text[i] == '"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        item.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item.push_back(text[i++]);
            }
            // Anything between the closing quote and the next comma belongs to the item.
            while (i < text.size() && text[i] != ',') item.push_back(text[i++]);
        } else {
            while (i < text.size() && text[i] != ',') item.push_back(text[i++]);
        }
        items.push_back(std::move(item));
        if (i >= text.size()) break;
        ++i;  // the comma
    }
    std::vector<std::string> fresh;
    fresh.reserve(items.size());
    for (std::size_t k = 0; k < items.size(); ++k) {
        bool last = k + 1 == items.size();
        if (last && items[k].empty() && k > 0) {
            fresh.emplace_back();
        } else {
            fresh.push_back(withTerminator(items[k], last ? kNulNul : kCrLf));
        }
    }
    if (fresh.size() == 1 && items[0].empty()) fresh[0].clear();
    lines_.swap(fresh);
    pendingCr_ = false;
}

int32_t TQuonStrings::IndexOf(std::string_view line) const {
    for (int32_t i = 0; i < count(); ++i) {
        if (lines_[static_cast<std::size_t>(i)] == line) return i;
    }
    return -1;
}

void TQuonStrings::LoadFromBytes(std::string_view bytes) {
    std::string decoded;
    std::string_view text = bytes;
    encoding_ = TextEncoding::Utf8;
    if (!isValidUtf8(bytes)) {
        decoded = cp932ToUtf8(bytes);
        text = decoded;
        encoding_ = TextEncoding::Cp932;
    }
    pendingCr_ = false;
    std::vector<std::string> fresh;
    if (text.empty()) {
        fresh.emplace_back();
        lines_.swap(fresh);
        return;
    }
    // The first line break decides the convention: LF text, CR LF text (where a lone CR or LF also
    // breaks a line) or CR text. A CR in LF text and an LF in CR text stay in the line.
    Breaks breaks = Breaks::CrOnly;
    std::size_t first = text.find_first_of("\r\n");
    if (first != std::string_view::npos) {
        if (text[first] == '\n') {
            breaks = Breaks::LfOnly;
        } else if (first + 1 < text.size() && text[first + 1] == '\n') {
            breaks = Breaks::Any;
        }
    }
    fresh.reserve(bytes.size() / 28 + 1);
    std::string_view rest =
        splitLines(text, breaks, [&](std::string_view l) { fresh.push_back(withTerminator(l, kCrLf)); });
    fresh.push_back(rest.empty() ? std::string() : withTerminator(rest, kNulNul));
    fresh.shrink_to_fit();
    lines_.swap(fresh);
}

namespace {

// Why `bytes` is not a program text, or empty when it is one: a NUL byte (a binary file) or bytes that
// are neither UTF-8 nor CP932. The place is given as line and byte so the user can look at it.
std::string notTextReason(std::string_view bytes) {
    auto where = [&](std::size_t at) {
        const auto line =
            1 + std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at), '\n');
        return "（" + std::to_string(line) + " 行目、" + std::to_string(at + 1) + " バイト目）";
    };
    if (auto nul = bytes.find('\0'); nul != std::string_view::npos)
        return "テキストではありません: NUL バイトがあります" + where(nul);
    if (isValidUtf8(bytes)) return {};
    const std::size_t bad = findNonCp932(bytes);
    if (bad == std::string_view::npos) return {};
    char hex[16];
    std::string seq;
    for (std::size_t k = bad; k < bytes.size() && k < bad + 2; ++k) {
        std::snprintf(hex, sizeof hex, "%s0x%02X", seq.empty() ? "" : " ",
                      static_cast<unsigned char>(bytes[k]));
        seq += hex;
    }
    return "テキストではありません: UTF-8 でも Shift_JIS (CP932) でもないバイト列 " + seq + " があります" +
           where(bad);
}

}  // namespace

bool TQuonStrings::LoadFromFile(const std::string& path, std::string* message) {
    const std::string head = "ファイル「" + path + "」を読み込めませんでした。";
    try {
        std::string bytes, err;
        if (!readWholeFile(path, bytes, &err)) {
            if (message) *message = head + (err.empty() ? "" : "\n" + err);
            return false;
        }
        if (std::string why = notTextReason(bytes); !why.empty()) {
            if (message) *message = head + "\n" + why;
            return false;
        }
        TQuonStrings fresh;
        fresh.LoadFromBytes(bytes);
        swap(fresh);
        error_.clear();
        return true;
    } catch (const std::bad_alloc&) {
        // A file within the size limit can still need more memory than is left: the program stays.
        if (message) *message = head + "\nメモリが足りません";
        return false;
    }
}

bool TQuonStrings::LoadFromStream(std::istream& in, std::string* message) {
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        if (message) *message = "テキストを読み込めませんでした。";
        return false;
    }
    TQuonStrings fresh;
    fresh.LoadFromBytes(bytes);
    swap(fresh);
    return true;
}

bool TQuonStrings::fileImage(std::string& bytes) const {
    std::string text = Text();
    if (encoding_ == TextEncoding::Utf8) {
        bytes.swap(text);
        return true;
    }
    return utf8ToCp932(text, bytes);
}

bool TQuonStrings::SaveToFile(const std::string& path, std::string* message) {
    std::string bytes;
    bool fellBack = false;
    if (!fileImage(bytes)) {
        bytes = Text();
        fellBack = true;
    }
    std::string err;
    if (!writeFileAtomically(path, bytes, &err)) {
        if (message)
            *message = "ファイル「" + path + "」に保存できませんでした。" + (err.empty() ? "" : "\n" + err);
        return false;
    }
    if (fellBack) {
        encoding_ = TextEncoding::Utf8;
        if (message) *message = "Shift_JIS で表せない文字があるため、UTF-8 で保存しました。";
    } else if (message) {
        message->clear();
    }
    return true;
}

void TQuonStrings::swap(TQuonStrings& other) noexcept {
    lines_.swap(other.lines_);
    std::swap(encoding_, other.encoding_);
    std::swap(pendingCr_, other.pendingCr_);
    error_.swap(other.error_);
}

}  // namespace vantrel
