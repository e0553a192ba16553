#pragma once
// Finding the help page "vantrelhelp.html" that the "ヘルプ" command opens.
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

inline constexpr const char* kMsgHelpMissing = "ヘルプファイル vantrelhelp.html が見つかりません";

// The folders searched, in order: the current directory (given as "", so a program started beside its
// help page keeps opening that one by its plain name); the data folder of an installed program, found
// from the executable's own folder as bin/../share/vantrel so that a relocated installation still finds
// it; the folder this build installs to; and the samples/ folder of the source tree, for a program run
// from its build folder.
std::vector<std::string> helpSearchFolders();

// The help page in the first of `folders` that holds it ("" stands for the current directory and
// yields the plain name), or nothing.
std::optional<std::string> findHelpFile(const std::vector<std::string>& folders);

}  // namespace vantrel
