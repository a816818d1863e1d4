#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gps/byte_reader.h"
#include "gps/gps_output.h"
#include "gps/gps_parser.h"
#include "mp4_fixture.h"
#include "test_files.h"

namespace gps = dalvex::gps;
using gpsfixture::Bytes;
using gpsfixture::Sample;
using gpsfixture::VideoSpec;

namespace {

constexpr const char* kDigits = "12345678";  // key 49
const int kKey = gpsfixture::keyOf(kDigits);
const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const std::string kRmcLine = std::string(gpstest::kRmcLineTail);

struct Parsed {
    int result = 0;
    std::vector<gps::GpsPoint> points;
    std::string output;
    bool binary = false;
};

Parsed parseBytes(gps::GpsParser& parser, const Bytes& file, bool json = false) {
    gpstest::TempDir dir;
    const std::string out = dir.file("track.txt");
    gps::GpsFileOutput output;
    output.open(out.c_str(), json);
    parser.setSink(&output);
    gps::MemoryReader in(file.data(), file.size());
    Parsed parsed;
    parsed.result = parser.parseVideo(in);
    parsed.points = parser.points();
    parsed.binary = parser.binaryRecords();
    parsed.output = gpstest::readFile(out);
    parser.setSink(nullptr);
    return parsed;
}

Parsed parseBytes(const Bytes& file, bool json = false) {
    gps::GpsParser parser;
    return parseBytes(parser, file, json);
}

Bytes videoOf(std::vector<Sample> samples) {
    VideoSpec plan;
    plan.samples = std::move(samples);
    return gpsfixture::toBytes(gpsfixture::layoutVideo(plan));
}

Sample text(int32_t x, int32_t y, int32_t z, const std::string& sentence, int key = kKey) {
    return {gpsfixture::scramble(gpsfixture::textRecord(x, y, z, sentence), key)};
}

Sample binary(uint8_t mark, int32_t x, const std::string& sentence, int key) {
    return {gpsfixture::scramble(gpsfixture::binaryRecord(mark, x, 0, 0, sentence), key)};
}

Sample key(const char* digits = kDigits) {
    return {gpsfixture::keyRecord(digits)};
}
Sample empty() {
    return {{}};
}

gpsfixture::HeaderFields headerFields() {
    gpsfixture::HeaderFields f;
    f.keyDigits = "11111111";  // key 10
    f.serverNumber = "SRV01";
    f.fileType = 3;
    f.position = "N22.535390,:E113.208699";
    f.gsensor[0] = 12;
    f.gsensor[1] = -34;
    f.gsensor[2] = 1000;
    return f;
}

TEST(VideoWalk, KeyRecordFirstGivesTextPointsInChunkOrder) {
    const Parsed p = parseBytes(videoOf({key(), text(100, -200, 1000, gpstest::kRmc), empty(),
                                         text(1, 2, 3, gpstest::kRmc), text(0, 0, 0, kGga)}));
    EXPECT_EQ(p.result, 0);
    EXPECT_FALSE(p.binary);
    ASSERT_EQ(p.points.size(), 3U);
    EXPECT_EQ(p.output, "0.100000 -0.200000 1.000000 " + kRmcLine + " 0\r\n" +
                            "0.001000 0.002000 0.003000 " + kRmcLine + " 0\r\n" +
                            "0.000000 0.000000 0.000000 00.000000 00.000000 0 0.000000 0\r\n");
}

TEST(VideoWalk, HeaderRecordFirstGivesHeaderPointThenBinaryPoints) {
    const int headerKey = gpsfixture::keyOf("11111111");
    gps::GpsParser parser;
    const Parsed p = parseBytes(parser, videoOf({{gpsfixture::headerRecord(headerFields())},
                                                 binary(5, 1500, gpstest::kRmc, headerKey),
                                                 binary(255, -1, kGga, headerKey)}));
    EXPECT_EQ(p.result, 3);
    EXPECT_TRUE(p.binary);
    ASSERT_EQ(p.points.size(), 3U);
    EXPECT_EQ(p.output,
              "head:0.012000 -0.034000 1.000000 +113.208699 +22.535390 0 0.000000 0 3\r\n"
              "1.500000 0.000000 0.000000 " +
                  kRmcLine + " 5\r\n" +
                  "-0.001000 0.000000 0.000000 00.000000 00.000000 0 0.000000 255\r\n");
    char number[9] = {};
    EXPECT_EQ(parser.serverNumber(number), 5);
    EXPECT_STREQ(number, "SRV01");
}

// A sink sees what the list and the text output see, in the same order and with the same head
// values; without the list the parser still counts and still falls back to udat.
TEST(VideoWalk, SinkReceivesEveryPointAsItIsFound) {
    const int headerKey = gpsfixture::keyOf("11111111");
    const Bytes file = videoOf({{gpsfixture::headerRecord(headerFields())},
                                binary(5, 1500, gpstest::kRmc, headerKey),
                                binary(255, -1, kGga, headerKey)});
    gps::GpsParser parser;
    std::vector<std::string> seen;
    parser.setPointFunction([&seen](const gps::GpsPoint& point, int head) {
        seen.push_back(gps::formatPointLine(point, head));
    });
    const Parsed kept = parseBytes(parser, file);
    EXPECT_EQ(seen.size(), 3U);
    EXPECT_EQ(kept.output, seen[0] + seen[1] + seen[2]);

    seen.clear();
    parser.setKeepPoints(false);
    const Parsed dropped = parseBytes(parser, file);
    EXPECT_TRUE(dropped.points.empty());
    EXPECT_EQ(parser.pointCount(), 3U);
    EXPECT_EQ(dropped.output, kept.output);
    EXPECT_EQ(seen.size(), 3U);

    VideoSpec plan;
    plan.trackCount = 1;
    plan.udatBody = gpsfixture::binaryRecord(1, 2, 3, 4, gpstest::kRmc);
    seen.clear();
    parseBytes(parser, gpsfixture::toBytes(gpsfixture::layoutVideo(plan)));
    EXPECT_EQ(parser.pointCount(), 1U);
    EXPECT_EQ(seen.size(), 1U);
}

TEST(VideoWalk, HeaderPointWithFileTypeZeroEndsInZero) {
    gpsfixture::HeaderFields f = headerFields();
    f.fileType = 0;
    f.position = "no colon here";
    const Parsed p = parseBytes(videoOf({{gpsfixture::headerRecord(f)}}));
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.output, "head:0.012000 -0.034000 1.000000 - - 0 0.000000 0 0\r\n");
}

