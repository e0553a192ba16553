// The Vantrel desktop program.
#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QProxyStyle>
#include <QTimer>
#include <QToolTip>

#include "app/application.h"
#include "app/machine_defaults.h"
#include "app/settings_store.h"
#include "app/window_commands.h"
#include "gui/desktop.h"
#include "gui/qt_ui_services.h"

namespace {

// Tool-tip hints appear after 200 ms.
class HintStyle : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay) return 200;
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

void chooseJapaneseFont(QApplication& a) {
    for (const char* family : {"IPAexGothic", "IPAexゴシック", "Noto Sans CJK JP", "IPAGothic"}) {
        if (QFontDatabase::families().contains(family)) {
            QFont f(family);
            f.setPointSize(9);
            a.setFont(f);
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vantrel;
    // The state exists before any window and outlives them all.
    static AppState state;
    // The program text: the one store the editor shows and the interpreters read.
    static TQuonStrings program;
    QApplication qapp(argc, argv);
    qapp.setApplicationName(kAppTitle);
    qapp.setApplicationDisplayName(QString());
    // The launcher entry's name: the desktop matches the window to the entry and its icon by it.
    qapp.setDesktopFileName(QStringLiteral("vantrel"));
    qapp.setWindowIcon(QIcon::fromTheme(QStringLiteral("vantrel")));
    qapp.setStyle(new HintStyle);
    chooseJapaneseFont(qapp);

    QtUiServices ui;
    QtMainThread mainThread;
    Desktop desktop(state, program, ui, mainThread);
    MainWindow& window = desktop.window();
    ControlSet& controls = desktop.controls();
    Application& app = desktop.app();
    ui.setParent(&window);
    // --picture MODE FILE: starts as if MODE (1 centred, 2 fitted, 3 on the work plane) and FILE were the
    // stored picture (for screenshots of the picture modes).
    QStringList args = qapp.arguments();
    int picture = args.indexOf("--picture");
    if (picture >= 0 && picture + 2 < args.size()) {
        state.picture.pictureMode = args[picture + 1].toInt();
        state.picture.fileName = args[picture + 2].toStdString();
    }
    // The per-user settings: loaded and applied at start-up, saved at close.
    QtQuestions questions(&window);
    desktop.start(settingsStorePath(), &questions, programArguments(qapp.arguments()));
    window.show();

    // --machine KIND: selects machine KIND (0 to 4) as its menu item does (for screenshots).
    int machine = args.indexOf("--machine");
    if (machine >= 0 && machine + 1 < args.size()) {
        const int kind = args[machine + 1].toInt();
        if (isValidMachineKind(kind)) controls.click(machineMenuItem(static_cast<MachineKind>(kind)));
    }
    // --open-panel NAME: opens a floating panel as a right press on its button does (for screenshots).
    int panel = args.indexOf("--open-panel");
    if (panel >= 0 && panel + 1 < args.size()) {
        std::string name = args[panel + 1].toStdString();
        QTimer::singleShot(400, [&app, name] { openFloatingPanel(app.controls(), name); });
    }

    // --screenshot FILE: grab the window once it is shown and quit (used for the README picture).
    int shot = args.indexOf("--screenshot");
    if (shot >= 0 && shot + 1 < args.size()) {
        QString file = args[shot + 1];
        QTimer::singleShot(800, [&window, file] {
            window.grab().save(file);
            std::exit(0);
        });
    }
    // --autoplay DELAY: presses the play button once the window is up, with the speed slider at DELAY
    // milliseconds per pixel step (for screenshots of a play).
    int autoplay = args.indexOf("--autoplay");
    if (autoplay >= 0 && autoplay + 1 < args.size()) {
        const int delay = args[autoplay + 1].toInt();
        QTimer::singleShot(300, [&controls, delay] {
            controls.setPosition("TrackBar2", delay);
            controls.click("sb_play");
        });
    }
    // --effect NAME: presses an effect button once the window is up, the magnifier's lens in the middle
    // of the view as if the mouse were there (for screenshots of the effects).
    int effect = args.indexOf("--effect");
    if (effect >= 0 && effect + 1 < args.size()) {
        std::string name = args[effect + 1].toStdString();
        QTimer::singleShot(500, [&controls, &window, name] {
            state.picture.lensX = window.scene()->width() / 2;
            state.picture.lensY = window.scene()->height() / 2;
            controls.click(name);
        });
    }
    // --show-hint NAME: shows the tool-tip of a control at once (for screenshots of the hints).
    int hint = args.indexOf("--show-hint");
    if (hint >= 0 && hint + 1 < args.size()) {
        std::string name = args[hint + 1].toStdString();
        QTimer::singleShot(600, [&window, &controls, name] {
            if (QWidget* w = window.widget(name))
                QToolTip::showText(w->mapToGlobal(QPoint(w->width() / 2, w->height())),
                                   QString::fromStdString(controls.get(name).hint), w);
        });
    }
    int rc = qapp.exec();
    app.processEnd();
    return rc;
}
