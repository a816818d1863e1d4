// camsim: a camera emulator on a Unix socket, for the demo, the tests and anyone without a camera.
//
//   camsim --socket PATH [--model N] [--serial TEXT] [--description TEXT] [--firmware TEXT]
//          [--build TEXT] [--version N] [--wifi 0|1] [--no-cms 0|1] [--card-mib N]
//          [--free-mib N] [--battery N] [--login-password TEXT] [--browse-password TEXT]
//          [--user-password TEXT] [--admin-password TEXT] [--format-polls N] [--reboot-ms N]
//          [--shutdown-ms N] [--mass-storage] [--state FILE] [--card DIR]
//
// A state file, when it exists, overrides the options: it is the camera's memory. It is written
// 0600 (it holds the passwords) through a temporary file of its own.
//
// A drive serves at most 64 connections at once and closes one idle for 30 s. Through a reboot
// or shutdown the camera keeps its socket or port (turning clients away); camsim exits 1, saying
// why, when it cannot listen there, at start or after a restart.
//
// With --card DIR the folder DIR stands in for the camera's card: while the storage is exposed
// the drive names it to the library (the emulated drive's card folder query).
//
// Point the library at it with DALVEX_DRIVES="E=unix:PATH". Serves until SIGINT or SIGTERM and
// removes its socket on the way out.
//
// With --tcp [HOST:]PORT instead of --socket, the camera listens on a TCP port, for callers that
// have no Unix sockets (Windows programs, also under Wine): DALVEX_DRIVES="E=tcp:HOST:PORT".
// HOST is 127.0.0.1 unless given; a host other than the loopback one also needs --tcp-remote,
// since anyone who reaches the port can send the camera commands. Port 0 takes a free port; the
// line camsim prints on start names the address it listens on.
//
// With --usbredir PATH instead of --socket, the camera is a USB mass-storage device served over
// the usbredir protocol, for a virtual machine's usb-redir device to connect to (its guest then
// drives it with its own USB and SCSI stack). --usb-silent SUB makes that camera hang on the
// vendor sub-command SUB (for time-out tests): no answer until the host resets the device.
// --card-image FILE (with --usbredir) makes the disk image FILE the card the guest sees while
// the storage is exposed: read from the file as the guest asks, never written (the disk is
// write-protected), and its size is the card's capacity.
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "camsim/camera_model.h"
#include "camsim/drive_server.h"
#include "camsim/state_file.h"
#include "camsim/usb_redir.h"
#include "emulated_protocol.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

void usage() {
    std::fprintf(
        stderr,
        "usage: camsim --socket PATH | --tcp [HOST:]PORT [--tcp-remote] | --usbredir PATH\n"
        "              [--model N] [--serial TEXT] [--description TEXT]\n"
        "              [--firmware TEXT] [--build TEXT] [--version N] [--wifi 0|1]\n"
        "              [--no-cms 0|1] [--card-mib N] [--free-mib N] [--battery N]\n"
        "              [--login-password TEXT] [--browse-password TEXT]\n"
        "              [--user-password TEXT] [--admin-password TEXT]\n"
        "              [--format-polls N] [--reboot-ms N] [--shutdown-ms N]\n"
        "              [--mass-storage] [--state FILE] [--usb-silent SUB]\n"
        "              [--card DIR] [--card-image FILE (with --usbredir)]\n"
        "A drive serves at most %d connections at once (a newcomer takes the place of one\n"
        "without a request for a second or more) and closes one idle for %d s.\n"
        "Through a reboot or shutdown the camera keeps its socket or port; camsim exits 1 when\n"
        "it cannot listen there. The state file is written 0600: it holds the passwords.\n",
        camsim::ServerLimits{}.maxConnections, camsim::ServerLimits{}.idleMilliseconds / 1000);
}

int serveUsb(camsim::CameraModel& model, const std::string& path, const std::string& stateFile,
             uint16_t silentSubCommand, std::shared_ptr<const camsim::CardImage> card) {
    camsim::UsbIdentity identity;
    identity.serial = model.snapshot().serial;
    camsim::UsbRedirServer server(model, identity, path);
    server.setSilentSubCommand(silentSubCommand);
    server.setCardImage(std::move(card));
    if (!server.listen()) {
        std::fprintf(stderr, "camsim: cannot listen on %s\n", path.c_str());
        return 1;
    }
    std::fprintf(stderr, "camsim: USB camera %s on %s\n", identity.serial.c_str(), path.c_str());
    uint64_t saved = 0;
    server.run([&] {
        if (!stateFile.empty() && server.commandsServed() != saved) {
            saved = server.commandsServed();
            camsim::saveState(stateFile, model.snapshotToSave());
        }
        return g_stop != 0;
    });
    if (!stateFile.empty())
        camsim::saveState(stateFile, model.snapshotToSave());
    return 0;
}

