// The GPS track of a camera recording, as data: a parser that finds the points of an MP4 video
// (the third track's samples, or a top-level udat box) or of a JPEG picture (its 128-byte
// trailer) and hands each one to a sink the moment it is found, and the two writers that give
// the library's own outputs, one text line per point or one JSON document per file.
//
// Instances are independent: several threads may each parse with their own parser and sinks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dalvex {

namespace gps {
class ByteReader;
}

constexpr int kGpsPointTextSize = 31;  // 30 characters and the terminator
constexpr size_t kGpsRecordSize = 128;

// Head value of an ordinary point; the point of a header record carries the file type code
// (0 to 255) instead.
constexpr int kOrdinaryPoint = -1;

// One point of a track. The texts are what the text output writes as they are; the numbers are
// decoded beside them so that a caller never parses the texts again.
struct GpsPoint {
    float gsensor_x = 0.0F;
    float gsensor_y = 0.0F;
    float gsensor_z = 0.0F;
    char lon_text[kGpsPointTextSize] = {};
    char lat_text[kGpsPointTextSize] = {};
    // UTC date of an RMC sentence (day 1-31, month 1-12, the sentence's two-digit year);
    // utc_day is 0 when the sentence carried no valid date.
    uint16_t utc_year : 7 = 0;
    uint16_t utc_month : 4 = 0;
    uint16_t utc_day : 5 = 0;
    int32_t speed = 0;  // km/h
    int32_t mark = 0;   // byte 1 of a binary record, 0 for every other kind
    // UTC time of an RMC sentence in milliseconds since midnight, valid when has_utc_time is 1.
    uint32_t utc_millis : 27 = 0;
    uint32_t has_utc_time : 1 = 0;
    // 1 when an RMC sentence had status 'A' and both of its coordinates decoded.
    uint32_t fix : 1 = 0;
    // 1 when the point has a position: a sentence with a fix, or a header record or picture
    // trailer whose texts read as coordinates; latitude and longitude then hold it.
    uint32_t has_position : 1 = 0;
    double north_angle = 0.0;  // the course, degrees from north
    // The texts as signed decimal degrees; NaN where a text is no coordinate in range
    // (|latitude| <= 90, |longitude| <= 180) or a sentence carried none.
    double latitude = 0.0;
    double longitude = 0.0;
};

// The date, time and fix live in what would otherwise be padding; the decoded position adds
// its two numbers.
static_assert(sizeof(GpsPoint) == 112, "GpsPoint grew");

// Receives the points of one parse at a time, in track order.
class GpsSink {
  public:
    virtual ~GpsSink() = default;
    // A point and its head value; fileType is that of the header held when the point was found
    // (a header comes before the points it leads).
    virtual void point(const GpsPoint& point, int head, int fileType) = 0;
    // The parse ended; fileType is that of the header held at the end. An input that cannot
    // be opened gives no call at all.
    virtual void finish(int fileType) = 0;
};

// "x y z lon lat speed angle mark\r\n" per point, with "head:" and the file type code for a
// header point; a point with an empty position text prints "0 0" for the two texts. Writes to a
// FILE* (which stays the caller's) or appends to a string.
class GpsTextWriter : public GpsSink {
  public:
    explicit GpsTextWriter(std::FILE* out) : file_(out) {}
    explicit GpsTextWriter(std::string& out) : text_(&out) {}
    void point(const GpsPoint& point, int head, int fileType) override;
    void finish(int /*fileType*/) override {}

  private:
    std::FILE* file_ = nullptr;
    std::string* text_ = nullptr;
    std::string line_;
};

