// The discovery exports through libdalvex.so itself, against in-process emulated cameras.
#include <gtest/gtest.h>

#include <cstring>

#include "dalvex.h"
#include "support/emulated_cameras.h"

using testsupport::EmulatedDrives;
using testsupport::StderrCapture;

namespace {

camsim::CameraState camera(const char* serial) {
    camsim::CameraState state;
    state.serial = serial;
    return state;
}

TEST(IsDevice, FindsTheFirstCameraAndFollowsUnplugging) {
    EmulatedDrives drives;
    drives.add('E', camera("SERIAL-E"));
    drives.add('G', camera("SERIAL-G"));
    StderrCapture quiet;
    EXPECT_EQ(TKUSB_IsDevice(), 'E');
    drives.server('E').unplug();
    EXPECT_EQ(TKUSB_IsDevice(), 'G');
    drives.server('G').unplug();
    EXPECT_EQ(TKUSB_IsDevice(), 0);
    drives.server('E').plug();
    EXPECT_EQ(TKUSB_IsDevice(), 'E');
}

TEST(IsDevice, NoDrivesAtAll) {
    EmulatedDrives drives;
    StderrCapture log;
    EXPECT_EQ(TKUSB_IsDevice(), 0);
    EXPECT_EQ(log.text(), "");
}

TEST(IsDeviceEx, ReportsTheFirstCameraOfTheTable) {
    EmulatedDrives drives;
    StderrCapture quiet;
    EXPECT_EQ(TKUSB_IsDevice_Ex(), '[');
    drives.addStick('D', 512);
    drives.add('H', camera("SERIAL-H"));
    drives.add('F', camera("SERIAL-F"));
    EXPECT_EQ(TKUSB_IsDevice_Ex(), 'F');
    drives.server('F').unplug();
    EXPECT_EQ(TKUSB_IsDevice_Ex(), 'H');
}

// A letter is asked again only when its drive appeared, vanished or was replaced: a drive that
// never answers costs its time-out once.
TEST(TableReaders, AskALetterOnlyWhenItsDriveChanged) {
    EmulatedDrives drives;
    drives.add('D', camera("SILENT"));
    drives.server('D').injectFault(camsim::Fault::kSilent, 100);
    drives.add('F', camera("SERIAL-F"));
    StderrCapture quiet;
    EXPECT_EQ(TKUSB_IsDevice_Ex(), 'F');
    const uint64_t silentAsked = drives.server('D').commandsServed();
    EXPECT_EQ(silentAsked, 1u);

    drives.model('F').clearReceived();
    char serial[16] = {};
    EXPECT_EQ(TKUSB_IsDevice_Ex(), 'F');
    EXPECT_EQ(TKUSB_GetDevSerial_Ex(serial, 'F'), 1);
    EXPECT_STREQ(serial, "SERIAL-F");
    EXPECT_EQ(TKUSB_SetCopyFileFinish_Ex_DeviceID("NOMATCH1"), 1);
    EXPECT_EQ(drives.server('D').commandsServed(), silentAsked);
    EXPECT_TRUE(drives.model('F').snapshot().received.empty());

    drives.server('F').unplug();
    EXPECT_EQ(TKUSB_IsDevice_Ex(), '[');
    drives.server('F').plug();
    EXPECT_EQ(TKUSB_IsDevice_Ex(), 'F');
    EXPECT_FALSE(drives.model('F').snapshot().received.empty());
    drives.add('D', camera("SERIAL-D"));  // another drive in the silent one's place
    EXPECT_EQ(TKUSB_IsDevice_Ex(), 'D');
}

TEST(GetDevSerialEx, AsksOnlyItsOwnLetter) {
    EmulatedDrives drives;
    drives.add('E', camera("SERIAL-E"));
    drives.add('D', camera("SERIAL-D"));
    StderrCapture quiet;
    drives.model('E').clearReceived();
    drives.model('D').clearReceived();
    char serial[16] = {};
    EXPECT_EQ(TKUSB_GetDevSerial_Ex(serial, 'E'), 1);
    EXPECT_STREQ(serial, "SERIAL-E");
    EXPECT_TRUE(drives.model('D').snapshot().received.empty());
}

TEST(GetDevSerialEx, LettersAndCases) {
    EmulatedDrives drives;
    drives.add('E', camera("0123456789ABCDEF"));  // longer than the table holds
    StderrCapture quiet;
    struct Case {
        int letter;
        int result;
        const char* serial;
    } cases[] = {
        {'E', 1, "0123456789"},
        {'e', 1, "0123456789"},
        {0x100 | 'E', 1, "0123456789"},  // only the low byte counts
        {'F', 1, ""},                    // no camera there: an empty text
        {'B', 0, "untouched"},
        {'[', 0, "untouched"},
        {'z' + 1, 0, "untouched"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.letter);
        char serial[16] = "untouched";
        EXPECT_EQ(TKUSB_GetDevSerial_Ex(serial, c.letter), c.result);
        EXPECT_STREQ(serial, c.serial);
    }
}

TEST(SetCopyFileFinishByDeviceId, SendsToTheMatchingCamera) {
    EmulatedDrives drives;
    drives.add('E', camera("AB123456XY"));
    drives.add('F', camera("CD987654"));
    StderrCapture quiet;
    struct Case {
        const char* id;
        char target;  // 0: no camera receives it
    } cases[] = {
        {"CD987654", 'F'}, {"AB123456-anything", 'E'},  // 8 characters compared
        {"AB1234", 'E'},                                // shorter than 8: 6 compared
        {"AB1235", 0},     {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        drives.model('E').clearReceived();
        drives.model('F').clearReceived();
        StderrCapture log;
        EXPECT_EQ(TKUSB_SetCopyFileFinish_Ex_DeviceID(c.id), 1);
        EXPECT_EQ(log.text(), "");  // no drive without a camera is opened
        for (char letter : {'E', 'F'}) {
            bool sent = false;
            for (const auto& r : drives.model(letter).snapshot().received) {
                if (r.subCommand == 0xF235) {
                    sent = true;
                    EXPECT_FALSE(r.dataIn);
                    EXPECT_EQ(r.payload, std::vector<uint8_t>{0x36});
                }
            }
            EXPECT_EQ(sent, letter == c.target) << letter;
        }
    }
    EXPECT_EQ(TKUSB_SetCopyFileFinish_Ex_DeviceID(nullptr), 0);
}

TEST(DisConnect, ChangesNothing) {
    EmulatedDrives drives;
    drives.add('E', camera("SERIAL-E"));
    StderrCapture quiet;
    ASSERT_EQ(TKUSB_IsDevice(), 'E');
    TKUSB_DisConnect();
    EXPECT_EQ(TKUSB_IsDevice_Ex(), 'E');
}

}  // namespace
