// The lathe's multiple repetitive cycles: the worked programs reproduce their tool positions exactly,
// and every refusal happens before any move. Positions in the expectations are written as on the
// drawing (X a diameter), the way a turner checks them.
#include "nc/lathe_cycles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace vantrel::lathe::mrc {
namespace {

class Lines : public ProgramText {
  public:
    explicit Lines(std::vector<std::string> l) : lines_(std::move(l)) {}
    int32_t count() const override { return static_cast<int32_t>(lines_.size()); }
    std::string_view lineText(int32_t i) const override { return lines_[static_cast<std::size_t>(i)]; }
    std::vector<std::string> lines_;
};

BlockWords scan(const Lines& t, int32_t line) {
    ScanState st;
    st.startPass(0);
    BlockWords b;
    ScanLine(t.lineText(line), line, st, b);
    return b;
}

// Runs the cycle blocks of `lines` given by index, in order, with one modal store (first blocks
// before the cycle block), and returns the last result.
CycleResult runBlocks(const Lines& t, std::vector<int32_t> blockLines, Pt start, CallState call = {},
                      MrcModal* store = nullptr) {
    MrcModal local;
    MrcModal& m = store ? *store : local;
    CycleResult r;
    for (int32_t l : blockLines) r = runCycleBlock(t, scan(t, l), start, call, m);
    return r;
}

struct Want {
    char kind;  // R rapid, F feed, T thread
    double X;   // diameter as programmed
    double Z;
};

void expectMoves(const std::vector<CycleMove>& got, const std::vector<Want>& want, double div = 2) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const MoveKind k = want[i].kind == 'R'   ? MoveKind::Rapid
                           : want[i].kind == 'F' ? MoveKind::Feed
                                                 : MoveKind::Thread;
        EXPECT_EQ(got[i].kind, k) << "move " << i + 1;
        EXPECT_NEAR(got[i].to.x * div, want[i].X, 1e-6) << "move " << i + 1;
        EXPECT_NEAR(got[i].to.z, want[i].Z, 1e-6) << "move " << i + 1;
    }
}

const std::vector<Want> kG71Moves = {
    {'R', 46, 2},       {'F', 46, -29.9},   {'R', 47, -29.4},   {'R', 47, 2},     {'R', 42, 2},
    {'F', 42, -29.9},   {'R', 43, -29.4},   {'R', 43, 2},       {'R', 38, 2},     {'F', 38, -29.9},
    {'R', 39, -29.4},   {'R', 39, 2},       {'R', 34, 2},       {'F', 34, -29.9}, {'R', 35, -29.4},
    {'R', 35, 2},       {'R', 30, 2},       {'F', 30, -19.5},   {'R', 31, -19},   {'R', 31, 2},
    {'R', 26, 2},       {'F', 26, -15.5},   {'R', 27, -15},     {'R', 27, 2},     {'R', 22, 2},
    {'F', 22, -11.5},   {'R', 23, -11},     {'R', 23, 2},       {'R', 20.4, 2.1}, {'F', 20.4, -9.9},
    {'F', 30.4, -19.9}, {'F', 30.4, -29.9}, {'F', 50.4, -29.9}, {'R', 50, -29.9}, {'R', 50, 2}};

std::vector<std::string> g71Program() {
    return {"N1 G99 G00 X50. Z2.", "N2 G71 U2. R0.5",    "N3 G71 P10 Q20 U0.4 W0.1 F0.25",
            "N10 G00 X20.",        "N11 G01 Z-10. F0.1", "N12 X30. Z-20.",
            "N13 Z-30.",           "N20 X50.",           "N30 G70 P10 Q20"};
}

const Pt kG71Start{25, 2};

CallState feed(double f) {
    CallState c;
    c.feed = f;
    return c;
}

TEST(LatheCycles, G71TypeIReproducesTheWorkedPositions) {
    Lines t(g71Program());
    CycleResult r = runBlocks(t, {1, 2}, kG71Start, feed(0.25));
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    expectMoves(r.moves, kG71Moves);
    for (const CycleMove& m : r.moves) {
        EXPECT_EQ(m.sourceLine, 2);
        if (m.kind == MoveKind::Feed) {
            EXPECT_EQ(m.feed, 0.25);
        }  // N11's F0.1 does not rough
    }
    EXPECT_EQ(r.nextLine, 8);  // the profile follows the cycle: play goes on at N30
    EXPECT_TRUE(r.warnings.empty());
}

