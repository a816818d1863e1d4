// The drive server's sockets on Linux: Unix stream sockets and TCP, and a pipe to wake the
// accept loop's poll.
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "camsim/server_sockets.h"
#include "emulated_protocol.h"

namespace camsim::net {

namespace {

using dalvex::emulated::isTcpTarget;

Socket listenTcp(std::string& address) {
    std::string host, port;
    errno = EINVAL;  // what a bad address or a failed look-up reports
    if (!dalvex::emulated::splitHostPort(address.substr(4), host, port))
        return kNoSocket;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr) {
        errno = EINVAL;
        return kNoSocket;
    }
    int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    if (fd >= 0)
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    int error = errno;
    if (fd >= 0 && (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, 16) != 0)) {
        error = errno;
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    errno = error;
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

Socket listenUnix(const std::string& path) {
    sockaddr_un addr{};
    if (path.size() >= sizeof(addr.sun_path)) {
        errno = ENAMETOOLONG;
        return kNoSocket;
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return kNoSocket;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return kNoSocket;
    }
    return fd;
}

}  // namespace

Socket listenOn(std::string& address) {
    return isTcpTarget(address) ? listenTcp(address) : listenUnix(address);
}

void removeSocketFile(const std::string& address) {
    if (!isTcpTarget(address))
        ::unlink(address.c_str());
}

std::string moveSocketFileAside(const std::string& address) {
    if (isTcpTarget(address))
        return {};
    static thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 8; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".restarting-%016llx", (unsigned long long)random());
        const std::string aside = address + suffix;
        if (::renameat2(AT_FDCWD, address.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno != EEXIST)
            break;
    }
    return {};
}

bool moveSocketFileBack(const std::string& aside, const std::string& address) {
    if (::renameat2(AT_FDCWD, aside.c_str(), AT_FDCWD, address.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL)
        return false;
    // A file system without RENAME_NOREPLACE: a link never replaces either.
    if (::link(aside.c_str(), address.c_str()) != 0)
        return false;
    ::unlink(aside.c_str());
    return true;
}

std::string lastErrorText() {
    return std::strerror(errno);
}

Socket acceptClient(Socket listener, bool& exhausted) {
    const int fd = ::accept4(int(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        exhausted = errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
        return kNoSocket;
    }
    exhausted = false;
    int on = 1;  // small frames go out at once (refused, harmlessly, by a Unix socket)
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

void setIdleTimeout(Socket socket, int milliseconds) {
    const timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    ::setsockopt(int(socket), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(int(socket), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

bool readAll(Socket socket, uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::recv(int(socket), data, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool writeAll(Socket socket, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::send(int(socket), data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

void shutdownBoth(Socket socket) {
    ::shutdown(int(socket), SHUT_RDWR);
}

void closeSocket(Socket socket) {
    ::close(int(socket));
}

bool openWaker(Socket ends[2]) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    ends[0] = fds[0];
    ends[1] = fds[1];
    return true;
}

void wake(const Socket ends[2]) {
    const uint8_t byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] ssize_t n = ::write(int(ends[1]), &byte, 1);
}

void drain(const Socket ends[2]) {
    uint8_t bytes[64];
    while (::read(int(ends[0]), bytes, sizeof bytes) > 0) {
    }
}

void closeWaker(Socket ends[2]) {
    ::close(int(ends[0]));
    ::close(int(ends[1]));
    ends[0] = ends[1] = kNoSocket;
}

int waitReadable(const Socket waker[2], Socket listener, int milliseconds, bool& woken,
                 bool& listenerReady) {
    pollfd p[2] = {{int(waker[0]), POLLIN, 0}, {int(listener), POLLIN, 0}};
    const int ready = ::poll(p, listener == kNoSocket ? 1 : 2, milliseconds);
    woken = ready > 0 && p[0].revents != 0;
    listenerReady = ready > 0 && (p[1].revents & POLLIN) != 0;
    return ready < 0 ? -1 : ready > 0 ? 1 : 0;
}

}  // namespace camsim::net
