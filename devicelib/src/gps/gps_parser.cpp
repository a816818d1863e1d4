#include "gps/gps_parser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "byte_order.h"
#include "gps/gps_output.h"
#include "gps/mp4_walk.h"
#include "gps/records.h"

namespace dalvex {

using namespace gps;

namespace {

// Samples met before the key are held until it arrives; slot n holds sample n.
constexpr uint32_t kHoldSlots = 60;
// A sample's length field and its longest payload.
constexpr size_t kSampleRead = 2 + kRecordSize;
constexpr size_t kNotRead = SIZE_MAX;
// The udat scan reads its records in blocks of this many.
constexpr size_t kUdatBlockRecords = 256;
// The fallback scan refuses paths shorter than this.
constexpr size_t kUdatMinPathLength = 4;

}  // namespace

struct GpsParser::Walk {
    bool keyKnown = false;
    int key = 0;
    uint8_t held[kHoldSlots][kRecordSize] = {};
    size_t heldLength[kHoldSlots] = {};
};

int GpsParser::fileType() const {
    return header_[kFileTypeOffset];
}

bool coordinateValue(std::string_view text, double limit, double& out) {
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) != 0) {
        ++at;
    }
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        ++at;
    }
    std::chars_format form = std::chars_format::general;
    if (text.size() - at > 2 && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
        form = std::chars_format::hex;
        at += 2;
    }
    if (at == text.size() || text[at] == '-' || text[at] == '+') {
        return false;
    }
    const char* end = text.data() + text.size();
    double value = 0;
    const auto result = std::from_chars(text.data() + at, end, value, form);
    // A number too large to hold is infinite, which no coordinate is.
    if (result.ptr != end || result.ec != std::errc() || !std::isfinite(value) ||
        std::fabs(value) > limit) {
        return false;
    }
    out = negative ? -value : value;
    return true;
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
        // Nothing to write; the sink is not finished (the exports' output stays open for the
        // next export call to close).
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
        append(*point, kOrdinaryPoint, false);
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

namespace {

// Marks the reads of its lifetime as scattered.
class ScatteredReads {
  public:
    explicit ScatteredReads(ByteReader& in) : in_(in) { in_.expectScatteredReads(true); }
    ~ScatteredReads() { in_.expectScatteredReads(false); }
    ScatteredReads(const ScatteredReads&) = delete;
    ScatteredReads& operator=(const ScatteredReads&) = delete;

  private:
    ByteReader& in_;
};

// Announces the sample reads of one block of offsets. Neighbouring and repeated offsets are
// announced as one range, which also keeps a table that names one sample many times cheap.
void announceSamples(ByteReader& in, const uint64_t* offsets, size_t count) {
    uint64_t start = 0;
    uint64_t end = 0;
    for (size_t k = 0; k < count; ++k) {
        const uint64_t sampleEnd =
            offsets[k] > UINT64_MAX - kSampleRead ? UINT64_MAX : offsets[k] + kSampleRead;
        if (k > 0 && offsets[k] >= start && offsets[k] <= end) {
            end = std::max(end, sampleEnd);
            continue;
        }
        if (k > 0) {
            in.announce(start, end - start);
        }
        start = offsets[k];
        end = sampleEnd;
    }
    if (count > 0) {
        in.announce(start, end - start);
    }
}

}  // namespace

