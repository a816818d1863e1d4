// Any bytes as a picture: the 128-byte trailer and its position text.
#include <cstddef>
#include <cstdint>

#include "gps/byte_reader.h"
#include "gps/gps_output.h"
#include "gps/gps_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    dalvex::gps::GpsParser parser;
    dalvex::gps::MemoryReader in(data, size);
    parser.parsePicture(in);
    for (const dalvex::gps::GpsPoint& point : parser.points()) {
        (void)dalvex::gps::formatPointLine(point, dalvex::gps::kOrdinaryPoint);
    }
    (void)dalvex::gps::formatDocument(parser.points(), parser.fileType());
    char number[9] = {};
    parser.serverNumber(number);
    return 0;
}
