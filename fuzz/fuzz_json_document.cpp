// Any bytes as a track of points, written by the streaming JSON writer and by jsoncpp's
// StyledWriter: the two texts must be identical. Texts take any bytes; courses are decoded from
// text or taken as raw bit patterns, so every double the decoder can give is reached.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "devicelib/tests/gps/styled_reference.h"
#include "gps/gps_output.h"
#include "gps/nmea.h"

using namespace dalvex::gps;

namespace {

class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    template <typename T>
    T value() {
        uint8_t bytes[sizeof(T)] = {};
        for (uint8_t& b : bytes) {
            b = byte();
        }
        T out;
        std::memcpy(&out, bytes, sizeof out);
        return out;
    }
    std::string text(size_t limit) {
        const size_t length = byte() % (limit + 1);
        std::string out;
        for (size_t i = 0; i < length && !empty(); ++i) {
            out.push_back(static_cast<char>(byte()));
        }
        return out;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const int fileType = in.byte();
    std::vector<GpsPoint> points;
    while (!in.empty() && points.size() < 64) {
        GpsPoint p;
        p.gsensor_x = gsensorValue(in.value<int32_t>());
        p.gsensor_y = gsensorValue(in.value<int32_t>());
        p.gsensor_z = gsensorValue(in.value<int32_t>());
        setPointText(p.lon_text, in.text(kPointTextSize - 1));
        setPointText(p.lat_text, in.text(kPointTextSize - 1));
        p.speed = in.value<int32_t>();
        p.mark = in.byte();
        if (in.byte() % 2 == 0) {
            p.north_angle = in.value<double>();
        } else {
            GpsPoint decoded;
            decodeSentence("$GPRMC,1,A,2232.1234,N,11356.1234,E,1," + in.text(40), decoded);
            p.north_angle = decoded.north_angle;
        }
        points.push_back(p);
    }
    const std::string streamed = formatDocument(points, fileType);
    const std::string styled = gpsreference::styledDocument(points, fileType);
    if (streamed != styled) {
        std::fprintf(stderr, "streamed:\n%s\nstyled:\n%s\n", streamed.c_str(), styled.c_str());
        std::abort();
    }
    return 0;
}