void GpsParser::walkSamples(ByteReader& in) {
    binaryRecords_ = false;
    const std::optional<ChunkTable> table = findGpsChunkTable(in);
    if (!table) {
        return;
    }
    Walk walk;
    // Every entry costs a seek and a read, even one that gives no point, so the entries beyond
    // the cap are not read at all. The cap also keeps the loop below from wrapping.
    const uint32_t count = std::min(table->count, kMaxTrackEntries);
    std::vector<uint8_t> block(size_t(kOffsetBlock) * 8);
    std::vector<uint64_t> offsets(kOffsetBlock);
    std::vector<uint64_t> missing(kOffsetBlock);
    std::vector<size_t> sizes(kOffsetBlock);
    std::vector<uint8_t> samples(size_t(kOffsetBlock) * kSampleRead);
    // The samples lie far apart: reading ahead of each would fetch pages that are never used,
    // and a sample that is not at hand would cost a whole read-ahead window of the disk.
    const ScatteredReads scattered(in);
    for (uint32_t first = 0; first < count; first += kOffsetBlock) {
        const uint32_t wanted = std::min(kOffsetBlock, count - first);
        in.seek(table->firstEntry + uint64_t(first) * table->entrySize);
        const size_t got =
            in.read(block.data(), size_t(wanted) * table->entrySize) / table->entrySize;
        // The samples in memory are taken at once; the others are announced together and then
        // read, so that a cold disk fetches them side by side instead of one after another.
        size_t missed = 0;
        for (size_t k = 0; k < got; ++k) {
            const uint8_t* entry = &block[k * table->entrySize];
            offsets[k] = table->entrySize == 8 ? bytes::loadBe64(entry) : bytes::loadBe32(entry);
            if (!in.readAtHand(offsets[k], &samples[k * kSampleRead], kSampleRead, sizes[k])) {
                sizes[k] = kNotRead;
                missing[missed++] = offsets[k];
            }
        }
        announceSamples(in, missing.data(), missed);
        for (uint32_t k = 0; k < got; ++k) {
            uint8_t* sample = &samples[k * kSampleRead];
            if (sizes[k] == kNotRead) {
                in.seek(offsets[k]);
                sizes[k] = in.read(sample, kSampleRead);
            }
            if (!takeSample(sample, sizes[k], first + k, walk)) {
                return;
            }
        }
        if (got < wanted) {
            return;  // the table is cut short: its last offsets are not there to use
        }
    }
}

// Takes the got bytes read at a sample's offset: its length field and up to the longest payload,
// read together so that a sample costs one system call. Returns false when the walk must end.
bool GpsParser::takeSample(const uint8_t* sample, size_t got, uint32_t index, Walk& walk) {
    if (got < 2) {
        return false;
    }
    size_t length = bytes::loadBe16(sample);
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
        append(decodeRecord(payload), kOrdinaryPoint, true);
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
        append(headerPoint(header_), fileType(), false);
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
        append(decodeRecord(walk.held[n]), kOrdinaryPoint, true);
    }
}

void GpsParser::scanUdat(ByteReader& in) {
    binaryRecords_ = false;
    if (!findUdatBox(in)) {
        return;
    }
    // The records run to the end of the file, not to the end of the box; no more are read than
    // a chunk offset table may give.
    std::vector<uint8_t> block(kUdatBlockRecords * kRecordSize);
    for (size_t total = 0; total < kMaxTrackEntries; total += kUdatBlockRecords) {
        const size_t wanted = std::min(kUdatBlockRecords, kMaxTrackEntries - total) * kRecordSize;
        const size_t got = in.read(block.data(), wanted);
        const size_t records = got / kRecordSize;
        for (size_t r = 0; r < records; ++r) {
            uint8_t record[kRecordSize];
            std::memcpy(record, block.data() + r * kRecordSize, kRecordSize);
            append(decodeBinaryRecord(record), kOrdinaryPoint, true);
        }
        if (got < wanted) {
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

void GpsParser::append(GpsPoint point, int head, bool fromSentence) {
    // A sentence's coordinate is in signed-degree form; "0" (a field without a point) and the
    // defaults of a sentence that did not decode mean it carried none.
    const auto carried = [fromSentence](const char* text) {
        return !fromSentence || text[0] == '+' || text[0] == '-';
    };
    const bool latitude =
        carried(point.lat_text) && coordinateValue(point.lat_text, 90, point.latitude);
    const bool longitude =
        carried(point.lon_text) && coordinateValue(point.lon_text, 180, point.longitude);
    point.latitude = latitude ? point.latitude : NAN;
    point.longitude = longitude ? point.longitude : NAN;
    // A sentence without status A has no position, whatever its texts hold.
    point.has_position = latitude && longitude && (!fromSentence || point.fix != 0) ? 1 : 0;
    ++pointCount_;
    if (keepPoints_) {
        points_.push_back(point);
    }
    if (function_) {
        function_(point, head);
    }
    if (sink_ != nullptr) {
        // The header is settled before the first point it leads.
        sink_->point(point, head, fileType());
    }
}

void GpsParser::finish() {
    if (sink_ != nullptr) {
        sink_->finish(fileType());
    }
}

}  // namespace dalvex
