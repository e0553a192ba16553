#pragma once
// The tool lists of the three machine families and the current tool.
#include <cstdint>

namespace vantrel {

struct ToolTable {
    int32_t t_cnt = 1;    // milling tools in the list
    int32_t t_cnt_s = 1;  // lathe tools in the list
    int32_t currentToolIndex = 0;
    uint32_t currentToolColor = 0x00FFFF;
};

}  // namespace vantrel
