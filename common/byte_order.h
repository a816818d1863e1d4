// Little- and big-endian loads and stores of unsigned integers at any address. The bytes are
// copied with memcpy, so an unaligned field of a camera block, a video or a frame is read without
// undefined behaviour, and swapped only where the host's order differs.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace dalvex::bytes {

namespace detail {

template <typename T>
constexpr T swapped(T value) {
    static_assert(std::is_unsigned_v<T>);
    T out = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
        out = static_cast<T>(out << 8 | (value & 0xFF));
        value = static_cast<T>(value >> 8);
    }
    return out;
}

template <typename T, std::endian Order>
T load(const void* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return std::endian::native == Order ? value : swapped(value);
}

template <typename T, std::endian Order>
void store(void* p, T value) {
    if (std::endian::native != Order) {
        value = swapped(value);
    }
    std::memcpy(p, &value, sizeof value);
}

}  // namespace detail

inline uint16_t loadLe16(const void* p) {
    return detail::load<uint16_t, std::endian::little>(p);
}
inline uint32_t loadLe32(const void* p) {
    return detail::load<uint32_t, std::endian::little>(p);
}
inline uint64_t loadLe64(const void* p) {
    return detail::load<uint64_t, std::endian::little>(p);
}
inline uint16_t loadBe16(const void* p) {
    return detail::load<uint16_t, std::endian::big>(p);
}
inline uint32_t loadBe32(const void* p) {
    return detail::load<uint32_t, std::endian::big>(p);
}
inline uint64_t loadBe64(const void* p) {
    return detail::load<uint64_t, std::endian::big>(p);
}

inline void storeLe16(void* p, uint16_t v) {
    detail::store<uint16_t, std::endian::little>(p, v);
}
inline void storeLe32(void* p, uint32_t v) {
    detail::store<uint32_t, std::endian::little>(p, v);
}
inline void storeLe64(void* p, uint64_t v) {
    detail::store<uint64_t, std::endian::little>(p, v);
}
inline void storeBe32(void* p, uint32_t v) {
    detail::store<uint32_t, std::endian::big>(p, v);
}

}  // namespace dalvex::bytes
