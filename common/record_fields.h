// The settings records of dalvex.h as named fields: for each record its fields in member order,
// with the offset and size of the member (taken from the struct, never written again), how the
// value is held, the list its stored value is a position in, whether it is a secret, and how many
// bytes of a text the camera's setter keeps where that is fewer than the field holds. The
// command-line tool reads and writes records by these tables; the pages take the typing limits
// that are a field's width from them.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "dalvex.h"
#include "settings_lists.h"

namespace fields {

enum class Kind {
    kText,      // fixed-width text in the camera's code set
    kNumber,    // unsigned little-endian integer of 1, 2 or 4 bytes
    kList,      // one byte holding a list choice
    kReadOnly,  // signed 4-byte value the camera keeps (shown, never written)
};

// The value list of a list field (settings_lists.h).
enum class List {
    kNone,
    kVideo,
    kPhoto,
    kLength,
    kSos,
    kWifiMode,
    kWifiEncryption,
    kRk40Volume,
    kRk40Ir,
    kRk40Loop,
    kRk20,  // the list of settings::Rk20Lists() with the field's name
};

struct Field {
    std::string_view name;  // the member's name
    Kind kind = Kind::kNumber;
    std::size_t offset = 0;
    std::size_t size = 0;  // bytes in the record
    std::size_t kept = 0;  // the bytes a setter keeps: size, or fewer for some texts
    List list = List::kNone;
    bool secret = false;  // a network password: never written to the audit log
};

struct Layout {
    std::string_view name;  // the record's name in the tool
    std::size_t size = 0;
    std::span<const Field> fields;

