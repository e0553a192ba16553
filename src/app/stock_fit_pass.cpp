#include "app/stock_fit_pass.h"

#include <cmath>

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
    Interpreter interp(Dialect::forMachine(options.kind), program, env, collector);
    const InterpretResult r = interp.run();
    if (r.end == PlayEnd::Budget || collector.cutShort()) scan.notice = kMsgStockFitCutShort;
    // The interpreter works in the program's values; on a lathe programmed in diameter they are halved.
    const double d = options.diameterDivisor;
    if (d > 0 && std::isfinite(d) && d != 1) {
        scan.extent.min.x /= d;
        scan.extent.max.x /= d;
    }
    return scan;
}

}  // namespace vantrel
