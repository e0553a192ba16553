#include "cli/blocks_command.h"

#include <charconv>
#include <iostream>
#include <ostream>

#include "nc/block_scanner.h"
#include "program/quon_strings.h"

namespace vantrel {

namespace {

void appendNumber(std::string& s, double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    s.append(buf, r.ptr);
}

}  // namespace

std::string blockJson(const BlockWords& b) {
    std::string s = "{\"line\": ";
    s += std::to_string(b.line);
    s += ", \"words\": [";
    for (int i = 0; i < b.count; ++i) {
        if (i > 0) s += ", ";
        s += "[\"";
        s += wordLetter(b.codes[static_cast<std::size_t>(i)]);
        s += "\", ";
        appendNumber(s, b.values[static_cast<std::size_t>(i)]);
        s += ']';
    }
    s += "]}";
    return s;
}

int64_t writeBlocksJson(const TQuonStrings& program, std::ostream& out) {
    ScanState st;
    st.startPass(0);
    BlockQueue q;
    // The scanner always ends (the text runs out or the main program's M99 is met); the limit only
    // guards against a program whose calls and returns would keep it busy for hours.
    const int64_t limit = 100 * static_cast<int64_t>(program.count()) + 100000;
    int64_t printed = 0;
    for (int64_t k = 0; k < limit; ++k) {
        FetchBlock(program, st, q);
        if (q[0].count > 0) {
            out << blockJson(q[0]) << '\n';
            ++printed;
        }
        if (st.exhausted || st.programEnded) break;
    }
    return printed;
}

int runBlocksCommand(const std::string& path, std::ostream& out, std::ostream& err) {
    TQuonStrings program;
    std::string message;
    if (!program.LoadFromFile(path, &message)) {
        err << "vantrel-sim blocks: " << message << '\n';
        return 1;
    }
    writeBlocksJson(program, out);
    out.flush();
    return 0;
}

int runBlocksCommand(const std::string& path, std::ostream& out) {
    return runBlocksCommand(path, out, std::cerr);
}

}  // namespace vantrel
