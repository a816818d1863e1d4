#include "records.h"

#include <cstring>

#include "byte_order.h"
#include "camera_access.h"
#include "commands.h"
#include "export_guard.h"

namespace dalvex {

namespace {

// Plain record transfers: straight into or out of the caller's record, refused while the
// storage is exposed.
template <typename Record>
int getRecord(const Camera& camera, Record* record) {
    if (record == nullptr || storageExposed()) {
        return 0;
    }
    return camera.read(*record) ? 1 : 0;
}

template <typename Record>
int setRecord(const Camera& camera, const Record* record) {
    if (record == nullptr || storageExposed()) {
        return 0;
    }
    return camera.write(*record) ? 1 : 0;
}

// The getters that clear the caller's record first, before the refusal.
template <typename Record>
int getClearedRecord(Record* record, bool refuses) {
    if (record == nullptr) {
        return 0;
    }
    std::memset(record, 0, sizeof *record);
    if (refuses && storageExposed()) {
        return 0;
    }
    return CameraAccess::current().read(*record) ? 1 : 0;
}

int readSetting(const Camera& camera, DeviceSettingRecord& setting) {
    setting = DeviceSettingRecord{};
    return camera.read(setting) ? 1 : 0;
}

int copySetting(const Camera& camera, DeviceSettingRecord* out) {
    if (out == nullptr) {
        return 0;
    }
    DeviceSettingRecord setting;
    if (!readSetting(camera, setting)) {
        return 0;
    }
    std::memcpy(out, &setting, sizeof setting);
    return 1;
}

int writeSetting(const Camera& camera, int photoResolution, int videoResolution, int videoLength) {
    if (storageExposed()) {
        return 0;
    }
    DeviceSettingRecord setting{};
    setting.videoResolution = uint8_t(videoResolution);
    setting.photoResolution = uint8_t(photoResolution);
    setting.videoLength = uint8_t(videoLength);
    return camera.write(setting) ? 1 : 0;
}

int readPointBlank(const Drive& drive) {
    int32_t value = 0;
    drive.read(kSubGetPointBlank, &value, sizeof value);
    return value;
}

}  // namespace

}  // namespace dalvex

using namespace dalvex;

