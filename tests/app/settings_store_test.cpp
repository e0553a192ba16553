// The settings store as the program uses it: start-up load and apply, save at close, the two File menu
// commands, all through the control model and a store in a temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>

#include "app/application.h"
#include "app/dnc_panel.h"
#include "app/headless_setup.h"
#include "app/main_window_controls.h"
#include "app/settings_store.h"
#include "cli/play_command.h"
#include "cli/trace_command.h"
#include "nc/trace.h"
#include "platform/atomic_file.h"
#include "platform/reg_text.h"
#include "program/quon_strings.h"
#include "render/view_state.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;
namespace fs = std::filesystem;

namespace {

struct TempFolder {
    fs::path path;
    TempFolder() {
        std::string t = (fs::temp_directory_path() / "vantrel-settings-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempFolder() {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, ec);
        fs::remove_all(path, ec);
    }
};

// One run of the program: controls, the store attached as the window attaches it, start-up.
struct ProgramRun {
    std::unique_ptr<AppState> state = std::make_unique<AppState>();
    ControlSet controls;
    ScriptedUiServices ui;
    InlineMainThread mainThread;
    Application app{*state, controls, ui, mainThread};
    explicit ProgramRun(const std::string& store) {
        app.createControls();
        attachSettingsStore(app, store);
        app.startUp();
    }
    void close() {
        ui.yesNoAnswers.push_back(true);
        controls.click("sb_end");
    }
    AppState& s() { return *state; }
};

std::string readText(const std::string& path) {
    std::string b;
    readWholeFile(path, b);
    return b;
}

RegDocument readStore(const std::string& path) {
    RegDocument doc;
    EXPECT_TRUE(parseRegText(readText(path), doc).ok);
    return doc;
}

const RegKey& storeKey(const RegDocument& doc) {
    const RegKey* k = doc.findKey(kSettingsKey);
    EXPECT_NE(k, nullptr);
    static const RegKey empty;
    return k ? *k : empty;
}

std::string hexBytes(const std::string& b) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < b.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<uint8_t>(b[i]));
        if (i) out += ',';
        out += buf;
    }
    return out;
}

std::string doubleHex(double d) {
    std::string b(8, '\0');
    std::memcpy(b.data(), &d, 8);
    return hexBytes(b);
}

// A store file written by hand: the header, the key and the given value lines.
std::string storeText(const std::string& lines) {
    return "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\orvik\\Vantrel]\r\n" + lines;
}

void writeStore(const std::string& path, const std::string& lines) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(writeFileAtomically(path, storeText(lines)));
}

struct Store {
    TempFolder dir;
    std::string path = (dir.path / "orvik" / "Vantrel.reg").string();
};

}  // namespace

TEST(SettingsStore, PathFollowsXdgConfigHome) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/somewhere", 1);
    EXPECT_EQ(settingsStorePath(), "/tmp/somewhere/orvik/Vantrel.reg");
    ::setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored
    const char* home = std::getenv("HOME");
    if (home && home[0]) {
        EXPECT_EQ(settingsStorePath(), std::string(home) + "/.config/orvik/Vantrel.reg");
    }
    if (old)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

TEST(SettingsStore, FirstStartKeepsStartUpValuesAndCloseWritesEveryValueInOrder) {
    Store st;
    {
        ProgramRun r(st.path);
        EXPECT_TRUE(r.ui.messages.empty());
        EXPECT_TRUE(r.s().window.settingsReady);
        EXPECT_EQ(r.s().machineKind, MachineKind::VerticalMill);
        EXPECT_TRUE(r.controls.checked("ini1"));
        EXPECT_TRUE(r.controls.checked("menu_kikai0"));
        EXPECT_TRUE(r.controls.checked("sb_kikai0"));
        EXPECT_NEAR(r.s().machine.chuckDiameter, 203.2, 1e-4);
        EXPECT_TRUE(r.controls.checked("menu_grid") && r.controls.checked("sb_showgrid"));
        EXPECT_FALSE(r.controls.checked("N32"));
        EXPECT_FALSE(fs::exists(st.path));  // nothing is written while the program runs
        r.close();
        EXPECT_TRUE(r.ui.messages.empty());
    }
    const RegDocument doc = readStore(st.path);
    const RegKey& k = storeKey(doc);
    std::vector<std::string> names;
    for (const RegValue& v : k.values) names.push_back(v.name);
    const std::vector<std::string> head = {"hozon",      "color_back", "color_zai", "color_tool",
                                           "kikai_mode", "origin_x",   "origin_y",  "scale",
                                           "kyori",      "now_x",      "now_y",     "now_z"};
    ASSERT_GE(names.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + static_cast<long>(head.size())), head);
    // Never written: the two read-only values; the DNC combos are not in this window yet.
    EXPECT_EQ(k.find("ontext"), nullptr);
    EXPECT_EQ(k.find("text"), nullptr);
    // Tools: one milling, one lathe entry and the wire, 16 values each; the last value is the wire's colour.
    EXPECT_NE(k.find("t_num0"), nullptr);
    EXPECT_NE(k.find("t_color_s0"), nullptr);
    EXPECT_EQ(names.back(), "t_color_w");
    EXPECT_EQ(k.find("t_num1"), nullptr);
    ASSERT_NE(k.find("kyori"), nullptr);
    EXPECT_EQ(k.find("kyori")->kind, RegValueKind::Binary);
    EXPECT_EQ(k.find("kyori")->data.size(), 8u);  // single precision widened to a double
    EXPECT_EQ(k.find("t_t0")->data.size(), 1u);
    EXPECT_EQ(k.find("color_back")->data, std::string("\xff\xff\xff\x00", 4));
    // The file is a UTF-8 REGEDIT4 export.
    EXPECT_EQ(readText(st.path).rfind("REGEDIT4\r\n", 0), 0u);
}

