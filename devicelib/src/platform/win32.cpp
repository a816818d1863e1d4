// Windows: the raw drive "\\.\X:" opened for each command, SCSI_PASS_THROUGH_DIRECT through
// DeviceIoControl, drive types and sizes from the Win32 drive calls. Built with MinGW-w64 or
// MSVC; the structure layout is the compiler's native one.
//
// Emulated drives come from emulated_drive.cpp: on Windows only its "tcp:" targets, a "unix:"
// entry of DALVEX_DRIVES opens nothing.
#include <windows.h>
// after windows.h, which it relies on
#include <ntddscsi.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "backends.h"
#include "win32_pass_through.h"

namespace dalvex::platform {

namespace {

// The request as Windows expects it: the structure, then the sense area at SenseInfoOffset.
struct PassThroughWithSense {
    SCSI_PASS_THROUGH_DIRECT spt;
    ULONG filler;
    UCHAR sense[win32::kSenseLength];
};
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == win32::passThroughLength(sizeof(void*)));
static_assert(offsetof(PassThroughWithSense, sense) == win32::senseInfoOffset(sizeof(void*)));
static_assert(SCSI_IOCTL_DATA_IN == win32::kScsiIoctlDataIn &&
              SCSI_IOCTL_DATA_OUT == win32::kScsiIoctlDataOut);

class Win32Drive final : public DriveHandle {
  public:
    explicit Win32Drive(HANDLE handle) : handle_(handle) {}
    ~Win32Drive() override { CloseHandle(handle_); }

    bool pass(PassThroughRequest& request) override {
        const win32::PassThroughFields fields = win32::passThroughFields(request);
        PassThroughWithSense block;
        std::memset(&block, 0, sizeof block);
        block.spt.Length = fields.length;
        block.spt.PathId = fields.pathId;
        block.spt.TargetId = fields.targetId;
        block.spt.Lun = fields.lun;
        block.spt.CdbLength = fields.cdbLength;
        block.spt.SenseInfoLength = fields.senseInfoLength;
        block.spt.DataIn = fields.dataIn;
        block.spt.DataTransferLength = fields.dataTransferLength;
        block.spt.TimeOutValue = fields.timeOutValue;
        block.spt.DataBuffer = fields.dataBuffer;
        block.spt.SenseInfoOffset = fields.senseInfoOffset;
        std::memcpy(block.spt.Cdb, fields.cdb, sizeof fields.cdb);

        DWORD returned = 0;
        const BOOL ok = DeviceIoControl(handle_, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block,
                                        sizeof block, &block, sizeof block, &returned, nullptr);
        request.scsiStatus = block.spt.ScsiStatus;
        if (!ok) {
            setLastError(GetLastError());
            return false;
        }
        request.moved = block.spt.DataTransferLength;
        std::memcpy(request.sense, block.sense, sizeof request.sense);
        return true;
    }

  private:
    HANDLE handle_;
};

std::unique_ptr<DriveHandle> openByName(const char* name) {
    HANDLE handle =
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        setLastError(GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32Drive>(handle);
}

}  // namespace

std::unique_ptr<DriveHandle> openDevicePath(const std::string& devicePath) {
    return openByName(devicePath.c_str());
}

bool devicePathExists(const std::string& devicePath) {
    return GetFileAttributesA(devicePath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool devicePathTotalSize(const std::string&, uint64_t&) {
    return false;
}

std::string devicePathNode(const std::string& devicePath) {
    return devicePathExists(devicePath) ? devicePath : std::string();
}

CardPlace devicePathCard(const std::string& devicePath) {
    // "\\.\E:" names the letter E's volume, whose root is the card.
    CardPlace place;
    if (devicePath.size() == 6 && devicePath.compare(0, 4, "\\\\.\\") == 0 &&
        devicePath[5] == ':') {
        place = nativeCard(devicePath[4]);
    }
    return place;
}

std::unique_ptr<DriveHandle> openNativeDrive(char letter) {
    char name[8];
    std::snprintf(name, sizeof name, "\\\\.\\%c:", letter);
    return openByName(name);
}

int nativeDriveType(char letter) {
    char root[4] = {letter, ':', '\\', '\0'};
    return static_cast<int>(GetDriveTypeA(root));
}

std::string nativeDriveNode(char letter) {
    char root[4] = {letter, ':', '\\', '\0'};
    if (GetDriveTypeA(root) != DRIVE_REMOVABLE) {
        return {};
    }
    // The volume name ("\\?\Volume{GUID}\") differs for each medium that arrives on the letter.
    char volume[64] = {};
    if (!GetVolumeNameForVolumeMountPointA(root, volume, sizeof volume)) {
        return "removable";
    }
    return volume;
}

CardPlace nativeCard(char letter) {
    CardPlace place;
    char root[4] = {letter, ':', '\\', '\0'};
    if (GetDriveTypeA(root) == DRIVE_REMOVABLE) {
        place.kind = CardPlace::kFolder;
        place.path = root;
    }
    return place;
}

bool nativeTotalSize(char letter, uint64_t& bytes) {
    char root[4] = {letter, ':', '\\', '\0'};
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA(root, &available, &total, &free)) {
        return false;
    }
    bytes = total.QuadPart;
    return true;
}

LocalTime localTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return LocalTime{t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
                     t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
}

}  // namespace dalvex::platform
