// orvane: the camera manager.
//
//   orvane                                   the program
//   orvane --scripted DIR --password PIN     a scripted run: waits for the camera, logs in with
//                                            PIN, writes PNG pictures of every window into DIR
//                                            and prints their paths (for the demo and the tests)
//   orvane --benchmark --password PIN        prints when the window was shown and the resident
//                                            memory after the login, then ends
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app.h"
#include "demo.h"
#include "ui/wx_backend.h"
#include "ui/wx_native.h"

namespace {

// The application with a scripted run around it.
class ScriptedApp : public CManagerApp {
  public:
    explicit ScriptedApp(ScriptedRun* run) : run_(run) {}
    bool InitInstance() override {
        const bool result = CManagerApp::InitInstance();
        if (run_)
            run_->Stop();
        return result;
    }

  private:
    ScriptedRun* run_;
};

}  // namespace

namespace {
long long EpochMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}
}  // namespace

int main(int argc, char** argv) {
    const long long entered = EpochMs();
    ScriptedRunOptions options;
    bool scripted = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scripted") == 0 && i + 1 < argc) {
            scripted = true;
            options.screenshotDir = argv[++i];
        } else if (std::strcmp(argv[i], "--password") == 0 && i + 1 < argc) {
            options.password = argv[++i];
        } else if (std::strcmp(argv[i], "--benchmark") == 0) {
            scripted = true;
            options.benchmark = true;
        } else if (std::strcmp(argv[i], "--timeout-ms") == 0 && i + 1 < argc) {
            options.timeoutMs = std::atoi(argv[++i]);
        }
    }

    if (options.benchmark)
        std::printf("main_epoch_ms %lld\n", entered);
    ui::wx::native::PrepareNativeToolkit();
    ui::wx::WxBackend backend;
    ScriptedRun run(options);
    if (scripted)
        run.Install(backend);
    ScriptedApp app(scripted ? &run : nullptr);
    // Only the program's own name goes to the toolkit: the options above are ours.
    int toolkitArgc = 1;
    const int code = ui::wx::RunApplication(app, backend, toolkitArgc, argv);
    if (!scripted)
        return code;
    for (const std::string& path : run.Screenshots())
        std::printf("%s\n", path.c_str());
    return run.Succeeded() ? 0 : 1;
}
