// Random programs through the interpreter (scanner, ApplyBlock, the compensation and the steppers) with a
// step budget: no crash, no position that is not a number, and every run ends within the budget.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "nc/motion.h"
#include "nc/trace.h"
#include "program/quon_strings.h"

namespace {

using namespace vantrel;

constexpr int64_t kStepBudget = 200000;
constexpr int64_t kBlockBudget = 2000;

class CheckingSink : public MotionSink {
  public:
    int64_t events = 0;
    void onPiece(const MotionSegment& p, int32_t) override {
        check(p.start);
        check(p.end);
        ++events;
    }
    void onStep(const Vec3& pos, bool) override {
        check(pos);
        ++events;
    }
    void onMoveEnd(const Vec3& end) override { check(end); }

  private:
    static void check(const Vec3& p) {
        if (!isFinite(p)) std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the machine and the tool diameter; the rest is the program text.
    uint8_t head = size > 0 ? data[0] : 0;
    TraceOptions opt;
    opt.machine = static_cast<MachineKind>(head % 5);
    opt.toolDiameter = static_cast<double>(head >> 3);  // 0 .. 31 mm
    opt.stepBudget = kStepBudget;
    opt.blockBudget = kBlockBudget;
    std::string text(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
    TQuonStrings program;
    program.SetText(text);
    CheckingSink sink;
    TraceResult r = traceProgram(program, opt, sink);
    if (!isFinite(r.end) || !std::isfinite(r.cuttingTime)) std::abort();
    // Steps and moves both count against the budget, so the events stay bounded (pieces that make no
    // steps are bounded by the block budget times the pieces of one block).
    if (sink.events > kStepBudget + kBlockBudget * 50 + 100000) std::abort();
    return 0;
}
