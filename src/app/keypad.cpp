#include "app/keypad.h"

#include <cmath>
#include <cstdio>

#include "core/number_format.h"

namespace vantrel {

namespace {

// The value as the shortest general decimal text (up to 15 significant digits).
size_t generalLength(double v) {
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%.15g", v);
    return n < 0 ? 0 : static_cast<size_t>(n);
}

}  // namespace

Keypad::Keypad(double initial, KeypadMemory& memory) : memory_(memory), saved_(initial), value_(initial) {
    display_ = FormatFloat("###0.#######", value_);
}

void Keypad::show() {
    // One decimal place per fractional digit typed; before any (and right after the point) none.
    std::string pattern = minus_ ? "-###0" : "###0";
    if (divisor_ > 10 && fractionCount_ > 0) {
        pattern += '.';
        pattern.append(static_cast<size_t>(fractionCount_), '0');
    }
    display_ = FormatFloat(pattern, value_);
}

void Keypad::digit(int k) {
    if (k < 0 || k > 9 || closed_) return;
    if (first_) {
        value_ = 0;
        first_ = false;
    }
    if (generalLength(value_) <= static_cast<size_t>(kMaxDisplayChars)) {
        if (!decimal_) {
            value_ = value_ * 10 + k;
        } else if (fractionCount_ < kMaxFractionDigits) {
            ++fractionCount_;
            fraction_[static_cast<size_t>(fractionCount_)] = k;
            value_ += static_cast<double>(k) / static_cast<double>(divisor_);
            divisor_ *= 10;
        }
    }
    show();
}

void Keypad::point() {
    if (decimal_ || closed_) return;
    decimal_ = true;
    divisor_ = 10;
    display_ += '.';
}

void Keypad::minus() {
    if (closed_) return;
    minus_ = true;
    show();
}

void Keypad::clear() {
    if (closed_) return;
    value_ = 0;
    divisor_ = 0;
    fractionCount_ = 0;
    decimal_ = false;
    minus_ = false;
    display_.assign(1, '0');  // assign(count, char): avoids a false -Wrestrict of GCC 12
}

void Keypad::backspace() {
    if (closed_) return;
    if (!decimal_) {
        value_ = std::trunc(value_ / 10);
    } else if (fractionCount_ == 0) {
        // Right after the point there is no digit to take back: only the point goes.
        decimal_ = false;
        divisor_ = 0;
    } else {
        value_ -= static_cast<double>(fraction_[static_cast<size_t>(fractionCount_)]) * 10.0 /
                  static_cast<double>(divisor_);
        --fractionCount_;
        divisor_ /= 10;
        if (divisor_ <= 10) {
            divisor_ = 0;
            decimal_ = false;
            fractionCount_ = 0;
        }
    }
    show();
}

void Keypad::memoryKey() {
    if (closed_) return;
    if (!memory_.stored) {
        memory_.value = value_;
        memory_.stored = true;
    } else {
        value_ = memory_.value;
        memory_.stored = false;
    }
    show();
}

void Keypad::set() {
    if (closed_) return;
    if (minus_) value_ = -value_;
    closed_ = true;
    accepted_ = true;
}

void Keypad::cancel() {
    if (closed_) return;
    value_ = saved_;
    closed_ = true;
}

bool Keypad::key(char32_t ch) {
    if (ch >= U'0' && ch <= U'9') {
        digit(static_cast<int>(ch - U'0'));
        return true;
    }
    switch (ch) {
        case U'.':
            point();
            return true;
        case U'-':
            minus();
            return true;
        case 8:
        case 127:
            backspace();
            return true;
        default:
            return false;
    }
}

}  // namespace vantrel
