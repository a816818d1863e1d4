#include "demo.h"

#include <sys/resource.h>
#include <wx/timer.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "mainwindow.h"
#include "res/control_ids.h"
#include "ui/wx_backend.h"

namespace {
using ids::mainwindow::kLoginButton;
using ids::mainwindow::kPasswordBox;
using ids::mainwindow::kTabs;
constexpr int kPollMs = 100;
constexpr int kSettleMs = 400;  // lets a page that was just shown paint before its picture

// Resident set size of this process in KiB, from /proc.
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

std::string FileSafe(const std::wstring& text) {
    std::string out;
    for (wchar_t ch : text) {
        if ((ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') || (ch >= L'0' && ch <= L'9'))
            out.push_back(char(ch));
        else if (!out.empty() && out.back() != '-')
            out.push_back('-');
    }
    while (!out.empty() && out.back() == '-')
        out.pop_back();
    return out;
}
}  // namespace

// The steps, driven by a timer inside the main window's modal loop.
struct ScriptedRunSteps {
    enum class Step { kWaitCamera, kWaitLogin, kTabs, kAbout, kDone };

    ScriptedRun& run;
    ui::Dialog& main;
    wxTimer timer;
    Step step = Step::kWaitCamera;
    int tab = 0;
    bool tabShot = false;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point stepStarted = started;

    ScriptedRunSteps(ScriptedRun& r, ui::Dialog& m) : run(r), main(m) {
        if (run.options_.benchmark) {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::printf("shown_epoch_ms %lld\n",
                        static_cast<long long>(
                            std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
            // Processor time used so far: on a loaded machine the wall clock says little.
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            std::printf("cpu_ms_at_shown %ld\n",
                        (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
                            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000);
            std::fflush(stdout);
        }
        timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Tick(); });
        timer.Start(kPollMs);
    }

    int SinceStep() const {
        return int(std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - stepStarted)
                       .count());
    }
    void Next(Step s) {
        step = s;
        stepStarted = std::chrono::steady_clock::now();
    }

    bool Shoot(ui::Dialog& dialog, const std::string& name) {
        if (run.options_.benchmark)
            return true;
        const std::string path = run.options_.screenshotDir + "/" + name + ".png";
        if (!ui::wx::SaveScreenshot(dialog, path)) {
            std::fprintf(stderr, "orvane: could not write %s\n", path.c_str());
            return false;
        }
        run.screenshots_.push_back(path);
        return true;
    }

    void Finish(bool ok) {
        timer.Stop();
        run.succeeded_ = ok;
        Next(Step::kDone);
        main.EndDialog(ui::kIdCancel);
    }

    void Tick() {
        const auto elapsed = std::chrono::steady_clock::now() - started;
        if (elapsed > std::chrono::milliseconds(run.options_.timeoutMs)) {
            std::fprintf(stderr, "orvane: scripted run timed out\n");
            Finish(false);
            return;
        }
        switch (step) {
            case Step::kWaitCamera:
                if (main.IsControlEnabled(kPasswordBox)) {
                    Shoot(main, "main-window-camera-found");
                    main.SetDlgItemText(kPasswordBox, std::wstring(run.options_.password.begin(),
                                                                   run.options_.password.end()));
                    ui::wx::Click(main, kLoginButton);
                    Next(Step::kWaitLogin);
                }
                break;
            case Step::kWaitLogin:
                // A login disables the password box; a refused one leaves it usable.
                if (!main.IsControlEnabled(kPasswordBox)) {
                    if (run.options_.benchmark) {
                        ui::wx::ProcessPending();
                        std::printf("resident_kib_after_login %ld\n", ResidentKiB());
                        Finish(true);
                        break;
                    }
                    Next(Step::kTabs);
                } else if (SinceStep() > 3000) {
                    std::fprintf(stderr, "orvane: login refused\n");
                    Finish(false);
                }
                break;
            case Step::kTabs:
                if (tab >= main.GetCount(kTabs)) {
                    Next(Step::kAbout);
                    ui::wx::SelectByUser(main, kTabs, 0);
                    // The About box runs its own modal loop; the hook takes its picture.
                    main.Dispatch(ui::EventKind::kSysCommand, CMainDlg::kAboutCommand);
                    break;
                }
                if (!tabShot) {
                    ui::wx::SelectByUser(main, kTabs, tab);
                    tabShot = true;
                    Next(Step::kTabs);
                } else if (SinceStep() >= kSettleMs) {
                    Shoot(main, "tab-" + std::to_string(tab) + "-" +
                                    FileSafe(main.GetItemText(kTabs, tab)));
                    if (tab == 0)
                        Shoot(main, "main-window");
                    ++tab;
                    tabShot = false;
                }
                break;
            case Step::kAbout:
                Finish(true);
                break;
            case Step::kDone:
                break;
        }
    }
};

ScriptedRun::ScriptedRun(ScriptedRunOptions options) : options_(std::move(options)) {}

ScriptedRun::~ScriptedRun() = default;

void ScriptedRun::Stop() {
    steps_.reset();
}

void ScriptedRun::Install(ui::wx::WxBackend& backend) {
    backend.answerMessagesAutomatically = true;
    backend.onModalShown = [this](ui::Dialog& dialog) {
        auto& steps = steps_;
        if (dialog.TemplateId() == CMainDlg::kTemplateId) {
            steps = std::make_unique<ScriptedRunSteps>(*this, dialog);
            return;
        }
        // Any other modal window (the About box): its picture, then close it.
        wxMilliSleep(kSettleMs);
        ui::wx::ProcessPending();
        if (steps)
            steps->Shoot(dialog, "about-box");
        dialog.EndDialog(ui::kIdOk);
    };
}
