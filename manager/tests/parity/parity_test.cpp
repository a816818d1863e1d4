// The same page and dialog scenarios on both dialog backends: the headless one, driven through
// its user actions, and the wxWidgets one under a display (Xvfb in CI), driven with real pointer
// and key events. What a user sees and what reaches the camera must not depend on the backend.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/window.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mainwindow.h"
#include "pages/cmsv6.h"
#include "pages/devctrl.h"
#include "pages/devinfo.h"
#include "pages/gprs.h"
#include "pages/mobilelink.h"
#include "pages/pwd.h"
#include "pages/rk40more.h"
#include "pages/rk50more.h"
#include "pages/wifi.h"
#include "support/emulated_cameras.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "ui/headless.h"
#include "ui/wx_backend.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Play = std::function<void(ui::Dialog&)>;

constexpr int kStillOpen = -7;  // a modal run the scenario did not end
bool g_display = false;

// One backend as a user meets it. Message boxes are answered with their first button.
class Driver {
  public:
    virtual ~Driver() = default;
    virtual bool Click(ui::Dialog& dialog, int id) = 0;
    // Replaces the edit's text by typing (ASCII letters, digits, '-' and '.').
    virtual bool Type(ui::Dialog& dialog, int id, const std::string& keys) = 0;
    virtual bool PressEnter(ui::Dialog& dialog) = 0;
    virtual bool PressEscape(ui::Dialog& dialog) = 0;
    virtual bool Tick(ui::Dialog& dialog, int timer) = 0;
    // The next modal dialog runs `play`; a run that play leaves open ends with kStillOpen.
    void OnNextModal(Play play) { plays_.push_back(std::move(play)); }
    virtual void Show(ui::Dialog& dialog) { dialog.ShowWindow(true); }

    struct Message {
        std::wstring text, caption;
        unsigned style;
    };
    std::vector<Message> messages;

  protected:
    void RunPlay(ui::Dialog& dialog) {
        if (plays_.empty())
            return;
        Play play = std::move(plays_.front());
        plays_.pop_front();
        play(dialog);
    }
    std::deque<Play> plays_;
};

class HeadlessDriver : public Driver {
  public:
    HeadlessDriver() {
        ui::SetBackend(&backend_);
        backend_.onMessage = [this](const ui::headless::RecordedMessage& m) {
            messages.push_back({m.text, m.caption, m.style});
        };
        backend_.onModal = [this](ui::Dialog& dialog) {
            RunPlay(dialog);
            return kStillOpen;
        };
    }
    ~HeadlessDriver() override { ui::SetBackend(nullptr); }
    bool Click(ui::Dialog& d, int id) override { return ui::headless::Click(d, id); }
    bool Type(ui::Dialog& d, int id, const std::string& keys) override {
        return ui::headless::Type(d, id, std::wstring(keys.begin(), keys.end()));
    }
    bool PressEnter(ui::Dialog& d) override { return ui::headless::PressEnter(d); }
    bool PressEscape(ui::Dialog& d) override { return ui::headless::PressEscape(d); }
    bool Tick(ui::Dialog& d, int timer) override { return ui::headless::FireTimer(d, timer); }

  private:
    ui::headless::HeadlessBackend backend_;
};

// Lets the toolkit handle the events of the input just sent: for at least the time given, and
// then until the display server has nothing more for it.
void Settle(int milliseconds = 40) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        gdk_display_sync(gdk_display_get_default());
        ui::wx::ProcessPending();
        wxTheApp->ProcessIdle();
        if (std::chrono::steady_clock::now() >= end && !gtk_events_pending())
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

