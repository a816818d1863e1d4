#include "digest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>

namespace cli {

namespace {

// Large reads keep the system calls few next to the hashing, which runs at over 1 GB/s.
constexpr size_t kReadSize = size_t(1) << 20;

void check(int result) {
    if (result != 1)
        throw std::runtime_error("SHA-256 failed in libcrypto");
}

}  // namespace

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
    if (context_ == nullptr)
        throw std::bad_alloc();
    check(EVP_DigestInit_ex(context_, EVP_sha256(), nullptr));
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(context_);
}

void Sha256::update(const void* data, size_t size) {
    check(EVP_DigestUpdate(context_, data, size));
}

std::string Sha256::final() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    check(EVP_DigestFinal_ex(context_, digest, &length));
    check(EVP_DigestInit_ex(context_, EVP_sha256(), nullptr));
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out.push_back(digits[digest[i] >> 4]);
        out.push_back(digits[digest[i] & 0xF]);
    }
    return out;
}

std::optional<FileDigest> digestFile(const std::string& path) {
    // A FIFO or a device named as media must not block or read forever: regular files only.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    (void)posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha256 sha;
    FileDigest digest;
    const std::unique_ptr<char[]> buffer(new char[kReadSize]);
    ssize_t n;
    while ((n = ::read(fd, buffer.get(), kReadSize)) > 0) {
        sha.update(buffer.get(), size_t(n));
        digest.size += uint64_t(n);
    }
    ::close(fd);
    if (n < 0)
        return std::nullopt;
    digest.sha256 = sha.final();
    return digest;
}

}  // namespace cli
