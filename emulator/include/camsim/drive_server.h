// Serves a camera model on a Unix stream socket (the address is its path) or on a TCP port
// (the address is "tcp:HOST:PORT") with the emulated-drive protocol, one thread per connection,
// and lets tests inject faults and unplug the camera.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camsim/camera_model.h"
#include "camsim/server_sockets.h"

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

// What one server lets its clients hold.
struct ServerLimits {
    // With every place taken, a new client takes the place of the one that has waited longest
    // since its last request, if that is at least evictMilliseconds ago (so that clients which
    // trickle bytes cannot hold every place); otherwise it is accepted and closed at once.
    int maxConnections = 64;
    int idleMilliseconds = 30000;  // a client that sends or takes nothing this long is closed
    int evictMilliseconds = 1000;
};

class DriveServer {
  public:
    DriveServer(CameraModel& model, std::string socketPath, ServerLimits limits = ServerLimits{});
    ~DriveServer();
    DriveServer(const DriveServer&) = delete;
    DriveServer& operator=(const DriveServer&) = delete;

    // Binds the socket (removing a stale file first) and starts accepting. False on failure,
    // which failure() then describes.
    bool start();
    // Stops accepting, closes every connection and removes the socket file.
    void stop();

    // The next count commands (SCSI commands, not size queries) meet fault.
    void injectFault(Fault fault, int count = 1);
    // Unplug closes the listener (a Unix socket's file goes with it) so the drive vanishes; plug
    // listens again. Both return once the listener has followed (connections already open stay
    // open).
    void unplug();
    void plug();
    // The camera restarts or is off for the given time (reboot, shutdown): the drive vanishes but
    // keeps its address, so that nobody else can take it meanwhile. The listener stays open and
    // turns every client away at once; a Unix socket's file is moved aside to a fresh name in its
    // folder (the library sees a drive by that file) and back afterwards, never over a file that
    // appeared there meanwhile.
    void disappearFor(int milliseconds);
    // Why the server could not listen at its address, at start or after an unplug or a restart;
    // empty while it never failed. A server keeps trying, but a program should say so and stop:
    // whoever took its address meanwhile now gets the camera's clients.
    std::string failure();

    const std::string& socketPath() const { return path_; }
    uint64_t commandsServed() const { return served_.load(); }

    // One client's byte stream: read fills exactly size bytes, write sends them all; false when
    // the stream has ended or failed.
    struct Stream {
        std::function<bool(uint8_t* data, size_t size)> read;
        std::function<bool(const uint8_t* data, size_t size)> write;
    };
    // Answers the requests of one client until its stream ends or breaks the protocol (a bad
    // magic, an oversized length, an unknown direction). Each connection runs this.
    void serveStream(const Stream& stream);

  private:
    void acceptLoop(net::Socket listener);
    void serveConnection(net::Socket connection);
    // Ends the connection longest without a request, if it waited long enough; with mutex_.
    bool evictLongestWaiting();
    net::Socket bindSocket();
    enum class Presence { kServing, kRestarting, kUnplugged };
    void requestPresence(Presence presence);
    void wakeAcceptLoop();
    Fault takeFault();
    void joinReplug();

    CameraModel& model_;
    std::string path_;
    ServerLimits limits_;
    std::atomic<bool> running_{false};
    std::thread acceptThread_;
    net::Socket waker_[2] = {net::kNoSocket, net::kNoSocket};  // interrupts the loop's wait
    std::mutex mutex_;
    // The accept loop alone opens, moves and closes the listener; plug, unplug and a restart ask
    // for a state and wait until the loop has reached it.
    Presence want_ = Presence::kUnplugged;
    std::string failure_;
    uint64_t plugRequests_ = 0;
    uint64_t plugRequestsDone_ = 0;
    std::condition_variable plugDone_;
    std::condition_variable connectionsDone_;
    std::vector<net::Socket> connections_;
    // When each connection last brought a whole request header (guarded by mutex_).
    std::map<net::Socket, std::chrono::steady_clock::time_point> lastRequest_;
    int activeConnections_ = 0;
    Fault fault_ = Fault::kNone;
    int faultCount_ = 0;
    std::atomic<uint64_t> served_{0};
    std::mutex replugMutex_;  // guards replugThread_: a reboot arrives on a connection thread
    std::thread replugThread_;
};

}  // namespace camsim
