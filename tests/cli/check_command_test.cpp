// The program checks through the play the window and `vantrel-sim check` run: programs with one fault
// at a known line, volumes worked out by hand, the holder collision, the clean samples, and the command's
// lines and exit codes.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <numbers>
#include <sstream>

#include "app/headless_setup.h"
#include "app/play_session.h"
#include "cli/check_command.h"
#include "cli/play_command.h"
#include "program/quon_strings.h"
#include "tools/tool_table.h"

using namespace vantrel;

namespace {

constexpr double kPiValue = std::numbers::pi;

struct Checked {
    PlayResult result;
    std::vector<Finding> findings;
};

// Plays `text` in fast mode as `vantrel-sim check` does, after `adjust` has changed the state.
Checked checkText(const std::string& text, HeadlessOptions opt,
                  const std::function<void(AppState&)>& adjust = {}) {
    auto state = std::make_unique<AppState>();
    AppState& s = *state;
    std::string error;
    EXPECT_TRUE(setUpHeadlessState(s, opt, &error)) << error;
    if (adjust) adjust(s);
    TQuonStrings program;
    program.SetText(text);
    HeadlessPlay play(s, program);
    Checked c;
    c.result = play.session().controller().runNow(PlaybackController::modeFor(1, s.machineKind, false));
    c.findings = play.session().checks().findings();
    return c;
}

// Flat end mills (the start-up tool has a nose radius of 5).
HeadlessOptions millOptions(double diameter, double pitch = 0.5) {
    HeadlessOptions o;
    o.toolDiameter = diameter;
    o.noseRadius = 0;
    o.pitch = pitch;
    return o;
}

// Every entry of the milling list gets the cutter and holder (and the holder standard none).
std::function<void(AppState&)> withTool(double diameter, double length, double holderDiameter,
                                        double holderLength) {
    return [=](AppState& s) {
        for (ToolRecord& t : s.tools.millTools) {
            t.diameter = diameter;
            t.noseRadius = 0;
            t.length = length;
            t.holderDiameter = holderDiameter;
            t.holderLength = holderLength;
        }
        loadWorkingTool(s.tools, s.machineKind, s.tools.currentToolIndex);
        s.machine.holderStandard = 0;
    };
}

std::string describe(const std::vector<Finding>& f) {
    return findingsJson(f);
}

std::string tempFile(const std::string& name, const std::string& text) {
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

}  // namespace

// Default stock: 100 x 100 x 50, top at Z0, bottom at Z-50. Y50.25 keeps the cutter's edges off the
// lattice lines of the 0.5 pitch, so the node sums have no boundary ambiguity.
TEST(ProgramChecks, RapidThroughTheStockIsFoundWithItsSweptVolume) {
    const Checked c = checkText(
        "G90 G00 X-20. Y50.25 Z5.\nS1000 M03\nG00 Z-3.\nG00 X120.\nG00 Z5.\nM05\nM30\n", millOptions(10));
    ASSERT_EQ(c.findings.size(), 1u) << describe(c.findings);
    const Finding& f = c.findings[0];
    EXPECT_EQ(f.kind, FindingKind::RapidCut);
    EXPECT_EQ(f.line, 3);
    EXPECT_EQ(f.n, -1);
    // A 10 mm wide, 3 mm deep slot through the 100 mm of stock.
    EXPECT_NEAR(f.volume, 100 * 10 * 3, 0.05 * 3000);
    EXPECT_NEAR(f.position.y, 50.25, 1e-9);
    EXPECT_NEAR(f.position.z, -3, 1e-9);
    EXPECT_GE(f.position.x, -10);  // the first step that reaches the stock, not the move's start
}

TEST(ProgramChecks, RapidAcrossATwoMillimetreWallBetweenSamplesIsFound) {
    // Two D6 pockets 5 deep (X20..48.25 and X50.25..78) leave a 2 mm wall; the rapid from X25 to X55 at
    // the pockets' depth samples X35, X45, X55 and its cut never touches the wall.
    const std::string program =
        "G90 G00 X23. Y50.25 Z5.\nS1000 M03\nG01 Z-5. F300\nX45.25\nG00 Z5.\nX53.25\nG01 Z-5.\nX75.\n"
        "G00 Z5.\nX25.\nZ-5.\nX55.\nG00 Z5.\nM05\nM30\n";
    const Checked c = checkText(program, millOptions(6));
    ASSERT_EQ(c.findings.size(), 1u) << describe(c.findings);
    EXPECT_EQ(c.findings[0].kind, FindingKind::RapidCut);
    EXPECT_EQ(c.findings[0].line, 11);
    // The wall (2 x 6) and the two corners the pockets' round ends left in the rapid's path
    // (6 x 3 less half a disc of radius 3, each), 5 deep.
    const double corners = 2 * (6 * 3 - kPiValue * 9 / 2);
    EXPECT_NEAR(c.findings[0].volume, (2 * 6 + corners) * 5, 0.05 * (2 * 6 + corners) * 5);
}

TEST(ProgramChecks, FeedWithTheSpindleStoppedCarriesTheLineAndN) {
    const Checked c =
        checkText("G90 G00 X-20. Y50.25 Z5.\nG00 Z-3.\nN20 G01 X120. F500\nG00 Z5.\nM30\n", millOptions(10));
    ASSERT_EQ(c.findings.size(), 1u) << describe(c.findings);
    EXPECT_EQ(c.findings[0].kind, FindingKind::SpindleStopped);
    EXPECT_EQ(c.findings[0].line, 2);
    EXPECT_EQ(c.findings[0].n, 20);
    EXPECT_NEAR(c.findings[0].volume, 3000, 150);
}

TEST(ProgramChecks, CutBelowTheStockBottomIsFoundOnce) {
    // A 60 mm cutter plunges 2 mm through the 50 mm block: a D10 disc 2 mm deep under the block.
    const Checked c = checkText("G90 G00 X50.25 Y50.25 Z5.\nS1000 M03\nG01 Z-52. F100\nG00 Z5.\nM05\nM30\n",
                                millOptions(10), withTool(10, 60, 20, 40));
    ASSERT_EQ(c.findings.size(), 1u) << describe(c.findings);
    EXPECT_EQ(c.findings[0].kind, FindingKind::BelowStock);
    EXPECT_EQ(c.findings[0].line, 2);
    EXPECT_NEAR(c.findings[0].volume, kPiValue * 25 * 2, 0.05 * kPiValue * 25 * 2);
}

TEST(ProgramChecks, HolderPlungingIntoTheBlockIsFoundAtTheCutterLength) {
    // D10 cutter 30 long, holder diameter 20: the holder's end reaches the top at depth 30.
    const Checked c = checkText("G90 G00 X50.25 Y50.25 Z5.\nS1000 M03\nG01 Z-40. F100\nG00 Z5.\nM05\nM30\n",
                                millOptions(10), withTool(10, 30, 20, 40));
    ASSERT_EQ(c.findings.size(), 1u) << describe(c.findings);
    const Finding& f = c.findings[0];
    EXPECT_EQ(f.kind, FindingKind::Holder);
    EXPECT_EQ(f.line, 2);
    EXPECT_LE(f.position.z, -30 + 1e-6);  // not before depth 30
    EXPECT_GT(f.position.z, -30.5);       // but at the first step that gets there
    // The ring between the hole and the holder (radii 5 and 10) over the last 10 mm.
    const double ring = kPiValue * (100 - 25) * 10;
    EXPECT_NEAR(f.volume, ring, 0.05 * ring);

    // With a 31 mm cutter the same plunge to Z-30 keeps the holder clear.
    const Checked clear =
        checkText("G90 G00 X50.25 Y50.25 Z5.\nS1000 M03\nG01 Z-30. F100\nG00 Z5.\nM05\nM30\n",
                  millOptions(10), withTool(10, 31, 20, 40));
    EXPECT_TRUE(clear.findings.empty()) << describe(clear.findings);
}

TEST(ProgramChecks, HolderInANarrowSlotMeetsTheWalls) {
    // A slot 12 wide and 40 deep along X at Y50.25 (set into the stock), the D10 cutter plunges into it
    // to Z-35: the holder (diameter 20) meets the walls when its end reaches their top, at depth 30.
    auto slot = [](AppState& s) {
        withTool(10, 30, 20, 40)(s);
        const int n = stockNodeCount(s.stock.sizeX, s.stock.pitch);
        for (int ix = 0; ix <= n; ++ix)
            for (int iy = 0; iy <= n; ++iy)
                if (std::fabs(iy * s.stock.pitch - 50.25) < 6) s.stockGrid.height(ix, iy) = 10;
    };
    const Checked c = checkText("G90 G00 X50.25 Y50.25 Z5.\nS1000 M03\nG01 Z-35. F100\nG00 Z5.\nM05\nM30\n",
                                millOptions(10), slot);
    ASSERT_EQ(c.findings.size(), 1u) << describe(c.findings);
    const Finding& f = c.findings[0];
    EXPECT_EQ(f.kind, FindingKind::Holder);
    EXPECT_EQ(f.line, 2);
    EXPECT_LE(f.position.z, -30 + 1e-6);
    EXPECT_GT(f.position.z, -30.5);
    // The holder's disc outside the slot: two circular segments at 6 from the centre, 5 deep.
    const double segments = 2 * (100 * std::acos(0.6) - 6 * 8);
    EXPECT_NEAR(f.volume, segments * 5, 0.05 * segments * 5);
}

TEST(ProgramChecks, HolderStandardsBodyCountsAboveTheHolder) {
    // Cutter 10 and holder 10 long: the BT40 flange (diameter 63) starts 20 above the tip and meets
    // the top of the block when the plunge reaches Z-20.
    auto bt40 = [](AppState& s) {
        withTool(10, 10, 20, 10)(s);
        s.machine.holderStandard = 2;
    };
    const Checked c = checkText("G90 G00 X50.25 Y50.25 Z5.\nS1000 M03\nG01 Z-12. F100\nG00 Z5.\nM05\nM30\n",
                                millOptions(10), bt40);
    ASSERT_EQ(c.findings.size(), 1u) << describe(c.findings);
    EXPECT_EQ(c.findings[0].kind, FindingKind::Holder);
    EXPECT_NEAR(c.findings[0].position.z, -10, 0.5);
}

TEST(ProgramChecks, LatheFeedIntoTheChuckSideIsFound) {
    // The lathe stock: diameter 100, 150 long from the face at Z0; the chuck beyond Z-150.
    HeadlessOptions o;
    o.kind = MachineKind::Lathe;
    o.kindGiven = true;
    const Checked c =
        checkText("G00 X60. Z2.\nM03\nG00 X55.\nG01 Z-160. F0.2\nG00 X120.\nZ50.\nM05\nM30\n", o);
    ASSERT_EQ(c.findings.size(), 1u) << describe(c.findings);
    EXPECT_EQ(c.findings[0].kind, FindingKind::Chuck);
    EXPECT_EQ(c.findings[0].line, 3);
    EXPECT_LT(c.findings[0].position.z, -150);
}

TEST(ProgramChecks, LatheRapidIntoTheBarIsFoundWithItsRingVolume) {
    HeadlessOptions o;
    o.kind = MachineKind::Lathe;
    o.kindGiven = true;
    o.pitch = 0.2;  // the play's cut takes a point's slice beyond it: one slice more than the 20 mm
    // Radius 45 along 20 mm of the 50 radius bar: a ring of pi (50^2 - 45^2) x 20.
    const Checked c = checkText("G00 X60. Z2.\nM03\nG00 X45.\nG00 Z-20.\nG00 X60.\nM05\nM30\n", o);
    ASSERT_EQ(c.findings.size(), 1u) << describe(c.findings);
    EXPECT_EQ(c.findings[0].kind, FindingKind::RapidCut);
    EXPECT_EQ(c.findings[0].line, 3);
    const double ring = kPiValue * (2500 - 2025) * 20;
    EXPECT_NEAR(c.findings[0].volume, ring, 0.05 * ring);
}

TEST(ProgramChecks, SwitchedOffThePlayFindsNothingAndCutsTheSame) {
    const std::string program = "G90 G00 X-20. Y50.25 Z5.\nG00 Z-3.\nG00 X120.\nG00 Z5.\nM30\n";
    auto run = [&](bool on) {
        auto state = std::make_unique<AppState>();
        AppState& s = *state;
        EXPECT_TRUE(setUpHeadlessState(s, millOptions(10)));
        TQuonStrings text;
        text.SetText(program);
        HeadlessPlay play(s, text);
        play.controls.click(kCheckMenuItem);  // the menu item as a user clicks it: on -> off
        if (on) play.controls.click(kCheckMenuItem);
        EXPECT_EQ(play.controls.checked(kCheckMenuItem), on);
        play.session().controller().runNow(kModeMillFast);
        std::vector<float> heights(s.stockGrid.heights(), s.stockGrid.heights() + StockGrid::kCellCount);
        return std::make_pair(play.session().checks().findings().size(), heights);
    };
    const auto on = run(true), off = run(false);
    EXPECT_EQ(on.first, 1u);
    EXPECT_EQ(off.first, 0u);
    EXPECT_TRUE(on.second == off.second);  // the checks never change the cut
}

TEST(CheckCommand, SamplesAreCleanAndParallelRunsGiveTheSameLines) {
    const std::string dir = VANTREL_SAMPLES;
    const std::vector<std::string> mills = {dir + "/sample_mill.nc",  dir + "/pocket.nc",
                                            dir + "/contour.nc",      dir + "/drilling.nc",
                                            dir + "/ball_surface.nc", dir + "/two_tool_changes.nc"};
    // A 40 mm cutter: with the start-up tool's 20 mm the holder of drilling.nc's 30 mm deep holes would
    // meet the stock, which the check rightly reports.
    std::vector<std::string> args = mills;
    args.insert(args.end(), {"--tool-length", "40"});
    std::ostringstream out1, err1, out2, err2;
    EXPECT_EQ(runCheckCommand(args, out1, err1), 0) << out1.str() << err1.str();
    args.insert(args.end(), {"-j", "2"});
    EXPECT_EQ(runCheckCommand(args, out2, err2), 0) << err2.str();
    EXPECT_EQ(out1.str(), out2.str());
    std::istringstream lines(out1.str());
    std::string line;
    size_t count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_NE(line.find("\"findings\": []"), std::string::npos) << line;
        EXPECT_NE(line.find("\"end\": \"m30\""), std::string::npos) << line;
    }
    EXPECT_EQ(count, mills.size());

