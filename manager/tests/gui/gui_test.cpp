// The wxWidgets backend under a display (Xvfb in CI): real windows, accessible names and ids, and
// pictures of every window; and the program itself, run against camsim in its scripted mode.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/uiaction.h>
#include <wx/window.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera_models.h"
#include "dalvex.h"
#include "mainwindow.h"
#include "pages/cmsv6.h"
#include "pages/devctrl.h"
#include "pages/devinfo.h"
#include "pages/gprs.h"
#include "pages/mobilelink.h"
#include "pages/more_dialogs.h"
#include "pages/param.h"
#include "pages/wifi.h"
#include "res/control_ids.h"
#include "support/emulated_cameras.h"
#include "text/langtable.h"
#include "ui/wx_backend.h"

namespace {

namespace fs = std::filesystem;

bool IsPng(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[8] = {};
    in.read(magic, 8);
    return in.gcount() == 8 && std::string(magic + 1, 3) == "PNG" && fs::file_size(path) > 1000;
}

std::string TempDir() {
    char pattern[] = "/tmp/orvane-gui-XXXXXX";
    return mkdtemp(pattern);
}

// The accessible names of the entries inside a composite control's window.
void CollectEntryNames(GtkWidget* widget, std::vector<std::string>& names) {
    if (GTK_IS_ENTRY(widget)) {
        const char* name = atk_object_get_name(gtk_widget_get_accessible(widget));
        names.push_back(name ? name : "");
    }
    if (!GTK_IS_CONTAINER(widget))
        return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* l = children; l; l = l->next)
        CollectEntryNames(GTK_WIDGET(l->data), names);
    g_list_free(children);
}

std::vector<std::string> InnerEntryNames(ui::Dialog& dialog, int id) {
    std::vector<std::string> names;
    if (wxWindow* window = ui::wx::ControlWindow(dialog, id))
        CollectEntryNames(GTK_WIDGET(window->GetHandle()), names);
    return names;
}

class WxWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::SetBackend(&backend_);
        LangTable().SelectStartupLanguage(L"ENG");
        camsim::CameraState camera;
        camera.modelCode = 33;
        camera.wifiFlag = 1;
        camera.noCmsFlag = 0;
        camera.serial = "GUI0000001";
        camera.loginPassword = "123456";
        drives_.add('E', camera);
        dir_ = TempDir();
    }
    void TearDown() override {
        window_.reset();
        ui::wx::ProcessPending();
        ui::SetBackend(nullptr);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Runs the toolkit until the condition holds or the time is up.
    template <typename Condition>
    bool RunUntil(Condition condition, int milliseconds = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            ui::wx::ProcessPending();
            wxTheApp->ProcessIdle();
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return condition();
    }

    ui::wx::WxBackend backend_;
    testsupport::EmulatedDrives drives_;
    std::unique_ptr<CMainDlg> window_;
    std::string dir_;
};

TEST_F(WxWindowTest, MainWindowOpensLogsInAndEveryTabIsPictured) {
    window_ = std::make_unique<CMainDlg>();
    ASSERT_TRUE(window_->Create());
    window_->ShowWindow(true);
    EXPECT_EQ(window_->GetWindowText(), L"Orvane V2.0.1.5");
    ASSERT_TRUE(RunUntil([&] { return window_->IsWindowVisible(); }));

    // The real one-second timer finds the camera.
    ASSERT_TRUE(
        RunUntil([&] { return window_->IsControlEnabled(ids::mainwindow::kPasswordBox); }, 5000));
    EXPECT_EQ(window_->GetDlgItemText(ids::mainwindow::kSerial), L"GUI0000001");
    ASSERT_TRUE(ui::wx::SaveScreenshot(*window_, dir_ + "/before-login.png"));

    window_->SetDlgItemText(ids::mainwindow::kPasswordBox, L"123456");
    ASSERT_TRUE(ui::wx::Click(*window_, ids::mainwindow::kLoginButton));
    ASSERT_EQ(window_->GetCount(ids::mainwindow::kTabs), 6);
    EXPECT_FALSE(window_->IsControlEnabled(ids::mainwindow::kPasswordBox));

    std::vector<std::string> pictures = {dir_ + "/before-login.png"};
    const int pages[] = {106, 107, 108, 110, 136, 139};
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(ui::wx::SelectByUser(*window_, ids::mainwindow::kTabs, i));
        RunUntil([] { return false; }, 200);
        ui::Dialog* shown = nullptr;
        ui::Dialog* all[] = {&window_->Page<CDlgDeviceInfo>(), &window_->Page<CDlgParam>(),
                             &window_->Page<CDlgDevCtrl>(),    &window_->Page<CDlgGPRSParam>(),
                             &window_->Page<CDlgWifi>(),       &window_->Page<CDlgCMsv6Setting>()};
        for (ui::Dialog* page : all) {
            if (page->IsWindowVisible()) {
                EXPECT_EQ(shown, nullptr) << "two pages shown at tab " << i;
                shown = page;
            }
        }
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->TemplateId(), pages[i]);
        const std::string path = dir_ + "/tab-" + std::to_string(i) + ".png";
        ASSERT_TRUE(ui::wx::SaveScreenshot(*window_, path));
        pictures.push_back(path);
    }
    for (const std::string& path : pictures)
        EXPECT_TRUE(IsPng(path)) << path;
}

