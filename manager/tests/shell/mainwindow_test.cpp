// The main window on the headless backend, with the real library talking to in-process emulated
// cameras: device watch, login, the tab row and the page switch.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "devicestate.h"
#include "mainwindow.h"
#include "pages/cmsv6.h"
#include "pages/devctrl.h"
#include "pages/devinfo.h"
#include "pages/gprs.h"
#include "pages/mobilelink.h"
#include "pages/param.h"
#include "pages/wifi.h"
#include "support/emulated_cameras.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

using namespace ids::mainwindow;

using ui::headless::Click;
using ui::headless::FireTimer;
using ui::headless::TimerPeriod;
using ui::headless::Type;

const std::wstring kUserInfo = L"User info", kParameters = L"Parameters",
                   kDeviceControl = L"Device control", kGprs = L"GPRS Setting",
                   kWifi = L"WiFi Setting", kCms = L"CMS Setting";

camsim::CameraState Camera(uint8_t model, uint8_t wifi, uint8_t noCms,
                           std::string serial = "SN12345678") {
    camsim::CameraState state;
    state.modelCode = model;
    state.wifiFlag = wifi;
    state.noCmsFlag = noCms;
    state.serial = std::move(serial);
    state.loginPassword = "123456";
    return state;
}

class MainWindowTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        window_ = std::make_unique<CMainDlg>();
        ASSERT_TRUE(window_->Create());
    }
    void TearDown() override { window_.reset(); }

    CMainDlg& W() { return *window_; }
    void Tick() { ASSERT_TRUE(FireTimer(W(), CMainDlg::kWatchTimer)); }

    std::vector<std::wstring> Tabs() {
        std::vector<std::wstring> titles;
        for (int i = 0; i < W().GetCount(kTabs); ++i)
            titles.push_back(W().GetItemText(kTabs, i));
        return titles;
    }

    // The page windows that are visible, by template id.
    std::vector<int> VisiblePages() {
        std::vector<int> ids;
        ui::Dialog* pages[] = {&W().Page<CDlgDeviceInfo>(),  &W().Page<CDlgParam>(),
                               &W().Page<CDlgDevCtrl>(),     &W().Page<CDlgGPRSParam>(),
                               &W().Page<CDlgWifi>(),        &W().Page<CDlgMobileLink>(),
                               &W().Page<CDlgCMsv6Setting>()};
        for (ui::Dialog* page : pages) {
            if (page->IsWindowVisible())
                ids.push_back(page->TemplateId());
        }
        return ids;
    }

    void LogIn(const std::wstring& password = L"123456") {
        Tick();
        ASSERT_TRUE(Type(W(), kPasswordBox, password));
        ASSERT_TRUE(Click(W(), kLoginButton));
    }

    std::unique_ptr<CMainDlg> window_;
};

TEST_F(MainWindowTest, InitialStateFollowsTheTemplateAndTheLanguageTable) {
    EXPECT_EQ(W().GetWindowText(), L"Orvane V2.0.1.5");
    EXPECT_EQ(Tabs(), (std::vector<std::wstring>{kUserInfo, kParameters, kDeviceControl}));
    EXPECT_EQ(W().GetCurSel(kTabs), 0);
    EXPECT_EQ(VisiblePages(), std::vector<int>{106});
    EXPECT_FALSE(W().IsControlEnabled(kPasswordBox));
    EXPECT_FALSE(W().IsControlEnabled(kLoginButton));
    EXPECT_FALSE(W().IsControlEnabled(kModifyButton));
    EXPECT_EQ(W().GetFocusId(), kPasswordBox);
    EXPECT_EQ(W().GetTextLimit(kPasswordBox), 6);
    EXPECT_EQ(TimerPeriod(W(), CMainDlg::kWatchTimer), 1000);
    EXPECT_EQ(ui::headless::IconOf(W()), 128);
    // Hidden controls exist but are never shown; the status line has no key and is emptied.
    for (int id : {kBanner, kUnusedStatic, kLanguageLabel, kLanguageList, kSkinLabel, kSkinList}) {
        EXPECT_TRUE(W().HasControl(id)) << id;
        EXPECT_FALSE(W().IsControlVisible(id)) << id;
    }
    EXPECT_EQ(W().GetDlgItemText(kStatusLine), L"");
    EXPECT_EQ(W().GetCount(kLanguageList), 3);
    EXPECT_EQ(W().GetItemText(kLanguageList, 1), L"简体中文");
    EXPECT_EQ(W().GetCurSel(kLanguageList), 0);
    EXPECT_EQ(W().GetCount(kSkinList), 5);
    EXPECT_EQ(W().GetItemText(kSkinList, 0), L"Blue");
    EXPECT_EQ(W().GetCurSel(kSkinList), 4);
    // The layout step puts the camera frame at the top edge.
    EXPECT_EQ(W().GetControlRect(kCameraFrame).y, 0);
    // GPRS and WiFi pages start disabled.
    EXPECT_FALSE(W().Page<CDlgGPRSParam>().IsControlEnabled(ids::gprs::kSosList));
    EXPECT_FALSE(W().Page<CDlgWifi>().IsControlEnabled(ids::wifi::kModeList));
    EXPECT_FALSE(W().Page<CDlgWifi>().IsControlEnabled(ids::wifi::kApply));
}

