// The wxWidgets backend under a display (Xvfb in CI): real windows, accessible names and ids, and
// pictures of every window; and the program itself, run against camsim in its scripted mode.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/init.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dalvex.h"
#include "langtable.h"
#include "mainwindow.h"
#include "pages/more_dialogs.h"
#include "support/emulated_cameras.h"
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
    ASSERT_TRUE(RunUntil([&] { return window_->IsControlEnabled(1000); }, 5000));
    EXPECT_EQ(window_->GetDlgItemText(1004), L"GUI0000001");
    ASSERT_TRUE(ui::wx::SaveScreenshot(*window_, dir_ + "/before-login.png"));

    window_->SetDlgItemText(1000, L"123456");
    ASSERT_TRUE(ui::wx::Click(*window_, 1001));
    ASSERT_EQ(window_->GetCount(1002), 6);
    EXPECT_FALSE(window_->IsControlEnabled(1000));

    std::vector<std::string> pictures = {dir_ + "/before-login.png"};
    const int pages[] = {106, 107, 108, 110, 136, 139};
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(ui::wx::SelectByUser(*window_, 1002, i));
        RunUntil([] { return false; }, 200);
        ui::Dialog* shown = nullptr;
        ui::Dialog* all[] = {&window_->DeviceInfoPage(), &window_->ParamPage(),
                             &window_->DevCtrlPage(),    &window_->GprsPage(),
                             &window_->WifiPage(),       &window_->CmsPage()};
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
    EXPECT_EQ(ui::wx::AccessibleNameOf(*window_, 1000), "Password:");
    EXPECT_EQ(ui::wx::AccessibleIdOf(*window_, 1000), "1000");
    EXPECT_EQ(ui::wx::AccessibleNameOf(*window_, 1001), "OK");
    EXPECT_EQ(ui::wx::AccessibleNameOf(*window_, 1003), "Cancel");
    EXPECT_EQ(ui::wx::AccessibleIdOf(*window_, 1003), "1003");
    EXPECT_EQ(ui::wx::AccessibleNameOf(window_->DeviceInfoPage(), 1013), "User name:");
    EXPECT_EQ(ui::wx::AccessibleNameOf(window_->WifiPage(), 1057), "Show password");
    EXPECT_EQ(ui::wx::AccessibleNameOf(window_->GprsPage(), 1150), "IP:");
}

TEST_F(WxWindowTest, PasswordStyleSwitchesAtRunTimeAndListsKeepTheirEntries) {
    window_ = std::make_unique<CMainDlg>();
    ASSERT_TRUE(window_->Create());
    CDlgWifi& wifi = window_->WifiPage();
    EXPECT_TRUE(wifi.IsPasswordStyle(1056));
    wifi.SetPasswordStyle(1056, false);
    EXPECT_FALSE(wifi.IsPasswordStyle(1056));
    EXPECT_EQ(wifi.GetCount(1054), 2);
    EXPECT_EQ(wifi.GetItemText(1054, 0), L"Station");
    EXPECT_EQ(wifi.GetCurSel(1054), 0);
    CDlgGPRSParam& gprs = window_->GprsPage();
    gprs.SetDlgItemText(1150, L"192.168.1.20");
    EXPECT_EQ(gprs.GetDlgItemText(1150), L"192.168.1.20");
    ui::DateTime date{2019, 7, 14, 0, 0, 0};
    window_->DevCtrlPage().SetDateTime(1163, date);
    const ui::DateTime read = window_->DevCtrlPage().GetDateTime(1163);
    EXPECT_EQ(read.year, 2019);
    EXPECT_EQ(read.month, 7);
    EXPECT_EQ(read.day, 14);
    window_->DevCtrlPage().SetDateTime(1162, ui::DateTime{2020, 1, 1, 13, 45, 30});
    const ui::DateTime time = window_->DevCtrlPage().GetDateTime(1162);
    EXPECT_EQ(time.hour, 13);
    EXPECT_EQ(time.minute, 45);
    EXPECT_EQ(time.second, 30);
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
    for (int model : {kMoreModelRk20, kMoreModelRk40, kMoreModelRk50})
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