TEST(LatheCycles, G71OneBlockIncrementalAndFeedPlungeVariants) {
    auto prog = g71Program();
    prog[2] = "N3 G71 P10 Q20 U0.4 W0.1 D2000 F0.25";  // one block, no first block
    expectMoves(runBlocks(Lines(prog), {2}, kG71Start).moves, kG71Moves);

    prog = g71Program();
    prog[3] = "N10 G00 U-30.";
    expectMoves(runBlocks(Lines(prog), {1, 2}, kG71Start).moves, kG71Moves);

    prog = g71Program();
    prog[3] = "N10 G01 X20.";
    std::vector<Want> fed = kG71Moves;
    for (int i : {0, 4, 8, 12, 16, 20, 24, 28}) fed[static_cast<std::size_t>(i)].kind = 'F';
    expectMoves(runBlocks(Lines(prog), {1, 2}, kG71Start).moves, fed);
}

TEST(LatheCycles, G70RunsTheProfileBlocksAndReturns) {
    Lines t(g71Program());
    CycleResult r = runBlocks(t, {8}, kG71Start);
    ASSERT_EQ(r.action, CycleResult::Action::Finish) << r.alarm.text;
    EXPECT_EQ(r.finishFrom, 3);
    EXPECT_EQ(r.finishTo, 7);
    EXPECT_EQ(r.nextLine, -1);
    // The same path as a move list (for the path display and the stock fit).
    std::vector<CycleWarning> w;
    auto p = readProfile(t, 10, 20, ProfileContext{0, 2}, kG71Start, 8, w);
    ASSERT_TRUE(std::holds_alternative<Profile>(p));
    auto moves = finishingMoves(std::get<Profile>(p), kG71Start, 0.1, 8);
    expectMoves(moves,
                {{'R', 20, 2}, {'F', 20, -10}, {'F', 30, -20}, {'F', 30, -30}, {'F', 50, -30}, {'R', 50, 2}});
}

std::vector<std::string> typeIIProgram(const char* ns = "N10 G00 X20. Z2.") {
    return {"N1 G00 X40. Z2.",
            "N2 G71 U2. R0.5",
            "N3 G71 P10 Q20 U0 W0 F0.2",
            ns,
            "N11 G01 Z-10.",
            "N12 X30.",
            "N13 Z-15.",
            "N14 X24. Z-18.",
            "N15 Z-25.",
            "N16 X30. Z-28.",
            "N17 Z-35.",
            "N20 X40."};
}

TEST(LatheCycles, G71TypeIIRoughsThePocketDepthFirst) {
    Lines t(typeIIProgram());
    CycleResult r = runBlocks(t, {1, 2}, Pt{20, 2}, feed(0.2));
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    expectMoves(r.moves, {{'R', 36, 2},    {'F', 36, -35},   {'R', 37, -34.5}, {'R', 37, 2},   {'R', 32, 2},
                          {'F', 32, -35},  {'R', 33, -34.5}, {'R', 33, 2},     {'R', 28, 2},   {'F', 28, -10},
                          {'R', 29, -9.5}, {'R', 29, 2},     {'R', 24, 2},     {'F', 24, -10}, {'F', 30, -10},
                          {'F', 30, -15},  {'F', 28, -16},   {'F', 28, -27},   {'F', 30, -28}, {'F', 30, -35},
                          {'F', 40, -35},  {'R', 40, 2},     {'R', 20, 2},     {'F', 20, -10}, {'F', 30, -10},
                          {'F', 30, -15},  {'F', 24, -18},   {'F', 24, -25},   {'F', 30, -28}, {'F', 30, -35},
                          {'F', 40, -35},  {'R', 40, 2}});
}

TEST(LatheCycles, TypeIProfileThatRisesAgainIsRefusedNamingTheBlock) {
    Lines t(typeIIProgram("N10 G00 X20."));
    CycleResult r = runBlocks(t, {1, 2}, Pt{20, 2});
    ASSERT_EQ(r.action, CycleResult::Action::Alarm);
    EXPECT_EQ(r.alarm.id, 6);
    EXPECT_EQ(r.alarm.profileLine, 7);
    EXPECT_EQ(r.alarm.text, "G71 N3: 仕上げ形状が単調ではありません(N14)");
    EXPECT_TRUE(r.moves.empty());
}

