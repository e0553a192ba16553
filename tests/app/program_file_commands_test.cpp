#include "app/program_file_commands.h"
#include "file_bytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "app/application.h"
#include "app/main_window_controls.h"
#include "support/scripted_ui_services.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

using vantrel::testing::readBytes;
using vantrel::testing::writeBytes;

struct RecordingQuestions : CaptionedQuestions {
    std::vector<std::string> asked;  // "caption|text"
    std::deque<bool> answers;
    bool ask(const std::string& text, const std::string& caption) override {
        asked.push_back(caption + "|" + text);
        if (answers.empty()) return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
};

struct Fixture {
    fs::path dir;
    ControlSet controls;
    ScriptedUiServices ui;
    TQuonStrings program;
    EditModel model{program};
    HeadlessEditorView view{model};
    RecordingQuestions questions;
    ProgramFileCommands files{controls, ui, program, view, &questions};
    int fits = 0, strips = 0, cleared = 0;

    Fixture() {
        dir = fs::temp_directory_path() /
              ("vantrel_pfc_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        addMainWindowControls(controls);
        files.hooks.stockFit = [this] { ++fits; };
        files.hooks.programStrip = [this] { ++strips; };
        files.hooks.programCleared = [this] { ++cleared; };
        files.bindControls();
    }
    ~Fixture() { fs::remove_all(dir); }
    std::string path(const char* name) const { return (dir / name).string(); }
};

TEST(ProgramFileCommands, LoadAsksForTheStockFitAndSaveWritesCrLf) {
    Fixture f;
    writeBytes(f.path("a.nc"), "O0001\nG00 X0 (原点)\nM30\n");
    f.ui.fileAnswers.push_back(f.path("a.nc"));
    f.questions.answers.push_back(true);
    f.controls.click("sb_textin");
    EXPECT_EQ(f.program.count(), 4);
    EXPECT_EQ(f.program.lineText(1), "G00 X0 (原点)");
    EXPECT_EQ(f.strips, 1);
    EXPECT_EQ(f.fits, 1);
    ASSERT_EQ(f.questions.asked.size(), 1u);
    EXPECT_EQ(f.questions.asked[0], "材料フィット|読み込んだデータに材料を合わせますか？");
    // An edit, then "保存" under a new name without extension: ".txt" is added, nothing asked.
    f.model.setCaret({1, 0});
    f.model.typeText("N10 ");
    f.ui.fileAnswers.push_back(f.path("b"));
    f.controls.click("Save1");
    EXPECT_EQ(readBytes(f.dir / "b.txt"), "O0001\r\nN10 G00 X0 (原点)\r\nM30\r\n");
    EXPECT_EQ(f.questions.asked.size(), 1u);
    // Saving to the same name without extension again: the final name exists, so the question comes.
    f.ui.fileAnswers.push_back(f.path("b"));
    f.questions.answers.push_back(false);
    f.model.typeText("X");
    f.controls.click("Save1");
    EXPECT_EQ(f.questions.asked.back(), "確認|同名のファイルが存在します。上書きしますか？");
    EXPECT_EQ(readBytes(f.dir / "b.txt"), "O0001\r\nN10 G00 X0 (原点)\r\nM30\r\n");
    EXPECT_FALSE(fs::exists(f.dir / "b"));
    f.questions.answers.push_back(true);
    EXPECT_TRUE(f.files.saveAs(f.path("b.txt")));
    EXPECT_EQ(readBytes(f.dir / "b.txt"), "O0001\r\nN10 XG00 X0 (原点)\r\nM30\r\n");
}

TEST(ProgramFileCommands, Cp932FileStaysCp932) {
    Fixture f;
    const std::string sjis = "(\x89\xC1\x8D\x48)\r\nM30";  // (加工) in CP932
    writeBytes(f.path("s.nc"), sjis);
    ASSERT_TRUE(f.files.loadFile(f.path("s.nc")));
    EXPECT_EQ(f.program.lineText(0), "(加工)");
    f.questions.answers.push_back(true);
    ASSERT_TRUE(f.files.saveAs(f.path("s.nc")));
    EXPECT_EQ(readBytes(f.dir / "s.nc"), sjis);
}

TEST(ProgramFileCommands, FailedLoadLeavesTheProgramAlone) {
    Fixture f;
    f.model.typeText("G01 X1");
    f.ui.yesNoCancelAnswers.push_back(YesNoCancel::No);  // the typed text may go
    f.ui.fileAnswers.push_back(f.path("missing.nc"));
    f.controls.click("N2");
    EXPECT_EQ(f.program.Text(), "G01 X1");
    EXPECT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.strips, 0);
    EXPECT_TRUE(f.questions.asked.empty());
    // A folder is no program either.
    EXPECT_FALSE(f.files.loadFile(f.dir.string()));
    EXPECT_EQ(f.program.Text(), "G01 X1");
    EXPECT_EQ(f.ui.messages.size(), 2u);
    // While a play reads the store, loading is refused.
    writeBytes(f.path("x.nc"), "M30");
    f.model.setReadOnly(true);
    EXPECT_FALSE(f.files.loadFile(f.path("x.nc")));
    EXPECT_EQ(f.program.Text(), "G01 X1");
    // Saving into a folder that does not exist fails with a message and changes nothing.
    f.model.setReadOnly(false);
    EXPECT_FALSE(f.files.saveAs(f.path("nodir/p.txt")));
    EXPECT_EQ(f.ui.messages.size(), 4u);
}

TEST(ProgramFileCommands, HostileFilesAreRefusedWithWhatWasFound) {
    Fixture f;
    f.model.typeText("G01 X1");
    f.ui.yesNoCancelAnswers.assign(64, YesNoCancel::No);  // the typed text may be dropped unasked
    const fs::path fifo = f.dir / "pipe.nc";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    writeBytes(f.path("nul.nc"), std::string("G01 X1.\nG01\0X2.\n", 16));
    writeBytes(f.path("lead.nc"), "G01 X1.\n(\x83\x54\x83)\n");  // a CP932 lead byte cut off
    // Random bytes without NUL: not text in either encoding.
    std::string noise(1 << 16, 'x');
    unsigned seed = 12345;
    for (char& c : noise) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(1 + (seed >> 16) % 255);
    }
    writeBytes(f.path("noise.nc"), noise);
    const std::string big = f.path("big.nc");
    writeBytes(big, "G01");
    ASSERT_EQ(::truncate(big.c_str(), std::int64_t{3} << 30), 0);  // sparse: no disk used

