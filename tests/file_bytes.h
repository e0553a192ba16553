#pragma once
// Whole files as bytes, for tests that write a program file by hand or compare what was saved.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace vantrel::testing {

inline std::string readBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeBytes(const std::filesystem::path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vantrel::testing
