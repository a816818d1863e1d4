// Capture of what the library writes to standard error (descriptor 2, which the library shares
// with the program), for tests of its log lines.
#pragma once

#include <cstdio>
#include <string>

#include "support/portable.h"

namespace testsupport {

// Captures what the library writes to standard error while the object lives.
class StderrCapture {
  public:
    StderrCapture() : file_(std::tmpfile()) {
        std::fflush(stderr);
        saved_ = duplicateDescriptor(2);
        redirectDescriptor(fileno(file_), 2);
    }
    ~StderrCapture() {
        restore();
        std::fclose(file_);
    }
    // Everything written so far (stops the capture).
    std::string text() {
        restore();
        std::string out;
        std::rewind(file_);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
            out.append(buffer, n);
        return out;
    }

  private:
    void restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            redirectDescriptor(saved_, 2);
            closeDescriptor(saved_);
            saved_ = -1;
        }
    }
    FILE* file_;
    int saved_ = -1;
};

}  // namespace testsupport
