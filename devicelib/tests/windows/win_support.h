// Shared by the Windows test programs: the camera that scripts/windows-test.sh serves with camsim
// on the Linux side, and a capture of the library's log lines.
#pragma once

#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace wintest {

// The camsim that scripts/windows-test.sh starts: model 48, this serial, this login password.
constexpr const char* kSerial = "WINE123456";
constexpr const char* kLoginPassword = "654321";
constexpr int kModelCode = 48;

// Its "tcp:HOST:PORT" target, handed over in DALVEX_TEST_CAMERA.
inline std::string cameraTarget() {
    const char* target = std::getenv("DALVEX_TEST_CAMERA");
    return target ? target : "";
}

// Lists drives for the library; the Windows C runtime's environment is the one it reads.
inline void setDrives(const std::string& map) {
    _putenv_s("DALVEX_DRIVES", map.c_str());
}

// The test's precondition: a camera to talk to. Fails (rather than skips) without one.
#define WINTEST_REQUIRE_CAMERA()                  \
    ASSERT_FALSE(wintest::cameraTarget().empty()) \
        << "DALVEX_TEST_CAMERA is not set: run the tests through scripts/windows-test.sh"

// Captures what is written to standard error (the C runtime's descriptor 2, which dalvex.dll
// shares with the program) while the object lives.
class StderrCapture {
  public:
    StderrCapture() : file_(std::tmpfile()) {
        std::fflush(stderr);
        saved_ = _dup(2);
        _dup2(_fileno(file_), 2);
    }
    ~StderrCapture() {
        restore();
        std::fclose(file_);
    }
    std::string text() {
        restore();
        std::string out;
        std::rewind(file_);
        int c;
        while ((c = std::fgetc(file_)) != EOF)
            out += char(c);
        return out;
    }

  private:
    void restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            _dup2(saved_, 2);
            _close(saved_);
            saved_ = -1;
        }
    }
    FILE* file_;
    int saved_ = -1;
};

}  // namespace wintest
