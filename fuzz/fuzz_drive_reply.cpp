// The emulated-drive client against a camera that answers with any bytes: the input picks up to
// four requests (direction and length) and the rest is everything the camera sends back. A call
// that fails must leave the caller's block as it was; one that succeeds may fill at most the bytes
// asked for, and nothing for data out.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/backends.h"
#include "platform/platform.h"

using namespace dalvex::platform;

namespace {

constexpr uint8_t kUntouched = 0xA5;
constexpr size_t kMaxLength = 4096;

void sendAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        data += n;
        size -= size_t(n);
    }
}

bool untouchedFrom(const std::vector<uint8_t>& block, size_t from) {
    for (size_t i = from; i < block.size(); ++i) {
        if (block[i] != kUntouched)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    struct Planned {
        bool dataIn;
        uint32_t length;
    };
    std::vector<Planned> plan;
    const size_t count = (data[0] & 3) + 1;
    size_t pos = 1;
    for (size_t i = 0; i < count && pos + 2 <= size; ++i, pos += 2) {
        const uint16_t word = uint16_t(data[pos] | data[pos + 1] << 8);
        plan.push_back({(word & 1) == 0, uint32_t((word >> 1) % (kMaxLength + 1))});
    }

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return 0;
    // The camera's whole answer is waiting before the first request goes out; then it hangs up.
    sendAll(fds[1], data + pos, size - pos);
    ::shutdown(fds[1], SHUT_WR);
    {
        std::unique_ptr<DriveHandle> drive = adoptEmulatedDrive(fds[0]);
        for (const Planned& p : plan) {
            std::vector<uint8_t> block(p.length, kUntouched);
            PassThroughRequest request;
            request.direction = p.dataIn ? DataDirection::kIn : DataDirection::kOut;
            request.length = p.length;
            request.data = block.data();
            request.cdb[0] = 0xB8;
            if (!drive->pass(request)) {
                if (!untouchedFrom(block, 0))
                    std::abort();  // a failed call changed the caller's block
                continue;
            }
            const uint32_t moved = request.moved;
            if (p.dataIn ? moved > p.length : moved != 0)
                std::abort();
            if (!untouchedFrom(block, p.dataIn ? moved : 0))
                std::abort();  // bytes the reply did not carry were changed
        }
    }
    ::close(fds[1]);
    return 0;
}