TEST(LatheCycles, G72FacingReproducesTheWorkedPositions) {
    Lines t({"N1 G00 X82. Z2.", "N2 G72 W2. R0.5", "N3 G72 P10 Q20 U0.4 W0.2 F0.2", "N10 G00 Z-8.",
             "N11 G01 X60.", "N12 X40. Z-4.", "N13 Z0.", "N20 X0."});
    CycleResult r = runBlocks(t, {1, 2}, Pt{41, 2}, feed(0.2));
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    expectMoves(r.moves, {{'R', 82, 0},      {'F', 40.4, 0},    {'R', 41.4, 0.5},  {'R', 82, 0.5},
                          {'R', 82, -2},     {'F', 40.4, -2},   {'R', 41.4, -1.5}, {'R', 82, -1.5},
                          {'R', 82, -4},     {'F', 41.4, -4},   {'R', 42.4, -3.5}, {'R', 82, -3.5},
                          {'R', 82, -6},     {'F', 51.4, -6},   {'R', 52.4, -5.5}, {'R', 82, -5.5},
                          {'R', 82.4, -7.8}, {'F', 60.4, -7.8}, {'F', 40.4, -3.8}, {'F', 40.4, 0.2},
                          {'F', 0.4, 0.2},   {'R', 0.4, 2},     {'R', 82, 2}});
}

std::vector<std::string> g73Program(const char* first = "N2 G73 U5. W2. R3") {
    return {"N1 G00 X60. Z5.",  first,           "N3 G73 P10 Q20 U0.4 W0.1 F0.2",
            "N10 G00 X20. Z0.", "N11 G01 Z-10.", "N12 X40. Z-20.",
            "N20 Z-30."};
}

TEST(LatheCycles, G73RepeatsThePatternTowardTheAllowance) {
    CycleResult r = runBlocks(Lines(g73Program()), {1, 2}, Pt{30, 5}, feed(0.2));
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    expectMoves(r.moves, {{'R', 70.4, 7.1},
                          {'R', 30.4, 2.1},
                          {'F', 30.4, -7.9},
                          {'F', 50.4, -17.9},
                          {'F', 50.4, -27.9},
                          {'R', 65.4, 6.1},
                          {'R', 25.4, 1.1},
                          {'F', 25.4, -8.9},
                          {'F', 45.4, -18.9},
                          {'F', 45.4, -28.9},
                          {'R', 60.4, 5.1},
                          {'R', 20.4, 0.1},
                          {'F', 20.4, -9.9},
                          {'F', 40.4, -19.9},
                          {'F', 40.4, -29.9},
                          {'R', 60, 5}});
    // One pass is at the allowance alone; R3. counts like R3; no pass at all is refused.
    r = runBlocks(Lines(g73Program("N2 G73 U5. W2. R1")), {1, 2}, Pt{30, 5});
    ASSERT_EQ(r.moves.size(), 6u);
    expectMoves({r.moves[0], r.moves[1], r.moves.back()}, {{'R', 60.4, 5.1}, {'R', 20.4, 0.1}, {'R', 60, 5}});
    EXPECT_EQ(runBlocks(Lines(g73Program("N2 G73 U5. W2. R3.")), {1, 2}, Pt{30, 5}).moves.size(), 16u);
    r = runBlocks(Lines(g73Program("N2 G73 U5. W2. R0")), {1, 2}, Pt{30, 5});
    EXPECT_EQ(r.alarm.id, 10);
    EXPECT_TRUE(r.moves.empty());
}

