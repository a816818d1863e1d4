// The two output forms of a GPS track: one text line per point, or one JSON document per file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gps/gps_point.h"

namespace dalvex::gps {

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

    // The same on a count kept by the caller.
    static void appendPoint(const GpsPoint& point, int fileType, uint64_t& count, std::string& out);
    static void appendFinish(int fileType, uint64_t& count, std::string& out);

  private:
    uint64_t count_ = 0;
};

// The whole track as one document, as JsonTrackWriter writes it.
std::string formatDocument(const std::vector<GpsPoint>& points, int fileType);

// The output of the exports: a file it opens and owns, written as text lines or one JSON
// document; the end of a parse writes the document's tail and closes the file. Without a file
// (none opened, or it could not be created) points are dropped.
class GpsFileOutput : public GpsSink {
  public:
    GpsFileOutput() = default;
    ~GpsFileOutput() override { close(); }
    GpsFileOutput(const GpsFileOutput&) = delete;
    GpsFileOutput& operator=(const GpsFileOutput&) = delete;

    // Closes the current file, opens path for writing (none when it cannot be created or is
    // null) and chooses text lines or a JSON document.
    void open(const char* path, bool jsonMode);
    void close();

    void point(const GpsPoint& point, int head, int fileType) override;
    void finish(int fileType) override;

  private:
    std::FILE* file_ = nullptr;
    bool jsonMode_ = false;
    JsonTrackWriter json_;
    std::string text_;  // the text of one point, kept to reuse its storage
};

}  // namespace dalvex::gps
