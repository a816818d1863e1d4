// Windows: a file read as a stream has neither a hint for a range nor a read that refuses to
// wait, so the reads simply happen in turn.
#include "platform/read_ahead.h"

namespace dalvex::platform {

void announceRead(intptr_t, uint64_t, uint64_t) {}

void adviseScatteredReads(intptr_t, bool) {}

bool readIfResident(intptr_t, uint64_t, void*, size_t, size_t& got) {
    got = 0;
    return false;
}

}  // namespace dalvex::platform
