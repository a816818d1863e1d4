// Windows: there is no hint for a range of a file opened as a stream; the reads simply happen in
// turn.
#include "platform/read_ahead.h"

namespace dalvex::platform {

void announceRead(intptr_t, uint64_t, uint64_t) {}

}  // namespace dalvex::platform
