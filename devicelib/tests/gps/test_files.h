// Scratch files for the GPS tests: one private directory per test, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/portable.h"

namespace gpstest {

class TempDir {
  public:
    TempDir() : path_(testsupport::makeTempFolder("dalvex-gps-")) {}
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// An output file as a program reading it as text sees it. The output is a text stream: on Windows
// each line end reaches the disk with a CR put before its LF, which reading as text takes away.
inline std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A complete RMC sentence: 22°32.1234' N, 113°56.12345' W, 22.4 knots, course 84.4.
inline const char* const kRmc =
    "$GPRMC,123519,A,2232.1234,N,11356.12345,W,022.4,084.4,230394,003.1,W*6A";
// The fields of the line that kRmc gives, after the g-sensor values.
inline const char* const kRmcLineTail = "-113.9353908 +22.535390 41 84.400000";

}  // namespace gpstest
