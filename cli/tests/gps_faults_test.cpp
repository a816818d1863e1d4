// dalvex gps on the inputs that broke its map outputs: odd courses and coordinates, outputs
// that name an input, write failures, colliding names, empty runs, tracks across the
// antimeridian and hostile file names.
#include <gtest/gtest.h>
#include <json/json.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gps/mp4_fixture.h"
#include "gps/test_files.h"
#include "run_cli.h"

namespace {

using clitest::run;
namespace fx = gpsfixture;
namespace fs = std::filesystem;

std::string rmc(const std::string& status, const std::string& lat, const std::string& lon,
                const std::string& course) {
    return "$GPRMC,120000," + status + "," + lat + "," + lon + ",010.4," + course + ",230326,,*6A";
}

void writeSentences(const std::string& path, const std::vector<std::string>& sentences) {
    fx::VideoSpec v;
    v.samples.push_back({fx::keyRecord("12345678")});
    int i = 0;
    for (const std::string& s : sentences)
        v.samples.push_back({fx::scramble(fx::textRecord(i++, 0, 1000, s), fx::keyOf("12345678"))});
    fx::writeLayout(path, fx::layoutVideo(v));
}

std::string read(const std::string& path) {
    return gpstest::readFile(path);
}

bool hasTemporary(const std::string& folder) {
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().starts_with(".dalvex-"))
            return true;
    return false;
}

class GpsFaults : public ::testing::Test {
  protected:
    gpstest::TempDir dir;
};

// One sentence per row, the outputs' texts that must and must not come of it.
TEST_F(GpsFaults, OddCoursesAndCoordinatesGiveValidMapValues) {
    const struct {
        std::string sentence;
        const char* format;
        std::vector<std::string> present, absent;
    } cases[] = {
        // A course that is no angle is left out, or null.
        {rmc("A", "2230.1000,N", "11356.2000,E", "inf"),
         "gpx",
         {"<extensions><dalvex:speed>19"},
         {"inf", "course"}},
        {rmc("A", "2230.1000,N", "11356.2000,E", "nan"),
         "gpx",
         {"</dalvex:speed></extensions>"},
         {"nan", "course"}},
        {rmc("A", "2230.1000,N", "11356.2000,E", "1e300"), "csv", {",19,,A\r\n"}, {"0000000000"}},
        {rmc("A", "2230.1000,N", "11356.2000,E", "inf"),
         "geojson",
         {"\"courses\":[null]"},
         {"e+9999"}},
        {rmc("A", "2230.1000,N", "11356.2000,E", "nan"), "csv", {",19,,A\r\n"}, {"nan"}},
        // GPX has no longitude 180: the same meridian is -180.
        {rmc("A", "2230.1000,N", "18000.0000,E", "084.4"),
         "gpx",
         {"lon=\"-180.0000000\""},
         {"lon=\"180."}},
        // Negative zero is zero.
        {rmc("A", "0000.0000,S", "00000.0000,W", "-0.0"),
         "gpx",
         {"lat=\"0.0000000\" lon=\"0.0000000\"", "<dalvex:course>0.00<"},
         {"\"-0", ">-0"}},
        {rmc("A", "0000.0000,S", "00000.0000,W", "-0.0"),
         "csv",
         {",0.0000000,0.0000000,19,0.00,A"},
         {",-0"}},
        {rmc("A", "0000.0000,S", "00000.0000,W", "-0.0"),
         "geojson",
         {"[0.0,0.0]", "\"courses\":[0.0]"},
         {"[-0", ",-0"}},
        // A missing coordinate stays empty rather than putting the point at 0,0.
        {rmc("V", "2230,N", "11356.2000,E", "084.4"),
         "csv",
         {",12:00:00.000,,,19,84.40,V\r\n"},
         {"0.0000000"}},
        {rmc("A", "9130.0000,N", "11356.2000,E", "084.4"),
         "csv",
         {",12:00:00.000,,,19,84.40,V"},
         {"113.9"}},
    };
    const std::string video = dir.file("odd.mp4");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sentence + " " + c.format);
        writeSentences(video, {c.sentence});
        const clitest::Result r = run({"gps", video, "--format", c.format});
        ASSERT_EQ(r.code, 0) << r.err;
        for (const std::string& text : c.present)
            EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
        for (const std::string& text : c.absent)
            EXPECT_EQ(r.out.find(text), std::string::npos) << text << "\n" << r.out;
    }
}

