#include "gps/nmea.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace dalvex::gps {

namespace {

constexpr std::string_view kDefaultText = "00.000000";
constexpr size_t kMaxFieldLength = 32;
// Coordinates beyond this are nonsense; the bound keeps the arithmetic below exact and defined.
constexpr double kCoordinateLimit = 1e15;

std::string_view skipLeadingSpace(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    text.remove_prefix(i);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    return text;
}

// The value of the longest leading decimal number, 0 when there is none. Independent of the
// caller's locale: a receiver always writes '.' as the decimal point.
double decimalValue(std::string_view text) {
    text = skipLeadingSpace(text);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() ? value : 0.0;
}

int64_t wholeNumber(std::string_view text) {
    text = skipLeadingSpace(text);
    int64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() ? value : 0;
}

int64_t truncateClamped(double value, double limit) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value > limit) {
        return static_cast<int64_t>(limit);
    }
    if (value < -limit) {
        return -static_cast<int64_t>(limit);
    }
    return static_cast<int64_t>(value);
}

void setDefaults(GpsPoint& point) {
    setPointText(point.lon_text, kDefaultText);
    setPointText(point.lat_text, kDefaultText);
    point.speed = 0;
    point.north_angle = 0.0;
    point.utc_year = 0;
    point.utc_month = 0;
    point.utc_day = 0;
    point.utc_millis = 0;
    point.has_utc_time = 0;
    point.fix = 0;
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int twoDigits(std::string_view text, size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// "hhmmss" with any number of decimals of seconds; decimals past milliseconds are dropped.
void setUtcTime(std::string_view field, GpsPoint& point) {
    const std::string_view whole = field.substr(0, 6);
    const size_t dot = field.size() > 6 ? 6 : std::string_view::npos;
    if (whole.size() != 6 || !allDigits(whole) ||
        (dot != std::string_view::npos && (field[dot] != '.' || !allDigits(field.substr(7))))) {
        return;
    }
    const int hours = twoDigits(whole, 0);
    const int minutes = twoDigits(whole, 2);
    const int seconds = twoDigits(whole, 4);
    if (hours > 23 || minutes > 59 || seconds > 60) {  // 60: a leap second
        return;
    }
    int millis = 0;
    if (dot != std::string_view::npos) {
        const std::string_view decimals = field.substr(7, 3);
        for (size_t i = 0; i < 3; ++i) {
            millis = millis * 10 + (i < decimals.size() ? decimals[i] - '0' : 0);
        }
    }
    point.utc_millis =
        static_cast<uint32_t>(((hours * 60 + minutes) * 60 + seconds) * 1000 + millis);
    point.has_utc_time = 1;
}

// "ddmmyy".
void setUtcDate(std::string_view field, GpsPoint& point) {
    if (field.size() != 6 || !allDigits(field)) {
        return;
    }
    const int day = twoDigits(field, 0);
    const int month = twoDigits(field, 2);
    if (day < 1 || day > 31 || month < 1 || month > 12) {
        return;
    }
    point.utc_day = static_cast<uint16_t>(day);
    point.utc_month = static_cast<uint16_t>(month);
    point.utc_year = static_cast<uint16_t>(twoDigits(field, 4));
}

// A coordinate text in signed-degree form, as opposed to "0" or "".
bool isDegreeText(const char* text) {
    return text[0] == '+' || text[0] == '-';
}

// Fields keep their places: "a,,b" is three fields, the second one empty. Only the first
// kKeptFields are kept; count tells how many there are in all.
constexpr size_t kKeptFields = 12;

struct Fields {
    std::string_view field[kKeptFields];
    size_t count = 0;

    // Field n counted from 1; empty when missing.
    std::string_view operator()(size_t n) const {
        return n <= count && n <= kKeptFields ? field[n - 1] : std::string_view();
    }
};

Fields splitFields(std::string_view sentence) {
    Fields fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = sentence.find(',', start);
        const std::string_view next = sentence.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (fields.count < kKeptFields) {
            fields.field[fields.count] = next;
        }
        ++fields.count;
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

}  // namespace

std::string convertCoordinate(std::string_view field, char hemisphere) {
    const char sign = (hemisphere == 'W' || hemisphere == 'S') ? '-' : '+';
    const size_t dot = field.find('.');
    if (dot == std::string_view::npos) {
        return "0";
    }
    const std::string_view decimals = field.substr(dot + 1);
    const int64_t whole = truncateClamped(decimalValue(field.substr(0, dot)), kCoordinateLimit);
    const int64_t fraction = decimals.size() >= 2 ? wholeNumber(decimals) : 0;
    const int64_t degrees = whole / 100;
    const int64_t minutes = whole % 100;
    char text[64];
    if (decimals.size() == 4) {
        const int64_t tenThousandths = fraction + minutes * 10000;
        std::snprintf(text, sizeof text, "%c%" PRId64 ".%06" PRId64, sign, degrees,
                      tenThousandths * 100 / 60);
        return text;
    }
    if (decimals.size() == 5) {
        const int64_t hundredThousandths = fraction + minutes * 100000;
        std::snprintf(text, sizeof text, "%c%" PRId64 ".%07" PRId64, sign, degrees,
                      hundredThousandths * 100 / 60);
        return text;
    }
    return "";
}

// $GPRMC,123519,A,4807.0381,N,01131.00012,E,022.4,084.4,230394,003.1,W*6A
//        time   st latitude  h longitude   h knots course date
bool decodeRmc(std::string_view sentence, GpsPoint& point) {
    setDefaults(point);
    const Fields field = splitFields(sentence);
    const auto present = [&field](size_t n) {
        return !field(n).empty() && field(n).size() <= kMaxFieldLength;
    };
    if (field(1) != "$GPRMC") {
        return false;
    }
    // Time and date are kept even when the receiver has no position yet.
    setUtcTime(field(2), point);
    setUtcDate(field(10), point);
    if (!present(2) || !present(3) || !present(4) || !present(6) || !present(8)) {
        return false;
    }
    // A receiver that stands still leaves the course empty; only a missing or over-long course
    // field makes the sentence unusable.
    if (field.count < 9 || field(9).size() > kMaxFieldLength) {
        return false;
    }
    const auto hemisphere = [&field](size_t n) { return field(n).empty() ? '\0' : field(n)[0]; };
    setPointText(point.lat_text, convertCoordinate(field(4), hemisphere(5)));
    setPointText(point.lon_text, convertCoordinate(field(6), hemisphere(7)));
    point.speed = static_cast<int32_t>(
        truncateClamped(decimalValue(field(8)) * 1.85, static_cast<double>(INT32_MAX)));
    point.north_angle = decimalValue(field(9));
    point.fix = field(3) == "A" && isDegreeText(point.lat_text) && isDegreeText(point.lon_text);
    return true;
}

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
void decodeGga(std::string_view, GpsPoint& point) {
    setDefaults(point);
}

void decodeSentence(std::string_view sentence, GpsPoint& point) {
    if (sentence.substr(0, 6) == "$GPGGA") {
        decodeGga(sentence, point);
    } else {
        decodeRmc(sentence, point);
    }
}

}  // namespace dalvex::gps
