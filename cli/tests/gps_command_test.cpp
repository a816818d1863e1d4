// dalvex gps on generated videos and pictures: the library's own text and JSON byte for byte, the
// map formats read back by gpsbabel, batches with a broken file, and order under parallel jobs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dalvex.h"
#include "dalvex/gps.h"
#include "gps/mp4_fixture.h"
#include "gps/test_files.h"
#include "run_cli.h"

namespace {

using clitest::run;
namespace fx = gpsfixture;

// A video of n text-record samples after a key record; every third sentence has status V.
fx::Layout video(int n, int seed) {
    fx::VideoSpec v;
    const std::string digits = "1234567" + std::to_string(seed % 10);
    v.samples.push_back({fx::keyRecord(digits)});
    for (int i = 0; i < n; ++i) {
        char s[128];
        std::snprintf(s, sizeof s,
                      "$GPRMC,%06d,%c,%04d.%04d,N,%05d.%05d,W,0%02d.4,084.4,230326,,*6A",
                      120000 + i, i % 3 == 2 ? 'V' : 'A', 2200 + seed, 1000 + 7 * i, 11300 + seed,
                      2000 + 11 * i, i % 50);
        v.samples.push_back({fx::scramble(fx::textRecord(i, -i, 1000, s), fx::keyOf(digits))});
    }
    return fx::layoutVideo(v);
}

fx::Bytes picture(int seed) {
    fx::HeaderFields h;
    h.position = "N4" + std::to_string(seed) + ".12345;?E01" + std::to_string(seed) + ".54321";
    return fx::picture(fx::headerRecord(h));
}

struct Pair {
    double lat, lon;
};

// The positions the library finds in a file, those with a fix (sentence status A, or a
// picture's trailer) or all of them.
std::vector<Pair> libraryPositions(const std::string& path, bool all) {
    dalvex::GpsParser parser;
    parser.parse(path.c_str());
    std::vector<Pair> out;
    const bool picture = dalvex::isPicturePath(path.c_str());
    for (const auto& p : parser.points()) {
        if (all || picture || p.fix)
            out.push_back({std::strtod(p.lat_text, nullptr), std::strtod(p.lon_text, nullptr)});
    }
    return out;
}

// Every waypoint, route point and track point gpsbabel reads from a file, from its GPX output.
std::vector<Pair> gpsbabelPositions(const std::string& format, const std::string& path) {
    const std::string gpx = path + ".read.gpx";
    const std::string command =
        "gpsbabel -w -r -t -i " + format + " -f '" + path + "' -o gpx -F '" + gpx + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return {};
    const std::string text = gpstest::readFile(gpx);
    std::vector<Pair> out;
    for (size_t at = 0; (at = text.find("pt lat=\"", at)) != std::string::npos;) {
        at += 8;
        const double lat = std::strtod(text.c_str() + at, nullptr);
        const size_t lon = text.find("lon=\"", at);
        out.push_back({lat, std::strtod(text.c_str() + lon + 5, nullptr)});
    }
    return out;
}

std::string sha256sum(const std::string& path) {
    std::FILE* pipe = popen(("sha256sum '" + path + "'").c_str(), "r");
    char digest[65] = {};
    const size_t n = pipe ? std::fread(digest, 1, 64, pipe) : 0;
    if (pipe)
        pclose(pipe);
    return std::string(digest, n);
}

void expectSamePositions(std::vector<Pair> a, std::vector<Pair> b) {
    auto order = [](const Pair& x, const Pair& y) {
        return std::tie(x.lat, x.lon) < std::tie(y.lat, y.lon);
    };
    std::sort(a.begin(), a.end(), order);
    std::sort(b.begin(), b.end(), order);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_NEAR(a[i].lat, b[i].lat, 2e-6) << i;
        EXPECT_NEAR(a[i].lon, b[i].lon, 2e-6) << i;
    }
}

class GpsCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.file("media/day2"));
        for (int i = 0; i < 6; ++i)
            files.push_back(writeVideo("media/v" + std::to_string(i) + ".mp4", 5 + i * 7, i));
        files.push_back(writeVideo("media/day2/v6.MP4", 40, 6));
        for (int i = 0; i < 2; ++i) {
            files.push_back(dir.file("media/day2/p" + std::to_string(i) + ".jpg"));
            fx::writeBytes(files.back(), picture(i));
        }
    }
    std::string writeVideo(const std::string& name, int n, int seed) {
        fx::writeLayout(dir.file(name), video(n, seed));
        return dir.file(name);
    }

    gpstest::TempDir dir;
    std::vector<std::string> files;
};

TEST_F(GpsCommand, TextAndJsonAreWhatTheExportsWrite) {
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const std::string reference = dir.file("reference");
        TKUSB_ParseVideoFile(file.c_str(), reference.c_str());
        const clitest::Result text = run({"gps", file});
        EXPECT_EQ(text.code, 0) << text.err;
        EXPECT_EQ(text.out, gpstest::readFile(reference));
        TKUSB_ParseVideoFileToJson(file.c_str(), reference.c_str());
        const clitest::Result json = run({"gps", "--format", "json", file});
        EXPECT_EQ(json.out, gpstest::readFile(reference));
    }
}

