// The exports of dalvex.dll against a camera that camsim serves on the Linux side over TCP.
#include <windows.h>

#include <cstring>
#include <string>

#include "dalvex.h"
#include "win_support.h"

namespace {

class DllExports : public ::testing::Test {
  protected:
    void SetUp() override {
        WINTEST_REQUIRE_CAMERA();
        wintest::setDrives("E=" + wintest::cameraTarget());
        wintest::StderrCapture quiet;
        ASSERT_EQ(TKUSB_IsDevice(), 'E');
    }
};

TEST_F(DllExports, IdentityOfTheCamera) {
    char serial[33] = {};
    EXPECT_EQ(TKUSB_GetDevSerial(serial), 1);
    EXPECT_STREQ(serial, wintest::kSerial);
    char tableSerial[11] = {};
    TKUSB_GetDevSerial_Ex(tableSerial, 'e');
    EXPECT_STREQ(tableSerial, wintest::kSerial);
    DeviceSpecRecord spec;
    std::memset(&spec, 0, sizeof spec);
    EXPECT_EQ(TKUSB_GetDeviceSpec(&spec), 1);
    EXPECT_EQ(spec.modelCode, wintest::kModelCode);
}

TEST_F(DllExports, LoginPasswordIsJudgedByTheCamera) {
    EXPECT_EQ(TKUSB_CheckLoginPwd("000000"), 0);
    EXPECT_EQ(TKUSB_CheckLoginPwd(wintest::kLoginPassword), 1);
    EXPECT_EQ(TKUSB_CheckLoginPwd_Ex(wintest::kLoginPassword, 'E'), 1);
}

TEST_F(DllExports, SettingsAreStoredAndReadBack) {
    EXPECT_EQ(TKUSB_SetDeviceSetting(3, 2, 1), 1);
    DeviceSettingRecord setting;
    std::memset(&setting, 0, sizeof setting);
    EXPECT_EQ(TKUSB_GetDeviceSettingEx(&setting), 1);
    EXPECT_EQ(setting.photoResolution, 3);
    EXPECT_EQ(setting.videoResolution, 2);

    EXPECT_EQ(TKUSB_SetPointBlankSet_Ex(41, 'E'), 1);
    int value = 0;
    EXPECT_EQ(TKUSB_GetPointBlankSet(&value), 1);
    EXPECT_EQ(value, 41);
    // The C++ overload, under the name MSVC's callers link against.
    using IntOfVoid = int (*)();
    const auto overload = reinterpret_cast<IntOfVoid>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("dalvex.dll"), "?TKUSB_GetPointBlankSet@@YAHXZ")));
    ASSERT_NE(overload, nullptr);
    EXPECT_EQ(overload(), 41);
}

TEST_F(DllExports, CameraThatStopsAnsweringIsGone) {
    wintest::setDrives("E=tcp:127.0.0.1:1");
    wintest::StderrCapture log;
    EXPECT_EQ(TKUSB_IsDevice(), 0);
    DeviceSpecRecord spec;
    EXPECT_EQ(TKUSB_GetDeviceSpec(&spec), 0);
    EXPECT_EQ(log.text(), "Get handle failed\r\n");
}

}  // namespace
