#include "transport.h"

#include <cstdio>
#include <cstring>

#include "byte_order.h"
#include "log.h"
#include "platform/platform.h"

namespace dalvex {

void buildVendorCdb(uint16_t subCommand, uint8_t cdb[16]) {
    std::memset(cdb, 0, 16);
    cdb[0] = kVendorOpcode;
    cdb[1] = 0x00;
    bytes::storeLe16(cdb + 2, subCommand);
}

void formatDriveRoot(int letter, char out[kDrivePathSize]) {
    std::snprintf(out, kDrivePathSize, "%c:\\", static_cast<char>(letter & 0xFF));
}

int sendCommand(const char* drivePath, uint8_t direction, const uint8_t cdb[16], void* data,
                uint32_t length, int* status) {
    *status = 0;
    // The device name is "\\.\%c:" from the path's first character; an empty path names no drive.
    const char letter = drivePath ? drivePath[0] : '\0';
    auto drive = letter ? platform::openDrive(letter) : nullptr;
    if (!drive) {
        dalvexLog("Get handle failed\r\n");
        return 0;
    }

    platform::PassThroughRequest request;
    std::memcpy(request.cdb, cdb, 16);
    request.cdbLength = 16;
    request.direction =
        direction == 0 ? platform::DataDirection::kIn : platform::DataDirection::kOut;
    request.data = data;
    request.length = length;
    request.timeoutSeconds = kCommandTimeoutSeconds;

    const bool ok = drive->pass(request);
    if (ok) {
        *status = request.scsiStatus;
    } else {
        dalvexLog("Send command failed!error code = 0x%x \r\n", platform::lastError());
        *status = -1;
    }
    return ok ? 1 : 0;
}

namespace {

int vendorCommand(uint16_t subCommand, uint8_t direction, void* data, uint32_t length,
                  const char* drivePath) {
    uint8_t cdb[16];
    buildVendorCdb(subCommand, cdb);
    int status = 0;
    const int ok = sendCommand(drivePath, direction, cdb, data, length, &status);
    if (direction == 0) {
        return ok ? 1 : 0;
    }
    return ok && status == 0 ? 1 : 0;
}

}  // namespace

int writeCommandTo(uint16_t subCommand, const void* data, uint32_t length, const char* drivePath) {
    // The pass-through call only reads a data-out block.
    return vendorCommand(subCommand, 1, const_cast<void*>(data), length, drivePath);
}

int readCommandFrom(uint16_t subCommand, void* data, uint32_t length, const char* drivePath) {
    return vendorCommand(subCommand, 0, data, length, drivePath);
}

int readCapacityMiB(const char* drivePath, uint32_t* mebibytes) {
    uint8_t cdb[16] = {0x25, 0x08};
    uint8_t data[8] = {};
    int status = 0;
    if (!sendCommand(drivePath, 0, cdb, data, sizeof data, &status)) {
        *mebibytes = 0;
        return 0;
    }
    const uint32_t lastLba = bytes::loadBe32(data);
    const uint32_t blockLength = bytes::loadBe32(data + 4);
    const uint32_t blocks = lastLba + 1;  // wraps to 0 for a last LBA of 0xFFFFFFFF
    *mebibytes = ((blocks >> 10) * blockLength) >> 10;
    return 1;
}

}  // namespace dalvex
