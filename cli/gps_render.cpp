#include "gps_render.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "gps_formats.h"
#include "text/text.h"

namespace cli {

namespace gpsformat {

void parseInto(const GpsSource& source, dalvex::GpsSink& sink) {
    dalvex::GpsParser parser;
    parser.setKeepPoints(false);
    parser.setSink(&sink);
    parser.parse(source.path.c_str());
}

std::string number(double value, const char* format) {
    char buffer[400];  // a course of 1e300 has 301 digits
    std::snprintf(buffer, sizeof buffer, format, value);
    std::string text = buffer;
    if (text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    return text;
}

bool validCourse(double course) {
    return std::isfinite(course) && course >= 0 && course <= 360;
}

bool validSpeed(int32_t speed) {
    return speed >= 0;
}

std::string xmlEscape(const std::string& raw) {
    std::string out;
    for (char c : readableText(raw)) {
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

std::string sourceLine(const GpsSource& s) {
    return s.path + " (" + std::to_string(s.size) + " bytes, sha256 " + s.sha256 + ")";
}

std::string baseName(const GpsSource& s) {
    return std::filesystem::path(s.path).filename().string();
}

std::string sourcesLine(const std::vector<const GpsSource*>& sources) {
    std::string lines;
    for (const GpsSource* s : sources)
        lines += (lines.empty() ? "" : "; ") + sourceLine(*s);
    return lines;
}

}  // namespace gpsformat

using namespace gpsformat;

namespace {

class Survey : public dalvex::GpsSink {
  public:
    explicit Survey(GpsSource& source) : source_(source) {}
    void point(const dalvex::GpsPoint& p, int, int) override {
        ++source_.points;
        if (p.has_position == 0) {
            ++source_.withoutFix;
            return;
        }
        if (source_.fixes++ > 0 && std::fabs(p.longitude - lastLongitude_) > 180)
            source_.crossesAntimeridian = true;
        lastLongitude_ = p.longitude;
    }
    void finish(int) override {}

  private:
    GpsSource& source_;
    double lastLongitude_ = 0;
};

// Hands the points to one of the library's writers over a string and moves its text to the
// output as it grows.
class Drain : public dalvex::GpsSink {
  public:
    Drain(dalvex::GpsSink& writer, std::string& text, OutputFile& out)
        : writer_(writer), text_(text), out_(out) {}
    void point(const dalvex::GpsPoint& p, int head, int fileType) override {
        writer_.point(p, head, fileType);
        if (text_.size() >= kChunk)
            move();
    }
    void finish(int fileType) override {
        writer_.finish(fileType);
        move();
    }

  private:
    static constexpr size_t kChunk = 64 * 1024;
    void move() {
        out_.write(text_);
        text_.clear();
    }
    dalvex::GpsSink& writer_;
    std::string& text_;
    OutputFile& out_;
};

void libraryTrack(GpsFormat format, const GpsSource& source, OutputFile& out) {
    std::string text;
    dalvex::GpsTextWriter lines(text);
    dalvex::GpsJsonWriter document(text);
    Drain drain(format == GpsFormat::kJson ? static_cast<dalvex::GpsSink&>(document) : lines, text,
                out);
    parseInto(source, drain);
}

std::string head(GpsFormat format, const std::vector<const GpsSource*>& sources) {
    switch (format) {
        case GpsFormat::kGpx:
            return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<gpx version=\"1.1\" creator=\"dalvex\" "
                   "xmlns=\"http://www.topografix.com/GPX/1/1\" "
                   "xmlns:dalvex=\"urn:dalvex:gps:1\">\n"
                   "  <metadata>\n    <desc>" +
                   xmlEscape(sourcesLine(sources)) + "</desc>\n  </metadata>\n";
        case GpsFormat::kKml:
            return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"
                   "  <name>dalvex GPS tracks</name>\n  <description>" +
                   xmlEscape(sourcesLine(sources)) + "</description>\n";
        case GpsFormat::kCsv:
            return "source,source_size,source_sha256,point,utc_date,utc_time,latitude,"
                   "longitude,speed_kmh,course,status\r\n";
        case GpsFormat::kGeoJson:
            return "{\"type\":\"FeatureCollection\",\"features\":[\n";
        case GpsFormat::kJson:
            // Several documents are one JSON array of them; none, an empty array.
            return sources.size() == 1 ? "" : sources.empty() ? "[]\n" : "[\n";
        case GpsFormat::kText:
            break;
    }
    return "";
}

std::string tail(GpsFormat format, size_t sources) {
    switch (format) {
        case GpsFormat::kGpx:
            return "</gpx>\n";
        case GpsFormat::kKml:
            return "</Document>\n</kml>\n";
        case GpsFormat::kGeoJson:
            return "\n]}\n";
        case GpsFormat::kJson:
            return sources > 1 ? "]\n" : "";
        default:
            return "";
    }
}

}  // namespace

void surveyTrack(GpsSource& source) {
    Survey survey(source);
    parseInto(source, survey);
}

std::string readableText(const std::string& bytes) {
    std::wstring text = text::Decode(bytes, "UTF-8");
    for (wchar_t& c : text) {
        if ((c < 0x20 && c != '\t') || c == 0x7F || c == 0xFFFE || c == 0xFFFF)
            c = 0xFFFD;
    }
    return text::Encode(text, "UTF-8");
}

std::string utcTime(const dalvex::GpsPoint& point) {
    if (point.utc_day == 0 || point.has_utc_time == 0)
        return "";
    const unsigned ms = point.utc_millis;
    // Two-digit years: 80 to 99 are the twentieth century, as receivers count them.
    const int year = point.utc_year < 80 ? 2000 + point.utc_year : 1900 + point.utc_year;
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(point.utc_month),
                                           std::chrono::day(point.utc_day)};
    // A day the month does not have, or the leap second that ends a day, is no time a map reader
    // accepts.
    if (!date.ok() || ms >= 24u * 3600000u)
        return "";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02u:%02u:%02u.%03uZ", year,
                  unsigned(point.utc_month), unsigned(point.utc_day), ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return buffer;
}

void writeOutput(GpsFormat format, const std::vector<const GpsSource*>& sources, OutputFile& out) {
    out.write(head(format, sources));
    for (size_t i = 0; i < sources.size(); ++i) {
        const GpsSource& source = *sources[i];
        if (i > 0 && (format == GpsFormat::kGeoJson || format == GpsFormat::kJson))
            out.write(",\n");
        switch (format) {
            case GpsFormat::kText:
            case GpsFormat::kJson:
                libraryTrack(format, source, out);
                break;
            case GpsFormat::kGpx:
                gpxTrack(source, out);
                break;
            case GpsFormat::kKml:
                kmlTrack(source, out);
                break;
            case GpsFormat::kCsv:
                csvTrack(source, out);
                break;
            case GpsFormat::kGeoJson:
                geoJsonTrack(source, out);
                break;
        }
    }
    out.write(tail(format, sources.size()));
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
