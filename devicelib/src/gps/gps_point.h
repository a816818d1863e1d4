// One point of a recording's GPS track, as the extraction builds it and the writers print it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dalvex::gps {

constexpr int kPointTextSize = 31;  // 30 characters and the terminator

struct GpsPoint {
    float gsensor_x = 0.0F;
    float gsensor_y = 0.0F;
    float gsensor_z = 0.0F;
    char lon_text[kPointTextSize] = {};
    char lat_text[kPointTextSize] = {};
    // UTC date of an RMC sentence (day 1-31, month 1-12, the sentence's two-digit year);
    // utc_day is 0 when the sentence carried no valid date.
    uint16_t utc_year : 7 = 0;
    uint16_t utc_month : 4 = 0;
    uint16_t utc_day : 5 = 0;
    int32_t speed = 0;
    int32_t mark = 0;  // byte 1 of a binary record, 0 for every other kind
    // UTC time of an RMC sentence in milliseconds since midnight, valid when has_utc_time is 1.
    uint32_t utc_millis : 27 = 0;
    uint32_t has_utc_time : 1 = 0;
    // 1 when an RMC sentence had status 'A' and both of its coordinates decoded.
    uint32_t fix : 1 = 0;
    double north_angle = 0.0;
};

// The date, time and fix live in what would otherwise be padding: a track of a million points
// stays under 100 MB when a caller keeps it.
static_assert(sizeof(GpsPoint) == 96, "GpsPoint grew");

// Replaces a point text with at most 30 characters of text.
inline void setPointText(char (&field)[kPointTextSize], std::string_view text) {
    const size_t count = text.size() < kPointTextSize - 1 ? text.size() : kPointTextSize - 1;
    text.copy(field, count);
    std::fill(field + count, field + kPointTextSize, '\0');
}

// The g-sensor values are stored as thousandths; the scale is applied in single precision.
inline float gsensorValue(int32_t thousandths) {
    return static_cast<float>(thousandths) * 0.001F;
}

}  // namespace dalvex::gps
