// The socket calls of the emulated-drive client, the same on POSIX systems and on Windows
// (Winsock), and the resolution of its targets: a Unix socket path, or "tcp:HOST:PORT" (HOST a
// name, an IPv4 address or an IPv6 address in brackets).
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "emulated_protocol.h"

namespace dalvex::platform {

using emulated::isTcpTarget;
using emulated::kTcpPrefix;
using emulated::splitHostPort;

#ifdef _WIN32
using Socket = SOCKET;
using SocketSize = int;
constexpr Socket kNoSocket = INVALID_SOCKET;
constexpr int kSendFlags = 0;
constexpr int kSocketFlags = 0;
constexpr uint32_t kErrorTimedOut = WSAETIMEDOUT;
constexpr uint32_t kErrorReset = WSAECONNRESET;
constexpr uint32_t kErrorPipe = WSAECONNABORTED;
constexpr uint32_t kErrorProtocol = ERROR_INVALID_DATA;
constexpr uint32_t kErrorInvalid = ERROR_INVALID_PARAMETER;
constexpr uint32_t kErrorInProgress = WSAEWOULDBLOCK;
constexpr uint32_t kErrorNoHost = WSAHOST_NOT_FOUND;

inline uint32_t socketError() {
    return uint32_t(WSAGetLastError());
}
inline void closeSocket(Socket fd) {
    ::closesocket(fd);
}
inline void setNonBlocking(Socket fd, bool on) {
    u_long value = on ? 1 : 0;
    ::ioctlsocket(fd, FIONBIO, &value);
}
// 1 when the socket is ready to read (or, with write, connected or failed), 0 on time-out.
inline int waitFor(Socket fd, bool write, int milliseconds) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(fd, &ready);
    FD_SET(fd, &failed);
    timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
    // A failed connect is reported in the exception set, not as writable.
    return ::select(0, write ? nullptr : &ready, write ? &ready : nullptr,
                    write ? &failed : nullptr, &timeout);
}
inline bool socketFileExists(const std::string&) {
    return false;
}
// Winsock must be started once per process before its first call.
inline bool startSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
#else
using Socket = int;
using SocketSize = size_t;
constexpr Socket kNoSocket = -1;
constexpr int kSendFlags = MSG_NOSIGNAL;
constexpr int kSocketFlags = SOCK_CLOEXEC;
constexpr uint32_t kErrorTimedOut = ETIMEDOUT;
constexpr uint32_t kErrorReset = ECONNRESET;
constexpr uint32_t kErrorPipe = EPIPE;
constexpr uint32_t kErrorProtocol = EPROTO;
constexpr uint32_t kErrorInvalid = EINVAL;
constexpr uint32_t kErrorInProgress = EINPROGRESS;
constexpr uint32_t kErrorNoHost = EHOSTUNREACH;

inline uint32_t socketError() {
    return uint32_t(errno);
}
inline void closeSocket(Socket fd) {
    ::close(fd);
}
inline void setNonBlocking(Socket fd, bool on) {
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
}
inline int waitFor(Socket fd, bool write, int milliseconds) {
    pollfd p{fd, short(write ? POLLOUT : POLLIN), 0};
    return ::poll(&p, 1, milliseconds);
}
inline bool socketFileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}
inline bool startSockets() {
    return true;
}
#endif

struct SocketAddress {
    int family = AF_UNSPEC;
    sockaddr_storage storage{};
    socklen_t length = 0;
    const sockaddr* address() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

// The address to connect to for a target; false with error set when there is none.
inline bool resolveTarget(const std::string& target, SocketAddress& out, uint32_t& error) {
    if (!startSockets()) {
        error = kErrorInvalid;
        return false;
    }
    if (isTcpTarget(target)) {
        std::string host, port;
        if (!splitHostPort(std::string_view(target).substr(kTcpPrefix.size()), host, port)) {
            error = kErrorInvalid;
            return false;
        }
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV;
        addrinfo* found = nullptr;
        if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr) {
            error = kErrorNoHost;
            return false;
        }
        out.family = found->ai_family;
        out.length = socklen_t(found->ai_addrlen);
        std::memcpy(&out.storage, found->ai_addr, found->ai_addrlen);
        ::freeaddrinfo(found);
        return true;
    }
#ifdef _WIN32
    error = ERROR_NOT_SUPPORTED;  // Unix sockets are not offered here
    return false;
#else
    sockaddr_un unixAddress{};
    if (target.empty() || target.size() >= sizeof unixAddress.sun_path) {
        error = ENAMETOOLONG;
        return false;
    }
    unixAddress.sun_family = AF_UNIX;
    std::memcpy(unixAddress.sun_path, target.c_str(), target.size() + 1);
    out.family = AF_UNIX;
    out.length = sizeof unixAddress;
    std::memcpy(&out.storage, &unixAddress, sizeof unixAddress);
    return true;
#endif
}

// The outcome of a connect that was in progress: 0 or the error.
inline uint32_t pendingError(Socket fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return socketError();
    return uint32_t(error);
}

// Small request and reply frames go out at once rather than waiting for the peer's ACK.
inline void setNoDelay(const SocketAddress& address, Socket fd) {
    if (address.family == AF_INET || address.family == AF_INET6) {
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    }
}

}  // namespace dalvex::platform
