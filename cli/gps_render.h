// The outputs of dalvex gps, written as the parser finds the points so that memory does not grow
// with the tracks: the library's text lines and JSON documents, and the map formats GPX 1.1,
// KML 2.2, CSV and GeoJSON. Each output is a head, one part per source file in input order, and
// a tail; the head of a map format names every source with its size and SHA-256.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dalvex/gps.h"
#include "output_file.h"

namespace cli {

enum class GpsFormat { kText, kJson, kGpx, kKml, kCsv, kGeoJson };

// One input file and what a first parse found in it.
struct GpsSource {
    std::string path;
    uint64_t size = 0;
    std::string sha256;
    size_t points = 0;
    size_t withoutFix = 0;
    // Points with a position; two after each other more than 180 degrees of longitude apart
    // cross the antimeridian.
    size_t fixes = 0;
    bool crossesAntimeridian = false;
};

// Parses the file once, counting its points.
void surveyTrack(GpsSource& source);

// "YYYY-MM-DDThh:mm:ss.sssZ" from the sentence's date and time; "" when it carried
// neither, or a date or time no calendar has.
std::string utcTime(const dalvex::GpsPoint& point);

// File names are bytes: a sequence that is not UTF-8, or a control character that XML cannot
// carry (or a terminal would obey), becomes U+FFFD so that every output stays readable.
std::string readableText(const std::string& bytes);

// One whole output of the sources, in their order; a JSON output of several sources is an
// array of their documents. No source at all gives the format's empty document.
void writeOutput(GpsFormat format, const std::vector<const GpsSource*>& sources, OutputFile& out);

const char* extensionOf(GpsFormat format);

}  // namespace cli
