#include "safe_write.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <random>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace camsim {

namespace {

// A name beside path that nobody can have prepared for us.
std::string temporaryName(const std::string& path) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".tmp-%016llx", (unsigned long long)random());
    return path + suffix;
}

#ifdef _WIN32

int createExclusive(const std::string& name) {
    return ::_open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const int n = ::_write(fd, bytes.data() + done, unsigned(bytes.size() - done));
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}
bool flushAndClose(int fd) {
    const bool flushed = ::_commit(fd) == 0;
    return (::_close(fd) == 0) && flushed;
}
bool replace(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
void syncFolderOf(const std::string&) {}

#else

int createExclusive(const std::string& name) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    // The umask may only take bits away; make sure nobody else was given any.
    if (fd >= 0 && ::fchmod(fd, 0600) != 0) {
        ::close(fd);
        ::unlink(name.c_str());
        return -1;
    }
    return fd;
}
bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}
bool flushAndClose(int fd) {
    const bool flushed = ::fsync(fd) == 0;
    return (::close(fd) == 0) && flushed;
}
bool replace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}
// The rename itself survives a crash only once the folder is on disk too.
void syncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

#endif

}  // namespace

bool writeFileSafely(const std::string& path, const std::string& bytes) {
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = temporaryName(path);
        fd = createExclusive(temporary);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes);
    if (!flushAndClose(fd) || !written || !replace(temporary, path)) {
        std::remove(temporary.c_str());
        return false;
    }
    syncFolderOf(path);
    return true;
}

}  // namespace camsim
