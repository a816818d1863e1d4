#include "gps/gps_output.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace dalvex::gps {

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
    const auto result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 17);
    const std::string_view text(digits, static_cast<size_t>(result.ptr - digits));
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
    if (count_ == 0) {
        out.append("{\n   \"file_type\" : ");
        appendInteger(out, fileType);
        out.append(",\n   \"gps_data\" : [\n      {\n");
    } else {
        out.append(",\n      {\n");
    }
    ++count_;
    out.append("         \"gps_lat\" : ");
    appendQuoted(out, p.lon_text);
    out.append(",\n         \"gps_lgt\" : ");
    appendQuoted(out, p.lat_text);
    out.append(",\n         \"gsensor_x\" : ");
    appendReal(out, p.gsensor_x);
    out.append(",\n         \"gsensor_y\" : ");
    appendReal(out, p.gsensor_y);
    out.append(",\n         \"gsensor_z\" : ");
    appendReal(out, p.gsensor_z);
    out.append(",\n         \"mark\" : ");
    appendInteger(out, p.mark);
    out.append(",\n         \"north_angle\" : ");
    appendReal(out, p.north_angle);
    out.append(",\n         \"speed\" : ");
    appendInteger(out, p.speed);
    out.append(",\n         \"time\" : ");
    appendInteger(out, static_cast<int64_t>(count_));
    out.append("\n      }");
}

void JsonTrackWriter::finish(int fileType, std::string& out) {
    if (count_ == 0) {
        out.append("{\n   \"file_type\" : ");
        appendInteger(out, fileType);
        out.append(",\n   \"gps_data\" : null");
    } else {
        out.append("\n   ]");
    }
    out.append(",\n   \"gps_number\" : ");
    appendInteger(out, static_cast<int64_t>(count_));
    out.append("\n}\n");
    count_ = 0;
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

}  // namespace dalvex::gps
