// Feeds arbitrary bytes to the bitmap reader: headers with any sizes, offsets, depths, palettes, bit
// fields and RLE runs. Nothing may read outside the buffer, write outside the picture, allocate past
// the picture limit, or trip the sanitizers; a decoded picture has the size its header gave.
#include <cstdint>
#include <cstdlib>

#include "platform/picture_decode.h"

// The same checks guard every limit; a small one lets each run finish quickly, so the fuzzer explores
// headers and data instead of filling huge pictures.
static constexpr int64_t kFuzzMaxBytes = 4 * 1024 * 1024;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const vantrel::DecodedPicture d = vantrel::decodeBmp(data, size, kFuzzMaxBytes);
    if (d.ok) {
        if (d.image.empty() || !vantrel::pictureSizeAllowed(d.image.width(), d.image.height(), kFuzzMaxBytes))
            std::abort();
        // Every pixel is read, so a picture shorter than its size would show; none carries a top byte.
        for (int y = 0; y < d.image.height(); ++y)
            for (int x = 0; x < d.image.width(); ++x)
                if ((d.image.at(x, y) & 0xFF000000u) != 0) std::abort();
    } else if (d.message.empty() || !d.image.empty()) {
        std::abort();
    }
    return 0;
}
