// The card's disk through udisks2 on the system bus: mount it read-only, unmount it, name it.
// Synchronous calls, each with a time-out; no main loop. DBUS_SYSTEM_BUS_ADDRESS picks the bus.
#pragma once

#include <string>

namespace cli::udisks {

struct Mount {
    std::string mountPoint, label, uuid;
    // False when the file system was mounted already: the caller then leaves it mounted.
    bool mountedHere = false;
};

// Mounts the block device (e.g. "/dev/sdb1") read-only without user interaction; fills label and
// uuid. A device mounted already is used where it is. On failure, error is one sentence naming
// the device.
bool mountReadOnly(const std::string& device, Mount& mount, std::string& error);
bool unmount(const std::string& device, std::string& error);
// Label and UUID of a block device as udisks2 knows them; false when it cannot tell.
bool identify(const std::string& device, std::string& label, std::string& uuid);

}  // namespace cli::udisks
