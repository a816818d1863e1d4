// The camera handle: the commands of the tool and the offload, which the C exports share.
#include <cstring>

#include "camera_access.h"
#include "commands.h"
#include "dalvex/camera.h"
#include "discovery.h"
#include "log.h"
#include "passwords.h"
#include "platform/platform.h"
#include "record_fields.h"
#include "records.h"

namespace dalvex {

namespace {
constexpr UserInfoField kept(const fields::Field& f) {
    return {f.offset, f.kept, f.kept};
}
}  // namespace

const UserInfoField kUserInfoFields[5] = {
    kept(fields::kUser["deviceId"]),
    kept(fields::kUser["departmentName"]),
    kept(fields::kUser["departmentNumber"]),
    kept(fields::kUser["userName"]),
    // The camera keeps 11 characters of the user id, but callers get 6 of them.
    {fields::kUser["userId"].offset, fields::kUser["userId"].kept, 6},
};

namespace {

// The sub-commands that read and write each record (0: the camera has no such command).
template <typename Record>
struct RecordCommands;

#define DALVEX_RECORD_COMMANDS(Type, get, set) \
    template <>                                \
    struct RecordCommands<Type> {              \
        static constexpr uint16_t kGet = get;  \
        static constexpr uint16_t kSet = set;  \
    }

DALVEX_RECORD_COMMANDS(DeviceSettingRecord, kSubGetDeviceSetting, kSubSetDeviceSetting);
DALVEX_RECORD_COMMANDS(UserInfoRecord, kSubGetUserInfo, kSubSetUserInfo);
DALVEX_RECORD_COMMANDS(GprsRecord, kSubGetGprs, kSubSetGprs);
DALVEX_RECORD_COMMANDS(WifiRecord, kSubGetWifi, kSubSetWifi);
DALVEX_RECORD_COMMANDS(WifiApRecord, kSubGetWifiAp, kSubSetWifiAp);
DALVEX_RECORD_COMMANDS(MobileLinkRecord, kSubGetMobileLink, kSubSetMobileLink);
DALVEX_RECORD_COMMANDS(GpsUploadRecord, kSubGetGpsUpload, kSubSetGpsUpload);
DALVEX_RECORD_COMMANDS(Cmsv6Record, kSubGetCmsv6, kSubSetCmsv6);
DALVEX_RECORD_COMMANDS(Rk20SettingRecord, kSubGetRk20Setting, kSubSetRk20Setting);
DALVEX_RECORD_COMMANDS(Rk20StringInfo, kSubRk20StringInfo, 0);
DALVEX_RECORD_COMMANDS(ConfigInfoRecord, kSubGetConfigInfo, kSubSetConfigInfo);

#undef DALVEX_RECORD_COMMANDS

// What the camera is sent for a record: most go as they are.
template <typename Record>
Record outgoing(const Record& record) {
    return record;
}

// The camera takes the three choices; the rest of the record goes cleared.
template <>
DeviceSettingRecord outgoing(const DeviceSettingRecord& record) {
    DeviceSettingRecord sent{};
    sent.videoResolution = record.videoResolution;
    sent.photoResolution = record.photoResolution;
    sent.videoLength = record.videoLength;
    return sent;
}

// Each text cut to what the camera keeps of it; a terminator only where the text is shorter.
template <>
UserInfoRecord outgoing(const UserInfoRecord& record) {
    UserInfoRecord sent{};
    const char* in = reinterpret_cast<const char*>(&record);
    char* out = reinterpret_cast<char*>(&sent);
    const size_t widths[5] = {sizeof record.deviceId, sizeof record.departmentName,
                              sizeof record.departmentNumber, sizeof record.userName,
                              sizeof record.userId};
    for (int i = 0; i < 5; ++i) {
        const UserInfoField& f = kUserInfoFields[i];
        const std::string text(in + f.offset, strnlen(in + f.offset, widths[i]));
        copyBounded(out + f.offset, text.c_str(), f.written);
    }
    return sent;
}

bool readBlock(const Drive& drive, uint16_t subCommand, void* data, uint32_t length) {
    return drive.read(subCommand, data, length) != 0;
}

}  // namespace

std::vector<CameraInfo> listCameras() {
    std::vector<CameraInfo> cameras;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const Camera camera(letter);
        if (!camera.present()) {
            continue;
        }
        CameraInfo info;
        info.letter = letter;
        info.serial = camera.serial().value_or("");
        camera.readSpec(info.spec);
        info.battery = camera.battery();
        info.storageExposed = camera.storageExposed();
        cameras.push_back(info);
    }
    return cameras;
}