// Samples held before an 11-byte key are text records of their own length; descrambling them over
// the key record's 11 bytes would leave the rest of each record scrambled.
TEST(VideoWalk, SamplesBeforeTheKeyAreReleasedInOrderOverTheirOwnLength) {
    const Parsed p =
        parseBytes(videoOf({text(1, 0, 0, gpstest::kRmc), text(2, 0, 0, gpstest::kRmc), key(),
                            text(3, 0, 0, gpstest::kRmc), text(4, 0, 0, gpstest::kRmc)}));
    ASSERT_EQ(p.points.size(), 4U);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(p.points[i].gsensor_x, 0.001F * static_cast<float>(i + 1)) << i;
        EXPECT_STREQ(p.points[i].lon_text, "-113.9353908") << i;
        EXPECT_EQ(p.points[i].speed, 41) << i;
    }
}

TEST(VideoWalk, HeldBinaryRecordsAreReleasedBeforeTheHeaderPoint) {
    const int headerKey = gpsfixture::keyOf("11111111");
    const Parsed p = parseBytes(videoOf(
        {binary(9, 2000, gpstest::kRmc, headerKey), {gpsfixture::headerRecord(headerFields())}}));
    ASSERT_EQ(p.points.size(), 2U);
    EXPECT_EQ(p.points[0].mark, 9);
    EXPECT_FLOAT_EQ(p.points[0].gsensor_x, 2.0F);
    EXPECT_STREQ(p.points[1].lon_text, "+113.208699");  // the header point comes last
}