TEST_F(GpsFaults, AnOutputThatIsAnInputIsRefused) {
    const std::string video = dir.file("keep.mp4");
    writeSentences(video, {rmc("A", "2230.1000,N", "11356.2000,E", "084.4")});
    const std::string other = dir.file("other.mp4");
    fs::copy_file(video, other);
    fs::create_hard_link(video, dir.file("alias.mp4"));
    const std::string before = read(video);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"gps", video, "--format", "gpx", "-o", video},
          {"gps", video, "--format", "text", "-o", dir.file("alias.mp4")},
          {"gps", video, "--format", "json", "-o", dir.file("./keep.mp4")},
          {"gps", other, video, "--merge", "--format", "csv", "-o", video}}) {
        const clitest::Result r = run(args);
        EXPECT_EQ(r.code, 2) << r.err;
        EXPECT_NE(r.err.find("is one of the inputs"), std::string::npos) << r.err;
        EXPECT_EQ(read(video), before);
    }
}

// Write failures: a full standard output, and files cut by a file size limit. Nothing cut stays
// under a final name or a temporary one.
TEST_F(GpsFaults, WriteFailuresExitOneAndLeaveNoFile) {
    const std::string media = dir.file("media");
    fs::create_directories(media);
    std::vector<std::string> sentences;
    for (int i = 0; i < 300; ++i)
        sentences.push_back(rmc("A", "2230.1000,N", "11356.2000,E", "084.4"));
    writeSentences(media + "/a.mp4", sentences);
    writeSentences(media + "/b.mp4", sentences);
    const std::string out = dir.file("out");
    fs::create_directories(out);
    const std::string linked = read(media + "/a.mp4");
    const std::string tool = DALVEX_CLI_PATH;
    const std::string limited = "ulimit -f 4; trap '' XFSZ; exec " + tool + " gps '" + media;
    const struct {
        std::string command;
        std::string failed;
    } cases[] = {
        {tool + " gps '" + media + "' --merge > /dev/full", "2 failed"},
        {tool + " gps '" + media + "/a.mp4' --format json > /dev/full", "1 failed"},
        {tool + " gps '" + media + "/a.mp4' --format gpx -o /dev/full", "1 failed"},
        {limited + "' --merge --format gpx -o '" + out + "/all.gpx'", "2 failed"},
        {limited + "' --format geojson --out-dir '" + out + "'", "2 failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const std::string err = dir.file("err");
        const int status = std::system(("sh -c \"" + c.command + "\" 2>'" + err + "'").c_str());
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_NE(read(err).find("cannot write"), std::string::npos) << read(err);
        EXPECT_NE(read(err).find(c.failed), std::string::npos) << read(err);
        EXPECT_TRUE(fs::is_empty(out));
    }
    // A final name that is a link, or a folder, is not written through.
    fs::create_symlink(media + "/a.mp4", out + "/link.gpx");
    fs::create_directories(out + "/folder.gpx");
    for (const char* name : {"/link.gpx", "/folder.gpx"}) {
        const clitest::Result r =
            run({"gps", media + "/b.mp4", "--format", "gpx", "-o", out + name});
        EXPECT_EQ(r.code, 1) << name;
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(hasTemporary(out));
    EXPECT_EQ(read(media + "/a.mp4"), linked);
    // A device is written straight through, and a name near the longest a folder takes still
    // has room for its temporary.
    const std::string longName = out + "/" + std::string(250, 'b') + ".gpx";
    for (const std::string& name : {std::string("/dev/null"), longName}) {
        const clitest::Result r = run({"gps", media + "/b.mp4", "--format", "gpx", "-o", name});
        EXPECT_EQ(r.code, 0) << r.err;
    }
    EXPECT_TRUE(fs::is_regular_file(longName));
    // A folder that is no folder: the system's own reason.
    const clitest::Result notFolder =
        run({"gps", media + "/b.mp4", "--format", "gpx", "-o", media + "/a.mp4/x.gpx"});
    EXPECT_NE(notFolder.err.find("Not a directory"), std::string::npos) << notFolder.err;
}

TEST_F(GpsFaults, OutDirNamesTakeTheNextFreeSuffix) {
    for (const char* name : {"a/x.mp4", "b/x.mp4", "c/x.mp4-2"}) {
        fs::create_directories(fs::path(dir.file(name)).parent_path());
        writeSentences(dir.file(name), {rmc("A", "2230.1000,N", "11356.2000,E", "084.4")});
    }
    const std::string out = dir.file("out");
    const clitest::Result r = run({"gps", dir.file("a/x.mp4"), dir.file("b/x.mp4"),
                                   dir.file("c/x.mp4-2"), "--format", "gpx", "--out-dir", out});
    ASSERT_EQ(r.code, 0) << r.err;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(out))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"x.mp4-2-2.gpx", "x.mp4-2.gpx", "x.mp4.gpx"}));
    EXPECT_NE(read(out + "/x.mp4-2-2.gpx").find("c/x.mp4-2"), std::string::npos);
}