class WxDriver : public Driver {
  public:
    WxDriver() {
        backend_.manualTimers = true;
        ui::SetBackend(&backend_);
        backend_.onMessageShown = [this](const ui::wx::WxBackend::ShownMessage& m) {
            messages.push_back({m.text, m.caption, m.style});
            const int first =
                (m.style & ui::kMbButtonMask) == ui::kMbYesNo ? ui::kIdYes : ui::kIdOk;
            wxRect button;
            if (!ui::wx::MessageBoxButton(first, button)) {
                ADD_FAILURE() << "no button on the message box";
                return;
            }
            PointAt(button);
            sim_.MouseClick();
            Settle();
        };
        backend_.onModalShown = [this](ui::Dialog& dialog) {
            Settle();
            RunPlay(dialog);
            dialog.EndDialog(kStillOpen);  // ignored when the scenario ended it
        };
    }
    ~WxDriver() override {
        Settle();
        ui::SetBackend(nullptr);
    }
    bool Click(ui::Dialog& d, int id) override {
        wxWindow* w = Reachable(d, id);
        if (!w)
            return false;
        PointAt(w->GetScreenRect());
        sim_.MouseClick();
        Settle();
        return true;
    }
    bool Type(ui::Dialog& d, int id, const std::string& keys) override {
        wxWindow* w = Reachable(d, id);
        if (!w)
            return false;
        // An address control starts in its first field.
        if (!dynamic_cast<wxTextCtrl*>(w) && !w->GetChildren().empty())
            w = w->GetChildren().front();
        PointAt(w->GetScreenRect());
        sim_.MouseClick();
        Settle();
        sim_.Char('a', wxMOD_CONTROL);
        sim_.Char(WXK_DELETE);
        for (char ch : keys) {
            if (ch == ':')
                sim_.Char(';', wxMOD_SHIFT);
            else
                sim_.Char(ch, isupper(static_cast<unsigned char>(ch)) ? wxMOD_SHIFT : wxMOD_NONE);
        }
        Settle();
        return true;
    }
    bool PressEnter(ui::Dialog& d) override { return Key(d, WXK_RETURN); }
    bool PressEscape(ui::Dialog& d) override { return Key(d, WXK_ESCAPE); }
    bool Tick(ui::Dialog& d, int timer) override {
        const bool fired = ui::wx::FireTimer(d, timer);
        Settle();
        return fired;
    }
    void Show(ui::Dialog& d) override {
        d.ShowWindow(true);
        Settle(200);
    }

  private:
    // The control's window when a user could reach it with the pointer.
    static wxWindow* Reachable(ui::Dialog& d, int id) {
        wxWindow* w = ui::wx::ControlWindow(d, id);
        return w && w->IsShownOnScreen() && w->IsEnabled() ? w : nullptr;
    }
    void PointAt(const wxRect& r) {
        sim_.MouseMove(r.GetLeft() + r.GetWidth() / 2, r.GetTop() + r.GetHeight() / 2);
        Settle(20);
    }
    // A key goes to the window under the pointer (no window manager gives the focus).
    bool Key(ui::Dialog& d, int key) {
        if (!d.IsWindowVisible())
            return false;
        wxWindow* top = nullptr;
        for (int i = 0; i < d.ChildCount() && !top; ++i)
            if (wxWindow* w = ui::wx::ControlWindow(d, d.ChildId(i)))
                top = wxGetTopLevelParent(w);
        if (!top)
            return false;
        const wxRect r = top->GetScreenRect();
        sim_.MouseMove(r.GetLeft() + 2, r.GetTop() + 2);
        Settle(20);
        sim_.Char(key);
        Settle();
        return true;
    }

    ui::wx::WxBackend backend_;
    wxUIActionSimulator sim_;
};

enum class Backend { kHeadless, kWx };

std::string Name(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::kHeadless ? "Headless" : "Wx";
}

camsim::CameraState Camera(std::string serial = "SN12345678") {
    camsim::CameraState state;
    state.modelCode = 33;
    state.wifiFlag = 1;
    state.noCmsFlag = 0;
    state.serial = std::move(serial);
    state.loginPassword = "123456";
    state.shutdownMilliseconds = 0;
    return state;
}

