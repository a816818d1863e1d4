// Block devices mounted and identified through udisks2 over D-Bus, without user interaction.
#pragma once

#include <string>

namespace cli::udisks {

struct Mount {
    std::string mountPoint, label, uuid;
};

// Mounts the block device (e.g. "/dev/sdb1") read-only without user interaction; fills label and
// uuid.
bool mountReadOnly(const std::string& device, Mount& mount, std::string& error);
bool unmount(const std::string& device, std::string& error);
// Label and UUID of a block device as udisks2 knows them; false when it cannot tell.
bool identify(const std::string& device, std::string& label, std::string& uuid);

}  // namespace cli::udisks
