// The device control page with the real library and an in-process camera: clock, mass storage,
// format with its poll on timer 3, log deletion and the picked date and time.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dalvex.h"
#include "devicestate.h"
#include "pages/devctrl.h"
#include "support/emulated_cameras.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

using namespace ids::devctrl;

using ui::headless::Click;
using ui::headless::FireTimer;
using ui::headless::IsTimerArmed;
using ui::headless::TimerPeriod;

constexpr int kTimer = CDlgDevCtrl::kFormatTimer;
const std::wstring kYearMessage = L"年份必须在2014-2020之间!";

camsim::Reply Refused() {
    camsim::Reply reply;
    reply.status = camsim::kStatusCheckCondition;
    return reply;
}

uint32_t U32(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

class DevCtrlTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        CurrentDeviceState() = DeviceState{};
        ASSERT_TRUE(page_.Create());
        page_.EnableControls(true);
    }

    camsim::CameraModel& AddCamera() {
        camsim::CameraState state;
        state.loginPassword = "123456";
        camsim::CameraModel& camera = drives_->add('E', state);
        // What the main window's device watch does every second: it makes the camera the
        // library's current drive, which the commands without their own check rely on.
        TKUSB_IsDevice();
        return camera;
    }

    // The texts of the message boxes so far; each must be captioned "Orvane" and owned by the page.
    std::vector<std::wstring> Texts() { return MessageTexts(CDlgDevCtrl::kTemplateId); }
    unsigned LastStyle() { return backend_->Messages().back().style; }

    // Commands with one sub-command the camera received.
    static std::vector<camsim::CameraState::Received> Sent(camsim::CameraModel& camera,
                                                           uint16_t sub) {
        std::vector<camsim::CameraState::Received> found;
        for (const auto& r : camera.snapshot().received) {
            if (r.subCommand == sub)
                found.push_back(r);
        }
        return found;
    }

    void StartFormat() {
        backend_->QueueAnswer(ui::kIdYes);
        ASSERT_TRUE(Click(page_, kFormat));
        ASSERT_TRUE(IsTimerArmed(page_, kTimer));
        backend_->ClearMessages();
    }

    CDlgDevCtrl page_{nullptr};
};

TEST_F(DevCtrlTest, InitialisationLabelsThePageAndShowsDeleteLog) {
    EXPECT_EQ(page_.GetDlgItemText(kClockFromPc), L"Manually set time and date");
    EXPECT_EQ(page_.GetDlgItemText(kSetTime), L"Setting time");
    EXPECT_TRUE(page_.IsControlVisible(kDeleteLog));
    EXPECT_TRUE(page_.IsControlVisible(kDeleteLogFrame));
    EXPECT_FALSE(page_.IsControlVisible(kFormattingNote));
    page_.EnableControls(false);
    for (int id :
         {kClockFromPc, kStartUDisk, kFormat, kSetTime, kDeleteLog, kDatePicker, kTimePicker})
        EXPECT_FALSE(page_.IsControlEnabled(id)) << id;
}

TEST_F(DevCtrlTest, ClockFromPcNeedsACamera) {
    ASSERT_TRUE(Click(page_, kClockFromPc));
    auto& camera = AddCamera();
    ASSERT_TRUE(Click(page_, kClockFromPc));
    EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Failed!", L"OK!"}));
    EXPECT_EQ(LastStyle(), ui::kMbOk);
    EXPECT_EQ(Sent(camera, 0xF201).size(), 1u);
    EXPECT_TRUE(camera.snapshot().clockSet);
}