TEST(SettingsStore, AutoSaveOffWritesOnlyHozonAndKeepsTheRest) {
    Store st;
    {
        ProgramRun r(st.path);
        r.s().view.originX = 222;
        r.close();
    }
    {
        ProgramRun r(st.path);
        EXPECT_EQ(r.s().view.originX, 222);
        r.controls.click("ini1");  // the check item unticks itself
        EXPECT_FALSE(r.controls.checked("ini1"));
        EXPECT_FALSE(r.s().settings.autoSave);
        r.s().view.originX = 333;
        r.close();
    }
    const RegDocument doc = readStore(st.path);
    const RegKey& k = storeKey(doc);
    ASSERT_NE(k.find("hozon"), nullptr);
    EXPECT_EQ(k.find("hozon")->dword, 0u);
    EXPECT_EQ(k.find("origin_x")->dword, 222u);  // the earlier value is still in the file
    {
        ProgramRun r(st.path);
        EXPECT_FALSE(r.controls.checked("ini1"));
        EXPECT_EQ(r.s().view.originX, 222);
    }
}

TEST(SettingsStore, ShorterStoredCountFillsWithZeroEntriesAndLongerTablesLeaveOldValues) {
    Store st;
    writeStore(st.path, "\"t_cnt\"=dword:00000003\r\n\"t_num1\"=hex:07,00,00,00\r\n\"t_ki1\"=hex:" +
                            doubleHex(12.5) + "\r\n");
    {
        ProgramRun r(st.path);
        ASSERT_EQ(r.s().tools.millTools.size(), 3u);
        EXPECT_EQ(r.s().tools.millTools[1].number, 7);
        EXPECT_DOUBLE_EQ(r.s().tools.millTools[1].diameter, 12.5);
        const ToolRecord& e2 = r.s().tools.millTools[2];
        EXPECT_EQ(e2.number, 0);
        EXPECT_EQ(e2.diameter, 0);
        EXPECT_EQ(e2.color, 0);
        EXPECT_EQ(e2.tipPosition, 0);
        EXPECT_EQ(r.controls.items("ComboBox1").size(), 3u);
    }
    // Five entries saved, then two: t_cnt 2 is written, the values of entries 2..4 stay in the file
    // and the next start loads two entries.
    {
        ProgramRun r(st.path);
        r.s().tools.millTools.resize(5, defaultMillTool());
        for (int i = 1; i < 5; ++i) r.s().tools.millTools[static_cast<size_t>(i)].number = i * 10;
        r.close();
    }
    {
        ProgramRun r(st.path);
        ASSERT_EQ(r.s().tools.millTools.size(), 5u);
        r.s().tools.millTools.resize(2);
        r.close();
    }
    const RegDocument doc = readStore(st.path);
    const RegKey& k = storeKey(doc);
    EXPECT_EQ(k.find("t_cnt")->dword, 2u);
    ASSERT_NE(k.find("t_num4"), nullptr);
    EXPECT_EQ(k.find("t_num4")->data, std::string("\x28\x00\x00\x00", 4));
    ProgramRun r(st.path);
    EXPECT_EQ(r.s().tools.millTools.size(), 2u);
}

TEST(SettingsStore, NarrowingAndLowByteRules) {
    Store st;
    const double kyori = 1234.56789012345;
    writeStore(st.path, "\"kyori\"=hex:" + doubleHex(kyori) + "\r\n\"onpicture\"=dword:00000102\r\n");
    ProgramRun r(st.path);
    EXPECT_EQ(r.s().view.kyori, static_cast<float>(kyori));
    EXPECT_EQ(r.s().picture.pictureMode, 2);
}