TEST_F(MainWindowTest, FirstTickWithACameraShowsItsSerialAndOffersTheLogin) {
    drives_->add('E', Camera(33, 1, 0));
    Tick();
    EXPECT_EQ(W().GetDlgItemText(kSerial), L"SN12345678");
    EXPECT_TRUE(W().IsControlEnabled(kPasswordBox));
    EXPECT_TRUE(W().IsControlEnabled(kLoginButton));
    EXPECT_TRUE(W().IsControlEnabled(kModifyButton));
    EXPECT_EQ(W().GetFocusId(), kPasswordBox);
    EXPECT_EQ(TimerPeriod(W(), CMainDlg::kWatchTimer), 1000);
}

TEST_F(MainWindowTest, ACameraWithAnEmptySerialKeepsThePreviousText) {
    drives_->add('E', Camera(33, 1, 0, ""));
    Tick();
    EXPECT_EQ(W().GetDlgItemText(kSerial), L"No device");
    EXPECT_TRUE(W().IsControlEnabled(kPasswordBox));
}

TEST_F(MainWindowTest, TwoMissedTicksChangeNothingTheThirdDropsTheCamera) {
    auto& camera = drives_->add('E', Camera(33, 1, 0));
    (void)camera;
    LogIn();
    ASSERT_EQ(Tabs().size(), 6u);
    ui::headless::SelectByUser(W(), kTabs, 4);
    ASSERT_EQ(VisiblePages(), std::vector<int>{136});

    drives_->server('E').unplug();
    Tick();
    Tick();
    EXPECT_EQ(Tabs().size(), 6u);
    EXPECT_EQ(W().GetDlgItemText(kSerial), L"SN12345678");
    EXPECT_TRUE(W().Page<CDlgDeviceInfo>().IsControlEnabled(ids::devinfo::kDepartmentName));
    EXPECT_TRUE(W().IsControlEnabled(kModifyButton));
    EXPECT_EQ(VisiblePages(), std::vector<int>{136});

    Tick();
    EXPECT_EQ(Tabs(), (std::vector<std::wstring>{kUserInfo, kParameters, kDeviceControl}));
    EXPECT_EQ(W().GetDlgItemText(kSerial), L"---");
    EXPECT_FALSE(W().IsControlEnabled(kPasswordBox));
    EXPECT_FALSE(W().IsControlEnabled(kLoginButton));
    EXPECT_FALSE(W().IsControlEnabled(kModifyButton));
    EXPECT_FALSE(W().Page<CDlgDeviceInfo>().IsControlEnabled(ids::devinfo::kDepartmentName));
    EXPECT_FALSE(W().Page<CDlgParam>().IsControlEnabled(ids::param::kVideoList));
    EXPECT_FALSE(W().Page<CDlgDevCtrl>().IsControlEnabled(ids::devctrl::kFormat));
    EXPECT_FALSE(W().Page<CDlgWifi>().IsControlEnabled(ids::wifi::kModeList));
    EXPECT_FALSE(W().Page<CDlgCMsv6Setting>().IsControlEnabled(ids::cmsv6::kServerIp));
    EXPECT_FALSE(W().Page<CDlgMobileLink>().IsControlEnabled(ids::mobilelink::kLinkId));
    EXPECT_EQ(W().GetCurSel(kTabs), 0);
    EXPECT_EQ(VisiblePages(), std::vector<int>{106});
    EXPECT_EQ(TimerPeriod(W(), CMainDlg::kWatchTimer), 1000);

    // Later ticks without a camera keep the state and no longer switch pages.
    ui::headless::SelectByUser(W(), kTabs, 2);
    Tick();
    EXPECT_EQ(VisiblePages(), std::vector<int>{108});
    EXPECT_EQ(W().GetDlgItemText(kSerial), L"---");

    // The camera comes back: login offered again.
    drives_->server('E').plug();
    Tick();
    EXPECT_TRUE(W().IsControlEnabled(kPasswordBox));
    EXPECT_TRUE(W().IsControlEnabled(kLoginButton));
    EXPECT_EQ(W().GetDlgItemText(kSerial), L"SN12345678");
}