TEST(LatheCycles, G74FaceGroovingAndPeckDrilling) {
    Lines t({"N1 G00 X40. Z1.", "N2 G74 R0.5", "N3 G74 X30. Z-4. P2000 Q2000 R0.2 F0.05"});
    CycleResult r = runBlocks(t, {1, 2}, Pt{20, 1}, feed(0.05));
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    std::vector<Want> want;
    const double plunges[] = {40, 36, 32, 30};
    for (int i = 0; i < 4; ++i) {
        const double D = plunges[i];
        if (i > 0) want.push_back({'R', D, 1});
        for (Want w : std::vector<Want>{{'F', D, -1},
                                        {'R', D, -0.5},
                                        {'F', D, -3},
                                        {'R', D, -2.5},
                                        {'F', D, -4},
                                        {'R', D + 0.4, -4},
                                        {'R', D + 0.4, 1}})
            want.push_back(w);
    }
    want.push_back({'R', 40, 1});
    expectMoves(r.moves, want);
    EXPECT_EQ(r.moves.size(), 32u);

    Lines drill({"G00 X0 Z2.", "G74 R1.", "G74 Z-10. Q3000 F0.1"});
    r = runBlocks(drill, {1, 2}, Pt{0, 2});
    expectMoves(r.moves, {{'F', 0, -1},
                          {'R', 0, 0},
                          {'F', 0, -4},
                          {'R', 0, -3},
                          {'F', 0, -7},
                          {'R', 0, -6},
                          {'F', 0, -10},
                          {'R', 0, 2}});
}

TEST(LatheCycles, G75GroovesInPecksAndShifts) {
    Lines t({"N1 G00 X42. Z-20.", "N2 G75 R0.5", "N3 G75 X30. Z-24. P3000 Q2000 F0.05"});
    CycleResult r = runBlocks(t, {1, 2}, Pt{21, -20}, feed(0.05));
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    expectMoves(r.moves, {{'F', 36, -20},
                          {'R', 37, -20},
                          {'F', 30, -20},
                          {'R', 42, -20},
                          {'R', 42, -22},
                          {'F', 36, -22},
                          {'R', 37, -22},
                          {'F', 30, -22},
                          {'R', 42, -22},
                          {'R', 42, -24},
                          {'F', 36, -24},
                          {'R', 37, -24},
                          {'F', 30, -24},
                          {'R', 42, -24},
                          {'R', 42, -20}});
    for (const CycleMove& m : r.moves)
        if (m.kind == MoveKind::Feed) {
            EXPECT_EQ(m.feed, 0.05);
        }
}

const Pt kThreadStart{17, 5};
std::vector<Want> threadPass(double X, double Z, double pullX, bool pull = true) {
    std::vector<Want> w{{'R', X, Z}, {'T', X, pull ? -28.5 : -30}};
    if (pull) w.push_back({'T', pullX, -30});
    w.push_back({'R', 34, -30});
    w.push_back({'R', 34, 5});
    return w;
}

TEST(LatheCycles, G76ThreadsInPassesOfConstantArea) {
    Lines t({"N1 G00 X34. Z5.", "N2 G76 P021060 Q100 R0.05", "N3 G76 X28.16 Z-30. P920 Q400 F1.5"});
    CycleResult r = runBlocks(t, {1, 2}, kThreadStart);
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    std::vector<Want> want;
    const double rows[][3] = {{29.2, 4.769060, 32.2},      {28.868629, 4.673401, 31.868629},
                              {28.614359, 4.6, 31.614359}, {28.4, 4.538120, 31.4},
                              {28.26, 4.497705, 31.26},    {28.16, 4.468838, 31.16},
                              {28.16, 4.468838, 31.16}};
    for (const auto& row : rows)
        for (Want w : threadPass(row[0], row[1], row[2])) want.push_back(w);
    expectMoves(r.moves, want);  // the table's numbers are rounded to 6 decimals
    for (const CycleMove& m : r.moves)
        if (m.kind == MoveKind::Thread) {
            EXPECT_EQ(m.feed, 1.5);
        }
    EXPECT_NEAR(r.moves[10].to.z, 4.6, 1e-12);  // pass 3: 0.4*sqrt(3)*tan(30) is exactly 0.4
}

// ---- section 8 ------------------------------------------------------------------------------

