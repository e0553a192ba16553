#include "nc/block_scanner.h"

#include <cmath>
#include <cstring>

#include "core/rounding.h"
#include "program/quon_strings.h"

namespace vantrel {

namespace {

// Character classes of the scanner: 0..25 letters, 30 "#", 31 "/", kOpen "(", kSkip everything else
// (including every byte of a non-ASCII character).
constexpr uint8_t kSkip = 255, kOpen = 254;

struct ClassTable {
    uint8_t c[256];
    constexpr ClassTable() : c{} {
        for (int i = 0; i < 256; ++i) c[i] = kSkip;
        for (int i = 0; i < 26; ++i) {
            c['A' + i] = static_cast<uint8_t>(i);
            c['a' + i] = static_cast<uint8_t>(i);
        }
        c[static_cast<unsigned char>('#')] = kCodeSharp;
        c[static_cast<unsigned char>('/')] = kCodeSlash;
        c[static_cast<unsigned char>('(')] = kOpen;
    }
};
constexpr ClassTable kClass;

constexpr bool isExactCode(WordCode code) {
    switch (code) {
        case kCodeG:
        case kCodeH:
        case kCodeL:
        case kCodeM:
        case kCodeN:
        case kCodeO:
        case kCodeP:
        case kCodeS:
        case kCodeT:
            return true;
        default:
            return false;
    }
}

void indexLabels(const TQuonStrings& program, ScanState& st) {
    st.labelIndex.clear();
    const bool nToo = st.labelLetters == LabelLetters::NAndO;
    for (int32_t line = 0; line < program.count(); ++line) {
        std::string_view t = program.lineText(line);
        for (std::size_t i = 0; i < t.size(); ++i) {
            char c = t[i];
            bool mark = c == 'O' || c == 'o' || (nToo && (c == 'N' || c == 'n'));
            if (!mark) continue;
            int32_t label = ParseLabelNumber(t, i + 1);
            st.labelIndex.try_emplace(label, line);
        }
    }
    st.labelsIndexed = true;
}

void performCall(const TQuonStrings& program, ScanState& st, int32_t callingLine) {
    // A call beyond the stack's room is ignored like a call whose label is not found.
    if (st.stack.depth >= SubprogramStack::kCapacity || st.stack.depth < 0) return;
    if (!st.labelsIndexed) indexLabels(program, st);
    auto it = st.labelIndex.find(RoundHalfAway(st.lastP));
    if (it == st.labelIndex.end()) return;
    st.stack.returnLine[static_cast<std::size_t>(st.stack.depth)] = callingLine;
    ++st.stack.depth;
    st.nextLine = it->second;
}

}  // namespace

char wordLetter(WordCode code) {
    if (code >= 0 && code < 26) return static_cast<char>('A' + code);
    if (code == kCodeSharp) return '#';
    if (code == kCodeSlash) return '/';
    return '?';
}

ParsedNumber ParseWordValue(std::string_view line, std::size_t pos) {
    ParsedNumber r;
    double whole = 0, frac = 0, divisor = 10;
    std::size_t i = pos;
    const std::size_t n = line.size();
    for (; i < n; ++i) {
        char c = line[i];
        if (c >= '0' && c <= '9') {
            int d = c - '0';
            r.hadDigits = true;
            if (!r.hadDecimal) {
                whole = whole * 10 + d;
                if (whole > kMaxWordMagnitude) whole = kMaxWordMagnitude;
            } else if (divisor <= 1e18) {
                // Digits beyond the 18th decimal place cannot change a double here.
                frac += d / divisor;
                divisor *= 10;
            }
        } else if (c == ' ' || c == '+') {
        } else if (c == '-') {
            r.negative = true;
        } else if (c == '.') {
            r.hadDecimal = true;
        } else {
            break;
        }
    }
    r.consumed = static_cast<int32_t>(i - pos);
    r.integer = whole;
    double v = whole + frac;
    if (r.hadDigits && !r.hadDecimal) v /= 1000;
    if (r.negative) {
        v = -v;
        r.integer = -r.integer;
    }
    r.value = v;
    return r;
}

int32_t ParseLabelNumber(std::string_view line, std::size_t pos, int32_t* consumed) {
    double whole = 0, frac = 0, divisor = 10;
    bool digits = false, decimal = false;
    std::size_t i = pos;
    for (; i < line.size(); ++i) {
        char c = line[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (!decimal) {
                whole = whole * 10 + (c - '0');
                if (whole > kMaxWordMagnitude) whole = kMaxWordMagnitude;
            } else if (divisor <= 1e18) {
                frac += (c - '0') / divisor;
                divisor *= 10;
            }
        } else if (c == '.' && !decimal) {
            decimal = true;
        } else {
            break;  // also a second "."
        }
    }
    if (consumed) *consumed = static_cast<int32_t>(i - pos);
    if (!digits) return 0;
    if (!decimal) return saturatingToInt32(whole);
    return saturatingToInt32(std::nearbyint((whole + frac) * 100));
}

double scaleWordValue(WordCode code, const ParsedNumber& n) {
    if (code == kCodeD || code == kCodeF) {
        if (n.hadDecimal) return code == kCodeF ? n.value + kFeedDecimalMarker : n.value;
        if (!n.hadDigits) return 0.0;
        const double whole = static_cast<double>(RoundHalfAway(n.integer));
        // An F without decimal point must never reach the marker and be taken for one with it.
        if (code == kCodeF && whole >= kFeedDecimalMarker) return kFeedDecimalMarker - 1;
        return whole;
    }
    if (isExactCode(code)) {
        if (n.hadDecimal || !n.hadDigits) return n.value;
        return n.integer;
    }
    return n.value;
}

void ScanLine(std::string_view text, int32_t lineIndex, ScanState& st, BlockWords& out) {
    out.line = lineIndex;
    const char* p = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        if (st.inComment) {
            const void* close = std::memchr(p + i, ')', n - i);
            if (!close) return;
            st.inComment = false;
            i = static_cast<std::size_t>(static_cast<const char*>(close) - p) + 1;
            continue;
        }
        const uint8_t cls = kClass.c[static_cast<unsigned char>(p[i])];
        if (cls == kSkip) {
            ++i;
            continue;
        }
        if (cls == kOpen) {
            st.inComment = true;
            ++i;
            continue;
        }
        if (cls == kCodeSlash) {
            out.append(kCodeSlash, 0.0);
            ++i;
            continue;
        }
        const WordCode code = cls;
        const ParsedNumber num = ParseWordValue(text, i + 1);
        const double v = scaleWordValue(code, num);
        out.append(code, v);  // beyond the 30th word only the scanning effects below remain
        i += 1 + static_cast<std::size_t>(num.consumed);
        if (code == kCodeP) {
            st.lastP = v;
        } else if (code == kCodeM) {
            const int32_t m = RoundHalfAway(v);
            if (m == 98) {
                st.callPending = true;
            } else if (m == 99) {
                if (st.stack.depth > 0) {
                    --st.stack.depth;
                    st.nextLine = st.stack.returnLine[static_cast<std::size_t>(st.stack.depth)];
                } else {
                    st.programEnded = true;
                    out.programEnd = true;
                }
            }
        }
    }
}

void FetchBlock(const TQuonStrings& program, ScanState& st, BlockQueue& queue) {
    queue.shift();
    BlockWords& e = queue.newest();
    const int32_t last = program.count() - 1;
    st.exhausted = false;
    if (last < 0 || st.programEnded) {
        e.line = last < 0 ? 0 : last;
        st.exhausted = true;
        return;
    }
    if (st.nextLine < 0) st.nextLine = 0;
    if (st.nextLine > last) st.nextLine = last;
    do {
        const int32_t cur = st.nextLine;
        st.callPending = false;
        ScanLine(program.lineText(cur), cur, st, e);
        if (st.callPending && !st.inComment) performCall(program, st, cur);
        ++st.nextLine;
    } while (e.count == 0 && st.nextLine <= last && !st.programEnded);
    if (st.nextLine > last) {
        st.nextLine = last;
        st.exhausted = true;
    }
}

}  // namespace vantrel
