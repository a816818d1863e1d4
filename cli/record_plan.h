// Bringing settings records to wanted values: which fields change, writing each changed record,
// reading it back and auditing the attempt. Shared by set and apply.
#pragma once

#include <json/json.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fields.h"
#include "session.h"

namespace cli {

// Field name to value, for one record.
using FieldValues = std::map<std::string, Json::Value>;
// Record name to its wanted field values.
using WantedRecords = std::map<std::string, FieldValues>;

bool knownRecord(const std::string& name);
const Record* findRecord(const std::vector<Record>& records, const std::string& name);

// Reads a record of the camera into bytes; false with a reason.
bool readRecord(const dalvex::Camera& camera, const Record& r, Bytes& bytes, std::string& why);

// Brings the records of the cameras to the wanted values: prints the differences, then writes
// each changed record and checks it (unless dry-running). Read-only fields are skipped when a
// profile carries them, refused when named on the command line.
void applyValues(Session& s, const std::vector<Camera>& cameras, const WantedRecords& wanted,
                 bool skipReadOnly);

}  // namespace cli
