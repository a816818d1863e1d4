// The two output forms of a GPS track: one text line per point, or one JSON document per file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gps/gps_point.h"

namespace dalvex::gps {

// Head value of an ordinary point; a header point carries its file type code (0 to 255).
constexpr int kOrdinaryPoint = -1;

// "x y z lon lat speed angle mark\r\n", with "head:" and the file type code for a header point;
// a point with an empty position text prints "0 0" for the two texts.
std::string formatPointLine(const GpsPoint& point, int head);

// Writes the JSON document of a track a point at a time, so that memory does not grow with the
// track. The text is byte for byte what jsoncpp's Json::StyledWriter writes for the document's
// value tree: members sorted by key (file_type, gps_data, gps_number), three spaces of indent,
// numbers and strings formatted and escaped as jsoncpp formats them. Each point is an object of
// time (its 1-based position), gsensor_x/y/z, gps_lat (the longitude text), gps_lgt (the
// latitude text), speed, mark and north_angle; that pairing of the position keys is the one
// readers of these documents expect. gps_data is null for an empty track.
class JsonTrackWriter {
  public:
    // Appends the next point's text to out; the first point brings the document's head, which
    // holds the file type code.
    void point(const GpsPoint& point, int fileType, std::string& out);
    // Appends the rest of the document to out: its tail, or the whole document of an empty
    // track. The writer is then ready for the next document.
    void finish(int fileType, std::string& out);

  private:
    uint64_t count_ = 0;
};

// The whole track as one document, as JsonTrackWriter writes it.
std::string formatDocument(const std::vector<GpsPoint>& points, int fileType);

}  // namespace dalvex::gps
