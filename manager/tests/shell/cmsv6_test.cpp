// The CMS server page on the headless backend with the real library and an in-process emulated
// camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "dalvex.h"
#include "pages/cmsv6.h"
#include "record_bytes.h"
#include "support/emulated_cameras.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

using namespace ids::cmsv6;

using ui::headless::Click;
using ui::headless::Type;

constexpr uint16_t kReadCms = 0xF21C, kWriteCms = 0xF21D, kReadWifi = 0xF210, kWriteWifi = 0xF211;

Cmsv6Record Cms(const char* id, uint16_t serverPort = 6000, uint16_t listenPort = 6001) {
    Cmsv6Record r{};
    std::memcpy(r.deviceId, id, std::min(std::strlen(id), sizeof r.deviceId));
    std::strcpy(r.serverIp, "172.16.0.9");
    r.serverPort = serverPort;
    r.listenPort = listenPort;
    return r;
}

WifiRecord AccessPointWifi() {
    WifiRecord r{};
    r.mode = 1;
    std::strcpy(r.ssid, "station-net");
    r.encryptionType = 1;
    std::strcpy(r.password, "station-pw");
    std::strcpy(r.ip, "192.168.1.1");
    r.port = 8080;
    std::fill(std::begin(r.reserved66), std::end(r.reserved66), uint8_t(0x5A));
    return r;
}

class CmsPageTest : public PageTest {
  protected:
    camsim::CameraModel& Plug(const Cmsv6Record& cms, std::string serial = "SN12345678") {
        camsim::CameraState state;
        state.serial = std::move(serial);
        state.records[kReadCms] = Bytes(cms);
        state.records[kReadWifi] = Bytes(AccessPointWifi());
        return drives_->add('E', state);
    }

    // Opening the page runs a Refresh.
    CDlgCMsv6Setting& Open() {
        EXPECT_TRUE(page_.Create());
        return page_;
    }

    CDlgCMsv6Setting page_{nullptr};
};

TEST_F(CmsPageTest, OpeningShowsTheAccountAndTheStation) {
    Plug(Cms("CAM00042"));
    Open();
    EXPECT_EQ(page_.GetDlgItemText(kDeviceId), L"CAM00042");
    EXPECT_EQ(page_.GetDlgItemText(kServerIp), L"172.16.0.9");
    EXPECT_EQ(page_.GetDlgItemText(kServerPort), L"6000");
    EXPECT_EQ(page_.GetDlgItemText(kListenPort), L"6001");
    EXPECT_EQ(page_.GetDlgItemText(kSsid), L"station-net");
    EXPECT_EQ(page_.GetDlgItemText(kPassword), L"station-pw");
    for (int id : {kServerIp, kServerPort, kListenPort, kRefresh, kSetting})
        EXPECT_TRUE(page_.IsControlEnabled(id)) << id;
    EXPECT_FALSE(page_.IsControlEnabled(kDeviceId));
    EXPECT_EQ(page_.GetTextLimit(kDeviceId), 8);
    EXPECT_EQ(page_.GetTextLimit(kServerPort), 5);
    EXPECT_EQ(page_.GetTextLimit(kListenPort), 5);
}

TEST_F(CmsPageTest, AShortIdentifierShowsTheSerialAndSettingStoresItsFirstEightBytes) {
    for (const char* id : {"", "X"}) {
        backend_->ClearMessages();
        camsim::CameraModel& camera = Plug(Cms(id));
        CDlgCMsv6Setting page(nullptr);
        ASSERT_TRUE(page.Create());
        EXPECT_EQ(page.GetDlgItemText(kDeviceId), L"SN12345678") << id;
        ASSERT_TRUE(Click(page, kSetting));
        ExpectOneMessage(L"OK!");
        const auto written = receivedPayloads(camera, kWriteCms);
        ASSERT_EQ(written.size(), 1u);
        const Cmsv6Record sent = FromBytes<Cmsv6Record>(written[0]);
        EXPECT_EQ(std::string(sent.deviceId, 8), "SN123456");  // no terminator
        EXPECT_STREQ(sent.serverIp, "172.16.0.9");
    }
}

TEST_F(CmsPageTest, UnsetPortsShowTheDefaultsAndAreWrittenAsSuch) {
    camsim::CameraModel& camera = Plug(Cms("CAM00042", 0xFFFF, 0xFFFF));
    Open();
    EXPECT_EQ(page_.GetDlgItemText(kServerPort), L"6608");
    EXPECT_EQ(page_.GetDlgItemText(kListenPort), L"6688");
    ASSERT_TRUE(Click(page_, kSetting));
    ExpectOneMessage(L"OK!");
    const Cmsv6Record stored = FromBytes<Cmsv6Record>(camera.snapshot().records[kReadCms]);
    EXPECT_EQ(stored.serverPort, 6608);
    EXPECT_EQ(stored.listenPort, 6688);

    camera.state().records[kReadCms] = Bytes(Cms("CAM00042", 0, 0));
    ASSERT_TRUE(Click(page_, kRefresh));
    EXPECT_EQ(page_.GetDlgItemText(kServerPort), L"0");
    EXPECT_EQ(page_.GetDlgItemText(kListenPort), L"0");
}

