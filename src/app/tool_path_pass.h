#pragma once
// The tool-path display's pass: the whole program run through the interpreter with compensation not
// applied and no stepping, its pieces collected as path runs (scene/tool_path.h).
//
// It reads the same program store as the play and learns the moves only through the interpreter's
// machine actions, so the path shows what a play would do, less the compensation offset: feeds solid,
// rapids dotted (left out with "補間経路描画時Ｇ００無視", except the legs of G28 and of the cycles),
// blocks under G41 / G42 in their own colour, cycles as a dotted approach and a solid plunge, and on a
// lathe every feed a second time mirrored across the spindle axis.
#include <cstddef>
#include <cstdint>

#include "core/machine_kind.h"
#include "core/vec3.h"
#include "program/quon_strings.h"
#include "scene/tool_path.h"

namespace vantrel {

struct ToolPathOptions {
    MachineKind kind = MachineKind::VerticalMill;
    bool skipRapids = false;     // menu_g0
    double diameterDivisor = 1;  // 2 on a lathe programmed in diameter: X values are halved
    Vec3 start{0, 0, 435};       // where the tool stands
    Vec3 reference{0, 0, 500};   // the machine reference point (G28), without tool length

    bool operator==(const ToolPathOptions&) const = default;
};

// One pass over the program.
ToolPathData buildToolPath(const TQuonStrings& program, const ToolPathOptions& options);

// The path of the program as it stands: made again only when the text or the options changed since
// the last call, so every repaint can ask for it.
class ToolPathCache {
  public:
    const ToolPathData& get(const TQuonStrings& program, const ToolPathOptions& options);
    int64_t passes() const { return passes_; }

  private:
    ToolPathData data_;
    ToolPathOptions options_;
    size_t textHash_ = 0;
    int32_t lines_ = -1;
    int64_t passes_ = 0;
};

}  // namespace vantrel
