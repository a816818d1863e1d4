// The GPS exports share one parser for the whole process, as callers of the library expect one
// track and one output at a time; programs that parse on several threads use GpsParser directly.
#include "dalvex.h"
#include "export_guard.h"
#include "gps/gps_parser.h"

namespace {

// The parser joined to the file the exports write.
struct ProcessParser {
    ProcessParser() {
        // No export reads the points back, and the output takes each one as it is found, so
        // the list is not kept: memory stays flat however long the track.
        parser.setKeepPoints(false);
        parser.setSink(&output);
    }
    dalvex::gps::GpsFileOutput output;
    dalvex::GpsParser parser;
};

ProcessParser& processParser() {
    static ProcessParser process;
    return process;
}

int parseTo(const char* media, const char* out, bool jsonMode) {
    ProcessParser& process = processParser();
    process.output.open(out, jsonMode);
    return process.parser.parse(media);
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
    processParser().output.open(out, false);
    return 0;
} catch (...) {
    return dalvex::exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetServerNumber(char* number) try {
    return processParser().parser.serverNumber(number);
} catch (...) {
    return dalvex::exportFailed(__func__, 0);
}

}  // extern "C"
