// The turning dialect through the interpreter the play runs: X in diameter or radius and its reversal,
// the incremental U / W / V, T formats loading at once, the feed units, the box cycles, the codes that
// make no move on a lathe, the nose radius moved to the imaginary tool tip, and the spindle speed under
// G96.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "nc/interpreter.h"
#include "nc/motion_recorder.h"
#include "nc/turning.h"
#include "program/quon_strings.h"

namespace vantrel {
namespace {

struct Shown : ModalDisplay {
    std::vector<std::pair<ModalValue, std::string>> values;
    std::vector<std::pair<ModalCode, bool>> codes;
    void inForce(ModalCode code, bool on) override { codes.emplace_back(code, on); }
    void value(ModalValue which, const std::string& text) override { values.emplace_back(which, text); }
    std::string last(ModalValue which) const {
        std::string t;
        for (const auto& v : values)
            if (v.first == which) t = v.second;
        return t;
    }
    // The last state reported for a code (false when never reported).
    bool on(ModalCode code) const {
        bool s = false;
        for (const auto& c : codes)
            if (c.first == code) s = c.second;
        return s;
    }
};

struct Recorder : MachineActions {
    std::vector<MotionRecorder::Piece> pieces;
    std::vector<double> feedPerRev, stepLength;
    std::vector<int32_t> fetched;
    int32_t steps = 0;
    void onPiece(const MotionSegment& piece, int32_t line) override { pieces.push_back({piece, line}); }
    void onStep(const Vec3&, bool) override { ++steps; }
    void blockFetched(int32_t line, int32_t) override { fetched.push_back(line); }
    void modalChanged(const ModalState& m, const BlockWords&) override {
        feedPerRev.push_back(m.feedPerRev);
        stepLength.push_back(m.stepLength);
    }
};

struct LatheRun {
    Recorder rec;
    StandInModalHooks hooks;
    Shown shown;
    InterpretResult result;
    ToolPosition tool;
};

// Tools 1, 3 and 5 (entries 0 .. 2); tool 5 has a nose radius of 0.8 at tip position 3. The tool
// starts at radius 25, Z 2 unless told otherwise.
void run(LatheRun& r, const std::string& text, TurningProgramming p = {}, Vec3 start = {25, 0, 2},
         int32_t startLine = 0, MachineKind kind = MachineKind::Lathe) {
    r.hooks.tools = {{1, 10, 100}, {3, 10, 100}, {5, 10, 100, 0.8, 3}};
    TQuonStrings program;
    program.SetText(text);
    r.tool.set(start);
    InterpreterEnv env;
    env.hooks = &r.hooks;
    env.display = &r.shown;
    env.tool = &r.tool;
    env.startLine = startLine;
    env.motion.referencePoint = {150, 0, 400};
    env.motion.totalLength = 120;  // a lathe's G28 takes no tool length off
    Interpreter interp(Dialect::forMachine(kind, p), program, env, r.rec);
    r.result = interp.run();
}

void expectPoint(const Vec3& p, double x, double y, double z) {
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
    EXPECT_NEAR(p.z, z, 1e-9);
}

TEST(TurningDialect, XIsADiameterOrARadiusAndTheReversalNegatesXAndU) {
    {
        LatheRun r;
        run(r, "%\nG00 X40. Z1.\nM30\n");
        ASSERT_EQ(r.rec.pieces.size(), 1u);
        expectPoint(r.rec.pieces[0].segment.end, 20, 0, 1);
    }
    {
        LatheRun r;
        run(r, "%\nG00 X20. Z1.\nM30\n", TurningProgramming::from(true, false, 0));
        expectPoint(r.rec.pieces[0].segment.end, 20, 0, 1);
    }
    {
        // Diameter programming reversed: X20. is at -10, U-4. moves 2 towards +X, Z and W untouched.
        LatheRun r;
        run(r, "%\nG00 X20. Z1.\nG01 U-4. W-3. F0.1\nM30\n", TurningProgramming::from(false, true, 0));
        ASSERT_EQ(r.rec.pieces.size(), 2u);
        expectPoint(r.rec.pieces[0].segment.end, -10, 0, 1);
        expectPoint(r.rec.pieces[1].segment.end, -8, 0, -2);
    }
    {
        // G02 stays clockwise under the reversal; only X (and U) change sign, I and K stay.
        LatheRun r;
        run(r, "%\nG00 X20. Z0.\nG02 X40. Z-10. R10. F0.1\nM30\n", TurningProgramming::from(false, true, 0));
        ASSERT_EQ(r.rec.pieces.size(), 2u);
        EXPECT_EQ(r.rec.pieces[1].segment.moveKind, kMoveArcCW);
        EXPECT_EQ(r.rec.pieces[1].segment.plane, kPlaneZX);
        expectPoint(r.rec.pieces[1].segment.end, -20, 0, -10);
        EXPECT_NEAR(r.rec.pieces[1].segment.radius, 10, 1e-9);
    }
}

TEST(TurningDialect, IncrementalWordsAndNoAbsoluteIncrementalState) {
    LatheRun r;
    // G91 is no state on a lathe: X stays absolute after it; V moves Y.
    run(r, "%\nG91\nG00 X30. Z5.\nU10. W-2. V3.\nG90 X20. Z-10. \nM30\n");
    ASSERT_GE(r.rec.pieces.size(), 2u);
    expectPoint(r.rec.pieces[0].segment.end, 15, 0, 5);
    expectPoint(r.rec.pieces[1].segment.end, 20, 3, 3);
}

TEST(TurningDialect, TWordsSelectAndLoadAtOnceInEveryFormat) {
    {
        LatheRun r;
        run(r, "%\nT0303\nM06\nM30\n");
        EXPECT_EQ(r.hooks.current, 1);
        EXPECT_EQ(r.hooks.loads, std::vector<int32_t>{1});  // loaded by T; M06 loads nothing more
        EXPECT_TRUE(r.hooks.zMoves.empty());
        EXPECT_EQ(r.shown.last(ModalValue::LoadedTool), "03");
        EXPECT_EQ(r.shown.last(ModalValue::NextTool), "03");
    }
    {
        LatheRun r;
        run(r, "%\nT303\nM30\n");
        EXPECT_EQ(r.hooks.current, 1);
    }
    {
        LatheRun r;
        run(r, "%\nT005005\nM30\n", TurningProgramming::from(false, false, 1));
        EXPECT_EQ(r.hooks.current, 2);
        EXPECT_EQ(r.shown.last(ModalValue::LoadedTool), "05");
    }
    {
        LatheRun r;
        run(r, "%\nT00030003\nM30\n", TurningProgramming::from(false, false, 2));
        EXPECT_EQ(r.hooks.current, 1);
    }
}

TEST(TurningDialect, FeedPerRevolutionInThousandthsWithoutThePoint) {
    LatheRun r;
    run(r, "%\nG99 F0.2\nG99 F200\nG98 F150\nG98 F150.\nM30\n");
    ASSERT_GE(r.rec.feedPerRev.size(), 4u);
    EXPECT_DOUBLE_EQ(r.rec.feedPerRev[0], 0.2);
    EXPECT_DOUBLE_EQ(r.rec.feedPerRev[1], 0.2);
    EXPECT_DOUBLE_EQ(r.rec.feedPerRev[2], 150);  // mm/min under G98
    EXPECT_DOUBLE_EQ(r.rec.feedPerRev[3], 150);
    EXPECT_DOUBLE_EQ(r.rec.stepLength[0], 0.2);
    // A step of 150 mm would leave slices uncut: the stock pitch (1 by default) bounds it.
    EXPECT_DOUBLE_EQ(r.rec.stepLength[2], 1.0);
}

TEST(TurningDialect, G90TaperIsARadiusAmount) {
    // Diameter programming, tool at X50. Z2. (radius 25).
    LatheRun r;
    run(r, "%\nG90 X30. Z-20. I-2. F0.2\nM30\n");
    ASSERT_EQ(r.rec.pieces.size(), 4u);
    const auto& p = r.rec.pieces;
    EXPECT_EQ(p[0].segment.moveKind, kMoveRapid);
    expectPoint(p[0].segment.end, 15, 0, 2);
    EXPECT_EQ(p[1].segment.moveKind, kMoveLine);
    expectPoint(p[1].segment.end, 13, 0, -20);
    EXPECT_EQ(p[2].segment.moveKind, kMoveLine);
    expectPoint(p[2].segment.end, 25, 0, -20);
    EXPECT_EQ(p[3].segment.moveKind, kMoveRapid);
    expectPoint(p[3].segment.end, 25, 0, 2);
    expectPoint(r.tool.get(), 25, 0, 2);
}

TEST(TurningDialect, BoxCyclesRepeatWithTheAxisTheyLeaveOut) {
    LatheRun r;
    // Two roughing passes (the second names only X), then a thread: G92 is a cycle, not a one-shot.
    run(r, "%\nG90 X46. Z-30. F0.3\nX42.\nG92 X38. Z-15. F1.5\nX37.4\nM30\n");
    ASSERT_EQ(r.rec.pieces.size(), 16u);
    expectPoint(r.rec.pieces[5].segment.end, 21, 0, -30);  // second pass: radius 21 to the same Z
    expectPoint(r.rec.pieces[9].segment.end, 19, 0, -15);  // the thread's feed
    expectPoint(r.rec.pieces[13].segment.end, 18.7, 0, -15);
    expectPoint(r.tool.get(), 25, 0, 2);
}

TEST(TurningDialect, G94FacesAlongXWithTheTaperInK) {
    LatheRun r;
    run(r, "%\nG94 X10. Z-2. K-1. F0.2\nM30\n");
    ASSERT_EQ(r.rec.pieces.size(), 4u);
    const auto& p = r.rec.pieces;
    expectPoint(p[0].segment.end, 25, 0, -2);
    expectPoint(p[1].segment.end, 5, 0, -3);
    expectPoint(p[2].segment.end, 5, 0, 2);
    expectPoint(p[3].segment.end, 25, 0, 2);
    EXPECT_EQ(p[0].segment.moveKind, kMoveRapid);
    EXPECT_EQ(p[3].segment.moveKind, kMoveRapid);
}

TEST(TurningDialect, CodesThatMakeNoMoveOnALathe) {
    LatheRun r;
    // A drilling cycle, a dwell, a full circle and the mirror are recorded only (the multiple
    // repetitive cycles move: lathe_cycle_play_test); G32 is a straight feed; after G80 the next G01
    // moves again.
    run(r,
        "%\nG81 X0. Z-10. R2. F0.1\nG80\nG04 X1.\nG12 I5.\nG51.1 X0.\nG71 U1. R0.5\nG32 Z-10. F1.5\n"
        "G01 X40. F0.2\nM30\n");
    ASSERT_EQ(r.rec.pieces.size(), 2u);
    EXPECT_EQ(r.rec.pieces[0].segment.moveKind, kMoveLine);
    expectPoint(r.rec.pieces[0].segment.end, 25, 0, -10);
    EXPECT_EQ(r.rec.pieces[0].line, 7);                    // the G32 block
    expectPoint(r.rec.pieces[1].segment.end, 20, 0, -10);  // not mirrored
}

TEST(TurningDialect, TheNoseRadiusMovesThePathToTheImaginaryTip) {
    // Tool 5: nose radius 0.8, tip position 3 (X - r, Z + r). Along -Z under G42 (right of the path
    // in the ZX plane) the nose centre runs 0.8 off the contour, on the +X side; the tip point is that
    // centre moved by (-0.8, +0.8), back onto radius 20.
    LatheRun r;
    run(r, "%\nT0505\nG00 X40. Z2.\nG42 G01 Z0. F0.2\nZ-10.\nX50.\nG40 G00 X60. Z2.\nM30\n");
    ASSERT_GE(r.rec.pieces.size(), 4u);
    expectPoint(r.rec.pieces[0].segment.end, 20, 0, 2);  // no compensation yet
    const MotionSegment& startUp = r.rec.pieces[1].segment;
    EXPECT_NEAR(startUp.end.x, 20.8 - 0.8, 1e-9);
    EXPECT_NEAR(startUp.end.z, 0 + 0.8, 1e-9);
    const MotionSegment& cut = r.rec.pieces[2].segment;
    EXPECT_NEAR(cut.start.x, 20, 1e-9);
    EXPECT_NEAR(cut.end.x, 20, 1e-9);
    EXPECT_EQ(cut.moveKind, kMoveLine);

    // Without compensation the same tool runs the programmed points.
    LatheRun plain;
    run(plain, "%\nT0505\nG00 X40. Z2.\nG01 Z0. F0.2\nM30\n");
    expectPoint(plain.rec.pieces[1].segment.end, 20, 0, 0);
}

TEST(TurningDialect, APassStartsAtLineZeroAndFindsSubprogramsByOLabels) {
    LatheRun r;
    run(r, "%\nG00 X30. Z0.\nM98 P100\nM30\nN100 G00 X10.\nM99\nO100\nG00 X20.\nM99\n", {}, {25, 0, 2},
        /*startLine=*/3);
    ASSERT_EQ(r.rec.pieces.size(), 2u);
    expectPoint(r.rec.pieces[0].segment.end, 15, 0, 0);
    expectPoint(r.rec.pieces[1].segment.end, 10, 0, 0);
    EXPECT_EQ(r.rec.pieces[1].line, 7);
}

TEST(TurningDialect, ReferenceReturnTakesNoToolLength) {
    LatheRun r;
    run(r, "%\nG28 U0. W0.\nM30\n");
    ASSERT_FALSE(r.rec.pieces.empty());
    expectPoint(r.rec.pieces.back().segment.end, 150, 0, 400);
}

TEST(TurningDialect, PassStartShowsG18G99G96AndTheSelectedTool) {
    LatheRun r;
    r.hooks.current = 1;
    run(r, "%\nG00 X30.\nM30\n", {}, {25, 0, 2}, 0, MachineKind::VerticalLathe);
    EXPECT_TRUE(r.shown.on(ModalCode::G18));
    EXPECT_TRUE(r.shown.on(ModalCode::G99));
    EXPECT_TRUE(r.shown.on(ModalCode::G96));
    EXPECT_FALSE(r.shown.on(ModalCode::G17));
    EXPECT_EQ(r.shown.values.front(), std::make_pair(ModalValue::LoadedTool, std::string("02")));
}

TEST(TurningDialect, OneLineProgramDoesNothing) {
    LatheRun r;
    run(r, "G01 X10. Z-5. F0.2");
    EXPECT_TRUE(r.rec.fetched.empty());
    EXPECT_TRUE(r.rec.pieces.empty());
    EXPECT_EQ(r.result.blocks, 0);
}

TEST(TurningDialect, ConstantSurfaceSpeedAndTheCuttingTime) {
    // S150 m/min at radius 25: 150000 / (2 x 3.14 x 25) = 955.4 rev/min; the axis asks the ceiling.
    EXPECT_NEAR(turningSpindleSpeed(0, 150, 25), 150000.0 / (2 * 3.14 * 25), 1e-9);
    EXPECT_EQ(turningSpindleSpeed(0, 150, 0), kMaxTurningSpeed);
    EXPECT_EQ(turningSpindleSpeed(0, 150, -3), kMaxTurningSpeed);
    EXPECT_EQ(turningSpindleSpeed(1, 800, 25), 800);
    EXPECT_EQ(turningFeedPerMinute(0.2, 955.4), 191);
    EXPECT_EQ(turningFeedPerMinute(0.2, 0), 0);
    EXPECT_EQ(turningFeedPerRev(100, 0), 0);
    EXPECT_DOUBLE_EQ(turningFeedPerRev(100, 500), 0.2);

    // G97 S1000, 0.2 mm/rev: 200 mm/min, 20 mm in 0.1 min. G98 100 mm/min: 10 mm in 0.1 min more.
    LatheRun r;
    run(r, "%\nG97 S1000 M03\nG99 G01 W-20. F0.2\nG98 U-20. F100.\nM30\n");
    EXPECT_NEAR(r.result.cuttingTime, 0.2, 1e-9);
    // G96 S150 at radius 25: 955.4 rev/min x 0.2 mm/rev.
    LatheRun c;
    run(c, "%\nG96 S150 M03\nG99 G01 W-20. F0.2\nM30\n");
    EXPECT_NEAR(c.result.cuttingTime, 20.0 / (150000.0 / (2 * 3.14 * 25) * 0.2), 1e-9);
}

}  // namespace
}  // namespace vantrel
