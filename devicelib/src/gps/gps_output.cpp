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
    // Static keys are referenced rather than copied into each of the thousands of objects.
    static const Json::StaticString kTime("time"), kGsensorX("gsensor_x"), kGsensorY("gsensor_y"),
        kGsensorZ("gsensor_z"), kGpsLat("gps_lat"), kGpsLgt("gps_lgt"), kSpeed("speed"),
        kMark("mark"), kNorthAngle("north_angle");
    Json::Value root(Json::objectValue);
    root["gps_number"] = static_cast<Json::LargestUInt>(points.size());
    root["file_type"] = fileType;
    Json::Value& data = root["gps_data"];  // stays null for an empty track
    int time = 0;
    for (const GpsPoint& p : points) {
        Json::Value item(Json::objectValue);
        item[kTime] = ++time;
        item[kGsensorX] = static_cast<double>(p.gsensor_x);
        item[kGsensorY] = static_cast<double>(p.gsensor_y);
        item[kGsensorZ] = static_cast<double>(p.gsensor_z);
        item[kGpsLat] = p.lon_text;
        item[kGpsLgt] = p.lat_text;
        item[kSpeed] = p.speed;
        item[kMark] = p.mark;
        item[kNorthAngle] = p.north_angle;
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
