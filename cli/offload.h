// dalvex offload and dalvex verify: a camera's recordings into the archive, verified, with a
// manifest, then copy-finished to the camera; and an archive checked against its manifests.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace cli {

struct OffloadOptions {
    std::string to;    // the archive
    std::string from;  // the card's folder
    bool keepExposed = false;
    std::vector<std::string> paths;  // verify
};

// verify: every offload under the paths against its manifest. Returns the exit code.
int verifyArchive(const std::vector<std::string>& paths, bool json);

}  // namespace cli
