// No exception leaves an export: a drive whose open throws makes each export give its failure
// result and write one line about it.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "dalvex.h"
#include "discovery.h"
#include "platform/platform.h"
#include "support/emulated_cameras.h"

namespace {

struct Call {
    const char* name;
    std::function<int()> call;
    int failure = 0;
};

#define CALL(name, ...)                         \
    Call {                                      \
#name, [] { return name(__VA_ARGS__); } \
    }

// A record for an export to read into or write from.
template <typename Record>
Record* scratch() {
    static Record record;
    return &record;
}

std::vector<Call> calls() {
    static char text[2048];
    static unsigned char bytes[64];
    static int ints[4];
    return {
        CALL(TKUSB_IsDevice),
        Call{"TKUSB_IsDevice_Ex", [] { return TKUSB_IsDevice_Ex(); }, '['},
        CALL(TKUSB_GetDevSerial_Ex, text, 'E'),
        CALL(TKUSB_SetCopyFileFinish_Ex_DeviceID, "EMU0000001"),
        CALL(TKUSB_GetVersion),
        CALL(TKUSB_GetVersion_Ex, 'E'),
        CALL(TKUSB_GetBuildVersion, text),
        CALL(TKUSB_GetDevSerial, text),
        CALL(TKUSB_GetDeviceSpec, scratch<DeviceSpecRecord>()),
        CALL(TKUSB_GetFWVer, text),
        CALL(TKUSB_GetDeviceTime, text),
        CALL(TKUSB_Reboot),
        CALL(TKUSB_Reboot_Ex, 'E'),
        CALL(TKUSB_Shutdown),
        CALL(TKUSB_Shutdown_Ex, 'E'),
        CALL(TKUSB_DeleteLog),
        CALL(TKUSB_DeleteLog_Ex, 'E'),
        CALL(TKUSB_Format),
        CALL(TKUSB_Format_Ex, 'E'),
        CALL(TKUSB_Get_FormatStatus),
        CALL(TKUSB_Get_FormatStatus_Ex, 'E'),
        CALL(TKUSB_FactoryFocus),
        CALL(TKUSB_RK20UseDefault),
        CALL(TKUSB_SetCopyFileFinish, 'E', "123456"),
        CALL(TKUSB_SetCopyFileFinish_Ex, 'E'),
        CALL(TKUSB_GetBattle, ints),
        CALL(TKUSB_GetBattle_Ex, ints, 'E'),
        CALL(TKUSB_GetGsensorData, bytes),
        CALL(TKUSB_CheckLastOperateSuc, bytes),
        CALL(TKUSB_SetTime),
        CALL(TKUSB_SetDeviceTime, 2026, 12, 7, 10, 0, 0),
        CALL(TKUSB_CheckLoginPwd, "123456"),
        CALL(TKUSB_CheckLoginPwd_Ex, "123456", 'E'),
        CALL(TKUSB_ChangeLoginPwd, "123456", "654321"),
        CALL(TKUSB_ChangeLoginPwd_Ex, "123456", "654321", 'E'),
        CALL(TKUSB_CheckBrowsePwd, "123456", 1),
        CALL(TKUSB_ChangeBrowsePwd, "123456", "654321"),
        CALL(TKUSB_Change5Pwd, "12345", "54321"),
        CALL(TKUSB_StartAdminPwd, "123456", 6),
        CALL(TKUSB_StartAdminPwd_Ex, "123456", 6, 'E'),
        CALL(TKUSB_ChangeNewAdminPwd, "123456", 6),
        CALL(TKUSB_ChangeNewAdminPwd_Ex, "123456", 6, 'E'),
        CALL(TKUSB_SwitchToMSC, "123456", 1),
        CALL(TKUSB_SwitchToMSC_Ex, "123456", 1, 'E'),
        CALL(TKUSB_SetNoCheckLoginPwd, bytes),
        CALL(TKUSB_GetNoCheckLoginPwd, bytes),
        CALL(TKUSB_SetNoWifiPwdPwd, bytes),
        CALL(TKUSB_GetNoWifiPwdPwd, bytes),
        CALL(TKUSB_GetUserInfo, text, text + 100, text + 200, text + 300, text + 400),
        CALL(TKUSB_SetUserInfo, "1", "2", "3", "4", "5"),
        CALL(TKUSB_GetDeviceSetting, ints, ints + 1, ints + 2, ints + 3),
        CALL(TKUSB_GetDeviceSettingEx, scratch<DeviceSettingRecord>()),
        CALL(TKUSB_GetDeviceSettingEx_Ex, scratch<DeviceSettingRecord>(), 'E'),
        CALL(TKUSB_SetDeviceSetting, 1, 2, 3),
        CALL(TKUSB_SetDeviceSetting_Ex, 1, 2, 3, 'E'),
        CALL(TKUSB_SetDeviceSettingEx, 1, 2, 3),
        CALL(TKUSB_GetGprsParam, scratch<GprsRecord>()),
        CALL(TKUSB_SetGprsParam, scratch<GprsRecord>()),
        CALL(TKUSB_GetWifiParam, scratch<WifiRecord>()),
        CALL(TKUSB_SetWifiParam, scratch<WifiRecord>()),
        CALL(TKUSB_GetWifiAPParam, scratch<WifiApRecord>()),
        CALL(TKUSB_SetWifiAPParam, scratch<WifiApRecord>()),
        CALL(TKUSB_GetMobileLinkParam, scratch<MobileLinkRecord>()),
        CALL(TKUSB_SetMobileLinkParam, scratch<MobileLinkRecord>()),
        CALL(TKUSB_GetGpsUploadParam, scratch<GpsUploadRecord>()),
        CALL(TKUSB_SetGpsUploadParam, scratch<GpsUploadRecord>()),
        CALL(TKUSB_GetConfigInfo, scratch<ConfigInfoRecord>()),
        CALL(TKUSB_SetConfigInfo, scratch<ConfigInfoRecord>()),
        CALL(TKUSB_GetConfigInfo_Ex, scratch<ConfigInfoRecord>(), 'E'),
        CALL(TKUSB_SetConfigInfo_Ex, scratch<ConfigInfoRecord>(), 'E'),
        CALL(TKUSB_CMSV6GetSeting, scratch<Cmsv6Record>()),
        CALL(TKUSB_CMSV6Setting, *scratch<Cmsv6Record>()),
        CALL(TKUSB_RK20GetSeting, scratch<Rk20SettingRecord>()),
        CALL(TKUSB_RK20Setting, *scratch<Rk20SettingRecord>()),
        CALL(TKUSB_RK20GetStringInfo, scratch<Rk20StringInfo>()),
        CALL(TKUSB_GetPointBlankSet, ints),
        CALL(TKUSB_GetPointBlankSet),
        CALL(TKUSB_GetPointBlankSet_Ex, 'E'),
        CALL(TKUSB_SetPointBlankSet, 3),
        CALL(TKUSB_SetPointBlankSet_Ex, 3, 'E'),
        CALL(TKUSB_RFIDSetting, 1),
        CALL(TKUSB_GetMenuList, text),
        CALL(TKUSB_SetMenuList, "menu"),
        CALL(TKUSB_GetJsonString, text),
        CALL(TKUSB_SetJsonString, text),
        CALL(TKUSB_TEST_Json),
    };
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(ExportGuard, AThrowInsideGivesTheFailureResultAndOneLine) {
    testsupport::EmulatedDrives drives;
    drives.add('E');  // a drive for the scans to reach
    struct Thrown {
        const char* name;
        std::function<void()> raise;
        const char* line;
    } thrown[] = {
        {"out of memory", [] { throw std::bad_alloc(); }, ": exception: std::bad_alloc\n"},
        {"not a standard exception", [] { throw 7; }, ": unknown exception\n"},
    };
    for (const auto& t : thrown) {
        dalvex::platform::setDriveOpenerForTesting([&](char) {
            t.raise();
            return std::unique_ptr<dalvex::platform::DriveHandle>();
        });
        for (const Call& c : calls()) {
            SCOPED_TRACE(std::string(t.name) + ", " + c.name);
            dalvex::resetDiscoveryState();
            testsupport::StderrCapture log;
            int result = -1;
            EXPECT_NO_THROW(result = c.call());
            EXPECT_EQ(result, c.failure);
            const std::string text = log.text();
            EXPECT_EQ(count(text, "exception"), 1u) << text;
            EXPECT_EQ(count(text, c.name + std::string(t.line)), 1u) << text;
        }
    }
    dalvex::platform::setDriveOpenerForTesting(nullptr);
}

}  // namespace
