// Walks every registered control of the main window, as the desktop program builds it, and activates
// each the way a user does: a menu item is chosen, a button or check box clicked, a combo box item
// picked, a slider or scroll bar moved, a clickable label or colour panel clicked. Controls inside a
// floating panel are reached by a right press on the panel's tool-bar button, those of the
// communication panel through "通信", those on a tab by choosing the tab. Each activation must show an
// effect somewhere a user could see it: a control's state, a stored setting or another state value, the
// scene's picture, the program text or the clipboard, a window shown, or a message or dialog asked of the
// UI services. Only the controls listed in kNoEffect with their reasons may do nothing.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest/QtTest>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "app/dnc_panel.h"
#include "app/main_window_controls.h"
#include "app/picture_commands.h"
#include "app/settings_store.h"
#include "app/window_commands.h"
#include "gui/desktop.h"
#include "gui/quon_edit.h"
#include "support/scripted_ui_services.h"
#include "stock/material_removal.h"

using namespace vantrel;

namespace {

// Controls a user can reach that, by the window's design, change nothing the test can see.
const std::map<std::string, std::string> kNoEffect = {
    {"N7", "a note under the machine reference point values; it has no command"},
    {"N36", "the round stock reset has no command in this program"},
    {"menu_gridz", "shows grid size Z in its caption only; the value has no use"},
};

// Controls that are hidden or disabled by design wherever the user looks.
const std::map<std::string, std::string> kUnreachable = {
    {"CAD2", "the CAD file menu is disabled: CAD elements are not part of this program"},
    {"N83", "a disabled heading of the machine menu"},
    {"menu_kcolor", "disabled: the interference colour is not part of this program"},
    {"sb_kou3", "the drilling wizard's button stays hidden"},
    {"mp_play", "media player buttons show once a music or video file plays"},
    {"mp_pause", "media player buttons show once a music or video file plays"},
    {"mp_stop", "media player buttons show once a music or video file plays"},
    {"TrackBar1", "the media player's position bar shows once a file plays"},
    {"ComboBox4", "the turret form in the lathe panel's lower part, below its opened height"},
    {"sb_sousin", "sending needs a connected serial line; the test machine has none"},
    {"sb_dnc", "sending needs a connected serial line; the test machine has none"},
    {"button_tuusin_reset", "needs a connected serial line; the test machine has none"},
    {"button_tuusin_stop", "stops a transfer, of which there is none without a serial line"},
};

// Exclusive choices: the one chosen is chosen again to no effect.
const std::vector<std::set<std::string>> kExclusive = {
    {"menu_kikai_T2", "menu_kikai_T3", "menu_kikai_T4"},
    {"menu_hoseir", "menu_hoseil"},
    {"menu_view1g", "menu_view1k", "menu_view1z", "menu_view1c"},
    {"RadioButton1", "RadioButton2", "RadioButton3", "RadioButton4", "menu_view1k"},
    {"menu_bt0", "menu_bt30", "menu_bt40", "menu_bt50", "menu_hsk50", "menu_hsk63", "menu_hsk100"},
    {"menu_chack4", "menu_chack5", "menu_chack6", "menu_chack8", "menu_chack10", "menu_chack12",
     "menu_chack15", "menu_chack18", "menu_chack20"},
    {"sb_view1", "sb_view2", "sb_view3", "sb_view4", "sb_view5", "menu_view1", "menu_view2", "menu_view3",
     "menu_view4", "menu_view5"},
};

const char* kProgram = "%\nO0001\nG90G54G00X10.Y10.Z5.\nG01Z-1.F500\nX40.\nY40.\nG00Z50.\nM30\n%\n";

std::string hashOf(const void* data, size_t bytes) {
    uint64_t h = 1469598103934665603ull;
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < bytes; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return std::to_string(h);
}

struct Walker {
    AppState state;
    TQuonStrings program;
    ScriptedUiServices ui;
    QtMainThread mt;
    QTemporaryDir dir;
    std::unique_ptr<Desktop> d;
    std::unique_ptr<QSignalSpy> selection;

