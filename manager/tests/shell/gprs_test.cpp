// The GPRS page on the headless backend with the real library and an in-process emulated camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dalvex.h"
#include "pages/gprs.h"
#include "support/emulated_cameras.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

using namespace ids::gprs;

using ui::headless::Click;
using ui::headless::Type;

constexpr uint16_t kRead = 0xF20D, kWrite = 0xF20E;

std::vector<uint8_t> Bytes(const GprsRecord& record) {
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return std::vector<uint8_t>(p, p + sizeof record);
}

GprsRecord Record(uint8_t sos) {
    GprsRecord r{};
    r.sosAction = sos;
    std::strcpy(r.emergencyPhone, "+8613800138000");
    std::strcpy(r.apn, "cmnet");
    std::strcpy(r.userName, "officer");
    std::strcpy(r.password, "pw-1234");
    std::strcpy(r.serverIp, "10.20.30.40");
    return r;
}

class GprsPageTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        ASSERT_TRUE(page_.Create());
        page_.EnableControls(true);
    }

    camsim::CameraModel& Plug(const GprsRecord& record) {
        camsim::CameraState state;
        state.records[kRead] = Bytes(record);
        return drives_->add('E', state);
    }

    CDlgGPRSParam page_{nullptr};
};

TEST_F(GprsPageTest, OpeningFillsTheSosListAndLimitsTheEdits) {
    ASSERT_EQ(page_.GetCount(kSosList), 2);
    EXPECT_EQ(page_.GetItemText(kSosList, 0), L"Snapshot");
    EXPECT_EQ(page_.GetItemText(kSosList, 1), L"Call emergent phone");
    EXPECT_EQ(page_.GetTextLimit(kPhone), 15);
    EXPECT_EQ(page_.GetTextLimit(kApn), 31);
    EXPECT_EQ(page_.GetTextLimit(kUserName), 15);
    EXPECT_EQ(page_.GetTextLimit(kPassword), 15);
}

TEST_F(GprsPageTest, RefreshShowsEveryField) {
    Plug(Record(1));
    ASSERT_TRUE(Click(page_, kRefresh));
    EXPECT_EQ(page_.GetDlgItemText(kSosList), L"Call emergent phone");
    EXPECT_EQ(page_.GetDlgItemText(kPhone), L"+8613800138000");
    EXPECT_EQ(page_.GetDlgItemText(kApn), L"cmnet");
    EXPECT_EQ(page_.GetDlgItemText(kUserName), L"officer");
    EXPECT_EQ(page_.GetDlgItemText(kPassword), L"pw-1234");
    EXPECT_EQ(page_.GetDlgItemText(kServerIp), L"10.20.30.40");
}

TEST_F(GprsPageTest, AnUnknownSosActionSelectsNothingAndIsWrittenAs0xFF) {
    camsim::CameraModel& camera = Plug(Record(2));
    page_.Refresh();
    EXPECT_EQ(page_.GetCurSel(kSosList), -1);
    ASSERT_TRUE(Click(page_, kApply));
    ExpectOneMessage(L"OK!");
    const auto written = receivedPayloads(camera, kWrite);
    ASSERT_EQ(written.size(), 1u);
    GprsRecord expected = Record(0xFF);
    EXPECT_EQ(written[0], Bytes(expected));
}

TEST_F(GprsPageTest, RefreshWithoutCameraLeavesEverythingEmpty) {
    Plug(Record(1));
    page_.Refresh();
    ASSERT_EQ(page_.GetDlgItemText(kApn), L"cmnet");
    drives_->server('E').stop();
    page_.Refresh();
    for (int id : {kPhone, kApn, kUserName, kPassword, kServerIp})
        EXPECT_EQ(page_.GetDlgItemText(id), L"") << id;
    EXPECT_EQ(page_.GetCurSel(kSosList), 0);
    EXPECT_TRUE(backend_->Messages().empty());
}

TEST_F(GprsPageTest, ApplyWithEveryEditEmptyWritesEmptyTexts) {
    camsim::CameraModel& camera = Plug(Record(1));
    page_.Refresh();
    for (int id : {kPhone, kApn, kUserName, kPassword, kServerIp})
        ASSERT_TRUE(Type(page_, id, L""));
    ASSERT_TRUE(Click(page_, kApply));
    ExpectOneMessage(L"OK!");
    const auto written = receivedPayloads(camera, kWrite);
    ASSERT_EQ(written.size(), 1u);
    GprsRecord expected{};
    expected.sosAction = 1;
    EXPECT_EQ(written[0], Bytes(expected));  // the blank address control included
}

TEST_F(GprsPageTest, FullFieldsRoundTripWithoutTerminator) {
    GprsRecord full = Record(0);
    std::memcpy(full.emergencyPhone, "0123456789012345", 16);
    std::memcpy(full.userName, "abcdefghijklmnop", 16);
    camsim::CameraModel& camera = Plug(full);
    page_.Refresh();
    EXPECT_EQ(page_.GetDlgItemText(kPhone), L"0123456789012345");
    ASSERT_TRUE(Click(page_, kApply));
    ExpectOneMessage(L"OK!");
    EXPECT_EQ(receivedPayloads(camera, kWrite)[0], Bytes(full));
}

TEST_F(GprsPageTest, ApplyFailsWithoutCameraOrWhenTheCameraKeepsSomethingElse) {
    ASSERT_TRUE(Type(page_, kApn, L"cmnet"));
    ASSERT_TRUE(Click(page_, kApply));
    ExpectOneMessage(L"Failed!");

    backend_->ClearMessages();
    camsim::CameraModel& camera = Plug(Record(0));
    camera.setHandler(kWrite, [](camsim::CameraState& s, const camsim::Command& c) {
        s.records[kRead].assign(c.dataOut, c.dataOut + c.length);
        s.records[kRead][1] = 1;  // a byte the page sends as zero
        return camsim::Reply{};
    });
    page_.Refresh();
    ASSERT_TRUE(Click(page_, kApply));
    ExpectOneMessage(L"Failed!");
}

}  // namespace
