// A machine-wide marker that one copy of the program runs.
//
// The marker is a Unix socket bound to a name in the abstract namespace: one name for every user
// of the machine, owned by the process that bound it, and released by the kernel whenever that
// process ends, however it ends, so a crash never locks the next start out.
#pragma once

#include <string>

enum class InstanceMarker {
    kCreated,        // this process now holds the marker
    kAlreadyExists,  // another process holds it
    kFailed,         // it could not be created for another reason
};

// Binds the marker called name. On kCreated the descriptor (close-on-exec) is stored in *fd and
// holds the marker until it is closed or the process ends.
InstanceMarker CreateInstanceMarker(const std::string& name, int* fd);
