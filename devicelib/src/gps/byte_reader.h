// The GPS extraction reads its input through ByteReader so that the same walk runs over a file,
// over bytes built by a test, or over bytes from a fuzzer. A reader has a current position that
// may lie past the end (reads there return nothing) and counts the bytes it has handed out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dalvex::gps {

class ByteReader {
  public:
    virtual ~ByteReader() = default;

    // Reads up to n bytes at the current position and advances by the count read; the count is
    // short only at the end of the input or on a read error.
    size_t read(void* dst, size_t n);
    void seek(uint64_t position) { position_ = position; }
    uint64_t tell() const { return position_; }
    bool atEnd() const { return position_ >= size(); }
    virtual uint64_t size() const = 0;
    uint64_t bytesRead() const { return bytesRead_; }
    // Reads up to n bytes at position without moving, but only if they are at hand: false, with
    // nothing read, when getting them would wait for a disk or the reader cannot tell. On true,
    // got is the count, short only at the end of the input.
    bool readAtHand(uint64_t position, void* dst, size_t n, size_t& got);
    // Tells the reader that n bytes at position will be read soon, so that a file on a cold disk
    // can fetch them together. A hint: it moves nothing and reads nothing.
    virtual void announce(uint64_t /*position*/, uint64_t /*n*/) {}
    // Tells the reader whether the reads that follow jump about (true) or run on (false), so
    // that a file reads ahead only where that helps.
    virtual void expectScatteredReads(bool /*scattered*/) {}

  protected:
    // Reads up to n bytes at position; returns the count read (0 at or past the end).
    virtual size_t readAt(uint64_t position, void* dst, size_t n) = 0;
    // As readAt, when the bytes are at hand; by default they always are.
    virtual bool readAtHandAt(uint64_t position, void* dst, size_t n, size_t& got) {
        got = readAt(position, dst, n);
        return true;
    }

  private:
    uint64_t position_ = 0;
    uint64_t bytesRead_ = 0;
};

// Reads a caller-owned block of bytes, which must outlive the reader.
class MemoryReader final : public ByteReader {
  public:
    MemoryReader(const void* data, size_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    uint64_t size() const override { return size_; }

  protected:
    size_t readAt(uint64_t position, void* dst, size_t n) override;

  private:
    const uint8_t* data_;
    size_t size_;
};

// Reads a file with positioned reads: the walk jumps between chunk offsets, so a stream buffer
// would mostly be refilled and thrown away.
class FileReader final : public ByteReader {
  public:
    FileReader() = default;
    ~FileReader() override;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool open(const char* path);
    void close();
    bool isOpen() const { return handle_ != kNoHandle; }
    uint64_t size() const override { return size_; }
    void announce(uint64_t position, uint64_t n) override;
    void expectScatteredReads(bool scattered) override;

  protected:
    size_t readAt(uint64_t position, void* dst, size_t n) override;
    bool readAtHandAt(uint64_t position, void* dst, size_t n, size_t& got) override;

  private:
    static constexpr intptr_t kNoHandle = -1;  // platform::kNoFile
    intptr_t handle_ = kNoHandle;              // the platform's open file
    uint64_t size_ = 0;
};

}  // namespace dalvex::gps
