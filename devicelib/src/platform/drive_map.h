#pragma once

#include <string>

namespace dalvex::platform {

struct DriveTarget {
    enum Kind { kNone, kEmulated, kDevice } kind = kNone;
    std::string path;
};

// The target of a letter in a DALVEX_DRIVES text; kNone when the text does not list it.
DriveTarget lookupDriveMap(const char* mapText, char letter);

// The target of a letter in the environment's DALVEX_DRIVES; mapped tells whether it is set.
DriveTarget mapDrive(char letter, bool& mapped);

}  // namespace dalvex::platform
