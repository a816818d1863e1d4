#include "gps/gps_parser.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "gps/gps_output.h"
#include "gps/mp4_walk.h"
#include "gps/records.h"

namespace dalvex::gps {

namespace {

// Samples met before the key are held until it arrives; slot n holds sample n.
constexpr uint32_t kHoldSlots = 60;
// Offsets are fetched in blocks so that a table of any length is read whole in bounded memory.
constexpr uint32_t kOffsetBlock = 512;
// The udat scan reads its records in blocks of this many.
constexpr size_t kUdatBlockRecords = 256;
constexpr size_t kOutputBuffer = 64 * 1024;
// The fallback scan refuses paths shorter than this.
constexpr size_t kUdatMinPathLength = 4;

}  // namespace

struct GpsParser::Walk {
    bool keyKnown = false;
    int key = 0;
    uint8_t held[kHoldSlots][kRecordSize] = {};
    size_t heldLength[kHoldSlots] = {};
};

GpsParser::~GpsParser() {
    closeOutput();
}

void GpsParser::openOutput(const char* path, bool jsonMode) {
    closeOutput();
    jsonMode_ = jsonMode;
    output_ = path != nullptr ? std::fopen(path, "w") : nullptr;
    if (output_ != nullptr) {
        // A track is written a line at a time; a larger buffer saves most of the system calls.
        std::setvbuf(output_, nullptr, _IOFBF, kOutputBuffer);
    }
}

void GpsParser::closeOutput() {
    if (output_ != nullptr) {
        std::fclose(output_);
        output_ = nullptr;
    }
}

bool isPicturePath(const char* path) {
    const size_t length = std::strlen(path);
    if (length < 3) {
        return false;
    }
    const char* tail = path + length - 3;
    return std::tolower(static_cast<unsigned char>(tail[0])) == 'j' &&
           std::tolower(static_cast<unsigned char>(tail[1])) == 'p' &&
           std::tolower(static_cast<unsigned char>(tail[2])) == 'g';
}

int GpsParser::parse(const char* mediaPath) {
    if (mediaPath == nullptr) {
        return 0;
    }
    const bool picture = isPicturePath(mediaPath);
    clearPoints();
    if (picture) {
        // The header is cleared even when the picture cannot be opened.
        std::memset(header_, 0, sizeof header_);
    }
    FileReader in;
    if (!in.open(mediaPath)) {
        // Nothing to write; the output stays open for the next export call to close.
        return fileType();
    }
    return picture ? parsePicture(in)
                   : parseVideo(in, std::strlen(mediaPath) >= kUdatMinPathLength);
}

int GpsParser::parseVideo(ByteReader& in, bool udatFallback) {
    clearPoints();
    walkSamples(in);
    if (pointCount_ == 0 && udatFallback) {
        scanUdat(in);
    }
    finish();
    return fileType();
}

int GpsParser::parsePicture(ByteReader& in) {
    clearPoints();
    std::memset(header_, 0, sizeof header_);
    if (in.size() >= kRecordSize) {
        in.seek(in.size() - kRecordSize);
        in.read(header_, kRecordSize);
    }
    if (const std::optional<GpsPoint> point = trailerPoint(header_)) {
        append(*point, kOrdinaryPoint);
    }
    finish();
    return fileType();
}

int GpsParser::serverNumber(char* destination) const {
    if (destination == nullptr) {
        return 0;
    }
    const char* number = reinterpret_cast<const char*>(header_ + kServerNumberOffset);
    const size_t length = strnlen(number, kServerNumberSize);
    // A full-width number has no terminator in the header, and none is written.
    std::memcpy(destination, number, length < kServerNumberSize ? length + 1 : kServerNumberSize);
    return static_cast<int>(length);
}

void GpsParser::walkSamples(ByteReader& in) {
    binaryRecords_ = false;
    const std::optional<ChunkTable> table = findGpsChunkTable(in);
    if (!table) {
        return;
    }
    Walk walk;
    uint8_t block[kOffsetBlock * 8];
    for (uint32_t first = 0; first < table->count; first += kOffsetBlock) {
        const uint32_t wanted = std::min(kOffsetBlock, table->count - first);
        in.seek(table->firstEntry + uint64_t(first) * table->entrySize);
        const size_t got = in.read(block, size_t(wanted) * table->entrySize) / table->entrySize;
        for (uint32_t k = 0; k < got; ++k) {
            uint64_t offset = 0;
            for (uint32_t b = 0; b < table->entrySize; ++b) {
                offset = offset << 8 | block[k * table->entrySize + b];
            }
            if (!readSample(in, offset, first + k, walk)) {
                return;
            }
        }
        if (got < wanted) {
            return;  // the table is cut short: its last offsets are not there to use
        }
    }
}

// Returns false when the walk must end.
bool GpsParser::readSample(ByteReader& in, uint64_t offset, uint32_t index, Walk& walk) {
    // The length field and the longest payload come in one read: a sample costs one system call.
    uint8_t sample[2 + kRecordSize];
    in.seek(offset);
    const size_t got = in.read(sample, sizeof sample);
    if (got < 2) {
        return false;
    }
    size_t length = size_t(sample[0]) << 8 | sample[1];
    if (length > kRecordSize) {
        length = kRecordSize;
    }
    if (length == 0) {
        return true;
    }
    // Bytes beyond the end of the file stay zero.
    uint8_t payload[kRecordSize] = {};
    std::memcpy(payload, sample + 2, std::min(length, got - 2));
    takePayload(payload, length, index, walk);
    return true;
}

void GpsParser::takePayload(uint8_t (&payload)[kRecordSize], size_t length, uint32_t index,
                            Walk& walk) {
    if (walk.keyKnown) {
        descramble(payload, length, walk.key);
        append(decodeRecord(payload), kOrdinaryPoint);
        return;
    }
    if (length == kKeyRecordSize) {
        walk.key = keyFromDigits(payload + 1);
        walk.keyKnown = true;
        releaseHeld(index, walk);
        return;
    }
    if (length == kRecordSize && payload[kHeaderMarkerOffset] == kHeaderMarker) {
        std::memcpy(header_, payload, kRecordSize);
        walk.key = keyFromDigits(header_ + kHeaderKeyOffset);
        walk.keyKnown = true;
        binaryRecords_ = true;
        releaseHeld(index, walk);
        append(headerPoint(header_), fileType());
        return;
    }
    if (length == kRecordSize) {
        // A full-size record without the marker replaces the held header with nothing.
        std::memset(header_, 0, sizeof header_);
    }
    if (index < kHoldSlots) {
        std::memcpy(walk.held[index], payload, kRecordSize);
        walk.heldLength[index] = length;
    }
}

void GpsParser::releaseHeld(uint32_t keyIndex, Walk& walk) {
    const uint32_t count = std::min(keyIndex, kHoldSlots);
    for (uint32_t n = 0; n < count; ++n) {
        // Each held record is descrambled over its own length: bytes past it were never
        // scrambled, and a slot of an empty sample stays all zeros.
        descramble(walk.held[n], walk.heldLength[n], walk.key);
        append(decodeRecord(walk.held[n]), kOrdinaryPoint);
    }
}

void GpsParser::scanUdat(ByteReader& in) {
    binaryRecords_ = false;
    if (!findUdatBox(in)) {
        return;
    }
    // The records run to the end of the file, not to the end of the box.
    std::vector<uint8_t> block(kUdatBlockRecords * kRecordSize);
    for (;;) {
        const size_t got = in.read(block.data(), block.size());
        const size_t records = got / kRecordSize;
        for (size_t r = 0; r < records; ++r) {
            uint8_t record[kRecordSize];
            std::memcpy(record, block.data() + r * kRecordSize, kRecordSize);
            append(decodeBinaryRecord(record), kOrdinaryPoint);
        }
        if (got < block.size()) {
            return;
        }
    }
}

GpsPoint GpsParser::decodeRecord(const uint8_t (&payload)[kRecordSize]) const {
    return binaryRecords_ ? decodeBinaryRecord(payload) : decodeTextRecord(payload);
}

void GpsParser::clearPoints() {
    points_.clear();
    pointCount_ = 0;
}

void GpsParser::append(const GpsPoint& point, int head) {
    ++pointCount_;
    if (keepPoints_) {
        points_.push_back(point);
    }
    if (sink_) {
        sink_(point, head);
    }
    if (output_ != nullptr && !jsonMode_) {
        const std::string line = formatPointLine(point, head);
        std::fwrite(line.data(), 1, line.size(), output_);
    }
}

void GpsParser::finish() {
    if (jsonMode_ && output_ != nullptr) {
        const std::string document = formatDocument(points_, fileType());
        std::fwrite(document.data(), 1, document.size(), output_);
    }
    closeOutput();
}

}  // namespace dalvex::gps
