#include "os/instance.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

InstanceMarker CreateInstanceMarker(const std::string& name, int* fd) {
    *fd = -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // Abstract namespace: the path starts with a NUL byte and no file is created.
    if (name.size() + 1 > sizeof address.sun_path)
        return InstanceMarker::kFailed;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());

    const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return InstanceMarker::kFailed;
    if (bind(s, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int error = errno;
        close(s);
        return error == EADDRINUSE ? InstanceMarker::kAlreadyExists : InstanceMarker::kFailed;
    }
    *fd = s;
    return InstanceMarker::kCreated;
}
