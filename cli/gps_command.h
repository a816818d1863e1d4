// dalvex gps: the tracks of videos and pictures, parsed in parallel, written as the library's
// text lines or JSON document, or as GPX, KML, CSV or GeoJSON.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace cli {

struct GpsOptions {
    std::vector<std::string> paths;
    std::string format = "text";
    std::string output;  // -o FILE
    std::string outDir;  // --out-dir DIR
    unsigned jobs = 0;   // 0: the number of cores
    bool merge = false;
};

void addGpsOptions(CLI::App* command, GpsOptions& options);

// Returns the exit code. With json, standard output is one JSON document even without tracks.
int runGps(const GpsOptions& options, bool json);

}  // namespace cli
