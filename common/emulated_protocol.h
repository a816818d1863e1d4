// Frames of the emulated-drive protocol, shared by the client backend and the camera emulator,
// and the form of its TCP targets. One stream connection (Unix or TCP) per opened drive; each
// request frame is answered by one reply frame. All integers are little-endian.
//
// Request: "DVXQ", op (1 SCSI command, 2 total-size query, 3 card folder query), direction (0 data
//          in, 1 data out),
//          CDB length, 0, CDB[16] zero-padded, timeout ms u32, data length N u32, N data bytes
//          when the direction is data out.
// Reply:   "DVXR", ok (1 the pass-through call succeeded), SCSI status, 0, 0, error code u32,
//          data length M u32 (bytes moved to the host, at most N; 0 for data out; 8 for op 2),
//          M data bytes (for op 2 the total size in bytes, u64).
//
// Op 3 asks, data in, where the camera's card can be read: the reply carries the absolute path of
// the folder that stands in for the card, as bytes without a terminator, and M is 0 while the
// storage is not exposed or the camera has no card folder. A path longer than N is refused (ok 0,
// error 0x7A). Peers that predate op 3 refuse it as any unknown op (ok 0, error 0x57): a client
// takes that as no card.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "byte_order.h"

namespace dalvex::emulated {

constexpr char kRequestMagic[4] = {'D', 'V', 'X', 'Q'};
constexpr char kReplyMagic[4] = {'D', 'V', 'X', 'R'};
constexpr size_t kRequestHeaderSize = 32;
constexpr size_t kReplyHeaderSize = 16;
// Requests larger than this are refused by both sides; no command moves more than a few KiB.
constexpr uint32_t kMaxDataLength = 1u << 20;

enum Op : uint8_t { kOpScsi = 1, kOpTotalSize = 2, kOpCardFolder = 3 };
enum Direction : uint8_t { kDataIn = 0, kDataOut = 1 };

struct RequestHeader {
    uint8_t op = kOpScsi;
    uint8_t direction = kDataIn;
    uint8_t cdbLength = 16;
    uint8_t cdb[16] = {};
    uint32_t timeoutMs = 1000;
    uint32_t dataLength = 0;

    void encode(uint8_t out[kRequestHeaderSize]) const {
        std::memset(out, 0, kRequestHeaderSize);
        std::memcpy(out, kRequestMagic, 4);
        out[4] = op;
        out[5] = direction;
        out[6] = cdbLength;
        std::memcpy(out + 8, cdb, 16);
        bytes::storeLe32(out + 24, timeoutMs);
        bytes::storeLe32(out + 28, dataLength);
    }
    bool decode(const uint8_t in[kRequestHeaderSize]) {
        if (std::memcmp(in, kRequestMagic, 4) != 0)
            return false;
        op = in[4];
        direction = in[5];
        cdbLength = in[6];
        std::memcpy(cdb, in + 8, 16);
        timeoutMs = bytes::loadLe32(in + 24);
        dataLength = bytes::loadLe32(in + 28);
        return dataLength <= kMaxDataLength;
    }
};

struct ReplyHeader {
    uint8_t ok = 1;
    uint8_t scsiStatus = 0;
    uint32_t errorCode = 0;
    uint32_t dataLength = 0;

    void encode(uint8_t out[kReplyHeaderSize]) const {
        std::memset(out, 0, kReplyHeaderSize);
        std::memcpy(out, kReplyMagic, 4);
        out[4] = ok;
        out[5] = scsiStatus;
        bytes::storeLe32(out + 8, errorCode);
        bytes::storeLe32(out + 12, dataLength);
    }
    bool decode(const uint8_t in[kReplyHeaderSize]) {
        if (std::memcmp(in, kReplyMagic, 4) != 0)
            return false;
        ok = in[4];
        scsiStatus = in[5];
        errorCode = bytes::loadLe32(in + 8);
        dataLength = bytes::loadLe32(in + 12);
        return true;
    }
};

// A drive or listener on TCP is named "tcp:HOST:PORT"; anything else is a Unix socket path.
constexpr std::string_view kTcpPrefix = "tcp:";

inline bool isTcpTarget(std::string_view target) {
    return target.substr(0, kTcpPrefix.size()) == kTcpPrefix;
}

// Splits "HOST:PORT" (HOST possibly "[v6 address]"); false unless both parts are there and the
// port is a number up to 65535 (0 lets a listener choose one; nothing answers a connect to it).
inline bool splitHostPort(std::string_view text, std::string& host, std::string& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size())
        return false;
    std::string_view name = text.substr(0, colon);
    if (name.front() == '[' && name.size() > 2 && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    port = std::string(text.substr(colon + 1));
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long number = std::strtol(port.c_str(), nullptr, 10);
    host = std::string(name);
    return number <= 65535;
}

}  // namespace dalvex::emulated
