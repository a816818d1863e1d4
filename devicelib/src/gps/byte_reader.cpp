#include "gps/byte_reader.h"

#include <cstring>

#include "platform/read_ahead.h"

#if defined(_WIN32)
#include <cstdio>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace dalvex::gps {

size_t ByteReader::read(void* dst, size_t n) {
    const size_t got = n == 0 ? 0 : readAt(position_, dst, n);
    position_ += got;
    bytesRead_ += got;
    return got;
}

bool ByteReader::readAtHand(uint64_t position, void* dst, size_t n, size_t& got) {
    got = 0;
    if (n == 0) {
        return true;
    }
    if (!readAtHandAt(position, dst, n, got)) {
        got = 0;
        return false;
    }
    bytesRead_ += got;
    return true;
}

size_t MemoryReader::readAt(uint64_t position, void* dst, size_t n) {
    if (position >= size_) {
        return 0;
    }
    const size_t available = size_ - static_cast<size_t>(position);
    const size_t count = n < available ? n : available;
    std::memcpy(dst, data_ + position, count);
    return count;
}

FileReader::~FileReader() {
    close();
}

void FileReader::announce(uint64_t position, uint64_t n) {
    if (handle_ != kNoHandle && position < size_) {
        platform::announceRead(handle_, position, n);
    }
}

void FileReader::expectScatteredReads(bool scattered) {
    if (handle_ != kNoHandle) {
        platform::adviseScatteredReads(handle_, scattered);
    }
}

bool FileReader::readAtHandAt(uint64_t position, void* dst, size_t n, size_t& got) {
    if (handle_ == kNoHandle || position >= size_) {
        got = 0;
        return true;
    }
    const uint64_t left = size_ - position;
    const size_t wanted = left < n ? static_cast<size_t>(left) : n;
    // A short count before the end of the file means that only a part was in memory.
    return platform::readIfResident(handle_, position, dst, wanted, got) && got == wanted;
}

#if defined(_WIN32)

bool FileReader::open(const char* path) {
    close();
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    _fseeki64(file, 0, SEEK_END);
    const long long end = _ftelli64(file);
    size_ = end < 0 ? 0 : static_cast<uint64_t>(end);
    handle_ = reinterpret_cast<intptr_t>(file);
    seek(0);
    return true;
}

void FileReader::close() {
    if (handle_ != kNoHandle) {
        std::fclose(reinterpret_cast<std::FILE*>(handle_));
        handle_ = kNoHandle;
    }
}

size_t FileReader::readAt(uint64_t position, void* dst, size_t n) {
    if (handle_ == kNoHandle || position >= size_) {
        return 0;
    }
    std::FILE* file = reinterpret_cast<std::FILE*>(handle_);
    if (_fseeki64(file, static_cast<long long>(position), SEEK_SET) != 0) {
        return 0;
    }
    return std::fread(dst, 1, n, file);
}

#else

bool FileReader::open(const char* path) {
    close();
    // Opening a FIFO for reading waits for a writer, perhaps for ever; without blocking, it
    // opens at once and, having no size, reads as empty.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    size_ = info.st_size < 0 ? 0 : static_cast<uint64_t>(info.st_size);
    handle_ = fd;
    seek(0);
    return true;
}

void FileReader::close() {
    if (handle_ != kNoHandle) {
        ::close(static_cast<int>(handle_));
        handle_ = kNoHandle;
    }
}

size_t FileReader::readAt(uint64_t position, void* dst, size_t n) {
    if (handle_ == kNoHandle || position >= size_) {
        return 0;
    }
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(dst);
    while (done < n) {
        const ssize_t got = ::pread(static_cast<int>(handle_), out + done, n - done,
                                    static_cast<off_t>(position + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;  // end of file or a read error: the caller sees a short read
        }
        done += static_cast<size_t>(got);
    }
    return done;
}

#endif

}  // namespace dalvex::gps