    bool open() {
        const std::string file = dir.filePath("walk.nc").toStdString();
        std::ofstream(file) << kProgram;
        d = std::make_unique<Desktop>(state, program, ui, mt);
        d->start(dir.filePath("Vantrel.reg").toStdString(), nullptr, {file});
        d->window().resize(1000, 700);
        d->window().show();
        if (!QTest::qWaitForWindowExposed(&d->window())) return false;
        selection = std::make_unique<QSignalSpy>(&d->editor().edit(), &TQuonEdit::selectionChanged);
        return true;
    }
    ~Walker() {
        selection.reset();
        if (d) {
            PlaybackController& pc = d->playback().session().controller();
            if (pc.running()) d->controls().click("sb_playend");
            if (!QTest::qWaitFor([&] { return !pc.running(); }, 20000)) qWarning("the play did not stop");
            pc.join();
        }
        d.reset();
    }
    ControlSet& cs() { return d->controls(); }
    MainWindow& w() { return d->window(); }

    // A check box, combo box or tool-bar button always shows its own new state; a menu item's mark is
    // its whole effect where it is a switch the play reads.
    static bool ownStateIsNoEffect(ControlKind k) {
        return k == ControlKind::CheckBox || k == ControlKind::ComboBox || k == ControlKind::SpeedButton;
    }

    // Everything a user could see change, as one string. The activated control's own state is left
    // out: a check box that flips or a combo box that shows another item is no effect by itself.
    std::string fingerprint(const std::string& activated) {
        std::ostringstream o;
        for (const auto& n : cs().names()) {
            if (n == activated && ownStateIsNoEffect(cs().get(n).kind)) continue;
            const Control c = cs().get(n);
            o << n << '|' << c.caption << '|' << c.hint << '|' << c.enabled << c.visible << c.checked << '|'
              << c.itemIndex << '|' << c.items.size() << '|' << c.position << '|' << c.left << ',' << c.top
              << ',' << c.width << ',' << c.height << '|' << c.color << '\n';
        }
        o << saveSettingsToBytes(state, cs(), "");
        const ViewState& v = state.view;
        o << v.parallel << v.tempWireframe << v.openGlRequested << int(v.mouseMode) << int(v.moveLock)
          << v.magnifierPending << v.pendingScale << v.scale << v.originX << v.originY << v.viewA << v.viewB;
        o << state.stock.cuttingEnabled << state.play.noseRadiusArcJoin << state.play.ignoreM0
          << state.play.repaintAfterPlay << state.play.singleBlock << state.play.optionalStop
          << state.play.blockSkip << state.play.endless << state.play.speedStep;
        const MachineOptions& m = state.machine;
        o << int(m.diameterDivisor) << m.tCodeFormat << m.chuckDiameter << m.holderStandard
          << m.tailstockPosition << m.atcAnimation << m.radiusProgramming << m.generalPurposeLathe
          << m.showBody << m.showVice << m.showSpindle << m.showChuck << m.showTurret << m.seeThrough
          << m.spindleShown << int(v.rotationCentre);
        o << state.picture.pictureMode << state.picture.monoLevels << state.picture.effectKind
          << state.picture.mediaPlaying << state.path.on;
        const DncState& dn = state.dnc;
        o << dn.baudrate << dn.bytesize << dn.port << dn.parity << dn.stopbit << dn.flow << dn.code << dn.eor
          << dn.cr << dn.connected << dn.portDevices[0];
        {
            std::lock_guard lk(state.stockMutex);
            o << hashOf(state.stockGrid.heights(), StockGrid::kCellCount * sizeof(float));
        }
        const Image32& img = d->scene().composer().window();
        o << hashOf(img.data(), size_t(img.width()) * size_t(img.height()) * sizeof(uint32_t));
        o << program.Text() << QGuiApplication::clipboard()->text().toStdString() << selection->count();
        o << ui.log.size();
        for (QWidget* t : QApplication::topLevelWidgets())
            if (t->isVisible()) o << t->windowTitle().toStdString() << ';';
        return o.str();
    }

    bool playing() { return d->playback().session().controller().running(); }
    bool waitForPlayEnd(int ms = 30000) {
        PlaybackController& pc = d->playback().session().controller();
        const bool ended = QTest::qWaitFor([&] { return !pc.running(); }, ms);
        if (ended) pc.join();
        QCoreApplication::processEvents();
        return ended;
    }

