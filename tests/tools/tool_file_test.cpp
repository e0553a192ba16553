#include "tools/tool_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include "support/scripted_ui_services.h"
#include "tools/tool_commands.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

uint32_t le32(std::string_view b, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])) << (8 * i);
    return v;
}
double le64(std::string_view b, size_t at) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(b[at + i])) << (8 * i);
    return std::bit_cast<double>(v);
}
void setLe32(std::string& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void setLe64(std::string& b, size_t at, double d) {
    const auto v = std::bit_cast<uint64_t>(d);
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Records whose every field sits at an extreme, cycling through the extremes so that each field meets
// each of them somewhere in a long list.
ToolRecord extremeRecord(int i, int32_t number) {
    static const double doubles[] = {
        DBL_MAX, -DBL_MAX, DBL_MIN, -DBL_MIN, std::numeric_limits<double>::denorm_min(),
        -0.0,    0.0,      1e-300,  -1e300,   0.1};
    ToolRecord r;
    r.number = number;
    r.kind = static_cast<uint8_t>(i % 2 ? 255 : 0);
    r.tipPosition = static_cast<uint8_t>(i % 3 ? 0 : 255);
    int k = i;
    for (double* d : {&r.noseRadius, &r.diameter, &r.length, &r.holderLength, &r.angleA, &r.angleB, &r.axisX,
                      &r.axisY, &r.axisZ, &r.holderDiameter, &r.reserved1, &r.reserved2})
        *d = doubles[static_cast<size_t>(k++ % 10)];
    const int32_t cs[] = {INT32_MIN, INT32_MAX, 0, -1, 0x00FFFF};
    r.color = cs[i % 5];
    return r;
}

// A list of n entries: entry 0 numbered 0, the rest ascending up to INT32_MAX at the end.
std::vector<ToolRecord> extremeList(int n, int salt) {
    std::vector<ToolRecord> list;
    for (int i = 0; i < n; ++i) {
        int32_t number = i == 0 ? 0 : (i == n - 1 ? INT32_MAX : i);
        list.push_back(extremeRecord(i + salt, number));
    }
    return list;
}

TEST(ToolFileFormat, FreshStoresGive326BytesAndReadBackTheSame) {
    ToolTable t;
    const std::string bytes = encodeToolFile(t.millTools, t.latheTools, t.wireTool);
    ASSERT_EQ(bytes.size(), 326u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x01\x00\x00\x00", 4));
    ToolFileContents back;
    ASSERT_TRUE(decodeToolFile(bytes, back));
    EXPECT_EQ(back.millTools, t.millTools);
    EXPECT_EQ(back.latheTools, t.latheTools);
    EXPECT_EQ(back.wireTool, t.wireTool);
}

TEST(ToolFileFormat, FieldsSitAtTheirOffsetsLittleEndian) {
    ToolRecord r;
    r.number = 0;
    r.kind = 7;
    r.tipPosition = 3;
    r.noseRadius = 0.4;
    r.diameter = 12.5;
    r.holderDiameter = 63;
    r.reserved2 = -2;
    r.color = 0x00123456;
    const std::string b = encodeToolFile({r}, {r}, r);
    const size_t rec = 4;  // the first mill record
    EXPECT_EQ(le32(b, rec + 0), 0u);
    EXPECT_EQ(static_cast<uint8_t>(b[rec + 4]), 7);
    EXPECT_EQ(static_cast<uint8_t>(b[rec + 5]), 3);
    EXPECT_EQ(le64(b, rec + 6), 0.4);
    EXPECT_EQ(le64(b, rec + 14), 12.5);
    EXPECT_EQ(le64(b, rec + 78), 63.0);
    EXPECT_EQ(le64(b, rec + 94), -2.0);
    EXPECT_EQ(le32(b, rec + 102), 0x00123456u);
    EXPECT_EQ(le32(b, 4 + 106), 1u);  // L after the one mill record
    EXPECT_EQ(b.size(), 4 + 106 + 4 + 106 + 106u);
}

TEST(ToolFileFormat, RoundTripsAreByteIdenticalAtEveryExtreme) {
    for (int n : {1, 5, 200}) {
        SCOPED_TRACE(n);
        const auto mill = extremeList(n, 0);
        const auto lathe = extremeList(n, 3);
        const ToolRecord wire = extremeRecord(7, INT32_MIN);  // the wire's number is not a list number
        const std::string bytes = encodeToolFile(mill, lathe, wire);
        ASSERT_EQ(bytes.size(), 4 + 106u * n + 4 + 106u * n + 106);
        ToolFileContents back;
        std::string why;
        ASSERT_TRUE(decodeToolFile(bytes, back, &why)) << why;
        EXPECT_EQ(encodeToolFile(back.millTools, back.latheTools, back.wireTool), bytes);
        // -0.0 == 0.0 for operator==: the byte comparison above is the one that tells them apart.
        EXPECT_EQ(back.millTools, mill);
        EXPECT_EQ(back.latheTools, lathe);
        EXPECT_EQ(back.wireTool, wire);
    }
}

// Each damaged file is refused and leaves the result untouched.
TEST(ToolFileFormat, DamagedFilesAreRefusedWhole) {
    ToolTable t;
    const auto mill = extremeList(3, 0);
    const std::string good = encodeToolFile(mill, t.latheTools, t.wireTool);
    const size_t lathe0 = 4 + 3 * 106 + 4;
    std::vector<std::pair<const char*, std::string>> cases;
    cases.push_back({"empty", ""});
    cases.push_back({"short", good.substr(0, good.size() - 1)});
    cases.push_back({"long", good + "x"});
    std::string b = good;
    setLe32(b, 0, 0);
    cases.push_back({"M = 0", b});
    b = good;
    setLe32(b, 0, 0x80000000u);
    cases.push_back({"M negative", b});
    b = good;
    setLe32(b, 0, 0x7FFFFFFFu);
    cases.push_back({"M huge", b});
    b = good;
    setLe32(b, 4 + 3 * 106, 0);
    cases.push_back({"L = 0", b});
    b = good;
    setLe32(b, 4 + 3 * 106, 2);
    cases.push_back({"L larger than the bytes", b});
    b = good;
    setLe32(b, 4, 4);
    cases.push_back({"entry 0 numbered", b});
    b = good;
    setLe32(b, lathe0, 1);
    cases.push_back({"lathe entry 0 numbered", b});
    b = good;
    setLe32(b, 4 + 2 * 106, 1);  // entry 2 takes entry 1's number
    cases.push_back({"duplicate number", b});
    b = good;
    setLe32(b, 4 + 106, 5000);  // entry 1 above entry 2
    setLe32(b, 4 + 2 * 106, 4000);
    cases.push_back({"descending", b});
    b = good;
    setLe64(b, 4 + 106 + 14, std::nan(""));
    cases.push_back({"NaN diameter", b});
    b = good;
    setLe64(b, good.size() - 106 + 94, -INFINITY);
    cases.push_back({"infinite wire value", b});
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        ToolFileContents out;
        out.wireTool.number = 4242;
        std::string why;
        EXPECT_FALSE(decodeToolFile(bytes, out, &why));
        EXPECT_FALSE(why.empty());
        EXPECT_TRUE(out.millTools.empty());
        EXPECT_EQ(out.wireTool.number, 4242);
    }
}

std::string gstBytes() {
    std::string b;
    for (int i = 1; i <= 99; ++i) b.push_back(static_cast<char>(i % 15));     // kind
    for (int i = 1; i <= 99; ++i) b.push_back(static_cast<char>(1 + i % 9));  // tip position
    for (int field = 0; field < 9; ++field)
        for (int i = 1; i <= 99; ++i) {
            std::string d(8, '\0');
            setLe64(d, 0, field * 1000.0 + i);
            b += d;
        }
    return b;
}

TEST(GstFile, ColumnsFillEntries1To99OfTheFamilyList) {
    std::vector<ToolRecord> list{defaultLatheTool(), defaultLatheTool()};
    list[0].diameter = 77;  // entry 0 keeps everything
    list[1].number = 12;
    list[1].holderDiameter = 25;
    list[1].reserved1 = 3;
    std::vector<ToolRecord> out;
    ASSERT_EQ(gstBytes().size(), kGstFileBytes);
    ASSERT_TRUE(decodeGstFile(gstBytes(), list, 0x00ABCDEF, out));
    ASSERT_EQ(out.size(), 100u);
    EXPECT_EQ(out[0], list[0]);
    for (int i = 1; i <= 99; ++i) {
        const ToolRecord& r = out[static_cast<size_t>(i)];
        EXPECT_EQ(r.number, i);
        EXPECT_EQ(r.color, 0x00ABCDEF);
        EXPECT_EQ(r.kind, i % 15);
        EXPECT_EQ(r.tipPosition, 1 + i % 9);
        EXPECT_EQ(r.noseRadius, i);
        EXPECT_EQ(r.diameter, 1000.0 + i);
        EXPECT_EQ(r.angleA, 4000.0 + i);
        EXPECT_EQ(r.axisZ, 8000.0 + i);
    }
    // An entry that existed keeps its holder diameter and reserved values; new entries get 0.
    EXPECT_EQ(out[1].holderDiameter, 25);
    EXPECT_EQ(out[1].reserved1, 3);
    EXPECT_EQ(out[2].holderDiameter, 0);
    EXPECT_EQ(out[99].reserved2, 0);
}

TEST(GstFile, WrongSizeOrNonFiniteIsRefused) {
    std::vector<ToolRecord> list{defaultMillTool()};
    std::vector<ToolRecord> out;
    const std::string good = gstBytes();
    EXPECT_FALSE(decodeGstFile(good.substr(1), list, 0, out));
    EXPECT_FALSE(decodeGstFile(good + std::string(1, '\0'), list, 0, out));
    std::string b = good;
    setLe64(b, 198 + 8 * 500, std::nan(""));
    EXPECT_FALSE(decodeGstFile(b, list, 0, out));
    EXPECT_TRUE(out.empty());
}

TEST(ToolFileNames, TgsIsAppendedUnlessTheNameEndsInItOrExists) {
    EXPECT_EQ(toolFileSaveName("tools", false), "tools.tgs");
    EXPECT_EQ(toolFileSaveName("tools.tgs", false), "tools.tgs");
    EXPECT_EQ(toolFileSaveName("tools.txt", false), "tools.txt.tgs");
    EXPECT_EQ(toolFileSaveName("tools.TGS", false), "tools.TGS.tgs");
    EXPECT_EQ(toolFileSaveName("tools.txt", true), "tools.txt");
}

// The commands with a scripted dialog and real files in a folder of their own.
struct ToolFileCommands : ::testing::Test {
    fs::path dir;
    ControlSet cs;
    ToolTable t;
    ScriptedUiServices ui;
    CommandHooks hooks;
    std::vector<std::string> asked;
    std::deque<bool> answers;
    int repaints = 0;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("vantrel_tgs_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        addToolControls(cs);
        hooks.repaint = [this] { ++repaints; };
    }
    void TearDown() override { fs::remove_all(dir); }
    std::function<bool(const std::string&, const std::string&)> ask() {
        return [this](const std::string& text, const std::string& caption) {
            asked.push_back(caption + "|" + text);
            if (answers.empty()) return false;
            bool a = answers.front();
            answers.pop_front();
            return a;
        };
    }
    void save(const fs::path& p) {
        ui.fileAnswers.push_back(p.string());
        saveToolFileCommand(t, ui, ask());
    }
    void load(const fs::path& p, MachineKind k) {
        ui.fileAnswers.push_back(p.string());
        loadToolFileCommand(cs, t, k, ui, 0x00112233, hooks);
    }
    void add(MachineKind k, int number) {
        ui.keypadAnswers.push_back(number);
        addToolCommand(cs, t, k, ui, kDefaultToolColor, hooks);
    }
    static std::string bytesOf(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};

TEST_F(ToolFileCommands, SaveNamesTheFileTgsAndAsksBeforeOverwritingTheFinalName) {
    save(dir / "tools");
    ASSERT_TRUE(fs::exists(dir / "tools.tgs"));
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(fs::file_size(dir / "tools.tgs"), 326u);
    add(MachineKind::VerticalMill, 3);
    // The chosen name does not exist but the one with ".tgs" does: the question is asked, No keeps it.
    save(dir / "tools");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "確認|同名のファイルが存在します。上書きしますか？");
    EXPECT_EQ(fs::file_size(dir / "tools.tgs"), 326u);
    answers.push_back(true);
    save(dir / "tools.tgs");
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(fs::file_size(dir / "tools.tgs"), 326u + 106u);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
}

TEST_F(ToolFileCommands, ReadReplacesAllThreeStoresAndSelectsEntry0) {
    add(MachineKind::VerticalMill, 5);
    add(MachineKind::VerticalMill, 9);
    t.wireTool.diameter = 0.25;
    save(dir / "a.tgs");
    const std::string saved = bytesOf(dir / "a.tgs");
    initialiseToolTables(t, MachineKind::VerticalMill);
    ASSERT_EQ(t.millTools.size(), 1u);
    load(dir / "a.tgs", MachineKind::VerticalMill);
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(t.millTools.size(), 3u);
    EXPECT_EQ(t.wireTool.diameter, 0.25);
    EXPECT_EQ(cs.get("ComboBox1").items, (std::vector<std::string>{"-", "5", "9"}));
    EXPECT_EQ(cs.get("ComboBox1").itemIndex, 0);
    EXPECT_EQ(t.currentToolIndex, 0);
    EXPECT_EQ(t.workingTool, t.millTools[0]);
    EXPECT_GT(repaints, 0);
    EXPECT_EQ(encodeToolFile(t.millTools, t.latheTools, t.wireTool), saved);
}

TEST_F(ToolFileCommands, ARefusedFileLeavesEveryStoreAndTheListAlone) {
    add(MachineKind::VerticalMill, 5);
    const ToolTable before = t;
    std::string bad = encodeToolFile(extremeList(4, 0), t.latheTools, t.wireTool);
    bad.resize(bad.size() - 10);
    { std::ofstream(dir / "bad.tgs", std::ios::binary) << bad; }
    load(dir / "bad.tgs", MachineKind::VerticalMill);
    load(dir / "missing.tgs", MachineKind::VerticalMill);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_NE(ui.messages[0].find("bad.tgs"), std::string::npos);
    EXPECT_NE(ui.messages[1].find("missing.tgs"), std::string::npos);
    EXPECT_EQ(t.millTools, before.millTools);
    EXPECT_EQ(t.latheTools, before.latheTools);
    EXPECT_EQ(t.wireTool, before.wireTool);
    EXPECT_EQ(cs.get("ComboBox1").items, (std::vector<std::string>{"-", "5"}));
}

TEST_F(ToolFileCommands, CapitalExtensionReadsNothingButRebuildsTheList) {
    add(MachineKind::VerticalMill, 5);
    save(dir / "b.tgs");
    fs::rename(dir / "b.tgs", dir / "B.TGS");
    t.millTools.push_back(defaultMillTool());
    t.millTools.back().number = 8;
    t.currentToolIndex = 1;
    load(dir / "B.TGS", MachineKind::VerticalMill);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(t.millTools.size(), 3u);  // nothing read
    EXPECT_EQ(cs.get("ComboBox1").items, (std::vector<std::string>{"-", "5", "8"}));
    EXPECT_EQ(t.currentToolIndex, 0);
}

TEST_F(ToolFileCommands, GstGoesIntoTheSelectedFamilyOnly) {
    { std::ofstream(dir / "old.gst", std::ios::binary) << gstBytes(); }
    add(MachineKind::VerticalMill, 5);
    const auto mill = t.millTools;
    load(dir / "old.gst", MachineKind::Lathe);
    EXPECT_EQ(t.millTools, mill);
    ASSERT_EQ(t.latheTools.size(), 100u);
    for (int i = 1; i < 100; ++i) {
        EXPECT_EQ(t.latheTools[static_cast<size_t>(i)].number, i);
        EXPECT_EQ(t.latheTools[static_cast<size_t>(i)].color, 0x00112233);
    }
    EXPECT_EQ(cs.get("ComboBox1").items.size(), 100u);
    // The wire EDM has no list: nothing is read.
    const auto lathe = t.latheTools;
    load(dir / "old.gst", MachineKind::WireEdm);
    EXPECT_EQ(t.latheTools, lathe);
    EXPECT_EQ(t.millTools, mill);
}

TEST_F(ToolFileCommands, AFailedWriteSaysSoAndLeavesTheOldFile) {
    save(dir / "c.tgs");
    const std::string before = bytesOf(dir / "c.tgs");
    add(MachineKind::VerticalMill, 5);
    answers.push_back(true);
    save(dir / "nofolder" / "c.tgs");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("保存できませんでした"), std::string::npos);
    EXPECT_EQ(bytesOf(dir / "c.tgs"), before);
}

}  // namespace
}  // namespace vantrel