TEST_F(WxWindowTest, ControlsCarryAccessibleNamesAndIds) {
    window_ = std::make_unique<CMainDlg>();
    ASSERT_TRUE(window_->Create());
    EXPECT_EQ(ui::wx::AccessibleNameOf(*window_, ids::mainwindow::kPasswordBox), "Password:");
    EXPECT_EQ(ui::wx::AccessibleIdOf(*window_, ids::mainwindow::kPasswordBox), "1000");
    EXPECT_EQ(ui::wx::AccessibleNameOf(*window_, ids::mainwindow::kLoginButton), "OK");
    EXPECT_EQ(ui::wx::AccessibleNameOf(*window_, ids::mainwindow::kCancelButton), "Cancel");
    EXPECT_EQ(ui::wx::AccessibleIdOf(*window_, ids::mainwindow::kCancelButton), "1003");
    EXPECT_EQ(ui::wx::AccessibleNameOf(window_->Page<CDlgDeviceInfo>(), ids::devinfo::kUserName),
              "User name:");
    EXPECT_EQ(ui::wx::AccessibleNameOf(window_->Page<CDlgWifi>(), ids::wifi::kApShow),
              "Show password");
    EXPECT_EQ(ui::wx::AccessibleNameOf(window_->Page<CDlgGPRSParam>(), ids::gprs::kServerIp),
              "IP:");
    // The entries inside composite controls carry the control's label too.
    const std::string dateLabel =
        wxString(window_->Page<CDlgDevCtrl>().AccessibleName(ids::devctrl::kDatePicker))
            .utf8_string();
    EXPECT_FALSE(dateLabel.empty());
    const struct {
        ui::Dialog* page;
        int id;
        std::string name;
    } composites[] = {{&window_->Page<CDlgDevCtrl>(), ids::devctrl::kDatePicker, dateLabel},
                      {&window_->Page<CDlgGPRSParam>(), ids::gprs::kServerIp, "IP:"}};
    for (const auto& c : composites) {
        const std::vector<std::string> names = InnerEntryNames(*c.page, c.id);
        EXPECT_FALSE(names.empty()) << c.id;
        for (const std::string& name : names)
            EXPECT_EQ(name, c.name) << c.id;
    }
}

