#pragma once
// The communication panel's window side: received text shown in the editor (one redraw per 100 ms
// however many chunks arrive), the line being sent shown in the listing beside the view.
#include <QObject>
#include <QTimer>

#include "app/dnc_panel.h"
#include "gui/gui_playback.h"

namespace vantrel {

class MainWindow;
class ProgramEditor;

class GuiDnc : public QObject {
  public:
    GuiDnc(DncPanel& dnc, MainWindow& window, ProgramEditor& editor, const TQuonStrings& program);

  private:
    MainWindow& window_;
    const TQuonStrings& program_;
    QtTextPainter painter_;
    QTimer editorRefresh_;
};

}  // namespace vantrel