TEST_F(GpsCommand, GpsbabelReadsEveryMapFormatWithTheLibrarysPoints) {
    std::vector<Pair> fixed, all, starts;
    for (const std::string& file : files) {
        const std::vector<Pair> track = libraryPositions(file, false);
        fixed.insert(fixed.end(), track.begin(), track.end());
        // KML marks the start of each line with a placemark of its own.
        starts.insert(starts.end(), track.begin(), track.end());
        if (track.size() >= 2)
            starts.push_back(track.front());
        for (const Pair& p : libraryPositions(file, true))
            all.push_back(p);
    }
    ASSERT_LT(fixed.size(), all.size());  // some points have no fix
    const struct {
        const char* format;
        const char* reader;
        const std::vector<Pair>& expected;
    } cases[] = {{"gpx", "gpx", fixed},
                 {"kml", "kml", starts},
                 {"geojson", "geojson", fixed},
                 {"csv", "unicsv", all}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const std::string out = dir.file(std::string("all.") + c.format);
        const clitest::Result r =
            run({"gps", dir.file("media"), "--merge", "--format", c.format, "-o", out});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.err.find("9 files, "), std::string::npos) << r.err;
        expectSamePositions(gpsbabelPositions(c.reader, out), c.expected);
        // Each source is named with its digest.
        EXPECT_NE(gpstest::readFile(out).find(sha256sum(files[3])), std::string::npos);
    }
}

TEST_F(GpsCommand, ABrokenFileIsReportedAndSkipped) {
    fx::writeBytes(dir.file("media/broken.mp4"), fx::Bytes(300, 0x5A));
    const std::string out = dir.file("tracks");
    const clitest::Result r = run({"gps", dir.file("media"), "--format", "gpx", "--out-dir", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("broken.mp4: no GPS track found, skipped"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("1 failed"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("files/s"), std::string::npos) << "a progress line off a terminal";
    size_t written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        EXPECT_EQ(entry.path().extension(), ".gpx");
        ++written;
    }
    EXPECT_EQ(written, files.size());
}

TEST_F(GpsCommand, OneJobAndFourJobsGiveTheSameOutput) {
    for (const char* format : {"text", "geojson", "csv"}) {
        SCOPED_TRACE(format);
        const clitest::Result one =
            run({"gps", dir.file("media"), "--merge", "--format", format, "--jobs", "1"});
        const clitest::Result four =
            run({"gps", dir.file("media"), "--merge", "--format", format, "--jobs", "4"});
        EXPECT_EQ(one.code, 0);
        EXPECT_FALSE(one.out.empty());
        EXPECT_EQ(one.out, four.out);
    }
}

// A file name with a control character and bytes that are not UTF-8, and sentences with 31
// February and the leap second ending a day: the map formats stay readable and carry no such
// time. A FIFO named as media is skipped instead of waited on.
TEST_F(GpsCommand, HostileNamesDatesAndFifosLeaveReadableOutput) {
    fx::VideoSpec v;
    v.samples.push_back({fx::keyRecord("12345678")});
    const char* sentences[] = {"$GPRMC,120000,A,2230.1000,N,11356.2000,E,010.4,084.4,310226,,*6A",
                               "$GPRMC,235960,A,2230.1001,N,11356.2001,E,010.4,084.4,300426,,*6A",
                               "$GPRMC,120002,A,2230.1002,N,11356.2002,E,010.4,084.4,290224,,*6A"};
    int i = 0;
    for (const char* s : sentences) {
        v.samples.push_back({fx::scramble(fx::textRecord(i, -i, 1000, s), fx::keyOf("12345678"))});
        ++i;
    }
    const std::string hostile = dir.file("odd/ctl\x01 \xff\xfe<&>.mp4");
    std::filesystem::create_directories(dir.file("odd"));
    fx::writeLayout(hostile, fx::layoutVideo(v));
    for (const char* format : {"gpx", "kml", "geojson"}) {
        SCOPED_TRACE(format);
        const std::string out = dir.file(std::string("odd.") + format);
        const clitest::Result r = run({"gps", dir.file("odd"), "--format", format, "-o", out});
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string text = gpstest::readFile(out);
        EXPECT_EQ(text.find_first_of("\x01\xff"), std::string::npos);
        EXPECT_EQ(text.find("02-31T"), std::string::npos);
        EXPECT_EQ(text.find("T24:"), std::string::npos);
        std::vector<Pair> expected = libraryPositions(hostile, false);
        if (std::string(format) == "kml")
            expected.push_back(expected.front());  // the start placemark
        else
            EXPECT_NE(text.find("2024-02-29T12:00:02"), std::string::npos);
        expectSamePositions(gpsbabelPositions(format, out), expected);
    }
    const std::string fifo = dir.file("odd/pipe.mp4");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const clitest::Result r = run({"gps", fifo});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("skipped"), std::string::npos) << r.err;
}

TEST_F(GpsCommand, SeveralFilesNeedMergeOrAFolder) {
    EXPECT_EQ(run({"gps", files[0], files[1]}).code, 2);
    EXPECT_EQ(run({"gps", dir.file("nothing-here.mp4")}).code, 1);
    // --json: the JSON document, and still one JSON document on failure.
    EXPECT_EQ(run({"--json", "gps", files[0]}).out, run({"gps", files[0], "--format", "json"}).out);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--json", "gps", files[0], files[1]},
          {"--json", "gps", dir.file("nothing-here.mp4")},
          {"--json", "gps", files[0], "--format", "gpx"}}) {
        const clitest::Result r = run(args);
        EXPECT_NE(r.code, 0);
        EXPECT_TRUE(r.json().isArray()) << r.out;
    }
}

}  // namespace
