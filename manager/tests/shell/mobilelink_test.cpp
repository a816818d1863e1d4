// The mobile link page on the headless backend with the real library and an in-process emulated
// camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dalvex.h"
#include "mainwindow.h"
#include "pages/mobilelink.h"
#include "record_bytes.h"
#include "support/emulated_cameras.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

using namespace ids::mobilelink;

using ui::headless::Click;
using ui::headless::Type;

constexpr int kEdits[] = {kLinkId,   kServerAddress, kPort,           kApn,          kUser,
                          kPassword, kDialNumber,    kUploadInterval, kAlarmInterval};
constexpr uint16_t kReadLink = 0xF212, kWriteLink = 0xF213, kReadUpload = 0xF214,
                   kWriteUpload = 0xF215;

MobileLinkRecord Link(uint16_t port = 7000, const char* address = "link.example.org") {
    MobileLinkRecord r{};
    std::strcpy(r.linkId, "BWC0001");
    std::strcpy(r.serverAddress, address);
    r.serverPort = port;
    std::strcpy(r.apn, "cmnet");
    std::strcpy(r.user, "user1");
    std::strcpy(r.password, "secret");
    std::strcpy(r.dialNumber, "*99#");
    return r;
}

GpsUploadRecord Upload(uint16_t upload, uint16_t alarm) {
    return GpsUploadRecord{upload, alarm};
}

class MobileLinkPageTest : public PageTest {
  protected:
    camsim::CameraModel& Plug(const MobileLinkRecord& link, GpsUploadRecord upload = {30, 10}) {
        camsim::CameraState state;
        state.records[kReadLink] = Bytes(link);
        state.records[kReadUpload] = Bytes(upload);
        return drives_->add('E', state);
    }

    // Opening the page runs a Refresh.
    CDlgMobileLink& Open() {
        EXPECT_TRUE(page_.Create());
        return page_;
    }

    CDlgMobileLink page_{nullptr};
};

TEST_F(MobileLinkPageTest, OpeningLimitsTheEditsAndRefreshes) {
    Plug(Link());
    Open();
    const int limits[] = {8, 64, 5, 32, 16, 32, 32, 5, 5};
    for (size_t i = 0; i < std::size(kEdits); ++i) {
        EXPECT_EQ(page_.GetTextLimit(kEdits[i]), limits[i]) << kEdits[i];
        EXPECT_TRUE(page_.IsControlEnabled(kEdits[i])) << kEdits[i];
    }
    EXPECT_EQ(page_.GetDlgItemText(kLinkId), L"BWC0001");
    EXPECT_EQ(page_.GetDlgItemText(kServerAddress), L"link.example.org");
    EXPECT_EQ(page_.GetDlgItemText(kPort), L"7000");
    EXPECT_EQ(page_.GetDlgItemText(kApn), L"cmnet");
    EXPECT_EQ(page_.GetDlgItemText(kUser), L"user1");
    EXPECT_EQ(page_.GetDlgItemText(kPassword), L"secret");
    EXPECT_EQ(page_.GetDlgItemText(kDialNumber), L"*99#");
    EXPECT_EQ(page_.GetDlgItemText(kUploadInterval), L"30");
    EXPECT_EQ(page_.GetDlgItemText(kAlarmInterval), L"10");
}

TEST_F(MobileLinkPageTest, UnsetPortsShowTheDefault) {
    struct Case {
        uint16_t stored;
        const wchar_t* shown;
    };
    camsim::CameraModel& camera = Plug(Link());
    Open();
    for (const Case& c : {Case{0, L"5600"}, Case{0xFFFF, L"5600"}, Case{8080, L"8080"},
                          Case{1, L"1"}, Case{0xFFFE, L"65534"}}) {
        camera.state().records[kReadLink] = Bytes(Link(c.stored));
        ASSERT_TRUE(Click(page_, kRefresh));
        EXPECT_EQ(page_.GetDlgItemText(kPort), c.shown) << c.stored;
    }
}

