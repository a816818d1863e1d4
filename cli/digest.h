// SHA-256 through libcrypto: an incremental hasher, and a whole file read once with a large
// buffer. The GPS outputs name their sources with it, and a copy can hash what it copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace cli {

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(const void* data, size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
    // The digest as 64 lower-case hex digits; the hasher then starts again.
    std::string final();

  private:
    evp_md_ctx_st* context_;
};

// The file's size and digest, or nothing when it cannot be read or is no regular file.
struct FileDigest {
    uint64_t size = 0;
    std::string sha256;
};
std::optional<FileDigest> digestFile(const std::string& path);

}  // namespace cli
