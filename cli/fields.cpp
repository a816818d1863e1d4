#include "fields.h"

#include <algorithm>
#include <cstring>

#include "text/langtable.h"
#include "text/text.h"

namespace cli {

namespace {

// A field of a table as the tool handles it, with the value list the model has.
Field fromTable(const fields::Field& f, int model) {
    Field out;
    out.name = std::string(f.name);
    out.kind = f.kind;
    out.offset = f.offset;
    out.width = f.size;
    out.maxBytes = f.kept;
    out.secret = f.secret;
    out.entries = fields::Entries(f, model);
    return out;
}

std::vector<Field> fieldsOf(const fields::Layout& layout, int model) {
    std::vector<Field> out;
    for (const fields::Field& f : layout.fields)
        out.push_back(fromTable(f, model));
    return out;
}

// A record read and written whole through the camera handle.
template <typename T>
Record recordOf(const fields::Layout& layout, int model) {
    Record r;
    r.name = std::string(layout.name);
    r.size = layout.size;
    r.fields = fieldsOf(layout, model);
    r.read = [](const dalvex::Camera& camera, Bytes& out) {
        T value{};
        const bool ok = camera.read(value);
        out.assign(reinterpret_cast<const uint8_t*>(&value),
                   reinterpret_cast<const uint8_t*>(&value) + sizeof value);
        return ok;
    };
    r.write = [](const dalvex::Camera& camera, const Bytes& in) {
        T value{};
        std::memcpy(&value, in.data(), sizeof value);
        return camera.write(value);
    };
    return r;
}

std::string fieldText(const uint8_t* field, size_t width) {
    return text::Encode(text::FromAnsiField(field, width), "UTF-8");
}

Record settingRecord(int model) {
    // The camera takes the three choices; the record goes whole, since the range check of the
    // checked setter export would refuse the longer lists of some models.
    Record r = recordOf<DeviceSettingRecord>(fields::kSetting, model);
    for (Field& f : r.fields) {
        if (f.name == "photoResolution") {
            f.toPosition = [model](int v) { return settings::PhotoPosition(model, v); };
            f.toStored = [model](int v) { return settings::PhotoStored(model, v); };
        } else if (f.name == "cardCapacity") {
            f.name = settings::CountsInMegabytes(model) ? "cardCapacityMB" : "cardCapacityGB";
        }
    }
    return r;
}

// Read whole: the getter export hands out only six characters of the user id, and writing
// that back would cut a longer one.
Record userRecord() {
    return recordOf<UserInfoRecord>(fields::kUser, 0);
}

Record configRecord(int model) {
    if (model != settings::kModelRk40)
        return recordOf<ConfigInfoRecord>(fields::kRk50Config, model);
    Record r = recordOf<ConfigInfoRecord>(fields::kRk40Config, model);
    for (Field& f : r.fields) {
        if (f.name == "volume") {
            f.toPosition = [](int v) { return settings::Rk40VolumePosition(uint8_t(v)); };
            f.toStored = [](int v) { return settings::Rk40VolumeByte(v); };
        } else {
            f.toPosition = [](int v) { return settings::Rk40TwoStatePosition(uint8_t(v)); };
        }
    }
    return r;
}

bool sameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Digits alone: no sign, no blank, no other base.
std::optional<int64_t> parseInteger(const std::string& s) {
    if (s.empty() || s.size() > 18 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
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
        records.push_back(recordOf<GprsRecord>(fields::kGprs, model));
        records.push_back(recordOf<MobileLinkRecord>(fields::kMobileLink, model));
        records.push_back(recordOf<GpsUploadRecord>(fields::kGpsUpload, model));
    }
    if (settings::HasWifiTab(model, spec.hasWifi)) {
        records.push_back(recordOf<WifiRecord>(fields::kWifi, model));
        records.push_back(recordOf<WifiApRecord>(fields::kWifiAp, model));
        if (settings::HasCmsTab(model, spec.hasWifi, spec.noCms)) {
            records.push_back(recordOf<Cmsv6Record>(fields::kCms, model));
        }
    }
    if (model == settings::kModelRk20)
        records.push_back(recordOf<Rk20SettingRecord>(fields::kRk20, model));
    if (model == settings::kModelRk40 || model == settings::kModelRk50)
        records.push_back(configRecord(model));
    return records;
}

std::vector<std::string> allRecordNames() {
    std::vector<std::string> names;
    for (const fields::Layout* layout : fields::kAllLayouts) {
        if (std::find(names.begin(), names.end(), layout->name) == names.end())
            names.emplace_back(layout->name);
    }
    return names;
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
    // Only the JSON types a field's kind takes: text for text, a whole number (or its digits as
    // text, as the command line gives it) for numbers and list entries.
    const bool isText = value.isString();
    const bool isWhole = value.type() == Json::intValue || value.type() == Json::uintValue;
    const std::string given = isText ? value.asString() : isWhole ? valueText(value) : "";
    if (field.kind == FieldKind::kText && !isText)
        return "takes text";
    const bool typed = isText || isWhole;
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
            for (size_t i = 0; typed && i < field.entries.size(); ++i) {
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

bool isSecretField(const std::string& record, const std::string& field) {
    for (const fields::Layout* layout : fields::kAllLayouts) {
        for (const fields::Field& f : layout->fields) {
            if (layout->name == record && f.name == field)
                return f.secret;
        }
    }
    return false;
}

Json::Value hiddenValue() {
    Json::Value v(Json::objectValue);
    v["hidden"] = true;
    return v;
}

bool isHidden(const Json::Value& value) {
    return value == hiddenValue();
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
