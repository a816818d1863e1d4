// The exports that send more than one command or interpret what they read: copy finished,
// point-blank with check, firmware replacement, format status, the clock, user information.
#include <chrono>
#include <memory>
#include <thread>

#include "api_support.h"

using namespace apitest;
using testsupport::StderrCapture;

namespace {

std::vector<uint16_t> subCommands(const std::vector<camsim::CameraState::Received>& received) {
    std::vector<uint16_t> subs;
    for (const auto& r : received)
        subs.push_back(r.subCommand);
    return subs;
}

class ComposedExports : public CameraTest {};

// ---- copy finished -----------------------------------------------------------------------------

TEST_F(ComposedExports, CopyFinishedChecksPasswordThenBringsBackTheCommandDisk) {
    {
        std::lock_guard<std::mutex> guard(camera().lock());
        camera().state().massStorage = true;
    }
    StderrCapture log;
    EXPECT_EQ(TKUSB_SetCopyFileFinish('E', "000000"), 1);
    const std::string text = log.text();
    EXPECT_EQ(text.rfind("drive:E, pwd:****** \n", 0), 0u) << text;
    // The check succeeds silently, so the two progress marks follow each other.
    EXPECT_NE(text.find("Detected BWC disk, E\n12"), std::string::npos) << text;
    EXPECT_EQ(text.find("000000"), std::string::npos) << "the password must not be logged";

    const auto got = received();
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[got.size() - 2].subCommand, 0xF203);
    EXPECT_EQ(got[got.size() - 2].payload, Bytes(Block(48).text(8, "000000")));
    EXPECT_EQ(got.back().subCommand, 0xF235);
    EXPECT_EQ(got.back().payload, Bytes{0x36});
    EXPECT_FALSE(camera().snapshot().massStorage);
}

TEST_F(ComposedExports, CopyFinishedWithWrongPasswordStopsAfterTheCheck) {
    {
        std::lock_guard<std::mutex> guard(camera().lock());
        camera().state().massStorage = true;
    }
    StderrCapture log;
    EXPECT_EQ(TKUSB_SetCopyFileFinish('E', "123456"), 0);
    const std::string text = log.text();
    EXPECT_EQ(text.rfind("drive:E, pwd:****** \n", 0), 0u);
    EXPECT_NE(text.find("Detected BWC disk, E\n1"), std::string::npos) << text;
    EXPECT_EQ(text.find("123456"), std::string::npos);
    const auto subs = subCommands(received());
    EXPECT_EQ(std::count(subs.begin(), subs.end(), 0xF235), 0);
    EXPECT_TRUE(camera().snapshot().massStorage);
}

TEST_F(ComposedExports, CopyFinishedFindsNoDiskOnACommandDisk) {
    // The camera shows its small command disk: the mass-storage scan skips it.
    EXPECT_EQ(TKUSB_SetCopyFileFinish('E', "000000"), 0);
    EXPECT_TRUE(received().empty());
    // The failed scan leaves no current drive.
    EXPECT_EQ(TKUSB_GetVersion(), 0);
}

// ---- mass-storage flag through the exports -----------------------------------------------------

TEST_F(ComposedExports, FlagStaysUntilAScanMeetsTheCommandDisk) {
    exposeStorage();
    EXPECT_EQ(TKUSB_GetBattle(nullptr), 0);
    int battery = -1;
    EXPECT_EQ(TKUSB_GetBattle(&battery), 0);
    EXPECT_EQ(battery, -1);
    EXPECT_EQ(TKUSB_GetBattle_Ex(&battery, 'E'), 1);
    EXPECT_EQ(battery, 87);
    EXPECT_EQ(TKUSB_CheckLoginPwd("000000"), 0);
    EXPECT_EQ(TKUSB_CheckLoginPwd_Ex("000000", 'E'), 1);
    EXPECT_EQ(testsupport::pointBlankOverload(), 0);  // refused, like a stored 0

    // Copy finished brings the command disk back; the next scan clears the flag.
    EXPECT_EQ(TKUSB_SetCopyFileFinish_Ex('E'), 1);
    EXPECT_EQ(TKUSB_IsDevice(), 'E');
    EXPECT_EQ(TKUSB_CheckLoginPwd("000000"), 1);
    EXPECT_EQ(testsupport::pointBlankOverload(), 7);
}

