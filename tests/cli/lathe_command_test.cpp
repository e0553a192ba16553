// The lathe through vantrel-sim: the programming options of trace and play, the report's profiles and
// the sample's tool file.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "cli/check_command.h"
#include "cli/play_command.h"
#include "cli/trace_command.h"

using namespace vantrel;

namespace {

std::string tempFile(const std::string& name, const std::string& text) {
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string sample(const std::string& name) {
    return std::string(VANTREL_SOURCE_DIR) + "/samples/" + name;
}

}  // namespace

TEST(LatheCommands, TraceReadsXAsTheSettingsSay) {
    const std::string nc = tempFile("lathe_trace.nc", "%\nG00 X40. Z2.\nG01 U-10. W-5. F0.2\nM30\n");
    auto firstEnd = [&](std::vector<std::string> args) {
        std::ostringstream out, err;
        args.insert(args.begin(), nc);
        EXPECT_EQ(runTraceCommand(args, out, err), 0) << err.str();
        EXPECT_EQ(err.str(), "");
        return out.str();
    };
    // Diameter programming by default: radius 20, then 5 less.
    std::string t = firstEnd({"--machine", "lathe"});
    EXPECT_NE(t.find("\"end\": [20, 0, 2]"), std::string::npos) << t;
    EXPECT_NE(t.find("\"end\": [15, 0, -3]"), std::string::npos) << t;
    t = firstEnd({"--machine", "vlathe", "--radius-programming"});
    EXPECT_NE(t.find("\"end\": [40, 0, 2]"), std::string::npos) << t;
    EXPECT_NE(t.find("\"end\": [30, 0, -3]"), std::string::npos) << t;
    t = firstEnd({"--machine", "lathe", "--x-reversed"});
    EXPECT_NE(t.find("\"end\": [-20, 0, 2]"), std::string::npos) << t;
    EXPECT_NE(t.find("\"end\": [-15, 0, -3]"), std::string::npos) << t;

    std::ostringstream out, err;
    EXPECT_EQ(runTraceCommand({nc, "--machine", "lathe", "--tformat", "3"}, out, err), 2);
    EXPECT_NE(err.str().find("--tformat"), std::string::npos) << err.str();
    EXPECT_EQ(runTraceCommand({nc, "--tformat"}, out, err), 2);
}

TEST(LatheCommands, PlayReportsTheProfilesFromTheChuckSide) {
    // Stock D100 x 150 at pitch 1: 150 slices. One pass at X80. over 10 mm: slices 0..10 (the end
    // point Z-10 lies in slice 10) at radius 40; listed from the chuck, they are the last eleven.
    const std::string nc = tempFile("lathe_play.nc", "%\nG00 X80. Z2.\nG01 Z-10. F0.2\nG00 X104.\nM30\n");
    std::ostringstream out, err;
    ASSERT_EQ(runPlayCommand({nc, "--machine", "lathe"}, out, err), 0) << err.str();
    const std::string j = out.str();
    std::string outer = "\"outer\": [";
    for (int i = 0; i < 139; ++i) outer += "50, ";
    for (int i = 0; i < 11; ++i) outer += i < 10 ? "40, " : "40]";
    EXPECT_NE(j.find(outer), std::string::npos) << j;
    std::string inner = "\"inner\": [";
    for (int i = 0; i < 150; ++i) inner += i < 149 ? "0, " : "0]";
    EXPECT_NE(j.find(inner), std::string::npos) << j;
    // pi (50^2 - 40^2) x 11 slices of 1 mm.
    EXPECT_NE(j.find("\"removed_volume_mm3\": 31101.767"), std::string::npos) << j;

    // A mill's report has no profiles.
    std::ostringstream mill, merr;
    ASSERT_EQ(runPlayCommand({nc}, mill, merr), 0) << merr.str();
    EXPECT_EQ(mill.str().find("\"outer\""), std::string::npos);
}

TEST(LatheCommands, TheSampleWithItsToolsIsDrilledAndThreaded) {
    std::ostringstream out, err;
    ASSERT_EQ(runPlayCommand(
                  {sample("lathe_part.nc"), "--machine", "lathe", "--tool-file", sample("turning_tools.tgs")},
                  out, err),
              0)
        << err.str();
    const std::string j = out.str();
    EXPECT_NE(j.find("\"end\": \"m30\""), std::string::npos) << j;
    // The drill (T07, D20) bored slices 0..40: radius 10 in the inner profile.
    EXPECT_NE(j.find("10, 10, 10]"), std::string::npos) << j;

    std::ostringstream out2, err2;
    EXPECT_EQ(runPlayCommand({sample("lathe_part.nc"), "--machine", "lathe", "--tool-file",
                              tempFile("no_tools.tgs", "not a tool file")},
                             out2, err2),
              2);
    EXPECT_NE(err2.str().find("no_tools.tgs"), std::string::npos) << err2.str();
}

TEST(LatheCommands, TraceShowsTheCycleMovesWithTheCycleBlocksLine) {
    std::ostringstream out, err;
    ASSERT_EQ(runTraceCommand({sample("lathe_cycles.nc"), "--machine", "lathe"}, out, err), 0) << err.str();
    // Lines (0-based) of the G71, G70, G75 and G76 cycle blocks, and of the shape's first block.
    int g71 = 0, g70 = 0, g75 = 0, g76 = 0, shape = 0;
    std::istringstream lines(out.str());
    for (std::string l; std::getline(lines, l);) {
        g71 += l.rfind("{\"line\": 13,", 0) == 0;
        shape += l.rfind("{\"line\": 14,", 0) == 0;
        g70 += l.rfind("{\"line\": 23,", 0) == 0;
        g75 += l.rfind("{\"line\": 30,", 0) == 0;
        g76 += l.rfind("{\"line\": 36,", 0) == 0;
    }
    EXPECT_GT(g71, 40);
    EXPECT_EQ(shape, 1);  // played once, by G70: G71 continued after the shape
    EXPECT_EQ(g70, 1);    // the way back to the start point
    // Four plunges of three pecks (in 1.5, back 0.5, in 2, back 0.5, in to D46, out), the three shifts,
    // the return.
    EXPECT_EQ(g75, 4 * 6 + 3 + 1);
    EXPECT_GT(g76, 5 * 5);
    // The first roughing cut: 2 mm a side below the start D102, to Z-59.9 (the allowance W0.1).
    EXPECT_NE(out.str().find("{\"line\": 13, \"kind\": \"line\", \"plane\": \"zx\", \"start\": [49, 0, 2], "
                             "\"end\": [49, 0, -59.9]}"),
              std::string::npos)
        << out.str().substr(0, 2000);
}

TEST(LatheCommands, ACycleThatCannotRunStopsTheRunWithItsAlarm) {
    const std::string nc =
        tempFile("lathe_alarm.nc", "%\nG00 X50. Z2.\nG71 U2. R0.5\nG71 P10 Q20 U0.4\nM30\n");
    // check too: a program the control refuses must not pass a nightly run as clean.
    for (const std::string command : {"trace", "play", "check"}) {
        std::ostringstream out, err;
        const std::vector<std::string> args = {nc, "--machine", "lathe"};
        const int rc = command == "trace"  ? runTraceCommand(args, out, err)
                       : command == "play" ? runPlayCommand(args, out, err)
                                           : runCheckCommand(args, out, err);
        EXPECT_EQ(rc, 4) << command;
        EXPECT_NE(err.str().find("G71 4行目: "), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("シーケンス番号N10がありません"), std::string::npos) << err.str();
    }
}
