#include "platform/picture_decode.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "platform/atomic_file.h"

namespace vantrel {

namespace {

DecodedPicture failure(const char* message) {
    DecodedPicture d;
    d.message = message;
    return d;
}

uint32_t le16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
}
uint32_t le32(const uint8_t* p) {
    return le16(p) | (le16(p + 2) << 16);
}

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return (r << 16) | (g << 8) | b;
}

// One colour channel of a bit-field pixel: where its mask starts and how many bits it has, so that the
// value can be scaled to 0..255.
struct Channel {
    int shift = 0, bits = 0;
    explicit Channel(uint32_t mask) {
        if (mask == 0) return;
        while (!(mask & 1u)) {
            mask >>= 1;
            ++shift;
        }
        while (mask & 1u) {
            mask >>= 1;
            ++bits;
        }
    }
    uint32_t value(uint32_t px) const {
        if (bits == 0) return 0;
        const uint32_t max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
        const uint64_t v = (px >> shift) & max;
        return static_cast<uint32_t>((v * 255 + max / 2) / max);
    }
};

// The runs of an RLE4 or RLE8 bitmap into one palette index per pixel (bottom-up rows as stored).
// Indices the runs never reach stay 0, as do those after data that ends early; runs and deltas that
// leave the picture write nothing.
void decodeRle(const uint8_t* p, size_t n, int bpp, int width, int height, std::vector<uint8_t>& idx) {
    size_t i = 0;
    int x = 0, y = 0;
    // x stops at the right edge: runs past it write nothing, and a long file of them cannot overflow it.
    auto put = [&](uint8_t v) {
        if (x >= width) return;
        if (y >= 0 && y < height)
            idx[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = v;
        ++x;
    };
    while (i + 1 < n && y < height) {
        const uint8_t count = p[i], value = p[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count && x < width; ++k)
                put(bpp == 8 ? value : static_cast<uint8_t>((k & 1) ? value & 0x0F : value >> 4));
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return;
        } else if (value == 2) {  // delta
            if (i + 1 >= n) return;
            x = std::min(x + p[i], width);
            y += p[i + 1];
            i += 2;
        } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
            const size_t bytes = bpp == 8 ? value : (value + 1u) / 2u;
            if (i + bytes > n) return;
            for (int k = 0; k < value; ++k) {
                const uint8_t b = p[i + (bpp == 8 ? static_cast<size_t>(k) : static_cast<size_t>(k) / 2)];
                put(bpp == 8 ? b : static_cast<uint8_t>((k & 1) ? b & 0x0F : b >> 4));
            }
            i += (bytes + 1) & ~static_cast<size_t>(1);
        }
    }
}

}  // namespace

PictureFormat pictureFormatOf(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return PictureFormat::Unknown;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (ext == "bmp") return PictureFormat::Bmp;
    if (ext == "jpg" || ext == "jpeg") return PictureFormat::Jpeg;
    return PictureFormat::Unknown;
}

bool pictureSizeAllowed(int64_t width, int64_t height, int64_t maxBytes) {
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return false;
    // Each factor is below 2^31, so the product cannot overflow 64 bits.
    return width * height <= maxBytes / 4;
}