TEST(SettingsStore, RestoreBringsBackStoredColoursAndRepaints) {
    Store st;
    {
        ProgramRun r(st.path);
        r.ui.colourAnswers.push_back(0x123456);
        r.controls.click("panel_clback");
        EXPECT_EQ(r.s().colours[0], 0x123456u);
        r.close();
    }
    ProgramRun r(st.path);
    EXPECT_EQ(r.s().colours[0], 0x123456u);
    EXPECT_EQ(r.controls.get("panel_clback").color, 0x123456u);
    r.ui.colourAnswers.push_back(0x00FF00);
    r.controls.click("panel_clzai");
    r.ui.colourAnswers.push_back(0x0000FF);
    r.controls.click("panel_clback");
    EXPECT_EQ(r.s().colours[9], 0x00FF00u);
    const int before = r.app.repaintCount();
    r.controls.click("N24");
    EXPECT_EQ(r.s().colours[0], 0x123456u);
    EXPECT_EQ(r.s().colours[9], 0xA0A0A0u);
    EXPECT_EQ(r.controls.get("panel_clzai").color, 0xA0A0A0u);
    EXPECT_GT(r.app.repaintCount(), before);
    EXPECT_TRUE(r.s().window.settingsReady);
}

TEST(SettingsStore, ValuesOutsideTheirDomainKeepStartUpValues) {
    Store st;
    writeStore(st.path,
               "\"kikai_mode\"=dword:00000007\r\n"
               "\"holder\"=dword:00000063\r\n"
               "\"chack\"=dword:ffffffff\r\n"
               "\"t_cnt\"=dword:00000000\r\n"
               "\"t_cnt_s\"=dword:00002711\r\n"             // 10001
               "\"scale\"=hex:00,00,00,00,00,00,f8,7f\r\n"  // NaN
               "\"kyori\"=hex:00,00,00,00,00,00,f0,7f\r\n"  // infinity
               "\"zai_x\"=hex:00,00,00,00,00,00,f0,47\r\n"  // beyond single precision
               "\"color_back\"=hex:00,00,ff\r\n"            // three bytes for a four-byte field
               "\"t_num0\"=hex:01,00,00,00,00\r\n"
               "\"laypower\"=dword:0000000b\r\n");
    ProgramRun r(st.path);
    EXPECT_EQ(r.s().machineKind, MachineKind::VerticalMill);
    EXPECT_TRUE(r.controls.checked("menu_kikai0"));
    EXPECT_EQ(r.controls.itemIndex("combo_holder"), 2);
    EXPECT_EQ(r.s().machine.holderStandard, 2);
    EXPECT_EQ(r.controls.itemIndex("combo_chack"), 3);
    EXPECT_EQ(r.s().tools.millTools.size(), 1u);
    EXPECT_EQ(r.s().tools.latheTools.size(), 1u);
    EXPECT_DOUBLE_EQ(r.s().view.scale, 1.5);
    EXPECT_EQ(r.s().view.kyori, 1000.0f);
    EXPECT_EQ(r.s().stock.sizeX, 100.0f);
    EXPECT_EQ(r.s().colours[0], 0xFFFFFFu);
    EXPECT_EQ(r.s().tools.millTools[0].number, 0);
    EXPECT_EQ(r.s().view.laypower, 5);
    ASSERT_EQ(r.ui.messages.size(), 1u);  // one message names them all
    for (const char* n : {"kikai_mode", "holder", "chack", "t_cnt", "t_cnt_s", "scale", "kyori", "zai_x",
                          "color_back", "t_num0", "laypower"})
        EXPECT_NE(r.ui.messages[0].find(n), std::string::npos) << n;
}

TEST(SettingsStore, WrongKindIsNamedAndTheLoadGoesOn) {
    Store st;
    writeStore(st.path,
               "\"origin_x\"=hex:01,02,03,04\r\n"
               "\"origin_y\"=dword:0000012c\r\n"
               "\"scale\"=dword:00000002\r\n"
               "\"backpicture\"=dword:00000001\r\n"
               "\"view_a\"=\"text\"\r\n"
               "\"laypower\"=dword:00000009\r\n");
    ProgramRun r(st.path);
    EXPECT_EQ(r.s().view.originX, 160);
    EXPECT_EQ(r.s().view.originY, 300);
    EXPECT_EQ(r.s().view.laypower, 9);
    EXPECT_EQ(r.controls.position("ScrollBar2"), 9);
    EXPECT_TRUE(r.s().window.settingsReady);
    ASSERT_EQ(r.ui.messages.size(), 1u);
    const std::string& m = r.ui.messages[0];
    EXPECT_EQ(m.rfind(kMsgSettingsValuesSkipped, 0), 0u);
    for (const char* n : {"origin_x", "scale", "backpicture", "view_a"})
        EXPECT_NE(m.find(n), std::string::npos);
    EXPECT_EQ(m.find("origin_y"), std::string::npos);
}