TEST(VideoWalk, EmptySampleBeforeTheKeyGivesAZeroPoint) {
    const Parsed p = parseBytes(videoOf({empty(), text(7, 0, 0, gpstest::kRmc), key()}));
    ASSERT_EQ(p.points.size(), 2U);
    EXPECT_FLOAT_EQ(p.points[0].gsensor_x, 0.0F);
    EXPECT_STREQ(p.points[0].lon_text, "00.000000");
    EXPECT_FLOAT_EQ(p.points[1].gsensor_x, 0.007F);
}

TEST(VideoWalk, OnlySixtySamplesAreHeldBeforeTheKey) {
    std::vector<Sample> samples;
    for (int i = 0; i < 62; ++i) {
        samples.push_back(text(i, 0, 0, gpstest::kRmc));
    }
    samples.push_back(key());
    samples.push_back(text(1000, 0, 0, gpstest::kRmc));
    const Parsed p = parseBytes(videoOf(samples));
    ASSERT_EQ(p.points.size(), 61U);
    EXPECT_FLOAT_EQ(p.points[59].gsensor_x, 0.059F);
    EXPECT_FLOAT_EQ(p.points[60].gsensor_x, 1.0F);
}

TEST(VideoWalk, LengthAbove128Reads128BytesAndZeroLengthIsNoSample) {
    const int headerKey = gpsfixture::keyOf("11111111");
    Sample longSample = binary(7, 3000, gpstest::kRmc, headerKey);
    longSample.payload.resize(300, 0xEE);
    longSample.lengthField = 300;
    Sample zero = text(1, 2, 3, gpstest::kRmc);
    zero.lengthField = 0;
    const Parsed p = parseBytes(videoOf({{gpsfixture::headerRecord(headerFields())},
                                         longSample,
                                         zero,
                                         binary(8, 0, gpstest::kRmc, headerKey)}));
    ASSERT_EQ(p.points.size(), 3U);
    EXPECT_EQ(p.points[1].mark, 7);
    EXPECT_FLOAT_EQ(p.points[1].gsensor_x, 3.0F);
    EXPECT_STREQ(p.points[1].lon_text, "-113.9353908");
    EXPECT_EQ(p.points[2].mark, 8);
}

TEST(VideoWalk, OnlyTheFirstKeyCounts) {
    // A later 11-byte payload is an ordinary text record, and the key does not change.
    const Sample shortRecord = {
        gpsfixture::scramble(gpsfixture::textRecord(1, 2, 3, "$GPX"), kKey)};
    ASSERT_EQ(shortRecord.payload.size(), 11U);
    const Parsed p =
        parseBytes(videoOf({key(), shortRecord, key("99999999"), text(4, 0, 0, gpstest::kRmc)}));
    ASSERT_EQ(p.points.size(), 3U);
    EXPECT_FLOAT_EQ(p.points[0].gsensor_z, 0.003F);
    EXPECT_FLOAT_EQ(p.points[2].gsensor_x, 0.004F);
    EXPECT_STREQ(p.points[2].lat_text, "+22.535390");
}

TEST(VideoWalk, ZeroKeyLeavesPayloadsUnchanged) {
    const Parsed p = parseBytes(videoOf(
        {text(5, 0, 0, gpstest::kRmc, 0), key("00000000"), text(6, 0, 0, gpstest::kRmc, 0)}));
    ASSERT_EQ(p.points.size(), 2U);
    EXPECT_STREQ(p.points[0].lon_text, "-113.9353908");
    EXPECT_FLOAT_EQ(p.points[1].gsensor_x, 0.006F);
}