DecodedPicture decodeBmp(const uint8_t* data, size_t size, int64_t maxBytes) {
    if (!data || size < 26 || data[0] != 'B' || data[1] != 'M') return failure(kMsgPictureBroken);
    const uint32_t pixelOffset = le32(data + 10);
    const uint32_t headerSize = le32(data + 14);
    if (headerSize < 12 || headerSize > size - 14) return failure(kMsgPictureBroken);
    const uint8_t* h = data + 14;
    int64_t width = 0, height = 0;
    uint32_t bpp = 0, compression = 0, coloursUsed = 0;
    size_t paletteEntry = 4;
    bool topDown = false;
    std::array<uint32_t, 3> masks{};
    bool haveMasks = false;
    size_t paletteAt = 14 + headerSize;
    if (headerSize == 12) {
        width = le16(h + 4);
        height = le16(h + 6);
        bpp = le16(h + 10);
        paletteEntry = 3;
    } else {
        if (headerSize < 40) return failure(kMsgPictureBroken);
        width = static_cast<int32_t>(le32(h + 4));
        const int32_t rawHeight = static_cast<int32_t>(le32(h + 8));
        if (rawHeight == INT32_MIN) return failure(kMsgPictureBroken);
        topDown = rawHeight < 0;
        height = topDown ? -static_cast<int64_t>(rawHeight) : rawHeight;
        bpp = le16(h + 14);
        compression = le32(h + 16);
        coloursUsed = le32(h + 32);
        if (compression == 3 || compression == 6) {  // bit fields: in the header from V2 on, else after it
            const size_t at = headerSize >= 52 ? 14 + 40 : 14 + headerSize;
            if (at + 12 > size) return failure(kMsgPictureBroken);
            masks = {le32(data + at), le32(data + at + 4), le32(data + at + 8)};
            haveMasks = true;
            if (headerSize < 52) paletteAt += compression == 6 ? 16 : 12;
        }
    }
    if (width <= 0 || height <= 0) return failure(kMsgPictureBroken);
    if (!pictureSizeAllowed(width, height, maxBytes)) return failure(kMsgPictureTooLarge);

    const bool rle = compression == 1 || compression == 2;
    if (compression == 1 && bpp != 8) return failure(kMsgPictureBroken);
    if (compression == 2 && bpp != 4) return failure(kMsgPictureBroken);
    if (!(compression == 0 || rle || ((compression == 3 || compression == 6) && (bpp == 16 || bpp == 32))))
        return failure(kMsgPictureBroken);
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return failure(kMsgPictureBroken);
    if (rle && topDown) return failure(kMsgPictureBroken);

    // The palette: as many entries as the header says (or 2^bpp), as far as the file holds them.
    std::vector<uint32_t> palette;
    if (bpp <= 8) {
        size_t count = coloursUsed != 0 && coloursUsed < (1u << bpp) ? coloursUsed : (1u << bpp);
        for (size_t k = 0; k < count; ++k) {
            const size_t at = paletteAt + k * paletteEntry;
            if (at + 3 > size || (pixelOffset >= paletteAt && at + 3 > pixelOffset)) break;
            palette.push_back(rgb(data[at + 2], data[at + 1], data[at]));
        }
    }
    auto colour = [&palette](uint32_t index) { return index < palette.size() ? palette[index] : 0u; };

    if (pixelOffset >= size) return failure(kMsgPictureBroken);
    const uint8_t* pixels = data + pixelOffset;
    const size_t available = size - pixelOffset;
    const int w = static_cast<int>(width), ht = static_cast<int>(height);

    DecodedPicture out;
    out.image.resize(w, ht);
    if (rle) {
        std::vector<uint8_t> idx(static_cast<size_t>(w) * static_cast<size_t>(ht), 0);
        decodeRle(pixels, available, static_cast<int>(bpp), w, ht, idx);
        for (int y = 0; y < ht; ++y) {
            uint32_t* dst = out.image.row(ht - 1 - y);
            const uint8_t* src = idx.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
            for (int x = 0; x < w; ++x) dst[x] = colour(src[x]);
        }
        out.ok = true;
        return out;
    }

    const uint64_t stride = ((static_cast<uint64_t>(w) * bpp + 31) / 32) * 4;
    if (stride * static_cast<uint64_t>(ht) > available) return failure(kMsgPictureBroken);
    if (!haveMasks) {
        masks = bpp == 16 ? std::array<uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                          : std::array<uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
    }
    const Channel cr(masks[0]), cg(masks[1]), cb(masks[2]);
    for (int y = 0; y < ht; ++y) {
        const uint8_t* src = pixels + stride * static_cast<uint64_t>(y);
        uint32_t* dst = out.image.row(topDown ? y : ht - 1 - y);
        for (int x = 0; x < w; ++x) {
            uint32_t px = 0;
            switch (bpp) {
                case 1:
                    px = colour((src[x >> 3] >> (7 - (x & 7))) & 1u);
                    break;
                case 4:
                    px = colour((x & 1) ? src[x >> 1] & 0x0Fu : src[x >> 1] >> 4);
                    break;
                case 8:
                    px = colour(src[x]);
                    break;
                case 16: {
                    const uint32_t v = le16(src + 2 * static_cast<size_t>(x));
                    px = rgb(cr.value(v), cg.value(v), cb.value(v));
                    break;
                }
                case 24: {
                    const uint8_t* p = src + 3 * static_cast<size_t>(x);
                    px = rgb(p[2], p[1], p[0]);
                    break;
                }
                default: {
                    const uint32_t v = le32(src + 4 * static_cast<size_t>(x));
                    px = rgb(cr.value(v), cg.value(v), cb.value(v));
                    break;
                }
            }
            dst[x] = px;
        }
    }
    out.ok = true;
    return out;
}

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back to the
// decoder's frame instead of ending the program.
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void jpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void jpegSilent(j_common_ptr) {}

