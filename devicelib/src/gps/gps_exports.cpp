// The GPS exports share one parser for the whole process, as callers of the library expect one
// track and one output at a time; programs that parse on several threads use GpsParser directly.
#include "dalvex.h"
#include "export_guard.h"
#include "gps/gps_parser.h"

namespace {

dalvex::gps::GpsParser& createParser() {
    static dalvex::gps::GpsParser parser;
    // No export reads the points back, and the output takes each one as it is found, so the
    // list is not kept: memory stays flat however long the track.
    parser.setKeepPoints(false);
    return parser;
}

dalvex::gps::GpsParser& processParser() {
    static dalvex::gps::GpsParser& parser = createParser();
    return parser;
}

int parseTo(const char* media, const char* out, bool jsonMode) {
    dalvex::gps::GpsParser& parser = processParser();
    parser.openOutput(out, jsonMode);
    return parser.parse(media);
}

}  // namespace

extern "C" {

DALVEX_API int TKUSB_ParseVideoFile(const char* media, const char* out) try {
    return parseTo(media, out, false);
} catch (...) {
    return dalvex::exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_ParseVideoFileToJson(const char* media, const char* out) try {
    return parseTo(media, out, true);
} catch (...) {
    return dalvex::exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetOutGpSFile(const char* out) try {
    processParser().openOutput(out, false);
    return 0;
} catch (...) {
    return dalvex::exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetServerNumber(char* number) try {
    return processParser().serverNumber(number);
} catch (...) {
    return dalvex::exportFailed(__func__, 0);
}

}  // extern "C"