    struct Case {
        std::string path, found;
    };
    const std::vector<Case> cases{{fifo.string(), "FIFO"},
                                  {"/dev/zero", "デバイス"},
                                  {f.dir.string(), "フォルダ"},
                                  {big, "大きすぎます"},
                                  {f.path("nul.nc"), "NUL バイトがあります（2 行目、12 バイト目）"},
                                  {f.path("lead.nc"), "0x83 0x29"},
                                  {f.path("noise.nc"), "UTF-8 でも Shift_JIS (CP932) でもない"}};
    for (const Case& c : cases) {
        // Both ways in: the load command's file dialog and the window's command-line file.
        f.ui.fileAnswers.push_back(c.path);
        f.controls.click("sb_textin");
        ASSERT_FALSE(f.ui.messages.empty()) << c.path;
        EXPECT_NE(f.ui.messages.back().find(c.found), std::string::npos) << f.ui.messages.back();
        f.ui.messages.clear();
        EXPECT_FALSE(f.files.loadStartupParameter({c.path}));
        ASSERT_EQ(f.ui.messages.size(), 1u) << c.path;
        EXPECT_NE(f.ui.messages.back().find(c.found), std::string::npos) << f.ui.messages.back();
        f.ui.messages.clear();
        EXPECT_EQ(f.program.Text(), "G01 X1");
    }
    EXPECT_EQ(f.strips, 0);
    EXPECT_TRUE(f.questions.asked.empty());
    // Odd but real CP932 single bytes and unassigned codes are still a program.
    writeBytes(f.path("odd.nc"), "G01 X1.\x80\xa0\xfd\r\n(\x85\x40)\r\n");
    EXPECT_TRUE(f.files.loadFile(f.path("odd.nc")));
    EXPECT_EQ(f.program.encoding(), TextEncoding::Cp932);
}

