#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vantrel {

namespace {
std::string dirOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}
}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    std::string tmpl = path + ".tmpXXXXXX";
    int fd = mkstemp(tmpl.data());
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    // Keep the permissions of an existing file; new files get the usual 0644 (less the umask).
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        fchmod(fd, st.st_mode & 07777);
    } else {
        mode_t um = umask(0);
        umask(um);
        fchmod(fd, 0666 & ~um);
    }
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (error) *error = std::strerror(errno);
            ::close(fd);
            ::unlink(tmpl.c_str());
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        if (error) *error = std::strerror(errno);
        ::unlink(tmpl.c_str());
        return false;
    }
    if (std::rename(tmpl.c_str(), path.c_str()) != 0) {
        if (error) *error = std::strerror(errno);
        ::unlink(tmpl.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dfd = ::open(dirOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool readWholeFile(const std::string& path, std::string& bytes, std::string* error) {
    // A folder opens as a stream that reads nothing: it must not pass for an empty file.
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        if (error) *error = std::strerror(EISDIR);
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        if (error) *error = "read error";
        return false;
    }
    bytes = ss.str();
    return true;
}

}  // namespace vantrel
