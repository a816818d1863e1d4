// Read-ahead hints for files read at scattered offsets, such as the GPS samples of a video that
// lie a few hundred kilobytes apart across the whole file.
#pragma once

#include <cstdint>

namespace dalvex::platform {

// Tells the system that length bytes of an open file at offset will be read soon, so that on a
// cold disk the reads are queued together instead of each waiting for the one before. A hint
// only: it changes no data and does nothing where the system has no such call. file is the
// handle a gps::FileReader keeps (a descriptor where positioned reads exist).
void announceRead(intptr_t file, uint64_t offset, uint64_t length);

}  // namespace dalvex::platform
