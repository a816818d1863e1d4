#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "gps/byte_reader.h"
#include "gps/gps_output.h"
#include "gps/gps_parser.h"
#include "gps/nmea.h"
#include "mp4_fixture.h"
#include "styled_reference.h"
#include "support/portable.h"
#include "test_files.h"

namespace gps = dalvex::gps;

namespace {

gps::GpsPoint rmcPoint(float x, float y, float z, int mark = 0) {
    gps::GpsPoint p;
    p.gsensor_x = x;
    p.gsensor_y = y;
    p.gsensor_z = z;
    p.mark = mark;
    gps::decodeSentence(gpstest::kRmc, p);
    return p;
}

TEST(PointLine, OrdinaryAndHeaderForms) {
    const gps::GpsPoint p = rmcPoint(0.1F, -0.2F, 1.0F, 7);
    EXPECT_EQ(gps::formatPointLine(p, gps::kOrdinaryPoint),
              "0.100000 -0.200000 1.000000 -113.9353908 +22.535390 41 84.400000 7\r\n");
    EXPECT_EQ(gps::formatPointLine(p, 0),
              "head:0.100000 -0.200000 1.000000 -113.9353908 +22.535390 41 84.400000 7 0\r\n");
    EXPECT_EQ(gps::formatPointLine(p, 255),
              "head:0.100000 -0.200000 1.000000 -113.9353908 +22.535390 41 84.400000 7 255\r\n");
}

TEST(PointLine, ThreeDecimalSentenceTakesTheZeroForm) {
    gps::GpsPoint p;
    gps::decodeSentence("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A", p);
    EXPECT_STREQ(p.lon_text, "");
    EXPECT_STREQ(p.lat_text, "");
    EXPECT_EQ(gps::formatPointLine(p, gps::kOrdinaryPoint),
              "0.000000 0.000000 0.000000 0 0 41 84.400000 0\r\n");
    EXPECT_EQ(gps::formatPointLine(p, 2),
              "head:0.000000 0.000000 0.000000 0 0 41 84.400000 0 2\r\n");
}

TEST(PointLine, OneEmptyTextIsEnoughForTheZeroForm) {
    gps::GpsPoint p;
    gps::setPointText(p.lon_text, "+1.000000");
    EXPECT_EQ(gps::formatPointLine(p, gps::kOrdinaryPoint),
              "0.000000 0.000000 0.000000 0 0 0 0.000000 0\r\n");
}

// A course of 1e300 prints 301 digits; the line is written whole.
TEST(PointLine, LongLineIsWrittenWhole) {
    gps::GpsPoint p;
    gps::decodeSentence("$GPRMC,1,A,2232.1234,N,11356.12345,W,1,1e300", p);
    const std::string line = gps::formatPointLine(p, gps::kOrdinaryPoint);
    EXPECT_GT(line.size(), 300U);
    EXPECT_EQ(line.substr(0, 58), "0.000000 0.000000 0.000000 -113.9353908 +22.535390 1 10000");
    EXPECT_EQ(line.substr(line.size() - 12), "0.000000 0\r\n");
}

// The line formats as printf would write them, for comparison with the faster writer.
std::string printfLine(const gps::GpsPoint& p, int head) {
    const bool texts = p.lon_text[0] != '\0' && p.lat_text[0] != '\0';
    const double x = p.gsensor_x;
    const double y = p.gsensor_y;
    const double z = p.gsensor_z;
    std::vector<char> line(1024);
    if (head < 0 && texts) {
        std::snprintf(line.data(), line.size(), "%f %f %f %s %s %d %f %d\r\n", x, y, z, p.lon_text,
                      p.lat_text, p.speed, p.north_angle, p.mark);
    } else if (head < 0) {
        std::snprintf(line.data(), line.size(), "%f %f %f 0 0 %d %f %d\r\n", x, y, z, p.speed,
                      p.north_angle, p.mark);
    } else if (texts) {
        std::snprintf(line.data(), line.size(), "head:%f %f %f %s %s %d %f %d %d\r\n", x, y, z,
                      p.lon_text, p.lat_text, p.speed, p.north_angle, p.mark, head);
    } else {
        std::snprintf(line.data(), line.size(), "head:%f %f %f 0 0 %d %f %d %d\r\n", x, y, z,
                      p.speed, p.north_angle, p.mark, head);
    }
    return line.data();
}

TEST(PointLine, MatchesPrintfForAnyValues) {
    std::mt19937_64 random(20261207);
    const std::vector<double> specials = {0.0,
                                          -0.0,
                                          0.5e-6,
                                          1.5e-6,
                                          2.5e-6,
                                          -0.0000005,
                                          84.4,
                                          359.9999995,
                                          1e300,
                                          -1.7976931348623157e308,
                                          4.9e-324,
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          std::numeric_limits<double>::quiet_NaN(),
                                          -std::numeric_limits<double>::quiet_NaN()};
    for (int i = 0; i < 20000; ++i) {
        gps::GpsPoint p;
        const auto thousandths = static_cast<int32_t>(random());
        p.gsensor_x = gps::gsensorValue(thousandths);
        p.gsensor_y = gps::gsensorValue(static_cast<int32_t>(random() % 4001) - 2000);
        p.gsensor_z = gps::gsensorValue(i % 2 == 0 ? INT32_MIN : INT32_MAX);
        p.speed = static_cast<int32_t>(random());
        p.mark = static_cast<int32_t>(random() % 256);
        if (i < static_cast<int>(specials.size())) {
            p.north_angle = specials[static_cast<size_t>(i)];
        } else {
            std::uint64_t bits = random();
            std::memcpy(&p.north_angle, &bits, sizeof bits);
            if (i % 3 == 0) {
                p.north_angle = static_cast<double>(random() % 3600000) / 10000.0;
            }
        }
        if (i % 5 != 0) {
            gps::setPointText(p.lon_text, "-113.9353908");
            gps::setPointText(p.lat_text, "+22.535390");
        }
        // MinGW's printf drops the sign of a NaN, which glibc's and the line keep.
        if (std::isnan(p.north_angle) && std::signbit(p.north_angle) &&
            !testsupport::printfSignsNan())
            continue;
        const int head = i % 4 == 0 ? static_cast<int>(random() % 256) : gps::kOrdinaryPoint;
        ASSERT_EQ(gps::formatPointLine(p, head), printfLine(p, head)) << i;
    }
}

TEST(Document, StyledLayoutByteForByte) {
    std::vector<gps::GpsPoint> points = {rmcPoint(0.1F, -0.2F, 1.0F, 7), gps::GpsPoint{}};
    gps::decodeSentence("", points[1]);
    EXPECT_EQ(gps::formatDocument(points, 3), R"({
   "file_type" : 3,
   "gps_data" : [
      {
         "gps_lat" : "-113.9353908",
         "gps_lgt" : "+22.535390",
         "gsensor_x" : 0.10000000149011612,
         "gsensor_y" : -0.20000000298023224,
         "gsensor_z" : 1.0,
         "mark" : 7,
         "north_angle" : 84.400000000000006,
         "speed" : 41,
         "time" : 1
      },
      {
         "gps_lat" : "00.000000",
         "gps_lgt" : "00.000000",
         "gsensor_x" : 0.0,
         "gsensor_y" : 0.0,
         "gsensor_z" : 0.0,
         "mark" : 0,
         "north_angle" : 0.0,
         "speed" : 0,
         "time" : 2
      }
   ],
   "gps_number" : 2
}
)");
}

