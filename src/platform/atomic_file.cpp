#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace vantrel {

namespace {
std::string dirOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}
}  // namespace

namespace {

// What a file type is called in a message.
const char* typeName(mode_t mode) {
    if (S_ISDIR(mode)) return "フォルダ";
    if (S_ISFIFO(mode)) return "名前付きパイプ (FIFO)";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "デバイス";
    if (S_ISSOCK(mode)) return "ソケット";
    return "通常のファイルではないもの";
}

// Follows `path` through symbolic links to the name that is finally written. A link that points
// nowhere yet gives the name it points to, so the write creates the file there as any program would.
bool resolveLinks(const std::string& path, std::string& target, std::string* error) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        std::string link(PATH_MAX, '\0');
        ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n < 0) {
            if (error) *error = std::strerror(errno);
            return false;
        }
        link.resize(static_cast<std::size_t>(n));
        target = (!link.empty() && link.front() == '/') ? link : dirOf(target) + "/" + link;
    }
    if (error) *error = std::strerror(ELOOP);
    return false;
}

}  // namespace

// Tests replace this to see what a failing disk does to the write.
int (*atomicWriteFsync)(int) = ::fsync;

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    // A symbolic link stays a link: the file it points to is the one replaced.
    std::string target;
    if (!resolveLinks(path, target, error)) return false;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        // Renaming over a FIFO or a device would silently put a file in its place.
        if (error) *error = std::string(typeName(st.st_mode)) + "には保存できません";
        return false;
    }
    std::string tmpl = target + ".tmpXXXXXX";
    int fd = mkstemp(tmpl.data());
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    auto fail = [&](int err) {
        if (error) *error = std::strerror(err);
        if (fd >= 0) ::close(fd);
        ::unlink(tmpl.c_str());
        return false;
    };
    // The replacement keeps the owner (where the user may give it) and the permissions of the file it
    // replaces; new files get the usual 0666 less the umask. Owner first: chown clears set-id bits.
    if (exists) {
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)!::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        mode_t um = umask(0);
        umask(um);
        ::fchmod(fd, 0666 & ~um);
    }
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (atomicWriteFsync(fd) != 0) return fail(errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return fail(errno);
    if (std::rename(tmpl.c_str(), target.c_str()) != 0) return fail(errno);
    // Make the rename itself durable.
    int dfd = ::open(dirOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool readWholeFile(const std::string& path, std::string& bytes, std::string* error, std::size_t maxBytes) {
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer forever. What was
    // opened is then checked before a single byte is read.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        ::close(fd);
        return false;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fail(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return fail(std::string(typeName(st.st_mode)) + "は読み込めません");
    auto tooLarge = [&](std::uint64_t size) {
        return "ファイルが大きすぎます（" + std::to_string(size) + " バイト、上限 " +
               std::to_string(maxBytes >> 20) + " MB）";
    };
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        return fail(tooLarge(static_cast<std::uint64_t>(st.st_size)));
    std::string buf;
    try {
        buf.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        // The size can change while reading (a file still being written): read to the end, within the
        // limit.
        for (;;) {
            if (got == buf.size()) {
                if (buf.size() > maxBytes) return fail(tooLarge(buf.size()));
                buf.resize(std::min(maxBytes + 1, std::max<std::size_t>(buf.size() * 2, 4096)));
            }
            ssize_t n = ::read(fd, buf.data() + got, buf.size() - got);
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail(std::strerror(errno));
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (got > maxBytes) return fail(tooLarge(got));
        buf.resize(got);
    } catch (const std::bad_alloc&) {
        return fail("メモリが足りません");
    }
    ::close(fd);
    bytes.swap(buf);
    return true;
}

}  // namespace vantrel