TEST(VideoWalk, UnmarkedFullRecordBeforeTheKeyClearsTheHeldHeader) {
    gps::GpsParser parser;
    EXPECT_EQ(parseBytes(parser, videoOf({{gpsfixture::headerRecord(headerFields())}})).result, 3);
    // A video without header records reports the header of the earlier parse.
    EXPECT_EQ(parseBytes(parser, videoOf({key(), text(1, 0, 0, gpstest::kRmc)})).result, 3);
    char number[9] = {};
    EXPECT_EQ(parser.serverNumber(number), 5);
    gpsfixture::HeaderFields unmarked = headerFields();
    unmarked.marker = false;
    const Parsed p = parseBytes(parser, videoOf({{gpsfixture::headerRecord(unmarked)}, key()}));
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(parser.serverNumber(number), 0);
    EXPECT_EQ(p.points.size(), 1U);  // the unmarked record is held and released as text
}

TEST(VideoWalk, UdatBoxIsTheFallbackWithoutAThirdTrack) {
    VideoSpec plan;
    plan.trackCount = 2;
    plan.samples = {key(), text(1, 0, 0, gpstest::kRmc)};
    plan.udatBody = gpsfixture::binaryRecord(4, 100, 200, 300, gpstest::kRmc);
    gpsfixture::append(plan.udatBody, gpsfixture::binaryRecord(5, 0, 0, 0, kGga));
    plan.udatBody.resize(plan.udatBody.size() + 50, 0x33);  // a partial record is not read
    const Parsed p = parseBytes(gpsfixture::toBytes(gpsfixture::layoutVideo(plan)));
    ASSERT_EQ(p.points.size(), 2U);
    EXPECT_FALSE(p.binary);
    EXPECT_EQ(p.output, "0.100000 0.200000 0.300000 " + kRmcLine + " 4\r\n" +
                            "0.000000 0.000000 0.000000 00.000000 00.000000 0 0.000000 5\r\n");
}

TEST(VideoWalk, UdatIsNotReadWhenTheTrackGavePoints) {
    VideoSpec plan;
    plan.samples = {key(), text(1, 0, 0, gpstest::kRmc)};
    plan.udatBody = gpsfixture::binaryRecord(4, 100, 200, 300, gpstest::kRmc);
    EXPECT_EQ(parseBytes(gpsfixture::toBytes(gpsfixture::layoutVideo(plan))).points.size(), 1U);
}

TEST(VideoWalk, NoTrackAndNoUdatGivesNothing) {
    VideoSpec plan;
    plan.trackCount = 2;
    plan.samples = {key(), text(1, 0, 0, gpstest::kRmc)};
    const Parsed p = parseBytes(gpsfixture::toBytes(gpsfixture::layoutVideo(plan)));
    EXPECT_TRUE(p.points.empty());
    EXPECT_EQ(p.output, "");
}

TEST(VideoWalk, MoovAfterMdatIsFound) {
    VideoSpec plan;
    plan.moovFirst = false;
    plan.samples = {key(), text(1, 0, 0, gpstest::kRmc), text(2, 0, 0, gpstest::kRmc)};
    EXPECT_EQ(parseBytes(gpsfixture::toBytes(gpsfixture::layoutVideo(plan))).points.size(), 2U);
}

// ---- box sizes and tables that fixed storage or 32-bit sizes mishandle ----

TEST(VideoWalk, SixtyFourBitBoxSizesAreFollowed) {
    VideoSpec plan;
    plan.beforeMoov = gpsfixture::largeBox("free", Bytes(40, 0));
    plan.moovFirst = false;
    plan.largeMdat = true;
    plan.samples = {key(), text(1, 0, 0, gpstest::kRmc)};
    EXPECT_EQ(parseBytes(gpsfixture::toBytes(gpsfixture::layoutVideo(plan))).points.size(), 1U);
}