TEST(LatheCycles, DepthWithoutDecimalPointWarnsAndTheGuardRefuses) {
    auto prog = g71Program();
    prog[1] = "N2 G71 U2 R1";
    CycleResult r = runBlocks(Lines(prog), {1, 2}, kG71Start);
    ASSERT_EQ(r.action, CycleResult::Action::Moves);
    int cuts = 0;
    for (std::size_t i = 0; i + 1 < r.moves.size(); ++i)
        if (r.moves[i].kind == MoveKind::Feed && r.moves[i + 1].kind == MoveKind::Rapid) ++cuts;
    EXPECT_EQ(cuts, 7399 + 1);  // the roughing levels and the semi-finishing pass's end
    MrcModal m;
    CycleResult first = runCycleBlock(Lines(prog), scan(Lines(prog), 1), kG71Start, {}, m);
    ASSERT_EQ(first.warnings.size(), 2u);  // U and R
    EXPECT_EQ(first.warnings[0].id, 2);

    prog[1] = "N2 G71 U1 R1";
    r = runBlocks(Lines(prog), {1, 2}, kG71Start);
    EXPECT_EQ(r.alarm.id, 15);
    EXPECT_TRUE(r.moves.empty());
}

TEST(LatheCycles, NoPassAtTheBottomLevelAndRetractsThatEndAheadOfTheStart) {
    auto prog = g71Program();
    prog[2] = "N3 G71 P10 Q20 U0 W0 F0.25";
    CycleResult r = runBlocks(Lines(prog), {1, 2}, Pt{24, 2});
    ASSERT_EQ(r.action, CycleResult::Action::Moves);
    std::vector<double> levels;
    for (std::size_t i = 0; i + 1 < r.moves.size(); ++i)
        if (r.moves[i].kind == MoveKind::Rapid && r.moves[i + 1].kind == MoveKind::Feed &&
            r.moves[i].to.z == 2 && r.moves[i].to.x > 10.5)  // not the semi-finishing pass
            levels.push_back(r.moves[i].to.x);
    EXPECT_EQ(levels, (std::vector<double>{22, 20, 18, 16, 14, 12}));

    // e = 0: no retract, the return runs along the level.
    prog = g71Program();
    prog[1] = "N2 G71 U2. R0";
    r = runBlocks(Lines(prog), {1, 2}, kG71Start);
    expectMoves({r.moves[0], r.moves[1], r.moves[2], r.moves[3]},
                {{'R', 46, 2}, {'F', 46, -29.9}, {'R', 46, 2}, {'R', 42, 2}});

    // A cut whose retract passes the start's Z comes back toward -Z without any special case.
    Lines near({"N2 G71 U2. R0.5", "N3 G71 P10 Q20 U0 W0 F0.2", "N10 G00 X20.", "N11 G01 Z1.8", "N12 X50.",
                "N20 Z-10."});
    r = runBlocks(near, {0, 1}, Pt{25, 2});
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    expectMoves({r.moves[0], r.moves[1], r.moves[2], r.moves[3]},
                {{'R', 46, 2}, {'F', 46, 1.8}, {'R', 47, 2.3}, {'R', 47, 2}});
}

TEST(LatheCycles, W0InTheFirstBlockMakesTypeIIWithTheSameMoves) {
    auto prog = g71Program();
    prog[3] = "N10 G00 X20. W0";
    expectMoves(runBlocks(Lines(prog), {1, 2}, kG71Start).moves, kG71Moves);
}

