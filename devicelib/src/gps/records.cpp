#include "gps/records.h"

#include <cstring>
#include <string_view>

#include "byte_order.h"
#include "gps/nmea.h"

namespace dalvex::gps {

namespace {

void setGsensor(GpsPoint& point, const uint8_t* values) {
    point.gsensor_x = gsensorValue(static_cast<int32_t>(bytes::loadLe32(values)));
    point.gsensor_y = gsensorValue(static_cast<int32_t>(bytes::loadLe32(values + 4)));
    point.gsensor_z = gsensorValue(static_cast<int32_t>(bytes::loadLe32(values + 8)));
}

int digitValue(uint8_t c) {
    return (c >= '0' && c <= '9') ? c - '0' : 0;
}

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads a signed decimal integer after optional white space, as "%d" would; a value beyond the
// 32-bit range saturates. Returns false, without moving, when no digit follows.
bool scanInt(std::string_view text, size_t& pos, int32_t& value) {
    size_t i = pos;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || text[i] < '0' || text[i] > '9') {
        return false;
    }
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (magnitude <= INT32_MAX) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
    }
    const int64_t signedValue = negative ? -magnitude : magnitude;
    value = signedValue > INT32_MAX   ? INT32_MAX
            : signedValue < INT32_MIN ? INT32_MIN
                                      : static_cast<int32_t>(signedValue);
    pos = i;
    return true;
}

// Copies n characters of a fixed field into a point text, stopping at a NUL as the field is text.
void setFieldText(char (&text)[kPointTextSize], const uint8_t* field, int n) {
    if (n <= 0) {
        setPointText(text, "");
        return;
    }
    const char* chars = reinterpret_cast<const char*>(field);
    setPointText(text, std::string_view(chars, strnlen(chars, static_cast<size_t>(n))));
}

// Replaces the first character by the sign of the hemisphere letter it holds; an empty text
// becomes the sign alone.
void signText(char (&text)[kPointTextSize], char positive) {
    text[0] = text[0] == positive ? '+' : '-';
}

}  // namespace

int keyFromDigits(const uint8_t* d) {
    return digitValue(d[0]) + digitValue(d[1]) + digitValue(d[2]) + digitValue(d[3]) +
           2 * digitValue(d[4]) + digitValue(d[5]) + digitValue(d[6]) + 2 * digitValue(d[7]);
}

void descramble(uint8_t* payload, size_t length, int key) {
    const auto offset = static_cast<uint8_t>(key & 0xFF);
    for (size_t i = 0; i < length; ++i) {
        payload[i] = static_cast<uint8_t>(payload[i] - offset);
    }
}

GpsPoint decodeBinaryRecord(const uint8_t (&record)[kRecordSize]) {
    GpsPoint point;
    setGsensor(point, record + kRecordGsensorOffset);
    point.mark = record[kMarkOffset];
    const char* sentence = reinterpret_cast<const char*>(record + kRecordSentenceOffset);
    decodeSentence(
        std::string_view(sentence, strnlen(sentence, kRecordSize - kRecordSentenceOffset)), point);
    return point;
}

GpsPoint decodeTextRecord(const uint8_t (&record)[kRecordSize]) {
    const char* chars = reinterpret_cast<const char*>(record);
    std::string_view text(chars, strnlen(chars, kRecordSize));
    if (!text.empty() && (static_cast<uint8_t>(text[0]) > '9')) {
        text.remove_prefix(1);  // the lead character (0x80 and above included)
    }
    int32_t values[3] = {};
    size_t pos = 0;
    bool complete = true;
    for (int32_t& value : values) {
        if (!scanInt(text, pos, value)) {
            complete = false;
            break;
        }
    }
    std::string_view sentence;
    if (complete) {
        while (pos < text.size() && isSpace(text[pos])) {
            ++pos;
        }
        size_t end = pos;
        while (end < text.size() && !isSpace(text[end])) {
            ++end;
        }
        sentence = text.substr(pos, end - pos);
    }
    GpsPoint point;
    point.gsensor_x = gsensorValue(values[0]);
    point.gsensor_y = gsensorValue(values[1]);
    point.gsensor_z = gsensorValue(values[2]);
    decodeSentence(sentence, point);
    return point;
}

GpsPoint headerPoint(const uint8_t (&header)[kRecordSize]) {
    GpsPoint point;
    setGsensor(point, header + kHeaderGsensorOffset);
    const uint8_t* position = header + kPositionOffset;
    const void* colon = std::memchr(position, ':', kPositionSize);
    if (colon != nullptr) {
        const int j = static_cast<int>(static_cast<const uint8_t*>(colon) - position);
        // The character right before the separator is not part of the latitude.
        setFieldText(point.lat_text, position, j - 1);
        setFieldText(point.lon_text, position + j + 1, static_cast<int>(kPositionSize) - 1 - j);
    }
    signText(point.lon_text, 'E');
    signText(point.lat_text, 'N');
    return point;
}

std::optional<GpsPoint> trailerPoint(const uint8_t (&trailer)[kRecordSize]) {
    GpsPoint point;
    setGsensor(point, trailer + kHeaderGsensorOffset);
    const uint8_t* position = trailer + kPositionOffset;
    const void* semicolon = std::memchr(position, ';', kPositionSize);
    if (semicolon != nullptr) {
        const int j = static_cast<int>(static_cast<const uint8_t*>(semicolon) - position);
        // A trailer has one character between ';' and the longitude, and ends one byte earlier.
        setFieldText(point.lat_text, position, j - 1);
        if (j + 2 < static_cast<int>(kPositionSize)) {
            setFieldText(point.lon_text, position + j + 2, 28 - j);
        }
    }
    if (point.lon_text[0] == '\0' || point.lat_text[0] == '\0') {
        return std::nullopt;
    }
    signText(point.lon_text, 'E');
    signText(point.lat_text, 'N');
    return point;
}

}  // namespace dalvex::gps