TEST_F(MobileLinkPageTest, ServerAddressesShorterThanThreeCharactersShowEmpty) {
    camsim::CameraModel& camera = Plug(Link(7000, "ab"));
    Open();
    EXPECT_EQ(page_.GetDlgItemText(kServerAddress), L"");
    camera.state().records[kReadLink] = Bytes(Link(7000, "abc"));
    page_.Refresh();
    EXPECT_EQ(page_.GetDlgItemText(kServerAddress), L"abc");
}

TEST_F(MobileLinkPageTest, IntervalsOfZeroShowOneAndSaveWritesWhatTheEditHolds) {
    camsim::CameraModel& camera = Plug(Link(), Upload(0, 0));
    Open();
    EXPECT_EQ(page_.GetDlgItemText(kUploadInterval), L"1");
    EXPECT_EQ(page_.GetDlgItemText(kAlarmInterval), L"1");
    ASSERT_TRUE(Type(page_, kUploadInterval, L"0"));
    ASSERT_TRUE(Type(page_, kAlarmInterval, L"45"));
    ASSERT_TRUE(Click(page_, kSave));
    ExpectOneMessage(L"OK!", ui::kMbOk);
    const auto written = receivedPayloads(camera, kWriteUpload);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], Bytes(Upload(0, 45)));
}

TEST_F(MobileLinkPageTest, SaveTrimsCutsAndDefaultsTheFields) {
    camsim::CameraModel& camera = Plug(Link());
    Open();
    // Typed with blanks around it; the edit holds 8 characters, blanks included.
    page_.SetDlgItemText(kLinkId, L"  AB12  ");
    ASSERT_TRUE(Type(page_, kPort, L"70000"));
    ASSERT_TRUE(Type(page_, kApn, L"\tinternet "));
    // A refreshed text may be longer than its field: cut to the field, without terminator.
    page_.SetDlgItemText(kUser, L"0123456789abcdefXYZ");
    ASSERT_TRUE(Click(page_, kSave));
    ExpectOneMessage(L"OK!", ui::kMbOk);
    const auto written = receivedPayloads(camera, kWriteLink);
    ASSERT_EQ(written.size(), 1u);
    const MobileLinkRecord sent = FromBytes<MobileLinkRecord>(written[0]);
    EXPECT_EQ(std::string(sent.linkId, 8), std::string("AB12\0\0\0\0", 8));
    EXPECT_EQ(sent.serverPort, 5600);
    EXPECT_STREQ(sent.apn, "internet");
    EXPECT_EQ(std::string(sent.user, 16), "0123456789abcdef");
    EXPECT_EQ(sent.password[0], 's');
    EXPECT_STREQ(sent.serverAddress, "link.example.org");
}

TEST_F(MobileLinkPageTest, AnEightCharacterLinkIdWithoutTerminatorShowsOnlyItself) {
    MobileLinkRecord link = Link();
    std::memcpy(link.linkId, "ABCDEFGH", 8);  // the address follows with no NUL between
    camsim::CameraModel& camera = Plug(link);
    Open();
    EXPECT_EQ(page_.GetDlgItemText(kLinkId), L"ABCDEFGH");
    ASSERT_TRUE(Click(page_, kSave));
    ExpectOneMessage(L"OK!", ui::kMbOk);
    EXPECT_EQ(receivedPayloads(camera, kWriteLink)[0], Bytes(link));
}

TEST_F(MobileLinkPageTest, ADifferingReadBackFailsWithAWarningAndLeavesTheIntervalsUnwritten) {
    camsim::CameraModel& camera = Plug(Link());
    camera.setHandler(kWriteLink, [](camsim::CameraState& s, const camsim::Command& c) {
        s.records[kReadLink].assign(c.dataOut, c.dataOut + c.length);
        s.records[kReadLink][72] ^= 1;  // the port comes back changed
        return camsim::Reply{};
    });
    Open();
    ASSERT_TRUE(Click(page_, kSave));
    ExpectOneMessage(L"Failed!", ui::kMbOk | ui::kMbIconExclamation);
    EXPECT_TRUE(receivedPayloads(camera, kWriteUpload).empty());
}

TEST_F(MobileLinkPageTest, SaveWithoutCameraFailsWithAWarning) {
    Open();
    // Every edit is empty, so the record sent is all zeros; a failed read must not match it.
    ASSERT_TRUE(Click(page_, kSave));
    ExpectOneMessage(L"Failed!", ui::kMbOk | ui::kMbIconExclamation);
}

