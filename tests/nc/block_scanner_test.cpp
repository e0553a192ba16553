#include "nc/block_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "program/quon_strings.h"

namespace vantrel {
namespace {

using Words = std::vector<std::pair<char, double>>;

Words wordsOf(const BlockWords& b) {
    Words w;
    for (int i = 0; i < b.count; ++i) w.emplace_back(wordLetter(b.codes[i]), b.values[i]);
    return w;
}

Words scanOne(std::string_view line) {
    ScanState st;
    BlockWords b;
    ScanLine(line, 0, st, b);
    return wordsOf(b);
}

struct Fetched {
    int32_t line;
    Words words;
};

// Every non-empty block the scanner produces for the text, in scan order.
std::vector<Fetched> scanProgram(const std::string& text, int32_t startLine = 0, int maxFetches = 1000) {
    TQuonStrings prog;
    prog.SetText(text);
    ScanState st;
    st.startPass(startLine);
    BlockQueue q;
    std::vector<Fetched> out;
    for (int k = 0; k < maxFetches; ++k) {
        FetchBlock(prog, st, q);
        if (q[0].count > 0) out.push_back({q[0].line, wordsOf(q[0])});
        if (st.exhausted) break;
    }
    return out;
}

std::vector<int32_t> linesOf(const std::vector<Fetched>& f) {
    std::vector<int32_t> v;
    for (const auto& b : f) v.push_back(b.line);
    return v;
}

TEST(ParseWordValue, ThousandthsRuleSignsSpacesAndDecimals) {
    EXPECT_DOUBLE_EQ(ParseWordValue("X-1.5", 1).value, -1.5);
    EXPECT_DOUBLE_EQ(ParseWordValue("X15", 1).value, 0.015);
    EXPECT_DOUBLE_EQ(ParseWordValue("X15.", 1).value, 15.0);
    EXPECT_DOUBLE_EQ(ParseWordValue("X 1 5.", 1).value, 15.0);
    EXPECT_DOUBLE_EQ(ParseWordValue("X1-5", 1).value, -0.015);  // the sign may stand anywhere
    EXPECT_DOUBLE_EQ(ParseWordValue("X+2.", 1).value, 2.0);
    EXPECT_DOUBLE_EQ(ParseWordValue("X1.2.5", 1).value, 1.25);  // a second "." changes nothing
    ParsedNumber none = ParseWordValue("XY", 1);
    EXPECT_EQ(none.value, 0.0);
    EXPECT_FALSE(none.hadDigits);
    EXPECT_EQ(none.consumed, 0);
    ParsedNumber n = ParseWordValue("G01X", 1);
    EXPECT_EQ(n.consumed, 2);
    EXPECT_TRUE(n.hadDigits);
    EXPECT_FALSE(n.hadDecimal);
}

TEST(ParseWordValue, HugeAndMalformedNumbersStayFinite) {
    std::string big = "X" + std::string(400, '9');
    ParsedNumber n = ParseWordValue(big, 1);
    EXPECT_TRUE(std::isfinite(n.value));
    EXPECT_EQ(n.consumed, 400);
    std::string frac = "X1." + std::string(400, '7');
    EXPECT_TRUE(std::isfinite(ParseWordValue(frac, 1).value));
    EXPECT_NEAR(ParseWordValue(frac, 1).value, 1.7777777, 1e-6);
    EXPECT_TRUE(std::isfinite(ParseWordValue("N1..2", 1).value));
    Words w = scanOne("N" + std::string(400, '9') + " T" + std::string(30, '1'));
    ASSERT_EQ(w.size(), 2u);
    EXPECT_TRUE(std::isfinite(w[0].second));
    EXPECT_TRUE(std::isfinite(w[1].second));
}

TEST(ParseLabelNumber, IntegersDecimalsAndEnds) {
    int32_t used = -1;
    EXPECT_EQ(ParseLabelNumber("O1000", 1, &used), 1000);
    EXPECT_EQ(used, 4);
    EXPECT_EQ(ParseLabelNumber("O01000", 1), 1000);
    EXPECT_EQ(ParseLabelNumber("O1000.0", 1), 100000);
    EXPECT_EQ(ParseLabelNumber("O12.345", 1), 1234);  // 1234.5 rounds half to even
    EXPECT_EQ(ParseLabelNumber("O12.355", 1), 1236);
    EXPECT_EQ(ParseLabelNumber("O 12", 1, &used), 0);  // a space ends it
    EXPECT_EQ(used, 0);
    EXPECT_EQ(ParseLabelNumber("O-5", 1), 0);
    EXPECT_EQ(ParseLabelNumber("O1.2.3", 1, &used), 120);  // reads up to the second "."
    EXPECT_EQ(used, 3);
    EXPECT_EQ(ParseLabelNumber("N1..2", 1, &used), 100);
    EXPECT_EQ(ParseLabelNumber("O" + std::string(400, '9'), 1), 2147483647);
    EXPECT_EQ(ParseLabelNumber("O9." + std::string(400, '9'), 1), 1000);
}

TEST(ScanLine, WordsAndScaling) {
    EXPECT_EQ(scanOne("G01X10.Y-5"), (Words{{'G', 1}, {'X', 10}, {'Y', -0.005}}));
    EXPECT_EQ(scanOne("g1 x1."), scanOne("G1 X1."));
    EXPECT_EQ(scanOne("G06.2"), (Words{{'G', 6.2}}));
    EXPECT_EQ(scanOne("G6.2"), (Words{{'G', 6.2}}));
    EXPECT_EQ(scanOne("G1."), (Words{{'G', 1}}));
    EXPECT_EQ(scanOne("F100"), (Words{{'F', 100}}));
    EXPECT_EQ(scanOne("F100."), (Words{{'F', 100 + kFeedDecimalMarker}}));
    EXPECT_EQ(scanOne("D1 D1.5"), (Words{{'D', 1}, {'D', 1.5}}));
    EXPECT_EQ(scanOne("T0101 S1200 M98"), (Words{{'T', 101}, {'S', 1200}, {'M', 98}}));
    EXPECT_EQ(scanOne("#100=5"), (Words{{'#', 0.1}}));
    EXPECT_EQ(scanOne("%"), Words{});
    EXPECT_EQ(scanOne("G00;"), (Words{{'G', 0}}));
}

TEST(ScanLine, CodeWordsKeepTheirWrittenIntegers) {
    // 1001 / 1000 * 1000 is 1000.999... in doubles; code words must not lose the last unit.
    EXPECT_EQ(scanOne("T1001 S2002 P4004"), (Words{{'T', 1001}, {'S', 2002}, {'P', 4004}}));
    EXPECT_EQ(scanOne("M4001 N4001 O4001 H4001 L4001 G4001"),
              (Words{{'M', 4001}, {'N', 4001}, {'O', 4001}, {'H', 4001}, {'L', 4001}, {'G', 4001}}));
    EXPECT_EQ(scanOne("T-1001"), (Words{{'T', -1001}}));
    EXPECT_EQ(scanOne("D4001 F4001"), (Words{{'D', 4001}, {'F', 4001}}));
    EXPECT_LT(scanOne("F123456789012")[0].second, kFeedDecimalMarker);  // never read as "F with ."
    ScanState st;
    BlockWords b;
    ScanLine("P4001", 0, st, b);
    EXPECT_EQ(st.lastP, 4001.0);
}

TEST(ScanLine, CommentsAndBlockSkip) {
    EXPECT_EQ(scanOne("N10 (X20.) G00 X5."), (Words{{'N', 10}, {'G', 0}, {'X', 5}}));
    EXPECT_EQ(scanOne("/N20 G01 X3."), (Words{{'/', 0}, {'N', 20}, {'G', 1}, {'X', 3}}));
    EXPECT_EQ(scanOne("N20 /G01"), (Words{{'N', 20}, {'/', 0}, {'G', 1}}));
    // Non-ASCII characters are skipped whole: the bytes of "Ｘ" or "Ｍ" never read as letters.
    EXPECT_EQ(scanOne("G01 Ｘ10. あX1."), (Words{{'G', 1}, {'X', 1}}));
    EXPECT_EQ(scanOne("X1.\xf4\x8f\xbd\x98"), (Words{{'X', 1}}));  // a kept CP932 byte
    // A "(" without ")" turns the following lines into comment up to the first ")".
    auto blocks = scanProgram("G01 (open\nX1. Y2.\nstill) X3.\nY4.\n");
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].words, (Words{{'G', 1}}));
    EXPECT_EQ(blocks[1].line, 2);
    EXPECT_EQ(blocks[1].words, (Words{{'X', 3}}));
    EXPECT_EQ(blocks[2].words, (Words{{'Y', 4}}));
}

