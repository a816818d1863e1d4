// Emulated drives: the camera emulator (or any program speaking the same frames) behind a Unix
// stream socket or a TCP port. Used by the tests, the demo and anyone without a camera at hand.
// An open is a connect, a command is one request frame and one reply frame, a close is a close.
//
// Written against BSD sockets; on Windows the same calls come from Winsock, where only TCP is
// offered, and the error codes are those of GetLastError.
#include <errno.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

#include "emulated_socket.h"

#include "backends.h"
#include "emulated_protocol.h"

namespace dalvex::platform {

namespace {

using namespace dalvex::emulated;

// How long an open waits for a listener whose backlog is full.
constexpr int64_t kConnectTimeoutMs = 1000;

int64_t monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Writes all bytes; false on any error (the peer gone included).
bool writeAll(Socket fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        auto n = ::send(fd, reinterpret_cast<const char*>(data), SocketSize(size), kSendFlags);
        if (n < 0 && socketError() == EINTR)
            continue;
        if (n <= 0) {
            setLastError(n < 0 ? socketError() : kErrorPipe);
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Reads exactly size bytes before the deadline; false on time-out, error or end of stream.
bool readAll(Socket fd, uint8_t* data, size_t size, int64_t deadline) {
    while (size > 0) {
        int64_t left = deadline - monotonicMs();
        if (left <= 0) {
            setLastError(kErrorTimedOut);
            return false;
        }
        int r = waitFor(fd, false, int(left));
        if (r < 0 && socketError() == EINTR)
            continue;
        if (r < 0) {
            setLastError(socketError());
            return false;
        }
        if (r == 0)
            continue;  // loop re-checks the deadline
        auto n = ::recv(fd, reinterpret_cast<char*>(data), SocketSize(size), 0);
        if (n < 0 && (socketError() == EINTR || socketError() == EAGAIN))
            continue;
        if (n <= 0) {
            setLastError(n < 0 ? socketError() : kErrorReset);
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Connects a socket of the address's family, giving up at the deadline: a blocking connect to a
// peer that stops accepting (a full backlog, a host that drops packets) could wait far longer,
// and an open must fail like a drive that is not there.
Socket connectTo(const SocketAddress& address, int64_t deadline) {
    Socket fd = ::socket(address.family, SOCK_STREAM | kSocketFlags, 0);
    if (fd == kNoSocket) {
        setLastError(socketError());
        return kNoSocket;
    }
    setNonBlocking(fd, true);
    while (::connect(fd, address.address(), address.length) != 0) {
        const uint32_t error = socketError();
        if (error == EINTR)
            continue;
        if (error == kErrorInProgress) {
            // TCP: the answer comes later.
            const int64_t left = deadline - monotonicMs();
            const int ready = left > 0 ? waitFor(fd, true, int(left)) : 0;
            const uint32_t result = ready > 0 ? pendingError(fd) : kErrorTimedOut;
            if (result == 0)
                break;
            setLastError(result);
        } else if (error == EAGAIN && monotonicMs() < deadline) {
            // A Unix listener's backlog is full: give it a moment.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        } else {
            setLastError(error == EAGAIN ? kErrorTimedOut : error);
        }
        closeSocket(fd);
        return kNoSocket;
    }
    setNonBlocking(fd, false);
    setNoDelay(address, fd);
    return fd;
}

Socket connectSocket(const std::string& target) {
    SocketAddress address;
    uint32_t error = 0;
    if (!resolveTarget(target, address, error)) {
        setLastError(error);
        return kNoSocket;
    }
    return connectTo(address, monotonicMs() + kConnectTimeoutMs);
}

class EmulatedDrive final : public DriveHandle {
  public:
    explicit EmulatedDrive(Socket fd) : fd_(fd) {}
    ~EmulatedDrive() override { closeSocket(fd_); }

    bool pass(PassThroughRequest& request) override {
        RequestHeader header;
        header.op = kOpScsi;
        header.direction = request.direction == DataDirection::kIn ? kDataIn : kDataOut;
        header.cdbLength = request.cdbLength;
        std::memcpy(header.cdb, request.cdb, std::min<size_t>(request.cdbLength, 16));
        header.timeoutMs = request.timeoutSeconds * 1000;
        header.dataLength = request.length;
        if (header.dataLength > kMaxDataLength ||
            (header.dataLength > 0 && request.data == nullptr)) {
            setLastError(kErrorInvalid);
            return false;
        }
        auto* data = static_cast<uint8_t*>(request.data);
        ReplyHeader reply;
        if (!exchange(header, data, reply)) {
            return false;
        }
        request.scsiStatus = reply.scsiStatus;
        request.moved = reply.dataLength;
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
        bytes = bytes::loadLe64(block);
        return true;
    }

    // The card's folder as the peer names it; false when the peer refused the question.
    bool queryCardFolder(std::string& folder) {
        RequestHeader header;
        header.op = kOpCardFolder;
        header.dataLength = kMaxCardFolder;
        std::vector<uint8_t> block(kMaxCardFolder);
        ReplyHeader reply;
        if (!exchange(header, block.data(), reply))
            return false;
        folder.assign(reinterpret_cast<const char*>(block.data()), reply.dataLength);
        return true;
    }

  private:
    static constexpr uint32_t kMaxCardFolder = 4096;  // PATH_MAX

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
            setLastError(kErrorProtocol);
            return false;
        }
        const bool toHost = header.direction == kDataIn;
        if (reply.dataLength > (toHost ? header.dataLength : 0)) {
            setLastError(kErrorProtocol);
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

    Socket fd_;
};

}  // namespace

std::unique_ptr<DriveHandle> openEmulatedDrive(const std::string& target) {
    Socket fd = connectSocket(target);
    if (fd == kNoSocket)
        return nullptr;
    return std::make_unique<EmulatedDrive>(fd);
}

std::unique_ptr<DriveHandle> adoptEmulatedDrive(int connectedFd) {
    return std::make_unique<EmulatedDrive>(static_cast<Socket>(connectedFd));
}

namespace {

// Whether something accepts connections on a TCP target.
bool portAccepts(const std::string& target) {
    Socket fd = connectSocket(target);
    if (fd == kNoSocket)
        return false;
    closeSocket(fd);
    return true;
}

}  // namespace

bool emulatedDriveExists(const std::string& target) {
    if (!isTcpTarget(target))
        return socketFileExists(target);
    // A port shows no file: the drive is there while its peer answers a size query. A listener
    // that accepts and then stays silent (another service, a hung emulator) is no drive, rather
    // than a drive whose every command of a scan waits out its time-out.
    uint64_t bytes = 0;
    return emulatedTotalSize(target, bytes);
}

std::string fileNode(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return {};
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    char text[96];
    std::snprintf(text, sizeof text, "%llx:%llx:%llx:%lld.%09ld", (unsigned long long)st.st_dev,
                  (unsigned long long)st.st_ino, (unsigned long long)st.st_rdev,
                  (long long)st.st_ctim.tv_sec, long(st.st_ctim.tv_nsec));
    return text;
#endif
}

std::string emulatedDriveNode(const std::string& target) {
    if (isTcpTarget(target)) {
        // A port has no file whose identity changes when its camera restarts.
        // Accepting is enough here: whether it answers is asked when the letter is used, and a
        // silent port must not cost a time-out at every look at the drive table.
        return portAccepts(target) ? target : std::string();
    }
    const std::string node = fileNode(target);
    return node.empty() ? node : "unix:" + target + "#" + node;
}

bool emulatedTotalSize(const std::string& target, uint64_t& bytes) {
    Socket fd = connectSocket(target);
    if (fd == kNoSocket)
        return false;
    EmulatedDrive drive(fd);
    return drive.queryTotalSize(bytes);
}

std::string emulatedCardFolder(const std::string& target) {
    Socket fd = connectSocket(target);
    if (fd == kNoSocket)
        return {};
    EmulatedDrive drive(fd);
    std::string folder;
    // A path is all or nothing: one with a zero byte in it names no folder.
    if (!drive.queryCardFolder(folder) || folder.find('\0') != std::string::npos)
        return {};
    return folder;
}

}  // namespace dalvex::platform
