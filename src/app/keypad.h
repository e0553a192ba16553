#pragma once
// The number-entry logic of the keypad dialog ("数値入力"). The dialog only forwards its keys here and
// shows `display()`; everything about how a typed number is built lives in this class.
//
// The number stays unsigned while it is typed: the minus key only changes the display until "設定"
// applies it. The first digit typed replaces the pre-loaded value. The memory key "保存" is a
// toggle: pressing it keeps the value, releasing it (possibly in a later dialog) recalls it.
#include <array>
#include <cstdint>
#include <string>

namespace vantrel {

// The memory of the keypad, kept for the whole process (it survives from one dialog to the next).
struct KeypadMemory {
    double value = 0;
    bool stored = false;  // the memory key is shown pressed while a value is kept
};

class Keypad {
  public:
    static constexpr int kMaxFractionDigits = 15;
    static constexpr int kMaxDisplayChars = 10;  // digits are refused once the value is longer

    Keypad(double initial, KeypadMemory& memory);

    void digit(int k);  // 0..9; anything else is ignored
    void point();
    void minus();
    void clear();  // "消去"
    void backspace();
    void memoryKey();  // "保存": toggles the pressed state
    void set();        // "設定": applies the minus and closes
    void cancel();     // "無効": restores the pre-loaded value and closes

    // A typed character: "0".."9", ".", "-", Backspace (8) and Delete (127). Returns false when the
    // character means nothing to the keypad.
    bool key(char32_t ch);

    const std::string& display() const { return display_; }
    double value() const { return value_; }
    bool memoryPressed() const { return memory_.stored; }
    bool closed() const { return closed_; }
    bool accepted() const { return accepted_; }

  private:
    void show();

    KeypadMemory& memory_;
    double saved_;
    double value_;
    bool first_ = true;
    bool decimal_ = false;
    bool minus_ = false;
    int64_t divisor_ = 0;  // 0 before the point, 10 right after it, x10 per fractional digit
    int fractionCount_ = 0;
    std::array<int, kMaxFractionDigits + 1> fraction_{};  // fraction_[1] is the first digit after the point
    bool closed_ = false;
    bool accepted_ = false;
    std::string display_;
};

}  // namespace vantrel
