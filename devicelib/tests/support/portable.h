// The few system calls the tests need that each system spells its own way. One file per system
// implements them (system_posix.cpp, system_win32.cpp; CMake builds the one that fits into
// dalvex_test_support); the rest is portable C++ here.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace testsupport {

// The environment the library reads. An empty value is the same as no variable.
void setEnvironment(const char* name, const std::string& value);
void clearEnvironment(const char* name);

// Descriptor duplication, for capturing what the library writes to standard error.
int duplicateDescriptor(int fd);
void redirectDescriptor(int from, int to);
void closeDescriptor(int fd);

// The address a drive server listens on: a Unix socket in folder where the system has them, a
// loopback TCP port chosen by the system where it has not.
std::string driveAddress(const std::filesystem::path& folder, char letter);

// A DALVEX_DRIVES target for a server's address: "tcp:..." as it is, a path as "unix:PATH".
inline std::string driveTarget(const std::string& address) {
    return address.rfind("tcp:", 0) == 0 ? address : "unix:" + address;
}

// TKUSB_GetPointBlankSet(), the form without arguments, as a caller of the library's shared
// build reaches it; -1 where it cannot be found.
int pointBlankOverload();

// Makes a FIFO at path; false where the file system has none.
bool makeFifo(const std::string& path);
// Opens a FIFO for writing and closes it again, which releases a reader waiting in its open.
void releaseFifo(const std::string& path);

// Whether the C library's printf writes the sign of a NaN ("-nan"); MinGW's does not.
inline bool printfSignsNan() {
    char text[8];
    std::snprintf(text, sizeof text, "%f", -std::nan(""));
    return text[0] == '-';
}

// A new, empty folder under the system's temporary folder, named prefix and a random suffix.
inline std::filesystem::path makeTempFolder(const std::string& prefix) {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto folder = base / (prefix + std::to_string(random()));
        if (std::filesystem::create_directory(folder))
            return folder;
    }
}

}  // namespace testsupport
