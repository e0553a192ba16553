#pragma once
// A TextPainter that remembers what was written instead of drawing it.
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_painter.h"

namespace vantrel {

class RecordingTextPainter : public TextPainter {
  public:
    struct Entry {
        int x, y;
        std::string text;
    };
    std::vector<Entry> entries;
    void drawText(Image32&, int x, int y, std::string_view text, uint32_t) override {
        entries.push_back({x, y, std::string(text)});
    }
};

}  // namespace vantrel
