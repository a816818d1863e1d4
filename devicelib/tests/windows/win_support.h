// Shared by the Windows test programs: the camera that scripts/windows-test.sh serves with camsim
// on the Linux side; the log capture is the other tests' own.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/portable.h"
#include "support/stderr_capture.h"

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

// Lists drives for the library.
inline void setDrives(const std::string& map) {
    testsupport::setEnvironment("DALVEX_DRIVES", map);
}

// The test's precondition: a camera to talk to. Fails (rather than skips) without one.
#define WINTEST_REQUIRE_CAMERA()                  \
    ASSERT_FALSE(wintest::cameraTarget().empty()) \
        << "DALVEX_TEST_CAMERA is not set: run the tests through scripts/windows-test.sh"

using testsupport::StderrCapture;

}  // namespace wintest
