#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/stock_fit_pass.h"
#include "nc/block_scanner.h"

namespace vantrel {
namespace {

PathExtentScan scanText(const std::vector<std::string>& lines, Vec3 start = {0, 0, 100},
                        StockFitOptions o = {}) {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    TQuonStrings prog;
    prog.SetText(text);
    o.start = start;
    o.reference = {0, 0, 500};
    return scanProgramExtent(prog, o);
}

PathExtent scan(const std::vector<std::string>& lines, Vec3 start = {0, 0, 100}) {
    PathExtentScan s = scanText(lines, start);
    EXPECT_EQ(s.notice, "");
    return s.extent;
}

TEST(StockFit, ManyCallsCostALookupEach) {
    // 40,000 lines of which half call a subprogram at the end: once a pass over the whole program per
    // call (80 s); now the labels are indexed once.
    std::vector<std::string> lines{"G90 G01 Z-1. F100"};
    for (int i = 0; i < 20000; ++i) {
        lines.push_back(std::string("G01 X").append(std::to_string(i % 100)).append("."));
        lines.push_back("M98 P9000");
    }
    lines.insert(lines.end(), {"M30", "O9000", "G01 Y5.", "Y0", "M99"});
    const auto t0 = std::chrono::steady_clock::now();
    const PathExtent e = scan(lines);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 2.0);
    EXPECT_EQ(e.max, (Vec3{99, 5, -1}));
}

TEST(StockFit, FeedsWidenRapidsOnlyMove) {
    PathExtent e = scan(
        {"G00 X-50. Y-50. Z5.", "G01 Z0", "G01 X10. Y20.", "X30.", "G00 X500. Z50.", "M30", "G01 X900."});
    ASSERT_TRUE(e.any());
    EXPECT_EQ(e.min, (Vec3{-50, -50, 0}));  // G01 Z0 at (-50,-50) opens the box
    EXPECT_EQ(e.max, (Vec3{30, 20, 0}));

    StockSpec s;
    ASSERT_TRUE(fitStockToExtent(s, MachineKind::VerticalMill, e));
    EXPECT_EQ(s.offsetX, -50);
    EXPECT_EQ(s.sizeX, 80);
    EXPECT_EQ(s.sizeY, 70);
    EXPECT_EQ(s.sizeZ, 10);  // a single Z level gets 10
    EXPECT_EQ(s.offsetZ, 0);
}

TEST(StockFit, ArcsAddTheQuadrantPointsTheyPass) {
    // Counter-clockwise half circle from (10, 0) to (-10, 0) around the origin passes 90 degrees.
    PathExtent e = scan({"G00 X10. Y0 Z0", "G03 X-10. Y0 I-10. J0"});
    EXPECT_NEAR(e.max.y, 10, 1e-9);
    EXPECT_NEAR(e.min.y, 0, 1e-9);
    EXPECT_NEAR(e.min.x, -10, 1e-9);
    // The clockwise one passes 270 degrees instead.
    e = scan({"G00 X10. Y0 Z0", "G02 X-10. Y0 I-10. J0"});
    EXPECT_NEAR(e.min.y, -10, 1e-9);
    EXPECT_NEAR(e.max.y, 0, 1e-9);
    // Start equal to end: a full circle.
    e = scan({"G00 X10. Y0 Z0", "G02 X10. Y0 I-10."});
    EXPECT_NEAR(e.min.x, -10, 1e-9);
    EXPECT_NEAR(e.max.y, 10, 1e-9);
    // A radius word: the short arc for R > 0, the long one for R < 0.
    e = scan({"G00 X0 Y0 Z0", "G02 X20. Y0 R10."});
    EXPECT_NEAR(e.max.y, 10, 1e-9);
    e = scan({"G00 X0 Y0 Z0", "G03 X20. Y0 R-20."});  // round the far side of a centre below
    EXPECT_NEAR(e.min.y, -17.320508 - 20, 1e-6);
    EXPECT_NEAR(e.max.y, 0, 1e-9);
    // ZX plane: the quadrants are taken on Z and X.
    e = scan({"G18 G00 X0 Y0 Z10.", "G03 X0 Z-10. K-10."});
    EXPECT_NEAR(e.max.z, 10, 1e-9);
    EXPECT_NEAR(e.min.z, -10, 1e-9);
    EXPECT_NEAR(std::max(std::fabs(e.min.x), std::fabs(e.max.x)), 10, 1e-9);  // one side of the circle
}

TEST(StockFit, ModesCommentsReferenceAndCycles) {
    PathExtent e = scan({"(G01 X999.", "still comment) G91 G01 X10. Y5.", "X10.", "G90 G28 Z0",
                         "G01 X0 Y0 (Z is now the reference 500)", "G81 X5. Y5. Z-30. R2.", "G80"},
                        {0, 0, 0});
    EXPECT_EQ(e.max.x, 20);
    EXPECT_EQ(e.max.y, 5);
    EXPECT_EQ(e.max.z, 500);
    EXPECT_EQ(e.min.z, -30);  // widened by the drilling cycle's Z
    // Upper and lower case, numbers without a point count in thousandths.
    e = scan({"g01 x1000 y2."}, {0, 0, 0});
    EXPECT_EQ(e.max.x, 1);
    EXPECT_EQ(e.max.y, 2);
}

TEST(StockFit, SubprogramsAndBoundedCalls) {
    PathExtent e = scan({"G01 X1. Y1. Z0", "M98 P100", "G01 X2.", "M30", "O100", "G01 Y50.", "M99"});
    EXPECT_EQ(e.max.y, 50);
    EXPECT_EQ(e.max.x, 2);
    // A subprogram that calls itself forever stops at the depth limit, and the scan ends.
    e = scan({"G01 X1. Y1. Z0", "O200", "G91 G01 X1.", "M98 P200", "M30"});
    EXPECT_EQ(e.max.x, 1 + 1 + SubprogramStack::kCapacity);
    // M99 in the main program ends the scan; a call to a missing label is ignored.
    e = scan({"G01 X1. Y1. Z0", "M98 P9", "M99", "G01 X100."});
    EXPECT_EQ(e.max.x, 1);
}

TEST(StockFit, LatheAndWireFits) {
    PathExtent e = scan({"G00 X60. Z5.", "G01 X40. Z-30.", "X20. Z-40."});
    StockSpec s;
    ASSERT_TRUE(fitStockToExtent(s, MachineKind::Lathe, e));
    EXPECT_EQ(s.sizeX, 80);
    EXPECT_EQ(s.sizeY, 40);
    EXPECT_EQ(s.sizeZ, 10 + 40);
    EXPECT_EQ(s.offsetX, -30);

    StockSpec w;
    ASSERT_TRUE(fitStockToExtent(w, MachineKind::WireEdm, scan({"G01 X-5. Y-6. Z0", "X5."})));
    EXPECT_EQ(w.offsetX, -5);
    EXPECT_EQ(w.offsetY, -6);
    EXPECT_EQ(w.sizeX, 100);  // the wire EDM keeps its sizes

    StockSpec none;
    EXPECT_FALSE(fitStockToExtent(none, MachineKind::VerticalMill, scan({"G00 X5.", "M30"})));
    EXPECT_EQ(none.sizeX, 100);
}

TEST(StockFit, ALatheProgramIsFittedInRadiiWhateverItsProgramming) {
    // The turning dialect reads X once: in diameter by default, halved to the radius the tool moves at.
    // Halving again after the pass would fit a bar half the part's size.
    StockFitOptions o;
    o.kind = MachineKind::Lathe;
    o.diameterDivisor = 2;
    const std::vector<std::string> program{"G00 X60. Z5.", "G01 X40. Z-30.", "X20. Z-40."};
    // Only the feed moves count: diameters 40 and 20.
    PathExtent e = scanText(program, {0, 0, 100}, o).extent;
    EXPECT_DOUBLE_EQ(e.max.x, 20);
    EXPECT_DOUBLE_EQ(e.min.x, 10);
    o.diameterDivisor = 1;  // radius programming
    e = scanText(program, {0, 0, 100}, o).extent;
    EXPECT_DOUBLE_EQ(e.max.x, 40);
    EXPECT_DOUBLE_EQ(e.min.x, 20);
}

TEST(StockFit, SizesStayWithinTheLattice) {
    StockSpec s;
    s.pitch = 0.1;
    ASSERT_TRUE(fitStockToExtent(s, MachineKind::VerticalMill, scan({"G01 X0 Y0 Z0", "X250. Y50. Z-5."})));
    EXPECT_FLOAT_EQ(s.sizeX, 100);
    EXPECT_FLOAT_EQ(s.sizeY, 50);
    // Offsets and sizes stay within what the stock tab accepts, whatever the path.
    ASSERT_TRUE(fitStockToExtent(s, MachineKind::VerticalMill, scan({"G01 X99999. Y-5000. Z-99999."})));
    EXPECT_FLOAT_EQ(s.offsetX, 1000);
    EXPECT_FLOAT_EQ(s.offsetY, -1000);
    EXPECT_FLOAT_EQ(s.offsetZ, -1000);
    s.pitch = 1;
    ASSERT_TRUE(fitStockToExtent(s, MachineKind::Lathe, scan({"G01 X5000. Z0", "X-20. Z-3000."})));
    EXPECT_FLOAT_EQ(s.sizeX, 1000);
    EXPECT_FLOAT_EQ(s.sizeY, 0);  // a bore below the axis is no bore
    EXPECT_FLOAT_EQ(s.sizeZ, 1000);
    EXPECT_FLOAT_EQ(s.offsetX, 0);
}

// Subprograms nested ten deep, each calling the next ten times: 10^10 blocks, a program that would
// keep the window busy for hours.
std::vector<std::string> practicallyEndless() {
    std::vector<std::string> lines{"G90 G01 X1. Y1. Z0 F100", "M98 P1", "M30"};
    for (int level = 1; level <= 10; ++level) {
        lines.push_back(std::string("O").append(std::to_string(level)));
        for (int call = 0; call < 10; ++call)
            lines.push_back(level < 10 ? std::string("M98 P").append(std::to_string(level + 1))
                                       : "G91 X0.001");
        lines.push_back("M99");
    }
    return lines;
}

TEST(StockFit, CyclesWidenByTheirHoleBottomsOnly) {
    // A drilling program alone: the holes' positions and bottoms, not the approach above them nor the
    // bored hole's feed back up to R.
    PathExtent e = scan({"G90 G00 X0 Y0 Z50.", "G81 X10. Y20. Z-15. R2. F100", "X-30. Y5.",
                         "G85 X40. Z-8. R3.", "G80", "G00 X500. Y500.", "M30"});
    EXPECT_EQ(e.min, (Vec3{-30, 5, -15}));
    EXPECT_EQ(e.max, (Vec3{40, 20, -8}));
}

TEST(StockFit, BudgetsEndAPassThatWouldNotEndAndFitWhatItSaw) {
    const auto t0 = std::chrono::steady_clock::now();
    PathExtentScan s = scanText(practicallyEndless());
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 30.0);
    EXPECT_EQ(s.notice, kMsgStockFitCutShort);
    ASSERT_TRUE(s.extent.any());
    EXPECT_EQ(s.extent.min, (Vec3{1, 1, 0}));
    EXPECT_GT(s.extent.max.x, 1);

    // One block can make many pieces: a cycle drilling its hole 9999 times stops at the piece budget
    // and still fits the hole it saw.
    StockFitOptions o;
    o.pieceBudget = 100;
    s = scanText({"G81 X1. Y2. Z-5. R2. L9999 F100", "G80 G01 X50.", "M30"}, {0, 0, 10}, o);
    EXPECT_EQ(s.notice, kMsgStockFitCutShort);
    EXPECT_EQ(s.extent.min, (Vec3{1, 2, -5}));
    EXPECT_EQ(s.extent.max, (Vec3{1, 2, -5}));  // the pass ended before the feed to X50.
    // A budget that the program stays within changes nothing.
    o.pieceBudget = 100000;
    s = scanText({"G81 X1. Y2. Z-5. R2. L9999 F100", "G80 G01 X50.", "M30"}, {0, 0, 10}, o);
    EXPECT_EQ(s.notice, "");
    EXPECT_EQ(s.extent.max, (Vec3{50, 2, 10}));  // the feed runs at the initial level
}

}  // namespace
}  // namespace vantrel