// Everything the decoder touches after setjmp lives here, behind a pointer, so a jump back leaves no
// half-updated local behind.
struct JpegJob {
    jpeg_decompress_struct info;
    JpegError error;
    const char* failure = nullptr;
    Image32 image;
    std::vector<uint8_t> row;
};

bool runJpeg(JpegJob& job, const uint8_t* data, size_t size, int64_t maxBytes) {
    jpeg_decompress_struct& info = job.info;
    if (setjmp(job.error.jump)) {
        if (!job.failure) job.failure = kMsgPictureBroken;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        job.failure = kMsgPictureBroken;
        return false;
    }
    if (!pictureSizeAllowed(info.image_width, info.image_height, maxBytes)) {
        job.failure = info.image_width > 0 && info.image_height > 0 ? kMsgPictureTooLarge : kMsgPictureBroken;
        return false;
    }
    // A progressive picture keeps every coefficient in memory; bound that too.
    info.mem->max_memory_to_use = static_cast<long>(maxBytes * 2);
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);
    const int w = static_cast<int>(info.output_width), h = static_cast<int>(info.output_height);
    const int comps = info.output_components;
    if (w <= 0 || h <= 0 || (comps != 1 && comps != 3) || !pictureSizeAllowed(w, h, maxBytes)) {
        job.failure = kMsgPictureBroken;
        return false;
    }
    job.image.resize(w, h);
    job.row.resize(static_cast<size_t>(w) * static_cast<size_t>(comps));
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = {job.row.data()};
        const int y = static_cast<int>(info.output_scanline);
        if (jpeg_read_scanlines(&info, rows, 1) != 1) {
            job.failure = kMsgPictureBroken;
            return false;
        }
        uint32_t* dst = job.image.row(y);
        const uint8_t* p = job.row.data();
        for (int x = 0; x < w; ++x, p += comps)
            dst[x] = comps == 1 ? rgb(p[0], p[0], p[0]) : rgb(p[0], p[1], p[2]);
    }
    jpeg_finish_decompress(&info);
    return true;
}

}  // namespace

DecodedPicture decodeJpeg(const uint8_t* data, size_t size, int64_t maxBytes) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return failure(kMsgPictureBroken);
    auto job = std::make_unique<JpegJob>();
    job->info.err = jpeg_std_error(&job->error.mgr);
    job->error.mgr.error_exit = jpegErrorExit;
    job->error.mgr.output_message = jpegSilent;
    const bool ok = runJpeg(*job, data, size, maxBytes);
    jpeg_destroy_decompress(&job->info);
    if (!ok) return failure(job->failure ? job->failure : kMsgPictureBroken);
    DecodedPicture out;
    out.ok = true;
    out.image = std::move(job->image);
    return out;
}

DecodedPicture loadPictureFile(const std::string& path) {
    const PictureFormat format = pictureFormatOf(path);
    if (format == PictureFormat::Unknown) return failure(kMsgPictureType);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return failure(kMsgPictureUnreadable);
    // A file far bigger than the largest picture allowed is not read at all.
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    std::fclose(f);
    if (length < 0) return failure(kMsgPictureUnreadable);
    if (length > kMaxPictureBytes + 64 * 1024 * 1024) return failure(kMsgPictureTooLarge);
    std::string bytes;
    if (!readWholeFile(path, bytes)) return failure(kMsgPictureUnreadable);
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    return format == PictureFormat::Bmp ? decodeBmp(p, bytes.size()) : decodeJpeg(p, bytes.size());
}

}  // namespace vantrel
