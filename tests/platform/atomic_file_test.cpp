#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

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

namespace {

std::string freshDir(const std::string& name) {
    const std::string dir = ::testing::TempDir() + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

int openDescriptors() {
    int n = 0;
    for (auto& e : std::filesystem::directory_iterator("/proc/self/fd")) n += !e.path().empty();
    return n;
}

}  // namespace

TEST(AtomicFile, WritingThroughALinkReplacesItsTargetAndKeepsTheLink) {
    const std::string dir = freshDir("atomic_file_link");
    const std::string real = dir + "/real.nc", link = dir + "/link.nc";
    ASSERT_TRUE(writeFileAtomically(real, "old"));
    ASSERT_EQ(::symlink("real.nc", link.c_str()), 0);
    std::string error, bytes;
    ASSERT_TRUE(writeFileAtomically(link, "new", &error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    ASSERT_TRUE(readWholeFile(real, bytes));
    EXPECT_EQ(bytes, "new");
    // A link to a file not yet there creates it where the link points.
    ASSERT_EQ(::symlink((dir + "/later.nc").c_str(), (dir + "/dangling.nc").c_str()), 0);
    ASSERT_TRUE(writeFileAtomically(dir + "/dangling.nc", "made", &error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/dangling.nc"));
    ASSERT_TRUE(readWholeFile(dir + "/later.nc", bytes));
    EXPECT_EQ(bytes, "made");
    // A loop of links is an error, not a hang.
    ASSERT_EQ(::symlink("b", (dir + "/a").c_str()), 0);
    ASSERT_EQ(::symlink("a", (dir + "/b").c_str()), 0);
    EXPECT_FALSE(writeFileAtomically(dir + "/a", "x", &error));
}

TEST(AtomicFile, KeepsModeAndOwnerAndRefusesWhatIsNotAFile) {
    const std::string dir = freshDir("atomic_file_mode");
    const std::string path = dir + "/prog.nc";
    ASSERT_TRUE(writeFileAtomically(path, "a"));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_TRUE(writeFileAtomically(path, "b"));
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    if (::geteuid() == 0) {
        // Only the superuser can hand a file to someone else: then the replacement goes to them too.
        ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
        ASSERT_TRUE(writeFileAtomically(path, "c"));
        ASSERT_EQ(::stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_uid, 4321u);
        EXPECT_EQ(after.st_gid, 4322u);
        EXPECT_EQ(after.st_mode & 07777, 0640u);
    }

    // A FIFO stays a FIFO and nobody waits on it.
    const std::string fifo = dir + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string error;
    EXPECT_FALSE(writeFileAtomically(fifo, "x", &error));
    EXPECT_NE(error.find("FIFO"), std::string::npos) << error;
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_FALSE(writeFileAtomically(dir, "x", &error));  // a folder
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 1);  // no temporary left behind
}

TEST(AtomicFile, AFailingFlushClosesTheFileAndLeavesTheTarget) {
    const std::string dir = freshDir("atomic_file_fsync");
    const std::string path = dir + "/prog.nc";
    ASSERT_TRUE(writeFileAtomically(path, "kept"));
    const int before = openDescriptors();
    auto* saved = atomicWriteFsync;
    atomicWriteFsync = [](int) {
        errno = EIO;
        return -1;
    };
    std::string error;
    EXPECT_FALSE(writeFileAtomically(path, "lost", &error));
    atomicWriteFsync = saved;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(openDescriptors(), before);
    std::string bytes;
    ASSERT_TRUE(readWholeFile(path, bytes));
    EXPECT_EQ(bytes, "kept");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST(AtomicFile, ReadsOnlyRegularFilesWithinTheLimitAndNeverBlocks) {
    const std::string dir = freshDir("atomic_file_read");
    std::string bytes = "keep", error;
    // A FIFO without a writer: refused at once instead of waiting in open().
    const std::string fifo = dir + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(readWholeFile(fifo, bytes, &error));
    EXPECT_NE(error.find("FIFO"), std::string::npos) << error;
    // Devices that never end or never answer.
    EXPECT_FALSE(readWholeFile("/dev/zero", bytes, &error));
    EXPECT_NE(error.find("デバイス"), std::string::npos) << error;
    EXPECT_FALSE(readWholeFile(dir, bytes, &error));
    EXPECT_NE(error.find("フォルダ"), std::string::npos) << error;
    EXPECT_EQ(bytes, "keep");
    // A 3 GB file (sparse: it takes no disk) is refused by its size, before anything is read.
    const std::string big = dir + "/big.nc";
    { std::ofstream(big) << "G01"; }
    ASSERT_EQ(::truncate(big.c_str(), std::int64_t{3} << 30), 0);
    EXPECT_FALSE(readWholeFile(big, bytes, &error));
    EXPECT_NE(error.find("大きすぎます"), std::string::npos) << error;
    // The limit itself: a file of exactly the limit is read, one byte more is not.
    ASSERT_EQ(::truncate(big.c_str(), 10), 0);
    EXPECT_TRUE(readWholeFile(big, bytes, &error, 10));
    EXPECT_EQ(bytes.size(), 10u);
    EXPECT_FALSE(readWholeFile(big, bytes, &error, 9));
    std::filesystem::remove(big);
}
