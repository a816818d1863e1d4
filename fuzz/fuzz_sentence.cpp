// Any bytes as an NMEA sentence, as a text record and as a binary record, then as a line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "gps/gps_output.h"
#include "gps/nmea.h"
#include "gps/records.h"

using namespace dalvex::gps;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    GpsPoint point;
    decodeSentence(text, point);
    (void)formatPointLine(point, kOrdinaryPoint);
    if (size > 0) {
        (void)convertCoordinate(text.substr(1), text[0]);
    }

    uint8_t record[kRecordSize] = {};
    std::memcpy(record, data, std::min(size, sizeof record));
    (void)formatPointLine(decodeTextRecord(record), 0);
    (void)formatPointLine(decodeBinaryRecord(record), kOrdinaryPoint);
    (void)formatPointLine(headerPoint(record), 255);
    return 0;
}
