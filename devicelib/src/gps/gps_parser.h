// GpsParser extracts the GPS track of one camera recording at a time: an MP4 video (the third
// track's samples, or a top-level udat box) or a JPEG picture (its 128-byte trailer). Points are
// written to the output as text lines when they are found, or as one JSON document at the end.
//
// Instances are independent, so several threads may each parse with their own parser.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "gps/byte_reader.h"
#include "gps/gps_point.h"
#include "gps/records.h"

namespace dalvex::gps {

class GpsParser {
  public:
    // Receives every point the moment it is found, in track order, with its head value:
    // kOrdinaryPoint, or the file type code for the point of a header record.
    using PointSink = std::function<void(const GpsPoint& point, int head)>;

    GpsParser() = default;
    ~GpsParser();
    GpsParser(const GpsParser&) = delete;
    GpsParser& operator=(const GpsParser&) = delete;

    // Closes the current output, opens path for writing (none when it cannot be created or is
    // null) and chooses text lines or a JSON document.
    void openOutput(const char* path, bool jsonMode);
    void closeOutput();

    // Parses a file, a picture when its path ends in "jpg" in any case, a video otherwise.
    // Returns the file type code of the header held afterwards (0 for a null path).
    int parse(const char* mediaPath);

    // The two procedures on an opened input; each ends by writing the document in JSON mode and
    // closing the output. Both return the file type code.
    int parseVideo(ByteReader& in, bool udatFallback = true);
    int parsePicture(ByteReader& in);

    // Hands every point of later parses to sink as well (an empty function: to nobody).
    void setPointSink(PointSink sink) { sink_ = std::move(sink); }
    // With keep false, points() stays empty: memory no longer grows with the track, which a
    // caller that takes the points through a sink or the output does not need.
    void setKeepPoints(bool keep) { keepPoints_ = keep; }

    // Copies the server number of the held header; see TKUSB_GetServerNumber.
    int serverNumber(char* destination) const;

    const std::vector<GpsPoint>& points() const { return points_; }
    // Points found by the last parse, kept or not.
    size_t pointCount() const { return pointCount_; }
    const uint8_t (&header() const)[kRecordSize] { return header_; }
    int fileType() const { return header_[kFileTypeOffset]; }
    bool binaryRecords() const { return binaryRecords_; }

  private:
    struct Walk;

    void walkSamples(ByteReader& in);
    bool readSample(ByteReader& in, uint64_t offset, uint32_t index, Walk& walk);
    void takePayload(uint8_t (&payload)[kRecordSize], size_t length, uint32_t index, Walk& walk);
    void releaseHeld(uint32_t keyIndex, Walk& walk);
    void scanUdat(ByteReader& in);
    void clearPoints();
    void append(const GpsPoint& point, int head);
    GpsPoint decodeRecord(const uint8_t (&payload)[kRecordSize]) const;
    void finish();

    uint8_t header_[kRecordSize] = {};
    std::vector<GpsPoint> points_;
    size_t pointCount_ = 0;
    bool keepPoints_ = true;
    PointSink sink_;
    bool binaryRecords_ = false;
    std::FILE* output_ = nullptr;
    bool jsonMode_ = false;
};

// True when the path's last three characters are "jpg" in any case; no dot is needed.
bool isPicturePath(const char* path);

}  // namespace dalvex::gps
