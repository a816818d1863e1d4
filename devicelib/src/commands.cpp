// Identity, actions, status and time exports, and the helpers every export shares.
#include "commands.h"

#include <cstring>

#include "discovery.h"
#include "export_guard.h"
#include "log.h"
#include "passwords.h"
#include "platform/platform.h"

namespace dalvex {

Drive Drive::ofLetter(int letter) {
    Drive drive;
    drive.named_ = true;
    formatDriveRoot(letter, drive.root_);
    return drive;
}

const char* Drive::path() const {
    return named_ ? root_ : currentDrivePath();
}

int Drive::write(uint16_t subCommand, const void* data, uint32_t length) const {
    return writeCommandTo(subCommand, data, length, path());
}

int Drive::read(uint16_t subCommand, void* data, uint32_t length) const {
    return readCommandFrom(subCommand, data, length, path());
}

bool storageExposed() {
    return massStorageFlag() != 0;
}

void copyBounded(char* out, const char* text, size_t bound) {
    const size_t length = strnlen(text, bound);
    std::memcpy(out, text, length);
    if (length < bound) {
        out[length] = '\0';
    }
}

void substituteFirmware(unsigned char* spec52) {
    static constexpr char kRetired[] = "TKV71MRD.140918.WF";
    static constexpr char kSuccessor[] = "TKV71MRD.150530.WR";
    unsigned char* firmware = spec52 + offsetof(DeviceSpecRecord, firmwareVersion);
    if (std::memcmp(firmware, kRetired, sizeof kRetired - 1) == 0) {
        std::memset(firmware, 0, sizeof(DeviceSpecRecord::firmwareVersion));
        std::memcpy(firmware, kSuccessor, sizeof kSuccessor);
    }
}

TimeRecord encodeTime(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                      unsigned second) {
    TimeRecord record{};
    record.date = uint32_t(year * 10000 + month * 100 + day);
    record.time = uint32_t(hour * 10000 + minute * 100 + second);
    return record;
}

namespace {

int readVersion(const Drive& drive) {
    int version = 0;  // the camera sends a u16; the upper bytes stay clear
    if (!drive.read(kSubVersion, &version, 2)) {
        return 0;
    }
    return version;
}

int readDiscarded(const Drive& drive, uint16_t subCommand) {
    uint8_t ignored[4] = {};
    return drive.read(subCommand, ignored, sizeof ignored);
}

int formatStatus(const Drive& drive) {
    if (storageExposed()) {
        return 0;
    }
    uint32_t status = 0;
    drive.read(kSubFormatStatus, &status, sizeof status);
    return status == kFormatFinished ? 1 : 0;
}

int sendTime(const TimeRecord& record) {
    return Drive::current().write(kSubSetTime, &record, sizeof record);
}

}  // namespace

}  // namespace dalvex

using namespace dalvex;

