#pragma once
// Where the running program lives, so that it can find the files installed beside it (the help page
// and the samples in ../share/vantrel) wherever the installation was put.
#include <string>

namespace vantrel {

// The folder of the running executable, or empty when the system does not say.
std::string executableDirectory();

}  // namespace vantrel
