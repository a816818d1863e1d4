// time sync, format, reboot and storage: the camera's actions.
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "command_table.h"

namespace cli {

namespace {

constexpr int kFormatPolls = 120;                 // a second each
constexpr std::chrono::seconds kRestartWait{30};  // for a reboot
constexpr std::chrono::milliseconds kRestartPoll{250};

// Waits for a camera to answer again after it restarted, saying so once a second.
bool waitForCamera(Session& s, const Camera& c, const char* what) {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const int polls = int(kRestartWait / kRestartPoll);
    const int pollsPerSecond = int(std::chrono::seconds(1) / kRestartPoll);
    for (int poll = 0; poll < polls; ++poll) {
        if (c.handle().present())
            return true;
        if (poll % pollsPerSecond == 0)
            s.say(std::string(1, c.letter) + ": " + what + " (" +
                  std::to_string(poll / pollsPerSecond) + " s)");
        std::this_thread::sleep_for(kRestartPoll);
    }
    return false;
}

std::vector<AuditChange> noChanges(const Camera&) {
    return {};
}

}  // namespace

void syncTime(Session& s, Invocation&, const std::vector<Camera>& cameras) {
    forEachCamera(
        s, cameras, "time",
        [](const Camera&) {
            return std::vector<AuditChange>{
                {"clock", Json::Value(), formatNow("%Y-%m-%d %H:%M:%S", false)}};
        },
        [](const Camera& c) {
            return c.handle().syncClock() ? std::string() : "the camera refused the time";
        });
}

bool confirmFormat(Session& s, const std::vector<Camera>& cameras) {
    if (s.options().yes)
        return true;
    if (!isatty(STDIN_FILENO)) {
        s.fail(kExitUsage, "format erases every recording: confirm with --yes");
        return false;
    }
    std::cerr << "Format the card of";
    for (const Camera& c : cameras)
        std::cerr << " " << cameraLabel(c);
    std::cerr << "? Every recording is erased. [y/N] ";
    std::string answer;
    std::getline(std::cin, answer);
    if (answer != "y" && answer != "Y" && answer != "yes") {
        s.fail(kExitUsage, "format not confirmed, nothing done");
        return false;
    }
    return true;
}

void formatCards(Session& s, Invocation&, const std::vector<Camera>& cameras) {
    forEachCamera(s, cameras, "format", noChanges, [&s](const Camera& c) {
        const dalvex::Camera camera = c.handle();
        if (!camera.startFormat())
            return std::string("the camera refused to format");
        for (int poll = 1; poll <= kFormatPolls; ++poll) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            if (camera.formatFinished())
                return std::string();
            s.say(std::string(1, c.letter) + ": formatting (" + std::to_string(poll) + " s)");
        }
        return std::string("the format did not finish within ") + std::to_string(kFormatPolls) +
               " s";
    });
}

void rebootCameras(Session& s, Invocation&, const std::vector<Camera>& cameras) {
    forEachCamera(s, cameras, "reboot", noChanges, [&s](const Camera& c) {
        if (!c.handle().reboot())
            return std::string("the camera refused to restart");
        if (!waitForCamera(s, c, "restarting"))
            return std::string("the camera did not come back within ") +
                   std::to_string(kRestartWait.count()) + " s";
        return std::string();
    });
}

bool checkStorage(Session& s, Invocation& in) {
    if (in.action != "expose" && in.action != "release") {
        s.fail(kExitUsage, "storage takes expose or release");
        return false;
    }
    return true;
}

void switchStorage(Session& s, Invocation& in, const std::vector<Camera>& cameras) {
    const std::string& direction = in.action;
    const std::string password = s.loginPassword();
    const auto changesOf = [&](const Camera& c) {
        return std::vector<AuditChange>{{"storage", c.storageExposed ? "exposed" : "released",
                                         direction == "expose" ? "exposed" : "released"}};
    };
    forEachCamera(s, cameras, "storage", changesOf, [&](const Camera& c) {
        const dalvex::Camera camera = c.handle();
        const bool done = direction == "expose" ? camera.exposeStorage(password)
                                                : camera.releaseStorage(password);
        if (!done)
            return std::string("the camera refused the storage ") + direction;
        return std::string();
    });
}

}  // namespace cli
