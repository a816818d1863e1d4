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
// An emulated drive on a stream that is already connected; the drive owns and closes it.
std::unique_ptr<DriveHandle> adoptEmulatedDrive(int connectedFd);
bool emulatedDriveExists(const std::string& target);
bool emulatedTotalSize(const std::string& target, uint64_t& bytes);
// The folder an emulated drive names as its card; empty while it names none, and from a peer
// that does not know the question.
std::string emulatedCardFolder(const std::string& target);
// What identifies the drive behind target, empty when there is none: a socket file's identity,
// or for a port the target itself while something answers on it.
std::string emulatedDriveNode(const std::string& target);
// The identity of a file (device, inode, change time), empty when it does not exist; a file
// removed and created again under the same name gets another one. Empty on Windows.
std::string fileNode(const std::string& path);

// The system's own drives (linux_sg.cpp or win32.cpp).
// A device path named in DALVEX_DRIVES ("/dev/sdb", "/dev/sg2").
std::unique_ptr<DriveHandle> openDevicePath(const std::string& devicePath);
bool devicePathExists(const std::string& devicePath);
bool devicePathTotalSize(const std::string& devicePath, uint64_t& bytes);
std::string devicePathNode(const std::string& devicePath);
CardPlace devicePathCard(const std::string& devicePath);
// A letter when DALVEX_DRIVES is not set: the system's own assignment.
std::unique_ptr<DriveHandle> openNativeDrive(char letter);
int nativeDriveType(char letter);
bool nativeTotalSize(char letter, uint64_t& bytes);
std::string nativeDriveNode(char letter);
CardPlace nativeCard(char letter);

}  // namespace dalvex::platform
