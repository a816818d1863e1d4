#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace cli {

namespace {

constexpr size_t kBufferSize = 64 * 1024;
// Temporary names that already exist (left by a crash, or planted) are passed over.
constexpr int kNameAttempts = 100;

std::atomic<unsigned> temporaryCount{0};

// What stands at a path: nothing, a regular file, a character device or FIFO (written straight
// through), or something the tool does not write to (a link, a folder); kError with errno set.
enum class Found { kNothing, kRegular, kStream, kOther, kError };
Found lookUp(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? Found::kNothing : Found::kError;
    if (S_ISREG(info.st_mode))
        return Found::kRegular;
    if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode))
        return Found::kStream;
    return Found::kOther;
}

bool regularOrMissing(const std::string& path) {
    const Found found = lookUp(path);
    return found == Found::kNothing || found == Found::kRegular;
}

}  // namespace

namespace {

// Whether someone other than this user (and root) can change what a folder holds.
bool othersCanChange(const struct stat& dir, uid_t me) {
    return (dir.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
           (dir.st_uid != me && dir.st_uid != 0 && (dir.st_mode & S_IWUSR));
}

}  // namespace

std::string unsafeFolderReason(const std::string& path) {
    // Every entry on the way, from the root down, must be one that no other user can swap: a
    // folder others can change holds nothing we go through unless it is sticky and the entry is
    // ours or root's (a link there too), and the last entry may also be missing.
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    if (ec)
        return "";
    const uid_t me = ::geteuid();
    std::filesystem::path at = full.root_path();
    for (auto part = std::next(full.begin()); part != full.end(); ++part) {
        struct stat dir {};
        if (::stat(at.c_str(), &dir) != 0)
            return "";  // the open says what is wrong with it
        const std::filesystem::path next = at / *part;
        struct stat entry {};
        const bool exists = ::lstat(next.c_str(), &entry) == 0;
        if (othersCanChange(dir, me)) {
            const bool ours = !exists || entry.st_uid == me || entry.st_uid == 0;
            if (!(dir.st_mode & S_ISVTX) || !ours)
                return "the folder " + at.string() + " can be changed by another user";
        }
        if (exists && S_ISLNK(entry.st_mode) && entry.st_uid != me && entry.st_uid != 0)
            return next.string() + " is another user's link";
        if (!exists)
            return "";  // made by us below a folder that passed
        at = next;
    }
    return "";
}

OutputFile::OutputFile() : fd_(STDOUT_FILENO), standardOutput_(true), path_("standard output") {}

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    if (const std::string why = unsafeFolderReason(path_); !why.empty()) {
        error_ = "cannot write " + path_ + ": " + why;
        return;
    }
    switch (lookUp(path_)) {
        case Found::kNothing:
        case Found::kRegular:
            break;
        case Found::kStream:
            // /dev/null, a terminal, a pipe: nothing to put in place, every write still checked.
            stream_ = true;
            fd_ = ::open(path_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd_ < 0)
                fail("cannot write " + path_, errno == ENXIO ? EPIPE : errno);
            else
                ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
            return;
        case Found::kOther:
            error_ = "cannot write " + path_ + ": it exists and is not a regular file";
            return;
        case Found::kError:
            fail("cannot write " + path_, errno);
            return;
    }
    const std::filesystem::path final(path_);
    const std::string folder = final.has_parent_path() ? final.parent_path().string() : ".";
    for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
        // Short, so that a final name near the longest a folder takes still has a temporary.
        temporary_ = folder + "/.dalvex-" + std::to_string(::getpid()) + "-" +
                     std::to_string(temporaryCount++) + ".tmp";
        fd_ =
            ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int error = errno;
        temporary_.clear();
        fail("cannot write " + path_, error);
    }
}

OutputFile::~OutputFile() {
    if (!standardOutput_ && fd_ >= 0)
        ::close(fd_);
    if (!committed_)
        removeTemporary();
}

void OutputFile::write(std::string_view bytes) {
    if (failed())
        return;
    buffer_.append(bytes);
    if (buffer_.size() >= kBufferSize)
        flushBuffer();
}

void OutputFile::flushBuffer() {
    size_t done = 0;
    while (!failed() && done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail("cannot write " + path_, n < 0 ? errno : ENOSPC);
        else
            done += size_t(n);
    }
    buffer_.clear();
}

bool OutputFile::commit() {
    flushBuffer();
    if (failed() || standardOutput_)
        return !failed();
    if (stream_) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            fail("cannot write " + path_, errno);
        committed_ = !failed();
        return committed_;
    }
    // The data reaches the disk before the name does, so a crash leaves the old file or the
    // whole new one, never a cut one under the final name.
    if (mode_ >= 0 && ::fchmod(fd_, mode_t(mode_)) != 0)
        fail("cannot write " + path_, errno);
    if (::fsync(fd_) != 0)
        fail("cannot write " + path_, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && !failed())
        fail("cannot write " + path_, errno);
    if (!failed() && !regularOrMissing(path_))
        error_ = "cannot write " + path_ + ": it exists and is not a regular file";
    // A file replaced keeps its permissions: a private track stays private.
    struct stat old {};
    if (!failed() && mode_ < 0 && ::lstat(path_.c_str(), &old) == 0 &&
        ::chmod(temporary_.c_str(), old.st_mode & 07777) != 0)
        fail("cannot write " + path_, errno);
    if (!failed() && ::rename(temporary_.c_str(), path_.c_str()) != 0)
        fail("cannot write " + path_, errno);
    if (failed())
        return false;
    committed_ = true;
    return true;
}

void OutputFile::fail(const std::string& what, int error) {
    if (error_.empty())
        error_ = what + ": " + std::strerror(error);
}

void OutputFile::removeTemporary() {
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace cli