    // The floating panel or the communication panel a control sits in, if any.
    std::string containerPanel(const std::string& name) {
        for (std::string p = cs().get(name).parent; !p.empty(); p = cs().get(p).parent) {
            for (const auto& f : floatingPanels())
                if (p == f.name) return p;
            if (p == kDncPanel) return p;
        }
        return {};
    }
    // Brings the control before the user: its tab chosen, its panel opened as a user opens it.
    void reveal(const std::string& name) {
        for (std::string p = cs().get(name).parent; !p.empty(); p = cs().get(p).parent) {
            if (cs().get(p).kind != ControlKind::TabSheet) continue;
            auto* tabs = qobject_cast<QTabWidget*>(w().widget("PageControl1"));
            if (tabs && w().widget(p)) tabs->setCurrentWidget(w().widget(p));
        }
        const std::string panel = containerPanel(name);
        if (panel.empty() || cs().visible(panel)) return;
        if (panel == kDncPanel) {
            QTest::mouseClick(w().widget("sb_tuusin"), Qt::LeftButton);
            return;
        }
        for (const char* b : {"sb_kikai0", "sb_kikai3", "sb_kikai1", "sb_kikai4", "sb_showkikai",
                              "sb_showgrid", "sb_showaxis", "sb_view1"})
            if (floatingPanelOfButton(b) == panel) {
                QTest::mousePress(w().widget(b), Qt::RightButton);
                QTest::mouseRelease(w().widget(b), Qt::RightButton);
                return;
            }
    }
    // Reachable: enabled and shown, with every container shown.
    bool reachable(const std::string& name) {
        for (std::string n = name; !n.empty(); n = cs().get(n).parent) {
            const Control c = cs().get(n);
            // A label's greyed state only shows a status: it still answers a click.
            if ((!c.enabled && c.kind != ControlKind::Label) || !c.visible) return false;
        }
        return true;
    }

    // What shows a control that a user brings up by an earlier step: the effects and the grey levels
    // come with a picture.
    void prepareShown(const std::string& name) {
        const Control c = cs().get(name);
        if (c.parent == "TabSheet1" && !c.visible && name != "sb_kou3" &&
            state.picture.pictureImage.empty()) {
            ui.fileAnswers.push_back(std::string(VANTREL_SOURCE_DIR) + "/samples/background.jpg");
            cs().click("sb_onpicture");
        }
    }
    // An effect left running would animate under the next control: it is released again.
    void cleanUp(const std::string& name) {
        for (const char* n : kEffectButtons)
            if (name == n && cs().checked(n)) cs().click(n);
    }

