// The lathe through vantrel-sim: the programming options of trace and play, the report's profiles and
// the sample's tool file.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

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
