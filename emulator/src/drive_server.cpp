#include "camsim/drive_server.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#include "emulated_protocol.h"

namespace camsim {

namespace {

using namespace dalvex::emulated;

// "tcp:HOST:PORT" listens on a TCP port, anything else is the path of a Unix socket.
bool isTcp(const std::string& address) {
    return dalvex::emulated::isTcpTarget(address);
}

void removeSocketFile(const std::string& address) {
    if (!isTcp(address))
        ::unlink(address.c_str());
}

// A listener on "tcp:HOST:PORT"; with port 0 the system chooses one, and address is rewritten to
// name it, so that a replug listens on the same port again.
int bindTcp(std::string& address) {
    std::string host, port;
    if (!dalvex::emulated::splitHostPort(address.substr(4), host, port))
        return -1;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr)
        return -1;
    int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    if (fd >= 0)
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (fd >= 0 && (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, 16) != 0)) {
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (fd >= 0 && port == "0" &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) == 0) {
        const uint16_t chosen =
            ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                              : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        address = address.substr(0, address.size() - 1) + std::to_string(chosen);
    }
    return fd;
}

bool readAll(int fd, uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::recv(fd, data, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

DriveServer::DriveServer(CameraModel& model, std::string socketPath)
    : model_(model), path_(std::move(socketPath)) {
    // A reboot or shutdown makes the drive vanish for a while, as a real camera's does.
    model_.setPowerHandler([this](int milliseconds) {
        if (running_)
            disappearFor(milliseconds);
    });
}

DriveServer::~DriveServer() {
    model_.setPowerHandler(nullptr);
    stop();
}

int DriveServer::bindSocket() {
    if (isTcp(path_))
        return bindTcp(path_);
    sockaddr_un addr{};
    if (path_.size() >= sizeof(addr.sun_path))
        return -1;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path_.c_str(), path_.size() + 1);
    ::unlink(path_.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool DriveServer::start() {
    if (running_)
        return true;
    const int listenFd = bindSocket();
    if (listenFd < 0)
        return false;
    if (::pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(listenFd);
        removeSocketFile(path_);
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        wantPlugged_ = true;
        plugRequestsDone_ = plugRequests_;
    }
    running_ = true;
    acceptThread_ = std::thread([this, listenFd] { acceptLoop(listenFd); });
    return true;
}

void DriveServer::stop() {
    joinReplug();
    if (!running_.exchange(false))
        return;
    wakeAcceptLoop();
    if (acceptThread_.joinable())
        acceptThread_.join();
    std::unique_lock<std::mutex> guard(mutex_);
    plugDone_.notify_all();
    for (int fd : connections_)
        ::shutdown(fd, SHUT_RDWR);
    connectionsDone_.wait(guard, [this] { return activeConnections_ == 0; });
    ::close(wakeFds_[0]);
    ::close(wakeFds_[1]);
    wakeFds_[0] = wakeFds_[1] = -1;
    guard.unlock();
    // A connection may have asked for a disappearance while we were stopping.
    joinReplug();
}

void DriveServer::joinReplug() {
    std::lock_guard<std::mutex> guard(replugMutex_);
    if (replugThread_.joinable())
        replugThread_.join();
}

void DriveServer::wakeAcceptLoop() {
    const uint8_t byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] ssize_t n = ::write(wakeFds_[1], &byte, 1);
}

void DriveServer::requestPlugged(bool plugged) {
    std::unique_lock<std::mutex> guard(mutex_);
    if (!running_)
        return;
    wantPlugged_ = plugged;
    const uint64_t request = ++plugRequests_;
    wakeAcceptLoop();
    plugDone_.wait(guard, [&] { return plugRequestsDone_ >= request || !running_; });
}

void DriveServer::unplug() {
    requestPlugged(false);
}

void DriveServer::plug() {
    requestPlugged(true);
}

void DriveServer::disappearFor(int milliseconds) {
    std::lock_guard<std::mutex> guard(replugMutex_);
    unplug();
    if (replugThread_.joinable())
        replugThread_.join();
    replugThread_ = std::thread([this, milliseconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        if (running_)
            plug();
    });
}

void DriveServer::injectFault(Fault fault, int count) {
    std::lock_guard<std::mutex> guard(mutex_);
    fault_ = fault;
    faultCount_ = count;
}

Fault DriveServer::takeFault() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (faultCount_ <= 0)
        return Fault::kNone;
    --faultCount_;
    return fault_;
}

void DriveServer::acceptLoop(int listenFd) {
    // The listener lives and dies on this thread: no other thread can close it while a poll or
    // an accept uses it, nor see its number taken over by another socket.
    auto closeListener = [&] {
        if (listenFd >= 0) {
            ::close(listenFd);
            removeSocketFile(path_);
            listenFd = -1;
        }
    };
    bool acceptFailed = false;  // out of descriptors or memory: wait before the next accept
    while (running_) {
        bool bindFailed = false;  // then retried now and then
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (wantPlugged_ && listenFd < 0)
                listenFd = bindSocket();
            else if (!wantPlugged_)
                closeListener();
            bindFailed = wantPlugged_ && listenFd < 0;
            plugRequestsDone_ = plugRequests_;
        }
        plugDone_.notify_all();

        // A waiting client keeps the listener readable, so after a failed accept only the wake
        // pipe is watched for a while instead of spinning on accept until a descriptor is free.
        const bool watchListener = listenFd >= 0 && !acceptFailed;
        pollfd p[2] = {{wakeFds_[0], POLLIN, 0}, {listenFd, POLLIN, 0}};
        const int ready = ::poll(p, watchListener ? 2 : 1, bindFailed || acceptFailed ? 50 : -1);
        acceptFailed = false;
        if (ready < 0)
            continue;
        if (ready == 0 && !bindFailed)
            p[1].revents = POLLIN;  // the pause is over: try the accept again
        if (p[0].revents != 0) {
            uint8_t drain[64];
            while (::read(wakeFds_[0], drain, sizeof drain) > 0) {
            }
        }
        if (listenFd < 0 || (p[1].revents & POLLIN) == 0)
            continue;
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            acceptFailed =
                errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
            continue;
        }
        if (isTcp(path_)) {
            int on = 1;  // small frames go out at once
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
        std::lock_guard<std::mutex> guard(mutex_);
        connections_.push_back(fd);
        ++activeConnections_;
        try {
            std::thread([this, fd] { serveConnection(fd); }).detach();
        } catch (const std::system_error&) {
            // No thread for this client: it is turned away rather than ending the emulator.
            connections_.pop_back();
            --activeConnections_;
            ::close(fd);
        }
    }
    closeListener();
}

