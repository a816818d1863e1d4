// The operating-system operations that the transport and the drive scan are written against.
//
// Drives are named by letter ('C' to 'Z') as on the system the library was first written for.
// Which device stands behind a letter is decided by the drive map (drive_map.cpp): the
// DALVEX_DRIVES variable when it is set, otherwise the backend of this system. Each backend
// lives in a file of its own; nothing outside this folder knows which system it runs on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace dalvex::platform {

// Which way a command's data moves.
enum class DataDirection : uint8_t {
    kIn,   // device to host (a read)
    kOut,  // host to device (a write)
};

// One command for a backend to run: what every backend reads, and what it writes back. How the
// system's own call wants it laid out is the backend's business.
struct PassThroughRequest {
    uint8_t cdb[16] = {};
    uint8_t cdbLength = 16;  // the leading bytes of cdb that make the command
    DataDirection direction = DataDirection::kOut;
    void* data = nullptr;  // read into or written from, in place
    uint32_t length = 0;   // bytes the caller's block holds for the transfer
    uint32_t timeoutSeconds = 1;
    // Written back when the call succeeds:
    uint8_t scsiStatus = 0;  // status byte from the device
    uint32_t moved = 0;      // bytes actually moved
    uint8_t sense[24] = {};  // sense data, where the backend gets it
};

// An open drive. Backends derive from it; closing is the destructor.
class DriveHandle {
  public:
    virtual ~DriveHandle() = default;
    // Runs one request. Returns true when the pass-through call itself succeeded (the device may
    // still have answered with a non-zero SCSI status); on false, lastError() tells why.
    virtual bool pass(PassThroughRequest& request) = 0;
};

// Drive types, numbered as GetDriveType numbers them.
enum DriveType : int {
    kDriveUnknown = 0,
    kDriveNoRootDir = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
};

// Opens the raw drive of a letter for one command. Returns null when there is no such drive or
// it cannot be opened (lastError() then holds the reason).
std::unique_ptr<DriveHandle> openDrive(char letter);

// For tests: opens the drives of all letters through opener instead of the drive map (an empty
// function restores the map).
using DriveOpener = std::function<std::unique_ptr<DriveHandle>(char letter)>;
void setDriveOpenerForTesting(DriveOpener opener);

// The error code of the last failed open or pass-through call on this thread, in the system's
// own numbering (errno on Linux, GetLastError() on Windows).
uint32_t lastError();
void setLastError(uint32_t code);

// The type of the drive behind a letter.
int driveType(char letter);

// What stands behind a letter, as a text that changes whenever the drive's node appears, vanishes
// or is replaced; empty when the letter has no drive. Costs no command, so callers may ask often
// and send commands only when it changed.
std::string driveNode(char letter);

// The total size in bytes of the drive's medium. False when the size cannot be had.
bool totalSize(char letter, uint64_t& bytes);

// Where the card of the drive behind a letter can be read while the storage is exposed.
struct CardPlace {
    enum Kind { kNone, kFolder, kDisk } kind = kNone;
    std::string path;  // kFolder: the folder; kDisk: the disk's kernel name ("sdb")
};
CardPlace cardPlace(char letter);

struct LocalTime {
    int year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};
// The local wall-clock time.
LocalTime localTime();

}  // namespace dalvex::platform
