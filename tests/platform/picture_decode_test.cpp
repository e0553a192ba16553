// The picture readers: every bitmap layout the reader knows, decoded to the pixels worked out from the
// bytes; JPEG through libjpeg with its fatal errors coming back as a refused picture; the size limit
// checked before anything is allocated.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/picture_decode.h"

namespace vantrel {
namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A BITMAPINFOHEADER bitmap; `extra` (bit-field masks, palette) sits between header and pixels.
Bytes bitmap(int32_t w, int32_t h, uint16_t bpp, uint32_t compression, const Bytes& extra,
             const Bytes& pixels, uint32_t coloursUsed = 0) {
    Bytes b = {'B', 'M'};
    const uint32_t offset = 14 + 40 + static_cast<uint32_t>(extra.size());
    put32(b, offset + static_cast<uint32_t>(pixels.size()));
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, static_cast<uint32_t>(w));
    put32(b, static_cast<uint32_t>(h));
    put16(b, 1);
    put16(b, bpp);
    put32(b, compression);
    put32(b, static_cast<uint32_t>(pixels.size()));
    put32(b, 2835);
    put32(b, 2835);
    put32(b, coloursUsed);
    put32(b, 0);
    b.insert(b.end(), extra.begin(), extra.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

DecodedPicture bmp(const Bytes& b) {
    return decodeBmp(b.data(), b.size());
}

Bytes greyPalette(int n) {
    Bytes p;
    for (int i = 0; i < n; ++i)
        p.insert(p.end(),
                 {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 2), static_cast<uint8_t>(i * 3), 0});
    return p;
}
// Palette entry i as a pixel: B = i, G = 2i, R = 3i (bytes of the entry: B, G, R).
uint32_t greyOf(uint32_t i) {
    return ((i * 3) & 0xFF) << 16 | ((i * 2) & 0xFF) << 8 | (i & 0xFF);
}

TEST(BitmapReader, TrueColourRowsBottomUpAndTopDown) {
    // 2 x 2 at 24 bits: rows of 6 bytes padded to 8; the first stored row is the bottom one.
    const Bytes px = {0,   0, 255, 0, 255, 0, 0, 0,   // bottom: red, green
                      255, 0, 0,   1, 2,   3, 0, 0};  // top: blue, (R 3, G 2, B 1)
    DecodedPicture d = bmp(bitmap(2, 2, 24, 0, {}, px));
    ASSERT_TRUE(d.ok) << d.message;
    EXPECT_EQ(d.image.at(0, 1), 0xFF0000u);
    EXPECT_EQ(d.image.at(1, 1), 0x00FF00u);
    EXPECT_EQ(d.image.at(0, 0), 0x0000FFu);
    EXPECT_EQ(d.image.at(1, 0), 0x030201u);
    // A negative height stores the top row first.
    d = bmp(bitmap(2, -2, 24, 0, {}, px));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.at(0, 0), 0xFF0000u);
    EXPECT_EQ(d.image.at(1, 1), 0x030201u);
    // 32 bits without masks: B, G, R, unused.
    d = bmp(bitmap(1, 1, 32, 0, {}, {10, 20, 30, 99}));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.at(0, 0), 0x1E140Au);
}

TEST(BitmapReader, SixteenBitsPlainAndWithBitFields) {
    // 5-5-5: 0x7C00 is full red, 0x03E0 full green, 0x0010 half blue (16 of 31 -> 16 x 255 / 31 = 131.6 ->
    // 132).
    Bytes px;
    put16(px, 0x7C00);
    put16(px, 0x03E0);
    put16(px, 0x0010);
    put16(px, 0);  // row padding to 8 bytes
    DecodedPicture d = bmp(bitmap(3, 1, 16, 0, {}, px));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.at(0, 0), 0xFF0000u);
    EXPECT_EQ(d.image.at(1, 0), 0x00FF00u);
    EXPECT_EQ(d.image.at(2, 0), 0x000084u);
    // 5-6-5 masks after the header: green has 6 bits, 32 of 63 -> 32 x 255 / 63 = 129.5 -> 130.
    Bytes masks;
    put32(masks, 0xF800);
    put32(masks, 0x07E0);
    put32(masks, 0x001F);
    Bytes px565;
    put16(px565, 32 << 5);
    put16(px565, 0xF800);
    d = bmp(bitmap(2, 1, 16, 3, masks, px565));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.at(0, 0), 0x008200u);
    EXPECT_EQ(d.image.at(1, 0), 0xFF0000u);
}