    std::ostringstream out3, err3;
    EXPECT_EQ(runCheckCommand({dir + "/turning.nc", "--machine", "lathe"}, out3, err3), 0) << out3.str();
    std::ostringstream out4, err4;
    EXPECT_EQ(
        runCheckCommand({dir + "/punch_wire.nc", "--machine", "wire", "--tool-diameter", "0.3"}, out4, err4),
        0)
        << out4.str();
}

TEST(CheckCommand, FindingsExitOneFileErrorsTwoAndTheReportHoldsTheLines) {
    const std::string bad =
        tempFile("check_rapid.nc", "G90 G00 X-20. Y50. Z5.\nG00 Z-3.\nN7 G00 X120.\nM30\n");
    const std::string clean = tempFile("check_clean.nc", "G90 G00 X-20. Y50. Z5.\nM30\n");
    std::ostringstream out, err;
    EXPECT_EQ(runCheckCommand({clean, bad}, out, err), 1) << err.str();
    std::istringstream lines(out.str());
    std::string first, second;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_NE(first.find("\"findings\": []"), std::string::npos) << first;
    EXPECT_NE(second.find("{\"kind\": \"rapid_cut\", \"line\": 2, \"n\": 7, \"position\": ["),
              std::string::npos)
        << second;
    EXPECT_NE(second.find("\"file\": \"" + bad + "\""), std::string::npos) << second;

    const std::string report = ::testing::TempDir() + "check.jsonl";
    std::ostringstream out2, err2;
    EXPECT_EQ(runCheckCommand({clean, bad, "--report", report, "-j", "2"}, out2, err2), 1);
    EXPECT_EQ(out2.str(), "");
    std::ifstream in(report);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), out.str());

    std::ostringstream o, e;
    EXPECT_EQ(runCheckCommand({}, o, e), 2);
    EXPECT_EQ(runCheckCommand({clean, "-j", "0"}, o, e), 2);
    EXPECT_EQ(runCheckCommand({clean, "--frobnicate"}, o, e), 2);
    EXPECT_EQ(runCheckCommand({clean, ::testing::TempDir() + "no-such.nc"}, o, e), 2);
    EXPECT_EQ(runCheckCommand({clean, "--pitch", "0"}, o, e), 2);
}

TEST(CheckCommand, PlayReportsStockFiguresAndFindingsAndDrawsWithPng) {
    const std::string nc = tempFile("check_play.nc", "G90 G00 X-20. Y50. Z5.\nG00 Z-3.\nG00 X120.\nM30\n");
    const std::string png = ::testing::TempDir() + "check_play.png";
    std::remove(png.c_str());
    std::ostringstream out, err;
    ASSERT_EQ(runPlayCommand({nc, "--png", png}, out, err), 0) << err.str();
    const std::string j = out.str();
    EXPECT_NE(j.find("\"height_min\": 47"), std::string::npos) << j;
    EXPECT_NE(j.find("\"height_max\": 50"), std::string::npos) << j;
    EXPECT_NE(j.find("\"findings\": [{\"kind\": \"rapid_cut\", \"line\": 2"), std::string::npos) << j;
    std::ifstream picture(png, std::ios::binary);
    char magic[4] = {};
    picture.read(magic, 4);
    EXPECT_EQ(std::string(magic + 1, 3), "PNG");
}
