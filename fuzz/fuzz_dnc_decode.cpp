// Bytes from the line in every tape code. The first byte picks the code, a 7-bit line and the chunk
// size the watcher would hand over; the rest is what the machine sent. Decoding a chunk at a time must
// give what decoding the whole stream gives, the text must be valid UTF-8 that the program store
// takes, EIA and ISO text must hold only characters of their tables, and sending that text again
// must come back as the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dnc/code_conversion.h"
#include "platform/text_codec.h"
#include "program/quon_strings.h"

using namespace vantrel;

namespace {
void check(bool ok) {
    if (!ok) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t head = data[0];
    const auto code = static_cast<TransferCode>(head & 3);
    const bool sevenBit = (head & 4) != 0;
    const std::size_t chunk = (head >> 3) + 1u;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    ReceiveDecoder d(code, sevenBit);
    TQuonStrings store;
    store.Clear();
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += chunk) {
        const std::string part = d.decode(bytes.substr(i, chunk));
        check(isValidUtf8(part));
        store.appendToLastLine(part);
        text += part;
        check(d.lineBuffer().size() <= 30);
    }
    const std::string rest = d.finish();
    check(isValidUtf8(rest));
    text += rest;
    check(text == decodeAll(bytes, code, sevenBit));
    for (int32_t i = 0; i + 1 < store.count(); ++i) check(TQuonStrings::isTerminated(store.Get(i)));

    if (code == TransferCode::Eia || code == TransferCode::Iso) {
        std::vector<std::string> lines;
        std::string cur;
        for (char c : text) {
            if (c == '\n') {
                lines.push_back(cur);
                cur.clear();
                continue;
            }
            check(code == TransferCode::Eia ? eiaCode(c) != 0
                                            : (isoCode(c) != 0 || c == '!' || c == '[' || c == ']'));
            cur.push_back(c);
        }
        // '!', '[' and ']' are received but never sent in ISO; leave those streams at this.
        if (code == TransferCode::Iso && text.find_first_of("![]") != std::string::npos) return 0;
        std::string again = encodeProgram(lines, code, false, false);
        if (!cur.empty()) {
            std::string last = encodeLine(cur, code, false);
            last.resize(last.size() - 2);  // no end of block: the line was still open
            again += last;
        }
        check(decodeAll(again, code, false) == text);
    }
    return 0;
}
