// Entry points of the individual backends, used only by the drive map.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform.h"

namespace dalvex::platform {

// Emulated drives (emulated_drive.cpp): a camera emulator listening on a Unix stream socket
// (target: its path) or on a TCP port (target: "tcp:HOST:PORT").
std::unique_ptr<DriveHandle> openEmulatedDrive(const std::string& target);
bool emulatedDriveExists(const std::string& target);
bool emulatedTotalSize(const std::string& target, uint64_t& bytes);

// The system's own drives (linux_sg.cpp or win32.cpp).
// A device path named in DALVEX_DRIVES ("/dev/sdb", "/dev/sg2").
std::unique_ptr<DriveHandle> openDevicePath(const std::string& devicePath);
bool devicePathExists(const std::string& devicePath);
bool devicePathTotalSize(const std::string& devicePath, uint64_t& bytes);
// A letter when DALVEX_DRIVES is not set: the system's own assignment.
std::unique_ptr<DriveHandle> openNativeDrive(char letter);
int nativeDriveType(char letter);
bool nativeTotalSize(char letter, uint64_t& bytes);

}  // namespace dalvex::platform