using namespace ids;
using mainwindow::kLoginButton;
using mainwindow::kPasswordBox;
using mainwindow::kSerial;
using mainwindow::kTabs;
constexpr uint16_t kGprsRead = 0xF20D, kWifiApRead = 0xF225, kCmsRead = 0xF21C;
constexpr uint16_t kGprsWrite = 0xF20E, kWifiApWrite = 0xF226, kCmsWrite = 0xF21D;

class ParityTest : public ::testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        if (GetParam() == Backend::kWx && !g_display)
            GTEST_SKIP() << "no display";
        LangTable().SelectStartupLanguage(L"ENG");
        if (GetParam() == Backend::kWx)
            driver_ = std::make_unique<WxDriver>();
        else
            driver_ = std::make_unique<HeadlessDriver>();
    }
    void TearDown() override {
        window_.reset();
        driver_.reset();
    }

    Driver& D() { return *driver_; }
    CMainDlg& W() { return *window_; }

    camsim::CameraModel& Plug(camsim::CameraState state = Camera()) {
        return drives_.add('E', std::move(state));
    }
    void Store(uint16_t sub, Bytes record) {
        auto& camera = drives_.model('E');
        std::lock_guard<std::mutex> lock(camera.lock());
        camera.state().records[sub] = std::move(record);
    }
    Bytes Record(uint16_t sub) {
        auto& camera = drives_.model('E');
        std::lock_guard<std::mutex> lock(camera.lock());
        return camera.state().records[sub];
    }
    std::vector<std::wstring> Texts() const {
        std::vector<std::wstring> texts;
        for (const auto& m : driver_->messages)
            texts.push_back(m.text);
        return texts;
    }

    // The main window on screen with the camera's serial number shown.
    void Open() {
        window_ = std::make_unique<CMainDlg>();
        ASSERT_TRUE(window_->Create());
        D().Show(W());
        ASSERT_TRUE(D().Tick(W(), CMainDlg::kWatchTimer));
        ASSERT_TRUE(W().IsControlEnabled(kPasswordBox));
    }
    void LogIn() {
        Open();
        ASSERT_TRUE(D().Type(W(), kPasswordBox, "123456"));
        ASSERT_TRUE(D().Click(W(), kLoginButton));
        ASSERT_EQ(W().GetCount(kTabs), 6);
    }
    void SelectTab(int position) {
        ASSERT_TRUE(W().GetCount(kTabs) > position);
        W().SetCurSel(kTabs, position);
        W().SwitchPage();
        if (GetParam() == Backend::kWx)
            Settle(100);
    }

    std::unique_ptr<Driver> driver_;
    testsupport::EmulatedDrives drives_;
    std::unique_ptr<CMainDlg> window_;
};

// ---- main window -------------------------------------------------------------------------------

TEST_P(ParityTest, LoginWithEnterOrWithTheOkButton) {
    for (bool enter : {true, false}) {
        SCOPED_TRACE(enter ? "Enter" : "OK");
        Plug();
        Open();
        ASSERT_TRUE(D().Type(W(), kPasswordBox, "123456"));
        EXPECT_EQ(W().GetFocusId(), kPasswordBox);
        if (enter)
            ASSERT_TRUE(D().PressEnter(W()));
        else
            ASSERT_TRUE(D().Click(W(), kLoginButton));
        EXPECT_EQ(W().GetCount(kTabs), 6);
        EXPECT_FALSE(W().IsControlEnabled(kPasswordBox));
        EXPECT_TRUE(D().messages.empty());
        // The login button is disabled now: Enter does nothing, Escape closes the window.
        ASSERT_TRUE(D().PressEnter(W()));
        EXPECT_TRUE(D().messages.empty());
        window_.reset();
        drives_.server('E').unplug();
    }
}

