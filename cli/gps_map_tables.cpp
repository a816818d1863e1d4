// CSV (RFC 4180) and GeoJSON (RFC 7946) tracks, a point at a time.
#include <json/json.h>

#include <cmath>

#include "gps_formats.h"

namespace cli::gpsformat {

namespace {

// A field as RFC 4180 quotes it, readable as the other formats write names. A field a
// spreadsheet would take as a formula (=, +, -, @ or a tab first) gets a quote mark first.
std::string csvField(const std::string& raw) {
    std::string text = readableText(raw);
    const bool formula = !text.empty() && std::string("=+-@\t").find(text[0]) != std::string::npos;
    if (formula)
        text.insert(0, "'");
    if (!formula && text.find_first_of(",\"\n\r") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// A number as jsoncpp writes it with seven decimal places: trailing zeros go, but one digit
// stays after the point.
std::string jsonDecimal(double value) {
    std::string text = number(value);
    while (text.back() == '0' && text[text.size() - 2] != '.')
        text.pop_back();
    return text;
}

// A string as jsoncpp writes it with UTF-8 kept.
std::string jsonString(const std::string& text) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, Json::Value(text));
}

std::string jsonPosition(double longitude, double latitude) {
    return "[" + jsonDecimal(longitude) + "," + jsonDecimal(latitude) + "]";
}

// The coordinates of a line, cut where it crosses the antimeridian: each part ends and the next
// begins at the latitude where the straight line between the two points meets it.
void lineCoordinates(const GpsSource& source, OutputFile& out) {
    const bool multi = source.crossesAntimeridian;
    out.write(multi ? "[[" : "[");
    bool first = true;
    double lastLongitude = 0, lastLatitude = 0;
    eachPoint(source, [&](const dalvex::GpsPoint& p) {
        if (p.has_position == 0)
            return;
        if (!first && multi && std::fabs(p.longitude - lastLongitude) > 180) {
            const double edge = lastLongitude > 0 ? 180 : -180;
            const double unwrapped = p.longitude + (lastLongitude > 0 ? 360 : -360);
            const double t = (edge - lastLongitude) / (unwrapped - lastLongitude);
            const double latitude = lastLatitude + t * (p.latitude - lastLatitude);
            out.write("," + jsonPosition(edge, latitude) + "],[" + jsonPosition(-edge, latitude) +
                      ",");
        } else if (!first) {
            out.write(",");
        }
        out.write(jsonPosition(p.longitude, p.latitude));
        first = false;
        lastLongitude = p.longitude;
        lastLatitude = p.latitude;
    });
    out.write(multi ? "]]" : "]");
}

void geometry(const GpsSource& source, OutputFile& out) {
    // A LineString needs two positions: one is a Point, none no geometry at all.
    if (source.fixes == 0) {
        out.write("null");
    } else if (source.fixes == 1) {
        out.write("{\"coordinates\":");
        bool done = false;
        eachPoint(source, [&](const dalvex::GpsPoint& p) {
            if (p.has_position != 0 && !done) {
                out.write(jsonPosition(p.longitude, p.latitude));
                done = true;
            }
        });
        out.write(",\"type\":\"Point\"}");
    } else {
        out.write("{\"coordinates\":");
        lineCoordinates(source, out);
        out.write(source.crossesAntimeridian ? ",\"type\":\"MultiLineString\"}"
                                             : ",\"type\":\"LineString\"}");
    }
}

// One array of a property, a value per point with a position.
template <typename Value>
void propertyArray(const GpsSource& source, OutputFile& out, Value value) {
    out.write("[");
    bool first = true;
    eachPoint(source, [&](const dalvex::GpsPoint& p) {
        if (p.has_position == 0)
            return;
        out.write(first ? value(p) : "," + value(p));
        first = false;
    });
    out.write("]");
}

}  // namespace

// Every point is a row; one without a fix carries status V and the position its texts held,
// if any, so that readers still take the row.
void csvTrack(const GpsSource& source, OutputFile& out) {
    const std::string fields =
        csvField(source.path) + "," + std::to_string(source.size) + "," + source.sha256 + ",";
    size_t index = 0;
    std::string row;
    eachPoint(source, [&](const dalvex::GpsPoint& p) {
        row = fields + std::to_string(++index) + ",";
        const std::string time = utcTime(p);
        row += time.empty() ? "," : time.substr(0, 10) + "," + time.substr(11, time.size() - 12);
        // A position is both coordinates or none: a lone zero would put the point at 0,0.
        if (!std::isnan(p.latitude) && !std::isnan(p.longitude))
            row += "," + number(p.latitude) + "," + number(p.longitude) + ",";
        else
            row += ",,,";
        row += validSpeed(p.speed) ? std::to_string(p.speed) : "";
        row += ",";
        row += validCourse(p.north_angle) ? number(p.north_angle, "%.2f") : "";
        row += p.has_position != 0 ? ",A\r\n" : ",V\r\n";
        out.write(row);
    });
}

// The feature of one track, its members in jsoncpp's order; each array of it takes a parse of
// its own so that nothing grows with the track.
void geoJsonTrack(const GpsSource& source, OutputFile& out) {
    out.write("{\"geometry\":");
    geometry(source, out);
    out.write(",\"properties\":{\"courses\":");
    propertyArray(source, out, [](const dalvex::GpsPoint& p) {
        return validCourse(p.north_angle) ? jsonDecimal(p.north_angle) : std::string("null");
    });
    out.write(",\"name\":" + jsonString(readableText(baseName(source))) + ",\"sha256\":" +
              jsonString(source.sha256) + ",\"size\":" + std::to_string(source.size) +
              ",\"source\":" + jsonString(readableText(source.path)) + ",\"speeds_kmh\":");
    propertyArray(source, out, [](const dalvex::GpsPoint& p) {
        return validSpeed(p.speed) ? std::to_string(p.speed) : std::string("null");
    });
    out.write(",\"times\":");
    propertyArray(source, out, [](const dalvex::GpsPoint& p) {
        const std::string time = utcTime(p);
        return time.empty() ? std::string("null") : "\"" + time + "\"";
    });
    out.write("},\"type\":\"Feature\"}");
}

}  // namespace cli::gpsformat