TEST(ProgramFileCommands, EditMenuClearAllFontAndStartupParameter) {
    Fixture f;
    writeBytes(f.path("start.nc"), "G90\r\nG00 Z5");
    EXPECT_TRUE(f.files.loadStartupParameter({f.path("start.nc"), "ignored"}));
    EXPECT_EQ(f.program.Text(), "G90\r\nG00 Z5");
    EXPECT_TRUE(f.questions.asked.empty());  // no stock-fit question at start-up
    f.controls.click("SelectAll1");
    f.controls.click("Copy1");
    EXPECT_EQ(f.view.clipboard, "G90\nG00 Z5");
    f.controls.click("Cut1");
    EXPECT_EQ(f.program.Text(), "");
    f.controls.click("Paste1");
    f.controls.click("Paste1");
    EXPECT_EQ(f.program.Text(), "G90\r\nG00 Z5G90\r\nG00 Z5");
    f.controls.click("N14");  // answered No
    EXPECT_EQ(f.program.count(), 3);
    f.questions.answers.push_back(true);
    f.controls.click("N14");
    EXPECT_EQ(f.questions.asked.back(), "確認|全削除しますか?");
    EXPECT_EQ(f.program.Text(), "");
    EXPECT_EQ(f.cleared, 1);
    f.controls.click("N79");
    f.controls.click("N47");
    f.controls.click("sb_henshu");
    EXPECT_EQ(f.view.shown, 3);
    f.ui.fontAnswers.push_back(FontChoice{"Noto Sans Mono CJK JP", 12, false, false});
    f.controls.click("Font1");
    EXPECT_EQ(f.view.font().family, "Noto Sans Mono CJK JP");
    EXPECT_EQ(f.ui.log.back(), "font:ＭＳ ゴシック");
}

