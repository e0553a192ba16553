// Programs in, move transcripts out: the interpreter's motion through the trace entry points, and the
// golden paths of tests/data/nc (checked independently by check_goldens.py there).
#include "nc/trace.h"
#include "cli/trace_command.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "nc/motion_recorder.h"
#include "program/quon_strings.h"

namespace vantrel {
namespace {

std::string dataDir() {
    return std::string(VANTREL_SOURCE_DIR) + "/tests/data/nc/";
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

MotionRecorder trace(const std::string& text, TraceResult* result = nullptr, double diameter = 10) {
    TQuonStrings program;
    program.SetText(text);
    TraceOptions opt;
    opt.toolDiameter = diameter;
    MotionRecorder rec;
    TraceResult r = traceProgram(program, opt, rec);
    if (result != nullptr) *result = r;
    return rec;
}

TEST(TraceGolden, OutputMatchesTheCheckedGoldenFiles) {
    const char* names[] = {"drill_cycles", "helix_turns",     "r_arcs",
                           "comp_contour", "mirror_rotation", "circle_cut_and_return"};
    for (const char* name : names) {
        std::ostringstream out, err;
        int rc = runTraceCommand({dataDir() + name + ".nc"}, out, err);
        EXPECT_EQ(rc, 0) << name << ": " << err.str();
        std::string golden = readFile(dataDir() + name + ".trace.jsonl");
        ASSERT_FALSE(golden.empty()) << name;
        EXPECT_EQ(out.str(), golden) << name;
    }
    std::ostringstream out, err;
    EXPECT_EQ(runTraceCommand({dataDir() + "helix_turns.nc", "--steps"}, out, err), 0);
    EXPECT_EQ(out.str(), readFile(dataDir() + "helix_turns.steps.jsonl"));
}

TEST(TraceCommand, BadArgumentsGetJapaneseMessagesAndStatus2) {
    std::ostringstream out, err;
    EXPECT_EQ(runTraceCommand({}, out, err), 2);
    EXPECT_NE(err.str().find("使い方"), std::string::npos);
    err.str("");
    EXPECT_EQ(runTraceCommand({"a.nc", "--machine", "robot"}, out, err), 2);
    EXPECT_NE(err.str().find("機械の種類"), std::string::npos);
    for (const char* bad : {"abc", "-1", "nan", "1e400", ""}) {
        err.str("");
        EXPECT_EQ(runTraceCommand({"a.nc", "--tool-diameter", bad}, out, err), 2) << bad;
        EXPECT_NE(err.str().find("工具径"), std::string::npos);
    }
    err.str("");
    EXPECT_EQ(runTraceCommand({dataDir() + "no_such_file.nc"}, out, err), 1);
    EXPECT_NE(err.str().find("読み込めません"), std::string::npos);
    EXPECT_TRUE(out.str().empty());
}

TEST(TraceCommand, NumbersAreStable) {
    EXPECT_EQ(formatTraceNumber(0), "0");
    EXPECT_EQ(formatTraceNumber(-0.0), "0");
    EXPECT_EQ(formatTraceNumber(-1e-9), "0");
    EXPECT_EQ(formatTraceNumber(2.5), "2.5");
    EXPECT_EQ(formatTraceNumber(-8.6602540378), "-8.660254");
    EXPECT_EQ(formatTraceNumber(435), "435");
    EXPECT_EQ(formatTraceNumber(std::nan("")), "null");
}

TEST(MotionBlocks, SetUpBlocksOfMirrorAndRotationMakeNoMove) {
    MotionRecorder rec = trace("G90 G00 X0 Y0 Z0\nG51.1 X10.\nG50.1 G00 X0\nG68 X5. Y5. R45.\nM30\n");
    ASSERT_EQ(rec.pieces.size(), 2u);
    EXPECT_EQ(rec.pieces[1].line, 2);
}

TEST(MotionBlocks, IncrementalCycleMeasuresRAndBottomFromTheInitialLevel) {
    // From Z10: R-2. puts the R point at 8, Z-5. the bottom at 5.
    MotionRecorder rec = trace("G90 G00 X0 Y0 Z10.\nG91 G81 X0 Y0 Z-5. R-2. F100.\nG80\nM30\n");
    ASSERT_GE(rec.pieces.size(), 5u);
    EXPECT_EQ(rec.pieces[2].segment.end.z, 8);
    EXPECT_EQ(rec.pieces[3].segment.moveKind, kMoveLine);
    EXPECT_EQ(rec.pieces[3].segment.start.z, 8);
    EXPECT_EQ(rec.pieces[3].segment.end.z, 5);
}

TEST(MotionBlocks, CycleWithoutAnyRStartsAtTheCurrentZ) {
    MotionRecorder rec = trace("G90 G00 X0 Y0 Z10.\nG81 X5. Z-2. F100.\nG80\nM30\n");
    ASSERT_GE(rec.pieces.size(), 5u);
    for (const auto& p : rec.pieces) {
        EXPECT_TRUE(isFinite(p.segment.start));
        EXPECT_TRUE(isFinite(p.segment.end));
    }
    EXPECT_EQ(rec.pieces[2].segment.end.z, 10);  // the R point is where the tool stood
    EXPECT_EQ(rec.pieces[3].segment.end.z, -2);
}

TEST(MotionBlocks, ReferenceReturnLeavesXYAndGoesToReferenceMinusToolLength) {
    TraceResult r;
    trace("G90 G00 X12. Y7. Z3.\nG28 Z0\nM30\n", &r);
    EXPECT_EQ(r.end, (Vec3{12, 7, 435}));
}

TEST(MotionBlocks, CompensationLookAheadPassesPlungesBy) {
    // The Z-only plunge between the start-up and the first side must not hide the first side: the
    // start-up still ends beside it, and the plunge keeps that offset point.
    MotionRecorder rec = trace(
        "G90 G00 X-10. Y0 Z5.\nG41 D1 G01 X0 Y0 F100.\nZ-2.\nY20.\nX20.\nG40 X30. Y30.\nM30\n", nullptr, 4);
    ASSERT_GE(rec.pieces.size(), 4u);
    EXPECT_EQ(rec.pieces[1].segment.end, (Vec3{-2, 0, 5}));   // start-up beside the Y side
    EXPECT_EQ(rec.pieces[2].segment.end, (Vec3{-2, 0, -2}));  // plunge: Z only
    EXPECT_EQ(rec.pieces[3].segment.start, (Vec3{-2, 0, -2}));
    EXPECT_EQ(rec.pieces[3].segment.end.x, -2);
}

TEST(MotionBlocks, NurbsPointsRunOutAsFeedMovesWhenTheModeEnds) {
    MotionRecorder rec =
        trace("G90 G00 X0 Y0 Z0\nG06.2 P4 X1. Y1. R1. F100.\nX2. Y0\nX3. Y1.\nG01 X4. Y0\nM30\n");
    ASSERT_EQ(rec.pieces.size(), 5u);
    const Vec3 ends[] = {{1, 1, 0}, {2, 0, 0}, {3, 1, 0}, {4, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rec.pieces[static_cast<size_t>(i + 1)].segment.moveKind, kMoveLine);
        EXPECT_EQ(rec.pieces[static_cast<size_t>(i + 1)].segment.end, ends[i]);
    }
}

TEST(MotionBlocks, FeedZeroAndBadWordsNeverLoopOrMakeNaN) {
    TraceResult r;
    MotionRecorder rec = trace(
        "G90 G00 X0 Y0 Z0\nG01 X10. F0.\nG02 X0 Y0 R0\nG12 I-3.\nG73 X1. Z-1. R1. Q0 F0.\nG80\nG91 G03 X0 Y0 "
        "I0 "
        "J0\nM30\n",
        &r);
    EXPECT_FALSE(r.budgetSpent);
    for (const Vec3& p : rec.steps) ASSERT_TRUE(isFinite(p));
    EXPECT_TRUE(isFinite(r.end));
    EXPECT_TRUE(std::isfinite(r.cuttingTime));
}

TEST(MotionBlocks, ArcTimeWithoutAnyFeedIsNotInfinite) {
    TraceResult r;
    trace("G90 G00 X10. Y0 Z0\nG03 X-10. Y0 R10.\nM30\n", &r);
    EXPECT_TRUE(std::isfinite(r.cuttingTime));
    EXPECT_NEAR(r.cuttingTime, std::hypot(10.0, 435.0) / 10000, 1e-12);
}

TEST(MotionBlocks, SubprogramLoopEndsAtTheBlockBudget) {
    TQuonStrings program;
    // The subprogram returns to its own caller line forever.
    program.SetText("G90 G00 X0 Y0 Z0\nM98 P100\nX1.\nO100\nX2.\nM98 P100\nM99\n");
    TraceOptions opt;
    opt.blockBudget = 5000;
    MotionRecorder rec;
    rec.keepSteps = false;
    TraceResult r = traceProgram(program, opt, rec);
    EXPECT_LE(r.blocks, 5000);
}

}  // namespace
}  // namespace vantrel
