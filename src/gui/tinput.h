#pragma once
// The keypad dialog "数値入力": a small always-on-top window of 33-pixel keys. It only forwards keys to
// the Keypad logic and shows its display.
#include <QDialog>

#include "app/keypad.h"

class QLabel;
class QToolButton;

namespace vantrel {

class Tinput : public QDialog {
    Q_OBJECT
  public:
    Tinput(double initial, KeypadMemory& memory, QWidget* parent = nullptr);
    const Keypad& keypad() const { return pad_; }

    // Opens the dialog modally; the value the user set, or nothing when cancelled.
    static std::optional<double> ask(double initial, KeypadMemory& memory, QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void reject() override;

  private:
    void refresh();
    Keypad pad_;
    QLabel* text_ = nullptr;
    QToolButton* hozon_ = nullptr;
};

}  // namespace vantrel