TEST(LatheCycles, ProfileRefusalsNameTheBlockAndMakeNoMove) {
    struct Case {
        int line;
        std::string text;
        int alarm;
        int profileLine;
    };
    const std::vector<Case> cases = {
        {6, "N13 Z-5.", 6, 6},                   // Z reverses (type I)
        {2, "N3 G71 P99 Q20 U0.4 W0.1", 2, -1},  // no N99
        {2, "N3 G71 P20 Q10 U0.4 W0.1", 3, -1},  // N10 stands before N20
        {3, "N10 G02 X20. Z0 R2.", 5, 3},        // arc first
        {5, "N12 X30. Z-20. M98 P100", 7, 5},    // subprogram call inside
        {5, "N12 G28 U0", 7, 5},                 // one-shot code inside
        {2, "N3 G71 Q20 U0.4 W0.1", 1, -1},      // P missing
    };
    for (const Case& c : cases) {
        auto prog = g71Program();
        prog[static_cast<std::size_t>(c.line)] = c.text;
        CycleResult r = runBlocks(Lines(prog), {1, 2}, kG71Start);
        EXPECT_EQ(r.action, CycleResult::Action::Alarm) << c.text;
        EXPECT_EQ(r.alarm.id, c.alarm) << c.text;
        EXPECT_EQ(r.alarm.profileLine, c.profileLine) << c.text;
        EXPECT_TRUE(r.moves.empty()) << c.text;
    }
    // Z reverses in type II too.
    auto prog = g71Program();
    prog[3] = "N10 G00 X20. Z2.";
    prog[6] = "N13 Z-5.";
    EXPECT_EQ(runBlocks(Lines(prog), {1, 2}, kG71Start).alarm.id, 6);
    // The messages name the label, and the cycle block.
    prog = g71Program();
    prog[2] = "N3 G71 P99 Q20 U0.4 W0.1";
    EXPECT_EQ(runBlocks(Lines(prog), {1, 2}, kG71Start).alarm.text, "G71 N3: シーケンス番号N99がありません");
    EXPECT_EQ(runBlocks(Lines(g71Program()), {1}, kG71Start).action, CycleResult::Action::Store);
    Lines g70({"G70 P10"});
    EXPECT_EQ(runBlocks(g70, {0}, kG71Start).alarm.text, "G70 1行目: P,Qの指定がありません");
}

TEST(LatheCycles, StartPointInsideOrNotMovingIsRefused) {
    Lines t(g71Program());
    EXPECT_EQ(runBlocks(t, {1, 2}, Pt{10.1, 2}).alarm.id, 8);
    EXPECT_EQ(runBlocks(t, {1, 2}, Pt{10, 2}).alarm.id, 9);
    CycleResult r = runBlocks(t, {2}, kG71Start);  // depth never set
    EXPECT_EQ(r.alarm.id, 4);
}

TEST(LatheCycles, RadiusProgrammingAndTheReversedXAxisKeepTheRadii) {
    Lines radius({"N1 G00 X25. Z2.", "N2 G71 U2. R0.5", "N3 G71 P10 Q20 U0.2 W0.1 F0.25", "N10 G00 X10.",
                  "N11 G01 Z-10. F0.1", "N12 X15. Z-20.", "N13 Z-30.", "N20 X25."});
    CallState call;
    call.diameterDivisor = 1;
    expectMoves(runBlocks(radius, {1, 2}, kG71Start, call).moves, kG71Moves);

    call.diameterDivisor = -2;
    CycleResult r = runBlocks(Lines(g71Program()), {1, 2}, Pt{-25, 2}, call);
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    expectMoves(r.moves, kG71Moves, -2);  // mirrored: the allowance stays on the material side
}

TEST(LatheCycles, GroovingEdgeCases) {
    CycleResult r = runBlocks(Lines({"G74 X30. Z-4. P0 Q2000"}), {0}, Pt{20, 1});
    EXPECT_EQ(r.alarm.id, 11);
    r = runBlocks(Lines({"G74 Z-4. Q0"}), {0}, Pt{20, 1});
    expectMoves(r.moves, {{'F', 40, -4}, {'R', 40, 1}});
    r = runBlocks(Lines({"G75 X30. Z-20. P3000"}), {0}, Pt{21, -20});
    expectMoves(r.moves, {{'F', 36, -20}, {'R', 37, -20}, {'F', 30, -20}, {'R', 42, -20}});
    r = runBlocks(Lines({"G75 X30. Z-24. P3000 Q2000 R0.3 F0.05"}), {0}, Pt{21, -20});
    expectMoves(
        {r.moves.begin(), r.moves.begin() + 6},
        {{'F', 36, -20}, {'R', 37, -20}, {'F', 30, -20}, {'R', 30, -19.7}, {'R', 42, -19.7}, {'R', 42, -22}});
    // A decimal point in P/Q reads millimetres with a warning.
    r = runBlocks(Lines({"G75 X30. Z-24. P3. Q2. F0.05"}), {0}, Pt{21, -20});
    EXPECT_EQ(r.moves.size(), 15u);
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_EQ(r.warnings[0].id, 4);
    // Too many pecks.
    EXPECT_EQ(runBlocks(Lines({"G75 X0 P1"}), {0}, Pt{100, 0}).alarm.id, 15);
}

