// The GPS records that a camera stores: the key record, the 128-byte header (also the JPEG
// trailer), and the text and binary point records, all of them after descrambling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "gps/gps_point.h"

namespace dalvex::gps {

constexpr size_t kRecordSize = 128;
constexpr size_t kKeyRecordSize = 11;

// Header record / JPEG trailer layout.
constexpr size_t kHeaderMarkerOffset = 1;
constexpr uint8_t kHeaderMarker = 0xFF;
constexpr size_t kHeaderKeyOffset = 33;
constexpr size_t kServerNumberOffset = 60;
constexpr size_t kServerNumberSize = 8;
constexpr size_t kFileTypeOffset = 68;
constexpr size_t kPositionOffset = 69;
constexpr size_t kPositionSize = 31;
constexpr size_t kHeaderGsensorOffset = 100;

// Binary point record layout.
constexpr size_t kMarkOffset = 1;
constexpr size_t kRecordGsensorOffset = 4;
constexpr size_t kRecordSentenceOffset = 16;

// The key of eight ASCII digits: d1 + d2 + d3 + d4 + 2*d5 + d6 + d7 + 2*d8, where a byte that is
// not a digit counts 0.
int keyFromDigits(const uint8_t* digits);

// Every byte is reduced by the low 8 bits of the key, modulo 256.
void descramble(uint8_t* payload, size_t length, int key);

// Binary record: mark byte, three little-endian thousandths, NMEA sentence at offset 16.
GpsPoint decodeBinaryRecord(const uint8_t (&record)[kRecordSize]);

// Text record: optional lead character, three decimal thousandths and the sentence, separated by
// white space. The record ends at its first NUL or after 128 bytes.
GpsPoint decodeTextRecord(const uint8_t (&record)[kRecordSize]);

// The point of a header record: position "lat:lon" text, g-sensor values, no speed.
GpsPoint headerPoint(const uint8_t (&header)[kRecordSize]);

// The point of a JPEG trailer ("lat;?lon"), or none when either position text is empty.
std::optional<GpsPoint> trailerPoint(const uint8_t (&trailer)[kRecordSize]);

}  // namespace dalvex::gps