TEST(SettingsStore, NotARegistryFileIsReportedAndNothingLoads) {
    Store st;
    fs::create_directories(fs::path(st.path).parent_path());
    ASSERT_TRUE(writeFileAtomically(st.path, "\"origin_x\"=dword:00000001\r\n"));
    ProgramRun r(st.path);
    EXPECT_EQ(r.s().view.originX, 160);
    ASSERT_EQ(r.ui.messages.size(), 1u);
    EXPECT_EQ(r.ui.messages[0].rfind(kMsgSettingsNotRegistry, 0), 0u);
    EXPECT_TRUE(r.s().window.settingsReady);
    // Closing replaces it with a proper store.
    r.close();
    const RegDocument doc = readStore(st.path);
    EXPECT_EQ(storeKey(doc).find("origin_x")->dword, 160u);
}

TEST(SettingsStore, CheckBoxesRunTheirCommandsWhenLoaded) {
    Store st;
    writeStore(st.path,
               "\"atc\"=dword:00000000\r\n\"hankei\"=dword:00000001\r\n\"gyaku\"=dword:00000001\r\n"
               "\"spindle_on\"=dword:00000000\r\n\"hanyou\"=dword:00000001\r\n"
               "\"kikai_mode\"=dword:00000002\r\n\"tformat\"=dword:00000002\r\n");
    ProgramRun r(st.path);
    EXPECT_FALSE(r.controls.checked("checkbox_atc"));
    EXPECT_FALSE(r.controls.checked("menu_atc"));
    EXPECT_FALSE(r.s().machine.atcAnimation);
    EXPECT_TRUE(r.controls.checked("menu_kikai_hankei"));
    EXPECT_TRUE(r.controls.checked("menu_kikai_xm"));
    EXPECT_FALSE(r.s().machine.showSpindle);
    EXPECT_FALSE(r.s().machine.spindleShown);
    EXPECT_TRUE(r.s().machine.generalPurposeLathe);
    // The lathe with radius programming: the apply sets the divisor again (+1, the reversal's sign gone).
    EXPECT_EQ(r.s().machineKind, MachineKind::Lathe);
    EXPECT_EQ(r.s().machine.diameterDivisor, 1);
    EXPECT_EQ(r.s().machine.tCodeFormat, 2);
    EXPECT_TRUE(r.controls.checked("menu_kikai_T4"));
    EXPECT_TRUE(r.controls.checked("sb_mouse_xz"));
    EXPECT_TRUE(r.controls.checked("menu_kikai2") && r.controls.checked("sb_kikai1"));
    EXPECT_EQ(r.controls.caption("menu_kikai"), "機械（旋盤）");
    EXPECT_FALSE(r.controls.enabled("menu_playfast"));
    // A menu twin changes its box and acts once.
    r.controls.click("menu_atc");
    EXPECT_TRUE(r.controls.checked("checkbox_atc"));
    EXPECT_TRUE(r.s().machine.atcAnimation);
    const int8_t d = r.s().machine.diameterDivisor;
    r.controls.click("menu_kikai_xm");
    EXPECT_EQ(r.s().machine.diameterDivisor, -d);
    EXPECT_FALSE(r.controls.checked("checkbox_gyaku"));
}

// The communication panel is made after the start-up's load: it must connect with the stored line
// settings, show them, and the close must write them back unchanged.
TEST(SettingsStore, StoredLineSettingsReachTheCommunicationPanel) {
    Store st;
    writeStore(st.path,
               "\"baudrate\"=dword:00000003\r\n\"code\"=dword:00000000\r\n\"flow\"=dword:00000001\r\n"
               "\"eor\"=dword:00000001\r\n");
    {
        ProgramRun r(st.path);
        TQuonStrings program;
        DncPanel panel(r.s(), r.controls, r.ui, r.mainThread, program, nullptr);
        EXPECT_EQ(r.s().dnc.baudrate, 3);
        EXPECT_EQ(r.s().dnc.code, 0);
        EXPECT_EQ(r.s().dnc.transferCode, 0);  // EIA
        EXPECT_EQ(r.s().dnc.flow, 1);
        EXPECT_FALSE(r.s().dnc.softwareFlow);
        EXPECT_TRUE(r.s().dnc.eor);
        EXPECT_EQ(r.controls.itemIndex("combo_baudrate"), 3);
        EXPECT_EQ(r.controls.itemIndex("combo_code"), 0);
        r.close();
    }
    ProgramRun again(st.path);
    EXPECT_EQ(again.controls.itemIndex("combo_baudrate"), 3);
    EXPECT_EQ(again.controls.itemIndex("combo_flow"), 1);
    EXPECT_EQ(again.s().dnc.baudrate, 3);
}

TEST(SettingsStore, WireEdmLoadDisablesFastAndStepPlay) {
    Store st;
    writeStore(st.path, "\"kikai_mode\"=dword:00000004\r\n");
    ProgramRun r(st.path);
    EXPECT_EQ(r.s().machineKind, MachineKind::WireEdm);
    EXPECT_FALSE(r.controls.enabled("sb_playfast"));
    EXPECT_FALSE(r.controls.enabled("sb_playstep"));
    EXPECT_TRUE(r.controls.checked("sb_mouse_xy"));
    EXPECT_FALSE(r.controls.enabled("ComboBox1"));
    // A machine selection enables them again.
    r.controls.click("sb_kikai0");
    EXPECT_TRUE(r.controls.enabled("sb_playfast"));
}

