// The WiFi page on the headless backend with the real library and an in-process emulated camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "dalvex.h"
#include "pages/wifi.h"
#include "record_bytes.h"
#include "support/emulated_cameras.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

using namespace ids::wifi;

using ui::headless::Click;
using ui::headless::SelectByUser;
using ui::headless::Type;

constexpr uint16_t kReadWifi = 0xF210, kWriteWifi = 0xF211, kReadAp = 0xF225, kWriteAp = 0xF226;

WifiRecord Wifi(uint8_t mode, uint8_t encryption, const char* ssid = "home-net",
                const char* password = "secret99") {
    WifiRecord r{};
    r.mode = mode;
    std::strcpy(r.ssid, ssid);
    r.encryptionType = encryption;
    std::strcpy(r.password, password);
    std::strcpy(r.ip, "192.168.4.7");
    r.port = 8080;
    for (size_t i = 0; i < sizeof r.reserved66; ++i)
        r.reserved66[i] = uint8_t(0xA0 + i);
    return r;
}

WifiApRecord Ap(const std::string& name, const std::string& password) {
    WifiApRecord r{};
    std::memcpy(r.apSsid, name.data(), std::min(name.size(), sizeof r.apSsid));
    std::memcpy(r.apPassword, password.data(), std::min(password.size(), sizeof r.apPassword));
    return r;
}

class WifiPageTest : public PageTest {
  protected:
    camsim::CameraModel& Plug(const WifiRecord& wifi, const WifiApRecord& ap) {
        camsim::CameraState state;
        state.records[kReadWifi] = Bytes(wifi);
        state.records[kReadAp] = Bytes(ap);
        return drives_->add('E', state);
    }

    CDlgWifi& Open() {
        EXPECT_TRUE(page_.Create());
        page_.EnableControls(true);
        return page_;
    }

    void ExpectMessage(const std::wstring& text) {
        ExpectOneMessage(text, ui::kMbOk, CDlgWifi::kTemplateId);  // OK button, no icon
    }

    CDlgWifi page_{nullptr};
};

struct ListCase {
    uint8_t mode, encryption;
    int modeEntry, encryptionEntry;
};

TEST_F(WifiPageTest, RefreshSelectsKnownModesAndEncryptionsAndEntryZeroOtherwise) {
    const ListCase cases[] = {
        {0, 0, 0, 0}, {1, 1, 1, 1}, {2, 2, 0, 0}, {1, 0, 1, 0}, {0xFF, 0xFF, 0, 0},
    };
    camsim::CameraModel& camera = Plug(Wifi(0, 0), Ap("", ""));
    Open();
    for (const ListCase& c : cases) {
        camera.setHandler(kReadWifi, [&c](camsim::CameraState&, const camsim::Command&) {
            return camsim::Reply{camsim::kStatusGood, Bytes(Wifi(c.mode, c.encryption)), 0};
        });
        ASSERT_TRUE(Click(page_, kRefresh));
        EXPECT_EQ(page_.GetCurSel(kModeList), c.modeEntry) << int(c.mode);
        EXPECT_EQ(page_.GetCurSel(kEncryptionList), c.encryptionEntry) << int(c.encryption);
    }
    EXPECT_EQ(page_.GetDlgItemText(kModeList), L"Station");
    EXPECT_EQ(page_.GetDlgItemText(kEncryptionList), L"WAP");
}

TEST_F(WifiPageTest, RefreshFillsTheHiddenStationControlsAndTheAccessPointEdits) {
    Plug(Wifi(1, 1), Ap("cam-ap", "ap-pass1"));
    Open();
    page_.Refresh();
    EXPECT_EQ(page_.GetDlgItemText(kStationName), L"home-net");
    EXPECT_EQ(page_.GetDlgItemText(kStationPassword), L"secret99");
    EXPECT_EQ(page_.GetDlgItemText(kIp), L"192.168.4.7");
    EXPECT_EQ(page_.GetDlgItemText(kPort), L"8080");
    EXPECT_EQ(page_.GetDlgItemText(kApName), L"cam-ap");
    EXPECT_EQ(page_.GetDlgItemText(kApPassword), L"ap-pass1");
    EXPECT_EQ(page_.GetDlgItemText(kModeList), L"AP");
    EXPECT_EQ(page_.GetDlgItemText(kEncryptionList), L"WAP2");
    // The user still sees only the mode and the access point.
    for (int id : {kStationName, kStationPassword, kIp, kPort, kEncryptionList})
        EXPECT_FALSE(page_.IsControlVisible(id)) << id;
}

