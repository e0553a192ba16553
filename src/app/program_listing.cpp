#include "app/program_listing.h"

#include "platform/text_painter.h"
#include "program/quon_strings.h"

namespace vantrel {

void DrawProgramListing(Image32& image, const TQuonStrings& program, int32_t line, TextPainter& painter) {
    image.fill(kListingBackground);
    const int h = image.height();
    const int rows = h / 20;
    const int mid = h / 2 - 15;
    const int64_t count = program.count();
    for (int k = -rows; k <= rows; ++k) {
        const int64_t l = static_cast<int64_t>(line) + k;
        if (l < 0 || l >= count) continue;
        painter.drawText(image, 10, k * 13 + mid, program.lineText(static_cast<int32_t>(l)), 0x000000);
    }
    painter.drawText(image, 2, mid, ">", 0x000000);
}

}  // namespace vantrel
