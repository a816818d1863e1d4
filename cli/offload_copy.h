// The offload's copier: one file of the card into the archive, read once, hashed while it is
// written to a temporary in its destination folder, synced, its pages dropped, read back from the
// disk and hashed again, and only then renamed to its final name. Memory stays one fixed buffer
// whatever the file's size.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cli {

// One file of the card, as the walk found it.
struct CardFile {
    std::string relative;  // the path under the card folder, as bytes
    uint64_t size = 0;
    int64_t mtimeNs = 0;  // nanoseconds since the epoch
};

// Every regular file under root in path order; symbolic links are never followed. What is neither
// a regular file nor a folder is named in skipped; a folder that cannot be read gives false with
// the error set.
bool walkCard(const std::string& root, std::vector<CardFile>& files,
              std::vector<std::string>& skipped, std::string& error);

struct CopyResult {
    std::string sha256;  // of the bytes read from the source, equal to those read back
    bool verified = false;
    std::string error;  // empty when the file is in place under its final name
};

// The temporary's name in each destination folder; a card file of that name is refused.
constexpr const char* kPartialName = ".dalvex-partial";

// Copies root/file.relative to destination/file.relative. progress is told of each chunk copied.
CopyResult copyVerified(const std::string& root, const CardFile& file,
                        const std::string& destination,
                        const std::function<void(uint64_t)>& progress);

// Free bytes for an unprivileged writer on the file system of path; -1 when it cannot be told.
int64_t freeBytes(const std::string& path);

// Folders under base for a relative path, each made 0750 when missing; false when one is not a
// folder (a link is not followed).
bool makeFolders(const std::string& base, const std::string& relative, std::string& error);

// The system calls the copier makes where faults matter, for the unit tests to replace.
struct CopySeams {
    ssize_t (*read)(int fd, void* buffer, size_t size) = nullptr;  // of the source
    // Called with the synced temporary after its pages were dropped, before it is read back.
    void (*beforeVerify)(const std::string& path) = nullptr;
};
CopySeams& copySeams();

// "%Y-%m-%dT%H:%M:%S.nnnnnnnnnZ" of a time in nanoseconds.
std::string isoTime(int64_t ns);

}  // namespace cli