TEST(ScanLine, MoreThanThirtyWordsKeepsTheFirstThirtyButStillActs) {
    std::string line;
    for (int i = 0; i < 35; ++i) line += "X1.";
    line += " P1000 M98";
    ScanState st;
    BlockWords b;
    ScanLine(line, 0, st, b);
    EXPECT_EQ(b.count, 30);
    EXPECT_EQ(b.find(kCodeM), -1);
    EXPECT_EQ(st.lastP, 1000.0);
    EXPECT_TRUE(st.callPending);
    // A call beyond the 30th word still jumps.
    auto blocks = scanProgram(line + "\nG00\nO1000\nG01 X9.\nM99\nM30\n");
    EXPECT_EQ(linesOf(blocks), (std::vector<int32_t>{0, 3, 4, 1, 2, 3, 4}));
}

TEST(FetchBlock, QueueFillsFromEntryZeroToEntryFour) {
    TQuonStrings prog;
    prog.SetText("G00\n\n(only comment)\n%\nG01\nG02\nG03\nG04");
    ScanState st;
    st.startPass(0);
    BlockQueue q;
    FetchBlock(prog, st, q);
    EXPECT_EQ(q[0].line, 0);
    for (int k = 1; k < 5; ++k) EXPECT_EQ(q[k].count, 0);
    FetchBlock(prog, st, q);
    EXPECT_EQ(q[0].line, 4);  // the comment, "%" and empty lines are no blocks
    EXPECT_EQ(q[1].line, 0);
    FetchBlock(prog, st, q);
    FetchBlock(prog, st, q);
    FetchBlock(prog, st, q);
    EXPECT_EQ(q.executing().line, 0);  // the first block executes on the fifth fetch
    EXPECT_EQ(q[3].line, 4);
    EXPECT_EQ(q[0].line, 7);
    EXPECT_TRUE(st.exhausted);
    // Past the end every fetch scans the last line again.
    FetchBlock(prog, st, q);
    EXPECT_EQ(q[0].line, 7);
    EXPECT_EQ(q[0].values[0], 4.0);
    q.clearNewest();
    EXPECT_EQ(q[0].count, 0);
    EXPECT_EQ(q[1].line, 7);
}

