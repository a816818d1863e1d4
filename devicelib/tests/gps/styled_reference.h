// The GPS JSON document as jsoncpp writes it: the value tree given to Json::StyledWriter. The
// streaming writer must match it byte for byte; tests and the fuzz target compare the two.
#pragma once

#include <json/json.h>

#include <string>
#include <vector>

#include "gps/gps_point.h"

namespace gpsreference {

inline std::string styledDocument(const std::vector<dalvex::gps::GpsPoint>& points, int fileType) {
    Json::Value root(Json::objectValue);
    root["gps_number"] = static_cast<Json::LargestUInt>(points.size());
    root["file_type"] = fileType;
    Json::Value& data = root["gps_data"];  // stays null for an empty track
    int time = 0;
    for (const dalvex::gps::GpsPoint& p : points) {
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
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Json::StyledWriter writer;
    return writer.write(root);
#pragma GCC diagnostic pop
}

}  // namespace gpsreference
