// The paths a user takes through the main window, on the desktop program as it is put together:
// changing the view by its buttons, the lathe panel from the tool bar, the machined stock after a play,
// the holder standard, and renumbering a tool from the tool list's own menu.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest/QtTest>
#include <fstream>

#include "gui/desktop.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;

namespace {

struct App {
    AppState state;
    TQuonStrings program;
    ScriptedUiServices ui;
    QtMainThread mt;
    std::unique_ptr<Desktop> d;

    bool open(const std::string& sample = "pocket.nc") {
        d = std::make_unique<Desktop>(state, program, ui, mt);
        d->start({}, nullptr, {std::string(VANTREL_SOURCE_DIR) + "/samples/" + sample});
        d->window().resize(1000, 700);
        d->window().show();
        return QTest::qWaitForWindowExposed(&d->window());
    }
    ~App() {
        if (d) {
            PlaybackController& pc = d->playback().session().controller();
            if (pc.running()) d->controls().click("sb_playend");
            if (!QTest::qWaitFor([&] { return !pc.running(); }, 20000)) qWarning("the play did not stop");
            pc.join();
        }
        d.reset();
    }
    QWidget* widget(const char* name) { return d->window().widget(name); }
    std::vector<uint32_t> picture() {
        const Image32& img = d->scene().composer().window();
        return std::vector<uint32_t>(img.data(), img.data() + size_t(img.width()) * img.height());
    }
    void rightPress(const char* name) {
        QTest::mousePress(widget(name), Qt::RightButton);
        QTest::mouseRelease(widget(name), Qt::RightButton);
    }
};

}  // namespace

class MainPathsTest : public QObject {
    Q_OBJECT
  private slots:
    void eachViewButtonChangesThePicture();
    void lathePanelFromTheToolBarTicksRadiusProgramming();
    void machinedStockShownAfterAPlay();
    void holderStandardChangesHolderAndToolLength();
    void renumberAToolFromThePopup();
};

void MainPathsTest::eachViewButtonChangesThePicture() {
    App a;
    QVERIFY(a.open());
    // The plane views and "画面にあわせる": each shows the work differently.
    std::vector<std::vector<uint32_t>> seen{a.picture()};
    for (const char* b : {"sb_xy", "sb_xz", "sb_yz", "sb_zai_fitscreen"}) {
        QTest::mouseClick(a.widget(b), Qt::LeftButton);
        QCoreApplication::processEvents();
        const auto now = a.picture();
        for (const auto& earlier : seen) QVERIFY2(now != earlier, b);
        seen.push_back(now);
    }
    // The five drag modes: the button chooses what a right drag over the scene does.
    QWidget* scene = a.widget("PaintBox1");
    for (const char* b : {"sb_view1", "sb_view2", "sb_view3", "sb_view4", "sb_view5"}) {
        QTest::mouseClick(a.widget(b), Qt::LeftButton);
        QVERIFY(a.d->controls().checked(b));
        const auto before = a.picture();
        const QPoint from(scene->width() / 2, scene->height() / 2);
        // The pointer comes over the scene first, as a hand on the mouse brings it.
        QMouseEvent hover(QEvent::MouseMove, QPointF(from), scene->mapToGlobal(QPointF(from)), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(scene, &hover);
        QTest::mousePress(scene, Qt::RightButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(25, 15)), scene->mapToGlobal(QPointF(from)),
                         Qt::NoButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(scene, &move);
        QTest::mouseRelease(scene, Qt::RightButton, {}, from + QPoint(25, 15));
        QCoreApplication::processEvents();
        QVERIFY2(a.picture() != before, b);
    }
    // Parallel projection from the view menu.
    const auto before = a.picture();
    a.d->window().action("menu_heikou")->trigger();
    QVERIFY(a.d->window().action("menu_heikou")->isChecked());
    QVERIFY(a.picture() != before);
}

void MainPathsTest::lathePanelFromTheToolBarTicksRadiusProgramming() {
    App a;
    QVERIFY(a.open("turning.nc"));
    QTest::mouseClick(a.widget("sb_kikai1"), Qt::LeftButton);
    QCOMPARE(a.state.machineKind, MachineKind::Lathe);
    QCOMPARE(int(a.state.machine.diameterDivisor), 2);
    QVERIFY(!a.widget("panel_kikai_s")->isVisible());
    a.rightPress("sb_kikai1");
    QVERIFY(a.widget("panel_kikai_s")->isVisible());
    QCOMPARE(a.d->controls().get("panel_kikai_s").height, 177);
    auto* box = qobject_cast<QCheckBox*>(a.widget("checkbox_hankei"));
    QVERIFY(box && box->isVisible() && !box->isChecked());
    // The whole box lies inside the opened panel.
    const QRect inPanel(box->mapTo(a.widget("panel_kikai_s"), QPoint(0, 0)), box->size());
    QVERIFY(a.widget("panel_kikai_s")->rect().contains(inPanel));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2));
    QVERIFY(box->isChecked());
    QVERIFY(a.d->window().action("menu_kikai_hankei")->isChecked());
    QCOMPARE(int(a.state.machine.diameterDivisor), 1);
    // Its "×" closes it again.
    QTest::mouseClick(a.widget("panel_kikai_s_close"), Qt::LeftButton);
    QVERIFY(!a.widget("panel_kikai_s")->isVisible());
}

