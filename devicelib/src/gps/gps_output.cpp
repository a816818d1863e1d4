#include "gps/gps_output.h"

#include <json/json.h>

#include <cstdio>

namespace dalvex::gps {

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    // A course such as 1e300 prints hundreds of digits, so the line is sized by a first pass.
    const int length = std::snprintf(nullptr, 0, pattern, args...);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), pattern, args...);
    text.resize(static_cast<size_t>(length));
    return text;
}

}  // namespace

std::string formatPointLine(const GpsPoint& p, int head) {
    const double x = p.gsensor_x;
    const double y = p.gsensor_y;
    const double z = p.gsensor_z;
    const bool withTexts = p.lon_text[0] != '\0' && p.lat_text[0] != '\0';
    if (head < 0) {
        return withTexts
                   ? format("%f %f %f %s %s %d %f %d\r\n", x, y, z, p.lon_text, p.lat_text, p.speed,
                            p.north_angle, p.mark)
                   : format("%f %f %f 0 0 %d %f %d\r\n", x, y, z, p.speed, p.north_angle, p.mark);
    }
    return withTexts ? format("head:%f %f %f %s %s %d %f %d %d\r\n", x, y, z, p.lon_text,
                              p.lat_text, p.speed, p.north_angle, p.mark, head)
                     : format("head:%f %f %f 0 0 %d %f %d %d\r\n", x, y, z, p.speed, p.north_angle,
                              p.mark, head);
}

std::string formatDocument(const std::vector<GpsPoint>& points, int fileType) {
    Json::Value root(Json::objectValue);
    root["gps_number"] = static_cast<Json::LargestUInt>(points.size());
    root["file_type"] = fileType;
    Json::Value& data = root["gps_data"];  // stays null for an empty track
    int time = 0;
    for (const GpsPoint& p : points) {
        Json::Value item(Json::objectValue);
        item["time"] = ++time;
        item["gsensor_x"] = static_cast<double>(p.gsensor_x);
        item["gsensor_y"] = static_cast<double>(p.gsensor_y);
        item["gsensor_z"] = static_cast<double>(p.gsensor_z);
        item["gps_lat"] = p.lon_text;
        item["gps_lgt"] = p.lat_text;
        item["speed"] = p.speed;
        item["mark"] = p.mark;
        item["north_angle"] = p.north_angle;
        data.append(std::move(item));
    }
    // Readers parse the styled layout byte for byte, so the deprecated writer stays.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Json::StyledWriter writer;
    return writer.write(root);
#pragma GCC diagnostic pop
}

}  // namespace dalvex::gps