TEST(SettingsStore, RestoreKeepsTheCurrentToolInsideAShorterTable) {
    Store st;
    writeStore(st.path, "\"t_cnt\"=dword:00000002\r\n\"t_num1\"=hex:03,00,00,00\r\n\"t_ki1\"=hex:" +
                            doubleHex(6) + "\r\n");
    ProgramRun r(st.path);
    r.s().tools.millTools.resize(5, defaultMillTool());
    r.s().tools.currentToolIndex = 4;
    r.controls.click("N24");
    EXPECT_EQ(r.s().tools.millTools.size(), 2u);
    EXPECT_GE(r.s().tools.currentToolIndex, 0);
    EXPECT_LT(r.s().tools.currentToolIndex, 2);
    // An index still inside the table is kept, and its entry is what the working tool shows.
    r.s().tools.currentToolIndex = 1;
    r.controls.click("N24");
    EXPECT_EQ(r.s().tools.currentToolIndex, 1);
    EXPECT_DOUBLE_EQ(r.s().tools.workingTool.diameter, 6);
    EXPECT_DOUBLE_EQ(r.s().tools.millTools[1].diameter, 6);
}

TEST(SettingsStore, FailedSaveIsToldAndTheWindowStillCloses) {
    Store st;
    ProgramRun r(st.path);
    // The store's folder cannot be made: a plain file stands where it should be.
    ASSERT_TRUE(writeFileAtomically((st.dir.path / "orvik").string(), "x"));
    r.close();
    EXPECT_EQ(r.s().window.ready, 0);  // the shutdown ran to its end
    ASSERT_EQ(r.ui.messages.size(), 1u);
    EXPECT_EQ(r.ui.messages[0].rfind(kMsgSettingsNotSaved, 0), 0u);
    EXPECT_NE(r.ui.messages[0].find(st.path), std::string::npos);
    if (::geteuid() == 0) return;  // root writes into read-only folders
    fs::remove(st.dir.path / "orvik");
    fs::create_directories(fs::path(st.path).parent_path());
    ProgramRun again(st.path);
    fs::permissions(fs::path(st.path).parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    again.close();
    ASSERT_EQ(again.ui.messages.size(), 1u);
    EXPECT_EQ(again.ui.messages[0].rfind(kMsgSettingsNotSaved, 0), 0u);
    EXPECT_FALSE(fs::exists(st.path));
}

TEST(SettingsStore, SaveKeepsValuesItDoesNotKnowAndOtherKeys) {
    Store st;
    fs::create_directories(fs::path(st.path).parent_path());
    ASSERT_TRUE(writeFileAtomically(
        st.path, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\other]\r\n\"a\"=\"b\"\r\n\r\n" +
                     storeText("\"baudrate\"=dword:00000003\r\n\"future\"=\"x\"\r\n")));
    ProgramRun r(st.path);
    r.close();
    const RegDocument doc = readStore(st.path);
    ASSERT_NE(doc.findKey("HKEY_CURRENT_USER\\Software\\other"), nullptr);
    const RegKey& k = storeKey(doc);
    ASSERT_NE(k.find("future"), nullptr);
    ASSERT_NE(k.find("baudrate"), nullptr);  // the communication panel is not in this window: kept
    EXPECT_EQ(k.find("baudrate")->dword, 3u);
    EXPECT_NE(k.find("zai_x"), nullptr);
}

