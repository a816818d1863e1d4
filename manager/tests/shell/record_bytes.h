// Camera records as the byte blocks the emulated camera stores, and back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

template <typename Record>
std::vector<uint8_t> Bytes(const Record& record) {
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return std::vector<uint8_t>(p, p + sizeof record);
}

template <typename Record>
Record FromBytes(const std::vector<uint8_t>& bytes) {
    Record record{};
    std::memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof record));
    return record;
}
