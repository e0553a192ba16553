// Random cycle blocks and profiles through the lathe's multiple repetitive cycles: no crash, every
// position a number, no cycle beyond the move guard, a refused cycle without moves, and every cycle
// that moves ends where it started.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "program/quon_strings.h"
#include "nc/lathe_cycles.h"

namespace {

using namespace vantrel;
using namespace vantrel::lathe::mrc;

constexpr int kMaxCycleBlocks = 64;

bool finite(Pt p) {
    return std::isfinite(p.x) && std::isfinite(p.z);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes pick the programming (diameter, radius, reversed X), the motion code in force,
    // compensation and the start point; the rest is the program text.
    if (size < 4) return 0;
    static constexpr double kDivisors[] = {2, 1, -2, -1};
    CallState call;
    call.diameterDivisor = kDivisors[data[0] & 3];
    call.motion = (data[0] >> 2) & 3;
    call.compensationActive = (data[0] & 16) != 0;
    call.feed = 0.1 * (data[1] & 15);
    Pt start{static_cast<double>(static_cast<int8_t>(data[2])),
             static_cast<double>(static_cast<int8_t>(data[3])) / 4};
    TQuonStrings program;
    program.SetText(std::string(reinterpret_cast<const char*>(data) + 4, size - 4));
    const ProgramTextOf<TQuonStrings> text(program);

    MrcModal modal;
    ScanState st;
    st.startPass(0);
    int cycles = 0;
    for (int32_t line = 0; line < program.count() && cycles < kMaxCycleBlocks; ++line) {
        BlockWords b;
        ScanLine(program.lineText(line), line, st, b);
        if (cycleCode(b) == 0) continue;
        ++cycles;
        CycleResult r = runCycleBlock(text, b, start, call, modal);
        if (r.moves.size() > kMaxMoves) std::abort();
        for (const CycleMove& m : r.moves)
            if (!finite(m.to) || !finite(m.centre) || !std::isfinite(m.feed)) std::abort();
        switch (r.action) {
            case CycleResult::Action::Alarm:
                if (!r.moves.empty() || r.alarm.text.empty()) std::abort();
                break;
            case CycleResult::Action::Moves:
                if (!r.moves.empty() &&
                    std::hypot(r.moves.back().to.x - start.x, r.moves.back().to.z - start.z) >
                        1e-6 * (1 + std::fabs(start.x) + std::fabs(start.z)))
                    std::abort();
                if (r.nextLine != -1 && (r.nextLine <= line || r.nextLine > program.count())) std::abort();
                break;
            case CycleResult::Action::Finish:
                if (r.finishFrom < 0 || r.finishTo < r.finishFrom || r.finishTo >= program.count())
                    std::abort();
                break;
            case CycleResult::Action::Store:
                break;
        }
    }
    return 0;
}
