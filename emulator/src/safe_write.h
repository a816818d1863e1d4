// camsim's own safe file writer, for the state file (which holds every password).
#pragma once

#include <string>

namespace camsim {

// Replaces path with bytes through a temporary file of its own in the same folder: created
// exclusively without following links, readable by the owner alone, flushed to disk and renamed
// into place. A link planted at either name is replaced, never written through; a reader sees the
// old file or the new one whole. False (and path untouched) on any failure.
bool writeFileSafely(const std::string& path, const std::string& bytes);

}  // namespace camsim
