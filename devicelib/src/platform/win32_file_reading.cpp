// Windows: files are read as unbuffered streams, which have neither a hint for a range nor a
// read that refuses to wait, so the reads simply happen in turn.
#include <cstdio>

#include "platform/file_reading.h"

namespace dalvex::platform {

intptr_t openFileForReading(const char* path, uint64_t& size) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return kNoFile;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    _fseeki64(file, 0, SEEK_END);
    const long long end = _ftelli64(file);
    size = end < 0 ? 0 : static_cast<uint64_t>(end);
    return reinterpret_cast<intptr_t>(file);
}

void closeFile(intptr_t file) {
    std::fclose(reinterpret_cast<std::FILE*>(file));
}

size_t readFileAt(intptr_t file, uint64_t offset, void* dst, size_t length) {
    std::FILE* stream = reinterpret_cast<std::FILE*>(file);
    if (_fseeki64(stream, static_cast<long long>(offset), SEEK_SET) != 0) {
        return 0;
    }
    return std::fread(dst, 1, length, stream);
}

void announceRead(intptr_t, uint64_t, uint64_t) {}

void adviseScatteredReads(intptr_t, bool) {}

bool readIfResident(intptr_t, uint64_t, void*, size_t, size_t& got) {
    got = 0;
    return false;
}

}  // namespace dalvex::platform
