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
    int32_t speed = 0;
    int32_t mark = 0;  // byte 1 of a binary record, 0 for every other kind
    double north_angle = 0.0;
};

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
