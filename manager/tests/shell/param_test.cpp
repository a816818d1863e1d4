// The parameter page with the real library and an in-process camera: the value lists of each
// model code, the selection from the camera's record, Apply with its read-back and Default
// Setting.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "devicestate.h"
#include "pages/param.h"
#include "support/emulated_cameras.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

using namespace ids::param;

using ui::headless::Click;
using ui::headless::SelectByUser;
using Texts = std::vector<std::wstring>;

const Texts kPhotos = {L"2M", L"5M", L"8M", L"12M", L"16M"};
const Texts kLengthsBelow32 = {L"Off",       L"1 Minute",   L"2 Minutes",
                               L"5 Minutes", L"10 Minutes", L"15 Minutes"};
const Texts kLengthsFrom32 = {L"1 Minute", L"3 Minutes", L"5 Minutes", L"10 Minutes",
                              L"15 Minutes"};

camsim::Reply Refused() {
    camsim::Reply reply;
    reply.status = camsim::kStatusCheckCondition;
    return reply;
}

class ParamTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        CurrentDeviceState() = DeviceState{};
        ASSERT_TRUE(page_.Create());
    }

    // A camera of a model code, and the main window's record of a login to it.
    camsim::CameraModel& LogIn(int model, bool withCamera = true) {
        CurrentDeviceState().spec.modelCode = uint8_t(model);
        std::strcpy(CurrentDeviceState().spec.firmwareVersion, "TKV71MRD.150530.WR");
        camsim::CameraState state;
        state.modelCode = uint8_t(model);
        camsim::CameraModel& camera = drives_->add('E', state);
        if (!withCamera)
            drives_->server('E').unplug();
        page_.Refresh();
        page_.EnableControls(true);
        return camera;
    }

    // The camera's stored choices: video, photo, length.
    static void Store(camsim::CameraModel& camera, uint8_t video, uint8_t photo, uint8_t length) {
        std::lock_guard<std::mutex> lock(camera.lock());
        std::vector<uint8_t> record(20, 0);
        record[0] = video;
        record[1] = photo;
        record[2] = length;
        camera.state().records[0xF206] = record;
    }

    Texts Items(int id) {
        Texts items;
        for (int i = 0; i < page_.GetCount(id); ++i)
            items.push_back(page_.GetItemText(id, i));
        return items;
    }
    std::vector<int> Selections() {
        return {page_.GetCurSel(kVideoList), page_.GetCurSel(kPhotoList),
                page_.GetCurSel(kLengthList)};
    }
    Texts Messages() { return MessageTexts(CDlgParam::kTemplateId); }
    // The last DeviceSettingRecord written: video, photo, length.
    static std::vector<int> LastWrite(camsim::CameraModel& camera) {
        std::vector<int> values;
        for (const auto& r : camera.snapshot().received) {
            if (r.subCommand == 0xF207)
                values = {r.payload[0], r.payload[1], r.payload[2]};
        }
        return values;
    }
    static int Count(camsim::CameraModel& camera, uint16_t sub) {
        int n = 0;
        for (const auto& r : camera.snapshot().received)
            n += r.subCommand == sub;
        return n;
    }

    CDlgParam page_{nullptr};
};

TEST_F(ParamTest, BeforeTheFirstLoginTheListsAreEmptyAndTheFreePasswordRowHidden) {
    for (int id : {kVideoList, kPhotoList, kLengthList})
        EXPECT_EQ(page_.GetCount(id), 0);
    EXPECT_TRUE(page_.IsControlVisible(kDefaultSetting));
    EXPECT_FALSE(page_.IsControlVisible(kMore));
    for (int id : {kFreePasswordLabel, kFreePasswordFrame, kFreePasswordYes, kFreePasswordNo})
        EXPECT_FALSE(page_.IsControlVisible(id)) << id;
    EXPECT_EQ(page_.GetDlgItemText(kCapacity), L"0 MB");
    EXPECT_EQ(page_.GetDlgItemText(kVersion), L"");
}