TEST(Document, EmptyTrackHasNullData) {
    EXPECT_EQ(gps::formatDocument({}, 0), R"({
   "file_type" : 0,
   "gps_data" : null,
   "gps_number" : 0
}
)");
}

// Texts a point may carry: a header record copies whatever bytes it holds, so besides the decoded
// forms there are quotes, backslashes, control characters and any byte above 0x7F, in valid,
// cut, overlong and surrogate UTF-8 sequences.
std::string oddText(std::mt19937_64& random) {
    static const std::vector<std::string> pieces = {"+",
                                                    "-",
                                                    "22.535390",
                                                    "00.000000",
                                                    "0",
                                                    "\"",
                                                    "\\",
                                                    "/",
                                                    "\b",
                                                    "\f",
                                                    "\n",
                                                    "\r",
                                                    "\t",
                                                    "\x01",
                                                    "\x1f",
                                                    "\x7f",
                                                    "\xc3\xa9",
                                                    "\xe2\x82\xac",
                                                    "\xf0\x9f\x98\x80",
                                                    "\xf4\x8f\xbf\xbf",
                                                    "\xf7\xbf\xbf\xbf",
                                                    "\xc0\x80",
                                                    "\xe0\x80\x80",
                                                    "\xed\xa0\x80",
                                                    "\xf0\x80\x80\x80",
                                                    "\xc3",
                                                    "\xe2\x82",
                                                    "\xf0\x9f\x98",
                                                    "\x80",
                                                    "\xbf",
                                                    "\xf8",
                                                    "\xff",
                                                    "\xc3"
                                                    "A",
                                                    "\xe2"
                                                    "AB"};
    std::string text;
    const size_t parts = random() % 8;
    for (size_t i = 0; i < parts; ++i) {
        text += pieces[random() % pieces.size()];
    }
    return text.substr(0, gps::kPointTextSize - 1);
}

