#include "camsim/drive_server.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/emulated_protocol.h"

namespace camsim {

namespace {

using namespace dalvex::emulated;

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

bool sendReply(int fd, const ReplyHeader& header, const uint8_t* data) {
    uint8_t head[kReplyHeaderSize];
    header.encode(head);
    return writeAll(fd, head, sizeof head) && writeAll(fd, data, header.dataLength);
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

bool DriveServer::bindSocket() {
    sockaddr_un addr{};
    if (path_.size() >= sizeof(addr.sun_path))
        return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path_.c_str(), path_.size() + 1);
    ::unlink(path_.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return false;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    listenFd_ = fd;
    return true;
}

bool DriveServer::start() {
    if (running_)
        return true;
    if (!bindSocket())
        return false;
    running_ = true;
    acceptThread_ = std::thread([this] { acceptLoop(); });
    return true;
}

void DriveServer::stop() {
    joinReplug();
    if (!running_.exchange(false))
        return;
    if (acceptThread_.joinable())
        acceptThread_.join();
    std::unique_lock<std::mutex> guard(mutex_);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(path_.c_str());
    }
    for (int fd : connections_)
        ::shutdown(fd, SHUT_RDWR);
    connectionsDone_.wait(guard, [this] { return activeConnections_ == 0; });
    guard.unlock();
    // A connection may have asked for a disappearance while we were stopping.
    joinReplug();
}

void DriveServer::joinReplug() {
    std::lock_guard<std::mutex> guard(replugMutex_);
    if (replugThread_.joinable())
        replugThread_.join();
}

void DriveServer::unplug() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(path_.c_str());
    }
}

void DriveServer::plug() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (listenFd_ >= 0)
            return;
    }
    bindSocket();
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

void DriveServer::acceptLoop() {
    while (running_) {
        int listenFd;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            listenFd = listenFd_;
        }
        if (listenFd < 0) {  // unplugged
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        pollfd p{listenFd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard<std::mutex> guard(mutex_);
        connections_.push_back(fd);
        ++activeConnections_;
        std::thread([this, fd] { serveConnection(fd); }).detach();
    }
}

void DriveServer::serveConnection(int fd) {
    std::vector<uint8_t> data;
    for (;;) {
        uint8_t head[kRequestHeaderSize];
        RequestHeader request;
        if (!readAll(fd, head, sizeof head) || !request.decode(head))
            break;
        data.assign(request.dataLength, 0);
        const bool toCamera = request.op == kOpScsi && request.direction == kDataOut;
        if (toCamera && !readAll(fd, data.data(), data.size()))
            break;

        ReplyHeader reply;
        if (request.op == kOpTotalSize) {
            uint8_t size[8];
            putU64(size, model_.totalSizeBytes());
            reply.dataLength = std::min<uint32_t>(8, request.dataLength);
            if (!sendReply(fd, reply, size))
                break;
            continue;
        }
        if (request.op != kOpScsi) {
            reply.ok = 0;
            reply.errorCode = 0x57;  // invalid parameter
            if (!sendReply(fd, reply, nullptr))
                break;
            continue;
        }

        ++served_;
        const Fault fault = takeFault();
        if (fault == Fault::kSilent) {
            // Say nothing; wait for the client to hang up.
            uint8_t sink[64];
            while (running_ && ::recv(fd, sink, sizeof sink, 0) > 0) {
            }
            break;
        }
        if (fault == Fault::kDrop)
            break;
        if (fault == Fault::kShortFrame) {
            uint8_t partial[kReplyHeaderSize];
            reply.encode(partial);
            writeAll(fd, partial, 6);
            break;
        }
        if (fault == Fault::kGarbage) {
            uint8_t bad[kReplyHeaderSize];
            reply.encode(bad);
            std::memcpy(bad, "XXXX", 4);
            writeAll(fd, bad, sizeof bad);
            continue;
        }
        if (fault == Fault::kPassFail) {
            reply.ok = 0;
            reply.scsiStatus = 0;
            reply.errorCode = 0x1F;
            if (!sendReply(fd, reply, nullptr))
                break;
            continue;
        }

        Command command;
        std::memcpy(command.cdb, request.cdb, 16);
        command.dataIn = request.direction == kDataIn;
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
        reply.dataLength = command.dataIn ? uint32_t(answer.data.size()) : 0;
        if (!sendReply(fd, reply, answer.data.data()))
            break;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    connections_.erase(std::remove(connections_.begin(), connections_.end(), fd),
                       connections_.end());
    ::close(fd);
    --activeConnections_;
    connectionsDone_.notify_all();
}

}  // namespace camsim
