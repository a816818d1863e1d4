// The MP4 box walk that finds the chunk offset table of a video's third track, where the camera
// keeps one GPS sample per chunk.
#pragma once

#include <cstdint>
#include <optional>

#include "gps/byte_reader.h"

namespace dalvex::gps {

struct BoxHeader {
    uint64_t start = 0;       // file offset of the size field
    uint64_t size = 0;        // whole box, header included
    uint64_t headerSize = 0;  // 8, or 16 with a 64-bit size
    char type[4] = {};

    bool is(const char (&name)[5]) const;
    uint64_t end() const;  // saturates instead of wrapping
};

// Reads the box header at the current position. A size of 1 means a 64-bit size follows the
// type, 0 means the box runs to the end of the input. Returns false on a short read and on a
// size that cannot hold its own header, which ends any walk.
bool readBoxHeader(ByteReader& in, BoxHeader& box);

struct ChunkTable {
    uint64_t firstEntry = 0;  // file offset of entry 0
    uint32_t count = 0;
    uint32_t entrySize = 4;  // 4 for stco, 8 for co64
};

// Walks moov, the third trak, mdia, minf and stbl to the track's stco (or co64) table. Returns
// none when the walk ends first; the walk always moves forward and so always ends.
std::optional<ChunkTable> findGpsChunkTable(ByteReader& in);

// Finds the first top-level udat box and leaves the position right after its header; the box's
// size is not judged, since its records run to the end of the file.
bool findUdatBox(ByteReader& in);

}  // namespace dalvex::gps
