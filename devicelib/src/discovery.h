// Finding the camera among the drives C to Z, and the process-wide state that the scan leaves:
// the current drive path (the target of every command without a letter) and the mass-storage
// flag (set while the camera was last seen with its storage exposed).
#pragma once

#include <cstddef>
#include <cstdint>

namespace dalvex {

enum class ScanMode { kIdentification = 0, kMassStorage = 1 };

// The description of a camera begins with these nine characters.
inline constexpr char kCameraSignature[] = "TORVEKBWC";
constexpr uint16_t kSubDescription = 0xF103;
constexpr uint8_t kCopyFinishedByte = 0x36;

// The current drive path: "C:\" at load, the root of the camera after a successful scan, the
// empty text after a failed one. Only discovery writes it; selectDrive points it at a letter.
const char* currentDrivePath();
void selectDrive(int letter);
int massStorageFlag();
// For tests: puts the process-wide state back as it is at load.
void resetDiscoveryState();

// Small disk: the camera's command disk (0 MiB by READ CAPACITY, or under 1 GiB in total).
bool isSmallDisk(const char* root);

// True when the drive on letter is removable and its description names a camera. Uses commands
// addressed to that drive: the current drive path and the mass-storage flag stay as they are.
bool cameraAt(char letter);

// Reads the 32-byte description of the current drive into out (32 bytes). Returns 1 on success.
int queryDescription(char out[32]);

// The per-letter table of the discovery exports: each entry is refreshed when the drive behind
// its letter changed. The first letter with a camera ('C' + 24 when none); the serial (at most
// 10 characters) of a letter C-Z; the letter whose serial starts with span characters of serial
// (0 when none).
constexpr int kLetterCount = 24;  // 'C' to 'Z'
int firstTableLetter();
void tableSerial(char letter, char* serial);
int tableLetterOfSerial(const char* serial, size_t span);

// The scan. Identification mode starts at 'C'; mass-storage mode starts at *letter and succeeds
// only on that letter. On success writes the letter and returns 1; otherwise clears the current
// drive path and returns 0.
int findCameraDrive(char* letter, ScanMode mode);

}  // namespace dalvex
