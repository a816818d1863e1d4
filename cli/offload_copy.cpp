#include "offload_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

#include "digest.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

constexpr size_t kBufferSize = size_t(1) << 20;
constexpr int64_t kWindow = int64_t(8) << 20;

// A descriptor closed when it goes out of scope.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting the close's error (a write-back failure shows there on some systems).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

int64_t nanoseconds(const struct timespec& t) {
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::string why(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Starts the disk writing each window of the copy as soon as it is full, and waits for the window
// before it and drops its clean pages: the disk writes while the next bytes are read, the final
// sync has little left to wait for, and a large file does not fill the page cache. A write-back
// error shows again in the final sync.
class WriteBehind {
  public:
    explicit WriteBehind(int fd) : fd_(fd) {}
    void wrote(size_t size) {
        written_ += int64_t(size);
        if (written_ - started_ < kWindow)
            return;
        ::sync_file_range(fd_, started_, written_ - started_, SYNC_FILE_RANGE_WRITE);
        if (previous_ >= 0) {
            ::sync_file_range(
                fd_, previous_, started_ - previous_,
                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
            ::posix_fadvise(fd_, previous_, started_ - previous_, POSIX_FADV_DONTNEED);
        }
        previous_ = started_;
        started_ = written_;
    }

  private:
    int fd_;
    int64_t written_ = 0, started_ = 0, previous_ = -1;  // the windows' starts
};

bool syncFolder(const std::string& folder) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

// Reads fd to its end into the hasher, or until the sink refuses a chunk; the bytes read, or -1
// (errno set).
int64_t hashAll(int fd, char* buffer, Sha256& hash, ssize_t (*readFn)(int, void*, size_t),
                const std::function<bool(const char*, size_t)>& sink) {
    int64_t total = 0;
    for (;;) {
        const ssize_t n = readFn(fd, buffer, kBufferSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            return total;
        hash.update(buffer, size_t(n));
        total += n;
        if (sink && !sink(buffer, size_t(n)))
            return total;
    }
}

}  // namespace

CopySeams& copySeams() {
    static CopySeams seams{
        [](int fd, void* buffer, size_t size) { return ::read(fd, buffer, size); }, nullptr};
    return seams;
}

std::string isoTime(int64_t ns) {
    const time_t seconds = time_t(ns / 1000000000);
    struct tm t {};
    gmtime_r(&seconds, &t);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%09dZ", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, int(ns % 1000000000));
    return text;
}

bool walkCard(const std::string& root, std::vector<CardFile>& files,
              std::vector<std::string>& skipped, std::string& error) {
    std::error_code ec;
    const fs::path base(root);
    // The iterator does not descend into linked folders unless told to.
    for (auto it = fs::recursive_directory_iterator(base, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string relative = it->path().lexically_relative(base).string();
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0) {
            error = why("cannot look at " + relative);
            return false;
        }
        if (S_ISDIR(st.st_mode))
            continue;
        if (!S_ISREG(st.st_mode)) {
            skipped.push_back(relative);
            continue;
        }
        files.push_back({relative, uint64_t(st.st_size), nanoseconds(st.st_mtim)});
    }
    if (ec) {
        error = "cannot read the card folder " + root + ": " + ec.message();
        return false;
    }
    std::sort(files.begin(), files.end(),
              [](const CardFile& a, const CardFile& b) { return a.relative < b.relative; });
    std::sort(skipped.begin(), skipped.end());
    return true;
}

bool makeFolders(const std::string& base, const std::string& relative, std::string& error) {
    std::string path = base;
    size_t start = 0;
    while (start < relative.size()) {
        size_t slash = relative.find('/', start);
        if (slash == std::string::npos)
            slash = relative.size();
        path += "/" + relative.substr(start, slash - start);
        start = slash + 1;
        if (::mkdir(path.c_str(), 0750) != 0 && errno != EEXIST) {
            error = why("cannot make the folder " + path);
            return false;
        }
        // A link in the archive would lead the copies out of it.
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            error = path + " is not a folder (a link?): nothing is written through it";
            return false;
        }
    }
    return true;
}

int64_t freeBytes(const std::string& path) {
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) != 0)
        return -1;
    return int64_t(st.f_bavail) * int64_t(st.f_frsize);
}