TEST_F(WxWindowTest, PasswordStyleSwitchesAtRunTimeAndListsKeepTheirEntries) {
    window_ = std::make_unique<CMainDlg>();
    ASSERT_TRUE(window_->Create());
    CDlgWifi& wifi = window_->Page<CDlgWifi>();
    EXPECT_TRUE(wifi.IsPasswordStyle(ids::wifi::kApPassword));
    wifi.SetPasswordStyle(ids::wifi::kApPassword, false);
    EXPECT_FALSE(wifi.IsPasswordStyle(ids::wifi::kApPassword));
    EXPECT_EQ(wifi.GetCount(ids::wifi::kModeList), 2);
    EXPECT_EQ(wifi.GetItemText(ids::wifi::kModeList, 0), L"Station");
    EXPECT_EQ(wifi.GetCurSel(ids::wifi::kModeList), 0);
    CDlgGPRSParam& gprs = window_->Page<CDlgGPRSParam>();
    gprs.SetDlgItemText(ids::gprs::kServerIp, L"192.168.1.20");
    EXPECT_EQ(gprs.GetDlgItemText(ids::gprs::kServerIp), L"192.168.1.20");
    ui::DateTime date{2019, 7, 14, 0, 0, 0};
    window_->Page<CDlgDevCtrl>().SetDateTime(ids::devctrl::kDatePicker, date);
    const ui::DateTime read = window_->Page<CDlgDevCtrl>().GetDateTime(ids::devctrl::kDatePicker);
    EXPECT_EQ(read.year, 2019);
    EXPECT_EQ(read.month, 7);
    EXPECT_EQ(read.day, 14);
    window_->Page<CDlgDevCtrl>().SetDateTime(ids::devctrl::kTimePicker,
                                             ui::DateTime{2020, 1, 1, 13, 45, 30});
    const ui::DateTime time = window_->Page<CDlgDevCtrl>().GetDateTime(ids::devctrl::kTimePicker);
    EXPECT_EQ(time.hour, 13);
    EXPECT_EQ(time.minute, 45);
    EXPECT_EQ(time.second, 30);
}

TEST_F(WxWindowTest, F1OpensTheAboutBoxAndEscapeClosesTheMainWindow) {
    std::vector<int> shown;
    backend_.onModalShown = [&](ui::Dialog& dialog) {
        shown.push_back(dialog.TemplateId());
        if (dialog.TemplateId() == CAboutDlg::kTemplateId) {
            EXPECT_EQ(dialog.GetWindowText(), L"关于 Orvane");
            EXPECT_TRUE(ui::wx::Click(dialog, 1));  // its button closes it
        } else {
            // The window menu's stand-in: F1 runs the About box (a nested modal loop).
            EXPECT_TRUE(ui::wx::PressKey(dialog, WXK_F1));
            EXPECT_TRUE(ui::wx::PressKey(dialog, WXK_ESCAPE));
        }
    };
    CMainDlg window;
    EXPECT_EQ(window.DoModal(), ui::kIdCancel);
    EXPECT_EQ(shown, (std::vector<int>{CMainDlg::kTemplateId, CAboutDlg::kTemplateId}));
    backend_.onModalShown = nullptr;
}

// The user information, parameter and device control pages filled from a camera after a login,
// and the password dialog run from the Modify button.
TEST_F(WxWindowTest, SettingsPagesAfterLoginAndThePasswordDialogArePictured) {
    window_ = std::make_unique<CMainDlg>();
    ASSERT_TRUE(window_->Create());
    window_->ShowWindow(true);
    ASSERT_TRUE(
        RunUntil([&] { return window_->IsControlEnabled(ids::mainwindow::kPasswordBox); }, 5000));
    window_->SetDlgItemText(ids::mainwindow::kPasswordBox, L"123456");
    ASSERT_TRUE(ui::wx::Click(*window_, ids::mainwindow::kLoginButton));
    EXPECT_EQ(window_->Page<CDlgDeviceInfo>().GetDlgItemText(ids::devinfo::kUserName), L"Officer");
    EXPECT_EQ(window_->Page<CDlgParam>().GetCount(ids::param::kVideoList), 4);
    EXPECT_EQ(window_->Page<CDlgParam>().GetDlgItemText(ids::param::kCapacity), L"32 G");

    std::vector<std::string> pictures;
    const char* names[] = {"user-info", "parameters", "device-control"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(ui::wx::SelectByUser(*window_, ids::mainwindow::kTabs, i));
        RunUntil([] { return false; }, 200);
        pictures.push_back(dir_ + "/page-" + names[i] + ".png");
        ASSERT_TRUE(ui::wx::SaveScreenshot(*window_, pictures.back()));
    }

    const std::string dialogPicture = dir_ + "/password-dialog.png";
    int shown = 0;
    backend_.onModalShown = [&](ui::Dialog& dialog) {
        ++shown;
        EXPECT_EQ(dialog.TemplateId(), 109);
        EXPECT_EQ(dialog.GetWindowText(), L"Change password");
        dialog.SetDlgItemText(ids::pwd::kCurrent, L"123456");
        ui::wx::ProcessPending();
        EXPECT_TRUE(ui::wx::SaveScreenshot(dialog, dialogPicture));
        dialog.EndDialog(ui::kIdCancel);
    };
    ASSERT_TRUE(ui::wx::Click(*window_, ids::mainwindow::kModifyButton));
    ASSERT_TRUE(RunUntil([&] { return shown == 1; }, 5000));
    backend_.onModalShown = nullptr;
    pictures.push_back(dialogPicture);
    for (const std::string& path : pictures)
        EXPECT_TRUE(IsPng(path)) << path;
    // Kept for looking at when ORVANE_PICTURES names a folder.
    if (const char* keep = getenv("ORVANE_PICTURES")) {
        for (const std::string& path : pictures)
            fs::copy_file(path, fs::path(keep) / fs::path(path).filename(),
                          fs::copy_options::overwrite_existing);
    }
}