TEST(VideoWalk, BoxesThatCannotHoldTheirHeaderEndTheWalk) {
    for (uint32_t size : {0U, 2U, 7U}) {
        VideoSpec plan;
        // A box of size 0 runs to the end of the file, so moov behind it is out of reach.
        plan.beforeMoov = {0, 0, 0, static_cast<uint8_t>(size), 'f', 'r', 'e', 'e'};
        plan.samples = {key(), text(1, 0, 0, gpstest::kRmc)};
        const Parsed p = parseBytes(gpsfixture::toBytes(gpsfixture::layoutVideo(plan)));
        EXPECT_TRUE(p.points.empty()) << size;
    }
    Bytes tinyLarge = gpsfixture::largeBox("free", {});
    tinyLarge[15] = 15;  // a 64-bit size below its own 16-byte header
    VideoSpec plan;
    plan.beforeMoov = tinyLarge;
    plan.samples = {key(), text(1, 0, 0, gpstest::kRmc)};
    EXPECT_TRUE(parseBytes(gpsfixture::toBytes(gpsfixture::layoutVideo(plan))).points.empty());
}

TEST(VideoWalk, Co64TableIsReadWhenTheTrackHasNoStco) {
    VideoSpec plan;
    plan.co64 = true;
    plan.samples = {key(), text(1, 0, 0, gpstest::kRmc), text(2, 0, 0, gpstest::kRmc)};
    const Parsed p = parseBytes(gpsfixture::toBytes(gpsfixture::layoutVideo(plan)));
    ASSERT_EQ(p.points.size(), 2U);
    EXPECT_FLOAT_EQ(p.points[1].gsensor_x, 0.002F);
}

TEST(VideoWalk, TableOfAnyLengthIsReadWhole) {
    std::vector<Sample> samples = {key()};
    for (int i = 1; i <= 2000; ++i) {
        samples.push_back(text(i, 0, 0, gpstest::kRmc));
    }
    const Parsed p = parseBytes(videoOf(samples));
    ASSERT_EQ(p.points.size(), 2000U);
    EXPECT_FLOAT_EQ(p.points[1999].gsensor_x, 2.0F);
}

TEST(VideoWalk, TableCutShortEndsAfterTheLastCompleteOffset) {
    VideoSpec plan;
    plan.moovFirst = false;  // the third track's table is the last thing in the file
    plan.samples = {key(), text(1, 0, 0, gpstest::kRmc), text(2, 0, 0, gpstest::kRmc),
                    text(3, 0, 0, gpstest::kRmc), text(4, 0, 0, gpstest::kRmc)};
    Bytes file = gpsfixture::toBytes(gpsfixture::layoutVideo(plan));
    gps::GpsParser parser;
    EXPECT_EQ(parseBytes(parser, file).points.size(), 4U);
    // Cut: entry 4 is gone and entry 3 keeps 2 of its bytes. Offsets left over from the parse
    // before would still point at samples 3 and 4, which are intact.
    file.erase(file.end() - 6, file.end());
    const Parsed p = parseBytes(parser, file);
    ASSERT_EQ(p.points.size(), 2U);
    EXPECT_FLOAT_EQ(p.points[1].gsensor_x, 0.002F);
}

TEST(VideoWalk, OffsetPastTheEndEndsTheWalk) {
    VideoSpec plan;
    plan.samples = {key(), text(1, 0, 0, gpstest::kRmc), text(2, 0, 0, gpstest::kRmc),
                    text(3, 0, 0, gpstest::kRmc)};
    plan.offsetOverrides = {{2, 0xFFFFFF00U}};
    const Parsed p = parseBytes(gpsfixture::toBytes(gpsfixture::layoutVideo(plan)));
    ASSERT_EQ(p.points.size(), 1U);
    EXPECT_FLOAT_EQ(p.points[0].gsensor_x, 0.001F);
}

