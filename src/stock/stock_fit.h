#pragma once
// Fitting the stock to the program's tool path: a light scan of the program text collects the extent
// of the cutting moves (feeds and arcs; rapids and reference returns only move), and the stock is set
// to that box.
//
// The scan reads the program through `ProgramLines` and its numbers through a `WordValueReader`, so it
// can share the interpreter's number reader; `readNcWordValue` is the reading rule of the program text
// (a number without a decimal point counts in thousandths) for callers that have no other.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/machine_kind.h"
#include "core/vec3.h"
#include "stock/stock_spec.h"

namespace vantrel {

class ProgramLines {
  public:
    virtual ~ProgramLines() = default;
    virtual int lineCount() const = 0;
    virtual std::string_view line(int index) const = 0;
};

class VectorProgramLines : public ProgramLines {
  public:
    explicit VectorProgramLines(std::vector<std::string> lines) : lines_(std::move(lines)) {}
    int lineCount() const override { return static_cast<int>(lines_.size()); }
    std::string_view line(int index) const override { return lines_[static_cast<size_t>(index)]; }

  private:
    std::vector<std::string> lines_;
};

struct WordValue {
    double value = 0;
    size_t consumed = 0;
    bool hadDecimal = false;
    bool hadDigits = false;
};
// Reads the number that starts at `pos` (0-based, the character after the address letter).
using WordValueReader = std::function<WordValue(std::string_view text, size_t pos)>;
WordValue readNcWordValue(std::string_view text, size_t pos);

// The box of the visited points, opened per axis by the first point that touches it.
struct PathExtent {
    Vec3 min{}, max{};
    bool open[3] = {false, false, false};

    bool any() const { return open[0] || open[1] || open[2]; }
    void widen(int axis, double v);
    void add(const Vec3& p) {
        widen(0, p.x);
        widen(1, p.y);
        widen(2, p.z);
    }
};

struct FitScanContext {
    Vec3 start;                // the present tool position
    Vec3 referencePoint;       // machine reference point (G28)
    double xDivisor = 1;       // X words are divided by it (the lathe's diameter programming)
    int maxLines = 2'000'000;  // line visits before the scan gives up (a program that never ends)
};

inline constexpr int kFitSubprogramDepth = 11;

// Scans the whole program and returns the extent of its cutting moves.
PathExtent scanProgramExtent(const ProgramLines& lines, const FitScanContext& ctx,
                             const WordValueReader& reader = readNcWordValue);

// Sets the stock from an extent (axes without positive extent get 10). Returns false, changing
// nothing, when the extent holds no point at all.
bool fitStockToExtent(StockSpec& stock, MachineKind kind, PathExtent extent);

}  // namespace vantrel
