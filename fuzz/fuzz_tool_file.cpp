// Tool-file bytes from the fuzzer, read as a ".tgs" file and as a ".gst" file. Whatever is accepted
// must satisfy what the tool selector relies on (entry 0 numbered 0, ascending numbers, finite values)
// and write back to exactly the bytes it was read from; whatever is refused must leave the result
// untouched.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/tool_file.h"

using namespace vantrel;

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

bool finite(const ToolRecord& r) {
    for (double d : {r.noseRadius, r.diameter, r.length, r.holderLength, r.angleA, r.angleB, r.axisX, r.axisY,
                     r.axisZ, r.holderDiameter, r.reserved1, r.reserved2})
        if (!std::isfinite(d)) return false;
    return true;
}

void checkList(const std::vector<ToolRecord>& list) {
    check(!list.empty() && list[0].number == 0);
    for (size_t i = 0; i < list.size(); ++i) {
        check(finite(list[i]));
        if (i > 0) check(list[i].number > list[i - 1].number);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    ToolFileContents read;
    read.wireTool.number = -7;
    if (decodeToolFile(bytes, read)) {
        checkList(read.millTools);
        checkList(read.latheTools);
        check(finite(read.wireTool));
        check(encodeToolFile(read.millTools, read.latheTools, read.wireTool) == bytes);
    } else {
        check(read.millTools.empty() && read.latheTools.empty() && read.wireTool.number == -7);
    }

    const std::vector<ToolRecord> list{defaultMillTool(), defaultMillTool()};
    std::vector<ToolRecord> gst;
    if (decodeGstFile(bytes, list, kDefaultToolColor, gst)) {
        check(gst.size() == 100);
        checkList(gst);
    } else {
        check(gst.empty());
    }
    return 0;
}
