// The camera's state in a JSON file, so that an emulated camera keeps its settings across runs.
#pragma once

#include <string>

#include "camsim/camera_model.h"

namespace camsim {

// Reads a state file written by saveState. A missing file leaves the state as it is and succeeds.
bool loadState(const std::string& path, CameraState& state);

// Writes the state atomically and privately (owner only: it holds the passwords), never through
// a link: a temporary file of its own is renamed over the old one.
bool saveState(const std::string& path, const CameraState& state);

}  // namespace camsim