// Every kind of double the decoder can give a course: whatever a number text parses to, the
// texts "nan" and "inf", saturated values, negative zero and subnormals, and any bit pattern.
double oddDouble(std::mt19937_64& random) {
    static const std::vector<std::string> courses = {"84.4",      "0",
                                                     "-0",        "nan",
                                                     "-nan",      "inf",
                                                     "-inf",      "1e300",
                                                     "1e400",     "-1e400",
                                                     "1e-400",    "4.9e-324",
                                                     "1e22",      "1e21",
                                                     "123456789", "0.1",
                                                     "1e-7",      "100000000000000000000",
                                                     "2.5e-5",    "359.99999999999994"};
    switch (random() % 3) {
        case 0: {
            gps::GpsPoint p;
            gps::decodeSentence(
                "$GPRMC,1,A,2232.1234,N,11356.1234,E,1," + courses[random() % courses.size()], p);
            return p.north_angle;
        }
        case 1: {
            const uint64_t bits = random();
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        default:
            return static_cast<double>(static_cast<int64_t>(random() % 3600000)) / 10000.0;
    }
}

TEST(Document, StreamMatchesJsoncppForRandomTracks) {
    std::mt19937_64 random(1207);
    for (int doc = 0; doc < 400; ++doc) {
        std::vector<gps::GpsPoint> points(doc % 10 == 0 ? 0 : random() % 12 + 1);
        for (gps::GpsPoint& p : points) {
            p.gsensor_x = gps::gsensorValue(static_cast<int32_t>(random()));
            p.gsensor_y = gps::gsensorValue(static_cast<int32_t>(random() % 4001) - 2000);
            p.gsensor_z = gps::gsensorValue(random() % 2 == 0 ? INT32_MIN : INT32_MAX);
            gps::setPointText(p.lon_text, oddText(random));
            gps::setPointText(p.lat_text, oddText(random));
            p.speed = static_cast<int32_t>(random());
            p.mark = static_cast<int32_t>(random() % 256);
            p.north_angle = oddDouble(random);
        }
        const int fileType = static_cast<int>(random() % 256);
        ASSERT_EQ(gps::formatDocument(points, fileType),
                  gpsreference::styledDocument(points, fileType))
            << doc;
    }
}

// The g-sensor values take a fast exact path of their own: every thousandth near zero, where
// values have the most digits, and a sample of the whole 32-bit range.
TEST(Document, StreamMatchesJsoncppForGsensorValues) {
    std::mt19937_64 random(20261207);
    std::vector<int32_t> thousandths;
    for (int32_t t = -20000; t <= 20000; ++t) {
        thousandths.push_back(t);
    }
    for (int i = 0; i < 40000; ++i) {
        thousandths.push_back(static_cast<int32_t>(random()));
    }
    thousandths.push_back(INT32_MIN);
    thousandths.push_back(INT32_MAX);
    std::vector<gps::GpsPoint> points;
    for (size_t i = 0; i < thousandths.size(); i += 3) {
        gps::GpsPoint p;
        p.gsensor_x = gps::gsensorValue(thousandths[i]);
        p.gsensor_y = gps::gsensorValue(thousandths[std::min(i + 1, thousandths.size() - 1)]);
        p.gsensor_z = gps::gsensorValue(thousandths[std::min(i + 2, thousandths.size() - 1)]);
        // Floats of every size, also far outside the g-sensor's.
        p.north_angle = std::ldexp(static_cast<float>(random() % (1 << 24)),
                                   static_cast<int>(random() % 300) - 150);
        points.push_back(p);
        if (points.size() == 2000 || i + 3 >= thousandths.size()) {
            ASSERT_EQ(gps::formatDocument(points, 0), gpsreference::styledDocument(points, 0)) << i;
            points.clear();
        }
    }
}

// ---- the output file as the parser drives it ----

gpsfixture::Bytes udatVideo(int records) {
    gpsfixture::VideoSpec plan;
    plan.trackCount = 1;
    for (int i = 0; i < records; ++i) {
        gpsfixture::append(plan.udatBody, gpsfixture::binaryRecord(static_cast<uint8_t>(i), i, 0, 0,
                                                                   gpstest::kRmc));
    }
    return gpsfixture::toBytes(gpsfixture::layoutVideo(plan));
}

TEST(OutputFile, JsonModeWritesOnlyTheDocument) {
    gpstest::TempDir dir;
    const std::string out = dir.file("track.json");
    const gpsfixture::Bytes video = udatVideo(2);
    gps::GpsParser parser;
    gps::GpsFileOutput output;
    output.open(out.c_str(), true);
    parser.setSink(&output);
    gps::MemoryReader in(video.data(), video.size());
    parser.parseVideo(in);
    EXPECT_EQ(gpstest::readFile(out), gps::formatDocument(parser.points(), 0));
    EXPECT_EQ(parser.points().size(), 2U);
}

TEST(OutputFile, EmptyTrackInJsonModeStillGetsADocument) {
    gpstest::TempDir dir;
    const std::string out = dir.file("track.json");
    gps::GpsParser parser;
    gps::GpsFileOutput output;
    output.open(out.c_str(), true);
    parser.setSink(&output);
    gps::MemoryReader in("", 0);
    parser.parseVideo(in);
    EXPECT_EQ(gpstest::readFile(out), gps::formatDocument({}, 0));
}

// 10,000 points make a document of several MiB; it is written whole and parses back.
TEST(OutputFile, LargeDocumentIsWrittenWhole) {
    gpstest::TempDir dir;
    const std::string out = dir.file("track.json");
    const gpsfixture::Bytes video = udatVideo(10000);
    gps::GpsParser parser;
    gps::GpsFileOutput output;
    output.open(out.c_str(), true);
    parser.setSink(&output);
    gps::MemoryReader in(video.data(), video.size());
    parser.parseVideo(in);
    const std::string text = gpstest::readFile(out);
    EXPECT_GT(text.size(), size_t(1) << 21);
    Json::Value root;
    Json::Reader reader;
    ASSERT_TRUE(reader.parse(text, root));
    EXPECT_EQ(root["gps_number"].asInt(), 10000);
    EXPECT_EQ(root["gps_data"].size(), 10000U);
    EXPECT_EQ(root["gps_data"][9999]["time"].asInt(), 10000);
    EXPECT_EQ(root["gps_data"][9999]["mark"].asInt(), 9999 % 256);
}

TEST(OutputFile, OutputIsClosedAfterTheParseAndWritesNothingMore) {
    gpstest::TempDir dir;
    const std::string out = dir.file("track.txt");
    const gpsfixture::Bytes video = udatVideo(1);
    gps::GpsParser parser;
    gps::GpsFileOutput output;
    output.open(out.c_str(), false);
    parser.setSink(&output);
    gps::MemoryReader first(video.data(), video.size());
    parser.parseVideo(first);
    const std::string written = gpstest::readFile(out);
    EXPECT_EQ(written, gps::formatPointLine(parser.points()[0], gps::kOrdinaryPoint));
    gps::MemoryReader second(video.data(), video.size());
    parser.parseVideo(second);
    EXPECT_EQ(gpstest::readFile(out), written);
}

TEST(OutputFile, UncreatableOutputStillFillsTheTrack) {
    gpstest::TempDir dir;
    const gpsfixture::Bytes video = udatVideo(3);
    gps::GpsParser parser;
    gps::GpsFileOutput output;
    output.open(dir.file("missing/dir/track.txt").c_str(), false);
    parser.setSink(&output);
    gps::MemoryReader in(video.data(), video.size());
    parser.parseVideo(in);
    EXPECT_EQ(parser.points().size(), 3U);
}

}  // namespace