TEST_F(ComposedExports, SwitchToMassStorageExposesTheCard) {
    EXPECT_EQ(TKUSB_SwitchToMSC("123456", 0), 0);
    EXPECT_FALSE(camera().snapshot().massStorage);
    EXPECT_EQ(TKUSB_SwitchToMSC("000000", 0), 1);
    EXPECT_TRUE(camera().snapshot().massStorage);
    // The scan now sees a large disk and finds the camera's storage on E:.
    EXPECT_EQ(TKUSB_SetCopyFileFinish('E', "000000"), 1);
    EXPECT_FALSE(camera().snapshot().massStorage);
}

// ---- point-blank with check --------------------------------------------------------------------

TEST_F(ComposedExports, PointBlankWithCheckWritesThenReadsBack) {
    EXPECT_EQ(TKUSB_SetPointBlankSet_Ex(3, 'E'), 1);
    const auto got = received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].subCommand, 0xF223);
    EXPECT_EQ(got[0].payload, (Bytes{3, 0, 0, 0}));
    EXPECT_EQ(got[1].subCommand, 0xF224);
    EXPECT_TRUE(got[1].dataIn);
    EXPECT_EQ(got[1].length, 4u);
}

TEST_F(ComposedExports, PointBlankWithCheckFailsWhenTheCameraKeepsAnotherValue) {
    camera().setHandler(0xF223, [](camsim::CameraState&, const camsim::Command&) {
        return camsim::Reply{};  // accepts and ignores
    });
    EXPECT_EQ(TKUSB_SetPointBlankSet_Ex(3, 'E'), 0);
    EXPECT_EQ(TKUSB_SetPointBlankSet_Ex(7, 'E'), 1);  // what it keeps anyway
    // A refused write still decides by the read-back.
    drives.server('E').injectFault(camsim::Fault::kRefuse);
    EXPECT_EQ(TKUSB_SetPointBlankSet_Ex(7, 'E'), 1);
}

TEST_F(ComposedExports, PointBlankWithCheckRefusesWhileStorageIsExposed) {
    exposeStorage();
    EXPECT_EQ(TKUSB_SetPointBlankSet_Ex(7, 'E'), 0);
    EXPECT_TRUE(received().empty());
}

// ---- firmware replacement ----------------------------------------------------------------------

void setFirmware(camsim::CameraModel& camera, const std::string& firmware) {
    std::lock_guard<std::mutex> guard(camera.lock());
    camera.state().firmware = firmware;
}

TEST_F(ComposedExports, RetiredFirmwareIsReportedUnderItsSuccessor) {
    setFirmware(camera(), "TKV71MRD.140918.WF");
    char text[49];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(TKUSB_GetFWVer(text), 1);
    EXPECT_STREQ(text, "TKV71MRD.150530.WR");

    DeviceSpecRecord spec;
    std::memset(&spec, 0xEE, sizeof spec);
    EXPECT_EQ(TKUSB_GetDeviceSpec(&spec), 1);
    EXPECT_EQ(Bytes(spec.firmwareVersion, spec.firmwareVersion + 32),
              Bytes(Block(32).text(0, "TKV71MRD.150530.WR")));
    EXPECT_EQ(spec.modelCode, 33);
    EXPECT_EQ(spec.hasWifi, 1);
}

TEST_F(ComposedExports, OtherFirmwareTextsPassUnchanged) {
    for (const char* firmware : {"TKV71MRD.140918.WG", "TKV71MRD.140918.W", "EMU_FW_2"}) {
        SCOPED_TRACE(firmware);
        setFirmware(camera(), firmware);
        char text[49] = {};
        EXPECT_EQ(TKUSB_GetFWVer(text), 1);
        EXPECT_STREQ(text, firmware);
    }
}

TEST_F(ComposedExports, FirmwareTextStopsAtTheEndOfTheRecord) {
    // 48 bytes without a terminator from offset 4: all of them and a terminator, nothing more.
    camera().setHandler(0xF20C, [](camsim::CameraState&, const camsim::Command&) {
        return camsim::Reply{camsim::kStatusGood, Bytes(Block(52).text(4, std::string(48, 'F'))),
                             0};
    });
    auto text = std::make_unique<char[]>(49);
    EXPECT_EQ(TKUSB_GetFWVer(text.get()), 1);
    EXPECT_EQ(std::string(text.get()), std::string(48, 'F'));
}