TEST_F(DevCtrlTest, StartUDiskSendsTheLoginPasswordAndTheCameraThenShowsItsStorage) {
    ASSERT_TRUE(Click(page_, kStartUDisk));  // no camera
    auto& camera = AddCamera();
    page_.SetPassword(L"654321");  // wrong
    ASSERT_TRUE(Click(page_, kStartUDisk));
    EXPECT_FALSE(camera.snapshot().massStorage);
    page_.SetPassword(L"123456");
    ASSERT_TRUE(Click(page_, kStartUDisk));
    EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Failed!", L"Failed!", L"OK!"}));

    const auto sent = Sent(camera, 0xF203);
    ASSERT_EQ(sent.size(), 2u);
    const auto& record = sent.back().payload;
    ASSERT_EQ(record.size(), 48u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + 8), 8),
              std::string("123456\0\0", 8));
    EXPECT_EQ(record[24], 1);  // switch to mass storage
    EXPECT_EQ(record[25], 0);  // with the value 0
    EXPECT_TRUE(camera.snapshot().massStorage);
    EXPECT_EQ(camera.totalSizeBytes(), 32768ull * 1024 * 1024);
}

TEST_F(DevCtrlTest, FormatAnsweredNoSendsNothing) {
    auto& camera = AddCamera();
    backend_->QueueAnswer(ui::kIdNo);
    ASSERT_TRUE(Click(page_, kFormat));
    EXPECT_EQ(Texts(), std::vector<std::wstring>{
                           L"This operation will erase all data on device, do you want continue?"});
    EXPECT_EQ(LastStyle(), unsigned(ui::kMbYesNo));
    EXPECT_TRUE(Sent(camera, 0xF20A).empty());
    EXPECT_FALSE(IsTimerArmed(page_, kTimer));
}

TEST_F(DevCtrlTest, FormatWithoutACameraShowsNothingMore) {
    backend_->QueueAnswer(ui::kIdYes);
    ASSERT_TRUE(Click(page_, kFormat));
    EXPECT_EQ(Texts().size(), 1u);
    EXPECT_FALSE(IsTimerArmed(page_, kTimer));
    EXPECT_TRUE(page_.IsControlEnabled(kFormat));
}

// The library answers 0 for a format the camera refused; that must not start a poll.
TEST_F(DevCtrlTest, ARefusedFormatStartReportsFailureAndStartsNoPoll) {
    auto& camera = AddCamera();
    camera.setHandler(0xF20A,
                      [](camsim::CameraState&, const camsim::Command&) { return Refused(); });
    backend_->QueueAnswer(ui::kIdYes);
    ASSERT_TRUE(Click(page_, kFormat));
    EXPECT_EQ(Texts().back(), L"Format failed!");
    EXPECT_EQ(LastStyle(), ui::kMbOk);
    EXPECT_FALSE(IsTimerArmed(page_, kTimer));
    EXPECT_TRUE(page_.IsControlEnabled(kFormat));
    EXPECT_FALSE(page_.IsControlVisible(kFormattingNote));
}

TEST_F(DevCtrlTest, AFormatThatNeverEndsKeepsPollingOncePerArming) {
    camsim::CameraState state;
    state.formatPolls = 1000000;
    auto& camera = drives_->add('E', state);
    StartFormat();
    EXPECT_FALSE(page_.IsControlEnabled(kFormat));
    EXPECT_TRUE(page_.IsControlVisible(kFormattingNote));
    EXPECT_EQ(page_.GetDlgItemText(kFormattingNote), L"Formatting...");
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(FireTimer(page_, kTimer)) << i;
        EXPECT_EQ(TimerPeriod(page_, kTimer), 1000);
    }
    EXPECT_TRUE(Texts().empty());
    EXPECT_TRUE(page_.IsControlVisible(kFormattingNote));
    EXPECT_EQ(Sent(camera, 0xF20B).size(), 5u);
}

TEST_F(DevCtrlTest, AFormatThatEndsReportsSuccessAndStopsPolling) {
    camsim::CameraState state;
    state.formatPolls = 2;
    auto& camera = drives_->add('E', state);
    StartFormat();
    ASSERT_TRUE(FireTimer(page_, kTimer));
    ASSERT_TRUE(FireTimer(page_, kTimer));
    EXPECT_TRUE(Texts().empty());
    ASSERT_TRUE(FireTimer(page_, kTimer));
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"Format sucessfull!"});
    EXPECT_FALSE(IsTimerArmed(page_, kTimer));
    EXPECT_TRUE(page_.IsControlEnabled(kFormat));
    EXPECT_FALSE(page_.IsControlVisible(kFormattingNote));
    EXPECT_EQ(camera.snapshot().formats, 1);
}

