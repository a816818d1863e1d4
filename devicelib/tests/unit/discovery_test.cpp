// The drive scan, against emulated drives, through the library's internals.
#include <gtest/gtest.h>

#include <cstring>

#include "discovery.h"
#include "support/emulated_cameras.h"
#include "transport.h"

using namespace std::string_literals;
using testsupport::EmulatedDrives;
using testsupport::StderrCapture;

namespace {

camsim::CameraState cameraWithCard(uint64_t cardMiB, bool massStorage) {
    camsim::CameraState state;
    state.cardCapacityMiB = cardMiB;
    state.massStorage = massStorage;
    return state;
}

class DiscoveryTest : public ::testing::Test {
  protected:
    void SetUp() override { dalvex::resetDiscoveryState(); }
    EmulatedDrives drives;
};

TEST_F(DiscoveryTest, FirstCameraInLetterOrderWins) {
    drives.add('G');
    drives.add('E');
    char letter = 0;
    StderrCapture log;
    ASSERT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kIdentification), 1);
    EXPECT_EQ(letter, 'E');
    EXPECT_STREQ(dalvex::currentDrivePath(), "E:\\");
    EXPECT_EQ(log.text(),
              "Detected a removeable device.\n"
              "\tdesc:TORVEKBWC, bCheckMSC:0, drive:\0-E\n"
              "\tDetected BWC device, E\n"s);
    // The other camera was never asked anything.
    EXPECT_TRUE(drives.model('G').snapshot().received.empty());
}

TEST_F(DiscoveryTest, RefusingStickThenLargeCamera) {
    drives.addStick('D', 512);
    drives.add('F', cameraWithCard(32768, true));
    char letter = 'F';
    {
        StderrCapture quiet;
        ASSERT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kMassStorage), 1);
    }
    ASSERT_EQ(dalvex::massStorageFlag(), 1);
    letter = 0;
    StderrCapture log;
    ASSERT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kIdentification), 1);
    EXPECT_EQ(letter, 'F');
    EXPECT_EQ(dalvex::massStorageFlag(), 0);  // cleared at D:, a small disk that is no camera
    // The refused read still counts as done: D: logs an empty description and is skipped.
    EXPECT_EQ(log.text(),
              "Detected a removeable device.\n"
              "\tdesc:, bCheckMSC:0, drive:\0-D\n"
              "\tDetect a non-empty device.\n"
              "Detected a removeable device.\n"
              "\tdesc:TORVEKBWC, bCheckMSC:0, drive:\0-F\n"
              "\tDetected BWC device, F\n"s);
}

TEST_F(DiscoveryTest, FailedDescriptionReadSkipsTheLetter) {
    drives.add('D');
    drives.add('E');
    drives.server('D').injectFault(camsim::Fault::kPassFail, 2);  // capacity and description
    char letter = 0;
    StderrCapture log;
    ASSERT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kIdentification), 1);
    EXPECT_EQ(letter, 'E');
    const std::string text = log.text();
    EXPECT_NE(text.find("Send command failed!error code = 0x1f \r\n"), std::string::npos);
    EXPECT_NE(text.find("[Error] Get device info failed!\n"), std::string::npos);
}

TEST_F(DiscoveryTest, DescriptionMatchesOnNineCharacters) {
    struct Case {
        const char* description;
        bool camera;
    } cases[] = {
        {"TORVEKBWC", true}, {"TORVEKBWC-X5 with more text after it", true},
        {"TORVEKBW", false}, {"torvekbwc", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        dalvex::resetDiscoveryState();
        camsim::CameraState state;
        state.description = c.description;
        drives.add('H', state);
        char letter = 0;
        StderrCapture quiet;
        EXPECT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kIdentification),
                  c.camera ? 1 : 0);
        EXPECT_EQ(letter, c.camera ? 'H' : 0);
        EXPECT_STREQ(dalvex::currentDrivePath(), c.camera ? "H:\\" : "");
    }
}

