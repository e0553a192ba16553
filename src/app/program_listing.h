#pragma once
// The program listing beside the view: the lines around the executing one, with ">" on its row.
#include <cstdint>

#include "core/image32.h"

namespace vantrel {

class TQuonStrings;
class TextPainter;

// The button-face grey the listing box is cleared to (0x00RRGGBB).
inline constexpr uint32_t kListingBackground = 0xF0F0F0;

// Clears the image and writes, for k from -(height / 20) to +(height / 20), program line (line + k)
// at x 10, y k * 13 + (height / 2 - 15) when that line exists; then ">" at x 2 on the middle row.
void DrawProgramListing(Image32& image, const TQuonStrings& program, int32_t line, TextPainter& painter);

}  // namespace vantrel