TEST_F(CmsPageTest, SettingPutsTheCameraIntoStationModeWhateverItHeld) {
    camsim::CameraModel& camera = Plug(Cms("CAM00042"));
    Open();
    ASSERT_TRUE(Type(page_, kSsid, L"patrol-car-7"));
    ASSERT_TRUE(Type(page_, kPassword, L"0123456789abcdefTAIL"));
    ASSERT_TRUE(Type(page_, kServerIp, L"10.1.2.3"));
    ASSERT_TRUE(Click(page_, kSetting));
    ExpectOneMessage(L"OK!");

    std::vector<uint16_t> writes;
    for (const auto& r : camera.snapshot().received) {
        if (!r.dataIn)
            writes.push_back(r.subCommand);
    }
    EXPECT_EQ(writes, (std::vector<uint16_t>{kWriteCms, kWriteWifi}));
    const WifiRecord wifi = FromBytes<WifiRecord>(camera.snapshot().records[kReadWifi]);
    EXPECT_EQ(wifi.mode, 0);
    EXPECT_EQ(wifi.encryptionType, 0);
    EXPECT_EQ(wifi.port, 0);
    EXPECT_STREQ(wifi.ip, "");
    EXPECT_STREQ(wifi.ssid, "patrol-car-7");
    EXPECT_STREQ(wifi.password, "0123456789abcdef");  // cut to 16 characters
    for (uint8_t b : wifi.reserved66)
        EXPECT_EQ(b, 0);
    EXPECT_STREQ(FromBytes<Cmsv6Record>(camera.snapshot().records[kReadCms]).serverIp, "10.1.2.3");
}

TEST_F(CmsPageTest, ADifferingAccountReadBackLeavesTheWifiRecordUnwritten) {
    camsim::CameraModel& camera = Plug(Cms("CAM00042"));
    camera.setHandler(kWriteCms, [](camsim::CameraState& s, const camsim::Command& c) {
        s.records[kReadCms].assign(c.dataOut, c.dataOut + c.length);
        s.records[kReadCms][26] = 0;  // the listen port is not kept
        return camsim::Reply{};
    });
    Open();
    ASSERT_TRUE(Click(page_, kSetting));
    ExpectOneMessage(L"Failed!");
    EXPECT_TRUE(receivedPayloads(camera, kWriteWifi).empty());
    EXPECT_EQ(FromBytes<WifiRecord>(camera.snapshot().records[kReadWifi]).mode, 1);
}

TEST_F(CmsPageTest, AFailedAccountReadBackFailsEvenForAnAllZeroAccount) {
    // Nothing stored and no serial number: the page sends a record of zeros, which is also what
    // the reader leaves when it fails.
    Cmsv6Record zero{};
    camsim::CameraModel& camera = Plug(zero, "");
    Open();
    ASSERT_EQ(page_.GetDlgItemText(kDeviceId), L"");
    ASSERT_EQ(page_.GetDlgItemText(kServerIp), L"");
    camera.setHandler(kWriteCms, [](camsim::CameraState&, const camsim::Command&) {
        return camsim::Reply{camsim::kStatusGood, {}, 600};  // drops off the bus at once
    });
    ASSERT_TRUE(Click(page_, kSetting));
    ExpectOneMessage(L"Failed!");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_TRUE(receivedPayloads(camera, kWriteWifi).empty());
}

TEST_F(CmsPageTest, AStationTheCameraDoesNotKeepFails) {
    camsim::CameraModel& camera = Plug(Cms("CAM00042"));
    camera.setHandler(kWriteWifi, [](camsim::CameraState& s, const camsim::Command& c) {
        s.records[kReadWifi].assign(c.dataOut, c.dataOut + c.length);
        s.records[kReadWifi][25 + 15] = 'Z';  // the 16th password byte differs
        return camsim::Reply{};
    });
    Open();
    ASSERT_TRUE(Type(page_, kPassword, L"0123456789abcdef"));
    ASSERT_TRUE(Click(page_, kSetting));
    ExpectOneMessage(L"Failed!");
}

TEST_F(CmsPageTest, RefreshWithoutCameraDisablesTheServerControlsAndKeepsTheTexts) {
    camsim::CameraModel& camera = Plug(Cms("CAM00042"));
    Open();
    // A failed WiFi read keeps the two WiFi edits.
    camera.setHandler(kReadCms, [](camsim::CameraState& s, const camsim::Command&) {
        return camsim::Reply{camsim::kStatusGood, s.records[kReadCms], 600};
    });
    ASSERT_TRUE(Type(page_, kSsid, L"typed"));
    ASSERT_TRUE(Click(page_, kRefresh));
    EXPECT_EQ(page_.GetDlgItemText(kSsid), L"typed");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));

    drives_->server('E').stop();
    ASSERT_TRUE(Click(page_, kRefresh));
    for (int id : {kServerIp, kServerPort, kListenPort, kRefresh, kSetting})
        EXPECT_FALSE(page_.IsControlEnabled(id)) << id;
    EXPECT_EQ(page_.GetDlgItemText(kDeviceId), L"CAM00042");
    EXPECT_TRUE(page_.IsControlEnabled(kSsid));
    EXPECT_TRUE(backend_->Messages().empty());
}

TEST_F(CmsPageTest, ShowPasswordSwitchesThePasswordStyle) {
    Open();
    ASSERT_TRUE(page_.IsPasswordStyle(kPassword));
    ASSERT_TRUE(Click(page_, kShowPassword));
    EXPECT_FALSE(page_.IsPasswordStyle(kPassword));
    EXPECT_EQ(page_.GetFocusId(), kPassword);
    ASSERT_TRUE(Click(page_, kShowPassword));
    EXPECT_TRUE(page_.IsPasswordStyle(kPassword));
}

}  // namespace