TEST_F(WifiPageTest, OpeningPutsTheStationTextsIntoTheStationEdits) {
    Plug(Wifi(0, 0), Ap("cam-ap", "ap-pass1"));
    ASSERT_TRUE(page_.Create());
    EXPECT_EQ(page_.GetDlgItemText(kStationName), L"home-net");
    EXPECT_EQ(page_.GetDlgItemText(kStationPassword), L"secret99");
    EXPECT_EQ(page_.GetDlgItemText(kApName), L"");
    EXPECT_EQ(page_.GetDlgItemText(kApPassword), L"");
    EXPECT_EQ(page_.GetDlgItemText(kIp), L"192.168.4.7");
    EXPECT_EQ(page_.GetDlgItemText(kPort), L"8080");
    EXPECT_EQ(page_.GetTextLimit(kApName), 15);
    EXPECT_EQ(page_.GetTextLimit(kApPassword), 15);
}

TEST_F(WifiPageTest, RefreshWithoutCameraLeavesTheControlsCleared) {
    camsim::CameraModel& camera = Plug(Wifi(1, 1), Ap("cam-ap", "pw"));
    Open();
    page_.Refresh();
    ASSERT_EQ(page_.GetDlgItemText(kApName), L"cam-ap");
    // The camera answers the WiFi read and then drops off the bus, so the access-point read
    // fails: everything stays cleared, the station part included.
    camera.setHandler(kReadWifi, [](camsim::CameraState&, const camsim::Command&) {
        return camsim::Reply{camsim::kStatusGood, Bytes(Wifi(1, 1)), 600};
    });
    page_.Refresh();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    for (int id : {kApName, kApPassword, kStationName, kStationPassword})
        EXPECT_EQ(page_.GetDlgItemText(id), L"") << id;
    EXPECT_EQ(page_.GetCurSel(kModeList), 0);

    drives_->server('E').stop();
    page_.Refresh();
    EXPECT_EQ(page_.GetDlgItemText(kIp), L"0.0.0.0");
    EXPECT_EQ(page_.GetDlgItemText(kPort), L"0");
    EXPECT_EQ(page_.GetCurSel(kEncryptionList), 0);
    EXPECT_TRUE(backend_->Messages().empty());
}

TEST_F(WifiPageTest, FifteenCharacterNamesKeepTheirTerminatorSixteenFillTheField) {
    camsim::CameraModel& camera = Plug(Wifi(0, 0), Ap("ABCDEFGHIJKLMNOP", "0123456789abcdef"));
    Open();
    page_.Refresh();
    ASSERT_EQ(page_.GetDlgItemText(kApName), L"ABCDEFGHIJKLMNOP");
    ASSERT_TRUE(Click(page_, kApply));
    ExpectMessage(L"OK!");
    auto sent = receivedPayloads(camera, kWriteAp);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], Bytes(Ap("ABCDEFGHIJKLMNOP", "0123456789abcdef")));

    backend_->ClearMessages();
    camera.clearReceived();
    ASSERT_TRUE(Type(page_, kApName, L"fifteen-chars-x-and-more"));  // the edit stops at 15
    ASSERT_TRUE(Type(page_, kApPassword, L"pw"));
    ASSERT_TRUE(Click(page_, kApply));
    ExpectMessage(L"OK!");
    sent = receivedPayloads(camera, kWriteAp);
    ASSERT_EQ(sent.size(), 1u);
    const WifiApRecord ap = FromBytes<WifiApRecord>(sent[0]);
    EXPECT_EQ(std::string(ap.apSsid, 16), std::string("fifteen-chars-x\0", 16));
    EXPECT_EQ(std::string(ap.apPassword), "pw");
    for (uint8_t b : ap.reserved32)
        EXPECT_EQ(b, 0);
}