// The four network pages filled from a camera, each pictured as the user would see it (the mobile
// link page, which no tab leads to, shown in place of the first page). Set ORVANE_SCREENSHOT_DIR
// to keep the pictures.
TEST_F(WxWindowTest, NetworkPagesArePicturedWithTheCamerasValues) {
    {
        auto put = [](std::map<uint16_t, std::vector<uint8_t>>& records, uint16_t sub, size_t size,
                      std::initializer_list<std::pair<size_t, std::string>> fields) {
            std::vector<uint8_t> bytes(size, 0);
            for (const auto& [offset, text] : fields)
                std::copy(text.begin(), text.end(), bytes.begin() + long(offset));
            records[sub] = bytes;
        };
        camsim::CameraModel& camera = drives_.model('E');
        std::lock_guard<std::mutex> guard(camera.lock());
        auto& records = camera.state().records;
        put(records, 0xF20D, 136,
            {{0, "\x01"},
             {4, "13800138000"},
             {20, "cmnet"},
             {52, "officer"},
             {68, "pw"},
             {84, "10.20.30.40"}});
        put(records, 0xF210, 114,
            {{0, "\x01"}, {1, "depot-wifi"}, {25, "depot-pass"}, {48, "192.168.1.5"}});
        put(records, 0xF225, 64, {{0, "BWC-GUI-AP"}, {16, "ap-secret"}});
        put(records, 0xF212, 186,
            {{0, "BWC00001"},
             {8, "link.example.org"},
             {72, std::string("\x90\x1f", 2)},
             {74, "cmnet"},
             {106, "user1"},
             {122, "secret"},
             {154, "*99#"}});
        put(records, 0xF214, 4, {{0, std::string("\x1e\0\x0a\0", 4)}});
        put(records, 0xF21C, 28,
            {{0, "CAM00042"}, {8, "172.16.0.9"}, {24, std::string("\xff\xff\xf0\x19", 4)}});
    }
    window_ = std::make_unique<CMainDlg>();
    ASSERT_TRUE(window_->Create());
    window_->ShowWindow(true);
    ASSERT_TRUE(
        RunUntil([&] { return window_->IsControlEnabled(ids::mainwindow::kPasswordBox); }, 5000));
    window_->SetDlgItemText(ids::mainwindow::kPasswordBox, L"123456");
    ASSERT_TRUE(ui::wx::Click(*window_, ids::mainwindow::kLoginButton));
    ASSERT_EQ(window_->GetCount(ids::mainwindow::kTabs), 6);

    const char* keep = std::getenv("ORVANE_SCREENSHOT_DIR");
    const std::string dir = keep ? keep : dir_;
    auto picture = [&](const std::string& name) {
        RunUntil([] { return false; }, 200);
        const std::string path = dir + "/" + name + ".png";
        EXPECT_TRUE(ui::wx::SaveScreenshot(*window_, path)) << path;
        EXPECT_TRUE(IsPng(path)) << path;
    };

    ASSERT_TRUE(ui::wx::SelectByUser(*window_, ids::mainwindow::kTabs, 3));
    EXPECT_EQ(window_->Page<CDlgGPRSParam>().GetDlgItemText(ids::gprs::kPhone), L"13800138000");
    EXPECT_EQ(window_->Page<CDlgGPRSParam>().GetDlgItemText(ids::gprs::kServerIp), L"10.20.30.40");
    picture("page-gprs");

    ASSERT_TRUE(ui::wx::SelectByUser(*window_, ids::mainwindow::kTabs, 4));
    CDlgWifi& wifi = window_->Page<CDlgWifi>();
    EXPECT_EQ(wifi.GetDlgItemText(ids::wifi::kApName), L"BWC-GUI-AP");
    EXPECT_EQ(wifi.GetCurSel(ids::wifi::kModeList), 1);
    ASSERT_TRUE(ui::wx::Click(wifi, ids::wifi::kApShow));  // Show password
    EXPECT_FALSE(wifi.IsPasswordStyle(ids::wifi::kApPassword));
    picture("page-wifi");
    ASSERT_TRUE(ui::wx::Click(wifi, ids::wifi::kApShow));
    EXPECT_TRUE(wifi.IsPasswordStyle(ids::wifi::kApPassword));

    ASSERT_TRUE(ui::wx::SelectByUser(*window_, ids::mainwindow::kTabs, 5));
    CDlgCMsv6Setting& cms = window_->Page<CDlgCMsv6Setting>();
    EXPECT_EQ(cms.GetDlgItemText(ids::cmsv6::kDeviceId), L"CAM00042");
    EXPECT_EQ(cms.GetDlgItemText(ids::cmsv6::kServerPort), L"6608");
    EXPECT_EQ(cms.GetDlgItemText(ids::cmsv6::kSsid), L"depot-wifi");
    picture("page-cms");

    ASSERT_TRUE(ui::wx::SelectByUser(*window_, ids::mainwindow::kTabs, 0));
    CDlgMobileLink& link = window_->Page<CDlgMobileLink>();
    ASSERT_TRUE(ui::wx::Click(link, 2));  // Refresh
    EXPECT_EQ(link.GetDlgItemText(ids::mobilelink::kPort), L"8080");
    EXPECT_EQ(link.GetDlgItemText(ids::mobilelink::kUploadInterval), L"30");
    window_->Page<CDlgDeviceInfo>().ShowWindow(false);
    link.ShowWindow(true);
    picture("page-mobilelink");
    link.ShowWindow(false);

    // The address control's text follows the same rule as in the headless backend.
    CDlgGPRSParam& gprs = window_->Page<CDlgGPRSParam>();
    for (const auto& [given, held] : {std::pair<std::wstring, std::wstring>{L"", L""},
                                      {L"0", L"0.0.0.0"},
                                      {L"300.1.2.3", L"255.1.2.3"},
                                      {L"10..3", L"10.0.3.0"}}) {
        gprs.SetDlgItemText(ids::gprs::kServerIp, given);
        EXPECT_EQ(gprs.GetDlgItemText(ids::gprs::kServerIp), held)
            << std::string(given.begin(), given.end());
    }
}

