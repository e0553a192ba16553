#pragma once
// Number picture formats as the value labels use them ("###0.00", "##0.###", "-###0.0000" ...).
//
//  '0'  a digit that is always shown
//  '#'  a digit shown only when significant
//  '.'  the decimal point
// The value is rounded (half away from zero) to the pattern's last decimal place. Any other character
// of the pattern (a leading "-", a unit) is printed where it stands. A negative value gets a minus sign
// of its own in front of everything, so "-###0.0" shows -1.5 as "--1.5"; a value that rounds to zero
// shows no minus sign.
#include <string>
#include <string_view>

namespace vantrel {

std::string FormatFloat(std::string_view pattern, double value);

// A number for the JSON the headless commands write: fixed point with at most six decimals, trailing
// zeros dropped, never "-0", every digit of a large number written out; "null" when not finite.
std::string formatFixedTrimmed(double v);

}  // namespace vantrel