TEST_P(ParityTest, RefusedPasswordsAreReportedAndTheFocusGoesBackToTheBox) {
    Plug();
    Open();
    ASSERT_TRUE(D().Click(W(), kLoginButton));
    EXPECT_EQ(W().GetFocusId(), kPasswordBox);
    // Typing stops at six digits; letters are refused.
    ASSERT_TRUE(D().Type(W(), kPasswordBox, "65a4321999"));
    EXPECT_EQ(W().GetDlgItemText(kPasswordBox), L"654321");
    ASSERT_TRUE(D().PressEnter(W()));
    EXPECT_EQ(W().GetFocusId(), kPasswordBox);
    EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Please input password!",
                                                  L"Please input correct password!"}));
    for (const auto& m : D().messages) {
        EXPECT_EQ(m.caption, L"Orvane");
        EXPECT_EQ(m.style, unsigned(ui::kMbOk));
    }
    EXPECT_EQ(W().GetCount(kTabs), 3);
}

// Enter presses the push button that has the focus, not the default one: after Modify was
// clicked, Enter opens the password dialog again rather than logging in.
TEST_P(ParityTest, EnterPressesTheFocusedButton) {
    Plug();
    Open();
    int runs = 0;
    for (int i = 0; i < 2; ++i) {
        D().OnNextModal([&](ui::Dialog& d) {
            ++runs;
            EXPECT_EQ(d.TemplateId(), 109);
            EXPECT_TRUE(D().PressEscape(d));
        });
    }
    ASSERT_TRUE(D().Click(W(), mainwindow::kModifyButton));
    EXPECT_EQ(W().GetFocusId(), mainwindow::kModifyButton);
    ASSERT_TRUE(D().PressEnter(W()));
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(D().messages.empty());  // no login was tried
}

TEST_P(ParityTest, ACameraIsLostOnTheThirdTickWithoutIt) {
    Plug();
    LogIn();
    drives_.server('E').unplug();
    for (int tick = 1; tick <= 2; ++tick) {
        ASSERT_TRUE(D().Tick(W(), CMainDlg::kWatchTimer));
        EXPECT_EQ(W().GetCount(kTabs), 6) << tick;
    }
    ASSERT_TRUE(D().Tick(W(), CMainDlg::kWatchTimer));
    EXPECT_EQ(W().GetCount(kTabs), 3);
    EXPECT_EQ(W().GetDlgItemText(kSerial), L"---");
    EXPECT_TRUE(W().Page<CDlgDeviceInfo>().IsWindowVisible());
    EXPECT_FALSE(W().IsControlEnabled(kLoginButton));
}

TEST_P(ParityTest, EscapeClosesTheMainWindow) {
    Plug();
    window_ = std::make_unique<CMainDlg>();
    D().OnNextModal([&](ui::Dialog& d) { EXPECT_TRUE(D().PressEscape(d)); });
    EXPECT_EQ(window_->DoModal(), ui::kIdCancel);
}

// ---- pages: what a Refresh shows is what an Apply writes
// -----------------------------------------

Bytes Filled(size_t size, std::initializer_list<std::pair<size_t, std::string>> fields) {
    Bytes bytes(size, 0);
    for (const auto& [offset, value] : fields)
        std::memcpy(bytes.data() + offset, value.data(), value.size());
    return bytes;
}