// Every stored value, set away from its start-up value, survives a close and a start.
TEST(SettingsStore, RoundTripOfEveryValue) {
    Store st;
    ToolRecord mill1, lathe1, wire;
    {
        ProgramRun r(st.path);
        r.controls.click("sb_kikai3");  // horizontal mill
        AppState& s = r.s();
        s.colours[0] = 0x010203;
        s.colours[9] = 0x040506;
        s.colours[7] = 0x070809;
        s.view.originX = -17;
        s.view.originY = 99999;
        s.view.scale = 2.25;
        s.view.kyori = 1500.5f;
        s.pos.tool.set({1.5, -2.5, 300.125});
        s.view.vwx = 1;
        s.view.vwy = -2;
        s.view.vwz = 3.5;
        s.view.viewA = 0.3;
        s.view.viewB = -1.1;
        s.stock.sizeX = 80;
        s.stock.sizeY = 60.5f;
        s.stock.sizeZ = 20;
        s.stock.offsetX = -5;
        s.stock.offsetY = 6;
        s.stock.offsetZ = -20;
        s.view.laypower = 3;
        for (const char* n :
             {"sb_showgrid", "sb_showaxis", "sb_showkougu", "sb_showholder", "sb_showzairyou", "sb_showkikai",
              "sb_showcad", "sb_tool_w", "sb_zai_w", "sb_kikai_w", "sb_cad_w"})
            r.controls.click(n);
        r.controls.setItemIndex("combo_holder", 5);
        r.controls.setItemIndex("combo_tformat", 1);
        r.controls.setItemIndex("combo_chack", 7);
        for (const char* n :
             {"checkbox_atc", "checkbox_hanyou", "checkbox_hankei", "checkbox_gyaku", "checkbox_hon",
              "checkbox_touka", "checkbox_bise", "checkbox_spindle", "checkbox_chack", "checkbox_hamonodai"})
            r.controls.click(n);
        s.picture.pictureMode = 3;
        s.picture.fileName = "/home/user/写真/back \"1\".jpg";
        mill1 = defaultMillTool(0x112233);
        mill1.number = 12;
        mill1.kind = 2;
        mill1.tipPosition = 7;
        mill1.noseRadius = 1.25;
        mill1.diameter = 16;
        mill1.length = 55;
        mill1.holderLength = 44;
        mill1.angleA = 118;
        mill1.angleB = 3;
        mill1.axisX = 0.5;
        mill1.axisY = 0.25;
        mill1.axisZ = 0.75;
        mill1.holderDiameter = 33;
        mill1.reserved1 = -1;
        mill1.reserved2 = 1e-9;
        s.tools.millTools.push_back(mill1);
        lathe1 = defaultLatheTool(0x445566);
        lathe1.number = 101;
        lathe1.kind = 4;
        s.tools.latheTools.push_back(lathe1);
        wire = s.tools.wireTool;
        wire.diameter = 0.25;
        wire.angleA = 40;
        s.tools.wireTool = wire;
        r.close();
    }
    ProgramRun r(st.path);
    const AppState& s = r.s();
    EXPECT_TRUE(r.ui.messages.empty());
    EXPECT_EQ(s.machineKind, MachineKind::HorizontalMill);
    EXPECT_EQ(s.colours[0], 0x010203u);
    EXPECT_EQ(s.colours[9], 0x040506u);
    EXPECT_EQ(s.colours[7], 0x070809u);
    EXPECT_EQ(s.view.originX, -17);
    EXPECT_EQ(s.view.originY, 99999);
    EXPECT_DOUBLE_EQ(s.view.scale, 2.25);
    EXPECT_EQ(s.view.kyori, 1500.5f);
    EXPECT_DOUBLE_EQ(s.pos.tool.get().x, 1.5);
    EXPECT_DOUBLE_EQ(s.pos.tool.get().y, -2.5);
    EXPECT_DOUBLE_EQ(s.pos.tool.get().z, 300.125);
    EXPECT_DOUBLE_EQ(s.view.vwz, 3.5);
    EXPECT_DOUBLE_EQ(s.view.viewA, 0.3);
    EXPECT_DOUBLE_EQ(s.view.viewB, -1.1);
    EXPECT_EQ(s.stock.sizeX, 80.0f);
    EXPECT_EQ(s.stock.sizeY, 60.5f);
    EXPECT_EQ(s.stock.offsetZ, -20.0f);
    EXPECT_EQ(s.view.laypower, 3);
    const DisplaySwitches& d = s.display;
    EXPECT_FALSE(d.grid_on || d.axis_on || d.tool_on || d.holder_on || d.cad_on);
    EXPECT_EQ(s.stock.visible, 0);
    EXPECT_TRUE(d.kikai_on && d.kouwyer_on && d.zaiwyer_on && d.kikaiwyer_on && d.cadwyer_on);
    EXPECT_FALSE(r.controls.checked("menu_grid") || r.controls.checked("sb_showgrid"));
    EXPECT_TRUE(r.controls.checked("N32") && r.controls.checked("sb_showkikai"));
    EXPECT_FALSE(r.controls.checked("sb_showcad"));
    EXPECT_EQ(r.controls.itemIndex("combo_holder"), 5);
    EXPECT_EQ(s.machine.holderStandard, 5);
    EXPECT_TRUE(r.controls.checked("menu_hsk63"));
    EXPECT_FALSE(r.controls.checked("menu_bt40"));
    EXPECT_EQ(r.controls.itemIndex("combo_tformat"), 1);
    EXPECT_EQ(s.machine.tCodeFormat, 1);
    EXPECT_EQ(r.controls.itemIndex("combo_chack"), 7);
    EXPECT_NEAR(s.machine.chuckDiameter, 18 * 25.4, 1e-4);
    EXPECT_TRUE(r.controls.checked("menu_chack18"));
    EXPECT_FALSE(s.machine.atcAnimation);
    EXPECT_TRUE(s.machine.generalPurposeLathe);
    EXPECT_TRUE(r.controls.checked("checkbox_hankei"));
    EXPECT_TRUE(r.controls.checked("checkbox_gyaku"));
    EXPECT_FALSE(s.machine.showBody || s.machine.seeThrough || s.machine.showVice || s.machine.showSpindle ||
                 s.machine.showChuck || s.machine.showTurret);
    EXPECT_EQ(s.picture.pictureMode, 3);
    EXPECT_EQ(s.picture.fileName, "/home/user/写真/back \"1\".jpg");
    ASSERT_EQ(s.tools.millTools.size(), 2u);
    EXPECT_EQ(s.tools.millTools[1], mill1);
    ASSERT_EQ(s.tools.latheTools.size(), 2u);
    EXPECT_EQ(s.tools.latheTools[1], lathe1);
    EXPECT_EQ(s.tools.wireTool, wire);
    EXPECT_EQ(r.controls.items("ComboBox1"), (std::vector<std::string>{"-", "12"}));
}

