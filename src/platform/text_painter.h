#pragma once
// Text drawn into an off-screen image (the program listing beside the view, labels in the scene).
// The GUI realises it with the toolkit's fonts; headless runs use nothing at all.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/image32.h"

namespace vantrel {

class TextPainter {
  public:
    virtual ~TextPainter() = default;
    // Writes UTF-8 text with its top-left corner at (x, y), in a 0x00RRGGBB colour, clipped to the image.
    virtual void drawText(Image32& image, int x, int y, std::string_view text, uint32_t colour) = 0;
};

}  // namespace vantrel
