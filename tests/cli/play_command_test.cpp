#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "cli/play_command.h"
#include "platform/atomic_file.h"

using namespace vantrel;

namespace {
std::string tempFile(const std::string& name, const std::string& text) {
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}
}  // namespace

TEST(PlayCommand, ReportsBlocksEndPositionTimeAndWarnings) {
    std::string nc =
        tempFile("play1.nc", "O0001\r\nG90 G00 X10. Y10. Z5.\r\nG01 Z-2. F100\r\nX50.\r\nG00 Z5.\r\nM30\r\n");
    std::ostringstream out, err;
    ASSERT_EQ(runPlayCommand({nc, "--tool-diameter", "8"}, out, err), 0) << err.str();
    const std::string j = out.str();
    EXPECT_NE(j.find("\"blocks\": 6"), std::string::npos) << j;
    EXPECT_NE(j.find("\"end\": \"m30\""), std::string::npos) << j;
    EXPECT_NE(j.find("\"position\": [50, 10, 5]"), std::string::npos) << j;
    // The same cutting time the trace command reports for this program.
    EXPECT_NE(j.find("\"cutting_time_min\": 0.513723"), std::string::npos) << j;
    EXPECT_NE(j.find("\"warnings\": 0"), std::string::npos) << j;
    // The stock (100 x 100 x 50 from Z -50 to 0) was cut by the plunge and the feed at Z-2.
    EXPECT_EQ(j.find("\"stock_changed_steps\": 0"), std::string::npos) << j;
}

TEST(PlayCommand, ReportFileIsWrittenAndBadArgumentsAreRefused) {
    std::string nc = tempFile("play2.nc", "G00 X1.\nG00 X2.\n");
    std::string report = ::testing::TempDir() + "play2.json";
    std::ostringstream out, err;
    ASSERT_EQ(runPlayCommand({nc, "--mode", "play", "--report", report}, out, err), 0) << err.str();
    std::string bytes;
    ASSERT_TRUE(readWholeFile(report, bytes));
    EXPECT_NE(bytes.find("\"end\": \"end_of_text\""), std::string::npos) << bytes;
    EXPECT_EQ(out.str(), "");

    EXPECT_EQ(runPlayCommand({}, out, err), 2);
    EXPECT_EQ(runPlayCommand({nc, "--machine", "boat"}, out, err), 2);
    EXPECT_EQ(runPlayCommand({nc, "--stock", "1,2"}, out, err), 2);
    EXPECT_EQ(runPlayCommand({nc, "--pitch", "0"}, out, err), 2);
    EXPECT_EQ(runPlayCommand({nc, "--tool-diameter", "nan"}, out, err), 2);
    EXPECT_EQ(runPlayCommand({::testing::TempDir() + "no-such-file.nc"}, out, err), 1);
}

TEST(PlayCommand, EveryMachineKindPlaysToTheEnd) {
    std::string nc = tempFile("play3.nc", "G90 G00 X20. Z10.\nG01 X10. F50\nM30\n");
    for (const char* m : {"mill", "hmill", "lathe", "vlathe", "wire"}) {
        std::ostringstream out, err;
        ASSERT_EQ(runPlayCommand({nc, "--machine", m}, out, err), 0) << m << err.str();
        EXPECT_NE(out.str().find("\"end\": \"m30\""), std::string::npos) << m << out.str();
    }
}