// Texts at and past the typing limits of their edits, as a camera may hold them: each comes back
// whole in its edit and is written back byte for byte.
TEST_P(ParityTest, TextsLongerThanTheTypingLimitSurviveRefreshAndApply) {
    Plug();
    // GPRS: phone 16 characters (limit 15), APN 32 (limit 31), user 15, password 16.
    const Bytes gprs = Filled(136, {{0, "\x01"},
                                    {4, "1380013800012345"},
                                    {20, std::string(32, 'A')},
                                    {52, "officer-officer"},
                                    {68, "pw34567890123456"},
                                    {84, "10.20.30.40"}});
    // WiFi access point: name of 16 characters (limit 15), password of 15.
    const Bytes ap = Filled(64, {{0, "BWC-GUI-AP-12345"}, {16, "ap-secret-12345"}});
    // CMS: no identifier of its own, so the serial number (10 characters, limit 8) stands in.
    const Bytes cms = Filled(28, {{8, "172.16.0.9"}, {24, std::string("\xff\xff\xf0\x19", 4)}});
    // Mobile link: every text field full, none with a terminator.
    const Bytes link = Filled(186, {{0, "LINK0001"},
                                    {8, std::string(64, 'a')},
                                    {72, std::string("\x90\x1f", 2)},
                                    {74, std::string(32, 'p')},
                                    {106, std::string(16, 'u')},
                                    {122, std::string(32, 'w')},
                                    {154, std::string(32, '9')}});
    Store(kGprsRead, gprs);
    Store(kWifiApRead, ap);
    Store(kCmsRead, cms);
    Store(0xF212, link);
    Store(0xF214, Bytes{30, 0, 10, 0});
    LogIn();

    struct Case {
        int tab;  // -1: the mobile link page, which no tab leads to, shown in place of the first
        ui::Dialog* page;
        int edit, refreshButton, applyButton;
        std::wstring shown;
        uint16_t record;
        Bytes written;
    };
    Bytes cmsWritten = cms;
    std::memcpy(cmsWritten.data(), "SN123456", 8);  // the field's first 8 bytes, no terminator
    cmsWritten[24] = 0xD0;  // an unset server port is shown, and so written, as 6608
    cmsWritten[25] = 0x19;
    const Case cases[] = {
        {3, &W().Page<CDlgGPRSParam>(), gprs::kPhone, gprs::kRefresh, gprs::kApply,
         L"1380013800012345", kGprsRead, gprs},
        {4, &W().Page<CDlgWifi>(), wifi::kApName, wifi::kRefresh, wifi::kApply, L"BWC-GUI-AP-12345",
         kWifiApRead, ap},
        {5, &W().Page<CDlgCMsv6Setting>(), cmsv6::kDeviceId, cmsv6::kRefresh, cmsv6::kSetting,
         L"SN12345678", kCmsRead, cmsWritten},
        {-1, &W().Page<CDlgMobileLink>(), mobilelink::kServerAddress, mobilelink::kRefresh,
         mobilelink::kSave, std::wstring(64, L'a'), 0xF212, link},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page->TemplateId());
        D().messages.clear();
        if (c.tab >= 0) {
            SelectTab(c.tab);
        } else {
            SelectTab(0);
            W().Page<CDlgDeviceInfo>().ShowWindow(false);
            D().Show(*c.page);
        }
        ASSERT_TRUE(D().Click(*c.page, c.refreshButton));
        EXPECT_EQ(c.page->GetDlgItemText(c.edit), c.shown);
        ASSERT_TRUE(D().Click(*c.page, c.applyButton));
        EXPECT_EQ(Texts(), std::vector<std::wstring>{L"OK!"});
        EXPECT_EQ(Record(c.record), c.written);
    }
}

// The hidden device id (limit 7) of the user information page comes back whole from the camera,
// and Apply cuts it to seven characters as the page does with what was typed.
TEST_P(ParityTest, TheUserInformationPageKeepsALongHiddenIdUntilApply) {
    Plug();
    Store(0xF205, Filled(100, {{0, "DEVID12345"}, {56, "Officer"}}));
    LogIn();
    CDlgDeviceInfo& page = W().Page<CDlgDeviceInfo>();
    EXPECT_EQ(page.GetDlgItemText(devinfo::kDeviceId), L"DEVID12345");
    ASSERT_TRUE(D().Type(page, devinfo::kUserName, "Officer-Two"));
    ASSERT_TRUE(D().Click(page, devinfo::kApply));
    EXPECT_EQ(page.GetDlgItemText(devinfo::kDeviceId), L"DEVID12");
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"OK!"});
    EXPECT_EQ(Record(0xF205), Filled(100, {{0, "DEVID12"}, {56, "Officer-Two"}}));
}

