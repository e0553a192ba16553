// Material removal driven the way playback drives it: program lines through the block scanner,
// moves through the steppers, one cut per published step.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "editor/quon_strings.h"
#include "nc/block_scanner.h"
#include "nc/motion.h"
#include "stock/material_removal.h"

namespace vantrel {
namespace {

class CutSink : public MotionSink {
  public:
    CutSink(StockGrid& g, const StockSpec& s, const ToolRecord& t)
        : grid_(g), stock_(s), tool_(t), profile_(computeToolProfile(t, 0)) {}
    void onStep(const Vec3& pos, bool) override { cut(pos); }
    void onMoveEnd(const Vec3& end) override { cut(end); }
    int64_t cuts = 0;

  private:
    void cut(const Vec3& p) {
        applyMillCut(grid_, stock_, tool_, profile_, p, false);
        ++cuts;
    }
    StockGrid& grid_;
    const StockSpec& stock_;
    const ToolRecord& tool_;
    ToolProfile profile_;
};

// Plays G00/G01 blocks with absolute X, Y, Z words; feeds step at the stock pitch.
void play(const std::vector<std::string>& lines, StepperEnv& env, double feedStep, Vec3 pos) {
    TQuonStrings program;
    program.Put(0, lines[0]);
    for (size_t i = 1; i < lines.size(); ++i) program.Add(lines[i]);
    ScanState scan;
    scan.startPass(0);
    BlockQueue queue;
    int32_t motion = kMoveRapid;
    for (int guard = 0; guard < 10000; ++guard) {
        FetchBlock(program, scan, queue);
        const BlockWords& b = queue.executing();
        if (b.count > 0) {
            Vec3 end = pos;
            bool moves = false;
            for (int i = 0; i < b.count; ++i) {
                const double v = b.values[static_cast<size_t>(i)];
                switch (b.codes[static_cast<size_t>(i)]) {
                    case kCodeG:
                        if (v == 0 || v == 1) motion = v == 0 ? kMoveRapid : kMoveLine;
                        break;
                    case kCodeX:
                        end.x = v, moves = true;
                        break;
                    case kCodeY:
                        end.y = v, moves = true;
                        break;
                    case kCodeZ:
                        end.z = v, moves = true;
                        break;
                    default:
                        break;
                }
            }
            if (moves) {
                MotionSegment piece;
                piece.moveKind = motion;
                piece.start = pos;
                piece.end = end;
                runPiece(env, piece, feedStep);
                pos = end;
            }
            if (b.line >= program.count() - 1) break;
        }
    }
}

double removedVolume(const StockGrid& g, const StockSpec& s) {
    const int nx = stockNodeCount(s.sizeX, s.pitch), ny = stockNodeCount(s.sizeY, s.pitch);
    double v = 0;
    for (int ix = 0; ix <= nx; ++ix)
        for (int iy = 0; iy <= ny; ++iy) v += (s.sizeZ - g.height(ix, iy)) * s.pitch * s.pitch;
    return v;
}

TEST(CutPlayback, PocketVolumeMatchesTheAnalyticPocket) {
    StockGrid grid;
    StockSpec stock;
    stock.pitch = 0.5;
    initialiseStockGrid(grid, stock, MachineKind::VerticalMill);
    ToolRecord tool = defaultMillTool();
    tool.noseRadius = 0;  // flat end mill D10

    // Zig-zag over the centre square [30, 70] x [30, 70], 5 mm apart, 5 mm deep.
    std::vector<std::string> lines = {"G90 G00 X30. Y30. Z5.", "G01 Z-5. F200"};
    bool right = true;
    for (int y = 30; y <= 70; y += 5) {
        if (y > 30) lines.push_back("Y" + std::to_string(y) + ".");
        lines.push_back(right ? "X70." : "X30.");
        right = !right;
    }
    lines.push_back("G00 Z5.");
    lines.push_back("M30");

    CutSink sink(grid, stock, tool);
    ToolPosition position;
    StepperEnv env;
    env.tool = &position;
    env.sink = &sink;
    env.rapidStep = 10;
    play(lines, env, stock.pitch, {0, 0, 100});

    // The cutter sweeps the square [25, 75]^2 with its corners rounded to the tool radius.
    const double area = 50.0 * 50.0 - (4 - std::numbers::pi) * 25.0;
    const double analytic = area * 5;
    // Discretisation: the boundary nodes stand for half a cell either way.
    const double perimeter = 4 * 40.0 + 2 * std::numbers::pi * 5;
    const double tolerance = perimeter * stock.pitch / 2 * 5;
    const double removed = removedVolume(grid, stock);
    EXPECT_NEAR(removed, analytic, tolerance);
    RecordProperty("removed_minus_analytic", std::to_string(removed - analytic));
    EXPECT_GT(sink.cuts, 800);
    EXPECT_EQ(grid.height(100, 100), 45);  // (50, 50): the floor
    EXPECT_EQ(grid.height(40, 100), 50);   // X 20: outside
    EXPECT_EQ(position.get(), (Vec3{70, 70, 5}));

    // Playing it again removes nothing more.
    const double before = removedVolume(grid, stock);
    play(lines, env, stock.pitch, {0, 0, 100});
    EXPECT_DOUBLE_EQ(removedVolume(grid, stock), before);
}

TEST(CutPlayback, LatheFacingTurningBoringAndDrilling) {
    StockGrid grid;
    StockSpec stock;
    applyMachineStockDefaults(stock, MachineKind::Lathe);  // D100, bore 0, length 150, face at Z 0
    initialiseStockGrid(grid, stock, MachineKind::Lathe);
    ToolRecord outer = defaultLatheTool();  // 外右
    ToolRecord inner = defaultLatheTool();
    applyLatheToolKind(inner, 4);  // 内右
    ToolRecord drill = defaultLatheTool();
    applyLatheToolKind(drill, 9);  // 端ドリル, D10

    // Facing at Z -0.5 down past the centre, then turning to D80 over 50 mm in 0.25 mm steps.
    for (double x = 55; x >= -0.5; x -= 0.25) applyTurnCut(grid, stock, outer, {x, 0, -0.5});
    for (double z = 2; z >= -50; z -= 0.25) applyTurnCut(grid, stock, outer, {40, 0, z});
    // Drill 30 deep, then bore to D20 over 20 mm.
    for (double z = 5; z >= -30; z -= 0.25) applyTurnCut(grid, stock, drill, {0, 0, z});
    for (double z = -1; z >= -20; z -= 0.25) applyTurnCut(grid, stock, inner, {10, 0, z});

    const float* od = grid.outerDiameters();
    const float* id = grid.innerDiameters();
    EXPECT_EQ(od[0], -1);  // faced past the axis: stored as it is
    for (int k = 1; k <= 49; ++k) EXPECT_EQ(od[k], 80) << k;
    EXPECT_EQ(od[50], 80);  // Z -50 lies on slice 50's face
    EXPECT_EQ(od[51], 100);
    for (int k = 1; k <= 20; ++k) EXPECT_EQ(id[k], 20) << k;
    for (int k = 21; k <= 30; ++k) EXPECT_EQ(id[k], 10) << k;
    EXPECT_EQ(id[31], 0);
    // An outer profile never grows under an outer tool.
    for (double z = 0; z >= -60; z -= 0.5) applyTurnCut(grid, stock, outer, {45, 0, z});
    EXPECT_EQ(od[10], 80);
}

// The shape-specific loops must give what the general outline gives.
TEST(CutPlayback, FlatAndBallLoopsAgreeWithTheGeneralOutline) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> xy(-3, 103), z(-12, 1);
    for (double nose : {0.0, 5.0}) {
        StockGrid a, b;
        StockSpec stock;
        stock.pitch = 0.5;
        initialiseStockGrid(a, stock, MachineKind::VerticalMill);
        initialiseStockGrid(b, stock, MachineKind::VerticalMill);
        ToolRecord fast = defaultMillTool();
        fast.noseRadius = nose;
        ToolRecord general = fast;
        general.angleA = 1e-7;  // practically the same cutter, but not recognised as flat or ball
        const ToolProfile pf = computeToolProfile(fast, 0), pg = computeToolProfile(general, 0);
        for (int i = 0; i < 300; ++i) {
            const Vec3 p{xy(rng), xy(rng), z(rng)};
            applyMillCut(a, stock, fast, pf, p, false);
            applyMillCut(b, stock, general, pg, p, false);
        }
        double worst = 0;
        for (int ix = 0; ix <= 200; ++ix)
            for (int iy = 0; iy <= 200; ++iy)
                worst = std::max(worst, static_cast<double>(std::fabs(a.height(ix, iy) - b.height(ix, iy))));
        EXPECT_LT(worst, 1e-3) << "nose radius " << nose;
    }
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

// The vector path and the portable loops must give the same heights, bit for bit.
TEST(CutPlayback, VectorAndPortableCutsAgreeExactly) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> xy(-8, 108), z(-60, 2), d(0.3, 30);
    StockSpec stock;
    stock.pitch = 0.7;  // window rows of every length modulo 8
    StockGrid a, b;
    initialiseStockGrid(a, stock, MachineKind::VerticalMill);
    initialiseStockGrid(b, stock, MachineKind::VerticalMill);
    for (int i = 0; i < 400; ++i) {
        ToolRecord t = defaultMillTool();
        t.diameter = d(rng);
        switch (i % 4) {
            case 0:
                t.noseRadius = 0;
                break;  // flat
            case 1:
                t.noseRadius = t.diameter / 2;
                break;  // ball
            case 2:
                t.noseRadius = t.diameter / 5;
                break;  // bull nose
            case 3:
                t.noseRadius = 0, t.angleA = 30;
                break;  // drill point
        }
        if (i % 7 == 0) t.angleB = 10;  // tapered side
        const ToolProfile prof = computeToolProfile(t, 0);
        const Vec3 p{xy(rng), xy(rng), z(rng)};
        setVectorMillCut(true);
        const MillCutResult ra = applyMillCut(a, stock, t, prof, p, false);
        setVectorMillCut(false);
        const MillCutResult rb = applyMillCut(b, stock, t, prof, p, false);
        ASSERT_EQ(ra.stockChanged, rb.stockChanged) << i;
    }
    setVectorMillCut(true);
    int differing = 0;
    for (int ix = 0; ix <= kStockMaxIndex; ++ix)
        for (int iy = 0; iy <= kStockMaxIndex; ++iy)
            if (a.height(ix, iy) != b.height(ix, iy)) ++differing;
    EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace vantrel