TEST(BitmapReader, PaletteDepthsAndShortPalettes) {
    // 1 bit: 5 pixels 1 0 1 0 1 from the top bits of one byte.
    DecodedPicture d = bmp(bitmap(5, 1, 1, 0, greyPalette(2), {0b10101000, 0, 0, 0}));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.at(0, 0), greyOf(1));
    EXPECT_EQ(d.image.at(1, 0), greyOf(0));
    EXPECT_EQ(d.image.at(4, 0), greyOf(1));
    // 4 bits: high nibble first.
    d = bmp(bitmap(3, 1, 4, 0, greyPalette(16), {0x5A, 0x30, 0, 0}));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.at(0, 0), greyOf(5));
    EXPECT_EQ(d.image.at(1, 0), greyOf(10));
    EXPECT_EQ(d.image.at(2, 0), greyOf(3));
    // 8 bits with a palette of 4 used colours: an index past it is black.
    d = bmp(bitmap(2, 1, 8, 0, greyPalette(4), {3, 200, 0, 0}, 4));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.at(0, 0), greyOf(3));
    EXPECT_EQ(d.image.at(1, 0), 0u);
}

TEST(BitmapReader, RunLengthEncodedRowsWithDeltasAndAbsoluteRuns) {
    // RLE8, 6 x 3, bottom row first: a run of three 1s, an absolute run 2 3 4 (padded), end of line;
    // a delta of (1, 0) then two 5s on the middle row (its first pixel untouched: index 0), end of
    // bitmap before the top row.
    const Bytes runs = {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 1, 0, 2, 5, 0, 1};
    DecodedPicture d = bmp(bitmap(6, 3, 8, 1, greyPalette(8), runs));
    ASSERT_TRUE(d.ok);
    const uint32_t bottom[6] = {greyOf(1), greyOf(1), greyOf(1), greyOf(2), greyOf(3), greyOf(4)};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(d.image.at(x, 2), bottom[x]) << x;
    EXPECT_EQ(d.image.at(0, 1), greyOf(0));
    EXPECT_EQ(d.image.at(1, 1), greyOf(5));
    EXPECT_EQ(d.image.at(2, 1), greyOf(5));
    EXPECT_EQ(d.image.at(3, 1), greyOf(0));
    EXPECT_EQ(d.image.at(5, 0), greyOf(0));
    // RLE4: a run alternates the two nibbles.
    d = bmp(bitmap(5, 1, 4, 2, greyPalette(16), {5, 0x12, 0, 1}));
    ASSERT_TRUE(d.ok);
    const uint32_t row[5] = {greyOf(1), greyOf(2), greyOf(1), greyOf(2), greyOf(1)};
    for (int x = 0; x < 5; ++x) EXPECT_EQ(d.image.at(x, 0), row[x]);
    // Runs and deltas that leave the picture write nothing outside it.
    d = bmp(bitmap(2, 2, 8, 1, greyPalette(8), {200, 7, 0, 2, 255, 255, 9, 7, 0, 1}));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.at(1, 1), greyOf(7));
}

TEST(BitmapReader, OldCoreHeaderWithThreeBytePalette) {
    Bytes b = {'B', 'M'};
    put32(b, 14 + 12 + 6 + 4);
    put32(b, 0);
    put32(b, 14 + 12 + 6);
    put32(b, 12);
    put16(b, 2);
    put16(b, 1);
    put16(b, 1);
    put16(b, 1);
    b.insert(b.end(), {0, 0, 0, 10, 20, 30});  // black; B 10 G 20 R 30
    b.insert(b.end(), {0b01000000, 0, 0, 0});
    DecodedPicture d = bmp(b);
    ASSERT_TRUE(d.ok) << d.message;
    EXPECT_EQ(d.image.at(0, 0), 0u);
    EXPECT_EQ(d.image.at(1, 0), 0x1E140Au);
}

TEST(BitmapReader, DamagedAndOversizedFilesAreRefusedWithAMessage) {
    const Bytes good = bitmap(4, 4, 24, 0, {}, Bytes(48, 7));
    ASSERT_TRUE(bmp(good).ok);
    // Pixels cut short, a pixel offset past the end, an unknown depth, RLE with a wrong depth, a
    // compressed format the reader does not know, no "BM".
    Bytes cut(good.begin(), good.begin() + 80);
    Bytes offset = good;
    offset[10] = 0xF0;
    Bytes depth = good;
    depth[28] = 7;
    Bytes rle = bitmap(4, 4, 24, 1, {}, Bytes(48, 7));
    Bytes png = bitmap(4, 4, 24, 5, {}, Bytes(48, 7));
    Bytes magic = good;
    magic[0] = 'X';
    for (const Bytes* b : {&cut, &offset, &depth, &rle, &png, &magic}) {
        DecodedPicture d = bmp(*b);
        EXPECT_FALSE(d.ok);
        EXPECT_TRUE(d.image.empty());
        EXPECT_EQ(d.message, kMsgPictureBroken);
    }
    // 100000 x 100000 pixels would need 40 GB: refused from the header, before any allocation.
    DecodedPicture d = bmp(bitmap(100000, 100000, 24, 0, {}, Bytes(16, 0)));
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.message, kMsgPictureTooLarge);
    // The limit is 256 MB of 32-bit pixels: 8192 x 8192 is exactly that, one row more is not.
    EXPECT_TRUE(pictureSizeAllowed(8192, 8192));
    EXPECT_FALSE(pictureSizeAllowed(8192, 8193));
    EXPECT_FALSE(pictureSizeAllowed(0, 5));
    EXPECT_FALSE(decodeBmp(nullptr, 0).ok);
}