    // The field of that name; a name the record lacks does not compile.
    consteval const Field& operator[](std::string_view member) const {
        for (const Field& f : fields) {
            if (f.name == member)
                return f;
        }
        throw "no such field";
    }
};

constexpr Field Text(std::string_view name, std::size_t offset, std::size_t size,
                     std::size_t kept = 0) {
    return {name, Kind::kText, offset, size, kept != 0 ? kept : size};
}
constexpr Field Secret(std::string_view name, std::size_t offset, std::size_t size) {
    Field f = Text(name, offset, size);
    f.secret = true;
    return f;
}
constexpr Field Number(std::string_view name, std::size_t offset, std::size_t size) {
    return {name, Kind::kNumber, offset, size, size};
}
constexpr Field ReadOnly(std::string_view name, std::size_t offset, std::size_t size) {
    return {name, Kind::kReadOnly, offset, size, size};
}
constexpr Field Choice(std::string_view name, std::size_t offset, std::size_t size, List list) {
    return {name, Kind::kList, offset, size, size, list};
}

// The name, offset and size of a member of a record.
#define DALVEX_MEMBER(Record, member) #member, offsetof(Record, member), sizeof(Record::member)

inline constexpr Field kSettingFields[] = {
    Choice(DALVEX_MEMBER(DeviceSettingRecord, videoResolution), List::kVideo),
    Choice(DALVEX_MEMBER(DeviceSettingRecord, photoResolution), List::kPhoto),
    Choice(DALVEX_MEMBER(DeviceSettingRecord, videoLength), List::kLength),
    // The tool names it cardCapacityGB or cardCapacityMB by the model's unit.
    ReadOnly(DALVEX_MEMBER(DeviceSettingRecord, cardCapacity)),
    ReadOnly(DALVEX_MEMBER(DeviceSettingRecord, freeSpaceMB)),
};

// The setter keeps 11 bytes of the device and user ids.
inline constexpr std::size_t kUserIdKept = 11;
inline constexpr Field kUserFields[] = {
    Text(DALVEX_MEMBER(UserInfoRecord, deviceId), kUserIdKept),
    Text(DALVEX_MEMBER(UserInfoRecord, departmentName)),
    Text(DALVEX_MEMBER(UserInfoRecord, departmentNumber)),
    Text(DALVEX_MEMBER(UserInfoRecord, userName)),
    Text(DALVEX_MEMBER(UserInfoRecord, userId), kUserIdKept),
};

inline constexpr Field kGprsFields[] = {
    Choice(DALVEX_MEMBER(GprsRecord, sosAction), List::kSos),
    Text(DALVEX_MEMBER(GprsRecord, emergencyPhone)),
    Text(DALVEX_MEMBER(GprsRecord, apn)),
    Text(DALVEX_MEMBER(GprsRecord, userName)),
    Secret(DALVEX_MEMBER(GprsRecord, password)),
    Text(DALVEX_MEMBER(GprsRecord, serverIp)),
};

inline constexpr Field kMobileLinkFields[] = {
    Text(DALVEX_MEMBER(MobileLinkRecord, linkId)),
    Text(DALVEX_MEMBER(MobileLinkRecord, serverAddress)),
    Number(DALVEX_MEMBER(MobileLinkRecord, serverPort)),
    Text(DALVEX_MEMBER(MobileLinkRecord, apn)),
    Text(DALVEX_MEMBER(MobileLinkRecord, user)),
    Secret(DALVEX_MEMBER(MobileLinkRecord, password)),
    Text(DALVEX_MEMBER(MobileLinkRecord, dialNumber)),
};

inline constexpr Field kGpsUploadFields[] = {
    Number(DALVEX_MEMBER(GpsUploadRecord, uploadInterval)),
    Number(DALVEX_MEMBER(GpsUploadRecord, alarmInterval)),
};

inline constexpr Field kWifiFields[] = {
    Choice(DALVEX_MEMBER(WifiRecord, mode), List::kWifiMode),
    Text(DALVEX_MEMBER(WifiRecord, ssid)),
    Choice(DALVEX_MEMBER(WifiRecord, encryptionType), List::kWifiEncryption),
    Secret(DALVEX_MEMBER(WifiRecord, password)),
    Text(DALVEX_MEMBER(WifiRecord, ip)),
    Number(DALVEX_MEMBER(WifiRecord, port)),
};

inline constexpr Field kWifiApFields[] = {
    Text(DALVEX_MEMBER(WifiApRecord, apSsid)),
    Secret(DALVEX_MEMBER(WifiApRecord, apPassword)),
};

inline constexpr Field kCmsFields[] = {
    Text(DALVEX_MEMBER(Cmsv6Record, deviceId)),
    Text(DALVEX_MEMBER(Cmsv6Record, serverIp)),
    Number(DALVEX_MEMBER(Cmsv6Record, serverPort)),
    Number(DALVEX_MEMBER(Cmsv6Record, listenPort)),
};

#define DALVEX_RK20_CHOICE(member) Choice(DALVEX_MEMBER(Rk20SettingRecord, member), List::kRk20)
inline constexpr Field kRk20Fields[] = {
    DALVEX_RK20_CHOICE(resolution),
    DALVEX_RK20_CHOICE(recordOverwrite),
    DALVEX_RK20_CHOICE(recordFileSize),
    DALVEX_RK20_CHOICE(motionDetection),
    DALVEX_RK20_CHOICE(gsensor),
    DALVEX_RK20_CHOICE(overSpeedRecording),
    DALVEX_RK20_CHOICE(preRecord),
    DALVEX_RK20_CHOICE(carMode),
    DALVEX_RK20_CHOICE(autoPowerOff),
    DALVEX_RK20_CHOICE(dateFormat),
    DALVEX_RK20_CHOICE(gpsAutoUpdateTime),
    DALVEX_RK20_CHOICE(gmtSetup),
    DALVEX_RK20_CHOICE(dstSetup),
    DALVEX_RK20_CHOICE(language),
    DALVEX_RK20_CHOICE(volume),
    DALVEX_RK20_CHOICE(indicator),
    DALVEX_RK20_CHOICE(videoOn),
};
#undef DALVEX_RK20_CHOICE

// ConfigInfoRecord as the RK40 and the RK50 see it; both views start at the record's first byte.
inline constexpr Field kRk40ConfigFields[] = {
    Choice(DALVEX_MEMBER(ConfigInfoRk40, volume), List::kRk40Volume),
    Choice(DALVEX_MEMBER(ConfigInfoRk40, irMode), List::kRk40Ir),
    Choice(DALVEX_MEMBER(ConfigInfoRk40, recycleRecording), List::kRk40Loop),
};
// The plate keeps its terminator: 12 bytes of text.
inline constexpr Field kRk50ConfigFields[] = {
    Text(DALVEX_MEMBER(ConfigInfoRk50, plateNumber), sizeof(ConfigInfoRk50::plateNumber) - 1),
};

#undef DALVEX_MEMBER

inline constexpr Layout kSetting{"setting", sizeof(DeviceSettingRecord), kSettingFields};
inline constexpr Layout kUser{"user", sizeof(UserInfoRecord), kUserFields};
inline constexpr Layout kGprs{"gprs", sizeof(GprsRecord), kGprsFields};
inline constexpr Layout kMobileLink{"mobile-link", sizeof(MobileLinkRecord), kMobileLinkFields};
inline constexpr Layout kGpsUpload{"gps-upload", sizeof(GpsUploadRecord), kGpsUploadFields};
inline constexpr Layout kWifi{"wifi", sizeof(WifiRecord), kWifiFields};
inline constexpr Layout kWifiAp{"wifi-ap", sizeof(WifiApRecord), kWifiApFields};
inline constexpr Layout kCms{"cms", sizeof(Cmsv6Record), kCmsFields};
inline constexpr Layout kRk20{"rk20", sizeof(Rk20SettingRecord), kRk20Fields};
inline constexpr Layout kRk40Config{"config", sizeof(ConfigInfoRecord), kRk40ConfigFields};
inline constexpr Layout kRk50Config{"config", sizeof(ConfigInfoRecord), kRk50ConfigFields};

inline constexpr const Layout* kAllLayouts[] = {
    &kSetting, &kUser, &kGprs, &kMobileLink, &kGpsUpload,  &kWifi,
    &kWifiAp,  &kCms,  &kRk20, &kRk40Config, &kRk50Config,
};

// The entries of a list field's value list for a camera model; empty for other fields.
inline settings::Entries Entries(const Field& field, int model) {
    switch (field.list) {
        case List::kNone:
            return {};
        case List::kVideo:
            return settings::VideoEntries(model);
        case List::kPhoto:
            return settings::PhotoEntries(model);
        case List::kLength:
            return settings::LengthEntries(model);
        case List::kSos:
            return settings::SosEntries();
        case List::kWifiMode:
            return settings::WifiModeEntries();
        case List::kWifiEncryption:
            return settings::WifiEncryptionEntries();
        case List::kRk40Volume:
            return settings::Rk40VolumeEntries();
        case List::kRk40Ir:
            return settings::Rk40IrEntries();
        case List::kRk40Loop:
            return settings::Rk40LoopEntries();
        case List::kRk20:
            for (const settings::Rk20List& l : settings::Rk20Lists()) {
                if (l.field != nullptr && field.name == l.field)
                    return l.entries;
            }
            return {};
    }
    return {};
}

// The typing limit, in characters, of an edit that holds a whole field: the bytes its setter keeps.
constexpr int TypingLimit(const Field& field) {
    return static_cast<int>(field.kept);
}

// The same for an edit that leaves the field's last byte for the terminator.
constexpr int TerminatedTypingLimit(const Field& field) {
    return static_cast<int>(field.kept) - 1;
}

}  // namespace fields
