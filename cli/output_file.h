// The one home of every file the tool writes, and of its standard output. A file is written
// under a temporary name in its own folder and renamed into place only when every write, the
// flush, the fsync and the close succeeded; otherwise the temporary is removed and the final
// name is left as it was. Writes to standard output are checked the same way.
#pragma once

#include <string>
#include <string_view>

namespace cli {

// Whether a file may be written at path: its folder is this user's, or root's and not writable
// by others, or a sticky folder (as /tmp) where the file is missing or this user's. A folder that
// another user can change could swap the file under us. Returns "" or why not.
std::string unsafeFolderReason(const std::string& path);

class OutputFile {
  public:
    // Standard output.
    OutputFile();
    // The file path, replaced on commit. A character device or FIFO there (/dev/null, a pipe)
    // is written straight through; a link or a folder there, or a folder another user can
    // change, is refused.
    explicit OutputFile(std::string path);
    // Removes the temporary unless the file was committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The file's permissions once in place, instead of the umask's or those of the file it
    // replaces: for a file that another program must be able to read.
    void setMode(unsigned mode) { mode_ = int(mode & 07777); }

    // Buffered; the first failure is kept and later writes do nothing.
    void write(std::string_view bytes);
    // Writes what is buffered and puts the file in place; false on any failure so far.
    bool commit();

    bool failed() const { return !error_.empty(); }
    // What failed, for a message ("cannot write X: reason").
    const std::string& error() const { return error_; }
    // The final name, or "standard output".
    const std::string& name() const { return path_; }

  private:
    void flushBuffer();
    void fail(const std::string& what, int error);
    void removeTemporary();

    int fd_ = -1;
    bool standardOutput_ = false;
    bool stream_ = false;  // a device or FIFO, written straight through
    bool committed_ = false;
    int mode_ = -1;  // none set
    std::string path_;
    std::string temporary_;
    std::string buffer_;
    std::string error_;
};

}  // namespace cli