Camera::Camera(int letter) : letter_(static_cast<char>(letter & 0xFF)) {}

bool Camera::present() const {
    return cameraAt(letter_);
}

bool Camera::checkLogin(const std::string& password) const {
    return sendLoginCheck(CameraAccess::driveOf(*this), password.c_str()) != 0;
}

std::optional<std::string> Camera::serial() const {
    char block[32] = {};
    if (!readBlock(CameraAccess::driveOf(*this), kSubDeviceSerial, block, sizeof block)) {
        return std::nullopt;
    }
    return std::string(block, strnlen(block, sizeof block));
}

bool Camera::readSpec(DeviceSpecRecord& spec) const {
    const bool ok = readBlock(CameraAccess::driveOf(*this), kSubDeviceSpec, &spec, sizeof spec);
    substituteFirmware(reinterpret_cast<unsigned char*>(&spec));
    return ok;
}

std::optional<int> Camera::battery() const {
    int value = 0;
    if (!readBlock(CameraAccess::driveOf(*this), kSubBattery, &value, 4)) {
        return std::nullopt;
    }
    return value;
}

bool Camera::storageExposed() const {
    char root[kDrivePathSize];
    formatDriveRoot(letter_, root);
    // The command disk is tiny; a large disk is the card itself.
    return !isSmallDisk(root);
}

CardLocation Camera::card() const {
    CardLocation location;
    if (!storageExposed())
        return location;
    const platform::CardPlace place = platform::cardPlace(letter_);
    location.path = place.path;
    location.kind = place.kind == platform::CardPlace::kFolder ? CardLocation::kFolder
                    : place.kind == platform::CardPlace::kDisk ? CardLocation::kDisk
                                                               : CardLocation::kNone;
    return location;
}

template <typename Record>
bool Camera::read(Record& record) const {
    return readBlock(CameraAccess::driveOf(*this), RecordCommands<Record>::kGet, &record,
                     sizeof record);
}

template <typename Record>
bool Camera::write(const Record& record) const {
    static_assert(RecordCommands<Record>::kSet != 0, "the camera keeps this record read only");
    const Record sent = outgoing(record);
    return CameraAccess::driveOf(*this).write(RecordCommands<Record>::kSet, &sent, sizeof sent) !=
           0;
}

#define DALVEX_RECORD(Type)                        \
    template bool Camera::read<Type>(Type&) const; \
    template bool Camera::write<Type>(const Type&) const
DALVEX_RECORD(DeviceSettingRecord);
DALVEX_RECORD(UserInfoRecord);
DALVEX_RECORD(GprsRecord);
DALVEX_RECORD(WifiRecord);
DALVEX_RECORD(WifiApRecord);
DALVEX_RECORD(MobileLinkRecord);
DALVEX_RECORD(GpsUploadRecord);
DALVEX_RECORD(Cmsv6Record);
DALVEX_RECORD(Rk20SettingRecord);
DALVEX_RECORD(ConfigInfoRecord);
#undef DALVEX_RECORD
template bool Camera::read<Rk20StringInfo>(Rk20StringInfo&) const;

bool Camera::syncClock() const {
    const platform::LocalTime now = platform::localTime();
    return setClock(now.year, now.month, now.day, now.hour, now.minute, now.second);
}

