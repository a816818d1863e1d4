// Linux: files are read with pread; preadv2(RWF_NOWAIT) reads only what the page cache holds,
// and posix_fadvise(WILLNEED) starts the reads of a range in the background.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_reading.h"

namespace dalvex::platform {

intptr_t openFileForReading(const char* path, uint64_t& size) {
    // Opening a FIFO for reading waits for a writer, perhaps for ever; without blocking, it
    // opens at once and, having no size, reads as empty.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return kNoFile;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return kNoFile;
    }
    size = info.st_size < 0 ? 0 : static_cast<uint64_t>(info.st_size);
    return fd;
}

void closeFile(intptr_t file) {
    ::close(static_cast<int>(file));
}

size_t readFileAt(intptr_t file, uint64_t offset, void* dst, size_t length) {
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(dst);
    while (done < length) {
        const ssize_t got = ::pread(static_cast<int>(file), out + done, length - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;  // end of file or a read error: the caller sees a short read
        }
        done += static_cast<size_t>(got);
    }
    return done;
}

void announceRead(intptr_t file, uint64_t offset, uint64_t length) {
    // Only a hint: a failure leaves the reads to happen one by one, as without it.
    (void)posix_fadvise(static_cast<int>(file), static_cast<off_t>(offset),
                        static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

void adviseScatteredReads(intptr_t file, bool scattered) {
    (void)posix_fadvise(static_cast<int>(file), 0, 0,
                        scattered ? POSIX_FADV_RANDOM : POSIX_FADV_NORMAL);
}

bool readIfResident(intptr_t file, uint64_t offset, void* dst, size_t length, size_t& got) {
    got = 0;
    iovec part{dst, length};
    ssize_t count = 0;
    do {
        count = preadv2(static_cast<int>(file), &part, 1, static_cast<off_t>(offset), RWF_NOWAIT);
    } while (count < 0 && errno == EINTR);
    // EAGAIN: not in memory; EOPNOTSUPP or ENOSYS: the system cannot tell.
    if (count < 0) {
        return false;
    }
    got = static_cast<size_t>(count);
    return true;
}

}  // namespace dalvex::platform
