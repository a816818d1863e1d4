// The socket calls of the drive server, one file per system: sockets_posix.cpp (Unix sockets and
// TCP) and sockets_win32.cpp (Winsock, TCP only). The server itself is the same everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace camsim::net {

// A descriptor on POSIX systems, a SOCKET on Windows; kNoSocket is neither.
using Socket = std::intptr_t;
constexpr Socket kNoSocket = -1;

// A listener on "tcp:HOST:PORT", or on the Unix socket at a path (a stale file there is removed
// first). With port 0 the system chooses a port and address is rewritten to name it, so that a
// second call listens on the same port again. kNoSocket on failure, or for a path where the
// system has no Unix sockets.
Socket listenOn(std::string& address);
// Removes the file of a Unix socket; nothing for a TCP address.
void removeSocketFile(const std::string& address);

// Moves a Unix socket's file aside to a fresh name in its folder, so that the socket vanishes
// from its path while its listener stays bound there; returns the new name, or "" when the file
// stays where it is (a TCP address, a system without Unix sockets, a failed move).
std::string moveSocketFileAside(const std::string& address);
// Moves it back, never over a file that appeared at the address meanwhile. False on failure.
bool moveSocketFileBack(const std::string& aside, const std::string& address);
// The system's words for why the last socket or file call of this thread failed.
std::string lastErrorText();

// The next client of a listener, with small frames sent at once. kNoSocket on failure; exhausted
// then tells whether the system ran out of descriptors or memory (worth a pause before retrying).
Socket acceptClient(Socket listener, bool& exhausted);

// Makes a read or write that moves nothing for milliseconds fail, so that a silent client does
// not hold its connection for ever.
void setIdleTimeout(Socket socket, int milliseconds);

// read fills exactly size bytes, write sends them all; false when the stream ended or failed.
bool readAll(Socket socket, uint8_t* data, size_t size);
bool writeAll(Socket socket, const uint8_t* data, size_t size);
// Ends both directions, so that a thread blocked reading the socket returns.
void shutdownBoth(Socket socket);
void closeSocket(Socket socket);

// A wake-up channel for waitReadable: wake() makes ends[0] readable until drain().
bool openWaker(Socket ends[2]);
void wake(const Socket ends[2]);
void drain(const Socket ends[2]);
void closeWaker(Socket ends[2]);

// Waits until the waker or the listener (when it is not kNoSocket) is readable, at most
// milliseconds (-1: no limit). -1 on failure, 0 on time-out, else 1 with the flags set.
int waitReadable(const Socket waker[2], Socket listener, int milliseconds, bool& woken,
                 bool& listenerReady);

}  // namespace camsim::net
