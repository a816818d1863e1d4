// Every single-command export through the real library and an emulated camera: what the camera
// receives, the result under each of the camera's answers, and the mass-storage refusal.
#include <functional>

#include "api_support.h"

using namespace apitest;

namespace {

constexpr bool kRead = true;
constexpr bool kWrite = false;

struct Row {
    const char* name;
    std::function<int(int letter)> call;
    uint16_t subCommand;
    bool dataIn;
    uint32_t length;
    Bytes payload;       // writes: every byte the camera must receive
    bool refuses;        // returns 0 and sends nothing while the mass-storage flag is set
    int good;            // result when the camera answers GOOD (test camera defaults)
    int checkCondition;  // result when the camera answers CHECK CONDITION
};

const GprsRecord kGprs = patterned<GprsRecord>(1);
const WifiRecord kWifi = patterned<WifiRecord>(2);
const WifiApRecord kWifiAp = patterned<WifiApRecord>(3);
const MobileLinkRecord kMobile = patterned<MobileLinkRecord>(4);
const GpsUploadRecord kGpsUpload = patterned<GpsUploadRecord>(5);
const ConfigInfoRecord kConfig = patterned<ConfigInfoRecord>(6);
const Cmsv6Record kCms = patterned<Cmsv6Record>(7);
const Rk20SettingRecord kRk20 = patterned<Rk20SettingRecord>(8);

Bytes passwordRecord(const char* first, const char* second, uint8_t a, uint8_t b) {
    Block block(48);
    if (first)
        block.text(8, first);
    if (second)
        block.text(16, second);
    return block.byte(24, a).byte(25, b);
}

std::vector<Row> rows() {
    static char text[64];
    static unsigned char block8[8];
    static int value;
    static const unsigned char flag = 1;
    static unsigned char flagOut;
    static DeviceSpecRecord spec;
    static DeviceSettingRecord setting;
    static GprsRecord gprs;
    static WifiRecord wifi;
    static WifiApRecord wifiAp;
    static MobileLinkRecord mobile;
    static GpsUploadRecord gpsUpload;
    static ConfigInfoRecord config;
    static Cmsv6Record cms;
    static Rk20SettingRecord rk20;
    static Rk20StringInfo rk20Info;
    static char menu[2048];
    static char json[2048] = "{\"volume\" : 3}";
    static char users[5][40];
    static int ints[4];
    const Bytes none;
    return {
        // Identity
        {"GetVersion", [](int) { return TKUSB_GetVersion(); }, 0x3201, kRead, 2, none, false,
         0x0105, 0},
        {"GetVersion_Ex", [](int l) { return TKUSB_GetVersion_Ex(l); }, 0x3201, kRead, 2, none,
         false, 0x0105, 0},
        {"GetBuildVersion", [](int) { return TKUSB_GetBuildVersion(text); }, 0xF23D, kRead, 32,
         none, false, 1, 1},
        {"GetDevSerial", [](int) { return TKUSB_GetDevSerial(text); }, 0xF20F, kRead, 32, none,
         false, 1, 1},
        {"GetDeviceSpec", [](int) { return TKUSB_GetDeviceSpec(&spec); }, 0xF20C, kRead, 52, none,
         false, 1, 1},
        {"GetFWVer", [](int) { return TKUSB_GetFWVer(text); }, 0xF20C, kRead, 52, none, false, 1,
         1},
        {"GetDeviceTime", [](int) { return TKUSB_GetDeviceTime(text); }, 0xF227, kRead, 32, none,
         false, 1, 1},
        // Actions
        {"Reboot", [](int) { return TKUSB_Reboot(); }, 0xF001, kWrite, 1, {0x61}, false, 1, 0},
        {"Reboot_Ex",
         [](int l) { return TKUSB_Reboot_Ex(l); },
         0xF001,
         kWrite,
         1,
         {0x61},
         false,
         1,
         0},
        {"Shutdown", [](int) { return TKUSB_Shutdown(); }, 0xF002, kRead, 4, none, false, 1, 1},
        {"Shutdown_Ex", [](int l) { return TKUSB_Shutdown_Ex(l); }, 0xF002, kRead, 4, none, false,
         1, 1},
        {"DeleteLog",
         [](int) { return TKUSB_DeleteLog(); },
         0xF004,
         kWrite,
         1,
         {0x61},
         false,
         1,
         0},
        {"DeleteLog_Ex",
         [](int l) { return TKUSB_DeleteLog_Ex(l); },
         0xF004,
         kWrite,
         1,
         {0x61},
         false,
         1,
         0},
        {"Format", [](int) { return TKUSB_Format(); }, 0xF20A, kWrite, 1, {0x00}, true, 1, 0},
        {"Format_Ex",
         [](int l) { return TKUSB_Format_Ex(l); },
         0xF20A,
         kWrite,
         1,
         {0x00},
         true,
         1,
         0},
        {"Get_FormatStatus", [](int) { return TKUSB_Get_FormatStatus(); }, 0xF20B, kRead, 4, none,
         true, 1, 0},
        {"Get_FormatStatus_Ex", [](int l) { return TKUSB_Get_FormatStatus_Ex(l); }, 0xF20B, kRead,
         4, none, true, 1, 0},
        {"FactoryFocus", [](int) { return TKUSB_FactoryFocus(); }, 0xF220, kRead, 4, none, true, 1,
         1},
        {"RK20UseDefault",
         [](int) { return TKUSB_RK20UseDefault(); },
         0xF005,
         kWrite,
         1,
         {0x61},
         true,
         1,
         0},
        {"SetCopyFileFinish_Ex",
         [](int l) { return TKUSB_SetCopyFileFinish_Ex(l); },
         0xF235,
         kWrite,
         1,
         {0x36},
         false,
         1,
         0},
        // Status
        {"GetBattle", [](int) { return TKUSB_GetBattle(&value); }, 0xF003, kRead, 4, none, true, 1,
         1},
        {"GetBattle_Ex", [](int l) { return TKUSB_GetBattle_Ex(&value, l); }, 0xF003, kRead, 4,
         none, false, 1, 1},
        {"GetGsensorData", [](int) { return TKUSB_GetGsensorData(block8); }, 0xF221, kRead, 8, none,
         true, 1, 1},
        {"CheckLastOperateSuc", [](int) { return TKUSB_CheckLastOperateSuc(block8); }, 0xF222,
         kRead, 8, none, false, 1, 1},
        // Time
        {"SetDeviceTime", [](int) { return TKUSB_SetDeviceTime(2015, 6, 4, 13, 5, 9); }, 0xF201,
         kWrite, 48, Block(48).u32(0, 20150604).u32(4, 130509), false, 1, 0},
        // Passwords: cuts at 6 (5 for the user password), mode bytes, null texts
        {"CheckLoginPwd", [](int) { return TKUSB_CheckLoginPwd("0000009"); }, 0xF203, kWrite, 48,
         passwordRecord("000000", nullptr, 0, 0), true, 1, 0},
        {"CheckLoginPwd_Ex", [](int l) { return TKUSB_CheckLoginPwd_Ex("000000", l); }, 0xF203,
         kWrite, 48, passwordRecord("000000", nullptr, 0, 0), false, 1, 0},
        {"ChangeLoginPwd", [](int) { return TKUSB_ChangeLoginPwd("000000", "1234567"); }, 0xF202,
         kWrite, 48, passwordRecord("000000", "123456", 0, 0), true, 1, 0},
        {"ChangeLoginPwd_Ex", [](int l) { return TKUSB_ChangeLoginPwd_Ex("000000", nullptr, l); },
         0xF202, kWrite, 48, passwordRecord("000000", nullptr, 0, 0), true, 0, 0},
        {"CheckBrowsePwd", [](int) { return TKUSB_CheckBrowsePwd("111111", 0); }, 0xF209, kWrite,
         48, passwordRecord("111111", nullptr, 0, 1), true, 1, 0},
        {"ChangeBrowsePwd", [](int) { return TKUSB_ChangeBrowsePwd("654321", "654321"); }, 0xF208,
         kWrite, 48, passwordRecord("654321", "654321", 0, 0), true, 1, 0},
        {"Change5Pwd", [](int) { return TKUSB_Change5Pwd("222229", "33333"); }, 0xF216, kWrite, 48,
         passwordRecord("22222", "33333", 0, 0), true, 1, 0},
        {"StartAdminPwd", [](int) { return TKUSB_StartAdminPwd("8888889", 6); }, 0xF107, kWrite, 8,
         Block(8).text(0, "888888"), false, 1, 0},
        {"StartAdminPwd_Ex", [](int l) { return TKUSB_StartAdminPwd_Ex("888888", 6, l); }, 0xF107,
         kWrite, 8, Block(8).text(0, "888888"), false, 1, 0},
        {"ChangeNewAdminPwd", [](int) { return TKUSB_ChangeNewAdminPwd("999999", 6); }, 0xF217,
         kWrite, 8, Block(8).text(0, "999999"), true, 1, 0},
        {"ChangeNewAdminPwd_Ex", [](int l) { return TKUSB_ChangeNewAdminPwd_Ex("99999", 6, l); },
         0xF217, kWrite, 8, Block(8).text(0, "99999"), true, 1, 0},
        {"SwitchToMSC", [](int) { return TKUSB_SwitchToMSC("000000", 0); }, 0xF203, kWrite, 48,
         passwordRecord("000000", nullptr, 1, 0), true, 1, 0},
        {"SwitchToMSC_Ex", [](int l) { return TKUSB_SwitchToMSC_Ex("000000", 9, l); }, 0xF203,
         kWrite, 48, passwordRecord("000000", nullptr, 1, 9), false, 1, 0},
        {"SetNoCheckLoginPwd",
         [](int) { return TKUSB_SetNoCheckLoginPwd(&flag); },
         0xF21E,
         kWrite,
         1,
         {1},
         false,
         1,
         0},
        {"GetNoCheckLoginPwd", [](int) { return TKUSB_GetNoCheckLoginPwd(&flagOut); }, 0xF21F,
         kRead, 1, none, false, 1, 1},
        {"SetNoWifiPwdPwd",
         [](int) { return TKUSB_SetNoWifiPwdPwd(&flag); },
         0xF229,
         kWrite,
         1,
         {1},
         false,
         1,
         0},
        {"GetNoWifiPwdPwd", [](int) { return TKUSB_GetNoWifiPwdPwd(&flagOut); }, 0xF21F, kRead, 1,
         none, false, 1, 1},
        // Settings records
        {"GetUserInfo",
         [](int) { return TKUSB_GetUserInfo(users[0], users[1], users[2], users[3], users[4]); },
         0xF205, kRead, 100, none, false, 1, 1},
        {"SetUserInfo",
         [](int) { return TKUSB_SetUserInfo("123456789012", nullptr, "N1", "Name", "99"); }, 0xF204,
         kWrite, 100,
         Block(100).text(0, "12345678901").text(44, "N1").text(56, "Name").text(88, "99"), true, 1,
         0},
        {"GetDeviceSetting",
         [](int) { return TKUSB_GetDeviceSetting(&ints[0], &ints[1], &ints[2], &ints[3]); }, 0xF206,
         kRead, 20, none, true, 1, 1},
        {"GetDeviceSettingEx", [](int) { return TKUSB_GetDeviceSettingEx(&setting); }, 0xF206,
         kRead, 20, none, true, 1, 1},
        {"GetDeviceSettingEx_Ex", [](int l) { return TKUSB_GetDeviceSettingEx_Ex(&setting, l); },
         0xF206, kRead, 20, none, false, 1, 1},
        {"SetDeviceSetting", [](int) { return TKUSB_SetDeviceSetting(1, 2, 3); }, 0xF207, kWrite,
         20, Block(20).byte(0, 2).byte(1, 1).byte(2, 3), true, 1, 0},
        {"SetDeviceSetting_Ex", [](int l) { return TKUSB_SetDeviceSetting_Ex(0x101, 0, 9, l); },
         0xF207, kWrite, 20, Block(20).byte(1, 1).byte(2, 9), true, 1, 0},
        {"SetDeviceSettingEx", [](int) { return TKUSB_SetDeviceSettingEx(4, 3, 5); }, 0xF207,
         kWrite, 20, Block(20).byte(0, 3).byte(1, 4).byte(2, 5), true, 1, 0},
        {"GetGprsParam", [](int) { return TKUSB_GetGprsParam(&gprs); }, 0xF20D, kRead, 136, none,
         true, 1, 1},
        {"SetGprsParam", [](int) { return TKUSB_SetGprsParam(&kGprs); }, 0xF20E, kWrite, 136,
         bytesOf(kGprs), true, 1, 0},
        {"GetWifiParam", [](int) { return TKUSB_GetWifiParam(&wifi); }, 0xF210, kRead, 114, none,
         true, 1, 1},
        {"SetWifiParam", [](int) { return TKUSB_SetWifiParam(&kWifi); }, 0xF211, kWrite, 114,
         bytesOf(kWifi), true, 1, 0},
        {"GetWifiAPParam", [](int) { return TKUSB_GetWifiAPParam(&wifiAp); }, 0xF225, kRead, 64,
         none, true, 1, 1},
        {"SetWifiAPParam", [](int) { return TKUSB_SetWifiAPParam(&kWifiAp); }, 0xF226, kWrite, 64,
         bytesOf(kWifiAp), true, 1, 0},
        {"GetMobileLinkParam", [](int) { return TKUSB_GetMobileLinkParam(&mobile); }, 0xF212, kRead,
         186, none, true, 1, 1},
        {"SetMobileLinkParam", [](int) { return TKUSB_SetMobileLinkParam(&kMobile); }, 0xF213,
         kWrite, 186, bytesOf(kMobile), true, 1, 0},
        {"GetGpsUploadParam", [](int) { return TKUSB_GetGpsUploadParam(&gpsUpload); }, 0xF214,
         kRead, 4, none, true, 1, 1},
        {"SetGpsUploadParam", [](int) { return TKUSB_SetGpsUploadParam(&kGpsUpload); }, 0xF215,
         kWrite, 4, bytesOf(kGpsUpload), true, 1, 0},
        {"GetConfigInfo", [](int) { return TKUSB_GetConfigInfo(&config); }, 0xF23E, kRead, 128,
         none, true, 1, 1},
        {"SetConfigInfo", [](int) { return TKUSB_SetConfigInfo(&kConfig); }, 0xF23F, kWrite, 128,
         bytesOf(kConfig), true, 1, 0},
        {"GetConfigInfo_Ex", [](int l) { return TKUSB_GetConfigInfo_Ex(&config, l); }, 0xF23E,
         kRead, 128, none, true, 1, 1},
        {"SetConfigInfo_Ex", [](int l) { return TKUSB_SetConfigInfo_Ex(&kConfig, l); }, 0xF23F,
         kWrite, 128, bytesOf(kConfig), true, 1, 0},
        {"CMSV6GetSeting", [](int) { return TKUSB_CMSV6GetSeting(&cms); }, 0xF21C, kRead, 28, none,
         true, 1, 1},
        {"CMSV6Setting", [](int) { return TKUSB_CMSV6Setting(kCms); }, 0xF21D, kWrite, 28,
         bytesOf(kCms), true, 1, 0},
        {"RK20GetSeting", [](int) { return TKUSB_RK20GetSeting(&rk20); }, 0xF218, kRead, 32, none,
         true, 1, 1},
        {"RK20Setting", [](int) { return TKUSB_RK20Setting(kRk20); }, 0xF219, kWrite, 32,
         bytesOf(kRk20), true, 1, 0},
        {"RK20GetStringInfo", [](int) { return TKUSB_RK20GetStringInfo(&rk20Info); }, 0xF21B, kRead,
         124, none, false, 1, 1},
        {"GetPointBlankSet", [](int) { return TKUSB_GetPointBlankSet(&value); }, 0xF224, kRead, 4,
         none, true, 1, 1},
        {"GetPointBlankSet()", [](int) { return testsupport::pointBlankOverload(); }, 0xF224, kRead,
         4, none, true, 7, 0},
        {"GetPointBlankSet_Ex", [](int l) { return TKUSB_GetPointBlankSet_Ex(l); }, 0xF224, kRead,
         4, none, false, 7, 0},
        {"SetPointBlankSet",
         [](int) { return TKUSB_SetPointBlankSet(-2); },
         0xF223,
         kWrite,
         4,
         {0xFE, 0xFF, 0xFF, 0xFF},
         true,
         1,
         0},
        {"RFIDSetting",
         [](int) { return TKUSB_RFIDSetting(0x7F1234); },
         0xF23B,
         kWrite,
         2,
         {0x34, 0x12},
         false,
         1,
         0},
        // Menu list and JSON channel
        {"GetMenuList", [](int) { return TKUSB_GetMenuList(menu); }, 0xF236, kRead, 2048, none,
         false, 1, 1},
        {"SetMenuList", [](int) { return TKUSB_SetMenuList("a;%s;b"); }, 0xF237, kWrite, 2048,
         Block(2048).byte(0, 0x42).text(1, "a;%s;b"), false, 1, 0},
        {"SetJsonString", [](int) { return TKUSB_SetJsonString(json); }, 0xF239, kWrite, 2048,
         Block(2048).text(0, json), false, 1, 0},
        {"TEST_Json", [](int) { return TKUSB_TEST_Json(); }, 0xF23A, kRead, 30, none, false, 1, 1},
    };
}

class ExportTable : public CameraTest {
  protected:
    // Runs a row against a fresh camera, with the fault for its one command.
    int runWith(const Row& row, camsim::Fault fault) {
        drives.add('E', testCamera());
        EXPECT_EQ(TKUSB_IsDevice(), 'E');
        camera().clearReceived();
        if (fault != camsim::Fault::kNone)
            drives.server('E').injectFault(fault);
        return row.call('E');
    }
};

TEST_F(ExportTable, EachExportSendsItsCommand) {
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(runWith(row, camsim::Fault::kNone), row.good);
        const auto got = received();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].subCommand, row.subCommand);
        EXPECT_EQ(got[0].dataIn, row.dataIn);
        EXPECT_EQ(got[0].length, row.length);
        if (!row.dataIn) {
            EXPECT_EQ(got[0].payload, row.payload);
        }
    }
}

TEST_F(ExportTable, CheckConditionIsSuccessForReadsOnly) {
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(runWith(row, camsim::Fault::kRefuse), row.checkCondition);
    }
}

TEST_F(ExportTable, FailedPassThroughFailsEveryExport) {
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(runWith(row, camsim::Fault::kPassFail), 0);
    }
}

TEST_F(ExportTable, NoCameraFailsEveryExport) {
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.name);
        drives.add('E', testCamera());
        ASSERT_EQ(TKUSB_IsDevice(), 'E');
        drives.server('E').unplug();
        camera().clearReceived();
        testsupport::StderrCapture log;
        EXPECT_EQ(row.call('E'), 0);
        EXPECT_NE(log.text().find("Get handle failed\r\n"), std::string::npos);
        EXPECT_TRUE(received().empty());
    }
}

TEST_F(ExportTable, MassStorageRefusalAsMarked) {
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.name);
        drives.add('E', testCamera());
        exposeStorage();
        const int result = row.call('E');
        if (row.refuses) {
            EXPECT_EQ(result, 0);
            EXPECT_TRUE(received().empty());
        } else {
            const auto got = received();
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].subCommand, row.subCommand);
        }
    }
}

}  // namespace
