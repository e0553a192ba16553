#include "cli/blocks_command.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace vantrel {
namespace {

TEST(BlocksCommand, PrintsEveryBlockAsJsonLines) {
    char name[] = "/tmp/blocks_test_XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    // CP932 comment, a subprogram call, block skip, "#", F with and without decimal point.
    std::ofstream(name, std::ios::binary) << "%\r\n"
                                             "O0001(\x83\x54\x83\x93\x83\x76\x83\x8b)\r\n"
                                             "/G01 X10. Y-5 F100.\r\n"
                                             "M98 P10\r\n"
                                             "#1=2 F250\r\n"
                                             "M30\r\n"
                                             "O10\r\n"
                                             "T1001 M06\r\n"
                                             "M99\r\n";
    std::ostringstream out, err;
    EXPECT_EQ(runBlocksCommand(name, out, err), 0);
    EXPECT_EQ(out.str(),
              "{\"line\": 1, \"words\": [[\"O\", 1]]}\n"
              "{\"line\": 2, \"words\": [[\"/\", 0], [\"G\", 1], [\"X\", 10], [\"Y\", -0.005], "
              "[\"F\", 1000000100]]}\n"
              "{\"line\": 3, \"words\": [[\"M\", 98], [\"P\", 10]]}\n"
              "{\"line\": 7, \"words\": [[\"T\", 1001], [\"M\", 6]]}\n"
              "{\"line\": 8, \"words\": [[\"M\", 99]]}\n"
              "{\"line\": 4, \"words\": [[\"#\", 0.001], [\"F\", 250]]}\n"
              "{\"line\": 5, \"words\": [[\"M\", 30]]}\n"
              "{\"line\": 6, \"words\": [[\"O\", 10]]}\n"
              "{\"line\": 7, \"words\": [[\"T\", 1001], [\"M\", 6]]}\n"
              "{\"line\": 8, \"words\": [[\"M\", 99]]}\n");
    EXPECT_TRUE(err.str().empty());
    std::remove(name);

    std::ostringstream none;
    EXPECT_EQ(runBlocksCommand("/nonexistent/dir/prog.nc", none, err), 1);
    EXPECT_TRUE(none.str().empty());
    EXPECT_NE(err.str().find("読み込めませんでした"), std::string::npos);
}

}  // namespace
}  // namespace vantrel
