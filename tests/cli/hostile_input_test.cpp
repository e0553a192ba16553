// Hostile programs and values on the command line: every run ends within its work budget with
// "budget" and exit status 3, out-of-range values are refused with a message and status 2, and large
// numbers are written out in full.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <vector>

#include "app/headless_setup.h"
#include "cli/play_command.h"
#include "cli/trace_command.h"

namespace vantrel {
namespace {

std::string tempFile(const std::string& name, const std::string& text) {
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// Counts what is written and keeps nothing.
class CountingBuffer : public std::streambuf {
  public:
    int64_t bytes = 0;

  protected:
    int_type overflow(int_type c) override {
        ++bytes;
        return c;
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        bytes += n;
        return n;
    }
};

// A 15-line program whose subprogram calls itself six times, ten levels deep, and a G83 that pecks a
// micrometre at a time.
const char* kRecursive =
    "O0001\nG90 G00 X0 Y0 Z5.\nM98 P100\nM30\nO100\nG91 G01 X1. F1000\nM98 P100\nM98 P100\nM98 P100\n"
    "M98 P100\nM98 P100\nM98 P100\nG01 X-1.\nG90\nM99\n";
const char* kTinyPeck = "G90 G00 X0 Y0 Z10.\nG83 X10. Y10. Z-50. R2. Q0.000001 F100\nG80\nM30\n";

// Time and memory bounds are a property of the optimised build; under the sanitizers or without
// optimisation the runs take ten times longer, so there they run with smaller budgets and only their
// outcome is checked.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || !defined(__OPTIMIZE__)
constexpr bool kTimed = false;
#else
constexpr bool kTimed = true;
#endif

std::vector<std::string> withBudgets(std::vector<std::string> args) {
    if (!kTimed)
        args.insert(args.end(),
                    {"--max-steps", "2000000", "--max-blocks", "200000", "--max-output", "20000000"});
    return args;
}

struct Bounded {
    int rc = 0;
    double seconds = 0;
    std::string out, err;
    int64_t outBytes = 0;
};

template <typename Command>
Bounded run(Command command, const std::vector<std::string>& args) {
    CountingBuffer sink;
    std::ostream counted(&sink);
    std::ostringstream err;
    const auto t0 = std::chrono::steady_clock::now();
    Bounded b;
    b.rc = command(args, counted, err);
    b.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    b.err = err.str();
    b.outBytes = sink.bytes;
    return b;
}

long peakResidentKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

TEST(HostileInput, RunawayProgramsEndAtTheBudget) {
    for (const char* text : {kRecursive, kTinyPeck}) {
        const std::string nc = tempFile("hostile.nc", text);
        const std::string report = ::testing::TempDir() + "hostile.json";
        const Bounded p = run(runPlayCommand, withBudgets({nc, "--report", report}));
        EXPECT_EQ(p.rc, kExitBudget) << p.err;
        EXPECT_NE(p.err.find("上限"), std::string::npos) << p.err;
        std::ifstream in(report);
        const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(json.find("\"end\": \"budget\""), std::string::npos) << json;
        if (kTimed) {
            EXPECT_LT(p.seconds, 15.0);
        }

        const Bounded t = run(runTraceCommand, withBudgets({nc, "--steps"}));
        EXPECT_EQ(t.rc, kExitBudget) << t.err;
        EXPECT_LE(t.outBytes, kDefaultMaxOutputBytes + 200);
        if (kTimed) {
            EXPECT_LT(t.seconds, 15.0);
        }
    }
    if (kTimed) {
        EXPECT_LT(peakResidentKb(), 500 * 1024);
    }
}

TEST(HostileInput, TheBudgetsAreOptionsAndEveryRunHonoursThem) {
    const std::string nc = tempFile("hostile2.nc", kRecursive);
    const Bounded a = run(runPlayCommand, {nc, "--max-blocks", "1000"});
    EXPECT_EQ(a.rc, kExitBudget);
    const Bounded b = run(runTraceCommand, {nc, "--max-output", "5000"});
    EXPECT_EQ(b.rc, kExitBudget);
    EXPECT_LE(b.outBytes, 5000 + 200);  // the closing line comes after the bound
    EXPECT_NE(b.err.find("出力"), std::string::npos);
    for (const char* bad : {"0", "-5", "1.5", "x"})
        EXPECT_EQ(run(runPlayCommand, {nc, "--max-steps", bad}).rc, 2) << bad;
    // A finite program stays well inside the defaults.
    const std::string fine = tempFile("fine.nc", "G90 G00 X0 Y0 Z5.\nG01 Z-1. F100\nX50.\nM30\n");
    EXPECT_EQ(run(runPlayCommand, {fine}).rc, 0);
    EXPECT_EQ(run(runTraceCommand, {fine, "--steps"}).rc, 0);
}

TEST(HostileInput, ValuesOutOfTheWindowsRangesAreRefused) {
    const std::string nc = tempFile("range.nc", "G00 X1.\nM30\n");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {nc, "--stock", "-100,10,10"},
             {nc, "--stock", "1e39,10,10"},
             {nc, "--stock", "10,10,10@5000,0,0"},
             {nc, "--tool-diameter", "1e308"},
             {nc, "--tool-diameter", "0"},
             {nc, "--tool-length", "-1"},
             {nc, "--pitch", "1000"},
             {nc, "--nose-radius", "1e9"},
         }) {
        const Bounded b = run(runPlayCommand, args);
        EXPECT_EQ(b.rc, 2) << args[1] << " " << args[2];
        EXPECT_NE(b.err.find("範囲外"), std::string::npos) << b.err;
    }
    const Bounded t = run(runTraceCommand, {nc, "--tool-diameter", "1e308"});
    EXPECT_EQ(t.rc, 2);
    EXPECT_NE(t.err.find("工具径"), std::string::npos) << t.err;
}

TEST(HostileInput, LargeNumbersAreWrittenInFull) {
    const std::string n = jsonNumber(-1e308);
    EXPECT_EQ(n.size(), 310u);  // the sign and 309 digits
    EXPECT_EQ(n.substr(0, 4), "-100");
    EXPECT_GE(jsonNumber(1e61).size(), 61u);  // every digit, not a number cut at 64 characters
    EXPECT_EQ(jsonNumber(0.1234564), "0.123456");
    EXPECT_EQ(jsonNumber(-0.0000001), "0");
}

TEST(HostileInput, TheReportCountsWarnings) {
    // Two blocks that select length and radius compensation without H and D, and a tool change away
    // from the reference height: three warnings, on lines that already had text.
    const std::string nc = tempFile(
        "warn.nc", "O0001\nG90 G00 X0 Y0 Z5.\nT01 M06\nG43 Z10.\nG41 G01 X10. F100\nG40 X20.\nM30\n");
    std::ostringstream out, err;
    ASSERT_EQ(runPlayCommand({nc}, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("\"warnings\": 3"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace vantrel