// Typing stops at each edit's limit on both backends; what was typed is written byte for byte.
// An address is typed as written: a third digit or a dot moves on to the next field.
TEST_P(ParityTest, TypingStopsAtTheLimitAndApplyWritesWhatWasTyped) {
    Plug();
    LogIn();
    SelectTab(3);
    CDlgGPRSParam& gprs = W().Page<CDlgGPRSParam>();
    struct Case {
        int edit;
        std::string typed;
        std::wstring held;
    };
    const Case cases[] = {
        {gprs::kPhone, "139001390012345", L"139001390012345"},       // at the limit (15)
        {gprs::kApn, std::string(40, 'b'), std::wstring(31, L'b')},  // over (31)
        {gprs::kUserName, "user-name-12345-x", L"user-name-12345"},  // over (15)
        {gprs::kServerIp, "192.168.1.25", L"192.168.1.25"},          // the server address
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(D().Type(gprs, c.edit, c.typed));
        EXPECT_EQ(gprs.GetDlgItemText(c.edit), c.held) << c.edit;
    }
    ASSERT_TRUE(D().Click(gprs, gprs::kApply));
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"OK!"});
    const Bytes record = Record(kGprsRead);
    ASSERT_EQ(record.size(), 136u);
    EXPECT_EQ(std::string(record.begin() + 4, record.begin() + 20),
              std::string("139001390012345\0", 16));
    EXPECT_EQ(std::string(record.begin() + 20, record.begin() + 52),
              std::string(31, 'b') + std::string(1, '\0'));
    EXPECT_EQ(std::string(record.begin() + 52, record.begin() + 68),
              std::string("user-name-12345\0", 16));
    EXPECT_EQ(std::string(record.begin() + 84, record.begin() + 97),
              std::string("192.168.1.25\0", 13));
}

// ---- device control: the time edit -------------------------------------------------------------

uint32_t U32(const Bytes& bytes, size_t at) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

TEST_P(ParityTest, TheTimeSentIsTheLastCompleteTimeThePickerHeld) {
    auto& camera = Plug();
    LogIn();
    SelectTab(2);
    CDlgDevCtrl& page = W().Page<CDlgDevCtrl>();
    page.SetDateTime(devctrl::kDatePicker, ui::DateTime{2018, 6, 15, 0, 0, 0});
    page.SetDateTime(devctrl::kTimePicker, ui::DateTime{2018, 6, 15, 23, 58, 7});
    struct Case {
        std::string typed;
        uint32_t sent;
    };
    const Case cases[] = {{"12:34", 235807}, {"12:34:56", 123456}, {"25:00:00", 123456}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        camera.clearReceived();
        D().messages.clear();
        D().Type(page, devctrl::kTimePicker,
                 c.typed);  // the headless picker takes only complete times
        ASSERT_TRUE(D().Click(page, devctrl::kSetTime));
        EXPECT_EQ(Texts(), std::vector<std::wstring>{L"OK!"});
        const std::vector<Bytes> sent = receivedPayloads(camera, 0xF201);
        ASSERT_FALSE(sent.empty());
        const Bytes& payload = sent.back();
        ASSERT_GE(payload.size(), 8u);
        EXPECT_EQ(U32(payload, 0), 20180615u);
        EXPECT_EQ(U32(payload, 4), c.sent);
    }
}

// ---- dialogs -----------------------------------------------------------------------------------

