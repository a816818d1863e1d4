// Maps drive letters to backends.
//
// DALVEX_DRIVES, when set, alone defines the drives: "L=TARGET;L=TARGET..." with L a letter C-Z
// and TARGET "unix:PATH" (an emulated drive, present while its socket file exists),
// "tcp:HOST:PORT" (an emulated drive, present while the port answers a request) or a device
// path. It is read at every lookup, so a process may change it between calls and a camera is
// plugged by creating its socket. Without it the system's own backend assigns the letters.
#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>

#include "backends.h"
#include "drive_map.h"
#include "emulated_protocol.h"

namespace dalvex::platform {

namespace {
thread_local uint32_t t_lastError = 0;
constexpr std::string_view kUnixPrefix = "unix:";
DriveOpener g_openerForTesting;
}  // namespace

void setDriveOpenerForTesting(DriveOpener opener) {
    g_openerForTesting = std::move(opener);
}

uint32_t lastError() {
    return t_lastError;
}
void setLastError(uint32_t code) {
    t_lastError = code;
}

DriveTarget lookupDriveMap(const char* mapText, char letter) {
    DriveTarget target;
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    std::string_view rest(mapText);
    while (!rest.empty()) {
        size_t end = rest.find(';');
        std::string_view item = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        while (!item.empty() && std::isspace(static_cast<unsigned char>(item.front()))) {
            item.remove_prefix(1);
        }
        if (item.size() < 3 || item[1] != '=') {
            continue;
        }
        if (std::toupper(static_cast<unsigned char>(item[0])) != letter) {
            continue;
        }
        std::string_view value = item.substr(2);
        if (value.substr(0, kUnixPrefix.size()) == kUnixPrefix) {
            target.kind = DriveTarget::kEmulated;
            target.path = std::string(value.substr(kUnixPrefix.size()));
        } else if (emulated::isTcpTarget(value)) {
            target.kind = DriveTarget::kEmulated;  // the emulated backend reads the prefix
            target.path = std::string(value);
        } else {
            target.kind = DriveTarget::kDevice;
            target.path = std::string(value);
        }
        // The first entry for a letter counts.
        return target;
    }
    return target;
}

DriveTarget mapDrive(char letter, bool& mapped) {
    const char* text = std::getenv("DALVEX_DRIVES");
    mapped = text != nullptr;
    if (!mapped) {
        return {};
    }
    return lookupDriveMap(text, letter);
}

std::unique_ptr<DriveHandle> openDrive(char letter) {
    if (g_openerForTesting) {
        return g_openerForTesting(letter);
    }
    bool mapped = false;
    DriveTarget target = mapDrive(letter, mapped);
    if (!mapped) {
        return openNativeDrive(letter);
    }
    switch (target.kind) {
        case DriveTarget::kEmulated:
            return openEmulatedDrive(target.path);
        case DriveTarget::kDevice:
            return openDevicePath(target.path);
        case DriveTarget::kNone:
            break;
    }
    setLastError(2);  // no such drive (ENOENT / ERROR_FILE_NOT_FOUND)
    return nullptr;
}

int driveType(char letter) {
    bool mapped = false;
    DriveTarget target = mapDrive(letter, mapped);
    if (!mapped) {
        return nativeDriveType(letter);
    }
    switch (target.kind) {
        case DriveTarget::kEmulated:
            return emulatedDriveExists(target.path) ? kDriveRemovable : kDriveNoRootDir;
        case DriveTarget::kDevice:
            return devicePathExists(target.path) ? kDriveRemovable : kDriveNoRootDir;
        case DriveTarget::kNone:
            break;
    }
    return kDriveNoRootDir;
}

std::string driveNode(char letter) {
    bool mapped = false;
    DriveTarget target = mapDrive(letter, mapped);
    if (!mapped) {
        return nativeDriveNode(letter);
    }
    switch (target.kind) {
        case DriveTarget::kEmulated:
            return emulatedDriveNode(target.path);
        case DriveTarget::kDevice:
            return devicePathNode(target.path);
        case DriveTarget::kNone:
            break;
    }
    return {};
}

bool totalSize(char letter, uint64_t& bytes) {
    bool mapped = false;
    DriveTarget target = mapDrive(letter, mapped);
    if (!mapped) {
        return nativeTotalSize(letter, bytes);
    }
    switch (target.kind) {
        case DriveTarget::kEmulated:
            return emulatedTotalSize(target.path, bytes);
        case DriveTarget::kDevice:
            return devicePathTotalSize(target.path, bytes);
        case DriveTarget::kNone:
            break;
    }
    return false;
}

CardPlace cardPlace(char letter) {
    bool mapped = false;
    DriveTarget target = mapDrive(letter, mapped);
    if (!mapped) {
        return nativeCard(letter);
    }
    switch (target.kind) {
        case DriveTarget::kEmulated: {
            CardPlace place;
            place.path = emulatedCardFolder(target.path);
            place.kind = place.path.empty() ? CardPlace::kNone : CardPlace::kFolder;
            return place;
        }
        case DriveTarget::kDevice:
            return devicePathCard(target.path);
        case DriveTarget::kNone:
            break;
    }
    return {};
}

}  // namespace dalvex::platform
