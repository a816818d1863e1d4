// The camera emulator's request reader and vendor-command dispatch against a client that sends
// any bytes: the input is the whole stream the client writes. Whatever comes in, what goes back
// must be a run of well-formed reply frames, none carrying more than the protocol allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "camsim/camera_model.h"
#include "camsim/drive_server.h"
#include "emulated_protocol.h"

using namespace dalvex::emulated;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    camsim::CameraState state;
    state.rebootMilliseconds = 0;
    state.shutdownMilliseconds = 0;
    camsim::CameraModel model(state);
    // Never started: no socket, and a reboot asks nothing of it.
    camsim::DriveServer server(model, "/nonexistent/fuzz.sock");

    size_t pos = 0;
    std::vector<uint8_t> sent;
    camsim::DriveServer::Stream stream;
    stream.read = [&](uint8_t* out, size_t n) {
        if (size - pos < n)
            return false;
        std::memcpy(out, data + pos, n);
        pos += n;
        return true;
    };
    stream.write = [&](const uint8_t* bytes, size_t n) {
        sent.insert(sent.end(), bytes, bytes + n);
        return true;
    };
    server.serveStream(stream);

    for (size_t at = 0; at < sent.size();) {
        ReplyHeader reply;
        if (sent.size() - at < kReplyHeaderSize || !reply.decode(sent.data() + at))
            std::abort();  // a broken reply frame
        if (reply.dataLength > kMaxDataLength ||
            sent.size() - at - kReplyHeaderSize < reply.dataLength)
            std::abort();
        at += kReplyHeaderSize + reply.dataLength;
    }
    return 0;
}
