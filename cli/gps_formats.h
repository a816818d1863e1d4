// The pieces the GPS renderers share, and the track writer of each map format.
#pragma once

#include <string>
#include <vector>

#include "gps_render.h"

namespace cli::gpsformat {

// Parses the source's file, handing every point to sink.
void parseInto(const GpsSource& source, dalvex::GpsSink& sink);

// A function of the points of a parse.
template <typename Take>
class EachPoint : public dalvex::GpsSink {
  public:
    explicit EachPoint(Take take) : take_(std::move(take)) {}
    void point(const dalvex::GpsPoint& p, int, int) override { take_(p); }
    void finish(int) override {}

  private:
    Take take_;
};

template <typename Take>
void eachPoint(const GpsSource& source, Take take) {
    EachPoint<Take> sink(std::move(take));
    parseInto(source, sink);
}

// printf's format of a number, with a negative zero written as zero.
std::string number(double value, const char* format = "%.7f");
// A course or speed that means something: finite and in range.
bool validCourse(double course);
bool validSpeed(int32_t speed);

std::string xmlEscape(const std::string& raw);
std::string sourceLine(const GpsSource& source);
std::string baseName(const GpsSource& source);
std::string sourcesLine(const std::vector<const GpsSource*>& sources);

void gpxTrack(const GpsSource& source, OutputFile& out);
void kmlTrack(const GpsSource& source, OutputFile& out);
void csvTrack(const GpsSource& source, OutputFile& out);
void geoJsonTrack(const GpsSource& source, OutputFile& out);

}  // namespace cli::gpsformat
