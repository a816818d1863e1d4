// Linux: preadv2(RWF_NOWAIT) reads only what the page cache holds, and posix_fadvise(WILLNEED)
// starts the reads of a range in the background.
#include <fcntl.h>
#include <sys/uio.h>

#include <cerrno>

#include "platform/read_ahead.h"

namespace dalvex::platform {

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