// Whether HOST:PORT names the loopback interface (a host name is looked up).
bool isLoopbackAddress(const std::string& hostPort) {
    std::string host, port;
    if (!dalvex::emulated::splitHostPort(hostPort, host, port))
        return false;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0)
        return false;
    bool loopback = found != nullptr;
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_family == AF_INET) {
            const auto* v4 = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
            loopback = loopback && (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
        } else if (a->ai_family == AF_INET6) {
            const auto* v6 = reinterpret_cast<const sockaddr_in6*>(a->ai_addr);
            loopback = loopback && IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr);
        } else {
            loopback = false;
        }
    }
    ::freeaddrinfo(found);
    return loopback;
}

}  // namespace

int main(int argc, char** argv) {
    std::string socketPath;
    std::string usbredirPath;
    std::string tcpAddress;
    bool tcpRemote = false;
    uint16_t silentSubCommand = 0;
    std::string cardImagePath;
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
        } else if (arg == "--tcp") {
            tcpAddress = value("--tcp");
        } else if (arg == "--tcp-remote") {
            tcpRemote = true;
        } else if (arg == "--usbredir") {
            usbredirPath = value("--usbredir");
        } else if (arg == "--usb-silent") {
            silentSubCommand = uint16_t(std::strtoul(value("--usb-silent"), nullptr, 0));
        } else if (arg == "--card-image") {
            cardImagePath = value("--card-image");
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
        } else if (arg == "--card") {
            char* folder = ::realpath(value("--card"), nullptr);
            struct stat st {};
            if (folder == nullptr || ::stat(folder, &st) != 0 || !S_ISDIR(st.st_mode)) {
                std::fprintf(stderr, "camsim: --card %s is not a folder\n", argv[i]);
                std::free(folder);
                return 2;
            }
            state.cardFolder = folder;
            std::free(folder);
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
    if (int(!socketPath.empty()) + int(!usbredirPath.empty()) + int(!tcpAddress.empty()) != 1) {
        usage();
        return 2;
    }
    if (!cardImagePath.empty() && usbredirPath.empty()) {
        std::fprintf(stderr, "camsim: --card-image needs --usbredir\n");
        return 2;
    }
    if (!tcpAddress.empty()) {
        if (tcpAddress.find(':') == std::string::npos)
            tcpAddress = "127.0.0.1:" + tcpAddress;
        std::string host, port;
        if (!dalvex::emulated::splitHostPort(tcpAddress, host, port)) {
            std::fprintf(stderr, "camsim: --tcp wants [HOST:]PORT with a port of 0 to 65535\n");
            return 2;
        }
        if (!tcpRemote && !isLoopbackAddress(tcpAddress)) {
            std::fprintf(stderr,
                         "camsim: %s is not a loopback address; add --tcp-remote to listen "
                         "there\n",
                         tcpAddress.c_str());
            return 2;
        }
        socketPath = "tcp:" + tcpAddress;
    }
    if (!stateFile.empty() && !camsim::loadState(stateFile, state)) {
        std::fprintf(stderr, "camsim: cannot read state file %s\n", stateFile.c_str());
        return 1;
    }

    std::shared_ptr<camsim::CardImage> card;
    if (!cardImagePath.empty()) {
        card = std::make_shared<camsim::CardImage>();
        std::string error;
        if (!card->open(cardImagePath, error)) {
            std::fprintf(stderr, "camsim: --card-image %s\n", error.c_str());
            return 1;
        }
        // The image is the card: the camera's own records report its size.
        state.cardCapacityMiB = (card->blocks() * camsim::CardImage::kBlockLength) >> 20;
    }

    camsim::CameraModel model(state);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    if (!usbredirPath.empty())
        return serveUsb(model, usbredirPath, stateFile, silentSubCommand, std::move(card));

    camsim::DriveServer server(model, socketPath);
    if (!server.start()) {
        std::fprintf(stderr, "camsim: %s\n", server.failure().c_str());
        return 1;
    }
    std::fprintf(stderr, "camsim: camera %s (model %u) on %s\n", state.serial.c_str(),
                 unsigned(state.modelCode), server.socketPath().c_str());

    uint64_t saved = 0;
    int status = 0;
    while (!g_stop) {
        usleep(100 * 1000);
        if (!stateFile.empty() && server.commandsServed() != saved) {
            saved = server.commandsServed();
            camsim::saveState(stateFile, model.snapshotToSave());
        }
        // Without its address the camera is gone, and whoever holds that address now gets its
        // clients: say so and stop rather than serve on unseen.
        const std::string failure = server.failure();
        if (!failure.empty()) {
            std::fprintf(stderr, "camsim: %s; stopping\n", failure.c_str());
            status = 1;
            break;
        }
    }
    server.stop();
    if (!stateFile.empty())
        camsim::saveState(stateFile, model.snapshotToSave());
    return status;
}
