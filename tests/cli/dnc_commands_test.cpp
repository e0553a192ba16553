#include "cli/dnc_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "dnc/code_conversion.h"
#include "dnc/pty_pair.h"

namespace vantrel {
namespace {

int run(const std::string& cmd, std::vector<std::string> args, const std::string& input, std::string& out,
        std::string* errText = nullptr) {
    std::istringstream in(input);
    std::ostringstream o, e;
    int rc = -1;
    EXPECT_TRUE(runDncCommand(cmd, args, in, o, e, rc));
    out = o.str();
    if (errText) *errText = e.str();
    return rc;
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

std::string tempProgram(const std::string& text) {
    static int n = 0;
    std::string path =
        ::testing::TempDir() + "/vantrel_cli_" + std::to_string(getpid()) + "_" + std::to_string(n++) + ".nc";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(DncCommands, EncodeWritesTheControllersBytes) {
    std::string out;
    EXPECT_EQ(run("encode", {tempProgram("G01X-1.5\n"), "--code", "iso"}, "", out), 0);
    EXPECT_EQ(out, std::string("\x47\x30\xB1\xD8\x2D\xB1\x2E\x35\x00\x0A", 10));
    EXPECT_EQ(run("encode", {tempProgram("M30\n"), "--code", "eia", "--eor", "--cr"}, "", out), 0);
    EXPECT_EQ(out, std::string("\x0B\x80\x54\x13\x20\x00\x0B\x80", 8));
}

// A line the code can carry: every character has a code (EIA has no ':', neither EIA nor ISO a
// Japanese character, whose CP932 bytes go unchanged and come back as other characters).
bool carried(const std::string& line, TransferCode code) {
    if (code == TransferCode::Ascii) return true;
    for (char c : line)
        if (code == TransferCode::Eia ? eiaCode(c) == 0 || c == ';' : isoCode(c) == 0) return false;
    return true;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

TEST(DncCommands, DecodeOfEncodeGivesEverySampleBack) {
    int samples = 0, whole = 0;
    for (const auto& e : std::filesystem::directory_iterator(VANTREL_SAMPLES)) {
        if (e.path().extension() != ".nc") continue;
        ++samples;
        const std::string text = readFile(e.path().string());
        for (const char* code : {"iso", "eia", "ascii"}) {
            TransferCode c{};
            ASSERT_TRUE(parseTransferCode(code, c));
            std::string bytes, back;
            ASSERT_EQ(run("encode", {e.path().string(), "--code", code}, "", bytes), 0);
            ASSERT_EQ(run("decode", {"--code", code}, bytes, back), 0);
            const auto want = splitLines(text), got = splitLines(back);
            ASSERT_EQ(got.size(), want.size()) << e.path() << " " << code;
            bool all = true;
            for (std::size_t i = 0; i < want.size(); ++i) {
                if (carried(want[i], c))
                    EXPECT_EQ(got[i], want[i]) << e.path() << " " << code;
                else
                    all = false;
            }
            if (all) {
                EXPECT_EQ(back, text) << e.path() << " " << code;
                ++whole;
            }
        }
    }
    EXPECT_GE(samples, 6);
    EXPECT_GE(whole, 14);  // all six in ASCII, all but one in ISO, all but three in EIA
}

TEST(DncCommands, WrongArgumentsAreUsageErrors) {
    std::string out, err;
    EXPECT_EQ(run("encode", {tempProgram("G1\n"), "--code", "ebcdic"}, "", out, &err), kExitUsage);
    EXPECT_NE(err.find("--code"), std::string::npos);
    EXPECT_EQ(run("send", {tempProgram("G1\n")}, "", out), kExitUsage);  // no --port
    EXPECT_EQ(run("receive", {"--port", "/dev/null", "--stop", "3"}, "", out), kExitUsage);
    EXPECT_EQ(run("encode", {"/nonexistent/x.nc", "--code", "iso"}, "", out), kExitLineError);
}

TEST(DncCommands, SendAndReceiveOverAPseudoTerminal) {
    testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const std::string file = tempProgram("%\nO1\nG01 X1. Y2.\nM30\n");
    std::string out, err;
    ASSERT_EQ(run("send", {file, "--port", pty.path, "--baud", "115200", "--flow", "dc1"}, "", out, &err), 0)
        << err;
    EXPECT_NE(err.find("bytes/s"), std::string::npos);
    std::string bytes;
    run("encode", {file, "--code", "iso"}, "", bytes);
    EXPECT_EQ(pty.receive(bytes.size()), bytes);

    std::thread machine([&] {
        usleep(100000);
        pty.send(bytes);
    });
    ASSERT_EQ(run("receive", {"--port", pty.path, "--idle", "0.3", "--timeout", "5"}, "", out, &err), 0)
        << err;
    machine.join();
    EXPECT_EQ(out, "%\nO1\nG01 X1. Y2.\nM30\n");
}

TEST(DncCommands, ExitCodesTellTimeoutFromLineError) {
    testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    std::string out, err;
    // Nothing arrives.
    EXPECT_EQ(run("receive", {"--port", pty.path, "--timeout", "0.2"}, "", out, &err), kExitTimeout);
    // The machine never asks for the program.
    EXPECT_EQ(
        run("send", {tempProgram("G1\n"), "--port", pty.path, "--wait-dc1", "--timeout", "0.2"}, "", out),
        kExitTimeout);
    // The machine holds DC3 longer than the bound: a timeout with the component's message.
    pty.send("\x13");
    std::string big;
    for (int i = 0; i < 20000; ++i) big += "G01 X1. Y2. Z3.\n";
    EXPECT_EQ(run("send", {tempProgram(big), "--port", pty.path, "--timeout", "0.3"}, "", out, &err),
              kExitTimeout);
    EXPECT_NE(err.find("入出力エラー ErrorCode = 110"), std::string::npos) << err;
    // No such device.
    EXPECT_EQ(run("send", {tempProgram("G1\n"), "--port", "/dev/vantrel-none"}, "", out, &err),
              kExitLineError);
    EXPECT_NE(err.find("オープンエラー ErrorCode = -1"), std::string::npos);
}

}  // namespace
}  // namespace vantrel
