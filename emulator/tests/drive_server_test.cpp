// The drive server under load and abuse: many servers in one process, unplugs and replugs while
// clients are connected, and clients that break the framing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camsim/camera_model.h"
#include "camsim/drive_server.h"
#include "emulated_protocol.h"

namespace {

using namespace dalvex::emulated;
using Bytes = std::vector<uint8_t>;

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/camsim-server-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// A raw client of the emulated-drive protocol.
class Client {
  public:
    // A Unix socket's path, or "tcp:127.0.0.1:PORT".
    explicit Client(const std::string& address) {
        sockaddr_un local{};
        sockaddr_in tcp{};
        sockaddr* to = reinterpret_cast<sockaddr*>(&local);
        socklen_t length = sizeof local;
        if (isTcpTarget(address)) {
            tcp = loopback(address);
            to = reinterpret_cast<sockaddr*>(&tcp);
            length = sizeof tcp;
        } else {
            local.sun_family = AF_UNIX;
            std::strncpy(local.sun_path, address.c_str(), sizeof local.sun_path - 1);
        }
        fd_ = ::socket(to->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd_, to, length) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    static sockaddr_in loopback(const std::string& address) {
        sockaddr_in tcp{};
        tcp.sin_family = AF_INET;
        tcp.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        tcp.sin_port = htons(uint16_t(std::stoi(address.substr(address.rfind(':') + 1))));
        return tcp;
    }
    ~Client() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool connected() const { return fd_ >= 0; }

    bool send(const Bytes& bytes) {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    }
    // Up to size bytes within the time; fewer when the peer closes or goes quiet.
    Bytes receive(size_t size, int milliseconds = 2000) {
        Bytes out;
        while (out.size() < size) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, milliseconds) <= 0)
                break;
            uint8_t buffer[256];
            const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, size - out.size()), 0);
            if (n <= 0)
                break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }
    // True when the server closed the connection (end of stream) within the time.
    bool closedByServer(int milliseconds = 2000) {
        pollfd p{fd_, POLLIN, 0};
        uint8_t byte;
        return ::poll(&p, 1, milliseconds) == 1 && ::recv(fd_, &byte, 1, 0) == 0;
    }

    // Reads the camera's serial number; empty when no proper answer came.
    std::string serial() {
        if (!send(serialRequest()))
            return {};
        const Bytes head = receive(kReplyHeaderSize);
        ReplyHeader reply;
        if (head.size() != kReplyHeaderSize || !reply.decode(head.data()) || !reply.ok)
            return {};
        const Bytes data = receive(reply.dataLength);
        return std::string(data.begin(), std::find(data.begin(), data.end(), 0));
    }

    static Bytes frame(const RequestHeader& header, const Bytes& data = {}) {
        Bytes out(kRequestHeaderSize);
        header.encode(out.data());
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }
    static Bytes rebootRequest() {
        RequestHeader header;
        header.direction = kDataOut;
        header.cdb[0] = 0xB8;
        header.cdb[2] = 0x01;
        header.cdb[3] = 0xF0;
        header.dataLength = 1;
        Bytes out = frame(header);
        out.push_back(0x61);  // the action byte
        return out;
    }
    static Bytes serialRequest() {
        RequestHeader header;
        header.cdb[0] = 0xB8;
        header.cdb[2] = 0x0F;
        header.cdb[3] = 0xF2;
        header.dataLength = 32;
        return frame(header);
    }

  private:
    int fd_ = -1;
};

struct Camera {
    Camera(const std::string& path, const std::string& serial) {
        camsim::CameraState state;
        state.serial = serial;
        model = std::make_unique<camsim::CameraModel>(state);
        server = std::make_unique<camsim::DriveServer>(*model, path);
    }
    std::unique_ptr<camsim::CameraModel> model;
    std::unique_ptr<camsim::DriveServer> server;
};

