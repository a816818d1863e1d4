#include "discovery.h"

#include <cstring>
#include <mutex>
#include <string>

#include "commands.h"
#include "dalvex.h"
#include "log.h"
#include "platform/platform.h"
#include "transport.h"

namespace dalvex {

namespace {

constexpr uint64_t kSmallDiskBytes = uint64_t(1) << 30;
constexpr int kStatePresent = 2;

// One entry per letter 'C' + k, as the table readers expect it.
struct DriveEntry {
    uint8_t unused0;
    char serial[11];
    int32_t state;
    uint8_t unused16[12];
};
static_assert(sizeof(DriveEntry) == 28);

struct LibraryState {
    char currentPath[kDrivePathSize] = "C:\\";
    int massStorage = 0;
    DriveEntry table[kLetterCount] = {};
    // What stood behind each letter when its entry was filled (empty: no drive).
    std::string nodes[kLetterCount];
    std::mutex tableLock;
};

LibraryState& state() {
    static LibraryState s;
    return s;
}

bool isRemovable(char letter) {
    return platform::driveType(letter) == platform::kDriveRemovable;
}

bool describesCamera(const char description[32]) {
    char head[10];
    std::memcpy(head, description, 9);
    head[9] = '\0';
    return std::memcmp(head, kCameraSignature, 10) == 0;
}

// Reads one letter's identity with explicit-drive commands, leaving the current drive path and
// the mass-storage flag alone, and fills the entry when a camera answers. A letter is asked only
// when its drive appeared, vanished or was replaced since it was last asked, so that a drive
// that does not answer costs its time-out once rather than at every call.
void refreshEntry(int index) {
    const char letter = static_cast<char>('C' + index);
    const std::string node = platform::driveNode(letter);
    {
        std::lock_guard<std::mutex> lock(state().tableLock);
        if (state().nodes[index] == node) {
            return;
        }
    }
    DriveEntry entry{};
    if (!node.empty() && cameraAt(letter)) {
        char root[kDrivePathSize];
        formatDriveRoot(letter, root);
        char serial[33] = {};
        readCommandFrom(kSubDeviceSerial, serial, 32, root);
        std::memcpy(entry.serial, serial, sizeof entry.serial - 1);
        entry.state = kStatePresent;
    }
    std::lock_guard<std::mutex> lock(state().tableLock);
    state().table[index] = entry;
    state().nodes[index] = node;
}

void refreshTable() {
    for (int k = 0; k < kLetterCount; ++k) {
        refreshEntry(k);
    }
}

}  // namespace

bool cameraAt(char letter) {
    if (!isRemovable(letter)) {
        return false;
    }
    char root[kDrivePathSize];
    formatDriveRoot(letter, root);
    char description[32] = {};
    return readCommandFrom(kSubDescription, description, sizeof description, root) &&
           describesCamera(description);
}

const char* currentDrivePath() {
    return state().currentPath;
}
void selectDrive(int letter) {
    formatDriveRoot(letter, state().currentPath);
}
int massStorageFlag() {
    return state().massStorage;
}

void resetDiscoveryState() {
    LibraryState& s = state();
    std::lock_guard<std::mutex> lock(s.tableLock);
    std::strcpy(s.currentPath, "C:\\");
    s.massStorage = 0;
    std::memset(s.table, 0, sizeof s.table);
    for (std::string& node : s.nodes) {
        node.clear();
    }
}

bool isSmallDisk(const char* root) {
    uint32_t mebibytes = 0;
    if (readCapacityMiB(root, &mebibytes) && mebibytes == 0) {
        return true;
    }
    uint64_t bytes = 0;
    if (!platform::totalSize(root[0], bytes)) {
        return false;
    }
    return bytes < kSmallDiskBytes;
}

int queryDescription(char out[32]) {
    char block[32] = {};
    if (!readCommandFrom(kSubDescription, block, sizeof block, currentDrivePath())) {
        return 0;
    }
    std::memcpy(out, block, sizeof block);
    return 1;
}

int findCameraDrive(char* letter, ScanMode mode) {
    LibraryState& s = state();
    const bool massStorageMode = mode == ScanMode::kMassStorage;
    const int start = massStorageMode ? static_cast<unsigned char>(*letter) : 'C';
    const int count = 91 - start;
    for (int i = 0; i < count; ++i) {
        const char scanned = static_cast<char>(start + i);
        char root[kDrivePathSize];
        formatDriveRoot(scanned, root);
        if (!isRemovable(scanned)) {
            continue;
        }
        const bool small = isSmallDisk(root);
        if (!massStorageMode) {
            if (small) {
                s.massStorage = 0;
            } else {
                dalvexLog("\tDetect a non-empty device.\n");
            }
        } else {
            if (small) {
                continue;
            }
            s.massStorage = 1;
        }

        char description[32] = {};
        dalvexLog("Detected a removeable device.\n");
        std::memcpy(s.currentPath, root, sizeof root);
        if (!queryDescription(description)) {
            dalvexLog("[Error] Get device info failed!\n");
            continue;
        }
        description[9] = '\0';
        dalvexLog("\tdesc:%s, bCheckMSC:%d, drive:%c-%c\n", description, massStorageMode ? 1 : 0,
                  massStorageMode ? *letter : 0, scanned);
        if (!describesCamera(description)) {
            continue;
        }
        if (!massStorageMode) {
            dalvexLog("\tDetected BWC device, %c\n", scanned);
        } else {
            if (scanned != *letter) {
                continue;
            }
            dalvexLog("\t\tDetected BWC disk, %c\n", scanned);
        }
        *letter = scanned;
        return 1;
    }
    s.currentPath[0] = '\0';
    return 0;
}

int firstTableLetter() {
    refreshTable();
    std::lock_guard<std::mutex> lock(state().tableLock);
    for (int k = 0; k < kLetterCount; ++k) {
        if (state().table[k].state == kStatePresent) {
            return 'C' + k;
        }
    }
    return 'C' + kLetterCount;
}

void tableSerial(char letter, char* serial) {
    const int index = letter - 'C';
    refreshEntry(index);
    std::lock_guard<std::mutex> lock(state().tableLock);
    std::strcpy(serial, state().table[index].serial);
}

int tableLetterOfSerial(const char* serial, size_t span) {
    refreshTable();
    std::lock_guard<std::mutex> lock(state().tableLock);
    for (int k = 0; k < kLetterCount; ++k) {
        // Only letters with a camera: an empty id would otherwise match an empty entry.
        const DriveEntry& entry = state().table[k];
        if (entry.state == kStatePresent && std::strncmp(serial, entry.serial, span) == 0) {
            return 'C' + k;
        }
    }
    return 0;
}

}  // namespace dalvex
