// The point of a recording's GPS track (declared in the public dalvex/gps.h), and the helpers the
// decoders fill it with.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dalvex/gps.h"

namespace dalvex::gps {

using dalvex::GpsPoint;
using dalvex::kOrdinaryPoint;
constexpr int kPointTextSize = kGpsPointTextSize;

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