    // What the walk does first so that the control can show its effect, as a user would have it.
    void prepare(const std::string& name) {
        const Control c = cs().get(name);
        // A play needs a program that ends, no pause after each block and a fresh stock to cut.
        static const std::set<std::string> plays = {"sb_play",   "sb_playfast",   "sb_playstep",
                                                    "menu_play", "menu_playfast", "menu_playstep"};
        static const std::set<std::string> stops = {"sb_playend", "N57"};
        if (plays.count(name) || stops.count(name)) {
            program.SetText(kProgram);
            for (const char* n : {"menu_endless", "sb_playsb", "sb_playop"})
                if (cs().checked(n)) cs().click(n);
            std::lock_guard lk(state.stockMutex);
            initialiseStockGrid(state.stockGrid, state.stock, state.machineKind);
        }
        if (stops.count(name)) {
            cs().click("menu_endless");  // a play that runs until it is stopped
            cs().click("sb_play");
            if (!QTest::qWaitFor([&] { return playing(); }, 5000)) qWarning("the play did not start");
        }
        // The machine already selected changes nothing: start from another one.
        if ((name.rfind("menu_kikai", 0) == 0 || name.rfind("sb_kikai", 0) == 0) &&
            c.tag == int(state.machineKind) && c.kind != ControlKind::Menu && name.size() <= 11)
            cs().click(c.tag == 0 ? "menu_kikai1" : "menu_kikai0");
        // One of a set of exclusive choices already chosen changes nothing: choose another first.
        for (const auto& group : kExclusive) {
            if (!group.count(name) || !cs().checked(name)) continue;
            for (const std::string& other : group)
                if (other != name && cs().get(other).kind != ControlKind::CheckBox) {
                    cs().click(other);
                    break;
                }
        }
        // The windows a command shows start hidden.
        if (name == "N79" || name == "N47" || name == "sb_henshu") w().editorWindow()->hide();
        if (name == "N17" || name == "sb_tuusin") cs().setVisible(kDncPanel, false);
        // The tool list's commands act on a selected tool of the list.
        if (name == "menu_t_del" || name == "button_t_del" || name == "menu_t_change" ||
            name == "ComboBox1" || name == "menu_t_color" || name == "panel_t_color") {
            if (cs().items("ComboBox1").size() < 2) {
                ui.keypadAnswers.push_back(3);
                cs().click("button_t_new");
            }
            cs().selectItem("ComboBox1", 1);
            if (name == "ComboBox1") {
                // A tool unlike the fallback entry, so that choosing another one shows.
                ui.keypadAnswers.push_back(20);
                cs().click("label_t_kei");
            }
        }
        if (name == "menu_t_change") ui.keypadAnswers.push_back(9);
        // The path display and the stock fit need a program with moves.
        if (name == "N16" || name == "N58" || name == "sb_line" || name == "sb_lineonly" || name == "N12" ||
            name == "sb_zai_fit") {
            program.SetText(kProgram);
            d->editor().edit().refresh();
        }
        // The path drawn once shows only where the continuous path is not drawn already.
        if ((name == "N58" || name == "sb_lineonly") && state.path.on) cs().click("N16");
        // The editing commands act on a selection or the clipboard.
        if (name == "Cut1" || name == "Copy1" || name == "Delete1") {
            program.SetText(kProgram);
            d->editor().edit().refresh();
            d->editor().edit().selectAll();
        }
        if (name == "Copy1") QGuiApplication::clipboard()->setText("");
        if (name == "Paste1") QGuiApplication::clipboard()->setText("G00X1.\n");
    }

    // Activates a control through its widget. Returns "" or why it could not.
    std::string activate(const std::string& name) {
        const Control c = cs().get(name);
        switch (c.kind) {
            case ControlKind::Menu:
            case ControlKind::MenuItem: {
                QAction* a = w().action(name);
                if (!a) return "no menu entry";
                if (!a->isEnabled()) return "menu entry disabled";
                a->trigger();
                return "";
            }
            case ControlKind::ComboBox: {
                auto* b = qobject_cast<QComboBox*>(w().widget(name));
                if (!b) return "no combo box";
                if (b->count() == 0) return "combo box without items";
                const int i = b->count() > 1 ? (b->currentIndex() + 1) % b->count() : 0;
                b->setCurrentIndex(i);
                emit b->activated(i);
                return "";
            }
            case ControlKind::TrackBar:
            case ControlKind::ScrollBar: {
                auto* s = qobject_cast<QAbstractSlider*>(w().widget(name));
                if (!s) return "no slider";
                s->triggerAction(s->value() < s->maximum() ? QAbstractSlider::SliderSingleStepAdd
                                                           : QAbstractSlider::SliderSingleStepSub);
                return "";
            }
            default: {
                QWidget* wd = w().widget(name);
                if (!wd) return "no widget";
                if (!wd->isVisible()) return "widget not shown";
                // A check box answers a click on its box or its caption, not on the empty rest of its row.
                const QPoint at = c.kind == ControlKind::CheckBox ? QPoint(7, wd->height() / 2) : QPoint();
                QTest::mouseClick(wd, Qt::LeftButton, {}, at);
                return "";
            }
        }
    }

    static bool walked(const Control& c, const ControlSet& cs) {
        switch (c.kind) {
            case ControlKind::MenuItem:
            case ControlKind::SpeedButton:
            case ControlKind::Button:
            case ControlKind::CheckBox:
            case ControlKind::ComboBox:
            case ControlKind::TrackBar:
            case ControlKind::ScrollBar:
                return true;
            // Labels, colour panels and sub-menus count where they carry a command.
            case ControlKind::Label:
            case ControlKind::Panel:
            case ControlKind::Menu:
                return cs.hasCommand(c.name);
            default:
                return false;
        }
    }
};

}  // namespace