// One JSON document per parse, written a point at a time, so that memory does not grow with the
// track. The text is byte for byte what jsoncpp's Json::StyledWriter writes for the document's
// value tree: members sorted by key (file_type, gps_data, gps_number), three spaces of indent.
// Each point is an object of time (its 1-based position), gsensor_x/y/z, gps_lat (the longitude
// text), gps_lgt (the latitude text), speed, mark and north_angle; that pairing of the position
// keys is the one readers of these documents expect. gps_data is null for an empty track.
class GpsJsonWriter : public GpsSink {
  public:
    explicit GpsJsonWriter(std::FILE* out) : file_(out) {}
    explicit GpsJsonWriter(std::string& out) : text_(&out) {}
    void point(const GpsPoint& point, int head, int fileType) override;
    // Writes the document's tail, or the whole document of an empty track; the writer is then
    // ready for the next document.
    void finish(int fileType) override;

  private:
    void put();
    std::FILE* file_ = nullptr;
    std::string* text_ = nullptr;
    std::string part_;
    uint64_t count_ = 0;
};

// Limit: at most kMaxTrackEntries (1,048,576) entries of a video's chunk offset table are read,
// and at most as many udat records, so one parse gives at most that many points. A camera writes
// about one sample a second, so the cap is far above any recording; it bounds the work and output
// that a small hostile file can cause (every entry of a table may name the same sample).
constexpr uint32_t kMaxTrackEntries = uint32_t(1) << 20;

class GpsParser {
  public:
    using PointFunction = std::function<void(const GpsPoint& point, int head)>;

    GpsParser() = default;
    GpsParser(const GpsParser&) = delete;
    GpsParser& operator=(const GpsParser&) = delete;

    // The sink of later parses (null: none); it stays the caller's.
    void setSink(GpsSink* sink) { sink_ = sink; }
    // Hands every point of later parses to a function as well (an empty function: to nobody).
    void setPointFunction(PointFunction function) { function_ = std::move(function); }
    // With keep false, points() stays empty: memory no longer grows with the track, which a
    // caller that takes the points through a sink does not need.
    void setKeepPoints(bool keep) { keepPoints_ = keep; }

    // Parses a file, a picture when its path ends in "jpg" in any case, a video otherwise.
    // Returns the file type code of the header held afterwards (0 for a null path).
    int parse(const char* mediaPath);
    // The two procedures on an opened input; both end with the sink's finish and return the
    // file type code.
    int parseVideo(gps::ByteReader& in, bool udatFallback = true);
    int parsePicture(gps::ByteReader& in);

    // Copies the server number of the held header; see TKUSB_GetServerNumber.
    int serverNumber(char* destination) const;

    const std::vector<GpsPoint>& points() const { return points_; }
    // Points found by the last parse, kept or not.
    size_t pointCount() const { return pointCount_; }
    const uint8_t (&header() const)[kGpsRecordSize] { return header_; }
    int fileType() const;
    bool binaryRecords() const { return binaryRecords_; }

  private:
    struct Walk;

    void walkSamples(gps::ByteReader& in);
    bool takeSample(const uint8_t* sample, size_t got, uint32_t index, Walk& walk);
    void takePayload(uint8_t (&payload)[kGpsRecordSize], size_t length, uint32_t index, Walk& walk);
    void releaseHeld(uint32_t keyIndex, Walk& walk);
    void scanUdat(gps::ByteReader& in);
    void clearPoints();
    void append(GpsPoint point, int head, bool fromSentence);
    GpsPoint decodeRecord(const uint8_t (&payload)[kGpsRecordSize]) const;
    void finish();

    uint8_t header_[kGpsRecordSize] = {};
    std::vector<GpsPoint> points_;
    size_t pointCount_ = 0;
    bool keepPoints_ = true;
    GpsSink* sink_ = nullptr;
    PointFunction function_;
    bool binaryRecords_ = false;
};

// True when the path's last three characters are "jpg" in any case; no dot is needed.
bool isPicturePath(const char* path);

// A coordinate text as the number it reads as (optional white space and sign, then a decimal or
// hexadecimal number, nothing after it), when that is finite and at most limit in size.
bool coordinateValue(std::string_view text, double limit, double& out);

}  // namespace dalvex
