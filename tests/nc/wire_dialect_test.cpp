// The wire EDM's dialect against the mills' on the same programs: what its words do not do (tool
// change, spindle speed, helical arcs, N labels, the start block) and where its offset comes from.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "nc/interpreter.h"
#include "nc/motion_recorder.h"
#include "nc/trace.h"
#include "program/quon_strings.h"

namespace vantrel {
namespace {

// Records what is shown, by value.
struct ShownValues : ModalDisplay {
    std::vector<std::pair<ModalValue, std::string>> values;
    int toolChanges = 0;
    void value(ModalValue which, const std::string& text) override { values.emplace_back(which, text); }
    void toolChanged() override { ++toolChanges; }
    bool shown(ModalValue which) const {
        for (const auto& v : values)
            if (v.first == which) return true;
        return false;
    }
};

// The pieces of movement, with their source lines.
struct PieceRecorder : MachineActions {
    std::vector<MotionRecorder::Piece> pieces;
    void onPiece(const MotionSegment& piece, int32_t line) override { pieces.push_back({piece, line}); }
};

struct WireRun {
    PieceRecorder rec;
    StandInModalHooks hooks;
    ShownValues shown;
    InterpretResult result;
};

// Three tools of diameters 4, 6 and 8 (T1 to T3); the program runs from line `startLine`.
WireRun run(MachineKind kind, const std::string& text, int32_t startLine = 0) {
    WireRun r;
    r.hooks.tools = {{1, 4, 100}, {2, 6, 100}, {3, 8, 100}};
    r.hooks.atc = true;
    TQuonStrings program;
    program.SetText(text);
    InterpreterEnv env;
    env.hooks = &r.hooks;
    env.display = &r.shown;
    env.startLine = startLine;
    Interpreter interp(Dialect::forMachine(kind), program, env, r.rec);
    r.result = interp.run();
    return r;
}

constexpr MachineKind kWire = MachineKind::WireEdm;
constexpr MachineKind kMill = MachineKind::VerticalMill;

TEST(WireDialect, ToolWordsOnlySetRegisters) {
    const std::string text = "%\nT2\nM06\nS1500 M03\nG01 X10. F100\nM30\n";
    WireRun mill = run(kMill, text);
    EXPECT_EQ(mill.hooks.animations, (std::vector<std::pair<int32_t, int32_t>>{{0, 1}}));
    EXPECT_EQ(mill.hooks.loads, std::vector<int32_t>{1});
    EXPECT_TRUE(mill.shown.shown(ModalValue::SpeedG96) || mill.shown.shown(ModalValue::SpeedG97));

    // T2 M06 on the wire: no selection, no change, no animation, no move to the change height.
    WireRun wire = run(kWire, text);
    EXPECT_TRUE(wire.hooks.animations.empty());
    EXPECT_TRUE(wire.hooks.loads.empty());
    EXPECT_TRUE(wire.hooks.zMoves.empty());
    EXPECT_EQ(wire.hooks.current, 0);
    EXPECT_EQ(wire.shown.toolChanges, 0);
    EXPECT_FALSE(wire.shown.shown(ModalValue::NextTool));
    EXPECT_FALSE(wire.shown.shown(ModalValue::SpeedG96));
    EXPECT_FALSE(wire.shown.shown(ModalValue::SpeedG97));
    // The selected entry (index 0) is shown as the wire's tool at the start of the pass.
    ASSERT_FALSE(wire.shown.values.empty());
    EXPECT_EQ(wire.shown.values.front(), std::make_pair(ModalValue::LoadedTool, std::string("01")));
    EXPECT_EQ(wire.result.end, PlayEnd::M30);
}

TEST(WireDialect, HelicalArcCodesAreNotRead) {
    // G2.1 after G01: the mills turn it into an arc, the wire keeps the line.
    const std::string text = "%\nG90 G17 G01 X10. Y0 F100\nG2.1 X0 Y10. I-10. J0\nM30\n";
    WireRun mill = run(kMill, text);
    WireRun wire = run(kWire, text);
    ASSERT_EQ(mill.rec.pieces.size(), 2u);
    ASSERT_EQ(wire.rec.pieces.size(), 2u);
    EXPECT_EQ(mill.rec.pieces[1].segment.moveKind, kMoveArcCW);
    EXPECT_EQ(wire.rec.pieces[1].segment.moveKind, kMoveLine);
    EXPECT_EQ(wire.rec.pieces[1].segment.end, Vec3(0, 10, 0));
}

TEST(WireDialect, SubprogramsAreFoundByOLabelsOnly) {
    const std::string withN = "%\nM98 P100\nM30\nN100\nG01 X5. F100\nM99\n";
    EXPECT_EQ(run(kMill, withN).rec.pieces.size(), 1u);  // the mills accept the N label
    WireRun wire = run(kWire, withN);
    EXPECT_TRUE(wire.rec.pieces.empty());  // the call is ignored
    EXPECT_EQ(wire.result.end, PlayEnd::M30);

    WireRun withO = run(kWire, "%\nM98 P100\nM30\nO100\nG01 X5. F100\nM99\n");
    ASSERT_EQ(withO.rec.pieces.size(), 1u);
    EXPECT_EQ(withO.rec.pieces[0].segment.end, Vec3(5, 0, 0));
}

TEST(WireDialect, EveryPassStartsAtTheFirstLine) {
    const std::string text = "%\nG01 X10. F100\nG01 Y20.\nM30\n";
    ASSERT_EQ(run(kMill, text, 2).rec.pieces.size(), 1u);  // the mills start at the chosen block
    WireRun wire = run(kWire, text, 2);
    ASSERT_EQ(wire.rec.pieces.size(), 2u);
    EXPECT_EQ(wire.rec.pieces[0].segment.end, Vec3(10, 0, 0));
}

// The Y of the wire along the first contour side, walked in +X with the wire on the left (+Y).
double offsetOf(const WireRun& r) {
    for (const auto& p : r.rec.pieces)
        if (p.line == 3) return p.segment.start.y;
    ADD_FAILURE() << "no piece of the contour line";
    return NAN;
}

TEST(WireDialect, DNamesTheMillingStoreEntryAndStrayNumbersFallBack) {
    // The lead-in ends at (0,0) under G41; the next side runs in +X, so the wire stands at +radius.
    auto program = [](const std::string& d) {
        return "%\nG90 G17 G00 X-10. Y-10.\nG41 " + d + " G01 X0 Y0 F100\nX40.\nG40 X50. Y-10.\nM30\n";
    };
    EXPECT_NEAR(offsetOf(run(kWire, program("D3"))), 4, 1e-9);    // entry 3: diameter 8
    EXPECT_NEAR(offsetOf(run(kWire, program("D2.7"))), 3, 1e-9);  // truncated: entry 2
    // D0, a D past the store and a negative D name no entry: the entry a G41 without D uses (the
    // selected one, index 0) stands in instead of a read outside the store.
    for (const char* d : {"D0", "D4", "D-1", "D99999999999"})
        EXPECT_NEAR(offsetOf(run(kWire, program(d))), 2, 1e-9) << d;
    EXPECT_NEAR(offsetOf(run(kWire, program(""))), 2, 1e-9);
    // On the mills D takes the working tool's radius (entry 0 here), whatever its number.
    EXPECT_NEAR(offsetOf(run(kMill, program("D3"))), 2, 1e-9);
}

}  // namespace
}  // namespace vantrel