extern "C" {

DALVEX_API int TKUSB_GetVersion(void) try { return readVersion(Drive::current()); } catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetVersion_Ex(int letter) try {
    return readVersion(Drive::ofLetter(letter));
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetBuildVersion(char* block32) try {
    if (block32 == nullptr) {
        return 0;
    }
    return Drive::current().read(kSubBuildVersion, block32, 32);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetDevSerial(char* text33) try {
    char block[32] = {};
    if (text33 == nullptr || !Drive::current().read(kSubDeviceSerial, block, sizeof block)) {
        return 0;
    }
    const size_t length = strnlen(block, sizeof block);
    std::memcpy(text33, block, length);
    text33[length] = '\0';
    return 1;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetDeviceSpec(DeviceSpecRecord* spec) try {
    if (spec == nullptr) {
        return 0;
    }
    const int ok = Drive::current().read(kSubDeviceSpec, spec, sizeof *spec);
    substituteFirmware(reinterpret_cast<unsigned char*>(spec));
    return ok;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetFWVer(char* text49) try {
    if (text49 == nullptr) {
        return 0;
    }
    unsigned char block[sizeof(DeviceSpecRecord)] = {};
    const int ok = Drive::current().read(kSubDeviceSpec, block, sizeof block);
    substituteFirmware(block);
    // The text may run on past its field, up to the end of the record: 48 bytes from offset 4.
    constexpr size_t kStart = offsetof(DeviceSpecRecord, firmwareVersion);
    const char* text = reinterpret_cast<const char*>(block + kStart);
    const size_t length = strnlen(text, sizeof block - kStart);
    std::memcpy(text49, text, length);
    text49[length] = '\0';
    return ok;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetDeviceTime(char* block32) try {
    if (block32 == nullptr) {
        return 0;
    }
    return Drive::current().read(kSubDeviceTime, block32, 32);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Reboot(void) try {
    return Drive::current().writeByte(kSubReboot, kActionByte);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Reboot_Ex(int letter) try {
    return Drive::ofLetter(letter).writeByte(kSubReboot, kActionByte);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Shutdown(void) try {
    return readDiscarded(Drive::current(), kSubShutdown);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Shutdown_Ex(int letter) try {
    return readDiscarded(Drive::ofLetter(letter), kSubShutdown);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_DeleteLog(void) try {
    return Drive::current().writeByte(kSubDeleteLog, kActionByte);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_DeleteLog_Ex(int letter) try {
    return Drive::ofLetter(letter).writeByte(kSubDeleteLog, kActionByte);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Format(void) try {
    if (storageExposed()) {
        return 0;
    }
    return Drive::current().writeByte(kSubFormat, kFormatByte);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Format_Ex(int letter) try {
    if (storageExposed()) {
        return 0;
    }
    return Drive::ofLetter(letter).writeByte(kSubFormat, kFormatByte);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Get_FormatStatus(void) try {
    return formatStatus(Drive::current());
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Get_FormatStatus_Ex(int letter) try {
    return formatStatus(Drive::ofLetter(letter));
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_FactoryFocus(void) try {
    if (storageExposed()) {
        return 0;
    }
    return readDiscarded(Drive::current(), kSubFactoryFocus);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_RK20UseDefault(void) try {
    if (storageExposed()) {
        return 0;
    }
    return Drive::current().writeByte(kSubRestoreDefaults, kActionByte);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetCopyFileFinish(int letter, const char* password) try {
    // The password stays out of the log: logs end up in bug reports.
    dalvexLog("drive:%c, pwd:%s \n", static_cast<char>(letter & 0xFF), "******");
    char found = static_cast<char>(letter & 0xFF);
    if (!findCameraDrive(&found, ScanMode::kMassStorage)) {
        return 0;
    }
    // The bare marks "1" and "2" tell in the log how far the export got (camera found, login
    // accepted); the log keeps the lines that installed copies write, so they stay as they are.
    dalvexLog("1");
    // The scan has just set the mass-storage flag, so the check goes out without the refusal.
    if (!sendLoginCheck(Drive::current(), password)) {
        return 0;
    }
    dalvexLog("2");
    selectDrive(found);
    return Drive::current().writeByte(kSubCopyFinished, kCopyFinishedByte);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetCopyFileFinish_Ex(int letter) try {
    return Drive::ofLetter(letter).writeByte(kSubCopyFinished, kCopyFinishedByte);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetBattle(int* value) try {
    if (value == nullptr || storageExposed()) {
        return 0;
    }
    return Drive::current().read(kSubBattery, value, 4);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetBattle_Ex(int* value, int letter) try {
    if (value == nullptr) {
        return 0;
    }
    return Drive::ofLetter(letter).read(kSubBattery, value, 4);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetGsensorData(unsigned char* block8) try {
    if (block8 == nullptr || storageExposed()) {
        return 0;
    }
    return Drive::current().read(kSubGsensor, block8, 8);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_CheckLastOperateSuc(unsigned char* block8) try {
    if (block8 == nullptr) {
        return 0;
    }
    return Drive::current().read(kSubLastOperation, block8, 8);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetTime(void) try {
    if (storageExposed()) {
        return 0;
    }
    const platform::LocalTime now = platform::localTime();
    return sendTime(encodeTime(uint16_t(now.year), uint8_t(now.month), uint8_t(now.day),
                               uint8_t(now.hour), uint8_t(now.minute), uint8_t(now.second)));
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetDeviceTime(int year, int month, int day, int hour, int minute,
                                   int second) try {
    return sendTime(encodeTime(uint16_t(year), uint8_t(month), uint8_t(day), uint8_t(hour),
                               uint8_t(minute), uint8_t(second)));
} catch (...) {
    return exportFailed(__func__, 0);
}

}  // extern "C"