CopyResult copyVerified(const std::string& root, const CardFile& file,
                        const std::string& destination,
                        const std::function<void(uint64_t)>& progress) {
    CopyResult r;
    const std::string finalPath = destination + "/" + file.relative;
    const size_t slash = finalPath.rfind('/');
    const std::string folder = finalPath.substr(0, slash);
    if (finalPath.substr(slash + 1) == kPartialName) {
        r.error = "the name is the copier's own temporary name";
        return r;
    }
    const size_t parent = file.relative.rfind('/');
    if (parent != std::string::npos &&
        !makeFolders(destination, file.relative.substr(0, parent), r.error))
        return r;

    // Read-only, and never through a link: the card is evidence.
    Fd source(::open((root + "/" + file.relative).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat before {};
    if (source.get() < 0 || ::fstat(source.get(), &before) != 0) {
        r.error = why("cannot open the file");
        return r;
    }
    if (!S_ISREG(before.st_mode) || uint64_t(before.st_size) != file.size ||
        nanoseconds(before.st_mtim) != file.mtimeNs) {
        r.error = "the file changed since the card was listed";
        return r;
    }
    ::posix_fadvise(source.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    // A temporary left by an interrupted run in our own folder is stale.
    const std::string temporary = folder + "/" + kPartialName;
    ::unlink(temporary.c_str());
    Fd out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0640));
    if (out.get() < 0) {
        r.error = why("cannot make the temporary copy");
        return r;
    }
    struct Cleanup {
        const std::string& path;
        bool keep = false;
        ~Cleanup() {
            if (!keep)
                ::unlink(path.c_str());
        }
    } cleanup{temporary};

    std::unique_ptr<char[]> buffer(new char[kBufferSize]);
    Sha256 hash;
    bool writeFailed = false;
    WriteBehind behind(out.get());
    const int64_t copied = hashAll(source.get(), buffer.get(), hash, copySeams().read,
                                   [&](const char* data, size_t size) {
                                       // A full disk stops the copy: the rest need not be read.
                                       writeFailed = !writeAll(out.get(), data, size);
                                       if (!writeFailed)
                                           behind.wrote(size);
                                       if (progress)
                                           progress(size);
                                       return !writeFailed;
                                   });
    if (copied < 0) {
        r.error = why("cannot read the file");
        return r;
    }
    if (writeFailed) {
        r.error = why("cannot write the copy");
        return r;
    }
    struct stat after {};
    if (::fstat(source.get(), &after) != 0 || after.st_size != before.st_size ||
        nanoseconds(after.st_mtim) != nanoseconds(before.st_mtim) || copied != before.st_size) {
        r.error = "the file changed during the copy";
        return r;
    }
    ::posix_fadvise(source.get(), 0, 0, POSIX_FADV_DONTNEED);
    r.sha256 = hash.final();

    // fsync rather than fdatasync: the kept modification time is metadata too.
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (::futimens(out.get(), times) != 0 || ::fsync(out.get()) != 0) {
        r.error = why("cannot write the copy to the disk");
        return r;
    }
    // The pages of the copy are clean now; dropping them makes the read-back come from the disk.
    ::posix_fadvise(out.get(), 0, 0, POSIX_FADV_DONTNEED);
    if (!out.close()) {
        r.error = why("cannot write the copy to the disk");
        return r;
    }
    if (copySeams().beforeVerify)
        copySeams().beforeVerify(temporary);

    Fd back(::open(temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    Sha256 again;
    const int64_t reread =
        back.get() < 0 ? -1
                       : hashAll(
                             back.get(), buffer.get(), again,
                             [](int fd, void* b, size_t n) { return ::read(fd, b, n); }, nullptr);
    if (reread < 0) {
        r.error = why("cannot read the copy back");
        return r;
    }
    ::posix_fadvise(back.get(), 0, 0, POSIX_FADV_DONTNEED);
    if (reread != copied || again.final() != r.sha256) {
        r.error = "the copy read back from the disk differs from the file";
        return r;
    }
    if (::rename(temporary.c_str(), finalPath.c_str()) != 0) {
        r.error = why("cannot put the copy in place");
        return r;
    }
    cleanup.keep = true;
    if (!syncFolder(folder)) {
        r.error = why("cannot sync the folder " + folder);
        return r;
    }
    r.verified = true;
    return r;
}

}  // namespace cli
