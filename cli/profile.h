// Profiles: the JSON that get prints, read back as the records and field values to bring a
// camera to.
#pragma once

#include <optional>
#include <string>

#include "record_plan.h"

namespace cli {

// The largest profile read: the JSON of get for one camera is a few kilobytes.
constexpr size_t kMaxProfileBytes = 1024 * 1024;

// Reads the profile at path into wanted. Returns the message of what is wrong with it, or
// nothing.
std::optional<std::string> loadProfile(const std::string& path, WantedRecords& wanted);

}  // namespace cli
