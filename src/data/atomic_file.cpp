#include "data/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace zorvan {

namespace {

bool Fail(std::string* error, const std::string& what) {
    if (error != nullptr) *error = what + ": " + std::strerror(errno);
    return false;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

namespace {
bool IsReadOnlyFile(const std::string& path) {
    struct stat existing {};
    return ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) && (existing.st_mode & 0222) == 0;
}
}  // namespace

bool CanWriteFile(const std::string& path, std::string* error) {
    if (IsReadOnlyFile(path)) {
        errno = EACCES;
        return Fail(error, path);
    }
    std::string pattern = FolderOf(path) + "/.zorvan-probe-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return Fail(error, path);
    ::close(fd);
    ::unlink(name.data());
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    if (path.empty()) {
        errno = ENOENT;
        return Fail(error, "empty path");
    }
    // A file the user made read-only is not replaced behind his back (the
    // rename would succeed, since it only needs the folder to be writable).
    if (IsReadOnlyFile(path)) {
        errno = EACCES;
        return Fail(error, path);
    }
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return Fail(error, path);
    const std::string tempPath(name.data());

    // Keep the permissions of the file being replaced; new files get the
    // usual rw-r--r-- less the umask, not mkstemp's private 0600.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }

    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int saved = errno;
            ::close(fd);
            ::unlink(tempPath.c_str());
            errno = saved;
            return Fail(error, path);
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;
    int saved = errno;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed) {
        if (synced) saved = errno;
        ::unlink(tempPath.c_str());
        errno = saved;
        return Fail(error, path);
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(tempPath.c_str());
        errno = saved;
        return Fail(error, path);
    }
    // Make the rename itself durable.
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace zorvan