size_t openDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Servers come and go while others are unplugged and replugged: every answer comes from the
// camera behind the socket that was asked, and overlapping plugs leave no descriptor behind.
TEST(DriveServer, ManyServersAnswerEachWithItsOwnCamera) {
    TempDir dir;
    constexpr int kServers = 6;
    const size_t descriptorsBefore = openDescriptors();
    std::vector<std::unique_ptr<Camera>> cameras;
    for (int i = 0; i < kServers; ++i) {
        const std::string name = "CAM" + std::to_string(i);
        cameras.push_back(std::make_unique<Camera>(dir.file(name), name));
        ASSERT_TRUE(cameras.back()->server->start());
    }
    int generation = 0;
    for (int round = 0; round < 40; ++round) {
        const int a = round % kServers;
        const int b = (round + 1) % kServers;
        cameras[a]->server->unplug();
        // A fresh server takes the place of b, likely on the descriptor numbers a just gave up.
        const std::string name = "NEW" + std::to_string(generation++);
        cameras[b] = std::make_unique<Camera>(dir.file(name), name);
        ASSERT_TRUE(cameras[b]->server->start());
        for (int k = 0; k < 10; ++k) {
            Client client(dir.file(name));
            ASSERT_TRUE(client.connected());
            ASSERT_EQ(client.serial(), name) << "round " << round;
        }
        std::thread other([&] { cameras[a]->server->plug(); });
        cameras[a]->server->plug();
        other.join();
    }
    for (auto& camera : cameras) {
        Client client(camera->server->socketPath());
        ASSERT_TRUE(client.connected());
        EXPECT_EQ(client.serial(), camera->model->snapshot().serial);
    }
    cameras.clear();  // a stop waits for its connections to close
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
}

TEST(DriveServer, UnplugAndReplugWithConnectionsOpen) {
    TempDir dir;
    Camera camera(dir.file("cam"), "OPEN01");
    ASSERT_TRUE(camera.server->start());
    Client early(camera.server->socketPath());
    ASSERT_EQ(early.serial(), "OPEN01");

    camera.server->unplug();
    EXPECT_FALSE(exists(camera.server->socketPath()));
    EXPECT_FALSE(Client(camera.server->socketPath()).connected());
    EXPECT_EQ(early.serial(), "OPEN01");  // an open connection outlives the unplug

    camera.server->plug();
    EXPECT_TRUE(exists(camera.server->socketPath()));
    Client late(camera.server->socketPath());
    EXPECT_EQ(late.serial(), "OPEN01");
    EXPECT_EQ(early.serial(), "OPEN01");

    // Stopping with both connections open ends them and returns.
    camera.server->stop();
    EXPECT_TRUE(early.closedByServer());
    EXPECT_TRUE(late.closedByServer());
    EXPECT_FALSE(exists(camera.server->socketPath()));
}

TEST(DriveServer, HostileClients) {
    auto header = [](uint8_t op, uint8_t direction, uint32_t length) {
        RequestHeader h;
        h.op = op;
        h.direction = direction;
        h.dataLength = length;
        return h;
    };
    Bytes badMagic = Client::frame(header(kOpScsi, kDataIn, 32));
    std::memcpy(badMagic.data(), "DVXX", 4);
    const Bytes whole = Client::serialRequest();
    const Bytes halfFrame(whole.begin(), whole.begin() + 16);
    enum Outcome { kClosed, kWaits, kStillServes };
    const struct {
        const char* name;
        Bytes bytes;
        Outcome outcome;
    } cases[] = {
        {"a wrong magic", badMagic, kClosed},
        {"a huge length", Client::frame(header(kOpScsi, kDataOut, 0xFFFFFFFF)), kClosed},
        {"a length just over the bound",
         Client::frame(header(kOpScsi, kDataIn, kMaxDataLength + 1)), kClosed},
        {"an unknown direction", Client::frame(header(kOpScsi, 7, 0)), kClosed},
        {"half a frame", halfFrame, kWaits},
        {"data out with a size query",
         Client::frame(header(kOpTotalSize, kDataOut, 4), {1, 2, 3, 4}), kStillServes},
        {"data out with an unknown op", Client::frame(header(9, kDataOut, 3), {'D', 'V', 'X'}),
         kStillServes},
        {"data out with a card folder query",
         Client::frame(header(kOpCardFolder, kDataOut, 2), {'/', 'x'}), kStillServes},
    };
    TempDir dir;
    Camera camera(dir.file("cam"), "HOSTILE1");
    ASSERT_TRUE(camera.server->start());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Client client(camera.server->socketPath());
        ASSERT_TRUE(client.send(c.bytes));
        switch (c.outcome) {
            case kClosed:
                EXPECT_TRUE(client.closedByServer());
                break;
            case kWaits:
                EXPECT_TRUE(client.receive(1, 100).empty());
                break;
            case kStillServes: {
                const Bytes head = client.receive(kReplyHeaderSize);
                ReplyHeader reply;
                ASSERT_EQ(head.size(), kReplyHeaderSize);
                ASSERT_TRUE(reply.decode(head.data()));
                EXPECT_EQ(reply.dataLength, 0u);  // nothing flows back for data out
                EXPECT_EQ(client.serial(), "HOSTILE1");
                break;
            }
        }
        // Other clients are served meanwhile.
        EXPECT_EQ(Client(camera.server->socketPath()).serial(), "HOSTILE1");
    }
    // A connection left in the middle of a frame does not hold up the stop.
    Client stuck(camera.server->socketPath());
    ASSERT_TRUE(stuck.send(halfFrame));
    camera.server->stop();
    EXPECT_TRUE(stuck.closedByServer());
}

