// Test support: emulated drives served in-process, and capture of the library's log lines.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "camsim/camera_model.h"
#include "camsim/drive_server.h"

namespace testsupport {

// A set of emulated drives on letters, published through DALVEX_DRIVES for the life of the
// object. Each drive is a camera model behind its own socket.
class EmulatedDrives {
  public:
    EmulatedDrives() {
        char pattern[] = "/tmp/dalvex-test-XXXXXX";
        dir_ = mkdtemp(pattern);
        publish();
    }
    ~EmulatedDrives() {
        drives_.clear();
        unsetenv("DALVEX_DRIVES");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Adds a drive on a letter and starts serving it. Returns its model.
    camsim::CameraModel& add(char letter, camsim::CameraState state = {}) {
        auto& drive = drives_[letter];
        drive = std::make_unique<Drive>();
        drive->model = std::make_unique<camsim::CameraModel>(std::move(state));
        drive->server = std::make_unique<camsim::DriveServer>(*drive->model, socketOf(letter));
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

    // A letter that is listed in DALVEX_DRIVES but whose socket does not exist.
    void addEmpty(char letter) {
        empty_ += std::string(1, letter);
        publish();
    }

    camsim::CameraModel& model(char letter) { return *drives_.at(letter)->model; }
    camsim::DriveServer& server(char letter) { return *drives_.at(letter)->server; }
    std::string socketOf(char letter) const { return dir_ + "/drive-" + letter + ".sock"; }

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
        for (const auto& [letter, drive] : drives_) {
            value += std::string(1, letter) + "=unix:" + socketOf(letter) + ";";
        }
        for (char letter : empty_) {
            value += std::string(1, letter) + "=unix:" + socketOf(letter) + ";";
        }
        setenv("DALVEX_DRIVES", value.c_str(), 1);
    }

    std::string dir_;
    std::string empty_;
    std::map<char, std::unique_ptr<Drive>> drives_;
};

// Captures what the library writes to standard error while the object lives.
class StderrCapture {
  public:
    StderrCapture() {
        std::fflush(stderr);
        char pattern[] = "/tmp/dalvex-log-XXXXXX";
        fd_ = mkstemp(pattern);
        path_ = pattern;
        saved_ = dup(2);
        dup2(fd_, 2);
    }
    ~StderrCapture() {
        restore();
        close(fd_);
        unlink(path_.c_str());
    }
    // Everything written so far (stops the capture).
    std::string text() {
        restore();
        std::string out;
        lseek(fd_, 0, SEEK_SET);
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd_, buffer, sizeof buffer)) > 0)
            out.append(buffer, size_t(n));
        return out;
    }

  private:
    void restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            dup2(saved_, 2);
            close(saved_);
            saved_ = -1;
        }
    }
    int fd_ = -1;
    int saved_ = -1;
    std::string path_;
};

}  // namespace testsupport
