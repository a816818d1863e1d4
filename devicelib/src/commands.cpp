// Identity, actions, status and time exports.
#include "commands.h"

#include <cstring>
#include <string>

#include "camera_access.h"
#include "export_guard.h"
#include "passwords.h"

namespace dalvex {

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

int formatStatus(const Camera& camera) {
    if (storageExposed()) {
        return 0;
    }
    return camera.formatFinished() ? 1 : 0;
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
    return CameraAccess::current().reboot() ? 1 : 0;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Reboot_Ex(int letter) try {
    return Camera(letter).reboot() ? 1 : 0;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Shutdown(void) try {
    return CameraAccess::current().shutdown() ? 1 : 0;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Shutdown_Ex(int letter) try {
    return Camera(letter).shutdown() ? 1 : 0;
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
    return CameraAccess::current().startFormat() ? 1 : 0;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Format_Ex(int letter) try {
    if (storageExposed()) {
        return 0;
    }
    return Camera(letter).startFormat() ? 1 : 0;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Get_FormatStatus(void) try {
    return formatStatus(CameraAccess::current());
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Get_FormatStatus_Ex(int letter) try {
    return formatStatus(Camera(letter));
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
    // At most the six characters the login check sends are read of the caller's text.
    const std::string text =
        password != nullptr ? std::string(password, strnlen(password, kPasswordLength)) : "";
    return Camera(letter).releaseStorage(text) ? 1 : 0;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetCopyFileFinish_Ex(int letter) try {
    return Camera(letter).copyFinished() ? 1 : 0;
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
    return CameraAccess::current().syncClock() ? 1 : 0;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetDeviceTime(int year, int month, int day, int hour, int minute,
                                   int second) try {
    return CameraAccess::current().setClock(year, month, day, hour, minute, second) ? 1 : 0;
} catch (...) {
    return exportFailed(__func__, 0);
}

}  // extern "C"