// Idle clients cannot pile up: beyond the cap a client is closed at once, and one that sends
// nothing for the idle time is closed, which frees its place; a client that keeps asking stays.
TEST(DriveServer, CapsConnectionsAndClosesIdleOnes) {
    TempDir dir;
    camsim::CameraState state;
    state.serial = "CAPPED01";
    camsim::CameraModel model(state);
    camsim::DriveServer server(model, dir.file("cam"), camsim::ServerLimits{4, 300});
    ASSERT_TRUE(server.start());
    std::vector<std::unique_ptr<Client>> held;
    for (int i = 0; i < 4; ++i) {
        held.push_back(std::make_unique<Client>(server.socketPath()));
        ASSERT_EQ(held.back()->serial(), "CAPPED01");
    }
    EXPECT_TRUE(Client(server.socketPath()).closedByServer(1000));
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(held[0]->serial(), "CAPPED01");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (int i = 1; i < 4; ++i)
        EXPECT_TRUE(held[i]->closedByServer(1000)) << i;
    EXPECT_EQ(Client(server.socketPath()).serial(), "CAPPED01");
}

// Clients that hold every place without asking anything (a byte now and then keeps a connection
// from going idle) do not lock the camera out: a newcomer takes the place of the one that has
// waited longest since its last request.
TEST(DriveServer, ANewcomerTakesThePlaceOfTheLongestWaiting) {
    TempDir dir;
    camsim::CameraState state;
    state.serial = "CAPPED02";
    camsim::CameraModel model(state);
    camsim::DriveServer server(model, dir.file("cam"), camsim::ServerLimits{3, 60000, 200});
    ASSERT_TRUE(server.start());
    std::vector<std::unique_ptr<Client>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(std::make_unique<Client>(server.socketPath()));
        ASSERT_EQ(held.back()->serial(), "CAPPED02");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(held[2]->serial(), "CAPPED02");  // a request now: it is not the longest waiting
    EXPECT_EQ(Client(server.socketPath()).serial(), "CAPPED02");
    EXPECT_TRUE(held[0]->closedByServer(1000));
    EXPECT_EQ(held[2]->serial(), "CAPPED02");
}

// Through a restart the camera keeps its address: nobody else can listen there meanwhile, its
// clients learn at once that no camera answers, and it serves there again afterwards.
TEST(DriveServer, KeepsItsAddressThroughARestart) {
    TempDir dir;
    for (const std::string& address : {std::string("tcp:127.0.0.1:0"), dir.file("cam")}) {
        SCOPED_TRACE(address);
        camsim::CameraState state;
        state.serial = "RESTART1";
        camsim::CameraModel model(state);
        camsim::DriveServer server(model, address);
        ASSERT_TRUE(server.start());
        ASSERT_EQ(Client(server.socketPath()).serial(), "RESTART1");
        server.disappearFor(1000);
        if (isTcpTarget(address)) {
            const int other = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            int on = 1;
            ::setsockopt(other, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            const sockaddr_in port = Client::loopback(server.socketPath());
            const bool taken =
                ::bind(other, reinterpret_cast<const sockaddr*>(&port), sizeof port) == 0 &&
                ::listen(other, 1) == 0;
            ::close(other);
            EXPECT_FALSE(taken) << "another program listens on the camera's port";
        } else {
            EXPECT_FALSE(exists(address));  // the library's sign of a vanished drive
        }
        const auto asked = std::chrono::steady_clock::now();
        EXPECT_EQ(Client(server.socketPath()).serial(), "");
        EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(500));
        std::string serial;
        for (int i = 0; i < 100 && serial.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            serial = Client(server.socketPath()).serial();
        }
        EXPECT_EQ(serial, "RESTART1");
    }
}

