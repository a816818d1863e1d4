// Reading files at positions, with read-ahead for files read at scattered offsets, such as the
// GPS samples of a video that lie a few hundred kilobytes apart across the whole file: find which
// reads the page cache can serve at once, and announce the others so that a cold disk fetches
// them together.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dalvex::platform {

// An open file: a descriptor where positioned reads exist, a FILE* otherwise.
constexpr intptr_t kNoFile = -1;

// Opens a file for reading and gives its size; kNoFile when it cannot be opened or is a
// directory. A FIFO opens at once and, having no size, reads as empty.
intptr_t openFileForReading(const char* path, uint64_t& size);
void closeFile(intptr_t file);
// Reads up to length bytes at offset; the count is short only at the end of the file or on a
// read error.
size_t readFileAt(intptr_t file, uint64_t offset, void* dst, size_t length);

// Tells the system that length bytes of an open file at offset will be read soon, so that on a
// cold disk the reads are queued together instead of each waiting for the one before. A hint
// only: it changes no data and does nothing where the system has no such call. file is the
// handle openFileForReading gave.
void announceRead(intptr_t file, uint64_t offset, uint64_t length);

// Tells the system whether the reads of a file that follow jump about, so that it stops (true)
// or resumes (false) reading ahead of each of them. Also a hint only.
void adviseScatteredReads(intptr_t file, bool scattered);

// Reads up to length bytes at offset only if the system holds them in memory, without waiting
// for a disk. Returns true with the count read in got (short at the end of the file, or when
// only a part was at hand), false when it would have to wait or cannot tell.
bool readIfResident(intptr_t file, uint64_t offset, void* dst, size_t length, size_t& got);

}  // namespace dalvex::platform
