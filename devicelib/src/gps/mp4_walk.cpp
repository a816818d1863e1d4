#include "gps/mp4_walk.h"

#include <cstring>
#include <initializer_list>

#include "byte_order.h"
namespace dalvex::gps {

namespace {

uint64_t addSaturated(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

void skipBox(ByteReader& in, const BoxHeader& box) {
    in.seek(box.end());
}

// Reads child headers until one of the wanted types. Every header read here lies below the third
// track, where the only bound is the running total of the sizes met above it.
bool descend(ByteReader& in, uint64_t limit, std::initializer_list<const char*> wanted,
             BoxHeader& box) {
    for (;;) {
        if (in.tell() > limit || !readBoxHeader(in, box)) {
            return false;
        }
        for (const char* type : wanted) {
            if (std::memcmp(box.type, type, 4) == 0) {
                return true;
            }
        }
        skipBox(in, box);
    }
}

}  // namespace

bool BoxHeader::is(const char (&name)[5]) const {
    return std::memcmp(type, name, 4) == 0;
}

uint64_t BoxHeader::end() const {
    return addSaturated(start, size);
}

namespace {

// Reads the header fields without judging the size; false only on a short read.
bool readBoxFields(ByteReader& in, BoxHeader& box) {
    uint8_t header[8];
    box.start = in.tell();
    if (in.read(header, 8) != 8) {
        return false;
    }
    std::memcpy(box.type, header + 4, 4);
    box.size = bytes::loadBe32(header);
    box.headerSize = 8;
    if (box.size == 1) {
        uint8_t large[8];
        if (in.read(large, 8) != 8) {
            return false;
        }
        box.size = bytes::loadBe64(large);
        box.headerSize = 16;
    } else if (box.size == 0) {
        box.size = in.size() - box.start;
    }
    return true;
}

}  // namespace

bool readBoxHeader(ByteReader& in, BoxHeader& box) {
    return readBoxFields(in, box) && box.size >= box.headerSize;
}

std::optional<ChunkTable> findGpsChunkTable(ByteReader& in) {
    // The running total of box sizes is the only bound below the third track; it counts the
    // top-level boxes up to moov and the moov children up to the third trak.
    uint64_t total = 0;
    BoxHeader box;
    in.seek(0);
    for (;;) {
        if (!readBoxHeader(in, box)) {
            return std::nullopt;
        }
        total = addSaturated(total, box.size);
        if (box.is("moov")) {
            break;
        }
        skipBox(in, box);
        if (in.atEnd()) {
            return std::nullopt;
        }
    }
    // The children are read on past the end of moov, up to the end of the file.
    int tracks = 0;
    for (;;) {
        if (in.atEnd() || !readBoxHeader(in, box)) {
            return std::nullopt;
        }
        total = addSaturated(total, box.size);
        if (box.is("trak") && ++tracks == 3) {
            break;
        }
        skipBox(in, box);
    }
    for (const char* type : {"mdia", "minf", "stbl"}) {
        if (!descend(in, total, {type}, box)) {
            return std::nullopt;
        }
    }
    // Videos over 4 GiB carry 64-bit chunk offsets in co64 instead of stco.
    if (!descend(in, total, {"stco", "co64"}, box) || in.tell() > total) {
        return std::nullopt;
    }
    uint8_t head[8];
    if (in.read(head, 8) != 8) {
        return std::nullopt;
    }
    ChunkTable table;
    table.count = static_cast<uint32_t>(bytes::loadBe32(head + 4));
    table.entrySize = box.is("co64") ? 8 : 4;
    table.firstEntry = in.tell();
    if (table.count == 0) {
        return std::nullopt;
    }
    return table;
}

bool findUdatBox(ByteReader& in) {
    BoxHeader box;
    in.seek(0);
    for (;;) {
        if (!readBoxFields(in, box)) {
            return false;
        }
        // The records run to the end of the file whatever the udat box's size says, so the type
        // is compared first: even a size too small for the header still marks the box.
        if (box.is("udat")) {
            return true;
        }
        if (box.size < box.headerSize) {
            return false;
        }
        skipBox(in, box);
        if (in.atEnd()) {
            return false;
        }
    }
}

}  // namespace dalvex::gps