TEST_F(ParamTest, ListsSelectionsAndTextsFollowTheModelCode) {
    struct Case {
        int model;
        Texts video, photo, length;
        bool more;
        bool version;
        std::wstring capacity;
        std::vector<int> selected;  // the camera stores video 1, photo 2, length 2
    };
    const Case cases[] = {
        {16,
         {L"1080P (1920x1080)", L"720P (1280x720)", L"WVGA60 (848x480 60fps)",
          L"WVGA (848x480 30fps)"},
         kPhotos,
         kLengthsBelow32,
         false,
         false,
         L"32768 MB",
         {1, 3, 2}},
        {33,
         {L"2304*1296/30F", L"1920*1080/30F", L"1280*720/30F", L"848*480/30F"},
         kPhotos,
         kLengthsFrom32,
         false,
         true,
         L"32 G",
         {1, 2, 2}},
        {48,
         {L"1920*1080/30F", L"1280*720/30F", L"848*480/30F"},
         kPhotos,
         kLengthsFrom32,
         true,
         true,
         L"32 G",
         {1, 2, 2}},
        {50,
         {L"1920*1080/30F", L"1280*720/30F", L"848*480/30F"},
         kPhotos,
         kLengthsFrom32,
         false,
         true,
         L"32 G",
         {1, 2, 2}},
        {208,
         {L"1920*1080", L"1080*720"},
         {L"2M", L"1M"},
         {L"1 Minute", L"3 Minutes", L"5 Minutes", L"10 Minutes"},
         true,
         true,
         L"32 G",
         {1, 1, 2}},
        {240,
         {L"3840*2160", L"2560*1440/60", L"2560*1440", L"1920*1080/60", L"1920*1080"},
         {L"2M", L"8M", L"16M", L"32M", L"48M"},
         {L"1 Minute", L"2 Minutes", L"3 Minutes", L"5 Minutes", L"10 Minutes"},
         true,
         true,
         L"32 G",
         {1, 2, 2}},
        {99, {}, {}, kLengthsFrom32, false, false, L"32 G", {-1, -1, 2}},
        {5, {}, {}, kLengthsBelow32, false, false, L"32 G", {-1, -1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("model " + std::to_string(c.model));
        ResetDrives();
        page_.SetDlgItemText(kVersion, L"");
        LogIn(c.model);
        EXPECT_EQ(Items(kVideoList), c.video);
        EXPECT_EQ(Items(kPhotoList), c.photo);
        EXPECT_EQ(Items(kLengthList), c.length);
        EXPECT_EQ(Selections(), c.selected);
        EXPECT_EQ(page_.IsControlVisible(kMore), c.more);
        if (c.more) {
            EXPECT_TRUE(page_.IsControlEnabled(kMore));
        }
        EXPECT_TRUE(page_.IsControlVisible(kDefaultSetting));
        EXPECT_TRUE(page_.IsControlEnabled(kDefaultSetting));
        EXPECT_EQ(page_.GetDlgItemText(kVersion), c.version ? L"TKV71MRD.150530.WR" : L"");
        EXPECT_EQ(page_.GetDlgItemText(kCapacity), c.capacity);
        EXPECT_EQ(page_.GetDlgItemText(kFreeSpace), L"30720 MB");
        // The photo size follows the video on the RK40 and is fixed on the RK20.
        EXPECT_EQ(page_.IsControlEnabled(kPhotoList), c.model != 208 && c.model != 48);
    }
}

// The RK20's model code is known only after the login, and Refresh runs after the login.
TEST_F(ParamTest, RefreshOffersMoreToTheRk20) {
    ASSERT_FALSE(page_.IsControlVisible(kMore));  // created before any login
    LogIn(48);
    EXPECT_TRUE(page_.IsControlVisible(kMore));
    EXPECT_TRUE(page_.IsControlEnabled(kMore));
    EXPECT_EQ(page_.GetDlgItemText(kVideoLabel), L"Resolution;");
    EXPECT_EQ(page_.GetDlgItemText(kPhotoLabel), L"Photo size:");
    EXPECT_EQ(page_.GetDlgItemText(kLengthLabel), L"Recode file size:");
    EXPECT_FALSE(page_.IsControlEnabled(kPhotoLabel));
}

TEST_F(ParamTest, IndexesBeyondTheListsSelectTheLastEntryExceptOnRk40AndRk50) {
    struct Case {
        int model;
        uint8_t video, photo, length;
        std::vector<int> selected;
    };
    const Case cases[] = {
        {33, 9, 9, 9, {3, 4, 4}},  {50, 3, 5, 200, {2, 4, 4}},  {16, 4, 4, 6, {3, 0, 5}},
        {16, 0, 0, 0, {0, 1, 0}},  {17, 0, 9, 0, {0, 0, 0}},    {208, 9, 0, 9, {1, 1, -1}},
        {208, 0, 1, 3, {0, 0, 3}}, {240, 5, 4, 5, {-1, 4, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("model " + std::to_string(c.model) + " record " + std::to_string(c.video) +
                     "/" + std::to_string(c.photo) + "/" + std::to_string(c.length));
        ResetDrives();
        CurrentDeviceState().spec.modelCode = uint8_t(c.model);
        camsim::CameraState state;
        state.modelCode = uint8_t(c.model);
        Store(drives_->add('E', state), c.video, c.photo, c.length);
        page_.Refresh();
        EXPECT_EQ(Selections(), c.selected);
    }
}

TEST_F(ParamTest, ShiftedPhotoOfTheEarlyModels) {
    auto& camera = LogIn(16);
    Store(camera, 0, 4, 1);
    page_.Refresh();
    EXPECT_EQ(page_.GetItemText(kPhotoList, page_.GetCurSel(kPhotoList)), L"2M");
    ASSERT_TRUE(Click(page_, kApply));
    EXPECT_EQ(LastWrite(camera), (std::vector<int>{0, 4, 1}));
    EXPECT_EQ(Messages(), Texts{L"OK!"});

    Store(camera, 0, 0, 1);
    page_.Refresh();
    EXPECT_EQ(page_.GetItemText(kPhotoList, page_.GetCurSel(kPhotoList)), L"5M");
    ASSERT_TRUE(SelectByUser(page_, kPhotoList, 4));  // "16M"
    ASSERT_TRUE(Click(page_, kApply));
    EXPECT_EQ(LastWrite(camera), (std::vector<int>{0, 3, 1}));
}

TEST_F(ParamTest, ApplyWritesThePositionsAndJudgesByTheReadBack) {
    auto& camera = LogIn(33);
    ASSERT_TRUE(SelectByUser(page_, kVideoList, 3));
    ASSERT_TRUE(SelectByUser(page_, kPhotoList, 0));
    ASSERT_TRUE(SelectByUser(page_, kLengthList, 4));
    ASSERT_TRUE(Click(page_, kApply));
    EXPECT_EQ(LastWrite(camera), (std::vector<int>{3, 0, 4}));

    // A camera that stores another photo size than it was sent.
    camera.setHandler(0xF207, [](camsim::CameraState& s, const camsim::Command& c) {
        std::vector<uint8_t> record(20, 0);
        std::memcpy(record.data(), c.dataOut, 3);
        record[1] = 1;
        s.records[0xF206] = record;
        return camsim::Reply{};
    });
    ASSERT_TRUE(Click(page_, kApply));
    EXPECT_EQ(Messages(), (Texts{L"OK!", L"Failed!"}));
    EXPECT_EQ(backend_->Messages().back().style, ui::kMbOk);
}

TEST_F(ParamTest, Rk40PhotoFollowsTheVideoAndIsNotCompared) {
    auto& camera = LogIn(208);
    ASSERT_TRUE(SelectByUser(page_, kVideoList, 1));
    EXPECT_EQ(page_.GetCurSel(kPhotoList), 1);
    ASSERT_TRUE(SelectByUser(page_, kVideoList, 0));
    EXPECT_EQ(page_.GetCurSel(kPhotoList), 0);
    ASSERT_TRUE(SelectByUser(page_, kVideoList, 1));
    camera.setHandler(0xF207, [](camsim::CameraState& s, const camsim::Command& c) {
        std::vector<uint8_t> record(20, 0);
        std::memcpy(record.data(), c.dataOut, 3);
        record[1] = 7;
        s.records[0xF206] = record;
        return camsim::Reply{};
    });
    ASSERT_TRUE(Click(page_, kApply));
    EXPECT_EQ(LastWrite(camera), (std::vector<int>{1, 1, 2}));
    EXPECT_EQ(Messages(), Texts{L"OK!"});
}

TEST_F(ParamTest, ACardCapacityOfZeroSelectsNothingAndApplySends255) {
    camsim::CameraState state;
    state.modelCode = 33;
    state.cardCapacityMiB = 0;
    auto& camera = drives_->add('E', state);
    CurrentDeviceState().spec.modelCode = 33;
    page_.SetDlgItemText(kFreeSpace, L"previous");
    page_.Refresh();
    page_.EnableControls(true);
    EXPECT_EQ(Selections(), (std::vector<int>{-1, -1, -1}));
    EXPECT_EQ(page_.GetCount(kVideoList), 4);
    EXPECT_EQ(page_.GetDlgItemText(kCapacity), L"0MB");
    EXPECT_EQ(page_.GetDlgItemText(kFreeSpace), L"previous");

    ASSERT_TRUE(Click(page_, kApply));
    EXPECT_EQ(LastWrite(camera), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(Messages(), Texts{L"Failed!"});

    // On an early model an empty photo list sends "2M", which is 4.
    CurrentDeviceState().spec.modelCode = 16;
    page_.Refresh();
    ASSERT_TRUE(Click(page_, kApply));
    EXPECT_EQ(LastWrite(camera)[1], 4);
}

TEST_F(ParamTest, RefreshWithoutACameraFillsTheListsWithoutSelection) {
    LogIn(33, false);
    EXPECT_EQ(page_.GetCount(kVideoList), 4);
    EXPECT_EQ(page_.GetCount(kLengthList), 5);
    EXPECT_EQ(Selections(), (std::vector<int>{-1, -1, -1}));
    EXPECT_EQ(page_.GetDlgItemText(kCapacity), L"0MB");
    EXPECT_EQ(page_.GetDlgItemText(kFreeSpace), L"");
    EXPECT_TRUE(backend_->Messages().empty());
    // Losing the camera disables all but Default Setting; the lists keep their entries.
    page_.EnableControls(false);
    for (int id : {kVideoList, kPhotoList, kLengthList, kRefresh, kApply, kMore})
        EXPECT_FALSE(page_.IsControlEnabled(id)) << id;
    EXPECT_TRUE(page_.IsControlEnabled(kDefaultSetting));
    EXPECT_EQ(page_.GetCount(kVideoList), 4);
}

TEST_F(ParamTest, RefreshButtonReloadsTheRecord) {
    auto& camera = LogIn(33);
    Store(camera, 2, 3, 0);
    ASSERT_TRUE(Click(page_, kRefresh));
    EXPECT_EQ(Selections(), (std::vector<int>{2, 3, 0}));
}

TEST_F(ParamTest, DefaultSettingAsksAndRebootsOnlyAfterSuccess) {
    struct Case {
        int model;
        int answer;
        bool refused;
        bool reboot;
        Texts messages;
    };
    const std::wstring ask = L"Confirm recovery default settings?";
    const Case cases[] = {
        {33, ui::kIdCancel, false, false, {ask}},
        {33, ui::kIdOk, false, true, {ask, L"Modify success!"}},
        {33, ui::kIdOk, true, false, {ask, L"Failed to modify!"}},
        {240, ui::kIdOk, false, false, {ask, L"Modify success!"}},
        {240, ui::kIdOk, true, false, {ask, L"Modify success!"}},
        {240, ui::kIdCancel, false, false, {ask}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("model " + std::to_string(c.model) + " answer " + std::to_string(c.answer) +
                     (c.refused ? " refused" : ""));
        ResetDrives();
        backend_->ClearMessages();
        auto& camera = LogIn(c.model);
        if (c.refused) {
            camera.setHandler(
                0xF005, [](camsim::CameraState&, const camsim::Command&) { return Refused(); });
        }
        camera.clearReceived();
        backend_->QueueAnswer(c.answer);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(Click(page_, kDefaultSetting));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_EQ(backend_->Messages()[0].style, unsigned(ui::kMbOkCancel));
        EXPECT_EQ(Count(camera, 0xF005), c.answer == ui::kIdOk ? 1 : 0);
        EXPECT_EQ(Count(camera, 0xF001), c.reboot ? 1 : 0);
        if (c.reboot) {
            EXPECT_GE(elapsed, std::chrono::milliseconds(CDlgParam::kRebootDelayMs));
        }
    }
    // Without a camera only the RK50 reports success.
    ResetDrives();
    CurrentDeviceState().spec.modelCode = 33;
    backend_->ClearMessages();
    ASSERT_TRUE(Click(page_, kDefaultSetting));
    EXPECT_EQ(Messages(), (Texts{ask, L"Failed to modify!"}));
}

}  // namespace

namespace {

TEST_F(ParamTest, MoreOpensTheDialogOfTheModel) {
    const std::pair<int, int> cases[] = {{48, 138}, {208, 146}, {240, 147}};
    for (const auto& [model, dialog] : cases) {
        SCOPED_TRACE("model " + std::to_string(model));
        ResetDrives();
        LogIn(model);
        std::vector<int> opened;
        backend_->onModal = [&opened](ui::Dialog& shown) {
            opened.push_back(shown.TemplateId());
            return ui::kIdCancel;
        };
        ASSERT_TRUE(Click(page_, kMore));
        EXPECT_EQ(opened, std::vector<int>{dialog});
        backend_->onModal = nullptr;
    }
    ResetDrives();
    LogIn(16);
    EXPECT_FALSE(Click(page_, kMore));  // hidden
}

}  // namespace