bool Camera::setClock(int year, int month, int day, int hour, int minute, int second) const {
    const TimeRecord record = encodeTime(uint16_t(year), uint8_t(month), uint8_t(day),
                                         uint8_t(hour), uint8_t(minute), uint8_t(second));
    return CameraAccess::driveOf(*this).write(kSubSetTime, &record, sizeof record) != 0;
}

bool Camera::startFormat() const {
    return CameraAccess::driveOf(*this).writeByte(kSubFormat, kFormatByte) != 0;
}

bool Camera::formatFinished() const {
    uint32_t status = 0;
    CameraAccess::driveOf(*this).read(kSubFormatStatus, &status, sizeof status);
    return status == kFormatFinished;
}

bool Camera::reboot() const {
    return CameraAccess::driveOf(*this).writeByte(kSubReboot, kActionByte) != 0;
}

bool Camera::shutdown() const {
    // The camera answers the shutdown as a read of four bytes that mean nothing.
    uint8_t ignored[4] = {};
    return readBlock(CameraAccess::driveOf(*this), kSubShutdown, ignored, sizeof ignored);
}

bool Camera::exposeStorage(const std::string& loginPassword) const {
    const PasswordRecord record =
        packPassword(loginPassword.c_str(), nullptr, kPasswordLength, 1, 0);
    return CameraAccess::driveOf(*this).write(kSubLoginPassword, &record, sizeof record) != 0;
}

bool Camera::releaseStorage(const std::string& loginPassword) const {
    // The password stays out of the log: logs end up in bug reports.
    dalvexLog("drive:%c, pwd:%s \n", letter_, "******");
    char found = letter_;
    if (!findCameraDrive(&found, ScanMode::kMassStorage)) {
        return false;
    }
    // The bare marks "1" and "2" tell in the log how far the command got (camera found, login
    // accepted); the log keeps the lines that installed copies write, so they stay as they are.
    dalvexLog("1");
    // The scan has just set the mass-storage flag, so the check goes out without the refusal.
    if (!sendLoginCheck(Drive::current(), loginPassword.c_str())) {
        return false;
    }
    dalvexLog("2");
    selectDrive(found);
    return Drive::current().writeByte(kSubCopyFinished, kCopyFinishedByte) != 0;
}

bool Camera::copyFinished() const {
    return CameraAccess::driveOf(*this).writeByte(kSubCopyFinished, kCopyFinishedByte) != 0;
}

bool Camera::changeLoginPassword(const std::string& current, const std::string& next) const {
    const PasswordRecord record =
        packPassword(current.c_str(), next.c_str(), kPasswordLength, 0, 0);
    return CameraAccess::driveOf(*this).write(kSubChangeLoginPassword, &record, sizeof record) != 0;
}

bool Camera::changeBrowsePassword(const std::string& first, const std::string& second) const {
    const PasswordRecord record =
        packPassword(first.c_str(), second.c_str(), kPasswordLength, 0, 0);
    return CameraAccess::driveOf(*this).write(kSubChangeBrowsePassword, &record, sizeof record) !=
           0;
}

bool Camera::changeUserPassword(const std::string& current, const std::string& next) const {
    const PasswordRecord record =
        packPassword(current.c_str(), next.c_str(), kUserPasswordLength, 0, 0);
    return CameraAccess::driveOf(*this).write(kSubChangeUserPassword, &record, sizeof record) != 0;
}

bool Camera::startAdmin(const std::string& adminPassword) const {
    AdminPasswordRecord record{};
    copyBounded(record.password, adminPassword.c_str(), sizeof record.password);
    return CameraAccess::driveOf(*this).write(kSubStartAdminPassword, &record, sizeof record) != 0;
}

bool Camera::changeAdminPassword(const std::string& next) const {
    AdminPasswordRecord record{};
    copyBounded(record.password, next.c_str(), sizeof record.password);
    return CameraAccess::driveOf(*this).write(kSubNewAdminPassword, &record, sizeof record) != 0;
}

}  // namespace dalvex
