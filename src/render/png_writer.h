#pragma once
// PNG pictures of 32-bit images (the unused top byte is dropped), for the headless runner and the
// picture tests. Files are written through writeFileAtomically, so a failed write leaves no half file.
#include <string>
#include <string_view>

#include "core/image32.h"

namespace vantrel {

// Encodes the image as an 8-bit RGB PNG. False (with a reason) when the image is empty or encoding fails.
bool encodePng(const Image32& image, std::string& out, std::string* error = nullptr);
bool writePng(const std::string& path, const Image32& image, std::string* error = nullptr);

// Decodes any PNG into 0x00RRGGBB pixels (alpha is dropped).
bool decodePng(std::string_view bytes, Image32& image, std::string* error = nullptr);
bool readPng(const std::string& path, Image32& image, std::string* error = nullptr);

}  // namespace vantrel
