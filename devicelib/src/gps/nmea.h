// NMEA sentence decoding into a GpsPoint: position texts, speed and heading.
#pragma once

#include <string>
#include <string_view>

#include "gps/gps_point.h"

namespace dalvex::gps {

// Fills lon_text, lat_text, speed and north_angle (and the fix, UTC date and time) from one
// sentence. GGA sentences from any talker ("$GPGGA", "$GNGGA", ...) go to the GGA decoder, every
// other one to the RMC decoder; a sentence that does not decode leaves the defaults
// ("00.000000" texts, speed 0, heading 0).
void decodeSentence(std::string_view sentence, GpsPoint& point);

// Decodes RMC from any two-letter talker ("$GPRMC", "$GNRMC", "$BDRMC", ...); returns false,
// with the defaults in place, when a check fails.
bool decodeRmc(std::string_view sentence, GpsPoint& point);

// Decodes GGA: the point keeps the defaults, because readers of our tracks have only ever
// seen GGA samples as positionless points.
void decodeGga(std::string_view sentence, GpsPoint& point);

// Converts an NMEA coordinate (degrees, two digits of minutes, '.', four or five decimals of
// minutes) with its hemisphere into signed decimal degrees: "+22.535390", "-113.9353908".
// Gives "0" for a field without '.', and "" for any other number of decimals.
std::string convertCoordinate(std::string_view field, char hemisphere);

}  // namespace dalvex::gps
