#include "gps/gps_output.h"

#include <json/json.h>

#include <charconv>
#include <string_view>

namespace dalvex::gps {

namespace {

// Builds a line with the output of printf's "%f" and "%d", through std::to_chars, which gives
// the same characters (it is specified as printf in the "C" locale) at a fraction of the cost.
class Line {
  public:
    Line() { text_.reserve(128); }

    Line& text(std::string_view part) {
        text_.append(part);
        return *this;
    }
    Line& fixed(double value) {
        // The largest double has 309 integral digits; a course of 1e300 prints them all.
        char digits[400];
        const auto result =
            std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6);
        text_.append(digits, result.ptr);
        return *this;
    }
    Line& integer(int value) {
        char digits[16];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        text_.append(digits, result.ptr);
        return *this;
    }
    std::string take() { return std::move(text_); }

  private:
    std::string text_;
};

}  // namespace

std::string formatPointLine(const GpsPoint& p, int head) {
    Line line;
    if (head >= 0) {
        line.text("head:");
    }
    line.fixed(p.gsensor_x).text(" ").fixed(p.gsensor_y).text(" ").fixed(p.gsensor_z).text(" ");
    if (p.lon_text[0] != '\0' && p.lat_text[0] != '\0') {
        line.text(p.lon_text).text(" ").text(p.lat_text);
    } else {
        line.text("0 0");
    }
    line.text(" ").integer(p.speed).text(" ").fixed(p.north_angle).text(" ").integer(p.mark);
    if (head >= 0) {
        line.text(" ").integer(head);
    }
    return line.text("\r\n").take();
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
