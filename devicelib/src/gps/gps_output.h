// The two output forms of a GPS track: one text line per point, or one JSON document per file.
#pragma once

#include <string>
#include <vector>

#include "gps/gps_point.h"

namespace dalvex::gps {

// Head value of an ordinary point; a header point carries its file type code (0 to 255).
constexpr int kOrdinaryPoint = -1;

// "x y z lon lat speed angle mark\r\n", with "head:" and the file type code for a header point;
// a point with an empty position text prints "0 0" for the two texts.
std::string formatPointLine(const GpsPoint& point, int head);

// The whole track as jsoncpp's styled text: gps_number, file_type and the gps_data array (null
// when the track is empty). "gps_lat" carries the longitude text and "gps_lgt" the latitude text,
// which is the pairing that readers of these documents expect.
std::string formatDocument(const std::vector<GpsPoint>& points, int fileType);

}  // namespace dalvex::gps
