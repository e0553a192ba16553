#pragma once
// Writing files so that a crash or a full disk never leaves half a file: the bytes go to a temporary
// file in the same folder, are flushed to disk, and the temporary file is renamed over the target.
#include <string>
#include <string_view>

namespace vantrel {

// Returns true on success; on failure the target is untouched and `error` (when given) says why.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// Reads a whole file; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes, std::string* error = nullptr);

}  // namespace vantrel
