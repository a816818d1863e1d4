// The drive a command goes to, and the helpers every command shares.
#include <cstring>

#include "commands.h"
#include "discovery.h"

namespace dalvex {

Drive Drive::ofLetter(int letter) {
    Drive drive;
    drive.named_ = true;
    formatDriveRoot(letter, drive.root_);
    return drive;
}

const char* Drive::path() const {
    return named_ ? root_ : currentDrivePath();
}

int Drive::write(uint16_t subCommand, const void* data, uint32_t length) const {
    return writeCommandTo(subCommand, data, length, path());
}

int Drive::read(uint16_t subCommand, void* data, uint32_t length) const {
    return readCommandFrom(subCommand, data, length, path());
}

bool storageExposed() {
    return massStorageFlag() != 0;
}

void copyBounded(char* out, const char* text, size_t bound) {
    const size_t length = strnlen(text, bound);
    std::memcpy(out, text, length);
    if (length < bound) {
        out[length] = '\0';
    }
}

void substituteFirmware(unsigned char* spec52) {
    static constexpr char kRetired[] = "TKV71MRD.140918.WF";
    static constexpr char kSuccessor[] = "TKV71MRD.150530.WR";
    unsigned char* firmware = spec52 + offsetof(DeviceSpecRecord, firmwareVersion);
    if (std::memcmp(firmware, kRetired, sizeof kRetired - 1) == 0) {
        std::memset(firmware, 0, sizeof(DeviceSpecRecord::firmwareVersion));
        std::memcpy(firmware, kSuccessor, sizeof kSuccessor);
    }
}

TimeRecord encodeTime(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                      unsigned second) {
    TimeRecord record{};
    record.date = uint32_t(year * 10000 + month * 100 + day);
    record.time = uint32_t(hour * 10000 + minute * 100 + second);
    return record;
}

}  // namespace dalvex