TEST(LatheCycles, ThreadingEdgeCases) {
    auto run = [](const char* first, const char* second) {
        return runBlocks(Lines({"N1 G00 X34. Z5.", first, second}), {1, 2}, kThreadStart);
    };
    // Radial infeed: every pass starts at the start Z.
    CycleResult r = run("G76 P021000 Q100 R0.05", "G76 X28.16 Z-30. P920 Q400 F1.5");
    ASSERT_EQ(r.moves.size(), 35u);
    for (std::size_t i = 0; i < r.moves.size(); i += 5) EXPECT_EQ(r.moves[i].to.z, 5);
    EXPECT_EQ(run("G76 P1060", "G76 X28.16 Z-30. P920 Q400 F1.5").alarm.id, 13);
    r = run("G76 P010060", "G76 X28.16 Z-30. P920 Q400 F1.5");
    ASSERT_EQ(r.action, CycleResult::Action::Moves);
    EXPECT_EQ(r.moves[1].to.z, -30);  // no pull-out
    // Allowance at least the height: only the finishing passes.
    r = run("G76 P021060 Q100 R1.", "G76 X28.16 Z-30. P920 Q400 F1.5");
    ASSERT_EQ(r.moves.size(), 10u);
    EXPECT_EQ(r.warnings.front().id, 8);
    EXPECT_NEAR(r.moves[0].to.x * 2, 28.16, 1e-9);
    // Taper.
    r = run("G76 P020060", "G76 X28.16 Z-30. R-0.5 P920 Q400 F1.5");
    expectMoves({r.moves.begin(), r.moves.begin() + 4},
                {{'R', 28.206598, 4.769060}, {'T', 29.2, -30}, {'R', 34, -30}, {'R', 34, 5}});
    EXPECT_EQ(run("G76 P020060", "G76 X28.16 Z-30. P920 Q400 F0").alarm.id, 14);
    EXPECT_EQ(run("G76 P020060", "G76 X34. Z-30. P920 Q400 F1.5").alarm.id, 9);
    EXPECT_EQ(run("G76 P020060", "G76 X28.16 Z-30. P0 Q400 F1.5").alarm.id, 12);
}

TEST(LatheCycles, ThreadDepthsKeepTheMinimumStep) {
    ThreadParams p;
    p.end = {10, -20};
    p.height = 3;
    p.firstDepth = 1;
    p.minDepth = 0.3;
    p.lead = 2;
    p.angle = 0;
    std::vector<CycleWarning> w;
    auto r = expandThread(Pt{20, 5}, p, 0, w);
    ASSERT_TRUE(std::holds_alternative<std::vector<CycleMove>>(r));
    const auto& moves = std::get<std::vector<CycleMove>>(r);
    // Outside thread from radius 20 to the root 10: the crest is 13, a pass of depth d runs at 13 - d.
    const double depths[] = {1, 1.414214, 1.732051, 2.032051, 2.332051};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(13 - moves[static_cast<std::size_t>(i) * 4].to.x, depths[i], 1e-6);
}

TEST(LatheCycles, IncrementalProfileFollowsTheG70StartPoint) {
    auto prog = g71Program();
    prog[3] = "N10 G00 U-30.";
    std::vector<CycleWarning> w;
    auto p = readProfile(Lines(prog), 10, 20, ProfileContext{0, 2}, Pt{26, 2}, 8, w);
    ASSERT_TRUE(std::holds_alternative<Profile>(p));
    expectMoves(finishingMoves(std::get<Profile>(p), Pt{26, 2}, 0.1, 8),
                {{'R', 22, 2}, {'F', 22, -10}, {'F', 30, -20}, {'F', 30, -30}, {'F', 50, -30}, {'R', 52, 2}});
}