TEST_F(MainWindowTest, AMissBetweenSightingsIsForgotten) {
    drives_->add('E', Camera(33, 1, 0));
    Tick();
    drives_->server('E').unplug();
    Tick();
    Tick();
    drives_->server('E').plug();
    Tick();
    drives_->server('E').unplug();
    Tick();
    Tick();
    EXPECT_EQ(W().GetDlgItemText(kSerial), L"SN12345678");
    EXPECT_TRUE(W().IsControlEnabled(kPasswordBox));
    Tick();
    EXPECT_EQ(W().GetDlgItemText(kSerial), L"---");
}

TEST_F(MainWindowTest, EmptyAndWrongPasswordsAreRefusedAndCanBeRetried) {
    auto& camera = drives_->add('E', Camera(33, 1, 0));
    Tick();
    ASSERT_TRUE(Click(W(), kLoginButton));
    ASSERT_EQ(backend_->Messages().size(), 1u);
    EXPECT_EQ(backend_->Messages()[0].text, L"Please input password!");
    EXPECT_EQ(backend_->Messages()[0].caption, L"Orvane");
    EXPECT_EQ(backend_->Messages()[0].style, unsigned(ui::kMbOk));
    EXPECT_EQ(backend_->Messages()[0].ownerTemplate, 102);
    EXPECT_EQ(TimerPeriod(W(), CMainDlg::kWatchTimer), 1000);
    camera.clearReceived();

    ASSERT_TRUE(Type(W(), kPasswordBox, L"654321"));
    ASSERT_TRUE(Click(W(), kLoginButton));
    ASSERT_EQ(backend_->Messages().size(), 2u);
    EXPECT_EQ(backend_->Messages()[1].text, L"Please input correct password!");
    EXPECT_EQ(W().GetFocusId(), kPasswordBox);
    EXPECT_TRUE(W().IsControlEnabled(kLoginButton));
    EXPECT_EQ(TimerPeriod(W(), CMainDlg::kWatchTimer), 1000);
    EXPECT_EQ(Tabs().size(), 3u);
    // The camera was asked, with the typed password, and nothing else was read.
    const auto received = camera.snapshot().received;
    bool sawLogin = false;
    for (const auto& r : received) {
        EXPECT_NE(r.subCommand, 0xF20C) << "device description read after a refused login";
        if (r.subCommand == 0xF203) {
            sawLogin = true;
            ASSERT_GE(r.payload.size(), sizeof(PasswordRecord));
            PasswordRecord record;
            std::memcpy(&record, r.payload.data(), sizeof record);
            EXPECT_EQ(std::string(record.password, 6), "654321");
        }
    }
    EXPECT_TRUE(sawLogin);

    ASSERT_TRUE(Type(W(), kPasswordBox, L"123456"));
    ASSERT_TRUE(Click(W(), kLoginButton));
    EXPECT_EQ(backend_->Messages().size(), 2u);
    EXPECT_EQ(Tabs().size(), 6u);
}

TEST_F(MainWindowTest, OnlySixDigitsCanBeTyped) {
    drives_->add('E', Camera(33, 1, 0));
    Tick();
    ASSERT_TRUE(Type(W(), kPasswordBox, L"12a34b5678"));
    EXPECT_EQ(W().GetDlgItemText(kPasswordBox), L"123456");
    EXPECT_TRUE(W().IsPasswordStyle(kPasswordBox));
}

TEST_F(MainWindowTest, LoginWithTheCameraGoneDoesNothingVisible) {
    drives_->add('E', Camera(33, 1, 0));
    Tick();
    ASSERT_TRUE(Type(W(), kPasswordBox, L"123456"));
    drives_->server('E').unplug();
    ASSERT_TRUE(Click(W(), kLoginButton));
    EXPECT_TRUE(backend_->Messages().empty());
    EXPECT_TRUE(W().IsControlEnabled(kLoginButton));
    EXPECT_EQ(TimerPeriod(W(), CMainDlg::kWatchTimer), 1000);
}