// The More dialogs of the RK20, RK40 and RK50 cameras, each pictured while its modal loop runs.
TEST_F(WxWindowTest, ModelDialogsArePictured) {
    ASSERT_EQ(TKUSB_IsDevice(), 'E');
    {
        auto& camera = drives_.model('E');
        std::lock_guard<std::mutex> lock(camera.lock());
        std::vector<uint8_t> config(128, 0);
        std::memcpy(config.data() + 3, "AB-1234", 7);
        camera.state().records[0xF23E] = config;
    }
    backend_.answerMessagesAutomatically = true;
    std::vector<std::string> pictures;
    backend_.onModalShown = [&](ui::Dialog& dialog) {
        RunUntil([] { return false; }, 200);
        const std::string path = dir_ + "/more-" + std::to_string(dialog.TemplateId()) + ".png";
        if (ui::wx::SaveScreenshot(dialog, path))
            pictures.push_back(path);
        dialog.EndDialog(ui::kIdCancel);
    };
    for (int model : {settings::kModelRk20, settings::kModelRk40, settings::kModelRk50})
        RunMoreDialog(nullptr, model);
    backend_.onModalShown = nullptr;
    backend_.answerMessagesAutomatically = false;
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_NE(pictures[0].find("more-138"), std::string::npos);
    EXPECT_NE(pictures[1].find("more-146"), std::string::npos);
    EXPECT_NE(pictures[2].find("more-147"), std::string::npos);
    for (const std::string& path : pictures)
        EXPECT_TRUE(IsPng(path)) << path;
}

