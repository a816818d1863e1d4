#include "fields.h"

#include <algorithm>
#include <cstring>

#include "commands.h"
#include "text/langtable.h"
#include "text/text.h"
#include "transport.h"

namespace cli {

namespace {

Field text(const std::string& name, size_t offset, size_t width, size_t maxBytes = 0) {
    Field f;
    f.name = name;
    f.kind = FieldKind::kText;
    f.offset = offset;
    f.width = width;
    f.maxBytes = maxBytes != 0 ? maxBytes : width;
    return f;
}

Field secretText(const std::string& name, size_t offset, size_t width) {
    Field f = text(name, offset, width);
    f.secret = true;
    return f;
}

Field number(const std::string& name, size_t offset, size_t width) {
    Field f;
    f.name = name;
    f.offset = offset;
    f.width = width;
    return f;
}

Field readOnly(const std::string& name, size_t offset) {
    Field f = number(name, offset, 4);
    f.kind = FieldKind::kReadOnly;
    return f;
}

Field list(const std::string& name, size_t offset, settings::Entries entries) {
    Field f = number(name, offset, 1);
    f.kind = FieldKind::kList;
    f.entries = std::move(entries);
    return f;
}

// A record read and written by a pair of exports over a caller's buffer.
template <typename T>
Record recordOf(const std::string& name, int (*get)(T*), int (*set)(const T*),
                std::vector<Field> fields) {
    Record r;
    r.name = name;
    r.size = sizeof(T);
    r.fields = std::move(fields);
    r.read = [get](Bytes& out) {
        T value{};
        const bool ok = get(&value) != 0;
        out.assign(reinterpret_cast<const uint8_t*>(&value),
                   reinterpret_cast<const uint8_t*>(&value) + sizeof value);
        return ok;
    };
    r.write = [set](const Bytes& in) {
        T value{};
        std::memcpy(&value, in.data(), sizeof value);
        return set(&value) != 0;
    };
    return r;
}

// The same for the two setters that take their record by value.
template <typename T>
Record recordByValue(const std::string& name, int (*get)(T*), int (*set)(T),
                     std::vector<Field> fields) {
    Record r = recordOf<T>(name, get, nullptr, std::move(fields));
    r.write = [set](const Bytes& in) {
        T value{};
        std::memcpy(&value, in.data(), sizeof value);
        return set(value) != 0;
    };
    return r;
}

std::string fieldText(const uint8_t* field, size_t width) {
    return text::Encode(text::FromAnsiField(field, width), "UTF-8");
}

Record settingRecord(int model) {
    Field photo = list("photoResolution", offsetof(DeviceSettingRecord, photoResolution),
                       settings::PhotoEntries(model));
    photo.toPosition = [model](int v) { return settings::PhotoPosition(model, v); };
    photo.toStored = [model](int v) { return settings::PhotoStored(model, v); };
    Record r;
    r.name = "setting";
    r.size = sizeof(DeviceSettingRecord);
    r.fields = {
        list("videoResolution", offsetof(DeviceSettingRecord, videoResolution),
             settings::VideoEntries(model)),
        photo,
        list("videoLength", offsetof(DeviceSettingRecord, videoLength),
             settings::LengthEntries(model)),
        readOnly(settings::CountsInMegabytes(model) ? "cardCapacityMB" : "cardCapacityGB",
                 offsetof(DeviceSettingRecord, cardCapacity)),
        readOnly("freeSpaceMB", offsetof(DeviceSettingRecord, freeSpaceMB)),
    };
    r.read = [](Bytes& out) {
        DeviceSettingRecord value{};
        const bool ok = TKUSB_GetDeviceSettingEx(&value) != 0;
        out.assign(reinterpret_cast<const uint8_t*>(&value),
                   reinterpret_cast<const uint8_t*>(&value) + sizeof value);
        return ok;
    };
    // The camera takes the three choices; the range check of the checked setter would refuse
    // the longer lists of some models.
    r.write = [](const Bytes& in) {
        DeviceSettingRecord value{};
        std::memcpy(&value, in.data(), sizeof value);
        return TKUSB_SetDeviceSetting(value.photoResolution, value.videoResolution,
                                      value.videoLength) != 0;
    };
    return r;
}

Record userRecord() {
    Record r;
    r.name = "user";
    r.size = sizeof(UserInfoRecord);
    // The setter keeps 11 characters of the device and user ids.
    r.fields = {
        text("deviceId", offsetof(UserInfoRecord, deviceId), 12, 11),
        text("departmentName", offsetof(UserInfoRecord, departmentName), 32),
        text("departmentNumber", offsetof(UserInfoRecord, departmentNumber), 12),
        text("userName", offsetof(UserInfoRecord, userName), 32),
        text("userId", offsetof(UserInfoRecord, userId), 12, 11),
    };
    // The getter export hands out only six characters of the user id; writing that back would
    // cut a longer one, so the record is read whole.
    r.read = [](Bytes& out) {
        out.assign(sizeof(UserInfoRecord), 0);
        return dalvex::Drive::current().read(dalvex::kSubGetUserInfo, out.data(),
                                             uint32_t(out.size())) != 0;
    };
    r.write = [](const Bytes& in) {
        UserInfoRecord v{};
        std::memcpy(&v, in.data(), sizeof v);
        auto field = [](const char* f, size_t n) { return std::string(f, strnlen(f, n)); };
        const std::string id = field(v.deviceId, 12), name = field(v.departmentName, 32),
                          number = field(v.departmentNumber, 12), user = field(v.userName, 32),
                          userId = field(v.userId, 12);
        return TKUSB_SetUserInfo(id.c_str(), name.c_str(), number.c_str(), user.c_str(),
                                 userId.c_str()) != 0;
    };
    return r;
}

Record rk20Record() {
    std::vector<Field> fields;
    for (const settings::Rk20List& l : settings::Rk20Lists()) {
        if (l.recordByte != settings::kNoRecordByte)
            fields.push_back(list(l.field, size_t(l.recordByte), l.entries));
    }
    return recordByValue<Rk20SettingRecord>("rk20", TKUSB_RK20GetSeting, TKUSB_RK20Setting,
                                            std::move(fields));
}

Record configRecord(int model) {
    std::vector<Field> fields;
    if (model == settings::kModelRk40) {
        Field volume =
            list("volume", offsetof(ConfigInfoRk40, volume), settings::Rk40VolumeEntries());
        volume.toPosition = [](int v) { return settings::Rk40VolumePosition(uint8_t(v)); };
        volume.toStored = [](int v) { return settings::Rk40VolumeByte(v); };
        Field ir = list("irMode", offsetof(ConfigInfoRk40, irMode), settings::Rk40IrEntries());
        Field loop = list("recycleRecording", offsetof(ConfigInfoRk40, recycleRecording),
                          settings::Rk40LoopEntries());
        for (Field* f : {&ir, &loop})
            f->toPosition = [](int v) { return settings::Rk40TwoStatePosition(uint8_t(v)); };
        fields = {volume, ir, loop};
    } else {
        fields = {text("plateNumber", offsetof(ConfigInfoRk50, plateNumber), 13, 12)};
    }
    return recordOf<ConfigInfoRecord>("config", TKUSB_GetConfigInfo, TKUSB_SetConfigInfo,
                                      std::move(fields));
}

bool sameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<int64_t> parseInteger(const std::string& s) {
    if (s.empty() || s.size() > 18)
        return std::nullopt;
    size_t used = 0;
    try {
        const long long v = std::stoll(s, &used, 10);
        if (used != s.size())
            return std::nullopt;
        return v;
    } catch (...) {
        return std::nullopt;
    }
}

uint32_t loadNumber(const Bytes& record, size_t offset, size_t width) {
    uint32_t v = 0;
    for (size_t i = 0; i < width; ++i)
        v |= uint32_t(record[offset + i]) << (8 * i);
    return v;
}

void storeNumber(Bytes& record, size_t offset, size_t width, uint32_t v) {
    for (size_t i = 0; i < width; ++i)
        record[offset + i] = uint8_t(v >> (8 * i));
}

}  // namespace

const Field* Record::field(const std::string& wanted) const {
    for (const Field& f : fields) {
        if (f.name == wanted)
            return &f;
    }
    return nullptr;
}

std::vector<Record> recordsFor(const DeviceSpecRecord& spec) {
    const int model = spec.modelCode;
    std::vector<Record> records = {settingRecord(model), userRecord()};
    if (settings::HasGprsTab(model)) {
        records.push_back(recordOf<GprsRecord>(
            "gprs", TKUSB_GetGprsParam, TKUSB_SetGprsParam,
            {list("sosAction", offsetof(GprsRecord, sosAction), settings::SosEntries()),
             text("emergencyPhone", offsetof(GprsRecord, emergencyPhone), 16),
             text("apn", offsetof(GprsRecord, apn), 32),
             text("userName", offsetof(GprsRecord, userName), 16),
             secretText("password", offsetof(GprsRecord, password), 16),
             text("serverIp", offsetof(GprsRecord, serverIp), 52)}));
        records.push_back(recordOf<MobileLinkRecord>(
            "mobile-link", TKUSB_GetMobileLinkParam, TKUSB_SetMobileLinkParam,
            {text("linkId", offsetof(MobileLinkRecord, linkId), 8),
             text("serverAddress", offsetof(MobileLinkRecord, serverAddress), 64),
             number("serverPort", offsetof(MobileLinkRecord, serverPort), 2),
             text("apn", offsetof(MobileLinkRecord, apn), 32),
             text("user", offsetof(MobileLinkRecord, user), 16),
             secretText("password", offsetof(MobileLinkRecord, password), 32),
             text("dialNumber", offsetof(MobileLinkRecord, dialNumber), 32)}));
        records.push_back(recordOf<GpsUploadRecord>(
            "gps-upload", TKUSB_GetGpsUploadParam, TKUSB_SetGpsUploadParam,
            {number("uploadInterval", offsetof(GpsUploadRecord, uploadInterval), 2),
             number("alarmInterval", offsetof(GpsUploadRecord, alarmInterval), 2)}));
    }
    if (settings::HasWifiTab(model, spec.hasWifi)) {
        records.push_back(recordOf<WifiRecord>(
            "wifi", TKUSB_GetWifiParam, TKUSB_SetWifiParam,
            {list("mode", offsetof(WifiRecord, mode), settings::WifiModeEntries()),
             text("ssid", offsetof(WifiRecord, ssid), 23),
             list("encryptionType", offsetof(WifiRecord, encryptionType),
                  settings::WifiEncryptionEntries()),
             secretText("password", offsetof(WifiRecord, password), 23),
             text("ip", offsetof(WifiRecord, ip), 16),
             number("port", offsetof(WifiRecord, port), 2)}));
        records.push_back(recordOf<WifiApRecord>(
            "wifi-ap", TKUSB_GetWifiAPParam, TKUSB_SetWifiAPParam,
            {text("apSsid", offsetof(WifiApRecord, apSsid), 16),
             secretText("apPassword", offsetof(WifiApRecord, apPassword), 16)}));
        if (settings::HasCmsTab(model, spec.hasWifi, spec.noCms)) {
            records.push_back(recordByValue<Cmsv6Record>(
                "cms", TKUSB_CMSV6GetSeting, TKUSB_CMSV6Setting,
                {text("deviceId", offsetof(Cmsv6Record, deviceId), 8),
                 text("serverIp", offsetof(Cmsv6Record, serverIp), 16),
                 number("serverPort", offsetof(Cmsv6Record, serverPort), 2),
                 number("listenPort", offsetof(Cmsv6Record, listenPort), 2)}));
        }
    }
    if (model == settings::kModelRk20)
        records.push_back(rk20Record());
    if (model == settings::kModelRk40 || model == settings::kModelRk50)
        records.push_back(configRecord(model));
    return records;
}

std::vector<std::string> allRecordNames() {
    return {"setting", "user",    "gprs", "mobile-link", "gps-upload",
            "wifi",    "wifi-ap", "cms",  "rk20",        "config"};
}

std::string entryText(const std::wstring& entry) {
    static CLangTable* table = [] {
        auto* t = new CLangTable();
        t->LoadLanguage(L"ENU");
        return t;
    }();
    return text::Encode(settings::IsLanguageKey(entry) ? table->GetText(entry) : entry, "UTF-8");
}

Json::Value fieldValue(const Field& field, const Bytes& record) {
    const uint8_t* at = record.data() + field.offset;
    switch (field.kind) {
        case FieldKind::kText:
            return fieldText(at, field.width);
        case FieldKind::kNumber:
            return Json::UInt(loadNumber(record, field.offset, field.width));
        case FieldKind::kReadOnly:
            return Json::Int(int32_t(loadNumber(record, field.offset, 4)));
        case FieldKind::kList: {
            const int position = field.toPosition(*at);
            if (position >= 0 && size_t(position) < field.entries.size())
                return entryText(field.entries[size_t(position)]);
            return Json::UInt(*at);
        }
    }
    return Json::Value();
}

std::optional<std::string> storeValue(const Field& field, const Json::Value& value, Bytes& record) {
    uint8_t* at = record.data() + field.offset;
    const bool isText = value.isString();
    const std::string given = isText ? value.asString() : valueText(value);
    switch (field.kind) {
        case FieldKind::kReadOnly:
            return "is kept by the camera and cannot be set";
        case FieldKind::kText: {
            const std::wstring wide = text::Decode(given, "UTF-8");
            std::vector<uint8_t> bytes(field.width, 0);
            text::ToAnsiBuffer(wide, bytes.data(), field.maxBytes, text::Terminator::kOptional);
            if (text::FromAnsiField(bytes.data(), field.maxBytes) != wide)
                return "is longer than " + std::to_string(field.maxBytes) + " bytes";
            std::copy(bytes.begin(), bytes.end(), at);
            return std::nullopt;
        }
        case FieldKind::kList: {
            for (size_t i = 0; i < field.entries.size(); ++i) {
                if (sameText(entryText(field.entries[i]), given)) {
                    *at = uint8_t(field.toStored(int(i)));
                    return std::nullopt;
                }
            }
            // A number is a stored value, for values no list entry names.
            const std::optional<int64_t> n = parseInteger(given);
            if (!n || *n < 0 || *n > 255) {
                std::string names;
                for (const std::wstring& e : field.entries)
                    names += (names.empty() ? "" : ", ") + entryText(e);
                return "takes one of: " + names;
            }
            *at = uint8_t(*n);
            return std::nullopt;
        }
        case FieldKind::kNumber: {
            const std::optional<int64_t> n = parseInteger(given);
            const int64_t limit =
                field.width >= 4 ? 0xFFFFFFFFLL : (int64_t(1) << (8 * field.width)) - 1;
            if (!n || *n < 0 || *n > limit)
                return "takes a whole number from 0 to " + std::to_string(limit);
            storeNumber(record, field.offset, field.width, uint32_t(*n));
            return std::nullopt;
        }
    }
    return "cannot be set";
}

std::string valueText(const Json::Value& value) {
    if (value.isString())
        return value.asString();
    if (value.isUInt64())
        return std::to_string(value.asUInt64());
    if (value.isInt64())
        return std::to_string(value.asInt64());
    if (value.isBool())
        return value.asBool() ? "1" : "0";
    if (value.isNull())
        return "";
    Json::StreamWriterBuilder b;
    b["indentation"] = "";
    return Json::writeString(b, value);
}

}  // namespace cli