// camsim says so and stops when it cannot take its address back after a restart (another program
// took the socket's place), rather than leaving the camera's clients to that program; and it
// refuses to start on an address it cannot listen on.
TEST(CamsimProgram, FailsLoudlyWithoutItsAddress) {
    TempDir dir;
    const std::string path = dir.file("cam.sock");
    const std::string output = dir.file("camsim.log");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::freopen(output.c_str(), "w", stderr);
        execl(CAMSIM_PATH, "camsim", "--socket", path.c_str(), "--reboot-ms", "1000",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 100 && !exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    {
        Client client(path);
        ASSERT_TRUE(client.send(Client::rebootRequest()));
        ASSERT_EQ(client.receive(kReplyHeaderSize).size(), kReplyHeaderSize);
    }
    // Another program binds the path while the camera restarts.
    const int intruder = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(intruder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(intruder, 1), 0);
    struct stat planted {};
    ASSERT_EQ(::stat(path.c_str(), &planted), 0);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 250 && ended == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ended = ::waitpid(pid, &status, WNOHANG);
    }
    if (ended == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ::close(intruder);
    EXPECT_NE(ended, 0) << "camsim went on without its socket";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    struct stat left {};
    EXPECT_TRUE(::stat(path.c_str(), &left) == 0 && left.st_ino == planted.st_ino)
        << "the other program's socket is left alone";
    std::ifstream log(output);
    const std::string said{std::istreambuf_iterator<char>(log), {}};
    EXPECT_NE(said.find(path), std::string::npos) << said;

    // At start: a port that another program listens on.
    std::string taken = "tcp:127.0.0.1:0";
    camsim::CameraModel model;
    camsim::DriveServer holder(model, taken);
    ASSERT_TRUE(holder.start());
    const std::string command =
        std::string(CAMSIM_PATH) + " --tcp " + holder.socketPath().substr(4) + " 2>&1";
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, out))
        text += buffer;
    const int started = pclose(out);
    EXPECT_TRUE(WIFEXITED(started) && WEXITSTATUS(started) == 1);
    EXPECT_NE(text.find("in use"), std::string::npos) << text;
}

// Out of descriptors, a client waits in the backlog without the accept loop spinning on it, and
// is served once a descriptor is free again.
TEST(DriveServer, WaitsForADescriptorWithoutSpinning) {
    TempDir dir;
    Camera camera(dir.file("cam"), "NOFILE01");
    ASSERT_TRUE(camera.server->start());
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = openDescriptors() + 16;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> fillers;  // every descriptor but one, which the client takes
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        fillers.push_back(fd);
    ::close(fillers.back());
    fillers.pop_back();
    Client waiting(camera.server->socketPath());
    ASSERT_TRUE(waiting.connected());

    auto cpuMs = [] {
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    };
    const double before = cpuMs();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double busy = cpuMs() - before;

    for (int fd : fillers)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_LT(busy, 100.0) << "the accept loop spun while out of descriptors";
    EXPECT_EQ(waiting.serial(), "NOFILE01");
}

// A client that declares the largest data-out length and then stops sending is not given the
// whole length in memory up front: each read asks for one piece.
TEST(DriveServer, DataOutIsReadAsItArrives) {
    TempDir dir;
    Camera camera(dir.file("cam"), "PIECES01");
    RequestHeader header;
    header.direction = kDataOut;
    header.dataLength = kMaxDataLength;
    const Bytes frame = Client::frame(header);
    size_t offered = 0, largestRead = 0;
    camsim::DriveServer::Stream stream;
    stream.read = [&](uint8_t* data, size_t size) {
        largestRead = std::max(largestRead, size);
        if (offered + size > frame.size())
            return false;  // the client has gone quiet
        std::memcpy(data, frame.data() + offered, size);
        offered += size;
        return true;
    };
    stream.write = [](const uint8_t*, size_t) { return true; };
    camera.server->serveStream(stream);
    EXPECT_EQ(offered, frame.size());
    EXPECT_LE(largestRead, 64u * 1024);
}

}  // namespace
