// The parser of a recording's GPS track is declared in the public dalvex/gps.h; this header
// gives the library's own code its name inside dalvex::gps and the walk's block size.
#pragma once

#include <cstdint>

#include "dalvex/gps.h"
#include "gps/byte_reader.h"
#include "gps/gps_output.h"
#include "gps/gps_point.h"
#include "gps/records.h"

namespace dalvex::gps {

using dalvex::GpsParser;
using dalvex::isPicturePath;
using dalvex::kMaxTrackEntries;

// Chunk offsets are fetched in blocks so that a long table is read in bounded memory; the sample
// reads of a block are announced together before they are made. A block holds more than an hour
// of recording at one sample a second, so a camera's video is mostly announced at once.
constexpr uint32_t kOffsetBlock = 4096;

static_assert(kRecordSize == kGpsRecordSize);

}  // namespace dalvex::gps
