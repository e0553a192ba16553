#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "platform/atomic_file.h"

using namespace vantrel;

TEST(AtomicFile, WritesReplacesAndLeavesNoTemporaryBehind) {
    const std::string dir = ::testing::TempDir() + "atomic_file_test";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/prog.nc";
    std::string error;
    ASSERT_TRUE(writeFileAtomically(path, "G00 X1.\r\n", &error)) << error;
    ASSERT_TRUE(writeFileAtomically(path, "G01 X2.\r\nM30", &error)) << error;
    std::string bytes;
    ASSERT_TRUE(readWholeFile(path, bytes, &error));
    EXPECT_EQ(bytes, "G01 X2.\r\nM30");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST(AtomicFile, FailuresLeaveTheTargetAloneAndFoldersAreNotFiles) {
    const std::string dir = ::testing::TempDir() + "atomic_file_test2";
    std::filesystem::create_directories(dir);
    std::string bytes = "keep", error;
    EXPECT_FALSE(readWholeFile(dir, bytes, &error));  // a folder is not an empty file
    EXPECT_EQ(bytes, "keep");
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(readWholeFile(dir + "/missing.nc", bytes, &error));
    // Writing into a folder that does not exist fails and says why.
    error.clear();
    EXPECT_FALSE(writeFileAtomically(dir + "/no/such/folder/x.nc", "x", &error));
    EXPECT_FALSE(error.empty());
}