void DriveServer::serveConnection(int fd) {
    Stream stream;
    stream.read = [fd](uint8_t* data, size_t size) { return readAll(fd, data, size); };
    stream.write = [fd](const uint8_t* data, size_t size) { return writeAll(fd, data, size); };
    serveStream(stream);
    std::lock_guard<std::mutex> guard(mutex_);
    connections_.erase(std::remove(connections_.begin(), connections_.end(), fd),
                       connections_.end());
    ::close(fd);
    --activeConnections_;
    connectionsDone_.notify_all();
}

void DriveServer::serveStream(const Stream& stream) {
    auto sendReply = [&](const ReplyHeader& header, const uint8_t* data) {
        uint8_t head[kReplyHeaderSize];
        header.encode(head);
        return stream.write(head, sizeof head) &&
               (header.dataLength == 0 || stream.write(data, header.dataLength));
    };
    std::vector<uint8_t> data;
    for (;;) {
        uint8_t head[kRequestHeaderSize];
        RequestHeader request;
        if (!stream.read(head, sizeof head) || !request.decode(head))
            break;
        if (request.direction != kDataIn && request.direction != kDataOut)
            break;  // no way to tell whether data follows
        // Data out follows the header whatever the op, and is read before anything is judged.
        // The buffer grows with the bytes that arrive, so that a client declaring the largest
        // length and sending nothing holds one piece of memory rather than a mebibyte.
        const bool toCamera = request.direction == kDataOut;
        constexpr size_t kPiece = 64 * 1024;
        data.clear();
        bool complete = true;
        while (toCamera && complete && data.size() < request.dataLength) {
            const size_t have = data.size();
            data.resize(have + std::min<size_t>(kPiece, request.dataLength - have));
            complete = stream.read(data.data() + have, data.size() - have);
        }
        if (!complete)
            break;

        ReplyHeader reply;
        if (request.op == kOpTotalSize) {
            uint8_t size[8];
            dalvex::bytes::storeLe64(size, model_.totalSizeBytes());
            reply.dataLength = toCamera ? 0 : std::min<uint32_t>(8, request.dataLength);
            if (!sendReply(reply, size))
                break;
            continue;
        }
        if (request.op != kOpScsi) {
            reply.ok = 0;
            reply.errorCode = 0x57;  // invalid parameter
            if (!sendReply(reply, nullptr))
                break;
            continue;
        }

        ++served_;
        const Fault fault = takeFault();
        if (fault == Fault::kSilent) {
            // Say nothing; wait for the client to hang up.
            uint8_t sink[1];
            while (running_ && stream.read(sink, sizeof sink)) {
            }
            break;
        }
        if (fault == Fault::kDrop)
            break;
        if (fault == Fault::kShortFrame) {
            uint8_t partial[kReplyHeaderSize];
            reply.encode(partial);
            stream.write(partial, 6);
            break;
        }
        if (fault == Fault::kGarbage) {
            uint8_t bad[kReplyHeaderSize];
            reply.encode(bad);
            std::memcpy(bad, "XXXX", 4);
            stream.write(bad, sizeof bad);
            continue;
        }
        if (fault == Fault::kPassFail) {
            reply.ok = 0;
            reply.scsiStatus = 0;
            reply.errorCode = 0x1F;
            if (!sendReply(reply, nullptr))
                break;
            continue;
        }

        Command command;
        std::memcpy(command.cdb, request.cdb, 16);
        command.dataIn = !toCamera;
        command.length = request.dataLength;
        command.dataOut = toCamera ? data.data() : nullptr;
        Reply answer;
        if (fault == Fault::kRefuse) {
            answer.status = kStatusCheckCondition;
        } else {
            answer = model_.execute(command);
        }
        if (fault == Fault::kShortData) {
            answer.data.resize(answer.data.size() / 2);
        }
        reply.scsiStatus = answer.status;
        // Never more than the host asked for: its block holds no more.
        reply.dataLength =
            command.dataIn ? std::min<uint32_t>(uint32_t(answer.data.size()), request.dataLength)
                           : 0;
        if (!sendReply(reply, answer.data.data()))
            break;
    }
}

}  // namespace camsim