// A key exported by the registry of another system: UTF-16LE with its byte order mark, CR LF, the
// version 5 header, binary values split over continuation lines, a CP932-era file name, comments.
TEST(SettingsStore, ReadsAnExportFromAnotherSystemsRegistry) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\orvik\\Vantrel]\r\n"
        "\"hozon\"=dword:00000001\r\n"
        "\"color_back\"=hex:40,80,c0,00\r\n"
        "\"kikai_mode\"=dword:00000001\r\n"
        "\"origin_x\"=dword:00000064\r\n"
        "\"scale\"=hex:00,00,00,00,00,00,\\\r\n"
        "  04,40\r\n"
        "\"zai_x\"=hex:00,00,00,00,00,00,\\\r\n"
        "  5e,40\r\n"
        "; a comment line\r\n"
        "\"backpicture\"=\"C:\\\\画像\\\\背景.bmp\"\r\n"
        "\"t_cnt\"=dword:00000002\r\n"
        "\"t_num1\"=hex:0b,00,00,00\r\n"
        "\"t_ki1\"=hex:00,00,00,00,00,00,\\\r\n"
        "  24,40\r\n"
        "\"t_color1\"=hex:ff,00,00,00\r\n"
        "\r\n";
    // UTF-16LE: every character of the (UTF-8) text above as 16-bit units.
    std::u16string u16;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<uint8_t>(text[i]);
        uint32_t cp;
        int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<uint8_t>(text[i + static_cast<size_t>(k)]) & 0x3F);
        u16.push_back(static_cast<char16_t>(cp));
        i += static_cast<size_t>(len);
    }
    std::string bytes = "\xff\xfe";
    for (char16_t u : u16) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    Store st;
    fs::create_directories(fs::path(st.path).parent_path());
    ASSERT_TRUE(writeFileAtomically(st.path, bytes));
    ProgramRun r(st.path);
    EXPECT_TRUE(r.ui.messages.empty()) << (r.ui.messages.empty() ? "" : r.ui.messages[0]);
    EXPECT_EQ(r.s().colours[0], 0x00C08040u);
    EXPECT_EQ(r.s().machineKind, MachineKind::HorizontalMill);
    EXPECT_EQ(r.s().view.originX, 100);
    EXPECT_DOUBLE_EQ(r.s().view.scale, 2.5);
    EXPECT_EQ(r.s().stock.sizeX, 120.0f);
    EXPECT_EQ(r.s().picture.fileName, "C:\\画像\\背景.bmp");
    ASSERT_EQ(r.s().tools.millTools.size(), 2u);
    EXPECT_EQ(r.s().tools.millTools[1].number, 11);
    EXPECT_DOUBLE_EQ(r.s().tools.millTools[1].diameter, 10);
    EXPECT_EQ(r.s().tools.millTools[1].color, 0xFF);
    // The next save writes the same values back as UTF-8.
    r.close();
    const std::string saved = readText(st.path);
    EXPECT_EQ(saved.rfind("REGEDIT4\r\n", 0), 0u);
    EXPECT_NE(saved.find("\"backpicture\"=\"C:\\\\画像\\\\背景.bmp\""), std::string::npos);
}

// Two instances: one saving over and over while the other loads; the reader never sees half a file.
TEST(SettingsStore, AReaderNeverSeesHalfAFile) {
    Store st;
    {
        ProgramRun r(st.path);
        r.close();
    }
    std::atomic<bool> done{false};
    std::thread writer([&] {
        auto s = std::make_unique<AppState>();
        ControlSet cs;
        ScriptedUiServices ui;
        InlineMainThread mt;
        Application app(*s, cs, ui, mt);
        app.createControls();
        for (int n = 0; n < 40; ++n) {
            // Tables of changing length make files of changing size.
            s->tools.millTools.resize(static_cast<size_t>(1 + (n % 2) * 200), defaultMillTool());
            saveSettingsFile(app, st.path);
        }
        done = true;
    });
    int loads = 0;
    while (!done || loads == 0) {
        auto s = std::make_unique<AppState>();
        ControlSet cs;
        addMainWindowControls(cs);
        std::string bytes;
        ASSERT_TRUE(readWholeFile(st.path, bytes));
        const SettingsLoadReport rep = loadSettingsFromBytes(bytes, *s, cs);
        ASSERT_TRUE(rep.found);
        ASSERT_TRUE(rep.clean());
        const size_t n = s->tools.millTools.size();
        ASSERT_TRUE(n == 1 || n == 201) << n;
        ASSERT_NE(s->tools.millTools.back().diameter, 0);  // the last entry's values were all there
        ++loads;
    }
    writer.join();
    EXPECT_GT(loads, 0);
}