TEST_F(DiscoveryTest, NoDriveLeavesEmptyPath) {
    drives.addEmpty('E');
    char letter = 0;
    StderrCapture log;
    EXPECT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kIdentification), 0);
    EXPECT_EQ(letter, 0);
    EXPECT_STREQ(dalvex::currentDrivePath(), "");
    EXPECT_EQ(log.text(), "");
}

TEST_F(DiscoveryTest, MassStorageModeMatchesOnlyTheStartLetter) {
    drives.add('F', cameraWithCard(32768, true));
    drives.add('G', cameraWithCard(32768, true));
    char letter = 'F';
    StderrCapture log;
    ASSERT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kMassStorage), 1);
    EXPECT_EQ(letter, 'F');
    EXPECT_EQ(dalvex::massStorageFlag(), 1);
    EXPECT_STREQ(dalvex::currentDrivePath(), "F:\\");
    EXPECT_EQ(log.text(), std::string("Detected a removeable device.\n"
                                      "\tdesc:TORVEKBWC, bCheckMSC:1, drive:F-F\n"
                                      "\t\tDetected BWC disk, F\n"));
}

TEST_F(DiscoveryTest, MassStorageModeDoesNotReachALaterCamera) {
    drives.add('F');  // the command disk: small, skipped
    drives.add('G', cameraWithCard(32768, true));
    char letter = 'F';
    StderrCapture log;
    EXPECT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kMassStorage), 0);
    EXPECT_EQ(letter, 'F');
    EXPECT_STREQ(dalvex::currentDrivePath(), "");
    EXPECT_EQ(dalvex::massStorageFlag(), 1);  // G: is large: the flag was set before the mismatch
    EXPECT_EQ(log.text(), std::string("Detected a removeable device.\n"
                                      "\tdesc:TORVEKBWC, bCheckMSC:1, drive:F-G\n"));
}

TEST_F(DiscoveryTest, MassStorageModeFromSmallDiskFindsNothing) {
    drives.add('F');
    char letter = 'F';
    StderrCapture log;
    EXPECT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kMassStorage), 0);
    EXPECT_STREQ(dalvex::currentDrivePath(), "");
    EXPECT_EQ(dalvex::massStorageFlag(), 0);
    EXPECT_EQ(log.text(), "");
}

TEST_F(DiscoveryTest, MassStorageModeFromLowerCaseLetterScansNothing) {
    drives.add('F', cameraWithCard(32768, true));
    char letter = 'f';
    StderrCapture log;
    EXPECT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kMassStorage), 0);
    EXPECT_STREQ(dalvex::currentDrivePath(), "");
    EXPECT_TRUE(drives.model('F').snapshot().received.empty());
    EXPECT_EQ(log.text(), "");
}

TEST_F(DiscoveryTest, IdentificationClearsFlagAtSmallDiskAndKeepsItAtLargeOne) {
    drives.add('F', cameraWithCard(32768, true));
    char letter = 'F';
    {
        StderrCapture quiet;
        ASSERT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kMassStorage), 1);
    }
    ASSERT_EQ(dalvex::massStorageFlag(), 1);
    letter = 0;
    {
        StderrCapture quiet;
        ASSERT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kIdentification), 1);
    }
    EXPECT_EQ(dalvex::massStorageFlag(), 1);  // a large disk leaves the flag as it was

    drives.model('F').state().massStorage = false;  // back to the command disk
    letter = 0;
    StderrCapture quiet;
    ASSERT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kIdentification), 1);
    EXPECT_EQ(dalvex::massStorageFlag(), 0);
}

TEST_F(DiscoveryTest, SmallDiskRule) {
    struct Case {
        const char* name;
        uint64_t cardMiB;
        bool small;
    } cases[] = {
        {"just under 1 GiB", 1023, true},
        {"exactly 1 GiB", 1024, false},
        {"32 GiB", 32768, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        drives.add('K', cameraWithCard(c.cardMiB, true));
        StderrCapture quiet;
        EXPECT_EQ(dalvex::isSmallDisk("K:\\"), c.small);
    }
    drives.add('K');  // the command disk reads as 0 MiB
    EXPECT_TRUE(dalvex::isSmallDisk("K:\\"));
}

}  // namespace
