#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>

#include "gps/records.h"
#include "mp4_fixture.h"
#include "test_files.h"

namespace gps = dalvex::gps;
using gpsfixture::Bytes;

namespace {

void toRecord(const Bytes& bytes, uint8_t (&record)[gps::kRecordSize]) {
    std::memset(record, 0, sizeof record);
    std::copy_n(bytes.begin(), std::min(bytes.size(), sizeof record), record);
}

TEST(KeyRecord, WeighsTheFifthAndEighthDigitTwice) {
    EXPECT_EQ(gps::keyFromDigits(reinterpret_cast<const uint8_t*>("12345678")),
              1 + 2 + 3 + 4 + 10 + 6 + 7 + 16);
    EXPECT_EQ(gps::keyFromDigits(reinterpret_cast<const uint8_t*>("00001001")), 4);
    // Anything but a digit counts 0.
    EXPECT_EQ(gps::keyFromDigits(reinterpret_cast<const uint8_t*>("a\xff 9-:/0")), 9);
    EXPECT_EQ(gps::keyFromDigits(reinterpret_cast<const uint8_t*>("99999999")), 90);
}

TEST(Descramble, SubtractsTheLowByteOfTheKeyModulo256) {
    uint8_t bytes[] = {0x00, 0x05, 0xFF, 0x80};
    gps::descramble(bytes, 3, 0x105);  // only the low 8 bits count, only 3 bytes
    EXPECT_EQ(bytes[0], 0xFB);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[2], 0xFA);
    EXPECT_EQ(bytes[3], 0x80);
}

