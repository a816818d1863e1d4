// GPX 1.1 and KML 2.2 tracks, a point at a time.
#include "gps_formats.h"

namespace cli::gpsformat {

namespace {

// GPX 1.1 allows longitudes from -180 up to, but not including, 180: the same meridian is -180.
std::string gpxLongitude(double longitude) {
    const std::string text = number(longitude);
    return text == "180.0000000" ? "-180.0000000" : text;
}

std::string kmlCoordinates(const dalvex::GpsPoint& p) {
    return number(p.longitude) + "," + number(p.latitude);
}

}  // namespace

void gpxTrack(const GpsSource& source, OutputFile& out) {
    out.write("  <trk>\n    <name>" + xmlEscape(baseName(source)) + "</name>\n    <desc>" +
              xmlEscape(sourceLine(source)) + "</desc>\n    <trkseg>\n");
    std::string line;
    eachPoint(source, [&](const dalvex::GpsPoint& p) {
        if (p.has_position == 0)
            return;
        line = "      <trkpt lat=\"" + number(p.latitude) + "\" lon=\"" +
               gpxLongitude(p.longitude) + "\">";
        const std::string time = utcTime(p);
        if (!time.empty())
            line += "<time>" + time + "</time>";
        // A speed or course that means nothing is left out rather than written as a number.
        line += "<extensions>";
        if (validSpeed(p.speed))
            line += "<dalvex:speed>" + std::to_string(p.speed) + "</dalvex:speed>";
        if (validCourse(p.north_angle))
            line += "<dalvex:course>" + number(p.north_angle, "%.2f") + "</dalvex:course>";
        line += "</extensions></trkpt>\n";
        out.write(line);
    });
    out.write("    </trkseg>\n  </trk>\n");
}

void kmlTrack(const GpsSource& source, OutputFile& out) {
    if (source.fixes == 0)
        return;
    const std::string name = xmlEscape(baseName(source));
    const std::string desc = "<description>" + xmlEscape(sourceLine(source)) + "</description>";
    bool first = true;
    eachPoint(source, [&](const dalvex::GpsPoint& p) {
        if (p.has_position == 0)
            return;
        if (first) {
            out.write("  <Placemark><name>" + name + " start</name>" + desc +
                      "<Point><coordinates>" + kmlCoordinates(p) +
                      "</coordinates></Point></Placemark>\n");
            // A line needs two positions; a single one is the start mark alone.
            if (source.fixes >= 2)
                out.write("  <Placemark><name>" + name + "</name>" + desc +
                          "<LineString><coordinates>\n");
            first = false;
        }
        if (source.fixes >= 2)
            out.write("      " + kmlCoordinates(p) + "\n");
    });
    if (!first && source.fixes >= 2)
        out.write("    </coordinates></LineString></Placemark>\n");
}

}  // namespace cli::gpsformat