void MainPathsTest::machinedStockShownAfterAPlay() {
    App a;
    QVERIFY(a.open("pocket.nc"));
    QTest::mouseClick(a.widget("sb_playfast"), Qt::LeftButton);
    PlaybackController& pc = a.d->playback().session().controller();
    QVERIFY(QTest::qWaitFor([&] { return !pc.running(); }, 60000));
    pc.join();
    QCoreApplication::processEvents();
    // A master repaint shows the stock's nominal shape; the button draws what the play cut.
    a.d->app().requestRepaint();
    const auto nominal = a.picture();
    QTest::mouseClick(a.widget("sb_zai_repaint"), Qt::LeftButton);
    QCoreApplication::processEvents();
    QVERIFY(a.picture() != nominal);
    QCOMPARE(a.d->window().windowTitle(), QString("Vantrel 3.71"));
    // On an untouched stock the machined state is the nominal shape's surface: after a reset of the
    // stock the button draws something else again.
    const auto machined = a.picture();
    a.ui.yesNoAnswers.push_back(true);
    QTest::mouseClick(a.widget("sb_zai_mas_reset"), Qt::LeftButton);
    QTest::mouseClick(a.widget("sb_zai_repaint"), Qt::LeftButton);
    QVERIFY(a.picture() != machined);
}

void MainPathsTest::holderStandardChangesHolderAndToolLength() {
    App a;
    QVERIFY(a.open());
    AppState& s = a.state;
    const double holder40 = s.tools.holderBaseLength;
    const float total40 = s.tools.profile.totalLength;
    const auto picture40 = a.picture();
    auto* combo = qobject_cast<QComboBox*>(a.widget("combo_holder"));
    QVERIFY(combo);
    combo->setCurrentIndex(3);  // BT50
    emit combo->activated(3);
    QCoreApplication::processEvents();
    QCOMPARE(s.machine.holderStandard, 3);
    QVERIFY(a.d->window().action("menu_bt50")->isChecked());
    QVERIFY(!a.d->window().action("menu_bt40")->isChecked());
    QVERIFY(s.tools.holderBaseLength != holder40);
    QVERIFY(s.tools.profile.totalLength != total40);
    QVERIFY(a.picture() != picture40);
    // "なし" from the menu: no holder drawn at all.
    a.d->window().action("menu_bt0")->trigger();
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(a.d->scene().composer().holder().current.top, 0.0f);
    QVERIFY(a.picture() != picture40);
}

void MainPathsTest::renumberAToolFromThePopup() {
    App a;
    QVERIFY(a.open());
    auto* list = qobject_cast<QComboBox*>(a.widget("ComboBox1"));
    QVERIFY(list);
    QMenu* popup = a.d->window().popupMenu("ComboBox1");
    QVERIFY(popup);
    QStringList captions;
    for (QAction* act : popup->actions()) captions << act->text();
    QCOMPARE(captions, QStringList({"追加", "削除", "番号変更", "色", "初期化"}));
    // The list opens its menu on a right click.
    QVERIFY(list->contextMenuPolicy() == Qt::CustomContextMenu);
    a.ui.keypadAnswers.push_back(5);
    a.d->window().action("menu_t_new")->trigger();
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->itemText(1), QString("5"));
    list->setCurrentIndex(1);
    emit list->activated(1);
    a.ui.keypadAnswers.push_back(12);
    a.d->window().action("menu_t_change")->trigger();
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->itemText(1), QString("12"));
    QCOMPARE(list->currentIndex(), 1);
}

QTEST_MAIN(MainPathsTest)
#include "main_paths_qtest.moc"
