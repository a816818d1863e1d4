// Linux: posix_fadvise(WILLNEED) starts the reads of the range in the background.
#include <fcntl.h>

#include "platform/read_ahead.h"

namespace dalvex::platform {

void announceRead(intptr_t file, uint64_t offset, uint64_t length) {
    // Only a hint: a failure leaves the reads to happen one by one, as without it.
    (void)posix_fadvise(static_cast<int>(file), static_cast<off_t>(offset),
                        static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

}  // namespace dalvex::platform
