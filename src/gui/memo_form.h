#pragma once
// Tmemoform: the editor window ("編集"), on top of the main window, filled by the editor control.
#include <QWidget>

#include "app/program_file_commands.h"
#include "gui/quon_edit.h"

namespace vantrel {

class Tmemoform : public QWidget {
    Q_OBJECT
  public:
    explicit Tmemoform(TQuonStrings& program, QWidget* parent = nullptr);
    TQuonEdit* QuonEdit1() const { return edit_; }

  private:
    TQuonEdit* edit_;
};

// The editor window as the main window's program-file commands see it.
class MemoFormView : public ProgramEditorView {
  public:
    explicit MemoFormView(Tmemoform& form) : form_(form) {}
    void refresh() override { edit().refresh(true); }
    void cut() override { edit().cut(); }
    void copy() override { edit().copy(); }
    void paste() override { edit().paste(); }
    void deleteSelection() override { edit().deleteSelection(); }
    void selectAll() override { edit().selectAll(); }
    void clearAll() override { edit().clearAll(); }
    bool readOnly() const override { return form_.QuonEdit1()->readOnly(); }
    void showWindow() override;
    FontChoice font() const override;
    void setFont(const FontChoice& f) override;

  private:
    TQuonEdit& edit() { return *form_.QuonEdit1(); }
    Tmemoform& form_;
};

}  // namespace vantrel