// The headless commands start from the store: machine, stock and tools; options override it.
TEST(SettingsStore, HeadlessSetUpStartsFromTheStoreAndOptionsOverride) {
    Store st;
    writeStore(st.path, "\"kikai_mode\"=dword:00000001\r\n\"zai_x\"=hex:" + doubleHex(70) +
                            "\r\n\"t_cnt\"=dword:00000002\r\n\"t_num1\"=hex:05,00,00,00\r\n\"t_ki1\"=hex:" +
                            doubleHex(8) + "\r\n\"holder\"=dword:00000004\r\n");
    HeadlessOptions o;
    o.settingsFile = st.path;
    std::string msg;
    {
        auto s = std::make_unique<AppState>();
        ASSERT_TRUE(setUpHeadlessState(*s, o, msg)) << msg;
        EXPECT_TRUE(msg.empty());
        EXPECT_EQ(s->machineKind, MachineKind::HorizontalMill);
        EXPECT_EQ(s->stock.sizeX, 70.0f);
        EXPECT_EQ(s->machine.holderStandard, 4);
        ASSERT_EQ(s->tools.millTools.size(), 2u);
        EXPECT_DOUBLE_EQ(s->tools.millTools[1].diameter, 8);
    }
    o.stockSize = std::array<double, 3>{40, 30, 20};
    o.toolDiameter = 3;
    {
        auto s = std::make_unique<AppState>();
        ASSERT_TRUE(setUpHeadlessState(*s, o, msg));
        EXPECT_EQ(s->stock.sizeX, 40.0f);
        EXPECT_DOUBLE_EQ(s->tools.millTools[1].diameter, 3);
        EXPECT_EQ(s->tools.millTools[1].number, 5);
    }
    o.settingsFile = (st.dir.path / "missing.reg").string();
    auto s = std::make_unique<AppState>();
    EXPECT_FALSE(setUpHeadlessState(*s, o, msg));
    EXPECT_NE(msg.find("missing.reg"), std::string::npos);
}

// The largest table the store accepts saves and loads whole; lookups go through an index, so this
// takes a fraction of a second rather than minutes.
TEST(SettingsStore, TenThousandToolsRoundTrip) {
    Store st;
    {
        ProgramRun r(st.path);
        r.s().tools.millTools.resize(10000, defaultMillTool());
        r.s().tools.millTools[9999].number = 9999;
        r.close();
    }
    ProgramRun r(st.path);
    ASSERT_EQ(r.s().tools.millTools.size(), 10000u);
    EXPECT_EQ(r.s().tools.millTools[9999].number, 9999);
    EXPECT_EQ(r.s().tools.millTools[5000], defaultMillTool());
}

// trace --settings: the stored machine and tool list shape the path (cutter compensation reads the
// stored diameters); --tool-diameter on the command line still wins.
TEST(SettingsStore, TraceTakesTheStoredToolList) {
    Store st;
    writeStore(st.path, "\"t_cnt\"=dword:00000002\r\n\"t_num1\"=hex:01,00,00,00\r\n\"t_ki1\"=hex:" +
                            doubleHex(30) + "\r\n\"t_ki0\"=hex:" + doubleHex(30) + "\r\n");
    const std::string program = std::string(VANTREL_TEST_DATA) + "/../../../samples/contour.nc";
    auto trace = [&](const std::vector<std::string>& args) {
        std::ostringstream out, err;
        EXPECT_EQ(runTraceCommand(args, out, err), 0) << err.str();
        return out.str();
    };
    TraceOptions stored;
    std::string error, warnings;
    ASSERT_TRUE(traceOptionsFromSettings(st.path, stored, error, warnings)) << error;
    EXPECT_EQ(stored.machine, MachineKind::VerticalMill);
    ASSERT_EQ(stored.tools.size(), 2u);
    EXPECT_EQ(stored.tools[1], (std::pair<int32_t, double>{1, 30}));
    const std::string plain = trace({program});
    const std::string fromStore = trace({program, "--settings", st.path});
    EXPECT_NE(fromStore, plain);
    EXPECT_EQ(trace({program, "--settings", st.path, "--tool-diameter", "10"}), plain);
    TraceOptions none;
    EXPECT_FALSE(traceOptionsFromSettings((st.dir.path / "none.reg").string(), none, error, warnings));
}
