// The drive server's sockets on Windows: Winsock TCP only (a Unix socket path is refused), and a
// connected loopback pair to wake the accept loop's select, Winsock having no pipes to select on.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <string>

#include "camsim/server_sockets.h"
#include "emulated_protocol.h"

namespace camsim::net {

namespace {

// Winsock must be started once per process before its first call.
bool startSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET native(Socket socket) {
    return SOCKET(socket);
}

Socket wrap(SOCKET socket) {
    return socket == INVALID_SOCKET ? kNoSocket : Socket(socket);
}

uint16_t portOf(const sockaddr_storage& address) {
    return ntohs(address.ss_family == AF_INET6
                     ? reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port
                     : reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

}  // namespace

Socket listenOn(std::string& address) {
    std::string host, port;
    if (!startSockets() || !dalvex::emulated::isTcpTarget(address) ||
        !dalvex::emulated::splitHostPort(address.substr(4), host, port))
        return kNoSocket;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr)
        return kNoSocket;
    SOCKET s = ::socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
    // A replug binds the port again while connections accepted before are still open.
    BOOL on = TRUE;
    if (s != INVALID_SOCKET)
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    if (s != INVALID_SOCKET &&
        (::bind(s, found->ai_addr, int(found->ai_addrlen)) != 0 || ::listen(s, 16) != 0)) {
        ::closesocket(s);
        s = INVALID_SOCKET;
    }
    ::freeaddrinfo(found);
    sockaddr_storage bound{};
    int length = sizeof bound;
    if (s != INVALID_SOCKET && port == "0" &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length) == 0)
        address = address.substr(0, address.size() - 1) + std::to_string(portOf(bound));
    return wrap(s);
}

void removeSocketFile(const std::string&) {}

// No Unix sockets here: a TCP listener keeps its port where it is.
std::string moveSocketFileAside(const std::string&) {
    return {};
}

bool moveSocketFileBack(const std::string&, const std::string&) {
    return true;
}

std::string lastErrorText() {
    return "Winsock error " + std::to_string(WSAGetLastError());
}

Socket acceptClient(Socket listener, bool& exhausted) {
    const SOCKET s = ::accept(native(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
        const int error = WSAGetLastError();
        exhausted = error == WSAEMFILE || error == WSAENOBUFS;
        return kNoSocket;
    }
    exhausted = false;
    BOOL on = TRUE;  // small frames go out at once
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return wrap(s);
}

void setIdleTimeout(Socket socket, int milliseconds) {
    const DWORD limit = DWORD(milliseconds);
    ::setsockopt(native(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit),
                 sizeof limit);
    ::setsockopt(native(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit),
                 sizeof limit);
}

bool readAll(Socket socket, uint8_t* data, size_t size) {
    while (size > 0) {
        const int n = ::recv(native(socket), reinterpret_cast<char*>(data),
                             int(std::min<size_t>(size, 1 << 30)), 0);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool writeAll(Socket socket, const uint8_t* data, size_t size) {
    while (size > 0) {
        const int n = ::send(native(socket), reinterpret_cast<const char*>(data),
                             int(std::min<size_t>(size, 1 << 30)), 0);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

void shutdownBoth(Socket socket) {
    ::shutdown(native(socket), SD_BOTH);
    // Unlike on Linux, shutting a socket down does not end a recv that another thread is blocked
    // in: cancel it, or a server that stops waits for every idle client to leave.
    ::CancelIoEx(reinterpret_cast<HANDLE>(native(socket)), nullptr);
}

void closeSocket(Socket socket) {
    ::closesocket(native(socket));
}

bool openWaker(Socket ends[2]) {
    std::string address = "tcp:127.0.0.1:0";
    const Socket listener = listenOn(address);
    if (listener == kNoSocket)
        return false;
    std::string host, port;
    dalvex::emulated::splitHostPort(address.substr(4), host, port);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(uint16_t(std::stoi(port)));
    const SOCKET writer = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    SOCKET reader = INVALID_SOCKET;
    if (writer != INVALID_SOCKET &&
        ::connect(writer, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0)
        reader = ::accept(native(listener), nullptr, nullptr);
    closeSocket(listener);
    if (reader == INVALID_SOCKET) {
        if (writer != INVALID_SOCKET)
            ::closesocket(writer);
        return false;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(reader, FIONBIO, &nonBlocking);
    ::ioctlsocket(writer, FIONBIO, &nonBlocking);
    // A wake-up goes out at once, not held back until the one before is acknowledged.
    BOOL on = TRUE;
    ::setsockopt(writer, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    ends[0] = wrap(reader);
    ends[1] = wrap(writer);
    return true;
}

void wake(const Socket ends[2]) {
    const char byte = 1;
    // A full buffer already holds a wake-up.
    ::send(native(ends[1]), &byte, 1, 0);
}

void drain(const Socket ends[2]) {
    char bytes[64];
    while (::recv(native(ends[0]), bytes, sizeof bytes, 0) > 0) {
    }
}

void closeWaker(Socket ends[2]) {
    ::closesocket(native(ends[0]));
    ::closesocket(native(ends[1]));
    ends[0] = ends[1] = kNoSocket;
}

int waitReadable(const Socket waker[2], Socket listener, int milliseconds, bool& woken,
                 bool& listenerReady) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(native(waker[0]), &readable);
    if (listener != kNoSocket)
        FD_SET(native(listener), &readable);
    timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
    const int ready =
        ::select(0, &readable, nullptr, nullptr, milliseconds < 0 ? nullptr : &timeout);
    woken = ready > 0 && FD_ISSET(native(waker[0]), &readable);
    listenerReady = ready > 0 && listener != kNoSocket && FD_ISSET(native(listener), &readable);
    return ready < 0 ? -1 : ready > 0 ? 1 : 0;
}

}  // namespace camsim::net