TEST_F(ComposedExports, FailedSpecReadStillReplacesTheCallersText) {
    DeviceSpecRecord spec{};
    std::memcpy(spec.firmwareVersion, "TKV71MRD.140918.WF", 18);
    drives.server('E').injectFault(camsim::Fault::kPassFail);
    EXPECT_EQ(TKUSB_GetDeviceSpec(&spec), 0);
    EXPECT_STREQ(spec.firmwareVersion, "TKV71MRD.150530.WR");

    char text[49];
    std::memset(text, 'x', sizeof text);
    drives.server('E').injectFault(camsim::Fault::kPassFail);
    EXPECT_EQ(TKUSB_GetFWVer(text), 0);
    EXPECT_STREQ(text, "");
}

// ---- format ------------------------------------------------------------------------------------

TEST_F(ComposedExports, FormatStatusValues) {
    struct Case {
        uint32_t status;
        int result;
    } cases[] = {{0x0FF0, 0}, {0, 0}, {0xDCBA, 1}, {0xDCBA0000, 0}, {0x0000DCBB, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        camera().setHandler(0xF20B, [c](camsim::CameraState&, const camsim::Command&) {
            return camsim::Reply{camsim::kStatusGood, Bytes(Block(4).u32(0, c.status)), 0};
        });
        EXPECT_EQ(TKUSB_Get_FormatStatus(), c.result);
        EXPECT_EQ(TKUSB_Get_FormatStatus_Ex('E'), c.result);
    }
}

TEST_F(ComposedExports, FormatReportsBusyForTheCamerasPollsThenFinished) {
    {
        std::lock_guard<std::mutex> guard(camera().lock());
        camera().state().formatPolls = 2;
        camera().state().freeSpaceMiB = 10;
    }
    EXPECT_EQ(TKUSB_Format(), 1);
    EXPECT_EQ(TKUSB_Get_FormatStatus(), 0);
    EXPECT_EQ(TKUSB_Get_FormatStatus(), 0);
    EXPECT_EQ(TKUSB_Get_FormatStatus(), 1);
    EXPECT_EQ(TKUSB_Get_FormatStatus(), 1);
    DeviceSettingRecord setting{};
    EXPECT_EQ(TKUSB_GetDeviceSettingEx(&setting), 1);
    EXPECT_EQ(setting.freeSpaceMB, 32768);  // the emptied card
}

// ---- clock -------------------------------------------------------------------------------------

TEST_F(ComposedExports, ClockSetAndReadBack) {
    ASSERT_EQ(TKUSB_SetDeviceTime(2015, 6, 4, 13, 5, 9), 1);
    char text[32];
    std::memset(text, 'x', sizeof text);
    ASSERT_EQ(TKUSB_GetDeviceTime(text), 1);
    // A second may pass between the two commands.
    const std::string got(text, strnlen(text, sizeof text));
    EXPECT_TRUE(got == "20150604130509" || got == "20150604130510") << got;
}

TEST_F(ComposedExports, HostTimeIsSentAsDigits) {
    ASSERT_EQ(TKUSB_SetTime(), 1);
    const auto got = received();
    ASSERT_EQ(got.size(), 1u);
    const Bytes& p = got[0].payload;
    const uint32_t date = p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
    const uint32_t time = p[4] | p[5] << 8 | p[6] << 16 | uint32_t(p[7]) << 24;
    EXPECT_GE(date, 20260101u);
    EXPECT_LE(date % 100, 31u);
    EXPECT_LE(date / 100 % 100, 12u);
    EXPECT_LT(time, 240000u);
    EXPECT_EQ(Bytes(p.begin() + 8, p.end()), Bytes(40, 0));
}

TEST_F(ComposedExports, HostTimeIsRefusedWhileStorageIsExposed) {
    exposeStorage();
    EXPECT_EQ(TKUSB_SetTime(), 0);
    EXPECT_TRUE(received().empty());
}

TEST_F(ComposedExports, CameraRejectsAnImpossibleTime) {
    EXPECT_EQ(TKUSB_SetDeviceTime(2015, 13, 4, 13, 5, 9), 0);
    EXPECT_EQ(TKUSB_SetDeviceTime(2015, 6, 31, 13, 5, 9), 0);
}

// ---- reboot and shutdown -----------------------------------------------------------------------

bool cameraBackWithin(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (TKUSB_IsDevice() == 'E')
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST_F(ComposedExports, RebootAndShutdownMakeTheCameraVanishForAWhile) {
    {
        std::lock_guard<std::mutex> guard(camera().lock());
        camera().state().rebootMilliseconds = 400;
        camera().state().shutdownMilliseconds = 400;
    }
    EXPECT_EQ(TKUSB_Reboot(), 1);
    EXPECT_EQ(TKUSB_IsDevice(), 0);
    EXPECT_TRUE(cameraBackWithin(std::chrono::seconds(5)));

    EXPECT_EQ(TKUSB_Shutdown_Ex('E'), 1);
    EXPECT_EQ(TKUSB_GetVersion_Ex('E'), 0);
    EXPECT_TRUE(cameraBackWithin(std::chrono::seconds(5)));
}

// ---- user information --------------------------------------------------------------------------

TEST_F(ComposedExports, UserInfoFieldsAreCutToTheirWidths) {
    const std::string department(40, 'D');
    ASSERT_EQ(TKUSB_SetUserInfo("DEV-1", department.c_str(), "N-1", "User", "0123456789"), 1);
    const Bytes stored = received().at(0).payload;
    EXPECT_EQ(std::string(stored.begin() + 12, stored.begin() + 44), std::string(32, 'D'));
    EXPECT_EQ(stored[44], 'N');  // no terminator between the full field and the next one
    EXPECT_EQ(std::string(stored.begin() + 88, stored.begin() + 98), "0123456789");

    // Buffers of exactly the documented widths: the export must not write past them.
    auto deviceId = std::make_unique<char[]>(11);
    auto departmentName = std::make_unique<char[]>(32);
    auto departmentNumber = std::make_unique<char[]>(12);
    auto userName = std::make_unique<char[]>(32);
    auto userId = std::make_unique<char[]>(6);
    ASSERT_EQ(TKUSB_GetUserInfo(deviceId.get(), departmentName.get(), departmentNumber.get(),
                                userName.get(), userId.get()),
              1);
    EXPECT_EQ(std::string(departmentName.get(), 32), department.substr(0, 32));
    EXPECT_EQ(std::string(userId.get(), 6), "012345");
    EXPECT_STREQ(deviceId.get(), "DEV-1");
    EXPECT_STREQ(departmentNumber.get(), "N-1");
    EXPECT_STREQ(userName.get(), "User");
}

TEST_F(ComposedExports, UserInfoSkipsNullOutputs) {
    char name[40] = {};
    EXPECT_EQ(TKUSB_GetUserInfo(nullptr, nullptr, nullptr, name, nullptr), 1);
    EXPECT_STREQ(name, "Officer");
}

TEST_F(ComposedExports, UserInfoReportsAFailedRead) {
    char texts[5][40];
    std::memset(texts, 'x', sizeof texts);
    drives.server('E').unplug();
    EXPECT_EQ(TKUSB_GetUserInfo(texts[0], texts[1], texts[2], texts[3], texts[4]), 0);
    for (auto& text : texts)
        EXPECT_STREQ(text, "");
}

// ---- read-into-caller and read-into-local ------------------------------------------------------

TEST_F(ComposedExports, FailedReadsLeaveOrClearBlocksAsTheExportSays) {
    // Straight into the caller's block: a refused read leaves it as it was.
    char menu[2048];
    std::memset(menu, 'm', sizeof menu);
    drives.server('E').injectFault(camsim::Fault::kRefuse);
    EXPECT_EQ(TKUSB_GetMenuList(menu), 1);
    EXPECT_EQ(menu[0], 'm');
    EXPECT_EQ(menu[2047], 'm');

    // Cleared before the read.
    Rk20SettingRecord rk20;
    std::memset(&rk20, 0x5A, sizeof rk20);
    drives.server('E').injectFault(camsim::Fault::kRefuse);
    EXPECT_EQ(TKUSB_RK20GetSeting(&rk20), 1);
    EXPECT_EQ(bytesOf(rk20), Bytes(32, 0));

    // Read into a local block, copied out on success only.
    DeviceSettingRecord setting;
    std::memset(&setting, 0x5A, sizeof setting);
    drives.server('E').injectFault(camsim::Fault::kPassFail);
    EXPECT_EQ(TKUSB_GetDeviceSettingEx(&setting), 0);
    EXPECT_EQ(bytesOf(setting), Bytes(20, 0x5A));

    int outputs[4] = {-1, -1, -1, -1};
    drives.server('E').injectFault(camsim::Fault::kPassFail);
    EXPECT_EQ(TKUSB_GetDeviceSetting(&outputs[0], &outputs[1], &outputs[2], &outputs[3]), 0);
    EXPECT_EQ(outputs[0], -1);

    // Serial: 33 bytes out, untouched on failure.
    char serial[33] = "old";
    drives.server('E').injectFault(camsim::Fault::kPassFail);
    EXPECT_EQ(TKUSB_GetDevSerial(serial), 0);
    EXPECT_STREQ(serial, "old");
}

TEST_F(ComposedExports, RefusedClearingGettersStillClear) {
    exposeStorage();
    Cmsv6Record cms;
    std::memset(&cms, 0x5A, sizeof cms);
    EXPECT_EQ(TKUSB_CMSV6GetSeting(&cms), 0);
    EXPECT_EQ(bytesOf(cms), Bytes(28, 0));
    Rk20SettingRecord rk20;
    std::memset(&rk20, 0x5A, sizeof rk20);
    EXPECT_EQ(TKUSB_RK20GetSeting(&rk20), 0);
    EXPECT_EQ(bytesOf(rk20), Bytes(32, 0));
}

TEST_F(ComposedExports, SerialOfThirtyTwoCharactersIsTerminated) {
    {
        std::lock_guard<std::mutex> guard(camera().lock());
        camera().state().serial = std::string(40, 'S');
    }
    auto serial = std::make_unique<char[]>(33);
    EXPECT_EQ(TKUSB_GetDevSerial(serial.get()), 1);
    EXPECT_EQ(std::string(serial.get()), std::string(32, 'S'));
}

TEST_F(ComposedExports, DeviceSettingOutputsAndReadOnlyFields) {
    ASSERT_EQ(TKUSB_SetDeviceSetting(4, 3, 5), 1);
    int photo = -1, video = -1, length = -1, capacity = -1;
    ASSERT_EQ(TKUSB_GetDeviceSetting(&photo, &video, &length, &capacity), 1);
    EXPECT_EQ(photo, 4);
    EXPECT_EQ(video, 3);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(capacity, 32);  // GB for this model

    // Out of range: nothing is sent.
    EXPECT_EQ(TKUSB_SetDeviceSettingEx(5, 0, 0), 0);
    EXPECT_EQ(TKUSB_SetDeviceSettingEx(0, 4, 0), 0);
    EXPECT_EQ(TKUSB_SetDeviceSettingEx(0, 0, 6), 0);
    EXPECT_EQ(TKUSB_SetDeviceSettingEx(-1, 0, 0), 0);
    EXPECT_EQ(received().size(), 2u);  // only the set and the get above
}

TEST_F(ComposedExports, RecordsAreStoredAndReturned) {
    WifiRecord wifi{};
    wifi.mode = 1;
    std::strcpy(wifi.ssid, "station");
    wifi.port = 8080;
    ASSERT_EQ(TKUSB_SetWifiParam(&wifi), 1);
    WifiRecord back{};
    ASSERT_EQ(TKUSB_GetWifiParam(&back), 1);
    EXPECT_EQ(bytesOf(back), bytesOf(wifi));

    Rk20SettingRecord rk20 = patterned<Rk20SettingRecord>(3);
    ASSERT_EQ(TKUSB_RK20Setting(rk20), 1);
    Rk20SettingRecord rk20Back{};
    ASSERT_EQ(TKUSB_RK20GetSeting(&rk20Back), 1);
    EXPECT_EQ(bytesOf(rk20Back), bytesOf(rk20));
    ASSERT_EQ(TKUSB_RK20UseDefault(), 1);
    ASSERT_EQ(TKUSB_RK20GetSeting(&rk20Back), 1);
    EXPECT_NE(bytesOf(rk20Back), bytesOf(rk20));
    EXPECT_EQ(rk20Back.reserved17[0], 0);

    Rk20StringInfo info{};
    ASSERT_EQ(TKUSB_RK20GetStringInfo(&info), 1);
    EXPECT_STREQ(info.serialNumber, "EMU0000001");
    EXPECT_EQ(info.totalSizeGB, 32);
}

}  // namespace
