// Profiles: the JSON that get prints, read back as the records and field values to bring a
// camera to.
#pragma once

#include <optional>
#include <string>

#include "record_plan.h"

namespace cli {

// Reads the profile at path into wanted. Returns the message of what is wrong with it, or
// nothing.
std::optional<std::string> loadProfile(const std::string& path, WantedRecords& wanted);

}  // namespace cli