TEST(FetchBlock, EmptyLastLineEndsWithAnEmptyBlock) {
    TQuonStrings prog;
    prog.SetText("G00\nG01\n");
    ASSERT_EQ(prog.count(), 3);
    ScanState st;
    st.startPass(0);
    BlockQueue q;
    FetchBlock(prog, st, q);
    FetchBlock(prog, st, q);
    FetchBlock(prog, st, q);
    EXPECT_EQ(q[0].count, 0);
    EXPECT_EQ(q[0].line, 2);
    EXPECT_TRUE(st.exhausted);
}

TEST(FetchBlock, StartLineAndOutOfRangeStart) {
    EXPECT_EQ(linesOf(scanProgram("G00\nG01\nG02\n", 1)), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(linesOf(scanProgram("G00\nG01", 99)), (std::vector<int32_t>{1}));
    TQuonStrings empty;
    empty.Clear();
    ScanState st;
    st.startPass(0);
    BlockQueue q;
    FetchBlock(empty, st, q);  // no lines at all: nothing read, no crash
    EXPECT_EQ(q[0].count, 0);
    EXPECT_TRUE(st.exhausted);
}

TEST(Subprograms, CallLabelMatchingAndReturn) {
    const std::string prog =
        "G00 X1.\n"    // 0
        "M98 P1000\n"  // 1
        "G01 X2.\n"    // 2
        "M30\n"        // 3
        "O1000\n"      // 4
        "G01 Y5.\n"    // 5
        "M99\n";       // 6
    // The label line is skipped when jumped to, but is a block (an O word) when the flow reaches it;
    // the M99 met by the main program's own flow ends it.
    EXPECT_EQ(linesOf(scanProgram(prog)), (std::vector<int32_t>{0, 1, 5, 6, 2, 3, 4, 5, 6}));
    // O01000 matches 1000; O1000.0 is label 100000 and does not.
    EXPECT_EQ(linesOf(scanProgram("M98 P1000\nX1.\nO01000\nY1.\nM99\n")),
              (std::vector<int32_t>{0, 3, 4, 1, 2, 3, 4}));
    auto noMatch = scanProgram("M98 P1000\nX1.\nO1000.0\nY1.\nM30\n");
    EXPECT_EQ(linesOf(noMatch), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    // N labels count on the milling machines, not when only O is looked for.
    EXPECT_EQ(linesOf(scanProgram("M98 P7\nX1.\nN7 Y1.\nM99\n")), (std::vector<int32_t>{0, 3, 1, 2, 3}));
    // A call inside a comment that is still open at the end of the line is not made.
    EXPECT_EQ(linesOf(scanProgram("M98 P7 (x\n)X1.\nO7\nY1.\n")), (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST(Subprograms, OnlyOLabelsForTheLatheDialect) {
    TQuonStrings prog;
    prog.SetText("M98 P7\nX1.\nN7 Y1.\nO7\nZ1.\nM99\n");
    ScanState st;
    st.startPass(0);
    st.labelLetters = LabelLetters::OOnly;
    BlockQueue q;
    FetchBlock(prog, st, q);
    FetchBlock(prog, st, q);
    EXPECT_EQ(q[0].line, 4);
}

TEST(Subprograms, MainProgramM99EndsAndNestingStopsAtEleven) {
    TQuonStrings prog;
    prog.SetText("G00\nM99\nG01\n");
    ScanState st;
    st.startPass(0);
    BlockQueue q;
    FetchBlock(prog, st, q);
    FetchBlock(prog, st, q);
    EXPECT_TRUE(q[0].programEnd);
    EXPECT_TRUE(st.programEnded);
    FetchBlock(prog, st, q);
    EXPECT_EQ(q[0].count, 0);  // nothing after the end of the main program is read
    EXPECT_TRUE(q[1].programEnd);

    // A subprogram calling itself: 11 nested calls are made, the twelfth is ignored like a call to a
    // missing label, then 11 returns unwind them and the main program's M99 ends the pass.
    TQuonStrings rec;
    rec.SetText("M98 P5\nM99\nO5\nM98 P5\nX1.\nM99\n");
    ScanState rs;
    rs.startPass(0);
    BlockQueue rq;
    int calls = 0, returns = 0, maxDepth = 0;
    for (int k = 0; k < 200 && !rs.programEnded; ++k) {
        FetchBlock(rec, rs, rq);
        if (rq[0].line == 3) ++calls;
        if (rq[0].line == 5) ++returns;
        maxDepth = std::max<int>(maxDepth, rs.stack.depth);
    }
    EXPECT_EQ(calls, 11);  // depth 1 .. 11; the scan at depth 11 does not jump
    EXPECT_EQ(returns, 11);
    EXPECT_EQ(maxDepth, 11);
    EXPECT_EQ(rs.stack.depth, 0);
    EXPECT_TRUE(rs.programEnded);
    EXPECT_EQ(rq[0].line, 1);
}

}  // namespace
}  // namespace vantrel
