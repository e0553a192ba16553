#pragma once
// Advisory locks between instances of the program, and the per-user configuration folder.
#include <string>

namespace vantrel {

// Holds an advisory lock (flock) on a folder while it lives, so that two instances never interleave
// a read-change-write of a file in it. Waits up to `timeoutMs` for another holder; when the lock cannot
// be had (the folder is missing, the file system has no locks, the wait ran out) `locked()` is false
// and the caller goes on without it: files are replaced by an atomic rename either way.
class FolderLock {
  public:
    FolderLock(const std::string& folder, bool exclusive, int timeoutMs = 5000);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool locked() const { return locked_; }

  private:
    int fd_ = -1;
    bool locked_ = false;
};

// $XDG_CONFIG_HOME, or ~/.config when it is unset, empty or not an absolute path.
std::string userConfigFolder();

// Creates the folder and its missing parents (new folders private to the user). False with `error` when
// it cannot.
bool makeFolders(const std::string& folder, std::string* error = nullptr);

// The folder part of a path ("." when there is none).
std::string folderOf(const std::string& path);

}  // namespace vantrel
