#include "gps/gps_output.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace dalvex::gps {

using namespace std::string_view_literals;

namespace {

// Builds a line with the output of printf's "%f" and "%d", through std::to_chars, which gives
// the same characters (it is specified as printf in the "C" locale) at a fraction of the cost.
class Line {
  public:
    Line() { text_.reserve(128); }

    Line& text(std::string_view part) {
        text_.append(part);
        return *this;
    }
    Line& fixed(double value) {
        // The largest double has 309 integral digits; a course of 1e300 prints them all.
        char digits[400];
        const auto result =
            std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6);
        text_.append(digits, result.ptr);
        return *this;
    }
    Line& integer(int value) {
        char digits[16];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        text_.append(digits, result.ptr);
        return *this;
    }
    std::string take() { return std::move(text_); }

  private:
    std::string text_;
};

}  // namespace

std::string formatPointLine(const GpsPoint& p, int head) {
    Line line;
    if (head >= 0) {
        line.text("head:");
    }
    line.fixed(p.gsensor_x).text(" ").fixed(p.gsensor_y).text(" ").fixed(p.gsensor_z).text(" ");
    if (p.lon_text[0] != '\0' && p.lat_text[0] != '\0') {
        line.text(p.lon_text).text(" ").text(p.lat_text);
    } else {
        line.text("0 0");
    }
    line.text(" ").integer(p.speed).text(" ").fixed(p.north_angle).text(" ").integer(p.mark);
    if (head >= 0) {
        line.text(" ").integer(head);
    }
    return line.text("\r\n").take();
}

namespace {

void appendInteger(std::string& out, int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// "%.17g" of a double that holds a float of moderate size, as the g-sensor values are, computed
// exactly in integers: the value is m * 2^e with m below 2^24, which is m * 5^-e * 10^e, at most
// 36 decimal digits. Several times faster than the general conversion, which must handle any
// double. Returns false, writing nothing, for every other value. out holds 32 characters.
// Needs 128-bit integers; where the compiler has none (32-bit targets, the i686 DLL among them)
// it always returns false and every value takes the general conversion.
bool formatFloatValue(double value, char* out, size_t& length) {
#ifndef __SIZEOF_INT128__
    (void)value;
    (void)out;
    (void)length;
    return false;
#else
    if (value == 0.0 || !std::isfinite(value)) {
        return false;
    }
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);  // in [0.5, 1)
    const double scaled = fraction * 16777216.0;                      // 2^24
    const auto significand = static_cast<uint64_t>(scaled);
    const int twos = exponent - 24;
    if (static_cast<double>(significand) != scaled || twos < -40 || twos > 64) {
        return false;
    }
    // value = whole * 10^tens
    static const auto kFives = [] {
        std::array<unsigned __int128, 41> fives{};
        fives[0] = 1;
        for (size_t i = 1; i < fives.size(); ++i) {
            fives[i] = fives[i - 1] * 5;
        }
        return fives;
    }();
    unsigned __int128 whole = significand;
    int tens = 0;
    if (twos >= 0) {
        whole <<= twos;
    } else {
        whole *= kFives[static_cast<size_t>(-twos)];
        tens = twos;
    }
    // The digits of whole: below 2^117, so the part above 10^19 fits 64 bits.
    constexpr uint64_t kTen19 = 10000000000000000000ULL;
    char digits[40] = {};
    size_t count = 0;
    const auto high = static_cast<uint64_t>(whole / kTen19);
    const auto low = static_cast<uint64_t>(whole % kTen19);
    if (high > 0) {
        count = static_cast<size_t>(std::to_chars(digits, digits + 20, high).ptr - digits);
        char lowDigits[20];
        const size_t lowCount =
            static_cast<size_t>(std::to_chars(lowDigits, lowDigits + 20, low).ptr - lowDigits);
        std::memset(digits + count, '0', 19 - lowCount);
        std::memcpy(digits + count + 19 - lowCount, lowDigits, lowCount);
        count += 19;
    } else {
        count = static_cast<size_t>(std::to_chars(digits, digits + 20, low).ptr - digits);
    }
    int point = static_cast<int>(count) - 1 + tens;  // the power of ten of the first digit
    // Round to 17 significant digits, ties to even, as printf does.
    constexpr size_t kSignificant = 17;
    if (count > kSignificant) {
        const char next = digits[kSignificant];
        const bool beyond =
            std::any_of(digits + kSignificant + 1, digits + count, [](char c) { return c != '0'; });
        const bool odd = (digits[kSignificant - 1] - '0') % 2 == 1;
        if (next > '5' || (next == '5' && (beyond || odd))) {
            size_t i = kSignificant;
            while (i > 0 && digits[i - 1] == '9') {
                digits[--i] = '0';
            }
            if (i == 0) {
                digits[0] = '1';
                ++point;
            } else {
                ++digits[i - 1];
            }
        }
        count = kSignificant;
    }
    while (count > 1 && digits[count - 1] == '0') {
        --count;
    }
    char* at = out;
    if (value < 0) {
        *at++ = '-';
    }
    if (point < -4 || point >= static_cast<int>(kSignificant)) {
        *at++ = digits[0];
        if (count > 1) {
            *at++ = '.';
            at = std::copy(digits + 1, digits + count, at);
        }
        *at++ = 'e';
        *at++ = point < 0 ? '-' : '+';
        const int magnitude = point < 0 ? -point : point;
        if (magnitude < 10) {
            *at++ = '0';
        }
        at = std::to_chars(at, out + 32, magnitude).ptr;
    } else if (point >= 0) {
        const auto integral = static_cast<size_t>(point) + 1;
        for (size_t i = 0; i < integral; ++i) {
            *at++ = i < count ? digits[i] : '0';
        }
        if (count > integral) {
            *at++ = '.';
            at = std::copy(digits + integral, digits + count, at);
        }
    } else {
        *at++ = '0';
        *at++ = '.';
        at = std::fill_n(at, -point - 1, '0');
        at = std::copy(digits, digits + count, at);
    }
    length = static_cast<size_t>(at - out);
    return true;
#endif
}

// A double as jsoncpp writes it: 17 significant digits as "%.17g" gives them, ".0" added when
// that shows neither a point nor an exponent, and the stand-ins it uses for the values JSON
// cannot express.
void appendReal(std::string& out, double value) {
    if (std::isnan(value)) {
        out.append("null");
        return;
    }
    if (std::isinf(value)) {
        out.append(value < 0 ? "-1e+9999" : "1e+9999");
        return;
    }
    char digits[32];
    size_t length = 0;
    if (!formatFloatValue(value, digits, length)) {
        const auto result =
            std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 17);
        length = static_cast<size_t>(result.ptr - digits);
    }
    const std::string_view text(digits, length);
    out.append(text);
    if (text.find_first_of(".e") == std::string_view::npos) {
        out.append(".0");
    }
}

