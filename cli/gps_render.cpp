#include "gps_render.h"

#include <json/json.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace cli {

namespace {

// File names are bytes: a sequence that is not UTF-8, or a control character that XML cannot
// carry, becomes U+FFFD so that every output stays readable.
std::string readableText(const std::string& text) {
    static const std::string kReplacement = "\xEF\xBF\xBD";
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned char lead = byte(i);
        size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        uint32_t code = length <= 1 ? lead : lead & (0x3F >> (length - 1));
        for (size_t k = 1; k < length; ++k) {
            if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) {
                length = 0;
                break;
            }
            code = code << 6 | (byte(i + k) & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        const bool valid = length != 0 && code >= kSmallest[length] && code <= 0x10FFFF &&
                           (code < 0xD800 || code > 0xDFFF) && (code >= 0x20 || code == '\t') &&
                           code != 0x7F && code != 0xFFFE && code != 0xFFFF;
        out += valid ? text.substr(i, length) : kReplacement;
        i += length == 0 ? 1 : length;
    }
    return out;
}

std::string xmlEscape(const std::string& raw) {
    const std::string text = readableText(raw);
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// A coordinate text of the library as a number within range; false for anything else.
bool coordinate(const char* text, double limit, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(out) && std::fabs(out) <= limit;
}

std::string number(double value, const char* format = "%.7f") {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string sourceLine(const FileTrack& t) {
    return t.path + " (" + std::to_string(t.size) + " bytes, sha256 " + t.sha256 + ")";
}

std::string name(const FileTrack& t) {
    return std::filesystem::path(t.path).filename().string();
}

std::vector<std::pair<Position, const TrackPoint*>> fixes(const FileTrack& t) {
    std::vector<std::pair<Position, const TrackPoint*>> out;
    for (const TrackPoint& p : t.points) {
        Position at;
        if (positionOf(t, p, at))
            out.emplace_back(at, &p);
    }
    return out;
}

std::string gpxTrack(const FileTrack& t) {
    std::string out = "  <trk>\n    <name>" + xmlEscape(name(t)) + "</name>\n    <desc>" +
                      xmlEscape(sourceLine(t)) + "</desc>\n    <trkseg>\n";
    for (const auto& [at, p] : fixes(t)) {
        out += "      <trkpt lat=\"" + number(at.latitude) + "\" lon=\"" + number(at.longitude) +
               "\">";
        const std::string time = utcTime(p->point);
        if (!time.empty())
            out += "<time>" + time + "</time>";
        out += "<extensions><dalvex:speed>" + std::to_string(p->point.speed) +
               "</dalvex:speed><dalvex:course>" + number(p->point.north_angle, "%.2f") +
               "</dalvex:course></extensions></trkpt>\n";
    }
    return out + "    </trkseg>\n  </trk>\n";
}

std::string kmlCoordinates(const Position& at) {
    return number(at.longitude) + "," + number(at.latitude);
}

std::string kmlTrack(const FileTrack& t) {
    const auto points = fixes(t);
    if (points.empty())
        return "";
    const std::string desc = "<description>" + xmlEscape(sourceLine(t)) + "</description>";
    std::string out = "  <Placemark><name>" + xmlEscape(name(t)) + " start</name>" + desc +
                      "<Point><coordinates>" + kmlCoordinates(points.front().first) +
                      "</coordinates></Point></Placemark>\n";
    // A line needs two positions; a single one is the start mark alone.
    if (points.size() < 2)
        return out;
    out += "  <Placemark><name>" + xmlEscape(name(t)) + "</name>" + desc +
           "<LineString><coordinates>\n";
    for (const auto& [at, p] : points)
        out += "      " + kmlCoordinates(at) + "\n";
    return out + "    </coordinates></LineString></Placemark>\n";
}

// Every point is a row; one without a fix carries status V and whatever numbers its texts held
// (0 for none), so that readers still take the row.
std::string csvTrack(const FileTrack& t) {
    std::string out;
    const std::string source = csvField(t.path) + "," + std::to_string(t.size) + "," + t.sha256;
    size_t index = 0;
    for (const TrackPoint& p : t.points) {
        Position at;
        const bool fixed = positionOf(t, p, at);
        if (!fixed && !coordinate(p.point.lat_text, 90, at.latitude))
            at.latitude = 0;
        if (!fixed && !coordinate(p.point.lon_text, 180, at.longitude))
            at.longitude = 0;
        const std::string time = utcTime(p.point);
        const size_t split = time.find('T');
        out += source + "," + std::to_string(++index) + "," +
               (time.empty() ? ","
                             : time.substr(0, split) + "," +
                                   time.substr(split + 1, time.size() - split - 2)) +
               "," + number(at.latitude) + "," + number(at.longitude) + "," +
               std::to_string(p.point.speed) + "," + number(p.point.north_angle, "%.2f") + "," +
               (fixed ? "A" : "V") + "\n";
    }
    return out;
}

std::string geoJsonTrack(const FileTrack& t) {
    Json::Value feature(Json::objectValue);
    feature["type"] = "Feature";
    Json::Value& props = feature["properties"];
    props["name"] = readableText(name(t));
    props["source"] = readableText(t.path);
    props["size"] = Json::UInt64(t.size);
    props["sha256"] = t.sha256;
    Json::Value coords(Json::arrayValue), times(Json::arrayValue), speeds(Json::arrayValue),
        courses(Json::arrayValue);
    for (const auto& [at, p] : fixes(t)) {
        Json::Value c(Json::arrayValue);
        c.append(at.longitude);
        c.append(at.latitude);
        coords.append(c);
        const std::string time = utcTime(p->point);
        times.append(time.empty() ? Json::Value() : Json::Value(time));
        speeds.append(p->point.speed);
        courses.append(p->point.north_angle);
    }
    props["times"] = times;
    props["speeds_kmh"] = speeds;
    props["courses"] = courses;
    Json::Value& geometry = feature["geometry"];
    // A LineString needs two positions: one is a Point, none no geometry at all.
    if (coords.size() >= 2) {
        geometry["type"] = "LineString";
        geometry["coordinates"] = coords;
    } else if (coords.size() == 1) {
        geometry["type"] = "Point";
        geometry["coordinates"] = coords[0];
    } else {
        geometry = Json::Value();
    }
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    builder["precision"] = 7;
    builder["precisionType"] = "decimal";
    return Json::writeString(builder, feature);
}

}  // namespace

bool positionOf(const FileTrack& track, const TrackPoint& p, Position& out) {
    const bool fromSentence = !track.picture && p.head < 0;
    if (fromSentence && p.point.fix == 0)
        return false;
    return coordinate(p.point.lat_text, 90, out.latitude) &&
           coordinate(p.point.lon_text, 180, out.longitude);
}

std::string utcTime(const dalvex::gps::GpsPoint& point) {
    if (point.utc_day == 0 || point.has_utc_time == 0)
        return "";
    const unsigned ms = point.utc_millis;
    // Two-digit years: 80 to 99 are the twentieth century, as receivers count them.
    const unsigned year = point.utc_year < 80 ? 2000u + point.utc_year : 1900u + point.utc_year;
    // A day the month does not have, or the leap second that ends a day, is no time a map reader
    // accepts.
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leapYear = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    const unsigned month = point.utc_month;
    if (month < 1 || month > 12 ||
        point.utc_day > kDays[month - 1] + (month == 2 && leapYear ? 1 : 0) || ms >= 24u * 3600000u)
        return "";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", year,
                  unsigned(point.utc_month), unsigned(point.utc_day), ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return buffer;
}

std::string renderHead(GpsFormat format, const std::vector<const FileTrack*>& sources) {
    std::string lines;
    for (const FileTrack* t : sources)
        lines += (lines.empty() ? "" : "; ") + sourceLine(*t);
    switch (format) {
        case GpsFormat::kGpx:
            return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<gpx version=\"1.1\" creator=\"dalvex\" "
                   "xmlns=\"http://www.topografix.com/GPX/1/1\" "
                   "xmlns:dalvex=\"urn:dalvex:gps:1\">\n"
                   "  <metadata>\n    <desc>" +
                   xmlEscape(lines) + "</desc>\n  </metadata>\n";
        case GpsFormat::kKml:
            return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"
                   "  <name>dalvex GPS tracks</name>\n  <description>" +
                   xmlEscape(lines) + "</description>\n";
        case GpsFormat::kCsv:
            return "source,source_size,source_sha256,point,utc_date,utc_time,latitude,"
                   "longitude,speed_kmh,course,status\n";
        case GpsFormat::kGeoJson:
            return "{\"type\":\"FeatureCollection\",\"features\":[\n";
        default:
            return "";
    }
}

std::string renderTrack(GpsFormat format, const FileTrack& track) {
    switch (format) {
        case GpsFormat::kGpx:
            return gpxTrack(track);
        case GpsFormat::kKml:
            return kmlTrack(track);
        case GpsFormat::kCsv:
            return csvTrack(track);
        case GpsFormat::kGeoJson:
            return geoJsonTrack(track);
        default:
            return "";
    }
}

std::string renderTail(GpsFormat format) {
    switch (format) {
        case GpsFormat::kGpx:
            return "</gpx>\n";
        case GpsFormat::kKml:
            return "</Document>\n</kml>\n";
        case GpsFormat::kGeoJson:
            return "\n]}\n";
        default:
            return "";
    }
}

const char* separatorOf(GpsFormat format) {
    return format == GpsFormat::kGeoJson ? ",\n" : "";
}

const char* extensionOf(GpsFormat format) {
    switch (format) {
        case GpsFormat::kText:
            return ".txt";
        case GpsFormat::kJson:
            return ".json";
        case GpsFormat::kGpx:
            return ".gpx";
        case GpsFormat::kKml:
            return ".kml";
        case GpsFormat::kCsv:
            return ".csv";
        case GpsFormat::kGeoJson:
            return ".geojson";
    }
    return "";
}

}  // namespace cli
