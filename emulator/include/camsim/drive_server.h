// Serves a camera model on a Unix stream socket with the emulated-drive protocol, one thread per
// connection, and lets tests inject faults and unplug the camera.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camsim/camera_model.h"

namespace camsim {

enum class Fault {
    kNone,
    kRefuse,      // the command is answered with CHECK CONDITION and no data
    kSilent,      // no reply at all until the client gives up
    kDrop,        // the connection is closed instead of replying
    kShortData,   // a data-in reply carries only half of the bytes asked for
    kShortFrame,  // the reply frame stops in the middle of its header
    kGarbage,     // the reply frame has a bad magic
    kPassFail,    // the reply says the pass-through call failed (error code 0x1F)
};

class DriveServer {
  public:
    DriveServer(CameraModel& model, std::string socketPath);
    ~DriveServer();
    DriveServer(const DriveServer&) = delete;
    DriveServer& operator=(const DriveServer&) = delete;

    // Binds the socket (removing a stale file first) and starts accepting. False on failure.
    bool start();
    // Stops accepting, closes every connection and removes the socket file.
    void stop();

    // The next count commands (SCSI commands, not size queries) meet fault.
    void injectFault(Fault fault, int count = 1);
    // Unplug removes the socket file so the drive vanishes; plug brings it back.
    void unplug();
    void plug();
    // Unplugs for the given time, then plugs again (reboot, shutdown).
    void disappearFor(int milliseconds);

    const std::string& socketPath() const { return path_; }
    uint64_t commandsServed() const { return served_.load(); }

  private:
    void acceptLoop();
    void serveConnection(int fd);
    bool bindSocket();
    Fault takeFault();
    void joinReplug();

    CameraModel& model_;
    std::string path_;
    int listenFd_ = -1;
    std::atomic<bool> running_{false};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::condition_variable connectionsDone_;
    std::vector<int> connections_;
    int activeConnections_ = 0;
    Fault fault_ = Fault::kNone;
    int faultCount_ = 0;
    std::atomic<uint64_t> served_{0};
    std::mutex replugMutex_;  // guards replugThread_: a reboot arrives on a connection thread
    std::thread replugThread_;
};

}  // namespace camsim
