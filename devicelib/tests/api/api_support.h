// Shared helpers of the export tests: a camera on a letter, found by the library's own scan, and
// byte blocks to compare what the camera received with.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dalvex.h"
#include "support/emulated_cameras.h"

namespace apitest {

using Bytes = std::vector<uint8_t>;

// A zero block of a size with text and bytes placed at offsets.
class Block {
  public:
    explicit Block(size_t size) : bytes_(size, 0) {}
    Block& text(size_t offset, const std::string& text) {
        std::memcpy(bytes_.data() + offset, text.data(), text.size());
        return *this;
    }
    Block& byte(size_t offset, uint8_t value) {
        bytes_.at(offset) = value;
        return *this;
    }
    Block& u32(size_t offset, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes_.at(offset + i) = uint8_t(value >> (8 * i));
        return *this;
    }
    operator Bytes() const { return bytes_; }

  private:
    Bytes bytes_;
};

template <typename Record>
Bytes bytesOf(const Record& record) {
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return Bytes(p, p + sizeof record);
}

// A record filled with a recognisable pattern.
template <typename Record>
Record patterned(uint8_t seed) {
    Record record;
    auto* p = reinterpret_cast<uint8_t*>(&record);
    for (size_t i = 0; i < sizeof record; ++i)
        p[i] = uint8_t(seed + i * 7);
    return record;
}

// The camera most tests talk to: tests see no disappearance after reboot or shutdown unless they
// ask for it, and the administrator password may be changed at once.
inline camsim::CameraState testCamera() {
    camsim::CameraState state;
    state.rebootMilliseconds = 0;
    state.shutdownMilliseconds = 0;
    state.adminUnlocked = true;
    state.records[0xF224] = {7, 0, 0, 0};  // point-blank value 7
    return state;
}

// A camera on E: made the current drive by the library's scan, which also clears the
// mass-storage flag that an earlier test may have left.
class CameraTest : public ::testing::Test {
  protected:
    void SetUp() override { plugCamera(testCamera()); }

    void plugCamera(camsim::CameraState state) {
        drives.add('E', std::move(state));
        ASSERT_EQ(TKUSB_IsDevice(), 'E');
        camera().clearReceived();
    }

    // Makes the library's mass-storage flag set, the way it happens in the field: a copy-finished
    // call meets the camera's exposed card and a refused password stops it there.
    void exposeStorage() {
        {
            std::lock_guard<std::mutex> guard(camera().lock());
            camera().state().massStorage = true;
        }
        ASSERT_EQ(TKUSB_SetCopyFileFinish('E', "wrong!"), 0);
        camera().clearReceived();
    }

    camsim::CameraModel& camera() { return drives.model('E'); }
    std::vector<camsim::CameraState::Received> received() { return camera().snapshot().received; }

    testsupport::EmulatedDrives drives;
};

}  // namespace apitest
