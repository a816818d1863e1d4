#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "gps/nmea.h"
#include "test_files.h"

using dalvex::gps::convertCoordinate;
using dalvex::gps::decodeRmc;
using dalvex::gps::decodeSentence;
using dalvex::gps::GpsPoint;

namespace {

struct CoordinateCase {
    const char* name;
    const char* field;
    char hemisphere;
    const char* expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const CoordinateCase& c, std::ostream* os) {
    *os << c.name;
}

class CoordinateConversion : public testing::TestWithParam<CoordinateCase> {};

TEST_P(CoordinateConversion, GivesTheSignedDegreeText) {
    const CoordinateCase& c = GetParam();
    EXPECT_EQ(convertCoordinate(c.field, c.hemisphere), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CoordinateConversion,
    testing::Values(CoordinateCase{"FourDecimalsNorth", "2232.1234", 'N', "+22.535390"},
                    CoordinateCase{"FiveDecimalsWest", "11356.12345", 'W', "-113.9353908"},
                    CoordinateCase{"SouthIsNegative", "3351.0000", 'S', "-33.850000"},
                    CoordinateCase{"EastIsPositive", "00000.00000", 'E', "+0.0000000"},
                    CoordinateCase{"UnknownHemisphereIsPositive", "4807.0380", 'X', "+48.117300"},
                    CoordinateCase{"NoDot", "2232", 'N', "0"},
                    CoordinateCase{"ThreeDecimals", "4807.038", 'N', ""},
                    CoordinateCase{"SixDecimals", "4807.038000", 'N', ""},
                    CoordinateCase{"NothingAfterDot", "4807.", 'N', ""},
                    CoordinateCase{"LeadingZeroDecimals", "2232.0012", 'N', "+22.533353"},
                    // Absurd magnitudes are bounded instead of overflowing.
                    CoordinateCase{"HugeDegrees", "99999999999999999999999.1234", 'N',
                                   "+10000000000000.002056"},
                    CoordinateCase{"NotANumber", "nan.1234", 'N', "+0.002056"}),
    [](const testing::TestParamInfo<CoordinateCase>& info) { return info.param.name; });

struct RmcCase {
    const char* name;
    const char* sentence;
    const char* lon;
    const char* lat;
    int speed;
    double angle;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RmcCase& c, std::ostream* os) {
    *os << c.name;
}

class RmcDecoding : public testing::TestWithParam<RmcCase> {};

TEST_P(RmcDecoding, FillsThePoint) {
    const RmcCase& c = GetParam();
    GpsPoint point;
    point.north_angle = 7.0;  // stale values must not survive
    point.speed = 7;
    decodeSentence(c.sentence, point);
    EXPECT_STREQ(point.lon_text, c.lon);
    EXPECT_STREQ(point.lat_text, c.lat);
    EXPECT_EQ(point.speed, c.speed);
    EXPECT_DOUBLE_EQ(point.north_angle, c.angle);
}

INSTANTIATE_TEST_SUITE_P(
    Sentences, RmcDecoding,
    testing::Values(
        RmcCase{"Complete", gpstest::kRmc, "-113.9353908", "+22.535390", 41, 84.4},
        RmcCase{"ThreeDecimalCoordinates",
                "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A", "", "", 41,
                84.4},
        RmcCase{"NoDateField", "$GPRMC,123519,A,2232.1234,N,11356.1234,E,1.0,2.5", "+113.935390",
                "+22.535390", 1, 2.5},
        // A receiver standing still leaves the course empty: the position and speed stay.
        RmcCase{"EmptyCourse", "$GPRMC,123519,A,2232.1234,N,11356.1234,E,000.0,,230394,,*6A",
                "+113.935390", "+22.535390", 0, 0.0},
        RmcCase{"EmptyCourseWithSpeed",
                "$GPRMC,123519,A,2232.1234,S,11356.1234,W,010.0,,230394,003.1,W*6A", "-113.935390",
                "-22.535390", 18, 0.0},
        RmcCase{"EmptyHemisphereCountsPositive",
                "$GPRMC,123519,A,2232.1234,,11356.1234,W,1.0,5,230394", "-113.935390", "+22.535390",
                1, 5.0},
        RmcCase{"EmptyTime", "$GPRMC,,A,2232.1234,N,11356.1234,E,1.0,2.5,230394", "00.000000",
                "00.000000", 0, 0.0},
        RmcCase{"EmptyLatitude", "$GPRMC,123519,V,,,,,,,230394,,*6A", "00.000000", "00.000000", 0,
                0.0},
        RmcCase{"EmptySpeed", "$GPRMC,123519,A,2232.1234,N,11356.1234,E,,2.5,230394", "00.000000",
                "00.000000", 0, 0.0},
        RmcCase{"MissingCourse", "$GPRMC,123519,A,2232.1234,N,11356.1234,E,1.0", "00.000000",
                "00.000000", 0, 0.0},
        RmcCase{"OverLongLatitude",
                "$GPRMC,123519,A,0000000000000000000000002232.1234,N,11356.1234,E,1.0,2.5",
                "00.000000", "00.000000", 0, 0.0},
        RmcCase{"ThirtyTwoCharacterLatitude",
                "$GPRMC,123519,A,000000000000000000000002232.1234,N,11356.1234,E,1.0,2.5",
                "+113.935390", "+22.535390", 1, 2.5},
        RmcCase{"OtherTalker", "$GNRMC,123519,A,2232.1234,N,11356.1234,E,1.0,2.5,230394",
                "00.000000", "00.000000", 0, 0.0},
        RmcCase{"PrefixOnly", "$GPRMCX,123519,A,2232.1234,N,11356.1234,E,1.0,2.5,230394",
                "00.000000", "00.000000", 0, 0.0},
        RmcCase{"Empty", "", "00.000000", "00.000000", 0, 0.0},
        RmcCase{"NoDotCoordinate", "$GPRMC,123519,A,2232,N,11356,E,1.0,2.5,230394", "0", "0", 1,
                2.5},
        RmcCase{"HugeSpeedSaturates", "$GPRMC,1,A,2232.1234,N,11356.1234,E,1e300,2.5",
                "+113.935390", "+22.535390", 2147483647, 2.5},
        RmcCase{"GgaKeepsDefaults",
                "$GPGGA,123519,4807.0381,N,01131.0001,E,1,08,0.9,545.4,M,46.9,M,,*47", "00.000000",
                "00.000000", 0, 0.0}),
    [](const testing::TestParamInfo<RmcCase>& info) { return info.param.name; });

// Counting a run of commas as one separator would read the date as the course; fields keep their
// places instead.
TEST(RmcDecoding, EmptyCourseDoesNotTakeTheDate) {
    GpsPoint point;
    ASSERT_TRUE(decodeRmc("$GPRMC,123519,A,2232.1234,N,11356.1234,E,000.5,,230394,,*6A", point));
    EXPECT_EQ(point.north_angle, 0.0);
    EXPECT_STREQ(point.lat_text, "+22.535390");
}

struct StampCase {
    const char* name;
    const char* sentence;
    int fix;
    int hasTime;
    uint32_t millis;
    int day, month, year;  // day 0: no date
};

void PrintTo(const StampCase& c, std::ostream* os) {
    *os << c.name;
}

class RmcStamp : public testing::TestWithParam<StampCase> {};

TEST_P(RmcStamp, GivesFixDateAndTime) {
    const StampCase& c = GetParam();
    GpsPoint point;
    point.fix = 1;  // stale values must not survive
    point.utc_day = 9;
    point.has_utc_time = 1;
    decodeSentence(c.sentence, point);
    EXPECT_EQ(point.fix, unsigned(c.fix));
    EXPECT_EQ(point.has_utc_time, unsigned(c.hasTime));
    EXPECT_EQ(point.utc_millis, c.hasTime ? c.millis : 0U);
    EXPECT_EQ(point.utc_day, unsigned(c.day));
    EXPECT_EQ(point.utc_month, unsigned(c.month));
    EXPECT_EQ(point.utc_year, unsigned(c.year));
}

INSTANTIATE_TEST_SUITE_P(
    Sentences, RmcStamp,
    testing::Values(
        StampCase{"Complete", gpstest::kRmc, 1, 1, 45319000, 23, 3, 94},
        StampCase{"Milliseconds", "$GPRMC,235959.25,A,2232.1234,N,11356.1234,E,1,2,311299", 1, 1,
                  86399250, 31, 12, 99},
        StampCase{"DecimalsPastMillisecondsDropped",
                  "$GPRMC,000000.1239,A,2232.1234,N,11356.1234,E,1,2,010100", 1, 1, 123, 1, 1, 0},
        StampCase{"VoidStatusKeepsTimeAndDate", "$GPRMC,123519,V,,,,,,,230394,,*6A", 0, 1, 45319000,
                  23, 3, 94},
        StampCase{"ActiveButUndecodablePosition",
                  "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394", 0, 1, 45319000, 23,
                  3, 94},
        StampCase{"NoDotPositionIsNoFix", "$GPRMC,123519,A,2232,N,11356,E,1,2,230394", 0, 1,
                  45319000, 23, 3, 94},
        StampCase{"BadTimeAndDate", "$GPRMC,126019,A,2232.1234,N,11356.1234,E,1,2,321394", 1, 0, 0,
                  0, 0, 0},
        StampCase{"ShortTimeAndDate", "$GPRMC,12351,A,2232.1234,N,11356.1234,E,1,2,23039", 1, 0, 0,
                  0, 0, 0},
        StampCase{"LeapSecond", "$GPRMC,235960,A,2232.1234,N,11356.1234,E,1,2", 1, 1, 86400000, 0,
                  0, 0},
        StampCase{"GgaHasNoStamp", "$GPGGA,123519,4807.0381,N,01131.0001,E,1,08,0.9,545.4,M", 0, 0,
                  0, 0, 0, 0}),
    [](const testing::TestParamInfo<StampCase>& info) { return info.param.name; });

TEST(RmcDecoding, FailedCheckReportsFalse) {
    GpsPoint point;
    EXPECT_FALSE(decodeRmc("$GPRMC,123519,A", point));
    EXPECT_TRUE(decodeRmc(gpstest::kRmc, point));
}

}  // namespace
