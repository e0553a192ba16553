#pragma once
// Background pictures from their file bytes: Windows bitmaps (our own reader over a byte buffer) and
// JPEG (libjpeg-turbo, with an error handler that returns instead of ending the program).
//
// Both readers check the size the header asks for before allocating anything: a picture of more than
// kMaxPictureBytes of 32-bit pixels is refused, so a damaged or hostile header cannot exhaust memory.
// A failed decode returns no image and a Japanese message; the caller keeps whatever it showed before.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/image32.h"

namespace vantrel {

inline constexpr int64_t kMaxPictureBytes = int64_t{256} * 1024 * 1024;

inline constexpr const char* kMsgPictureTooLarge = "画像が大きすぎます（256MBまで）";
inline constexpr const char* kMsgPictureBroken = "画像を読み込めません（壊れているか対応していない形式です）";
inline constexpr const char* kMsgPictureUnreadable = "画像ファイルを開けません";
inline constexpr const char* kMsgPictureType = "BMPまたはJPEGの画像を選んでください";

enum class PictureFormat { Unknown, Bmp, Jpeg };

struct DecodedPicture {
    bool ok = false;
    Image32 image;        // 0x00RRGGBB, rows top to bottom; empty unless ok
    std::string message;  // why it failed (Japanese), empty when ok
};

// By the file name's extension, in either case: .bmp; .jpg or .jpeg.
PictureFormat pictureFormatOf(const std::string& path);

// True when a width x height picture of 32-bit pixels stays within maxBytes.
bool pictureSizeAllowed(int64_t width, int64_t height, int64_t maxBytes = kMaxPictureBytes);

// BITMAPCOREHEADER (OS/2) and BITMAPINFOHEADER up to V5: 1, 4, 8 bits with a palette (uncompressed,
// RLE4, RLE8), 16 and 32 bits (plain or with bit fields) and 24 bits; bottom-up or top-down rows.
// `maxBytes` is the picture limit (the fuzz targets lower it to keep each run quick).
DecodedPicture decodeBmp(const uint8_t* data, size_t size, int64_t maxBytes = kMaxPictureBytes);
// Baseline and progressive JPEG in grey or colour, converted to RGB.
DecodedPicture decodeJpeg(const uint8_t* data, size_t size, int64_t maxBytes = kMaxPictureBytes);

// Reads a picture file and decodes it by its extension. Files larger than the biggest picture
// allowed (plus headroom for headers and palettes) are refused before they are read.
DecodedPicture loadPictureFile(const std::string& path);

}  // namespace vantrel
