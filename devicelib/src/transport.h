// The vendor command transport: every exchange with a camera is one SCSI command with opcode
// 0xB8 and a 16-bit sub-command, sent through the platform's pass-through call on a drive that
// is opened for that one command and closed again. Nothing is kept between commands.
#pragma once

#include <cstdint>

namespace dalvex {

constexpr uint8_t kVendorOpcode = 0xB8;
constexpr uint32_t kCommandTimeoutSeconds = 1;
constexpr int kDrivePathSize = 32;

// Fills a vendor CDB: B8 00 <sub-command low> <high> and twelve zeros.
void buildVendorCdb(uint16_t subCommand, uint8_t cdb[16]);

// Sends one command to the drive whose letter is drivePath[0]. direction 0 reads (camera to
// host), anything else writes. status receives the SCSI status byte after a completed call, 0 when
// the drive could not be opened and -1 when the pass-through call failed. Returns nonzero when the
// pass-through call succeeded. Logs "Get handle failed\r\n" or "Send command failed!error code =
// 0x%x \r\n".
int sendCommand(const char* drivePath, uint8_t direction, const uint8_t cdb[16], void* data,
                uint32_t length, int* status);

// Writes succeed only when the camera answers with status 0 (GOOD); reads succeed as soon as the
// pass-through call does, whatever the status, and leave the bytes the camera did not return as
// they were. The caller names the drive.
int writeCommandTo(uint16_t subCommand, const void* data, uint32_t length, const char* drivePath);
int readCommandFrom(uint16_t subCommand, void* data, uint32_t length, const char* drivePath);

// READ CAPACITY(10): the medium's size in MiB, rounded down to whole 1024-block units before the
// block length is applied, in 32-bit arithmetic. Returns 0 (and 0 MiB) when the command fails.
int readCapacityMiB(const char* drivePath, uint32_t* mebibytes);

// The root "%c:\" of a drive letter (only the letter's low byte counts).
void formatDriveRoot(int letter, char out[kDrivePathSize]);

}  // namespace dalvex