// A run without a track still writes its format's empty document, which readers take.
TEST_F(GpsFaults, AnEmptyRunWritesAnEmptyDocument) {
    fx::writeBytes(dir.file("broken.mp4"), fx::Bytes(300, 0x5A));
    const struct {
        const char* format;
        const char* reader;  // gpsbabel's, or none
        const char* exact;   // the whole output, or null
    } cases[] = {{"gpx", "gpx", nullptr},         {"kml", "kml", nullptr},
                 {"geojson", "geojson", nullptr}, {"csv", "unicsv", nullptr},
                 {"json", nullptr, "[]\n"},       {"text", nullptr, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const std::string out = dir.file(std::string("empty.") + c.format);
        const clitest::Result r =
            run({"gps", dir.file("broken.mp4"), "--merge", "--format", c.format, "-o", out});
        EXPECT_EQ(r.code, 1);
        ASSERT_TRUE(fs::exists(out));
        if (c.exact != nullptr) {
            EXPECT_EQ(read(out), c.exact);
        }
        if (c.reader != nullptr) {
            const std::string command = std::string("gpsbabel -i ") + c.reader + " -f '" + out +
                                        "' -o gpx -F /dev/null 2>/dev/null";
            EXPECT_EQ(std::system(command.c_str()), 0);
        }
        EXPECT_EQ(run({"gps", dir.file("broken.mp4"), "--format", c.format}).out, read(out));
    }
}

TEST_F(GpsFaults, AGeoJsonLineAcrossTheAntimeridianIsCut) {
    const std::string video = dir.file("pacific.mp4");
    writeSentences(video, {rmc("A", "1000.0000,N", "17900.0000,E", "090.0"),
                           rmc("A", "1100.0000,N", "17900.0000,W", "090.0"),
                           rmc("A", "1200.0000,N", "17800.0000,W", "090.0")});
    const clitest::Result r = run({"gps", video, "--format", "geojson"});
    ASSERT_EQ(r.code, 0) << r.err;
    const Json::Value geometry = r.json()["features"][0]["geometry"];
    EXPECT_EQ(geometry["type"].asString(), "MultiLineString") << r.out;
    const Json::Value& parts = geometry["coordinates"];
    ASSERT_EQ(parts.size(), 2U) << r.out;
    // Each part keeps to its side and meets the antimeridian half way between the two points.
    EXPECT_EQ(parts[0].size(), 2U);
    EXPECT_EQ(parts[0][1][0].asDouble(), 180.0);
    EXPECT_NEAR(parts[0][1][1].asDouble(), 10.5, 1e-6);
    EXPECT_EQ(parts[1][0][0].asDouble(), -180.0);
    EXPECT_EQ(parts[1].size(), 3U);
}

// Names with control bytes, invalid UTF-8 or a leading '=': CSV cells and error lines stay
// readable and inert.
TEST_F(GpsFaults, HostileNamesAreReadableInCsvAndErrorLines) {
    const std::string folder = dir.file("names");
    fs::create_directories(folder);
    writeSentences(folder + "/=cmd\x01\xff.mp4", {rmc("A", "2230.1000,N", "11356.2000,E", "1")});
    fx::writeBytes(folder + "/\x1b[31mred.mp4", fx::Bytes(300, 0x5A));
    // Named from inside the folder, so that the source cell starts with the '='.
    const fs::path here = fs::current_path();
    fs::current_path(folder);
    const clitest::Result r =
        run({"gps", "=cmd\x01\xff.mp4", "\x1b[31mred.mp4", "--merge", "--format", "csv"});
    fs::current_path(here);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.find_first_of("\x01\xff\x1b"), std::string::npos);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("[31mred.mp4: no GPS track found"), std::string::npos) << r.err;
    // The source cell is quoted with a quote mark first; every line ends in CRLF.
    EXPECT_NE(r.out.find("\r\n\"'=cmd\xEF\xBF\xBD\xEF\xBF\xBD.mp4\","), std::string::npos) << r.out;
    size_t lines = 0;
    for (size_t at = 0; (at = r.out.find('\n', at)) != std::string::npos; ++at, ++lines)
        EXPECT_EQ(r.out[at - 1], '\r');
    EXPECT_EQ(lines, 2U);
}

}  // namespace
