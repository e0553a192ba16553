#pragma once
// The findings of the program checks in the desktop program: a tool window ("干渉チェック") with the list
// of the control `list_check`, shown when a play finds something. A double click on a finding picks
// the list's item in the control model, whose command puts the editor's caret on the finding's line.
//
//   GuiCheckList checks(window, controls, playback.session().checks());
//   checks.attachEditor(editor.edit());
#include <QObject>

#include "app/play_checks.h"
#include "core/control_set.h"

class QListWidget;
class QWidget;

namespace vantrel {

class MainWindow;
class TQuonEdit;

class GuiCheckList : public QObject {
  public:
    GuiCheckList(MainWindow& window, ControlSet& controls, PlayChecks& checks);
    ~GuiCheckList() override;
    GuiCheckList(const GuiCheckList&) = delete;
    GuiCheckList& operator=(const GuiCheckList&) = delete;

    // Where a picked finding's line is shown.
    void attachEditor(TQuonEdit& edit);
    QWidget* window() const { return window_; }
    QListWidget* list() const { return list_; }

  private:
    void refresh();
    ControlSet& cs_;
    PlayChecks& checks_;
    QWidget* window_ = nullptr;  // owned by the main window
    QListWidget* list_ = nullptr;
    int observer_ = 0;
};

}  // namespace vantrel
