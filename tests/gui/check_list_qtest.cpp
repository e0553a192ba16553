// The interference checks in the real main window (offscreen): a play from the play button of a
// program with a rapid into the stock lists the finding in the check window, and a double click on it
// puts the editor's caret on the finding's line.
#include <QListWidget>
#include <QtTest/QtTest>

#include "gui/check_list.h"
#include "gui/program_editor.h"
#include "window_harness.h"

using namespace vantrel;

class CheckListTest : public QObject {
    Q_OBJECT
  private slots:
    void rapidIntoTheStockIsListedAndDoubleClickShowsTheLine();
    void switchedOffTheListStaysEmpty();
};

namespace {
// Line 4 (0-based 3) runs a rapid through the top 3 mm of the 100 mm block.
const char* kProgram = "O0001\nG90 G00 X-20. Y50. Z5.\nG00 Z-3.\nG00 X120.\nG00 Z5.\nM30\n";
}  // namespace

void CheckListTest::rapidIntoTheStockIsListedAndDoubleClickShowsTheLine() {
    testing::WindowHarness h;
    QVERIFY(h.open());
    h.program.SetText(kProgram);
    ProgramEditor editor(*h.window, h.app, h.program);
    GuiCheckList checks(*h.window, h.controls, h.playback->session().checks());
    checks.attachEditor(editor.edit());
    QVERIFY(h.controls.checked(kCheckMenuItem));  // on at start-up
    editor.edit().model().setCaret(TextPos{0, 0});

    QVERIFY(h.playToTheEnd());
    QTRY_COMPARE_WITH_TIMEOUT(checks.list()->count(), 1, 5000);
    QVERIFY(checks.window()->isVisible());
    QListWidgetItem* item = checks.list()->item(0);
    QVERIFY(item->text().startsWith(QString::fromUtf8("早送りで切削  行 4")));

    QVERIFY(QTest::qWaitForWindowExposed(checks.window()));
    const QRect r = checks.list()->visualItemRect(item);
    QTest::mouseClick(checks.list()->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    QTest::mouseDClick(checks.list()->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    QCOMPARE(h.controls.get(kCheckList).itemIndex, 0);
    QCOMPARE(editor.edit().model().caret().line, 3);
}

void CheckListTest::switchedOffTheListStaysEmpty() {
    testing::WindowHarness h;
    QVERIFY(h.open());
    h.program.SetText(kProgram);
    GuiCheckList checks(*h.window, h.controls, h.playback->session().checks());
    // The Play menu's item as the user picks it.
    QAction* item = h.window->action(kCheckMenuItem);
    QVERIFY(item);
    item->trigger();
    QVERIFY(!h.controls.checked(kCheckMenuItem));
    QVERIFY(h.playToTheEnd());
    QCoreApplication::processEvents();
    QCOMPARE(checks.list()->count(), 0);
    QVERIFY(h.playback->session().checks().findings().empty());
}

QTEST_MAIN(CheckListTest)
#include "check_list_qtest.moc"
