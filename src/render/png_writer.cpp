#include "render/png_writer.h"

#include <png.h>

#include <cstring>
#include <vector>

#include "platform/atomic_file.h"

namespace vantrel {

namespace {

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

}  // namespace

bool encodePng(const Image32& image, std::string& out, std::string* error) {
    if (image.empty()) {
        setError(error, "画像が空です");
        return false;
    }
    const int w = image.width(), h = image.height();
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = image.row(y);
        uint8_t* o = rgb.data() + static_cast<size_t>(y) * w * 3;
        for (int x = 0; x < w; ++x) {
            o[3 * x] = static_cast<uint8_t>(row[x] >> 16);
            o[3 * x + 1] = static_cast<uint8_t>(row[x] >> 8);
            o[3 * x + 2] = static_cast<uint8_t>(row[x]);
        }
    }
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = static_cast<png_uint_32>(w);
    img.height = static_cast<png_uint_32>(h);
    img.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&img, nullptr, &size, 0, rgb.data(), 0, nullptr)) {
        setError(error, std::string("PNG の作成に失敗しました: ") + img.message);
        png_image_free(&img);
        return false;
    }
    out.assign(size, '\0');
    if (!png_image_write_to_memory(&img, out.data(), &size, 0, rgb.data(), 0, nullptr)) {
        setError(error, std::string("PNG の作成に失敗しました: ") + img.message);
        png_image_free(&img);
        return false;
    }
    out.resize(size);
    png_image_free(&img);
    return true;
}

bool writePng(const std::string& path, const Image32& image, std::string* error) {
    std::string bytes;
    if (!encodePng(image, bytes, error)) return false;
    return writeFileAtomically(path, bytes, error);
}

bool decodePng(std::string_view bytes, Image32& image, std::string* error) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, bytes.data(), bytes.size())) {
        setError(error, std::string("PNG を読めません: ") + img.message);
        png_image_free(&img);
        return false;
    }
    img.format = PNG_FORMAT_RGB;
    if (img.width == 0 || img.height == 0 || img.width > 32768 || img.height > 32768) {
        setError(error, "PNG の大きさが不正です");
        png_image_free(&img);
        return false;
    }
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) {
        setError(error, std::string("PNG を読めません: ") + img.message);
        png_image_free(&img);
        return false;
    }
    const int w = static_cast<int>(img.width), h = static_cast<int>(img.height);
    image.resize(w, h);
    for (int y = 0; y < h; ++y) {
        const uint8_t* in = rgb.data() + static_cast<size_t>(y) * w * 3;
        uint32_t* row = image.row(y);
        for (int x = 0; x < w; ++x)
            row[x] = (uint32_t{in[3 * x]} << 16) | (uint32_t{in[3 * x + 1]} << 8) | in[3 * x + 2];
    }
    png_image_free(&img);
    return true;
}

bool readPng(const std::string& path, Image32& image, std::string* error) {
    std::string bytes;
    if (!readWholeFile(path, bytes, error)) return false;
    return decodePng(bytes, image, error);
}

}  // namespace vantrel
