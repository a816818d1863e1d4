#include "gps/byte_reader.h"

#include <cstring>

#include "platform/file_reading.h"

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

bool FileReader::open(const char* path) {
    close();
    uint64_t size = 0;
    handle_ = platform::openFileForReading(path, size);
    if (handle_ == kNoHandle) {
        return false;
    }
    size_ = size;
    seek(0);
    return true;
}

void FileReader::close() {
    if (handle_ != kNoHandle) {
        platform::closeFile(handle_);
        handle_ = kNoHandle;
    }
}

size_t FileReader::readAt(uint64_t position, void* dst, size_t n) {
    if (handle_ == kNoHandle || position >= size_) {
        return 0;
    }
    return platform::readFileAt(handle_, position, dst, n);
}

}  // namespace dalvex::gps
