// The lathe's multiple repetitive cycles as the play runs them: the moves the interpreter hands to the
// steppers are those of the pure expansion, each with the cycle block's line; play goes on after the
// finished shape, G70 plays the shape's blocks and comes back, and an alarm stops the play before any
// move of the cycle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nc/interpreter.h"
#include "nc/lathe_cycles.h"
#include "nc/motion_recorder.h"
#include "nc/turning.h"
#include "program/quon_strings.h"

namespace vantrel {
namespace {

struct Recorder : MachineActions {
    std::vector<MotionRecorder::Piece> pieces;
    std::vector<int32_t> executed;  // lines of the blocks with words, in the order they ran
    std::vector<std::pair<int32_t, std::string>> alarms;
    void onPiece(const MotionSegment& piece, int32_t line) override { pieces.push_back({piece, line}); }
    void modalChanged(const ModalState&, const BlockWords& b) override { executed.push_back(b.line); }
    void alarm(int32_t line, const std::string& text) override { alarms.emplace_back(line, text); }
    bool skipSlashBlocks() override { return blockSkip; }
    bool blockSkip = false;
};

struct LatheRun {
    Recorder rec;
    StandInModalHooks hooks;
    InterpretResult result;
    ToolPosition tool;
    TQuonStrings program;
};

void play(LatheRun& r, const std::string& text, Vec3 start = {100, 0, 100}) {
    r.program.SetText(text);
    r.tool.set(start);
    InterpreterEnv env;
    env.hooks = &r.hooks;
    env.tool = &r.tool;
    Interpreter interp(Dialect::forMachine(MachineKind::Lathe), r.program, env, r.rec);
    r.result = interp.run();
}

// The worked roughing and finishing program, with a move after G70 and the end.
const char* kRoughAndFinish =
    "%\n"
    "N1 G99 G00 X50. Z2.\n"             // line 1
    "N2 G71 U2. R0.5\n"                 // line 2
    "N3 G71 P10 Q20 U0.4 W0.1 F0.25\n"  // line 3
    "N10 G00 X20.\n"                    // line 4
    "N11 G01 Z-10. F0.1\n"
    "N12 X30. Z-20.\n"
    "N13 Z-30.\n"
    "N20 X50.\n"         // line 8
    "N30 G70 P10 Q20\n"  // line 9
    "N40 G00 X80. Z20.\n"
    "M30\n";

// The cycle's moves as the pure expansion gives them, from (25, 2).
std::vector<lathe::mrc::CycleMove> pureRoughing(const TQuonStrings& program) {
    using namespace lathe::mrc;
    const ProgramTextOf<TQuonStrings> text(program);
    MrcModal store;
    CallState call;
    call.feed = 0.25;
    CycleResult r;
    for (int32_t line : {2, 3}) {
        ScanState st;
        st.startPass(0);
        BlockWords b;
        ScanLine(program.lineText(line), line, st, b);
        r = runCycleBlock(text, b, {25, 2}, call, store);
    }
    return r.moves;
}

void expectAt(const Vec3& p, double diameter, double z) {
    EXPECT_NEAR(p.x * 2, diameter, 1e-9);
    EXPECT_NEAR(p.z, z, 1e-9);
}

TEST(LatheCyclePlay, RoughingRunsThePureExpansionThenG70PlaysTheShapeAndReturns) {
    LatheRun r;
    play(r, kRoughAndFinish);
    EXPECT_EQ(r.result.end, PlayEnd::M30);
    EXPECT_TRUE(r.rec.alarms.empty());

    const std::vector<lathe::mrc::CycleMove> want = pureRoughing(r.program);
    ASSERT_EQ(want.size(), 35u);
    // N1, the 35 roughing moves, G70's five shape moves and its way back, N40.
    ASSERT_EQ(r.rec.pieces.size(), 1 + 35 + 5 + 1 + 1u);
    expectAt(r.rec.pieces[0].segment.end, 50, 2);
    Vec3 from = r.rec.pieces[0].segment.end;
    for (size_t i = 0; i < want.size(); ++i) {
        const MotionRecorder::Piece& p = r.rec.pieces[1 + i];
        EXPECT_EQ(p.line, 3) << "move " << i + 1;
        EXPECT_EQ(p.segment.moveKind, want[i].kind == lathe::mrc::MoveKind::Rapid ? kMoveRapid : kMoveLine);
        EXPECT_NEAR(p.segment.start.x, from.x, 1e-9) << "move " << i + 1;
        EXPECT_NEAR(p.segment.start.z, from.z, 1e-9) << "move " << i + 1;
        EXPECT_NEAR(p.segment.end.x, want[i].to.x, 1e-9) << "move " << i + 1;
        EXPECT_NEAR(p.segment.end.z, want[i].to.z, 1e-9) << "move " << i + 1;
        from = p.segment.end;
    }
    // Hand-checked corners of the worked example: the first cut and the last semi-finishing point.
    expectAt(r.rec.pieces[2].segment.end, 46, -29.9);
    expectAt(r.rec.pieces[33].segment.end, 50.4, -29.9);
    expectAt(r.rec.pieces[35].segment.end, 50, 2);

    // G70: the shape's own blocks from the start point, then straight back to it.
    const std::vector<std::pair<double, double>> shape = {
        {20, 2}, {20, -10}, {30, -20}, {30, -30}, {50, -30}};
    for (size_t i = 0; i < shape.size(); ++i) {
        const MotionRecorder::Piece& p = r.rec.pieces[36 + i];
        EXPECT_EQ(p.line, static_cast<int32_t>(4 + i));
        EXPECT_EQ(p.segment.moveKind, i == 0 ? kMoveRapid : kMoveLine);
        expectAt(p.segment.end, shape[i].first, shape[i].second);
    }
    EXPECT_EQ(r.rec.pieces[41].line, 9);
    EXPECT_EQ(r.rec.pieces[41].segment.moveKind, kMoveRapid);
    expectAt(r.rec.pieces[41].segment.end, 50, 2);
    EXPECT_EQ(r.rec.pieces[42].line, 10);
    expectAt(r.rec.pieces[42].segment.end, 80, 20);

    // The shape ran once, inside G70: after G71 the play went on at N30.
    EXPECT_EQ(r.rec.executed, (std::vector<int32_t>{1, 2, 3, 9, 4, 5, 6, 7, 8, 10, 11}));
    EXPECT_GT(r.result.cuttingTime, 0);
}

TEST(LatheCyclePlay, AnAlarmStopsThePlayAtTheCycleBlockBeforeAnyOfItsMoves) {
    LatheRun r;
    play(r,
         "%\n"
         "N1 G00 X50. Z2.\n"
         "N2 G71 U2. R0.5\n"
         "N3 G71 P10 Q20 U0.4 W0.1 F0.25\n"
         "N10 G00 X20.\n"
         "N11 G01 Z-10.\n"
         "N14 Z-5.\n"
         "N20 X50.\n"
         "N30 G00 X80.\n"
         "M30\n");
    EXPECT_EQ(r.result.end, PlayEnd::Alarm);
    EXPECT_STREQ(playEndName(r.result.end), "alarm");
    EXPECT_EQ(r.result.alarmLine, 3);
    EXPECT_EQ(r.result.alarm, "G71 N3: 仕上げ形状が単調ではありません(N14)");
    ASSERT_EQ(r.rec.alarms.size(), 1u);
    EXPECT_EQ(r.rec.alarms[0].first, 3);
    ASSERT_EQ(r.rec.pieces.size(), 1u);  // N1 only
    expectAt(r.result.lastPosition, 50, 2);
    EXPECT_EQ(r.rec.executed.back(), 3);
}

TEST(LatheCyclePlay, AlarmIsWrittenIntoTheCycleBlockWithWarningsOn) {
    TQuonStrings program;
    program.SetText("%\nN1 G00 X50. Z2.\nN3 G70 P10 Q20\nM30\n");
    Recorder rec;
    InterpreterEnv env;
    env.warningsTo = &program;
    env.switches = [] {
        ModalSwitches s;
        s.warnings = true;
        return s;
    };
    Interpreter interp(Dialect::forMachine(MachineKind::Lathe), program, env, rec);
    const InterpretResult res = interp.run();
    EXPECT_EQ(res.end, PlayEnd::Alarm);
    // The message's brackets turn full-width so the comment does not end early.
    EXPECT_EQ(program.lineText(2), "(警告！　G70 N3: シーケンス番号N10がありません)N3 G70 P10 Q20");
}

TEST(LatheCyclePlay, G70FollowedByASubprogramCallCallsItOnce) {
    // The look-ahead has already entered the subprogram when G70 sends the play to its shape; coming
    // back must not leave that call on the stack.
    LatheRun r;
    play(r,
         "%\n"
         "N1 G00 X50. Z2.\n"
         "N10 G01 X20. F0.2\n"
         "N20 Z-10.\n"
         "N30 G00 X50. Z2.\n"
         "N40 G70 P10 Q20\n"  // line 5
         "M98 P100\n"
         "G00 X90.\n"
         "M30\n"
         "O100\n"
         "G00 Z30.\n"  // line 10
         "M99\n");
    EXPECT_EQ(r.result.end, PlayEnd::M30);
    int calls = 0;
    for (const auto& p : r.rec.pieces) calls += p.line == 10 ? 1 : 0;
    EXPECT_EQ(calls, 1);
    ASSERT_FALSE(r.rec.pieces.empty());
    expectAt(r.rec.pieces.back().segment.end, 90, 30);
}

TEST(LatheCyclePlay, G70WhoseLastShapeBlockIsSkippedStillComesBack) {
    // With block skip on the shape's last block never runs: the shape ends before the next block, and
    // the play does not run into G70 again.
    LatheRun r;
    r.rec.blockSkip = true;
    play(r,
         "%\n"
         "N1 G00 X50. Z2.\n"
         "N10 G01 X20. F0.2\n"
         "/N20 Z-10.\n"
         "N30 G00 X60. Z5.\n"  // line 4
         "N40 G70 P10 Q20\n"   // line 5
         "G00 X90.\n"
         "M30\n");
    EXPECT_EQ(r.result.end, PlayEnd::M30);
    EXPECT_EQ(r.rec.executed, (std::vector<int32_t>{1, 2, 4, 5, 2, 6, 7}));
    ASSERT_GE(r.rec.pieces.size(), 2u);
    const MotionRecorder::Piece& back = r.rec.pieces[r.rec.pieces.size() - 2];
    EXPECT_EQ(back.line, 5);
    expectAt(back.segment.end, 60, 5);
}

TEST(LatheCyclePlay, GroovingAndThreadingRunFromTheirBlocksAndComeBack) {
    LatheRun r;
    play(r,
         "%\n"
         "N1 G00 X42. Z-20.\n"
         "N2 G75 R0.5\n"
         "N3 G75 X30. Z-24. P3000 Q2000 F0.05\n"  // line 3
         "N4 G00 X34. Z5.\n"
         "N5 G76 P021060 Q100 R0.05\n"
         "N6 G76 X28.16 Z-30. P920 Q400 F1.5\n"  // line 6
         "M30\n");
    EXPECT_EQ(r.result.end, PlayEnd::M30);
    size_t grooving = 0, threading = 0;
    for (const auto& p : r.rec.pieces) {
        grooving += p.line == 3 ? 1 : 0;
        threading += p.line == 6 ? 1 : 0;
    }
    EXPECT_EQ(grooving, 15u);
    EXPECT_EQ(threading, 35u);
    // The first threading pass of the worked example, and the tool back at the cycle's start.
    size_t first = 0;
    while (r.rec.pieces[first].line != 6) ++first;
    EXPECT_NEAR(r.rec.pieces[first].segment.end.x * 2, 29.2, 1e-9);
    EXPECT_NEAR(r.rec.pieces[first].segment.end.z, 4.769060, 1e-6);
    expectAt(r.result.lastPosition, 34, 5);
}

}  // namespace
}  // namespace vantrel
