#include "platform/program_location.h"

#include <filesystem>
#include <system_error>

namespace vantrel {

std::string executableDirectory() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return {};
    return exe.parent_path().string();
}

}  // namespace vantrel
