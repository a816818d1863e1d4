// SHA-256 (FIPS 180-4) of a file, for the source metadata of the GPS outputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace cli {

class Sha256 {
  public:
    Sha256();
    void update(const void* data, size_t size);
    // The digest as 64 lower-case hex digits; the object is spent afterwards.
    std::string hex();

  private:
    void block(const uint8_t* p);
    uint32_t h_[8];
    uint8_t buffer_[64];
    size_t used_ = 0;
    uint64_t length_ = 0;
};

// The file's size and digest, or nothing when it cannot be read or is no regular file.
struct FileDigest {
    uint64_t size = 0;
    std::string sha256;
};
std::optional<FileDigest> digestFile(const std::string& path);

}  // namespace cli
