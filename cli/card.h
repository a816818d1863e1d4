// The card of an exposed camera as a folder the offload reads: the camera found again by its
// serial (after the switch it may come back on another letter), then its card's folder, its
// mount point, or the disk mounted read-only through udisks2.
#pragma once

#include <json/json.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct FoundCard {
    char letter = 0;     // where the camera answers now
    std::string folder;  // where the card's files are read
    std::string device;  // what the tool mounted ("/dev/sdb1"), to unmount at the end; or ""
    Json::Value label;   // the file system's label and UUID; null when the system gives none
    Json::Value uuid;
};

// Waits up to wait for the camera of serial to answer with its storage exposed, then finds its
// card. False with the error set, saying what to do, when it cannot.
bool findCard(const std::string& serial, FoundCard& card, std::string& error,
              std::chrono::milliseconds wait = std::chrono::seconds(5));

// Unmounts what findCard mounted; true when there was nothing to do.
bool releaseCard(FoundCard& card, std::string& error);

// A field of /proc/self/mountinfo with its octal escapes (\040 for a space) decoded.
std::string decodeMountField(std::string_view field);

struct MountMatch {
    std::string device;  // "major:minor"; empty when none of the devices is mounted
    std::string mountPoint;
};
// The first of devices ("major:minor", in order of preference) that mountinfo shows mounted
// whole, with the root of its file system at the mount point (not a bind mount of a folder).
MountMatch findMount(std::string_view mountinfo, const std::vector<std::string>& devices);

}  // namespace cli