TEST(LatheCycles, ProfileAnywhereAndDuplicatedLabels) {
    // Profile after M30: found from line 0; play continues after it, the M30 passed over with a warning.
    Lines after({"G00 X50. Z2.", "G71 U2. R0.5", "G71 P10 Q20 U0.4 W0.1 F0.25", "M30", "N10 G00 X20.",
                 "N11 G01 Z-10.", "N20 X50."});
    CycleResult r = runBlocks(after, {1, 2}, kG71Start);
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    EXPECT_EQ(r.nextLine, 7);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0].id, 6);
    // Profile at the top: play goes on after the cycle block.
    Lines before({"N10 G00 X20.", "N11 G01 Z-10.", "N20 X50.", "G00 X50. Z2.", "G71 U2. R0.5",
                  "G71 P10 Q20 U0.4 W0.1 F0.25", "M30"});
    r = runBlocks(before, {4, 5}, kG71Start);
    EXPECT_EQ(r.action, CycleResult::Action::Moves);
    EXPECT_EQ(r.nextLine, -1);
    // Two N10: the first is used, with a warning.
    auto prog = g71Program();
    prog.push_back("N10 X99.");
    r = runBlocks(Lines(prog), {1, 2}, kG71Start);
    expectMoves(r.moves, kG71Moves);
    ASSERT_FALSE(r.warnings.empty());
    EXPECT_EQ(r.warnings[0].id, 1);
    // Comments are not read as labels.
    prog = g71Program();
    prog.insert(prog.begin(), "(N10 X1.)");
    EXPECT_EQ(runBlocks(Lines(prog), {2, 3}, kG71Start).moves.size(), kG71Moves.size());
}

TEST(LatheCycles, CompensationIsSuspendedWithAWarning) {
    CallState call;
    call.compensationActive = true;
    CycleResult r = runBlocks(Lines(g71Program()), {1, 2}, kG71Start, call);
    expectMoves(r.moves, kG71Moves);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0].id, 7);
}

TEST(LatheCycles, ArcsInTheProfileAreRoughedAndFollowed) {
    // A convex quarter round from the end face to the diameter, roughed in type I.
    Lines t({"G71 U1. R0.5", "G71 P10 Q20 U0 W0 F0.2", "N10 G00 X0", "N11 G01 Z0", "N12 G03 X20. Z-10. R10.",
             "N20 G01 Z-20."});
    CycleResult r = runBlocks(t, {0, 1}, Pt{12, 2});
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    // Every level's cut ends on the circle (z = -10 + sqrt(100 - r^2)) for r < 10.
    for (std::size_t i = 0; i + 1 < r.moves.size(); ++i) {
        const CycleMove& m = r.moves[i];
        if (m.kind != MoveKind::Feed || r.moves[i + 1].kind != MoveKind::Rapid || m.to.x >= 10) continue;
        const double rr = m.to.x;
        EXPECT_NEAR(m.to.z, -10 + std::sqrt(100 - rr * rr), 1e-9);
    }
    bool arc = false;
    for (const CycleMove& m : r.moves)
        if (m.kind == MoveKind::ArcCCW) {
            arc = true;
            EXPECT_NEAR(m.centre.x, 0, 1e-9);
            EXPECT_NEAR(m.centre.z, -10, 1e-9);
        }
    EXPECT_TRUE(arc);
}

TEST(LatheCycles, RetractInANarrowPocketStaysOutOfTheNearWall) {
    // The pocket between the taper N15 and the wall N20 is narrower than the 0.5 mm retract at its
    // lower levels: a full 45-degree retract would end inside the taper.
    Lines t({"G71 U0.549 R0.5", "G71 P10 Q20 U0.564 W0.208 F0.2", "N10 G00 X11.072 Z2.", "G01 Z0",
             "X11.072 Z-7.445", "X14.218 Z-13.820", "X20.924 Z-13.820", "X20.924 Z-17.195",
             "N15 X14.234 Z-18.270", "N20 X26.700"});
    CycleResult r = runBlocks(t, {0, 1}, Pt{13.85, 2});
    ASSERT_EQ(r.action, CycleResult::Action::Moves) << r.alarm.text;
    // The taper shifted by the allowance: r 10.744 at z -16.987 down to r 7.399 at z -18.062.
    auto taper = [](double z) { return 10.744 + (z + 16.987) * (10.744 - 7.399) / (18.062 - 16.987); };
    int inPocket = 0;
    for (const CycleMove& m : r.moves) {
        if (m.to.z > -16.987 || m.to.z < -18.062 + 1e-9) continue;
        ++inPocket;
        EXPECT_GE(m.to.x, taper(m.to.z) - 1e-9) << m.to.x * 2 << " " << m.to.z;
    }
    EXPECT_GT(inPocket, 10);
}

}  // namespace
}  // namespace vantrel::lathe::mrc
