// dalvex-camera-id: tells udev whether a disk node belongs to a camera, so that the rule gives
// only cameras' nodes to the group "camera" (any sg node opened read-write passes every command,
// a USB stick's writes included).
//
//   dalvex-camera-id /dev/sgN
//
// Asks the node for the camera's description as the library's discovery does (the command disk,
// or the card disk of a camera whose storage is exposed, which answers it too) and prints
//   DALVEX_CAMERA=1
//   DALVEX_CAMERA_SERIAL=<serial, characters other than A-Z a-z 0-9 . _ - replaced by _>
// for a camera and nothing for anything else. Exits 0 either way: udev ignores the output of a
// program that fails. Only read commands are sent, each with the library's time-out of a second.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "dalvex/camera.h"

namespace {

constexpr char kLetter = 'D';

// The device's text goes into udev's environment: no line breaks, quotes or shell characters.
std::string propertyValue(const std::string& text) {
    std::string value;
    for (const char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        value += plain ? c : '_';
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dalvex-camera-id DEVICE_NODE\n");
        return 0;
    }
    const std::string node = argv[1];
    // Only a device node by its full path, so that a FIFO or a file is never opened and the
    // drive list never reads it as an emulated drive ("unix:", "tcp:") or splits it at ';'.
    struct stat st {};
    if (node.empty() || node[0] != '/' || node.find(';') != std::string::npos ||
        ::stat(node.c_str(), &st) != 0 || !(S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) {
        return 0;
    }
    dalvex::setLogEnabled(false);
    // This process's drives: the one node, whatever the caller's environment held.
    const std::string drives = std::string(1, kLetter) + "=" + node;
    if (::setenv("DALVEX_DRIVES", drives.c_str(), 1) != 0) {
        return 0;
    }
    const dalvex::Camera camera(kLetter);
    if (!camera.present()) {
        return 0;
    }
    std::printf("DALVEX_CAMERA=1\n");
    const std::string serial = propertyValue(camera.serial().value_or(""));
    if (!serial.empty()) {
        std::printf("DALVEX_CAMERA_SERIAL=%s\n", serial.c_str());
    }
    return 0;
}
