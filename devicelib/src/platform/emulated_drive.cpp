// Emulated drives: the camera emulator (or any program speaking the same frames) behind a Unix
// stream socket. Used by the tests, the demo and anyone without a camera at hand. An open is a
// connect, a command is one request frame and one reply frame, a close is a close.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "backends.h"
#include "emulated_protocol.h"

namespace dalvex::platform {

namespace {

using namespace dalvex::emulated;

// How long an open waits for a listener whose backlog is full.
constexpr int64_t kConnectTimeoutMs = 1000;

int64_t monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Writes all bytes; false on any error (the peer gone included).
bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            setLastError(n < 0 ? uint32_t(errno) : uint32_t(EPIPE));
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Reads exactly size bytes before the deadline; false on time-out, error or end of stream.
bool readAll(int fd, uint8_t* data, size_t size, int64_t deadline) {
    while (size > 0) {
        int64_t left = deadline - monotonicMs();
        if (left <= 0) {
            setLastError(ETIMEDOUT);
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, int(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            setLastError(uint32_t(errno));
            return false;
        }
        if (r == 0)
            continue;  // loop re-checks the deadline
        ssize_t n = ::recv(fd, data, size, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            setLastError(n < 0 ? uint32_t(errno) : uint32_t(ECONNRESET));
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

int connectSocket(const std::string& path) {
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof(addr.sun_path)) {
        setLastError(ENAMETOOLONG);
        return -1;
    }
    // Non-blocking while connecting: a blocking connect to a peer that stops accepting waits
    // forever once its backlog is full, and an open must fail like a drive that is not there.
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        setLastError(uint32_t(errno));
        return -1;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int64_t deadline = monotonicMs() + kConnectTimeoutMs;
    while (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EAGAIN || monotonicMs() >= deadline) {
            setLastError(uint32_t(error == EAGAIN ? ETIMEDOUT : error));
            ::close(fd);
            return -1;
        }
        ::usleep(1000);  // the listener's backlog is full: give it a moment
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

class EmulatedDrive final : public DriveHandle {
  public:
    explicit EmulatedDrive(int fd) : fd_(fd) {}
    ~EmulatedDrive() override { ::close(fd_); }

    bool pass(PassThroughRequest& request) override {
        RequestHeader header;
        header.op = kOpScsi;
        header.direction = request.dataIn ? kDataIn : kDataOut;
        header.cdbLength = request.cdbLength;
        std::memcpy(header.cdb, request.cdb, std::min<size_t>(request.cdbLength, 16));
        header.timeoutMs = request.timeOutValue * 1000;
        header.dataLength = request.dataTransferLength;
        if (header.dataLength > kMaxDataLength ||
            (header.dataLength > 0 && request.dataBuffer == nullptr)) {
            setLastError(EINVAL);
            return false;
        }
        auto* data = static_cast<uint8_t*>(request.dataBuffer);
        ReplyHeader reply;
        if (!exchange(header, data, reply)) {
            return false;
        }
        request.scsiStatus = reply.scsiStatus;
        request.dataTransferLength = reply.dataLength;
        return true;
    }

    bool queryTotalSize(uint64_t& bytes) {
        RequestHeader header;
        header.op = kOpTotalSize;
        header.dataLength = 8;
        uint8_t block[8] = {};
        ReplyHeader reply;
        if (!exchange(header, block, reply) || reply.dataLength != 8) {
            return false;
        }
        bytes = getU64(block);
        return true;
    }

  private:
    // Sends one frame and receives its reply. A reply that says the call succeeded copies its
    // data into data (at most the request's length) and leaves the bytes it did not carry as they
    // were; a failed call, a broken or short reply leaves data untouched and returns false with
    // lastError() set (the reply's own error code for a failed call).
    bool exchange(const RequestHeader& header, uint8_t* data, ReplyHeader& reply) {
        const int64_t deadline = monotonicMs() + std::max<uint32_t>(header.timeoutMs, 1);
        uint8_t head[kRequestHeaderSize];
        header.encode(head);
        if (!writeAll(fd_, head, sizeof head))
            return false;
        if (header.direction == kDataOut && header.dataLength > 0 &&
            !writeAll(fd_, data, header.dataLength)) {
            return false;
        }
        uint8_t replyHead[kReplyHeaderSize];
        if (!readAll(fd_, replyHead, sizeof replyHead, deadline))
            return false;
        if (!reply.decode(replyHead)) {
            setLastError(EPROTO);
            return false;
        }
        const bool toHost = header.direction == kDataIn;
        if (reply.dataLength > (toHost ? header.dataLength : 0)) {
            setLastError(EPROTO);
            return false;
        }
        // The reply's data is read whole before anything reaches the caller's block.
        std::vector<uint8_t> incoming(reply.dataLength);
        if (!incoming.empty() && !readAll(fd_, incoming.data(), incoming.size(), deadline))
            return false;
        if (!reply.ok) {
            setLastError(reply.errorCode);
            return false;
        }
        if (!incoming.empty())
            std::memcpy(data, incoming.data(), incoming.size());
        return true;
    }

    int fd_;
};

}  // namespace

std::unique_ptr<DriveHandle> openEmulatedDrive(const std::string& socketPath) {
    int fd = connectSocket(socketPath);
    if (fd < 0)
        return nullptr;
    return adoptEmulatedDrive(fd);
}

std::unique_ptr<DriveHandle> adoptEmulatedDrive(int connectedFd) {
    return std::make_unique<EmulatedDrive>(connectedFd);
}

bool emulatedDriveExists(const std::string& socketPath) {
    struct stat st {};
    return ::stat(socketPath.c_str(), &st) == 0;
}

std::string fileNode(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    char text[96];
    std::snprintf(text, sizeof text, "%llx:%llx:%llx:%lld.%09ld", (unsigned long long)st.st_dev,
                  (unsigned long long)st.st_ino, (unsigned long long)st.st_rdev,
                  (long long)st.st_ctim.tv_sec, long(st.st_ctim.tv_nsec));
    return text;
}

std::string emulatedDriveNode(const std::string& socketPath) {
    const std::string node = fileNode(socketPath);
    return node.empty() ? node : "unix:" + socketPath + "#" + node;
}

bool emulatedTotalSize(const std::string& socketPath, uint64_t& bytes) {
    int fd = connectSocket(socketPath);
    if (fd < 0)
        return false;
    EmulatedDrive drive(fd);
    return drive.queryTotalSize(bytes);
}

}  // namespace dalvex::platform