void appendHex16(std::string& out, unsigned value) {
    static const char kHex[] = "0123456789abcdef";
    const char escape[6] = {'\\',
                            'u',
                            kHex[(value >> 12) & 0xF],
                            kHex[(value >> 8) & 0xF],
                            kHex[(value >> 4) & 0xF],
                            kHex[value & 0xF]};
    out.append(escape, sizeof escape);
}

// Decodes one UTF-8 sequence at s as jsoncpp does, moving s to its last byte: continuation bytes
// are taken without checking them, and cut, overlong or surrogate sequences give U+FFFD.
unsigned utf8Codepoint(const char*& s, const char* end) {
    constexpr unsigned kReplacement = 0xFFFD;
    const auto byte = [&s](int i) { return static_cast<unsigned>(static_cast<uint8_t>(s[i])); };
    const unsigned first = byte(0);
    if (first < 0x80) {
        return first;
    }
    if (first < 0xE0) {
        if (end - s < 2) {
            return kReplacement;
        }
        const unsigned value = ((first & 0x1F) << 6) | (byte(1) & 0x3F);
        s += 1;
        return value < 0x80 ? kReplacement : value;
    }
    if (first < 0xF0) {
        if (end - s < 3) {
            return kReplacement;
        }
        const unsigned value = ((first & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
        s += 2;
        return (value >= 0xD800 && value <= 0xDFFF) || value < 0x800 ? kReplacement : value;
    }
    if (first < 0xF8) {
        if (end - s < 4) {
            return kReplacement;
        }
        const unsigned value = ((first & 0x07) << 18) | ((byte(1) & 0x3F) << 12) |
                               ((byte(2) & 0x3F) << 6) | (byte(3) & 0x3F);
        s += 3;
        return value < 0x10000 ? kReplacement : value;
    }
    return kReplacement;
}

// A string in quotes, escaped as jsoncpp escapes it: the JSON short escapes, \u00XX for the other
// control characters and \uXXXX (surrogate pairs above the basic plane) for everything that is
// not ASCII.
void appendQuoted(std::string& out, std::string_view text) {
    const auto plain = [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; };
    if (std::all_of(text.begin(), text.end(), plain)) {
        out.push_back('"');
        out.append(text);
        out.push_back('"');
        return;
    }
    out.push_back('"');
    const char* end = text.data() + text.size();
    for (const char* c = text.data(); c != end; ++c) {
        switch (*c) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\b':
                out.append("\\b");
                break;
            case '\f':
                out.append("\\f");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            default: {
                unsigned codepoint = utf8Codepoint(c, end);
                if (codepoint < 0x20 || (codepoint >= 0x80 && codepoint < 0x10000)) {
                    appendHex16(out, codepoint);
                } else if (codepoint < 0x80) {
                    out.push_back(static_cast<char>(codepoint));
                } else {
                    codepoint -= 0x10000;
                    appendHex16(out, 0xD800 + ((codepoint >> 10) & 0x3FF));
                    appendHex16(out, 0xDC00 + (codepoint & 0x3FF));
                }
            }
        }
    }
    out.push_back('"');
}

}  // namespace