TEST_F(MobileLinkPageTest, IntervalsBeyondSixteenBitsAreKeptAtTheLargest) {
    camsim::CameraModel& camera = Plug(Link());
    Open();
    ASSERT_TRUE(Type(page_, kUploadInterval, L"70000"));
    ASSERT_TRUE(Type(page_, kAlarmInterval, L"65536"));
    ASSERT_TRUE(Click(page_, kSave));
    EXPECT_EQ(receivedPayloads(camera, kWriteUpload).at(0), Bytes(Upload(0xFFFF, 0xFFFF)));
}

TEST_F(MobileLinkPageTest, EnterSavesAndEscapeRefreshes) {
    camsim::CameraModel& camera = Plug(Link());
    Open();
    ASSERT_TRUE(Type(page_, kApn, L"other"));
    ASSERT_TRUE(ui::headless::PressEscape(page_));
    EXPECT_EQ(page_.GetDlgItemText(kApn), L"cmnet");
    EXPECT_TRUE(page_.IsCreated());
    ASSERT_TRUE(ui::headless::PressEnter(page_));
    EXPECT_EQ(receivedPayloads(camera, kWriteLink).size(), 1u);
    EXPECT_TRUE(page_.IsCreated());
}

TEST_F(MobileLinkPageTest, WithoutCameraTheEditsAreDisabledAndKeepTheirTexts) {
    camsim::CameraModel& camera = Plug(Link());
    Open();
    // A failed interval read keeps the interval texts.
    camera.setHandler(kReadLink, [](camsim::CameraState& s, const camsim::Command&) {
        return camsim::Reply{camsim::kStatusGood, s.records[kReadLink], 600};
    });
    ASSERT_TRUE(Type(page_, kUploadInterval, L"77"));
    ASSERT_TRUE(Click(page_, kRefresh));
    EXPECT_EQ(page_.GetDlgItemText(kUploadInterval), L"77");
    EXPECT_EQ(page_.GetDlgItemText(kApn), L"cmnet");

    drives_->server('E').stop();
    ASSERT_TRUE(Click(page_, kRefresh));
    for (int id : kEdits)
        EXPECT_FALSE(page_.IsControlEnabled(id)) << id;
    EXPECT_EQ(page_.GetDlgItemText(kApn), L"cmnet");
    EXPECT_TRUE(backend_->Messages().empty());
}

TEST(MobileLinkPageInMainWindow, NoTabLeadsToThePage) {
    LangTable().SelectStartupLanguage(L"ENG");
    ui::headless::ScopedBackend backend;
    testsupport::EmulatedDrives drives;
    camsim::CameraState state;
    state.modelCode = 33;
    state.wifiFlag = 1;
    state.noCmsFlag = 0;
    state.loginPassword = "123456";
    state.records[kReadLink] = Bytes(Link());
    drives.add('E', state);
    auto window = std::make_unique<CMainDlg>();
    ASSERT_TRUE(window->Create());
    // Created with a camera present, the page refreshed itself.
    EXPECT_EQ(window->Page<CDlgMobileLink>().GetDlgItemText(kApn), L"cmnet");
    ASSERT_TRUE(ui::headless::FireTimer(*window, CMainDlg::kWatchTimer));
    ASSERT_TRUE(Type(*window, ids::mainwindow::kPasswordBox, L"123456"));
    ASSERT_TRUE(Click(*window, ids::mainwindow::kLoginButton));
    const int tabs = window->GetCount(ids::mainwindow::kTabs);
    EXPECT_EQ(tabs, 6);
    for (int i = 0; i < tabs; ++i)
        EXPECT_NE(window->GetItemText(ids::mainwindow::kTabs, i), L"Mobile Link");
    for (int i = 0; i < tabs; ++i) {
        ASSERT_TRUE(ui::headless::SelectByUser(*window, ids::mainwindow::kTabs, i));
        EXPECT_FALSE(window->Page<CDlgMobileLink>().IsWindowVisible()) << i;
    }
}

}  // namespace