TEST_F(DevCtrlTest, PullingTheCameraDuringThePollLeavesFormatDisabled) {
    camsim::CameraState state;
    state.formatPolls = 1000;
    drives_->add('E', state);
    StartFormat();
    ASSERT_TRUE(FireTimer(page_, kTimer));
    drives_->server('E').unplug();
    ASSERT_TRUE(FireTimer(page_, kTimer));
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"Device disconnected!"});
    EXPECT_FALSE(IsTimerArmed(page_, kTimer));
    EXPECT_FALSE(page_.IsControlEnabled(kFormat));
    EXPECT_FALSE(page_.IsControlVisible(kFormattingNote));
    // The next login enables the page again.
    page_.EnableControls(true);
    EXPECT_TRUE(page_.IsControlEnabled(kFormat));
}

TEST_F(DevCtrlTest, DeleteLogReportsTheCameraAnswer) {
    ASSERT_TRUE(Click(page_, kDeleteLog));
    auto& camera = AddCamera();
    ASSERT_TRUE(Click(page_, kDeleteLog));
    EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Delete log faile!", L"Delete log success!"}));
    EXPECT_EQ(camera.snapshot().logDeletions, 1);
}

TEST_F(DevCtrlTest, SettingTimeAcceptsOnlyValidDatesFrom2014To2020) {
    struct Case {
        ui::DateTime date;
        bool sent;
    };
    const Case cases[] = {
        {{2013, 12, 31}, false}, {{2014, 1, 1}, true},   {{2020, 12, 31}, true},
        {{2021, 1, 1}, false},   {{2017, 2, 29}, false}, {{2016, 2, 29}, true},
        {{2015, 13, 1}, false},  {{2015, 4, 31}, false},
    };
    auto& camera = AddCamera();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.date.year) + "-" + std::to_string(c.date.month) + "-" +
                     std::to_string(c.date.day));
        camera.clearReceived();
        backend_->ClearMessages();
        page_.SetDateTime(kDatePicker, c.date);
        page_.SetDateTime(kTimePicker, ui::DateTime{2000, 1, 1, 23, 58, 7});
        ASSERT_TRUE(Click(page_, kSetTime));
        EXPECT_TRUE(page_.IsControlEnabled(kSetTime));
        const auto sent = Sent(camera, 0xF201);
        if (!c.sent) {
            EXPECT_EQ(Texts(), std::vector<std::wstring>{kYearMessage});
            EXPECT_EQ(LastStyle(), ui::kMbOk);
            EXPECT_TRUE(sent.empty());
            continue;
        }
        EXPECT_EQ(Texts(), std::vector<std::wstring>{L"OK!"});
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(U32(sent[0].payload, 0),
                  uint32_t(c.date.year * 10000 + c.date.month * 100 + c.date.day));
        EXPECT_EQ(U32(sent[0].payload, 4), 235807u);
    }
}

TEST_F(DevCtrlTest, SettingTimeRepeatsAFailedWriteOnceAndReportsTheRepeat) {
    auto& camera = AddCamera();
    int refusalsLeft = 0;
    camera.setHandler(0xF201, [&refusalsLeft](camsim::CameraState&, const camsim::Command&) {
        if (refusalsLeft > 0) {
            --refusalsLeft;
            return Refused();
        }
        return camsim::Reply{};
    });
    page_.SetDateTime(kDatePicker, ui::DateTime{2018, 6, 15});

    refusalsLeft = 1;
    ASSERT_TRUE(Click(page_, kSetTime));
    EXPECT_EQ(Sent(camera, 0xF201).size(), 2u);
    EXPECT_EQ(Texts().back(), L"OK!");

    // Both writes refused: a failure, not "OK!".
    camera.clearReceived();
    refusalsLeft = 5;
    ASSERT_TRUE(Click(page_, kSetTime));
    EXPECT_EQ(Sent(camera, 0xF201).size(), 2u);
    EXPECT_EQ(Texts().back(), L"Failed!");
    EXPECT_TRUE(page_.IsControlEnabled(kSetTime));
}

}  // namespace
