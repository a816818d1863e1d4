// The Windows build's own paths, linked with the library's internals: the raw drive "\\.\E:"
// when no drive map is set, and the drive map's targets as Windows sees them.
#include <windows.h>

#include "platform/platform.h"
#include "transport.h"
#include "win_support.h"

namespace {

using wintest::StderrCapture;

TEST(WindowsBackend, LetterWithoutADriveFailsTheOpen) {
    wintest::setDrives("");  // an empty value removes the variable: the system's own drives
    ASSERT_EQ(GetDriveTypeA("E:\\"), UINT(DRIVE_NO_ROOT_DIR)) << "E: must not be a drive here";
    uint8_t cdb[16];
    dalvex::buildVendorCdb(0xF20C, cdb);
    uint8_t block[52] = {};
    int status = 7;
    StderrCapture log;
    EXPECT_EQ(dalvex::sendCommand("E:\\", 0, cdb, block, sizeof block, &status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(log.text(), "Get handle failed\r\n");
    EXPECT_EQ(dalvex::platform::driveType('E'), dalvex::platform::kDriveNoRootDir);
}

TEST(WindowsBackend, DriveMapTargets) {
    WINTEST_REQUIRE_CAMERA();
    wintest::setDrives("E=" + wintest::cameraTarget() +
                       ";F=unix:/tmp/camera.sock;G=tcp:127.0.0.1:1;H=tcp:127.0.0.1");
    struct Case {
        char letter;
        int type;
    } cases[] = {
        {'E', dalvex::platform::kDriveRemovable},
        {'F', dalvex::platform::kDriveNoRootDir},  // no Unix sockets on Windows
        {'G', dalvex::platform::kDriveNoRootDir},  // nothing listens there
        {'H', dalvex::platform::kDriveNoRootDir},  // no port
        {'J', dalvex::platform::kDriveNoRootDir},  // not listed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.letter);
        EXPECT_EQ(dalvex::platform::driveType(c.letter), c.type);
    }
    uint8_t spec[52] = {};
    EXPECT_EQ(dalvex::readCommandFrom(0xF20C, spec, sizeof spec, "E:\\"), 1);
    EXPECT_EQ(spec[0], wintest::kModelCode);
    StderrCapture log;
    EXPECT_EQ(dalvex::readCommandFrom(0xF20C, spec, sizeof spec, "F:\\"), 0);
    EXPECT_EQ(log.text(), "Get handle failed\r\n");
}

}  // namespace