class EveryControlTest : public QObject {
    Q_OBJECT
  private slots:
    void everyControlHasAnEffect();
    void requiredClickableLabelsExist();
};

void EveryControlTest::everyControlHasAnEffect() {
    Walker k;
    QVERIFY(k.open());
    std::vector<std::string> dead, unreachable;
    int count = 0;
    for (const std::string& name : k.cs().names()) {
        const Control c = k.cs().get(name);
        if (!Walker::walked(c, k.cs())) continue;
        if (kUnreachable.count(name)) {
            QVERIFY2(!k.reachable(name),
                     (name + " is listed as unreachable but a user can reach it").c_str());
            continue;
        }
        // Each control from the mill, with all panels closed and nothing playing.
        if (k.playing()) QVERIFY(k.waitForPlayEnd());
        if (k.state.machineKind != MachineKind::VerticalMill) k.cs().click("menu_kikai0");
        closeFloatingPanels(k.cs());
        if (k.cs().checked("menu_paneloff") && name != "menu_paneloff") k.cs().click("menu_paneloff");
        // A control of the turning family is tried on the lathe.
        k.prepareShown(name);
        k.reveal(name);
        if (!k.reachable(name)) {
            k.cs().click("menu_kikai2");
            k.reveal(name);
        }
        if (!k.reachable(name)) {
            unreachable.push_back(name);
            continue;
        }
        k.prepare(name);
        QCoreApplication::processEvents();
        const std::string before = k.fingerprint(name);
        const std::string why = k.activate(name);
        if (!why.empty()) {
            dead.push_back(name + " (" + why + ")");
            continue;
        }
        ++count;
        if (k.playing()) QVERIFY2(k.waitForPlayEnd(), (name + ": the play did not end").c_str());
        // Dialog-like answers and unfolding are synchronous; queued widget updates arrive now.
        QCoreApplication::processEvents();
        const std::string after = k.fingerprint(name);
        const bool effect = before != after;
        k.cleanUp(name);
        if (kNoEffect.count(name)) {
            if (effect) dead.push_back(name + " (listed as without effect but has one)");
            continue;
        }
        if (!effect) {
            dead.push_back(name);
            if (qEnvironmentVariableIsSet("VANTREL_WALK_DEBUG")) {
                QWidget* wd = k.w().widget(name);
                if (wd) {
                    QPoint c = wd->mapTo(&k.w(), QPoint(wd->width() / 2, wd->height() / 2));
                    QWidget* at = k.w().childAt(c);
                    qInfo("at centre: %p %s %s", static_cast<void*>(at),
                          at ? at->metaObject()->className() : "",
                          at && at->parentWidget() ? at->parentWidget()->metaObject()->className() : "");
                }
                qInfo("%s: widget %p visible %d geometry %d,%d %dx%d model checked %d", name.c_str(),
                      static_cast<void*>(wd), wd ? wd->isVisible() : -1, wd ? wd->x() : 0, wd ? wd->y() : 0,
                      wd ? wd->width() : 0, wd ? wd->height() : 0, k.cs().checked(name));
            }
        }
    }
    std::string report;
    for (const auto& n : dead) report += n + " ";
    for (const auto& n : unreachable) report += n + " (unreachable) ";
    qInfo("walked %d controls", count);
    QVERIFY2(dead.empty() && unreachable.empty(), ("controls without an effect: " + report).c_str());
    QVERIFY(count > 200);
}

void EveryControlTest::requiredClickableLabelsExist() {
    // The scale and the tool axis are shown and edited on the window.
    Walker k;
    QVERIFY(k.open());
    for (const char* n : {"label_bairitu", "label_vx", "label_vy", "label_vz"}) {
        auto* l = qobject_cast<QLabel*>(k.w().widget(n));
        QVERIFY2(l, n);
        QVERIFY(k.cs().hasCommand(n));
    }
    QCOMPARE(qobject_cast<QLabel*>(k.w().widget("label_bairitu"))->text(), QString("1.5"));
}

QTEST_MAIN(EveryControlTest)
#include "every_control_qtest.moc"
