// The keypad dialog opened from a value label in the real main window (offscreen).
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QtTest>

#include "app/application.h"
#include "gui/main_window.h"
#include "gui/tinput.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;

namespace {

// Scripted messages and questions, but the real keypad dialog.
class KeypadUi : public ScriptedUiServices {
  public:
    KeypadMemory memory;
    std::optional<double> keypad(double initial) override { return Tinput::ask(initial, memory, nullptr); }
};

// Presses the keypad's buttons by caption once the dialog is up.
void pressLater(const QStringList& keys) {
    QTimer::singleShot(50, [keys] {
        auto* dlg = qobject_cast<Tinput*>(QApplication::activeModalWidget());
        if (!dlg) {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* t = qobject_cast<Tinput*>(w); t && t->isVisible()) dlg = t;
        }
        QVERIFY(dlg);
        QCOMPARE(dlg->windowTitle(), QString("数値入力"));
        for (const QString& k : keys) {
            QPushButton* hit = nullptr;
            for (QPushButton* b : dlg->findChildren<QPushButton*>())
                if (b->text() == k) hit = b;
            QVERIFY2(hit, qPrintable(k));
            hit->click();
        }
    });
}

}  // namespace

class KeypadTest : public QObject {
    Q_OBJECT
  private slots:
    void typesAValueIntoLabelX();
};

void KeypadTest::typesAValueIntoLabelX() {
    AppState state;
    ControlSet controls;
    KeypadUi ui;
    InlineMainThread mt;
    Application app(state, controls, ui, mt);
    app.createControls();
    app.bindSubsystemCommands(nullptr);
    MainWindow window(app);
    app.startUp();
    window.show();
    auto* label = qobject_cast<QLabel*>(window.widget("label_x"));
    QVERIFY(label);

    pressLater({"1", ".", "2", "5", "設定"});
    QTest::mouseClick(label, Qt::LeftButton);
    QCOMPARE(state.pos.toolPosition().x, 1.25);
    QCOMPARE(label->text(), QString("1.25000000"));

    pressLater({"1", "0", "0", "0", "0", "設定"});
    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(!ui.messages.empty());
    QCOMPARE(ui.messages.back(), std::string("-10000から+10000まで"));
    QCOMPARE(state.pos.toolPosition().x, 1.25);
    QCOMPARE(label->text(), QString("1.25000000"));
}

QTEST_MAIN(KeypadTest)
#include "keypad_qtest.moc"
