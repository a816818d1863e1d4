// Test support: emulated drives served in-process, and capture of the library's log lines.
#pragma once

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "camsim/camera_model.h"
#include "camsim/drive_server.h"
#include "camsim/server_sockets.h"
#include "support/portable.h"
#include "support/stderr_capture.h"

namespace testsupport {

// A set of emulated drives on letters, published through DALVEX_DRIVES for the life of the
// object. Each drive is a camera model behind its own socket.
class EmulatedDrives {
  public:
    EmulatedDrives() : dir_(makeTempFolder("dalvex-test-")) { publish(); }
    ~EmulatedDrives() {
        drives_.clear();
        clearEnvironment("DALVEX_DRIVES");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Adds a drive on a letter and starts serving it. Returns its model.
    camsim::CameraModel& add(char letter, camsim::CameraState state = {}) {
        auto& drive = drives_[letter];
        drive = std::make_unique<Drive>();
        drive->model = std::make_unique<camsim::CameraModel>(std::move(state));
        drive->server =
            std::make_unique<camsim::DriveServer>(*drive->model, driveAddress(dir_, letter));
        drive->server->start();
        publish();
        return *drive->model;
    }

    // A plain USB stick of the given size: refuses every vendor command.
    camsim::CameraModel& addStick(char letter, uint64_t mebibytes) {
        camsim::CameraState state;
        state.isCamera = false;
        state.description.clear();
        state.massStorage = true;
        state.cardCapacityMiB = mebibytes;
        return add(letter, state);
    }

    // A letter that is listed in DALVEX_DRIVES but where nothing listens: a socket file that
    // does not exist, or a loopback port that was free a moment ago.
    void addEmpty(char letter) {
        std::string address = driveAddress(dir_, letter);
        const camsim::net::Socket probe = camsim::net::listenOn(address);
        if (probe != camsim::net::kNoSocket) {
            camsim::net::closeSocket(probe);
            camsim::net::removeSocketFile(address);
        }
        empty_[letter] = address;
        publish();
    }

    camsim::CameraModel& model(char letter) { return *drives_.at(letter)->model; }
    camsim::DriveServer& server(char letter) { return *drives_.at(letter)->server; }

  private:
    struct Drive {
        std::unique_ptr<camsim::CameraModel> model;
        std::unique_ptr<camsim::DriveServer> server;
        ~Drive() {
            if (server)
                server->stop();
        }
    };

    void publish() {
        std::string value;
        for (const auto& [letter, drive] : drives_)
            value += std::string(1, letter) + "=" + driveTarget(drive->server->socketPath()) + ";";
        for (const auto& [letter, address] : empty_)
            value += std::string(1, letter) + "=" + driveTarget(address) + ";";
        setEnvironment("DALVEX_DRIVES", value);
    }

    std::filesystem::path dir_;
    std::map<char, std::string> empty_;
    std::map<char, std::unique_ptr<Drive>> drives_;
};

}  // namespace testsupport
