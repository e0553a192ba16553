// Feeds arbitrary bytes to the JPEG reader. libjpeg's fatal errors must come back as a refused
// picture (never end the process), headers asking for more than the picture limit must be refused
// before the decoder allocates the picture, and the sanitizers must stay quiet.
#include <cstdint>
#include <cstdlib>

#include "platform/picture_decode.h"

// The same checks guard every limit; a small one lets each run finish quickly, so the fuzzer explores
// headers and data instead of filling huge pictures.
static constexpr int64_t kFuzzMaxBytes = 4 * 1024 * 1024;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const vantrel::DecodedPicture d = vantrel::decodeJpeg(data, size, kFuzzMaxBytes);
    if (d.ok) {
        if (d.image.empty() || !vantrel::pictureSizeAllowed(d.image.width(), d.image.height(), kFuzzMaxBytes))
            std::abort();
        for (int y = 0; y < d.image.height(); ++y)
            if ((d.image.row(y)[d.image.width() - 1] & 0xFF000000u) != 0) std::abort();
    } else if (d.message.empty() || !d.image.empty()) {
        std::abort();
    }
    return 0;
}