Bytes readSeed(const std::string& name) {
    std::string s;
    EXPECT_TRUE(readWholeFile(std::string(VANTREL_SOURCE_DIR) + "/tests/data/corpus/fuzz_jpeg/" + name, s));
    return Bytes(s.begin(), s.end());
}

TEST(JpegReader, DecodesColourGreyAndProgressivePictures) {
    // A vertical gradient from red (top) to blue (bottom), 8 x 6, made with ImageMagick.
    Bytes b = readSeed("grad_8x6.jpg");
    DecodedPicture d = decodeJpeg(b.data(), b.size());
    ASSERT_TRUE(d.ok) << d.message;
    ASSERT_EQ(d.image.width(), 8);
    ASSERT_EQ(d.image.height(), 6);
    const uint32_t top = d.image.at(3, 0), bottom = d.image.at(3, 5);
    EXPECT_GT(top >> 16 & 0xFF, 180u);
    EXPECT_LT(top & 0xFF, 80u);
    EXPECT_GT(bottom & 0xFF, 180u);
    EXPECT_LT(bottom >> 16 & 0xFF, 80u);
    // Grey pictures come out with three equal channels.
    b = readSeed("gray_5x5.jpg");
    d = decodeJpeg(b.data(), b.size());
    ASSERT_TRUE(d.ok);
    const uint32_t g = d.image.at(2, 2);
    EXPECT_EQ(g >> 16 & 0xFF, g & 0xFF);
    EXPECT_EQ(g >> 8 & 0xFF, g & 0xFF);
    b = readSeed("progressive_17x9.jpg");
    d = decodeJpeg(b.data(), b.size());
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.width(), 17);
    EXPECT_EQ(d.image.height(), 9);
}

TEST(JpegReader, FatalDecoderErrorsComeBackAsARefusedPicture) {
    // Garbage after the start marker: libjpeg's fatal error returns here instead of ending the process.
    Bytes garbage = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x03, 0x01, 0x02, 0x03, 0x04};
    DecodedPicture d = decodeJpeg(garbage.data(), garbage.size());
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.message, kMsgPictureBroken);
    EXPECT_TRUE(d.image.empty());
    // A frame header asking for 30000 x 30000 pixels is refused before decoding.
    Bytes huge = readSeed("huge_header.jpg");
    d = decodeJpeg(huge.data(), huge.size());
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.message, kMsgPictureTooLarge);
    // Not a JPEG at all.
    Bytes text = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_FALSE(decodeJpeg(text.data(), text.size()).ok);
    // Cut short: either decoded with what is there (libjpeg fills the rest) or refused, never a crash.
    Bytes cut = readSeed("truncated.jpg");
    d = decodeJpeg(cut.data(), cut.size());
    EXPECT_EQ(d.ok, !d.image.empty());
}

TEST(PictureFiles, TheExtensionChoosesTheReaderInEitherCase) {
    EXPECT_EQ(pictureFormatOf("a/b.bmp"), PictureFormat::Bmp);
    EXPECT_EQ(pictureFormatOf("C:\\x\\B.BMP"), PictureFormat::Bmp);
    EXPECT_EQ(pictureFormatOf("p.jpg"), PictureFormat::Jpeg);
    EXPECT_EQ(pictureFormatOf("p.JPG"), PictureFormat::Jpeg);
    EXPECT_EQ(pictureFormatOf("p.jpeg"), PictureFormat::Jpeg);
    EXPECT_EQ(pictureFormatOf("p.png"), PictureFormat::Unknown);
    EXPECT_EQ(pictureFormatOf("dir.bmp/file"), PictureFormat::Unknown);

    const auto dir = std::filesystem::temp_directory_path() / "vantrel_picture_files";
    std::filesystem::create_directories(dir);
    const Bytes b = bitmap(1, 1, 24, 0, {}, {1, 2, 3, 0});
    const std::string path = (dir / "one.BMP").string();
    ASSERT_TRUE(writeFileAtomically(path, std::string(b.begin(), b.end())));
    DecodedPicture d = loadPictureFile(path);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.at(0, 0), 0x030201u);
    // The bytes of a bitmap named .jpg go to the JPEG reader, which refuses them.
    const std::string wrong = (dir / "one.jpg").string();
    ASSERT_TRUE(writeFileAtomically(wrong, std::string(b.begin(), b.end())));
    EXPECT_EQ(loadPictureFile(wrong).message, kMsgPictureBroken);
    EXPECT_EQ(loadPictureFile((dir / "one.png").string()).message, kMsgPictureType);
    EXPECT_EQ(loadPictureFile((dir / "missing.bmp").string()).message, kMsgPictureUnreadable);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vantrel