// A screen reader can read a message box while it is open: its name, its text and its buttons
// through AT-SPI. The box is opened by a real click (an accessibility action on the button would
// run the box's modal loop inside the bridge, which then answers nothing until the box closes).
TEST_F(WxWindowTest, AScreenReaderReadsAnOpenMessageBox) {
    if (!getenv("DBUS_SESSION_BUS_ADDRESS") || std::string(ATSPI_READER).empty())
        GTEST_SKIP() << "no session bus for the accessibility bus, or no AT-SPI client";
    window_ = std::make_unique<CMainDlg>();
    ASSERT_TRUE(window_->Create());
    window_->ShowWindow(true);
    ASSERT_TRUE(
        RunUntil([&] { return window_->IsControlEnabled(ids::mainwindow::kLoginButton); }, 5000));

    const std::string output = dir_ + "/reader.txt";
    int readerStatus = -1;
    int boxes = 0;
    wxUIActionSimulator input;
    backend_.onMessageShown = [&](const ui::wx::WxBackend::ShownMessage&) {
        ++boxes;
        // The reader is another process: this one keeps running its toolkit so that the bridge
        // answers.
        const std::string self = std::to_string(getpid());
        const pid_t reader = fork();
        if (reader == 0) {
            if (!freopen(output.c_str(), "w", stdout))
                _exit(3);
            execl(ATSPI_READER, ATSPI_READER, self.c_str(), "10", nullptr);
            _exit(127);
        }
        RunUntil(
            [&] {
                int status = 0;
                if (waitpid(reader, &status, WNOHANG) != reader)
                    return false;
                readerStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return true;
            },
            15000);
        wxRect ok;
        ASSERT_TRUE(ui::wx::MessageBoxButton(ui::kIdOk, ok));
        input.MouseMove(ok.GetLeft() + ok.GetWidth() / 2, ok.GetTop() + ok.GetHeight() / 2);
        RunUntil([] { return false; }, 50);
        input.MouseClick();
        RunUntil([] { return false; }, 50);
    };
    const wxRect login =
        ui::wx::ControlWindow(*window_, ids::mainwindow::kLoginButton)->GetScreenRect();
    input.MouseMove(login.GetLeft() + login.GetWidth() / 2, login.GetTop() + login.GetHeight() / 2);
    RunUntil([] { return false; }, 50);
    input.MouseClick();  // the password box is empty: "Please input password!"
    ASSERT_TRUE(RunUntil([&] { return boxes == 1; }, 5000));
    backend_.onMessageShown = nullptr;
    EXPECT_EQ(window_->GetFocusId(), ids::mainwindow::kPasswordBox);

    ASSERT_EQ(readerStatus, 0);
    std::ifstream in(output);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("window alert Orvane"));
    EXPECT_TRUE(has("text Please input password!"));
    EXPECT_TRUE(has("button OK"));
}

// The program as a user starts it, with camsim as the camera: window title, login and pictures.
TEST(Program, ScriptedRunLogsInAndPicturesEveryWindow) {
    const std::string dir = TempDir();
    const std::string socket = dir + "/camera.sock";
    const pid_t camsim = fork();
    if (camsim == 0) {
        execl(CAMSIM_PROGRAM, CAMSIM_PROGRAM, "--socket", socket.c_str(), "--model", "33", "--wifi",
              "1", "--no-cms", "0", "--serial", "SMOKE00001", "--login-password", "123456",
              nullptr);
        _exit(127);
    }
    for (int i = 0; i < 100 && !fs::exists(socket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(socket));

    const std::string command = std::string("DALVEX_DRIVES='E=unix:") + socket + "' " +
                                ORVANE_PROGRAM + " --scripted " + dir + " --password 123456";
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::vector<std::string> printed;
    char line[1024];
    while (fgets(line, sizeof line, out)) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        printed.push_back(text);
    }
    const int status = pclose(out);
    kill(camsim, SIGTERM);
    waitpid(camsim, nullptr, 0);

    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Before the login, the main window, six tabs and the About box.
    EXPECT_EQ(printed.size(), 9u);
    bool about = false;
    for (const std::string& path : printed) {
        EXPECT_TRUE(IsPng(path)) << path;
        about = about || path.find("about-box") != std::string::npos;
    }
    EXPECT_TRUE(about);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("GDK_GL", "disable", 0);  // as the program does: no OpenGL driver stack
    wxApp::SetInstance(new wxApp());
    int toolkitArgc = 1;
    if (!wxEntryStart(toolkitArgc, argv)) {
        std::fprintf(stderr, "no display: run under xvfb-run\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    return result;
}
