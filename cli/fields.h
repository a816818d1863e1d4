// The settings records as named fields: which records a camera model has, each laid out by its
// field table (record_fields.h), how a stored value is shown (list entries by their meaning, as
// the settings pages show them) and how a value given by the user is stored.
#pragma once

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dalvex/camera.h"
#include "record_fields.h"
#include "settings_lists.h"

namespace cli {

// The kinds of the field tables (record_fields.h).
using FieldKind = fields::Kind;

struct Field {
    std::string name;
    FieldKind kind = FieldKind::kNumber;
    size_t offset = 0;
    size_t width = 1;     // bytes in the record
    size_t maxBytes = 0;  // kText: the bytes a setter keeps
    bool secret = false;  // a network password: never written to the audit log
    settings::Entries entries;
    // kList: list position for a stored byte and stored byte for a position.
    std::function<int(int stored)> toPosition = [](int v) { return v; };
    std::function<int(int position)> toStored = [](int v) { return v; };
};

using Bytes = std::vector<uint8_t>;

struct Record {
    std::string name;
    size_t size = 0;
    std::vector<Field> fields;
    // Reads the whole record from the camera; false when the camera does not answer.
    std::function<bool(const dalvex::Camera&, Bytes&)> read;
    // Writes the whole record; the result of the write itself (the read-back decides).
    std::function<bool(const dalvex::Camera&, const Bytes&)> write;

    const Field* field(const std::string& name) const;
};

// The records of a camera with this description, in a fixed order.
std::vector<Record> recordsFor(const DeviceSpecRecord& spec);
// Every record name any model has, for the help texts and completion.
std::vector<std::string> allRecordNames();

// The text of a list entry (a language key is looked up in the English table) as UTF-8.
std::string entryText(const std::wstring& entry);

// A field's value in a record: a string for text and list fields (a stored value outside the list
// is shown as its number), a number otherwise.
Json::Value fieldValue(const Field& field, const Bytes& record);

// Stores a value given as text ("1920*1080/30F", "5 Minutes", "42") or as JSON into the record.
// Returns an error text, or nothing on success.
std::optional<std::string> storeValue(const Field& field, const Json::Value& value, Bytes& record);

// Whether a field holds a secret (a network password) in any model's record of that name.
bool isSecretField(const std::string& record, const std::string& field);
// What get shows for a secret without --show-secrets; apply leaves a field holding it as it is.
Json::Value hiddenValue();
bool isHidden(const Json::Value& value);

// The value as the one-line text the table output and the audit log use.
std::string valueText(const Json::Value& value);

}  // namespace cli