void JsonTrackWriter::point(const GpsPoint& p, int fileType, std::string& out) {
    appendPoint(p, fileType, count_, out);
}

void JsonTrackWriter::finish(int fileType, std::string& out) {
    appendFinish(fileType, count_, out);
}

void JsonTrackWriter::appendPoint(const GpsPoint& p, int fileType, uint64_t& count,
                                  std::string& out) {
    if (count == 0) {
        out.append("{\n   \"file_type\" : "sv);
        appendInteger(out, fileType);
        out.append(",\n   \"gps_data\" : [\n      {\n"sv);
    } else {
        out.append(",\n      {\n"sv);
    }
    ++count;
    out.append("         \"gps_lat\" : "sv);
    appendQuoted(out, p.lon_text);
    out.append(",\n         \"gps_lgt\" : "sv);
    appendQuoted(out, p.lat_text);
    out.append(",\n         \"gsensor_x\" : "sv);
    appendReal(out, p.gsensor_x);
    out.append(",\n         \"gsensor_y\" : "sv);
    appendReal(out, p.gsensor_y);
    out.append(",\n         \"gsensor_z\" : "sv);
    appendReal(out, p.gsensor_z);
    out.append(",\n         \"mark\" : "sv);
    appendInteger(out, p.mark);
    out.append(",\n         \"north_angle\" : "sv);
    appendReal(out, p.north_angle);
    out.append(",\n         \"speed\" : "sv);
    appendInteger(out, p.speed);
    out.append(",\n         \"time\" : "sv);
    appendInteger(out, static_cast<int64_t>(count));
    out.append("\n      }"sv);
}

void JsonTrackWriter::appendFinish(int fileType, uint64_t& count, std::string& out) {
    if (count == 0) {
        out.append("{\n   \"file_type\" : "sv);
        appendInteger(out, fileType);
        out.append(",\n   \"gps_data\" : null"sv);
    } else {
        out.append("\n   ]"sv);
    }
    out.append(",\n   \"gps_number\" : "sv);
    appendInteger(out, static_cast<int64_t>(count));
    out.append("\n}\n"sv);
    count = 0;
}

std::string formatDocument(const std::vector<GpsPoint>& points, int fileType) {
    JsonTrackWriter writer;
    std::string text;
    for (const GpsPoint& p : points) {
        writer.point(p, fileType, text);
    }
    writer.finish(fileType, text);
    return text;
}

namespace {
constexpr size_t kOutputBuffer = 64 * 1024;
}

void GpsFileOutput::open(const char* path, bool jsonMode) {
    close();
    jsonMode_ = jsonMode;
    json_ = JsonTrackWriter();
    file_ = path != nullptr ? std::fopen(path, "w") : nullptr;
    if (file_ != nullptr) {
        // A track is written a line at a time; a larger buffer saves most of the system calls.
        std::setvbuf(file_, nullptr, _IOFBF, kOutputBuffer);
    }
}

void GpsFileOutput::close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    json_ = JsonTrackWriter();
}

void GpsFileOutput::point(const GpsPoint& point, int head, int fileType) {
    if (file_ == nullptr) {
        return;
    }
    if (jsonMode_) {
        json_.point(point, fileType, text_);
    } else {
        text_ = formatPointLine(point, head);
    }
    std::fwrite(text_.data(), 1, text_.size(), file_);
    text_.clear();
}

void GpsFileOutput::finish(int fileType) {
    if (jsonMode_ && file_ != nullptr) {
        json_.finish(fileType, text_);
        std::fwrite(text_.data(), 1, text_.size(), file_);
        text_.clear();
    }
    close();
}

}  // namespace dalvex::gps

namespace dalvex {

void GpsTextWriter::point(const GpsPoint& point, int head, int /*fileType*/) {
    line_ = gps::formatPointLine(point, head);
    if (text_ != nullptr) {
        text_->append(line_);
    } else if (file_ != nullptr) {
        std::fwrite(line_.data(), 1, line_.size(), file_);
    }
}

void GpsJsonWriter::point(const GpsPoint& point, int /*head*/, int fileType) {
    gps::JsonTrackWriter::appendPoint(point, fileType, count_, part_);
    put();
}

void GpsJsonWriter::finish(int fileType) {
    gps::JsonTrackWriter::appendFinish(fileType, count_, part_);
    put();
}

void GpsJsonWriter::put() {
    if (text_ != nullptr) {
        text_->append(part_);
    } else if (file_ != nullptr) {
        std::fwrite(part_.data(), 1, part_.size(), file_);
    }
    part_.clear();
}

}  // namespace dalvex