extern "C" {

DALVEX_API int TKUSB_GetUserInfo(char* deviceId, char* departmentName, char* departmentNumber,
                                 char* userName, char* userId) try {
    UserInfoRecord record{};
    const int ok = CameraAccess::current().read(record) ? 1 : 0;
    char* outputs[5] = {deviceId, departmentName, departmentNumber, userName, userId};
    const char* bytes = reinterpret_cast<const char*>(&record);
    for (int i = 0; i < 5; ++i) {
        if (outputs[i] != nullptr) {
            copyBounded(outputs[i], bytes + kUserInfoFields[i].offset, kUserInfoFields[i].returned);
        }
    }
    // A failed read is a failure even though the outputs were filled (with empty texts).
    return ok;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetUserInfo(const char* deviceId, const char* departmentName,
                                 const char* departmentNumber, const char* userName,
                                 const char* userId) try {
    if (storageExposed()) {
        return 0;
    }
    UserInfoRecord record{};
    const char* texts[5] = {deviceId, departmentName, departmentNumber, userName, userId};
    char* bytes = reinterpret_cast<char*>(&record);
    for (int i = 0; i < 5; ++i) {
        if (texts[i] != nullptr) {
            copyBounded(bytes + kUserInfoFields[i].offset, texts[i], kUserInfoFields[i].written);
        }
    }
    return CameraAccess::current().write(record) ? 1 : 0;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetDeviceSetting(int* photoResolution, int* videoResolution, int* videoLength,
                                      int* cardCapacity) try {
    if (storageExposed()) {
        return 0;
    }
    DeviceSettingRecord setting;
    if (!readSetting(CameraAccess::current(), setting)) {
        return 0;
    }
    if (photoResolution != nullptr) {
        *photoResolution = setting.photoResolution;
    }
    if (videoResolution != nullptr) {
        *videoResolution = setting.videoResolution;
    }
    if (videoLength != nullptr) {
        *videoLength = setting.videoLength;
    }
    if (cardCapacity != nullptr) {
        *cardCapacity = setting.cardCapacity;
    }
    return 1;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetDeviceSettingEx(DeviceSettingRecord* setting) try {
    if (storageExposed()) {
        return 0;
    }
    return copySetting(CameraAccess::current(), setting);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetDeviceSettingEx_Ex(DeviceSettingRecord* setting, int letter) try {
    return copySetting(Camera(letter), setting);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetDeviceSetting(int photoResolution, int videoResolution,
                                      int videoLength) try {
    return writeSetting(CameraAccess::current(), photoResolution, videoResolution, videoLength);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetDeviceSetting_Ex(int photoResolution, int videoResolution, int videoLength,
                                         int letter) try {
    return writeSetting(Camera(letter), photoResolution, videoResolution, videoLength);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetDeviceSettingEx(int photoResolution, int videoResolution,
                                        int videoLength) try {
    if (photoResolution < 0 || photoResolution > 4 || videoResolution < 0 || videoResolution > 3 ||
        videoLength < 0 || videoLength > 5) {
        return 0;
    }
    return writeSetting(CameraAccess::current(), photoResolution, videoResolution, videoLength);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetGprsParam(GprsRecord* record) try {
    return getRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetGprsParam(const GprsRecord* record) try {
    return setRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetWifiParam(WifiRecord* record) try {
    return getRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetWifiParam(const WifiRecord* record) try {
    return setRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetWifiAPParam(WifiApRecord* record) try {
    return getRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetWifiAPParam(const WifiApRecord* record) try {
    return setRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetMobileLinkParam(MobileLinkRecord* record) try {
    return getRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetMobileLinkParam(const MobileLinkRecord* record) try {
    return setRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetGpsUploadParam(GpsUploadRecord* record) try {
    return getRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetGpsUploadParam(const GpsUploadRecord* record) try {
    return setRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetConfigInfo(ConfigInfoRecord* record) try {
    return getRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetConfigInfo(const ConfigInfoRecord* record) try {
    return setRecord(CameraAccess::current(), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetConfigInfo_Ex(ConfigInfoRecord* record, int letter) try {
    return getRecord(Camera(letter), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetConfigInfo_Ex(const ConfigInfoRecord* record, int letter) try {
    return setRecord(Camera(letter), record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_CMSV6GetSeting(Cmsv6Record* record) try {
    return getClearedRecord(record, true);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_CMSV6Setting(Cmsv6Record record) try {
    return setRecord(CameraAccess::current(), &record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_RK20GetSeting(Rk20SettingRecord* record) try {
    return getClearedRecord(record, true);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_RK20Setting(Rk20SettingRecord record) try {
    return setRecord(CameraAccess::current(), &record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_RK20GetStringInfo(Rk20StringInfo* record) try {
    return getClearedRecord(record, false);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetPointBlankSet(int* value) try {
    if (value == nullptr || storageExposed()) {
        return 0;
    }
    return Drive::current().read(kSubGetPointBlank, value, sizeof *value);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetPointBlankSet_Ex(int letter) try {
    return readPointBlank(Drive::ofLetter(letter));
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetPointBlankSet(int value) try {
    if (storageExposed()) {
        return 0;
    }
    const int32_t record = value;
    return Drive::current().write(kSubSetPointBlank, &record, sizeof record);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetPointBlankSet_Ex(int value, int letter) try {
    const Drive drive = Drive::ofLetter(letter);
    if (storageExposed()) {
        return 0;
    }
    const int32_t written = value;
    // The write's own result says little; what counts is what the camera kept.
    drive.write(kSubSetPointBlank, &written, sizeof written);
    return readPointBlank(drive) == value ? 1 : 0;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_RFIDSetting(int value) try {
    uint8_t record[2];
    bytes::storeLe16(record, uint16_t(value));
    return Drive::current().write(kSubRfid, record, sizeof record);
} catch (...) {
    return exportFailed(__func__, 0);
}

}  // extern "C"

// The second form of the point-blank getter is a C++ function, exported under its C++ name.
DALVEX_API int TKUSB_GetPointBlankSet() try {
    if (storageExposed()) {
        return 0;
    }
    return readPointBlank(Drive::current());
} catch (...) {
    return exportFailed(__func__, 0);
}
