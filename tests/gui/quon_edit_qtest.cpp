// The editor control and window on the offscreen platform, driven with key, input-method and mouse
// events, with files saved and loaded through the main window's program-file commands.
#include <QAction>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QMenu>
#include <QScrollBar>
#include <QtTest/QtTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/main_window_controls.h"
#include "app/program_file_commands.h"
#include "core/control_set.h"
#include "file_bytes.h"
#include "gui/memo_form.h"
#include "gui/program_editor.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;
namespace fs = std::filesystem;

class QuonEditTest : public QObject {
    Q_OBJECT
  private slots:
    void windowAndPopup();
    void typeUndoPasteSaveLoad();
    void cp932FileStaysCp932();
    void readOnlyWhilePlaying();
    void mouseSelectionAndWrappedRows();
    void largeProgramTimings();
    void wiredIntoTheMainWindow();
};

namespace {

using vantrel::testing::readBytes;
using vantrel::testing::writeBytes;

void commitJapanese(QWidget* w, const QString& preedit, const QString& commit) {
    QInputMethodEvent compose(preedit, {});
    QCoreApplication::sendEvent(w, &compose);
    QInputMethodEvent done;
    done.setCommitString(commit);
    QCoreApplication::sendEvent(w, &done);
}

struct Setup {
    TQuonStrings program;
    Tmemoform form{program};
    MemoFormView view{form};
    ControlSet controls;
    ScriptedUiServices ui;
    ProgramFileCommands files{controls, ui, program, view};
    fs::path dir;
    Setup() {
        dir = fs::temp_directory_path() /
              ("vantrel_quon_" + std::to_string(QCoreApplication::applicationPid()));
        fs::create_directories(dir);
        addMainWindowControls(controls);
        files.bindControls();
        view.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }
    ~Setup() { fs::remove_all(dir); }
    TQuonEdit* edit() { return form.QuonEdit1(); }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

void QuonEditTest::windowAndPopup() {
    Setup s;
    QCOMPARE(s.form.windowTitle(), QString("編集"));
    QCOMPARE(s.form.size(), QSize(400, 300));
    QVERIFY(s.form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(s.edit()->geometry(), s.form.rect());  // the control fills the window
    s.form.resize(500, 350);
    QCOMPARE(s.edit()->size(), QSize(500, 350));
    QStringList items;
    for (QAction* a : s.edit()->popupMenu()->actions()) items << a->text();
    QCOMPARE(items, QStringList({"切り取り", "コピー", "貼り付け", "削除", "全削除", "すべて選択", "フォント",
                                 "行番号表示"}));
    // "全削除" asks first; "行番号表示" toggles the line numbers.
    QTest::keyClicks(s.edit(), "G90");
    std::vector<std::string> asked;
    s.edit()->askYesNo = [&](const std::string& text, const std::string& caption) {
        asked.push_back(caption + "|" + text);
        return asked.size() > 1;
    };
    s.edit()->popupMenu()->actions()[4]->trigger();
    QCOMPARE(s.program.Text(), std::string("G90"));
    s.edit()->popupMenu()->actions()[4]->trigger();
    QCOMPARE(s.program.Text(), std::string());
    QCOMPARE(asked.front(), std::string("確認|全削除しますか?"));
    s.edit()->popupMenu()->actions()[7]->trigger();
    QVERIFY(s.edit()->showLineNumber());
    // VANTREL_EDITOR_SHOT=FILE keeps a picture of the control for a person to look at.
    if (qEnvironmentVariableIsSet("VANTREL_EDITOR_SHOT")) {
        s.program.SetText("O0001\n(荒加工 ｶﾀｶﾅ http://example.com/x 全角ＡＢＣ)\nG00\tX0 Y0\n" +
                          std::string(90, 'X') + "\nM30");
        s.edit()->refresh();
        s.edit()->model().select({2, 1}, {2, 3});
        QInputMethodEvent compose("へんかん", {});
        QCoreApplication::sendEvent(s.edit(), &compose);
        s.form.grab().save(qEnvironmentVariable("VANTREL_EDITOR_SHOT"));
    }
}

void QuonEditTest::typeUndoPasteSaveLoad() {
    Setup s;
    TQuonEdit* e = s.edit();
    QTest::keyClicks(e, "O0001");
    QTest::keyClick(e, Qt::Key_Return);
    QTest::keyClicks(e, "G00 X0 ");
    commitJapanese(e, "げんてん", "(原点)");
    QCOMPARE(e->preeditText(), QString());
    QTest::keyClick(e, Qt::Key_Return);
    QTest::keyClicks(e, "M3O");
    QCOMPARE(s.program.Text(), std::string("O0001\r\nG00 X0 (原点)\r\nM3O"));
    // The preedit shows while composing and is not part of the text.
    QInputMethodEvent compose("かこう", {});
    QCoreApplication::sendEvent(e, &compose);
    QCOMPARE(e->preeditText(), QString("かこう"));
    QCOMPARE(s.program.Text(), std::string("O0001\r\nG00 X0 (原点)\r\nM3O"));
    QInputMethodEvent cancel("", {});
    QCoreApplication::sendEvent(e, &cancel);
    // Reconversion: the input method replaces the two characters before the caret on line 1.
    QTest::keyClick(e, Qt::Key_Up);
    QTest::keyClick(e, Qt::Key_End);
    QTest::keyClick(e, Qt::Key_Left);
    QCOMPARE(e->inputMethodQuery(Qt::ImCursorPosition).toInt(), 10);
    QSignalSpy reconv(e, &TQuonEdit::reconversionRequested);
    QTest::keyClick(e, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(e, Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(e->inputMethodQuery(Qt::ImCurrentSelection).toString(), QString("原点"));
    QKeyEvent henkan(QEvent::KeyPress, Qt::Key_Henkan, Qt::NoModifier);
    QCoreApplication::sendEvent(e, &henkan);
    QCOMPARE(reconv.count(), 1);
    QCOMPARE(reconv.front().front().toString(), QString("原点"));
    QTest::keyClick(e, Qt::Key_Escape);
    QTest::keyClick(e, Qt::Key_Right);
    QTest::keyClick(e, Qt::Key_Right);
    QInputMethodEvent replace;
    replace.setCommitString("減点", -2, 2);
    QCoreApplication::sendEvent(e, &replace);
    QCOMPARE(std::string(s.program.lineText(1)), std::string("G00 X0 (減点)"));
    QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(std::string(s.program.lineText(1)), std::string("G00 X0 (原点)"));
    QTest::keyClick(e, Qt::Key_End, Qt::ControlModifier);
    // The input method reads the caret's line and position.
    QCOMPARE(e->inputMethodQuery(Qt::ImSurroundingText).toString(), QString("M3O"));
    QCOMPARE(e->inputMethodQuery(Qt::ImCursorPosition).toInt(), 3);
    QVERIFY(e->inputMethodQuery(Qt::ImEnabled).toBool());
    // Undo the mistyped line, type it right, then Ctrl+Left/Backspace by words.
    QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(s.program.Text(), std::string("O0001\r\nG00 X0 (原点)\r\n"));
    QTest::keyClicks(e, "M30");
    QTest::keyClick(e, Qt::Key_Return);
    // Paste LF-separated text from another application.
    QGuiApplication::clipboard()->setText("N10 G01 Z-1.\nN20 X50.\n");
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(s.program.count(), 6);
    QCOMPARE(std::string(s.program.lineText(3)), std::string("N10 G01 Z-1."));
    QCOMPARE(s.program.Get(4), std::string("N20 X50.\r\n"));
    // Copy gives the platform's line breaks.
    QTest::keyClick(e, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(e, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(e, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("N10 G01 Z-1.\nN20 X50.\n"));
    QTest::keyClick(e, Qt::Key_Escape);
    // A tab is text, not a focus move.
    QTest::keyClick(e, Qt::Key_Tab);
    QCOMPARE(std::string(s.program.lineText(3)), std::string("\tN10 G01 Z-1."));
    QTest::keyClick(e, Qt::Key_Backspace);

    // Save under a new name: ".txt" appended, CR LF breaks, UTF-8 stays UTF-8.
    s.ui.fileAnswers.push_back((s.dir / "prog").string());
    s.controls.click("Save1");
    const std::string expected = "O0001\r\nG00 X0 (原点)\r\nM30\r\nN10 G01 Z-1.\r\nN20 X50.\r\n";
    QCOMPARE(QString::fromStdString(readBytes(s.dir / "prog.txt")), QString::fromStdString(expected));
    // Load it back: the editor shows the file from the top, undo history gone.
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Delete);
    QCOMPARE(s.program.Text(), std::string());
    s.ui.yesNoCancelAnswers.push_back(YesNoCancel::No);  // the emptied text may go
    s.ui.fileAnswers.push_back((s.dir / "prog.txt").string());
    s.controls.click("sb_textin");
    QCOMPARE(s.program.Text(), std::string("O0001\r\nG00 X0 (原点)\r\nM30\r\nN10 G01 Z-1.\r\nN20 X50.\r\n"));
    QCOMPARE(s.ui.log.back(), std::string("ask:読み込んだデータに材料を合わせますか？"));
    QVERIFY(!e->model().canUndo());
    QCOMPARE(e->model().caret(), (TextPos{0, 0}));
    // Re-saving over it asks first (answered No by the script): the file stays as it was.
    QTest::keyClicks(e, "%");
    s.ui.fileAnswers.push_back((s.dir / "prog.txt").string());
    s.controls.click("Save1");
    QCOMPARE(s.ui.log.back(), std::string("ask:同名のファイルが存在します。上書きしますか？"));
    QCOMPARE(readBytes(s.dir / "prog.txt"), expected);
}

void QuonEditTest::cp932FileStaysCp932() {
    Setup s;
    const std::string sjis = "(\x89\xC1\x8D\x48\x8A\x4A\x8E\x6E)\r\nG00 X0";  // (加工開始)
    writeBytes(s.dir / "sjis.nc", sjis);
    QVERIFY(s.files.loadFile((s.dir / "sjis.nc").string()));
    QCOMPARE(std::string(s.program.lineText(0)), std::string("(加工開始)"));
    TQuonEdit* e = s.edit();
    QTest::keyClick(e, Qt::Key_End, Qt::ControlModifier);
    commitJapanese(e, "", "（終）");
    s.ui.yesNoAnswers.push_back(true);
    QVERIFY(s.files.saveAs((s.dir / "sjis.nc").string()));
    QCOMPARE(readBytes(s.dir / "sjis.nc"), sjis + "\x81\x69\x8F\x49\x81\x6A");
}

void QuonEditTest::readOnlyWhilePlaying() {
    Setup s;
    TQuonEdit* e = s.edit();
    QTest::keyClicks(e, "G01 X1");
    QTest::keyClick(e, Qt::Key_Return);
    QTest::keyClicks(e, "M30");
    e->setReadOnly(true);
    QTest::keyClicks(e, "ABC");
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClick(e, Qt::Key_Return);
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
    commitJapanese(e, "あ", "亜");
    QCOMPARE(s.program.Text(), std::string("G01 X1\r\nM30"));
    // The interpreter writes a warning into the text during the play; it shows after the play.
    s.program.Insert(1, "(ALARM: X OUT OF RANGE)\r\n");
    e->setReadOnly(false);
    QCOMPARE(e->model().rowCount(), 3);
    QTest::keyClick(e, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(std::string(s.program.lineText(e->model().row(1).line)), std::string("(ALARM: X OUT OF RANGE)"));
    QTest::keyClicks(e, "!");
    QCOMPARE(s.program.Text(), std::string("G01 X1\r\n(ALARM: X OUT OF RANGE)\r\nM30!"));
}

void QuonEditTest::mouseSelectionAndWrappedRows() {
    Setup s;
    TQuonEdit* e = s.edit();
    s.program.SetText(std::string(100, 'A') + "\nG01 X10. Y20.\n");
    e->refresh();
    QCOMPARE(e->model().rowCount(), 4);  // 100 characters wrap once at column 72
    const int left = e->LeftMargin, top = e->TopMargin, cw = e->charWidth(), rh = e->rowHeight();
    // Row 2 is "G01 X10. Y20.": drag from column 4 to column 8 selects "X10.".
    const QPoint from(left + 4 * cw + 1, top + 2 * rh + rh / 2), to(left + 8 * cw + 1, top + 2 * rh + rh / 2);
    QTest::mousePress(e->viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, e->viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(e->viewport(), &move);
    QTest::mouseRelease(e->viewport(), Qt::LeftButton, {}, to);
    QCOMPARE(e->model().selectedText(), std::string("X10."));
    // Double click picks the word under the pointer.
    QTest::mouseDClick(e->viewport(), Qt::LeftButton, {}, QPoint(left + 10 * cw + 1, top + 2 * rh + 2));
    QCOMPARE(e->model().selectedText(), std::string("Y20"));
    // Dragging below the text area moves the caret a row per 40 ms tick.
    QTest::mousePress(e->viewport(), Qt::LeftButton, {}, QPoint(left + 1, top + 1));
    const QPoint below(left + 1, e->viewport()->height() + 20);
    QMouseEvent out(QEvent::MouseMove, below, e->viewport()->mapToGlobal(below), Qt::NoButton, Qt::LeftButton,
                    {});
    QCoreApplication::sendEvent(e->viewport(), &out);
    QTRY_VERIFY_WITH_TIMEOUT(e->model().caret().line >= 2, 2000);
    QTest::mouseRelease(e->viewport(), Qt::LeftButton, {}, below);
    QVERIFY(e->model().hasSelection());
    // Keys bring a caret beyond the right edge into view.
    QTest::keyClick(e, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 71; ++i) QTest::keyClick(e, Qt::Key_Right);
    QVERIFY(e->caretRect().right() < e->viewport()->width());
    QVERIFY(e->caretRect().left() > 0);
    QTest::keyClick(e, Qt::Key_Home);
    QCOMPARE(e->caretRect().left(), e->LeftMargin);
}

void QuonEditTest::largeProgramTimings() {
    Setup s;
    TQuonEdit* e = s.edit();
    // 500,000 lines, about 12 MB, with comments every tenth line.
    std::string text;
    text.reserve(13'000'000);
    for (int i = 0; i < 500'000; ++i) {
        if (i % 10 == 0) {
            text.append("(N").append(std::to_string(i)).append(" 荒加工 ツール交換)\r\n");
        } else {
            text.append("N").append(std::to_string(i)).append(" G01 X").append(std::to_string(i % 997));
            text.append(".5 Y-12.25 F300\r\n");
        }
    }
    writeBytes(s.dir / "big.nc", text);
    std::vector<double> loads;
    for (int r = 0; r < 3; ++r) {
        QElapsedTimer t;
        t.start();
        QVERIFY(s.files.loadFile((s.dir / "big.nc").string()));
        e->viewport()->repaint();
        loads.push_back(t.nsecsElapsed() / 1e6);
    }
    QCOMPARE(s.program.count(), 500'001);
    QTest::keyClick(e, Qt::Key_End, Qt::ControlModifier);
    std::vector<double> keys;
    for (int r = 0; r < 21; ++r) {
        QElapsedTimer t;
        t.start();
        QTest::keyClick(e, Qt::Key_A);
        e->viewport()->repaint();
        keys.push_back(t.nsecsElapsed() / 1e6);
    }
    QCOMPARE(std::string(s.program.lineText(500'000)), std::string(21, 'a'));
    QTest::keyClick(e, Qt::Key_Home, Qt::ControlModifier);
    std::vector<double> pages;
    for (int r = 0; r < 21; ++r) {
        QElapsedTimer t;
        t.start();
        QTest::keyClick(e, Qt::Key_PageDown);
        e->viewport()->repaint();
        pages.push_back(t.nsecsElapsed() / 1e6);
    }
    QCOMPARE(e->model().topRow(), 21 * e->visibleRows());
    qInfo("editor medians: load+paint %.1f ms, keystroke+repaint %.3f ms, page+repaint %.3f ms",
          median(loads), median(keys), median(pages));
    // Generous bounds so a loaded machine does not fail the suite; the medians above are what counts.
    QVERIFY(median(loads) < 3000);
    QVERIFY(median(keys) < 50);
    QVERIFY(median(pages) < 50);
}

void QuonEditTest::wiredIntoTheMainWindow() {
    auto state = std::make_unique<AppState>();  // large: kept off the stack
    ControlSet controls;
    ScriptedUiServices ui;
    InlineMainThread mt;
    Application app(*state, controls, ui, mt);
    app.createControls();
    MainWindow window(app);
    app.startUp();
    TQuonStrings program;
    ProgramEditor editor(window, app, program);
    QCOMPARE(window.editorWindow(), static_cast<QWidget*>(&editor.form()));
    window.show();
    QVERIFY(!editor.form().isVisible());
    controls.click("sb_henshu");
    QVERIFY(editor.form().isVisible());
    // The first parameter is loaded; the screenshot option is not a parameter.
    const fs::path file = fs::temp_directory_path() / "vantrel_quon_start.nc";
    writeBytes(file, "O0002\nM30\n");
    const auto args =
        programArguments({"vantrel", "--screenshot", "x.png", QString::fromStdString(file.string())});
    QCOMPARE(args.size(), size_t(1));
    QVERIFY(editor.files().loadStartupParameter(args));
    fs::remove(file);
    QCOMPARE(program.Text(), std::string("O0002\r\nM30\r\n"));
    // The Edit menu and the popup share the main window's font dialog.
    ui.fontAnswers.push_back(FontChoice{"DejaVu Sans Mono", 14, false, false});
    controls.click("Font1");
    QCOMPARE(editor.edit().editorFont().family(), QString("DejaVu Sans Mono"));
    editor.edit().popupMenu()->actions()[6]->trigger();
    QCOMPARE(ui.log.back(), std::string("font:DejaVu Sans Mono"));
    // Playing: typing changes nothing.
    editor.setPlaying(true);
    QTest::keyClicks(&editor.edit(), "X");
    QCOMPARE(program.Text(), std::string("O0002\r\nM30\r\n"));
    editor.setPlaying(false);
    QTest::keyClicks(&editor.edit(), "X");
    QCOMPARE(program.Text(), std::string("XO0002\r\nM30\r\n"));

    // "工具ファイル（tgs）": 保存 then 読み込み through the menu's actions.
    const fs::path tools = fs::temp_directory_path() / "vantrel_quon_tools";
    fs::remove(tools.string() + ".tgs");
    state->tools.millTools.push_back(state->tools.millTools[0]);
    state->tools.millTools.back().number = 12;
    ui.fileAnswers.push_back(tools.string());
    window.action("Save2")->trigger();
    QCOMPARE(fs::file_size(tools.string() + ".tgs"), uintmax_t(4 + 2 * 106 + 4 + 106 + 106));
    state->tools.millTools.resize(1);
    ui.fileAnswers.push_back(tools.string() + ".tgs");
    window.action("N3")->trigger();
    fs::remove(tools.string() + ".tgs");
    QCOMPARE(state->tools.millTools.size(), size_t(2));
    QCOMPARE(controls.items("ComboBox1"), (std::vector<std::string>{"-", "12"}));
}

QTEST_MAIN(QuonEditTest)
#include "quon_edit_qtest.moc"