TEST_F(WifiPageTest, ANameOfWideCharactersIsCutAtACharacterBoundary) {
    camsim::CameraModel& camera = Plug(Wifi(0, 0), Ap("", ""));
    Open();
    // Fifteen characters of two bytes each in UTF-8.
    const char* saved = std::getenv("LC_ALL");
    const std::string previous = saved ? saved : "";
    setenv("LC_ALL", "C.UTF-8", 1);
    ASSERT_TRUE(Type(page_, kApName, std::wstring(15, L'\u00e9')));
    ASSERT_TRUE(Click(page_, kApply));
    ExpectMessage(L"OK!");
    const WifiApRecord ap = FromBytes<WifiApRecord>(receivedPayloads(camera, kWriteAp).at(0));
    std::string eight;
    for (int i = 0; i < 8; ++i)
        eight += "\xc3\xa9";
    EXPECT_EQ(std::string(ap.apSsid, 16), eight);
    EXPECT_EQ(ap.apPassword[0], 0);
    if (saved)
        setenv("LC_ALL", previous.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST_F(WifiPageTest, ChangingOnlyTheModeRewritesTheAccessPointRecordAndKeepsTheRest) {
    camsim::CameraModel& camera = Plug(Wifi(0, 1), Ap("cam-ap", "ap-pass1"));
    Open();
    page_.Refresh();
    camera.clearReceived();
    ASSERT_TRUE(SelectByUser(page_, kModeList, 1));
    ASSERT_TRUE(Click(page_, kApply));
    ExpectMessage(L"OK!");

    std::vector<uint16_t> order;
    for (const auto& r : camera.snapshot().received)
        order.push_back(r.subCommand);
    EXPECT_EQ(order, (std::vector<uint16_t>{kWriteAp, kReadAp, kReadWifi, kWriteWifi, kReadWifi}));
    EXPECT_EQ(receivedPayloads(camera, kWriteAp)[0], Bytes(Ap("cam-ap", "ap-pass1")));
    WifiRecord expected = Wifi(0, 1);
    expected.mode = 1;
    EXPECT_EQ(receivedPayloads(camera, kWriteWifi)[0],
              Bytes(expected));  // every other byte as read
}

TEST_F(WifiPageTest, TheModeIsNotWrittenWhenTheAccessPointStepFails) {
    camsim::CameraModel& camera = Plug(Wifi(0, 0), Ap("", ""));
    // The camera keeps only 8 characters of the name.
    camera.setHandler(kWriteAp, [](camsim::CameraState& s, const camsim::Command& c) {
        std::vector<uint8_t> stored(c.dataOut, c.dataOut + c.length);
        std::fill(stored.begin() + 8, stored.begin() + 16, 0);
        s.records[kReadAp] = stored;
        return camsim::Reply{};
    });
    Open();
    ASSERT_TRUE(Type(page_, kApName, L"a-long-ap-name"));
    ASSERT_TRUE(SelectByUser(page_, kModeList, 1));
    ASSERT_TRUE(Click(page_, kApply));
    ExpectMessage(L"Failed!");
    EXPECT_TRUE(receivedPayloads(camera, kWriteWifi).empty());
    EXPECT_EQ(FromBytes<WifiRecord>(camera.snapshot().records[kReadWifi]).mode, 0);
}

TEST_F(WifiPageTest, AModeTheCameraDoesNotKeepFails) {
    camsim::CameraModel& camera = Plug(Wifi(0, 0), Ap("", ""));
    camera.setHandler(kWriteWifi, [](camsim::CameraState&, const camsim::Command&) {
        return camsim::Reply{};  // accepted but not stored
    });
    Open();
    ASSERT_TRUE(SelectByUser(page_, kModeList, 1));
    ASSERT_TRUE(Click(page_, kApply));
    ExpectMessage(L"Failed!");
}

TEST_F(WifiPageTest, AFailedModeReadBackIsAFailureEvenForStationMode) {
    camsim::CameraModel& camera = Plug(Wifi(0, 0), Ap("", ""));
    // The camera takes the record and then drops off the bus: nothing can be read back.
    camera.setHandler(kWriteWifi, [](camsim::CameraState& s, const camsim::Command& c) {
        s.records[kReadWifi].assign(c.dataOut, c.dataOut + c.length);
        return camsim::Reply{camsim::kStatusGood, {}, 600};
    });
    Open();
    ASSERT_TRUE(Click(page_, kApply));
    ExpectMessage(L"Failed!");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
}

TEST_F(WifiPageTest, ApplyWithoutCameraFails) {
    Open();
    ASSERT_TRUE(Type(page_, kApName, L"cam-ap"));
    ASSERT_TRUE(Click(page_, kApply));
    ExpectMessage(L"Failed!");
    // Even an all-empty access point, whose record is all zeros, cannot pass on a failed read.
    backend_->ClearMessages();
    ASSERT_TRUE(Type(page_, kApName, L""));
    ASSERT_TRUE(Click(page_, kApply));
    ExpectMessage(L"Failed!");
}

TEST_F(WifiPageTest, ShowPasswordSwitchesEachEditsPasswordStyle) {
    Open();
    ASSERT_TRUE(page_.IsPasswordStyle(kApPassword));
    ASSERT_TRUE(Click(page_, kApShow));
    EXPECT_FALSE(page_.IsPasswordStyle(kApPassword));
    EXPECT_EQ(page_.GetFocusId(), kApPassword);
    EXPECT_TRUE(page_.IsPasswordStyle(kStationPassword));
    ASSERT_TRUE(Click(page_, kApShow));
    EXPECT_TRUE(page_.IsPasswordStyle(kApPassword));

    // The station box is hidden; its handler still follows its own box and edit.
    page_.SetCheck(kStationShow, true);
    page_.Dispatch(ui::EventKind::kCommand, kStationShow);
    EXPECT_FALSE(page_.IsPasswordStyle(kStationPassword));
    EXPECT_TRUE(page_.IsPasswordStyle(kApPassword));
    EXPECT_EQ(page_.GetFocusId(), kStationPassword);
}

}  // namespace
