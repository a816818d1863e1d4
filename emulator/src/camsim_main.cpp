// camsim: a camera emulator on a Unix socket, for the demo, the tests and anyone without a camera.
//
//   camsim --socket PATH [--model N] [--serial TEXT] [--description TEXT] [--firmware TEXT]
//          [--build TEXT] [--version N] [--wifi 0|1] [--no-cms 0|1] [--card-mib N]
//          [--free-mib N] [--battery N] [--login-password TEXT] [--browse-password TEXT]
//          [--user-password TEXT] [--admin-password TEXT] [--format-polls N] [--reboot-ms N]
//          [--shutdown-ms N] [--mass-storage] [--state FILE]
//
// A state file, when it exists, overrides the options: it is the camera's memory.
//
// Point the library at it with DALVEX_DRIVES="E=unix:PATH". Serves until SIGINT or SIGTERM and
// removes its socket on the way out.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "camsim/camera_model.h"
#include "camsim/drive_server.h"
#include "camsim/state_file.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

void usage() {
    std::fprintf(stderr,
                 "usage: camsim --socket PATH [--model N] [--serial TEXT] [--description TEXT]\n"
                 "              [--firmware TEXT] [--build TEXT] [--version N] [--wifi 0|1]\n"
                 "              [--no-cms 0|1] [--card-mib N] [--free-mib N] [--battery N]\n"
                 "              [--login-password TEXT] [--browse-password TEXT]\n"
                 "              [--user-password TEXT] [--admin-password TEXT]\n"
                 "              [--format-polls N] [--reboot-ms N] [--shutdown-ms N]\n"
                 "              [--mass-storage] [--state FILE]\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string socketPath;
    std::string stateFile;
    camsim::CameraState state;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "camsim: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--socket") {
            socketPath = value("--socket");
        } else if (arg == "--model") {
            state.modelCode = uint8_t(std::atoi(value("--model")));
        } else if (arg == "--serial") {
            state.serial = value("--serial");
        } else if (arg == "--description") {
            state.description = value("--description");
        } else if (arg == "--firmware") {
            state.firmware = value("--firmware");
        } else if (arg == "--wifi") {
            state.wifiFlag = uint8_t(std::atoi(value("--wifi")));
        } else if (arg == "--no-cms") {
            state.noCmsFlag = uint8_t(std::atoi(value("--no-cms")));
        } else if (arg == "--card-mib") {
            state.cardCapacityMiB = std::strtoull(value("--card-mib"), nullptr, 10);
        } else if (arg == "--build") {
            state.buildVersion = value("--build");
        } else if (arg == "--version") {
            state.version = uint16_t(std::strtoul(value("--version"), nullptr, 0));
        } else if (arg == "--free-mib") {
            state.freeSpaceMiB = std::strtoull(value("--free-mib"), nullptr, 10);
        } else if (arg == "--battery") {
            state.battery = std::atoi(value("--battery"));
        } else if (arg == "--login-password") {
            state.loginPassword = value("--login-password");
        } else if (arg == "--browse-password") {
            state.browsePassword = value("--browse-password");
        } else if (arg == "--user-password") {
            state.userPassword = value("--user-password");
        } else if (arg == "--admin-password") {
            state.adminPassword = value("--admin-password");
        } else if (arg == "--format-polls") {
            state.formatPolls = std::atoi(value("--format-polls"));
        } else if (arg == "--reboot-ms") {
            state.rebootMilliseconds = std::atoi(value("--reboot-ms"));
        } else if (arg == "--shutdown-ms") {
            state.shutdownMilliseconds = std::atoi(value("--shutdown-ms"));
        } else if (arg == "--mass-storage") {
            state.massStorage = true;
        } else if (arg == "--state") {
            stateFile = value("--state");
        } else if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "camsim: unknown option %s\n", arg.c_str());
            usage();
            return 2;
        }
    }
    if (socketPath.empty()) {
        usage();
        return 2;
    }
    if (!stateFile.empty() && !camsim::loadState(stateFile, state)) {
        std::fprintf(stderr, "camsim: cannot read state file %s\n", stateFile.c_str());
        return 1;
    }

    camsim::CameraModel model(state);
    camsim::DriveServer server(model, socketPath);
    if (!server.start()) {
        std::fprintf(stderr, "camsim: cannot listen on %s\n", socketPath.c_str());
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::fprintf(stderr, "camsim: camera %s (model %u) on %s\n", state.serial.c_str(),
                 unsigned(state.modelCode), socketPath.c_str());

    uint64_t saved = 0;
    while (!g_stop) {
        usleep(100 * 1000);
        if (!stateFile.empty() && server.commandsServed() != saved) {
            saved = server.commandsServed();
            camsim::saveState(stateFile, model.snapshot());
        }
    }
    server.stop();
    if (!stateFile.empty())
        camsim::saveState(stateFile, model.snapshot());
    return 0;
}
