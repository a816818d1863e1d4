// The map formats of a GPS track: GPX 1.1, KML 2.2, CSV and GeoJSON. Each output is a head, one
// part per source file in input order, and a tail; the head names every source with its size and
// SHA-256.
#pragma once

#include <string>
#include <vector>

#include "gps/gps_point.h"

namespace cli {

enum class GpsFormat { kText, kJson, kGpx, kKml, kCsv, kGeoJson };

struct TrackPoint {
    dalvex::gps::GpsPoint point;
    int head = -1;  // the parser's head value: -1, or the file type code of a header point
};

struct FileTrack {
    std::string path;
    uint64_t size = 0;
    std::string sha256;
    bool picture = false;
    std::vector<TrackPoint> points;
};

// The position of a point that has one: a sentence with status A and both coordinates, or the
// position text of a header record or picture trailer that reads as coordinates.
struct Position {
    double latitude = 0;
    double longitude = 0;
};
bool positionOf(const FileTrack& track, const TrackPoint& p, Position& out);

// "YYYY-MM-DDThh:mm:ss.sssZ" from the sentence's date and time; "" when it carried
// neither, or a date or time no calendar has.
std::string utcTime(const dalvex::gps::GpsPoint& point);

std::string renderHead(GpsFormat format, const std::vector<const FileTrack*>& sources);
std::string renderTrack(GpsFormat format, const FileTrack& track);
// What goes between two tracks of one output.
const char* separatorOf(GpsFormat format);
std::string renderTail(GpsFormat format);

const char* extensionOf(GpsFormat format);

}  // namespace cli
