#include "app/help_file.h"

#include <filesystem>
#include <system_error>

#include "app/application.h"
#include "platform/program_location.h"

namespace vantrel {

std::vector<std::string> helpSearchFolders() {
    std::vector<std::string> folders{""};
    const std::string exeDir = executableDirectory();
    if (!exeDir.empty())
        folders.push_back((std::filesystem::path(exeDir) / ".." / "share" / "vantrel").string());
#ifdef VANTREL_INSTALL_DATA_DIR
    folders.push_back(VANTREL_INSTALL_DATA_DIR);
#endif
#ifdef VANTREL_SOURCE_SAMPLES_DIR
    folders.push_back(VANTREL_SOURCE_SAMPLES_DIR);
#endif
    return folders;
}

std::optional<std::string> findHelpFile(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        const std::filesystem::path candidate =
            folder.empty() ? std::filesystem::path(kHelpFile) : std::filesystem::path(folder) / kHelpFile;
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) {
            if (folder.empty()) return std::string(kHelpFile);
            const std::filesystem::path tidy = std::filesystem::weakly_canonical(candidate, ec);
            return ec ? candidate.string() : tidy.string();
        }
    }
    return std::nullopt;
}

}  // namespace vantrel