TEST(VideoWalk, PayloadCutByTheEndOfFileIsZeroFilled) {
    VideoSpec plan;
    plan.samples = {key(), text(1, 2, 3, gpstest::kRmc)};
    // The last chunk sits at the very end of the file, and its length field promises more.
    plan.offsetOverrides = {{1, gpsfixture::toBytes(gpsfixture::layoutVideo(plan)).size()}};
    Bytes file = gpsfixture::toBytes(gpsfixture::layoutVideo(plan));
    file.push_back(0);
    file.push_back(100);
    for (char c : std::string("A9\t8")) {
        file.push_back(static_cast<uint8_t>(c + kKey));
    }
    const Parsed p = parseBytes(file);
    ASSERT_EQ(p.points.size(), 1U);
    EXPECT_FLOAT_EQ(p.points[0].gsensor_x, 0.009F);
    EXPECT_FLOAT_EQ(p.points[0].gsensor_y, 0.008F);
    EXPECT_FLOAT_EQ(p.points[0].gsensor_z, 0.0F);
}

// Chunk offsets beyond 4 GiB need the co64 table and 64-bit box sizes; the file is sparse.
TEST(VideoWalk, SamplesBeyondFourGiBAreReadFromAFile) {
    VideoSpec plan;
    plan.co64 = true;
    plan.largeMdat = true;
    plan.mdatBodyOffset = (uint64_t(9) << 29);  // 4.5 GiB
    plan.samples = {key(), text(1, 0, 0, gpstest::kRmc), text(2, 0, 0, gpstest::kRmc)};
    gpstest::TempDir dir;
    const std::string path = dir.file("big.mp4");
    try {
        gpsfixture::writeLayout(path, gpsfixture::layoutVideo(plan));
    } catch (const std::exception& e) {
        GTEST_SKIP() << "no sparse file here: " << e.what();
    }
    gps::GpsParser parser;
    gps::FileReader in;
    ASSERT_TRUE(in.open(path.c_str()));
    EXPECT_GT(in.size(), uint64_t(1) << 32);
    parser.parseVideo(in);
    ASSERT_EQ(parser.points().size(), 2U);
    EXPECT_FLOAT_EQ(parser.points()[1].gsensor_x, 0.002F);
}

TEST(VideoWalk, GarbageEndsQuietly) {
    for (const Bytes& file : {Bytes{}, Bytes{0, 0, 0}, Bytes(64, 0xFF), Bytes(64, 0)}) {
        const Parsed p = parseBytes(file);
        EXPECT_TRUE(p.points.empty());
        EXPECT_EQ(p.result, 0);
    }
}

}  // namespace

namespace {

// The numbers beside the texts: a position only for a fix, NaN where a sentence carried no
// coordinate or one out of range; a header's position text counts without a fix.
TEST(VideoWalk, PointsCarryTheirDecodedPosition) {
    const double nan = std::nan("");
    const struct {
        std::string sentence;
        double latitude, longitude;
        bool position;
    } cases[] = {
        {gpstest::kRmc, 22.53539, -113.9353908, true},
        {"$GPRMC,1,V,2232.1234,N,11356.12345,W,1,2,230394,,*6A", 22.53539, -113.9353908, false},
        {"$GPRMC,1,A,2232,N,11356.12345,E,1,2,230394,,*6A", nan, 113.9353908, false},
        {"$GPRMC,1,A,9932.1234,S,11356.12345,E,1,2,230394,,*6A", nan, 113.9353908, false},
        {kGga, nan, nan, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sentence);
        const Parsed parsed = parseBytes(videoOf({key(), text(0, 0, 0, c.sentence)}));
        ASSERT_EQ(parsed.points.size(), 1U);
        const gps::GpsPoint& p = parsed.points[0];
        EXPECT_EQ(p.has_position != 0, c.position);
        for (const auto& [got, expected] :
             {std::pair{p.latitude, c.latitude}, std::pair{p.longitude, c.longitude}}) {
            if (std::isnan(expected))
                EXPECT_TRUE(std::isnan(got)) << got;
            else
                EXPECT_DOUBLE_EQ(got, expected);
        }
    }
    const Parsed header = parseBytes(videoOf({{gpsfixture::headerRecord(headerFields())}}));
    ASSERT_EQ(header.points.size(), 1U);
    EXPECT_EQ(header.points[0].has_position, 1U);
}

}  // namespace