struct TextCase {
    const char* name;
    std::string record;
    float x, y, z;
    const char* lon;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class TextRecord : public testing::TestWithParam<TextCase> {};

TEST_P(TextRecord, ScansValuesAndSentence) {
    const TextCase& c = GetParam();
    uint8_t record[gps::kRecordSize];
    toRecord(Bytes(c.record.begin(), c.record.end()), record);
    const gps::GpsPoint p = gps::decodeTextRecord(record);
    EXPECT_FLOAT_EQ(p.gsensor_x, c.x);
    EXPECT_FLOAT_EQ(p.gsensor_y, c.y);
    EXPECT_FLOAT_EQ(p.gsensor_z, c.z);
    EXPECT_STREQ(p.lon_text, c.lon);
    EXPECT_EQ(p.mark, 0);
}

const std::string rmc = gpstest::kRmc;

INSTANTIATE_TEST_SUITE_P(
    Records, TextRecord,
    testing::Values(
        TextCase{"LeadLetter", "A100\t-200\t1000\t" + rmc, 0.1F, -0.2F, 1.0F, "-113.9353908"},
        TextCase{"NoLead", "100\t-200\t1000\t" + rmc, 0.1F, -0.2F, 1.0F, "-113.9353908"},
        TextCase{"HighLead",
                 "\x81"
                 "5 6 7 " +
                     rmc,
                 0.005F, 0.006F, 0.007F, "-113.9353908"},
        TextCase{"NoSeparatorBeforeSentence", "Z1 2 3" + rmc, 0.001F, 0.002F, 0.003F,
                 "-113.9353908"},
        TextCase{"SpacesAndNewlines", "A 1 \r\n 2  3\t\t" + rmc + " trailing", 0.001F, 0.002F,
                 0.003F, "-113.9353908"},
        TextCase{"SentenceEndsAtSpace", "A1\t2\t3\t$GPRMC,1,A,2232.1234,N,11356.1234,E 1.0,2.5",
                 0.001F, 0.002F, 0.003F, "00.000000"},
        TextCase{"MissingValue", "A1\t2\t" + rmc, 0.001F, 0.002F, 0.0F, "00.000000"},
        TextCase{"SaturatingValue", "A99999999999\t-99999999999\t0\t" + rmc, 2147483.647F,
                 -2147483.648F, 0.0F, "-113.9353908"},
        TextCase{"Empty", "", 0.0F, 0.0F, 0.0F, "00.000000"}),
    [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

TEST(TextRecord, FullRecordWithoutTerminatorStopsAt128Bytes) {
    std::string text = "A1\t2\t3\t$GPRMC,123519,A,2232.1234,N,11356.1234,E,1.0,";
    text += std::string(gps::kRecordSize - text.size(), '9');
    uint8_t record[gps::kRecordSize];
    toRecord(Bytes(text.begin(), text.end()), record);
    const gps::GpsPoint p = gps::decodeTextRecord(record);
    EXPECT_STREQ(p.lon_text, "00.000000");  // the course field is over-long
}

TEST(BinaryRecord, ReadsMarkValuesAndSentence) {
    uint8_t record[gps::kRecordSize];
    toRecord(gpsfixture::binaryRecord(200, -1500, 0, 2147483647, gpstest::kRmc), record);
    const gps::GpsPoint p = gps::decodeBinaryRecord(record);
    EXPECT_EQ(p.mark, 200);
    EXPECT_FLOAT_EQ(p.gsensor_x, -1.5F);
    EXPECT_FLOAT_EQ(p.gsensor_y, 0.0F);
    EXPECT_FLOAT_EQ(p.gsensor_z, 2147483.647F);
    EXPECT_STREQ(p.lon_text, "-113.9353908");
    EXPECT_STREQ(p.lat_text, "+22.535390");
    EXPECT_EQ(p.speed, 41);
}

TEST(BinaryRecord, SentenceMayRunToTheEndOfTheRecord) {
    std::string sentence = "$GPRMC,123519,A,2232.1234,N,11356.1234,E,1.0,2.5,";
    sentence += std::string(112 - sentence.size(), '7');
    uint8_t record[gps::kRecordSize];
    toRecord(gpsfixture::binaryRecord(1, 0, 0, 0, sentence), record);
    const gps::GpsPoint p = gps::decodeBinaryRecord(record);
    EXPECT_STREQ(p.lat_text, "+22.535390");
    EXPECT_DOUBLE_EQ(p.north_angle, 2.5);
}

struct PositionCase {
    const char* name;
    std::string position;
    std::string lat;  // for a trailer, empty when no point is made
    std::string lon;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const PositionCase& c, std::ostream* os) {
    *os << c.name;
}

class HeaderPosition : public testing::TestWithParam<PositionCase> {};

TEST_P(HeaderPosition, SplitsAtTheColon) {
    const PositionCase& c = GetParam();
    gpsfixture::HeaderFields fields;
    fields.position = c.position;
    fields.gsensor[0] = 12;
    fields.gsensor[2] = -3000;
    uint8_t header[gps::kRecordSize];
    toRecord(gpsfixture::headerRecord(fields), header);
    const gps::GpsPoint p = gps::headerPoint(header);
    EXPECT_EQ(p.lat_text, c.lat);
    EXPECT_EQ(p.lon_text, c.lon);
    EXPECT_FLOAT_EQ(p.gsensor_x, 0.012F);
    EXPECT_FLOAT_EQ(p.gsensor_z, -3.0F);
    EXPECT_EQ(p.speed, 0);
    EXPECT_EQ(p.mark, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, HeaderPosition,
    testing::Values(
        // The character right before ':' is not part of the latitude.
        PositionCase{"Typical", "N22.535390,:E113.208699", "+22.535390", "+113.208699"},
        PositionCase{"SouthWest", "S22.5,:W113.2", "-22.5", "-113.2"},
        PositionCase{"NoColon", "N22.535390 E113.208699", "-", "-"},
        PositionCase{"ColonFirst", ":E113.2", "-", "+113.2"},
        PositionCase{"ColonLast", std::string(30, 'x') + ":", "-" + std::string(28, 'x'), "-"},
        PositionCase{"LongitudeToEndOfField", "N1,:E" + std::string(26, '9'), "+1",
                     "+" + std::string(26, '9')}),
    [](const testing::TestParamInfo<PositionCase>& info) { return info.param.name; });

class TrailerPosition : public testing::TestWithParam<PositionCase> {};

TEST_P(TrailerPosition, SplitsAtTheSemicolon) {
    const PositionCase& c = GetParam();
    gpsfixture::HeaderFields fields;
    fields.marker = false;
    fields.position = c.position;
    uint8_t trailer[gps::kRecordSize];
    toRecord(gpsfixture::headerRecord(fields), trailer);
    const std::optional<gps::GpsPoint> p = gps::trailerPoint(trailer);
    if (c.lat.empty()) {
        EXPECT_FALSE(p.has_value());
        return;
    }
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->lat_text, c.lat);
    EXPECT_EQ(p->lon_text, c.lon);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, TrailerPosition,
    testing::Values(
        // One character on each side of ';' is not taken, and the field's last byte neither.
        PositionCase{"Typical", "N22.535390,;,E113.208699", "+22.535390", "+113.208699"},
        PositionCase{"West", "S22.5,;,W113.2", "-22.5", "-113.2"},
        PositionCase{"NoSemicolon", "N22.535390,:,E113.208699", "", ""},
        PositionCase{"SemicolonFirst", ";,E113.2", "", ""},
        PositionCase{"NothingAfter", "N22.5,;", "", ""},
        PositionCase{"LastByteDropped", "N1,;,E" + std::string(25, '9'), "+1",
                     "+" + std::string(24, '9')}),
    [](const testing::TestParamInfo<PositionCase>& info) { return info.param.name; });

}  // namespace
