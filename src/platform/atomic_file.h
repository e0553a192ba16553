#pragma once
// Writing files so that a crash or a full disk never leaves half a file: the bytes go to a temporary
// file in the same folder, are flushed to disk, and the temporary file is renamed over the target.
#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// Returns true on success; on failure the target is untouched and `error` (when given) says why.
// Writing through a symbolic link replaces the file it points to (the link stays); a target that is
// not a regular file (a FIFO, a device, a folder) is refused; the replacement keeps the mode and, as
// far as the user may set it, the owner and group of the file it replaces.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// The flush to disk the write uses; tests replace it to see a failing disk.
extern int (*atomicWriteFsync)(int);

// The largest file readWholeFile reads: far above any real program or picture, far below what would
// exhaust the memory of a desktop machine.
inline constexpr std::size_t kMaxReadFileBytes = std::size_t{256} << 20;

// Reads a whole regular file of at most `maxBytes` bytes; false when it cannot be opened or read, and
// `error` (when given) says why in Japanese. Only regular files are read: a folder, a FIFO, a device
// or a socket is refused without reading, and opening never waits for a writer on a FIFO.
bool readWholeFile(const std::string& path, std::string& bytes, std::string* error = nullptr,
                   std::size_t maxBytes = kMaxReadFileBytes);

}  // namespace vantrel