// The window's end command over the control model, with the program-file commands guarding the text
// as the desktop program wires them.
struct GuardedShell {
    fs::path dir;
    ControlSet controls;
    ScriptedUiServices ui;
    TQuonStrings program;
    EditModel model{program};
    HeadlessEditorView view{model};
    RecordingQuestions questions;
    ProgramFileCommands files{controls, ui, program, view, &questions};
    std::unique_ptr<AppState> state = std::make_unique<AppState>();
    InlineMainThread mt;
    Application app{*state, controls, ui, mt};
    int closes = 0;
    GuardedShell() {
        dir = fs::temp_directory_path() /
              ("vantrel_guard_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        app.createControls();
        files.bindControls();
        app.hooks.saveSettings = [this] { ++closes; };  // the last step of a completed close
        guardCloseWithUnsavedProgram(app, files);
    }
    ~GuardedShell() { fs::remove_all(dir); }
    std::string path(const char* name) const { return (dir / name).string(); }
    // "終了" answered Yes, then the given answer to the save question (when one comes).
    void end(std::optional<YesNoCancel> save) {
        ui.yesNoAnswers = {true};
        if (save) ui.yesNoCancelAnswers = {*save};
        controls.click("Exit1");
    }
    size_t saveQuestions() const {
        return std::count(ui.log.begin(), ui.log.end(), "ask3:" + std::string(kMsgSaveChanges));
    }
};

TEST(UnsavedProgramGuard, EndAsksOnlyWhenTheTextDiffersFromTheFile) {
    GuardedShell g;
    writeBytes(g.path("a.nc"), "O0001\nM30\n");
    ASSERT_TRUE(g.files.loadStartupParameter({g.path("a.nc")}));
    EXPECT_FALSE(g.files.programEdited());
    EXPECT_EQ(g.files.currentFile(), g.path("a.nc"));
    // Typing and undoing back to the file's text is no edit.
    g.model.typeText("G90");
    EXPECT_TRUE(g.files.programEdited());
    g.model.undo();
    EXPECT_FALSE(g.files.programEdited());
    g.end(std::nullopt);
    EXPECT_EQ(g.closes, 1);
    EXPECT_EQ(g.saveQuestions(), 0u);
    EXPECT_EQ(g.ui.log.back(), "ask:終了しますか?");
}

TEST(UnsavedProgramGuard, EndWithAnEditedProgram) {
    GuardedShell g;
    g.model.typeText("G01 X5");  // a new program, never saved
    // "終了しますか?" answered No: nothing else is asked.
    g.ui.yesNoAnswers = {false};
    g.controls.click("sb_end");
    EXPECT_EQ(g.saveQuestions(), 0u);
    EXPECT_EQ(g.closes, 0);
    // Cancel: still open, the text as it was, nothing written.
    g.end(YesNoCancel::Cancel);
    EXPECT_EQ(g.saveQuestions(), 1u);
    EXPECT_EQ(g.closes, 0);
    EXPECT_EQ(g.program.Text(), "G01 X5");
    EXPECT_TRUE(g.files.programEdited());
    // Yes, then the save dialog cancelled: the close is off as well.
    g.end(YesNoCancel::Yes);
    EXPECT_EQ(g.ui.log.back(), "save:保存");
    EXPECT_EQ(g.closes, 0);
    // Yes, then a save that fails (no such folder): told, and still open.
    g.ui.fileAnswers.push_back(g.path("nodir/p.txt"));
    g.end(YesNoCancel::Yes);
    EXPECT_EQ(g.closes, 0);
    EXPECT_EQ(g.ui.messages.size(), 1u);
    EXPECT_TRUE(g.files.programEdited());
    // Yes with a name: saved, then closed.
    g.ui.fileAnswers.push_back(g.path("p"));
    g.end(YesNoCancel::Yes);
    EXPECT_EQ(g.closes, 1);
    EXPECT_EQ(readBytes(g.dir / "p.txt"), "G01 X5");
    EXPECT_FALSE(g.files.programEdited());
    EXPECT_EQ(g.files.currentFile(), g.path("p.txt"));
}

TEST(UnsavedProgramGuard, EndWithNoDiscardsWithoutWriting) {
    GuardedShell g;
    writeBytes(g.path("a.nc"), "O0001\r\nM30");
    ASSERT_TRUE(g.files.loadFile(g.path("a.nc")));
    g.model.typeText("N1");
    g.end(YesNoCancel::No);
    EXPECT_EQ(g.closes, 1);
    EXPECT_EQ(readBytes(g.dir / "a.nc"), "O0001\r\nM30");
    EXPECT_EQ(std::count_if(g.ui.log.begin(), g.ui.log.end(),
                            [](const std::string& l) { return l.rfind("save:", 0) == 0; }),
              0);
}

TEST(UnsavedProgramGuard, ReadingAnotherFile) {
    GuardedShell g;
    writeBytes(g.path("a.nc"), "O0001\nM30\n");
    writeBytes(g.path("b.nc"), "O0002\nM30\n");
    ASSERT_TRUE(g.files.loadFile(g.path("a.nc")));
    g.model.typeText("G91");
    const std::string edited = g.program.Text();
    // Cancel: no file dialog, the edited text stays.
    g.ui.yesNoCancelAnswers = {YesNoCancel::Cancel};
    g.ui.fileAnswers = {g.path("b.nc")};
    g.controls.click("N2");
    EXPECT_EQ(g.ui.log.back(), "ask3:" + std::string(kMsgSaveChanges));
    EXPECT_EQ(g.program.Text(), edited);
    // No: the other file replaces the text; the first file is not written.
    g.ui.yesNoCancelAnswers = {YesNoCancel::No};
    g.controls.click("sb_textin");
    EXPECT_EQ(g.program.Text(), "O0002\r\nM30\r\n");
    EXPECT_EQ(readBytes(g.dir / "a.nc"), "O0001\nM30\n");
    EXPECT_FALSE(g.files.programEdited());
    // Yes: the save dialog offers the file last read (b.nc); the edit is written there after the
    // overwrite question, then the chosen file is read.
    g.model.typeText("G90");
    g.ui.yesNoCancelAnswers = {YesNoCancel::Yes};
    g.questions.answers = {true};  // overwrite b.nc
    g.ui.fileAnswers = {g.path("b.nc"), g.path("a.nc")};
    g.controls.click("N2");
    EXPECT_EQ(g.ui.suggestedNames.back(), g.path("b.nc"));
    EXPECT_EQ(readBytes(g.dir / "b.nc"), "G90O0002\r\nM30\r\n");
    EXPECT_EQ(g.program.Text(), "O0001\r\nM30\r\n");
    EXPECT_EQ(g.files.currentFile(), g.path("a.nc"));
    // While a play reads the text, "読み込み" is refused before anything is asked.
    g.model.typeText("X");
    g.model.setReadOnly(true);
    const size_t asked = g.saveQuestions();
    g.controls.click("N2");
    EXPECT_EQ(g.saveQuestions(), asked);
    EXPECT_EQ(g.ui.messages.back(), kMsgBusyPlaying);
}

}  // namespace
}  // namespace vantrel