// The password dialog has no default button: Enter is its OK command, which closes it; Escape
// cancels. Each refusal leaves the focus in the box to correct.
TEST_P(ParityTest, PasswordDialogEnterEscapeAndFocusAfterEachMessage) {
    Plug();
    struct Case {
        std::string current, next, again;
        std::wstring message;
        int focus;
    };
    const Case cases[] = {
        {"", "", "", L"Please input password!", pwd::kCurrent},
        {"123456", "", "", L"Please input new password!", pwd::kNew},
        {"123", "654321", "654321", L"Password length does not meet the requirements!",
         pwd::kCurrent},
        {"123456", "654321", "654320", L"Please input correct password!", pwd::kNew},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current + "/" + c.next + "/" + c.again);
        D().messages.clear();
        CDlgPwd dialog;
        D().OnNextModal([&](ui::Dialog& d) {
            ASSERT_TRUE(D().Type(d, pwd::kCurrent, c.current));
            ASSERT_TRUE(D().Type(d, pwd::kNew, c.next));
            ASSERT_TRUE(D().Type(d, pwd::kNewAgain, c.again));
            ASSERT_TRUE(D().Click(d, pwd::kModify));
            EXPECT_EQ(Texts(), std::vector<std::wstring>{c.message});
            EXPECT_EQ(d.GetFocusId(), c.focus);
            EXPECT_TRUE(D().PressEscape(d));
        });
        EXPECT_EQ(dialog.DoModal(), ui::kIdCancel);
    }
    CDlgPwd dialog;
    D().OnNextModal([&](ui::Dialog& d) {
        ASSERT_TRUE(D().Type(d, pwd::kBrowse, "12"));
        EXPECT_TRUE(D().PressEnter(d));
    });
    EXPECT_EQ(dialog.DoModal(), ui::kIdOk);
}

