// The Windows pass-through request worked out from a portable one: the values of the
// SCSI_PASS_THROUGH_DIRECT fields and the layout of the block that carries it with its sense
// area. Plain values without windows.h, so that every build can check them; win32.cpp copies
// them into the system's structure and asserts that the layout is the compiler's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform.h"

namespace dalvex::platform::win32 {

constexpr uint8_t kScsiIoctlDataOut = 0;  // SCSI_IOCTL_DATA_OUT
constexpr uint8_t kScsiIoctlDataIn = 1;   // SCSI_IOCTL_DATA_IN
constexpr uint8_t kSenseLength = 24;      // the sense area after the structure

// The size of SCSI_PASS_THROUGH_DIRECT: 44 bytes in the 32-bit layout; with 8-byte pointers the
// data pointer and the end of the structure align to 8, which makes 56.
constexpr uint16_t passThroughLength(size_t pointerSize) {
    return pointerSize == 4 ? 44 : 56;
}

// The sense area follows the structure and a 4-byte filler.
constexpr uint32_t senseInfoOffset(size_t pointerSize) {
    return passThroughLength(pointerSize) + 4;
}

struct PassThroughFields {
    uint16_t length = 0;
    uint8_t pathId = 0;
    uint8_t targetId = 0;
    uint8_t lun = 0;
    uint8_t cdbLength = 0;
    uint8_t senseInfoLength = 0;
    uint8_t dataIn = 0;
    uint32_t dataTransferLength = 0;
    uint32_t timeOutValue = 0;
    void* dataBuffer = nullptr;
    uint32_t senseInfoOffset = 0;
    uint8_t cdb[16] = {};
};

// The fields for a request, in the layout of a build whose pointers are pointerSize bytes.
inline PassThroughFields passThroughFields(const PassThroughRequest& request,
                                           size_t pointerSize = sizeof(void*)) {
    PassThroughFields f;
    f.length = passThroughLength(pointerSize);
    f.pathId = 0;
    f.targetId = 1;
    f.lun = 0;
    f.cdbLength = request.cdbLength;
    f.senseInfoLength = kSenseLength;
    f.dataIn = request.direction == DataDirection::kIn ? kScsiIoctlDataIn : kScsiIoctlDataOut;
    f.dataTransferLength = request.length;
    f.timeOutValue = request.timeoutSeconds;
    f.dataBuffer = request.data;
    f.senseInfoOffset = senseInfoOffset(pointerSize);
    std::memcpy(f.cdb, request.cdb, sizeof f.cdb);
    return f;
}

}  // namespace dalvex::platform::win32
