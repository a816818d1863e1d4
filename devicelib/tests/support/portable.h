// The few C runtime calls the tests need that are spelled differently on Windows: the
// environment the library reads, a fresh temporary folder, and descriptor duplication.
#pragma once

#include <stdlib.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace testsupport {

inline void setEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

inline void clearEnvironment(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");  // an empty value removes the variable
#else
    unsetenv(name);
#endif
}

inline int duplicateDescriptor(int fd) {
#ifdef _WIN32
    return _dup(fd);
#else
    return dup(fd);
#endif
}

inline void redirectDescriptor(int from, int to) {
#ifdef _WIN32
    _dup2(from, to);
#else
    dup2(from, to);
#endif
}

inline void closeDescriptor(int fd) {
#ifdef _WIN32
    _close(fd);
#else
    close(fd);
#endif
}

// Moves a stream to a 64-bit offset (a long, and off_t on Windows, have 32 bits). 0 on success.
inline int seekTo(std::FILE* file, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(offset), SEEK_SET);
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
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