// The RK50 plate: Enter presses "Setting"; a plate that does not fit the camera's field is a
// failure, one that fits after the cut to 12 characters a success; Escape sends nothing.
TEST_P(ParityTest, Rk50PlateIsJudgedAgainstWhatWasEntered) {
    camsim::CameraState state = Camera();
    state.modelCode = 240;
    auto& camera = Plug(state);
    const char* saved = std::getenv("LC_ALL");
    const std::string previous = saved ? saved : "";
    setenv("LC_ALL", "C.UTF-8", 1);
    struct Case {
        std::wstring set;   // set by the program (typing covers ASCII only)
        std::string typed;  // typed when set is empty
        std::wstring message;
        std::string stored;  // the plate field on the camera afterwards
    };
    const std::string accents = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
    const Case cases[] = {
        {L"", "ABCDEFGHIJKLMNO", L"Modify success!", "ABCDEFGHIJKL"},
        {std::wstring(12, L'\u00E9'), "", L"Failed to modify!", accents},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        D().messages.clear();
        CDlgRK50MoreSetting dialog;
        D().OnNextModal([&](ui::Dialog& d) {
            if (c.set.empty())
                ASSERT_TRUE(D().Type(d, rk50::kPlate, c.typed));
            else
                d.SetDlgItemText(rk50::kPlate, c.set);
            EXPECT_TRUE(D().PressEnter(d));
        });
        EXPECT_EQ(dialog.DoModal(), ui::kIdOk);
        EXPECT_EQ(Texts(), std::vector<std::wstring>{c.message});
        const Bytes record = Record(0xF23E);
        ASSERT_EQ(record.size(), 128u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + 3)), c.stored);
    }
    camera.clearReceived();
    CDlgRK50MoreSetting dialog;
    D().OnNextModal([&](ui::Dialog& d) {
        ASSERT_TRUE(D().Type(d, rk50::kPlate, "XY"));
        EXPECT_TRUE(D().PressEscape(d));
    });
    EXPECT_EQ(dialog.DoModal(), ui::kIdCancel);
    for (const auto& r : camera.snapshot().received)
        EXPECT_NE(r.subCommand, 0xF23F);
    if (saved)
        setenv("LC_ALL", previous.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

// The RK40 dialog: Enter presses its default "Setting", which writes the lists as loaded; Escape
// closes it without a write.
TEST_P(ParityTest, Rk40EnterAppliesAndEscapeCancels) {
    camsim::CameraState state = Camera();
    state.modelCode = 208;
    auto& camera = Plug(state);
    Bytes config(128, 0);
    config[0] = 10;  // volume "High"
    config[15] = 1;  // loop recording on
    Store(0xF23E, config);
    for (bool enter : {true, false}) {
        SCOPED_TRACE(enter ? "Enter" : "Escape");
        camera.clearReceived();
        D().messages.clear();
        CDlgRK40MoreSetting dialog;
        D().OnNextModal([&](ui::Dialog& d) {
            EXPECT_EQ(d.GetCurSel(rk40::kVolumeList), 3);
            EXPECT_TRUE(enter ? D().PressEnter(d) : D().PressEscape(d));
        });
        EXPECT_EQ(dialog.DoModal(), enter ? ui::kIdOk : ui::kIdCancel);
        bool wrote = false;
        for (const auto& r : camera.snapshot().received)
            wrote = wrote || r.subCommand == 0xF23F;
        EXPECT_EQ(wrote, enter);
        EXPECT_EQ(Texts(), enter ? std::vector<std::wstring>{L"Modify success!"}
                                 : std::vector<std::wstring>{});
        EXPECT_EQ(Record(0xF23E), config);
    }
}

// A click on "Show password" switches the password style and leaves the focus in the edit it
// belongs to; after an Apply's message the focus is where the user left it, on the button.
TEST_P(ParityTest, WifiShowPasswordAndTheFocusAfterApply) {
    Plug();
    LogIn();
    SelectTab(4);
    CDlgWifi& page = W().Page<CDlgWifi>();
    ASSERT_TRUE(page.IsPasswordStyle(wifi::kApPassword));
    ASSERT_TRUE(D().Click(page, wifi::kApShow));
    EXPECT_FALSE(page.IsPasswordStyle(wifi::kApPassword));
    EXPECT_EQ(page.GetFocusId(), wifi::kApPassword);
    ASSERT_TRUE(D().Type(page, wifi::kApPassword, "secret-1"));
    EXPECT_EQ(page.GetDlgItemText(wifi::kApPassword), L"secret-1");
    ASSERT_TRUE(D().Click(page, wifi::kApShow));
    EXPECT_TRUE(page.IsPasswordStyle(wifi::kApPassword));

    ASSERT_TRUE(D().Type(page, wifi::kApName, "AP-2"));
    ASSERT_TRUE(D().Click(page, wifi::kApply));
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"OK!"});
    EXPECT_EQ(Record(kWifiApRead), Filled(64, {{0, "AP-2"}, {16, "secret-1"}}));
    EXPECT_EQ(page.GetFocusId(), wifi::kApply);
}

// The About box: its one button is the default, so Enter closes it as OK; Escape cancels.
TEST_P(ParityTest, AboutBoxEnterAndEscape) {
    for (bool enter : {true, false}) {
        CAboutDlg about;
        D().OnNextModal(
            [&](ui::Dialog& d) { EXPECT_TRUE(enter ? D().PressEnter(d) : D().PressEscape(d)); });
        EXPECT_EQ(about.DoModal(), enter ? ui::kIdOk : ui::kIdCancel) << enter;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ParityTest, ::testing::Values(Backend::kHeadless, Backend::kWx),
                         Name);

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("GDK_GL", "disable", 0);
    wxApp::SetInstance(new wxApp());
    int toolkitArgc = 1;
    g_display = getenv("DISPLAY") != nullptr && wxEntryStart(toolkitArgc, argv);
    if (!g_display)
        std::fprintf(stderr, "no display: the wxWidgets backend's runs are skipped\n");
    const int result = RUN_ALL_TESTS();
    if (g_display)
        wxEntryCleanup();
    return result;
}