struct TabCase {
    const char* name;
    uint8_t model, wifi, noCms;
    std::vector<std::wstring> tabs;
};

class LoginTabs : public MainWindowTest, public ::testing::WithParamInterface<TabCase> {};

TEST_P(LoginTabs, TheModelDecidesTheTabRow) {
    const TabCase& c = GetParam();
    drives_->add('E', Camera(c.model, c.wifi, c.noCms));
    LogIn();
    EXPECT_TRUE(backend_->Messages().empty());
    EXPECT_EQ(Tabs(), c.tabs);
    EXPECT_EQ(CurrentModelCode(), c.model);
    EXPECT_EQ(W().GetCurSel(kTabs), 0);
    EXPECT_EQ(VisiblePages(), std::vector<int>{106});
    EXPECT_FALSE(W().IsControlEnabled(kPasswordBox));
    EXPECT_FALSE(W().IsControlEnabled(kLoginButton));
    EXPECT_TRUE(W().IsControlEnabled(kModifyButton));
    EXPECT_EQ(TimerPeriod(W(), CMainDlg::kWatchTimer), 2000);
    // The pages that need it got the password; the first three pages are usable.
    EXPECT_EQ(W().Page<CDlgDeviceInfo>().Password(), L"123456");
    EXPECT_EQ(W().Page<CDlgParam>().Password(), L"123456");
    EXPECT_EQ(W().Page<CDlgDevCtrl>().Password(), L"123456");
    EXPECT_TRUE(W().Page<CDlgDeviceInfo>().IsControlEnabled(ids::devinfo::kApply));
    EXPECT_TRUE(W().Page<CDlgDevCtrl>().IsControlEnabled(ids::devctrl::kFormat));
    EXPECT_TRUE(W().Page<CDlgDevCtrl>().IsControlVisible(ids::devctrl::kDeleteLog));
    const bool gprs = std::find(c.tabs.begin(), c.tabs.end(), kGprs) != c.tabs.end();
    const bool wifi = std::find(c.tabs.begin(), c.tabs.end(), kWifi) != c.tabs.end();
    EXPECT_EQ(W().Page<CDlgGPRSParam>().IsControlEnabled(ids::gprs::kPhone), gprs);
    EXPECT_EQ(W().Page<CDlgWifi>().IsControlEnabled(ids::wifi::kApName), wifi);

    // Every tab shows its own page, found by title.
    const int pageOf[] = {106, 107, 108};
    for (int i = 0; i < int(c.tabs.size()); ++i) {
        ASSERT_TRUE(ui::headless::SelectByUser(W(), kTabs, i));
        int expected = i < 3 ? pageOf[i] : 0;
        if (c.tabs[size_t(i)] == kGprs)
            expected = 110;
        if (c.tabs[size_t(i)] == kWifi)
            expected = 136;
        if (c.tabs[size_t(i)] == kCms)
            expected = 139;
        EXPECT_EQ(VisiblePages(), std::vector<int>{expected}) << i;
    }
    // After a tick the watch is back to once a second.
    Tick();
    EXPECT_EQ(TimerPeriod(W(), CMainDlg::kWatchTimer), 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Models, LoginTabs,
    ::testing::Values(
        TabCase{"model16", 16, 1, 0, {kUserInfo, kParameters, kDeviceControl}},
        TabCase{"model17", 17, 0, 0, {kUserInfo, kParameters, kDeviceControl, kGprs}},
        TabCase{"model33", 33, 1, 0, {kUserInfo, kParameters, kDeviceControl, kGprs, kWifi, kCms}},
        TabCase{"model40", 40, 1, 1, {kUserInfo, kParameters, kDeviceControl, kWifi}},
        TabCase{"model31wifi", 31, 1, 0, {kUserInfo, kParameters, kDeviceControl}},
        TabCase{"model33noWifi", 33, 0, 0, {kUserInfo, kParameters, kDeviceControl, kGprs}}),
    [](const ::testing::TestParamInfo<TabCase>& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, TheCamerasPasswordBoxStaysDisabledUntilTheCameraIsReplugged) {
    drives_->add('E', Camera(33, 1, 0));
    LogIn();
    Tick();
    Tick();
    EXPECT_FALSE(W().IsControlEnabled(kPasswordBox));
    EXPECT_FALSE(W().IsControlEnabled(kLoginButton));
    // Enter on the disabled default button sends nothing.
    ui::headless::PressEnter(W());
    EXPECT_TRUE(backend_->Messages().empty());
    EXPECT_EQ(Tabs().size(), 6u);
}

TEST_F(MainWindowTest, TheTabTitleNotThePositionChoosesThePage) {
    drives_->add('E', Camera(40, 1, 1));
    LogIn();
    // Position 3 is WiFi for this model (no GPRS tab before it).
    ASSERT_TRUE(ui::headless::SelectByUser(W(), kTabs, 3));
    EXPECT_EQ(VisiblePages(), std::vector<int>{136});
    // A title that matches no key shows the first page.
    W().InsertString(kTabs, 4, L"Something else");
    ASSERT_TRUE(ui::headless::SelectByUser(W(), kTabs, 4));
    EXPECT_EQ(VisiblePages(), std::vector<int>{106});
}

TEST_F(MainWindowTest, TheMobileLinkPageExistsButNoTabLeadsToIt) {
    drives_->add('E', Camera(33, 1, 0));
    LogIn();
    for (int i = 0; i < W().GetCount(kTabs); ++i) {
        ui::headless::SelectByUser(W(), kTabs, i);
        EXPECT_FALSE(W().Page<CDlgMobileLink>().IsWindowVisible());
    }
    EXPECT_TRUE(W().Page<CDlgMobileLink>().IsCreated());
}

TEST_F(MainWindowTest, PagesSitInsideTheTabControlBelowItsTabs) {
    const ui::Rect tab = W().GetControlRect(kTabs);
    const ui::Rect page = W().Page<CDlgDeviceInfo>().GetWindowRect();
    EXPECT_EQ(page, (ui::Rect{2, 26, tab.width - 6, tab.height - 28}));
    EXPECT_EQ(W().Page<CDlgCMsv6Setting>().GetWindowRect(), page);
}

TEST_F(MainWindowTest, TheAboutBoxIsInTheWindowMenuAndRunsModally) {
    const auto menu = ui::headless::WindowMenu(W());
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0].first, CMainDlg::kAboutCommand);
    EXPECT_EQ(menu[0].second, L"About (&A)...");
    std::vector<std::wstring> seen;
    backend_->onModal = [&](ui::Dialog& dialog) {
        seen.push_back(std::to_wstring(dialog.TemplateId()) + L":" + dialog.GetWindowText());
        EXPECT_TRUE(ui::headless::Click(dialog, ui::kIdOk));
        return ui::kIdCancel;
    };
    EXPECT_TRUE(ui::headless::ChooseWindowMenuItem(W(), CMainDlg::kAboutCommand));
    EXPECT_EQ(seen, std::vector<std::wstring>{L"100:关于 Orvane"});
    // Commands other than the About box's are ignored.
    W().Dispatch(ui::EventKind::kSysCommand, 0xF060 & ~0xF);
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(MainWindowTest, OkKeepsTheWindowOpenCancelClosesIt) {
    int result = 0;
    backend_->onModal = [&](ui::Dialog& dialog) {
        ui::headless::PressEnter(dialog);  // the default button is disabled: nothing
        dialog.Dispatch(ui::EventKind::kOk, ui::kIdOk);
        EXPECT_TRUE(ui::headless::Click(dialog, kCancelButton));
        return 99;
    };
    window_.reset();
    CMainDlg modal;
    result = modal.DoModal();
    EXPECT_EQ(result, ui::kIdCancel);
    EXPECT_FALSE(modal.IsCreated());
}

TEST_F(MainWindowTest, ControlsAreNamedForAccessibility) {
    EXPECT_EQ(W().AccessibleName(kPasswordBox), L"Password:");
    EXPECT_EQ(W().AccessibleName(kLoginButton), L"OK");
    EXPECT_EQ(W().AccessibleName(kCancelButton), L"Cancel");
    EXPECT_EQ(W().Page<CDlgDeviceInfo>().AccessibleName(ids::devinfo::kDepartmentName),
              L"Depart name:");
    EXPECT_EQ(W().Page<CDlgWifi>().AccessibleName(ids::wifi::kApShow), L"Show password");
    EXPECT_EQ(W().Page<CDlgGPRSParam>().AccessibleName(ids::gprs::kServerIp), L"IP:");
    EXPECT_EQ(W().Page<CDlgDevCtrl>().AccessibleName(ids::devctrl::kTimePicker), L"Time:");
    // The tab control has no label of its own before it (its tabs carry their titles).
    EXPECT_EQ(W().AccessibleName(kTabs), L"");
}

}  // namespace
