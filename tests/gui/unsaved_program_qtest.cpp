// The real main window and editor window on the offscreen platform: typing into the editor, then
// closing the window, pressing "終了" or reading another file asks before the edit is lost.
#include <QAction>
#include <QToolButton>
#include <QtTest/QtTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/application.h"
#include "file_bytes.h"
#include "gui/main_window.h"
#include "gui/program_editor.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;
namespace fs = std::filesystem;

class UnsavedProgramTest : public QObject {
    Q_OBJECT
  private slots:
    void closingTheWindow();
    void endButtonAndMenu();
    void readingAnotherFile();
};

namespace {

using vantrel::testing::readBytes;
using vantrel::testing::writeBytes;

const std::string kAsked = std::string("ask3:") + kMsgSaveChanges;

struct Desktop {
    std::unique_ptr<AppState> state = std::make_unique<AppState>();  // large: kept off the stack
    ControlSet controls;
    ScriptedUiServices ui;
    InlineMainThread mt;
    Application app{*state, controls, ui, mt};
    std::unique_ptr<MainWindow> window;
    TQuonStrings program;
    std::unique_ptr<ProgramEditor> editor;
    fs::path dir;

    Desktop() {
        dir = fs::temp_directory_path() /
              ("vantrel_unsaved_" + std::to_string(QCoreApplication::applicationPid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        app.createControls();
        window = std::make_unique<MainWindow>(app);
        app.hooks.requestClose = [this] { window->close(); };
        app.startUp();
        editor = std::make_unique<ProgramEditor>(*window, app, program);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        controls.click("sb_henshu");
    }
    ~Desktop() {
        editor.reset();
        window.reset();
        fs::remove_all(dir);
    }
    // Loads a file as the start-up parameter does, then types into the editor window.
    void loadAndType(const fs::path& file, std::string_view bytes, const char* typed) {
        writeBytes(file, bytes);
        QVERIFY(editor->files().loadStartupParameter({file.string()}));
        QTest::keyClicks(&editor->edit(), typed);
    }
    int asked() const { return static_cast<int>(std::count(ui.log.begin(), ui.log.end(), kAsked)); }
};

}  // namespace

void UnsavedProgramTest::closingTheWindow() {
    {
        // Nothing typed: only "終了しますか?".
        Desktop d;
        writeBytes(d.dir / "a.nc", "O0001\nM30\n");
        QVERIFY(d.editor->files().loadStartupParameter({(d.dir / "a.nc").string()}));
        d.ui.yesNoAnswers = {true};
        QVERIFY(d.window->close());
        QCOMPARE(d.asked(), 0);
    }
    {
        // Cancel: the window stays, the text is intact; then No: closed, the file as it was.
        Desktop d;
        d.loadAndType(d.dir / "a.nc", "O0001\nM30\n", "G90");
        d.ui.yesNoAnswers = {true};
        d.ui.yesNoCancelAnswers = {YesNoCancel::Cancel};
        QVERIFY(!d.window->close());
        QCOMPARE(d.asked(), 1);
        QVERIFY(d.window->isVisible());
        QCOMPARE(d.program.Text(), std::string("G90O0001\r\nM30\r\n"));
        QCOMPARE(d.state->window.ready, 1);  // no shutdown ran
        d.ui.yesNoAnswers = {true};
        d.ui.yesNoCancelAnswers = {YesNoCancel::No};
        QVERIFY(d.window->close());
        QCOMPARE(d.asked(), 2);
        QVERIFY(!d.window->isVisible());
        QCOMPARE(readBytes(d.dir / "a.nc"), std::string("O0001\nM30\n"));
        QVERIFY(d.ui.suggestedNames.empty());  // no save dialog
    }
    {
        // Yes: the save dialog offers the file it came from; saved there, then closed.
        Desktop d;
        d.loadAndType(d.dir / "a.nc", "O0001\nM30\n", "G90");
        d.ui.yesNoAnswers = {true, true};  // "終了しますか?", then the overwrite question
        d.ui.yesNoCancelAnswers = {YesNoCancel::Yes};
        d.ui.fileAnswers = {(d.dir / "a.nc").string()};
        QVERIFY(d.window->close());
        QCOMPARE(d.ui.suggestedNames.back(), (d.dir / "a.nc").string());
        QCOMPARE(readBytes(d.dir / "a.nc"), std::string("G90O0001\r\nM30\r\n"));
    }
}

void UnsavedProgramTest::endButtonAndMenu() {
    Desktop d;
    QTest::keyClicks(&d.editor->edit(), "G01 X1");  // a new program, never saved
    auto* end = qobject_cast<QToolButton*>(d.window->widget("sb_end"));
    QVERIFY(end);
    // "終了" button, save question cancelled: still open.
    d.ui.yesNoAnswers = {true};
    d.ui.yesNoCancelAnswers = {YesNoCancel::Cancel};
    QTest::mouseClick(end, Qt::LeftButton);
    QCOMPARE(d.asked(), 1);
    QVERIFY(d.window->isVisible());
    QCOMPARE(d.program.Text(), std::string("G01 X1"));
    // The menu's "終了", Yes with the save dialog cancelled: nothing written, still open.
    d.ui.yesNoAnswers = {true};
    d.ui.yesNoCancelAnswers = {YesNoCancel::Yes};
    d.window->action("Exit1")->trigger();
    QCOMPARE(d.asked(), 2);
    QVERIFY(d.window->isVisible());
    // Yes with a new name: ".txt" added, saved, closed.
    d.ui.yesNoAnswers = {true};
    d.ui.yesNoCancelAnswers = {YesNoCancel::Yes};
    d.ui.fileAnswers = {(d.dir / "new").string()};
    d.window->action("Exit1")->trigger();
    QVERIFY(!d.window->isVisible());
    QCOMPARE(readBytes(d.dir / "new.txt"), std::string("G01 X1"));
}

void UnsavedProgramTest::readingAnotherFile() {
    Desktop d;
    writeBytes(d.dir / "b.nc", "O0002\nM30\n");
    d.loadAndType(d.dir / "a.nc", "O0001\nM30\n", "G90");
    auto* textin = qobject_cast<QToolButton*>(d.window->widget("sb_textin"));
    QVERIFY(textin);
    // Cancel: no file dialog, the text intact.
    d.ui.yesNoCancelAnswers = {YesNoCancel::Cancel};
    d.ui.fileAnswers = {(d.dir / "b.nc").string()};
    QTest::mouseClick(textin, Qt::LeftButton);
    QCOMPARE(d.asked(), 1);
    QCOMPARE(d.ui.log.back(), kAsked);
    QCOMPARE(d.program.Text(), std::string("G90O0001\r\nM30\r\n"));
    // No: b.nc replaces the text, a.nc is untouched.
    d.ui.yesNoCancelAnswers = {YesNoCancel::No};
    QTest::mouseClick(textin, Qt::LeftButton);
    QCOMPARE(d.program.Text(), std::string("O0002\r\nM30\r\n"));
    QCOMPARE(readBytes(d.dir / "a.nc"), std::string("O0001\nM30\n"));
    // Yes through the menu's "読み込み": the edit is saved to a new file first, then a.nc is read.
    QTest::keyClicks(&d.editor->edit(), "N5");
    d.ui.yesNoCancelAnswers = {YesNoCancel::Yes};
    d.ui.fileAnswers = {(d.dir / "c.txt").string(), (d.dir / "a.nc").string()};
    d.window->action("N2")->trigger();
    QCOMPARE(readBytes(d.dir / "c.txt"), std::string("N5O0002\r\nM30\r\n"));
    QCOMPARE(d.program.Text(), std::string("O0001\r\nM30\r\n"));
    // Closing now asks nothing more than "終了しますか?".
    d.ui.yesNoAnswers = {true};
    QVERIFY(d.window->close());
    QCOMPARE(d.asked(), 3);
}

QTEST_MAIN(UnsavedProgramTest)
#include "unsaved_program_qtest.moc"
