#include "app/stock_fit_pass.h"

#include <algorithm>
#include <cmath>

#include "core/rounding.h"
#include "nc/interpreter.h"
#include "nc/modal_state.h"

namespace vantrel {

namespace {

// Widens the extent by the pieces the interpreter runs, told apart by the block's modal state.
class ExtentCollector : public MachineActions {
  public:
    ExtentCollector(PathExtent& extent, Shared<bool>& stop, int64_t pieceBudget)
        : extent_(extent), budget_(stop, pieceBudget) {}

    bool cutShort() const { return budget_.spent(); }

    void modalChanged(const ModalState& m, const BlockWords&) override { cycle_ = m.cycle != 80; }

    void onPiece(const MotionSegment& piece, int32_t) override {
        if (!budget_.take()) return;
        if (piece.moveKind == kMoveRapid) return;
        if (cycle_) {
            // The plunges of a cycle reach the hole bottom; its feeds back up stay inside the hole.
            if (piece.end.z < piece.start.z) extent_.add(piece.end);
            return;
        }
        extent_.add(piece.end);
        if (piece.moveKind == kMoveArcCW || piece.moveKind == kMoveArcCCW) {
            const PlaneAxes ax = planeAxes(piece.plane);
            widenByArc(extent_, piece.start, piece.end, piece.centre, piece.radius,
                       piece.moveKind == kMoveArcCCW, piece.turns > 0, ax.a, ax.b);
        }
    }

  private:
    PathExtent& extent_;
    PieceBudget budget_;
    bool cycle_ = false;
};

}  // namespace

PathExtentScan scanProgramExtent(const TQuonStrings& program, const StockFitOptions& options) {
    PathExtentScan scan;
    Shared<bool> stop{false};
    ExtentCollector collector(scan.extent, stop, options.pieceBudget);
    ToolPosition tool;
    tool.set(options.start);
    InterpreterEnv env;
    env.tool = &tool;
    env.stopRequested = &stop;
    env.motion.programmedPath = true;
    env.motion.stepPlay = true;  // one plunge per hole, no pecks
    env.motion.referencePoint = options.reference;
    env.motion.totalLength = 0;
    env.blockBudget = options.blockBudget;
    // The turning dialect reads X in the machine's unit (diameter or radius, reversed or not), so the
    // extent comes out in radii as the tool moves, the same as the path display.
    TurningProgramming lathe;
    const double d = std::isfinite(options.diameterDivisor) ? options.diameterDivisor : 2.0;
    lathe.diameterDivisor = static_cast<int8_t>(std::clamp(RoundHalfAway(d), -2, 2));
    if (lathe.diameterDivisor == 0) lathe.diameterDivisor = 2;
    Interpreter interp(Dialect::forMachine(options.kind, lathe), program, env, collector);
    const InterpretResult r = interp.run();
    if (r.end == PlayEnd::Budget || collector.cutShort()) scan.notice = kMsgStockFitCutShort;
    return scan;
}

}  // namespace vantrel
