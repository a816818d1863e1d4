// A scripted run of the program, for the demo without a display and for the GUI smoke test: it
// waits for the camera, logs in with a given password, and writes a PNG of the main window, of
// each tab and of the About box, then closes the main window.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace ui::wx {
class WxBackend;
}

struct ScriptedRunOptions {
    std::string password;       // typed into the password box
    std::string screenshotDir;  // where the PNG files go
    int timeoutMs = 30000;      // the whole run, from the main window shown to its closing
    // Benchmark: no pictures; prints when the main window was shown (wall clock, ms since the
    // epoch) and the resident memory once logged in.
    bool benchmark = false;
};

struct ScriptedRunSteps;

class ScriptedRun {
  public:
    explicit ScriptedRun(ScriptedRunOptions options);
    ~ScriptedRun();

    // Takes over the backend's modal hook and message boxes.
    void Install(ui::wx::WxBackend& backend);
    // Ends the run's timers; call before the toolkit shuts down.
    void Stop();

    bool Succeeded() const { return succeeded_; }
    const std::vector<std::string>& Screenshots() const { return screenshots_; }

  private:
    friend struct ScriptedRunSteps;
    ScriptedRunOptions options_;
    bool succeeded_ = false;
    std::vector<std::string> screenshots_;
    std::unique_ptr<ScriptedRunSteps> steps_;
};
