// The vendor command transport and the emulated-drive client, against a scripted peer that
// records every byte the library sends, and against the camera emulator.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "commands.h"
#include "discovery.h"
#include "emulated_protocol.h"
#include "platform/drive_map.h"
#include "platform/emulated_socket.h"
#include "platform/platform.h"
#include "platform/win32_pass_through.h"
#include "support/emulated_cameras.h"
#include "transport.h"

using namespace std::string_literals;
namespace net = camsim::net;
using testsupport::EmulatedDrives;
using testsupport::StderrCapture;

namespace {

// A peer that accepts one connection, records one request frame and answers with a scripted
// reply frame (raw bytes, so that broken frames can be sent too).
class ScriptedPeer {
  public:
    explicit ScriptedPeer(std::vector<uint8_t> reply)
        : reply_(std::move(reply)),
          dir_(testsupport::makeTempFolder("dalvex-peer-")),
          address_(testsupport::driveAddress(dir_, 'E')),
          listen_(net::listenOn(address_)) {
        thread_ = std::thread([this] { serve(); });
        testsupport::setEnvironment("DALVEX_DRIVES", "E=" + testsupport::driveTarget(address_));
    }
    ~ScriptedPeer() {
        if (thread_.joinable())
            thread_.join();
        net::closeSocket(listen_);
        net::removeSocketFile(address_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        testsupport::clearEnvironment("DALVEX_DRIVES");
    }
    const std::vector<uint8_t>& request() {
        if (thread_.joinable())
            thread_.join();
        return request_;
    }

  private:
    void serve() {
        bool exhausted = false;
        const net::Socket peer = net::acceptClient(listen_, exhausted);
        if (peer == net::kNoSocket)
            return;
        uint8_t head[32];
        if (net::readAll(peer, head, sizeof head)) {
            request_.assign(head, head + 32);
            const uint32_t n = dalvex::bytes::loadLe32(head + 28);
            if (head[5] == 1 && n > 0) {
                std::vector<uint8_t> data(n);
                net::readAll(peer, data.data(), n);
                request_.insert(request_.end(), data.begin(), data.end());
            }
            net::writeAll(peer, reply_.data(), reply_.size());
        }
        net::closeSocket(peer);
    }

    std::vector<uint8_t> reply_;
    std::filesystem::path dir_;
    std::string address_;
    net::Socket listen_;
    std::vector<uint8_t> request_;
    std::thread thread_;
};

// The log line of a failed exchange with the system's error code: the codes of a reset connection
// or a time-out are errno values on Linux and Winsock's on Windows.
std::string sendFailedLog(uint32_t code) {
    char line[64];
    std::snprintf(line, sizeof line, "Send command failed!error code = 0x%x \r\n", unsigned(code));
    return line;
}

std::vector<uint8_t> replyFrame(uint8_t ok, uint8_t status, uint32_t error,
                                const std::vector<uint8_t>& data) {
    dalvex::emulated::ReplyHeader header;
    header.ok = ok;
    header.scsiStatus = status;
    header.errorCode = error;
    header.dataLength = uint32_t(data.size());
    std::vector<uint8_t> frame(16 + data.size());
    header.encode(frame.data());
    if (!data.empty())
        std::memcpy(frame.data() + 16, data.data(), data.size());
    return frame;
}

TEST(VendorCdb, LayoutOfSubCommands) {
    struct Case {
        uint16_t sub;
        uint8_t low, high;
    } cases[] = {{0x3201, 0x01, 0x32}, {0xF103, 0x03, 0xF1}, {0xF23F, 0x3F, 0xF2}};
    for (const auto& c : cases) {
        uint8_t cdb[16];
        std::memset(cdb, 0xEE, sizeof cdb);
        dalvex::buildVendorCdb(c.sub, cdb);
        const uint8_t expected[16] = {0xB8, 0x00, c.low, c.high};
        EXPECT_EQ(std::memcmp(cdb, expected, 16), 0) << std::hex << c.sub;
    }
}

TEST(EmulatedClient, WriteSendsTheExactFrame) {
    ScriptedPeer peer(replyFrame(1, 0, 0, {}));
    const uint8_t payload[3] = {0x61, 0x62, 0x63};
    EXPECT_EQ(dalvex::writeCommandTo(0x3201, payload, 3, "E:\\"), 1);
    const std::vector<uint8_t> expected = {'D',  'V',  'X',  'Q',  1, 1, 16, 0,  // op, dir, cdb len
                                           0xB8, 0x00, 0x01, 0x32, 0, 0, 0,  0,
                                           0,    0,    0,    0,    0, 0, 0,  0,  // CDB
                                           0xE8, 0x03, 0,    0,                  // 1000 ms
                                           3,    0,    0,    0,                  // length
                                           0x61, 0x62, 0x63};
    EXPECT_EQ(peer.request(), expected);
}

TEST(EmulatedClient, ReadFrameCarriesNoData) {
    ScriptedPeer peer(replyFrame(1, 0, 0, {1, 2}));
    uint8_t block[2] = {};
    EXPECT_EQ(dalvex::readCommandFrom(0xF103, block, 2, "E:\\"), 1);
    ASSERT_EQ(peer.request().size(), 32u);
    EXPECT_EQ(peer.request()[5], 0);  // data in
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[1], 2);
}

TEST(EmulatedClient, ShortReadLeavesTheRestOfTheBlock) {
    ScriptedPeer peer(replyFrame(1, 0, 0, {'A', 'B'}));
    char block[6] = {'x', 'x', 'x', 'x', 'x', '\0'};
    EXPECT_EQ(dalvex::readCommandFrom(0xF20F, block, 5, "E:\\"), 1);
    EXPECT_STREQ(block, "ABxxx");
}

TEST(EmulatedClient, BrokenReplyFramesFailThePassThrough) {
    struct Case {
        const char* name;
        std::vector<uint8_t> reply;
    };
    std::vector<uint8_t> badMagic = replyFrame(1, 0, 0, {});
    badMagic[0] = 'X';
    std::vector<uint8_t> tooLong = replyFrame(1, 0, 0, {1, 2, 3, 4, 5});
    std::vector<uint8_t> truncated = replyFrame(1, 0, 0, {});
    truncated.resize(7);
    std::vector<uint8_t> shortData = replyFrame(1, 0, 0, {1, 2, 3, 4});
    shortData.resize(18);
    const Case cases[] = {{"bad magic", badMagic},
                          {"more data than asked", tooLong},
                          {"truncated header", truncated},
                          {"data cut short", shortData},
                          {"a failed call that carries data", replyFrame(0, 0, 0x1F, {1, 2, 3, 4})},
                          {"nothing at all", {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer(c.reply);
        uint8_t block[4] = {9, 9, 9, 9};
        StderrCapture log;
        EXPECT_EQ(dalvex::readCommandFrom(0xF206, block, 4, "E:\\"), 0);
        EXPECT_EQ(std::vector<uint8_t>(block, block + 4), std::vector<uint8_t>(4, 9));
        EXPECT_EQ(log.text().rfind("Send command failed!error code = 0x", 0), 0u);
    }
}

class TransportTest : public ::testing::Test {
  protected:
    void SetUp() override { dalvex::resetDiscoveryState(); }
    EmulatedDrives drives;
};

TEST_F(TransportTest, ResultRulesOfReadsAndWrites) {
    drives.add('E');
    struct Case {
        const char* name;
        camsim::Fault fault;
        int read, write;
        int status;
        std::string log;
    } cases[] = {
        {"good", camsim::Fault::kNone, 1, 1, 0, ""},
        {"check condition", camsim::Fault::kRefuse, 1, 0, 2, ""},
        {"pass-through failure", camsim::Fault::kPassFail, 0, 0, -1, sendFailedLog(0x1f)},
        {"connection dropped", camsim::Fault::kDrop, 0, 0, -1,
         sendFailedLog(dalvex::platform::kErrorReset)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        char serial[33] = "untouched";
        drives.server('E').injectFault(c.fault, 1);
        StderrCapture readLog;
        EXPECT_EQ(dalvex::readCommandFrom(0xF20F, serial, 32, "E:\\"), c.read);
        EXPECT_EQ(readLog.text(), c.log);
        // Nothing came back unless the camera answered: the block is as it was.
        EXPECT_STREQ(serial, c.fault == camsim::Fault::kNone ? "EMU0000001" : "untouched");

        const uint8_t byte = 0x61;
        drives.server('E').injectFault(c.fault, 1);
        StderrCapture writeLog;
        EXPECT_EQ(dalvex::writeCommandTo(0xF004, &byte, 1, "E:\\"), c.write);  // delete log
        EXPECT_EQ(writeLog.text(), c.log);

        uint8_t cdb[16];
        dalvex::buildVendorCdb(0xF103, cdb);
        int status = 99;
        drives.server('E').injectFault(c.fault, 1);
        StderrCapture quiet;
        dalvex::sendCommand("E:\\", 0, cdb, serial, 32, &status);
        EXPECT_EQ(status, c.status);
    }
}

// Keeps a copy of every request instead of sending it.
class RecordingDrive final : public dalvex::platform::DriveHandle {
  public:
    explicit RecordingDrive(std::vector<dalvex::platform::PassThroughRequest>& log) : log_(log) {}
    bool pass(dalvex::platform::PassThroughRequest& request) override {
        log_.push_back(request);
        return true;
    }

  private:
    std::vector<dalvex::platform::PassThroughRequest>& log_;
};

// Every request as the transport hands it to a backend, and as the Windows backend lays it out
// (the 32-bit layout of SCSI_PASS_THROUGH_DIRECT, then the 64-bit one).
TEST(TransportRequest, FixedFieldsOfEveryRequest) {
    using dalvex::platform::DataDirection;
    std::vector<dalvex::platform::PassThroughRequest> sent;
    dalvex::platform::setDriveOpenerForTesting(
        [&](char) { return std::make_unique<RecordingDrive>(sent); });
    uint8_t block[20] = {};
    uint32_t mebibytes = 0;
    const struct {
        const char* name;
        std::function<int()> call;
        DataDirection direction;
        uint32_t length;
        uint8_t cdb0;
    } cases[] = {
        {"read", [&] { return dalvex::readCommandFrom(0xF103, block, 20, "E:\\"); },
         DataDirection::kIn, 20, 0xB8},
        {"write", [&] { return dalvex::writeCommandTo(0xF207, block, 20, "E:\\"); },
         DataDirection::kOut, 20, 0xB8},
        {"read capacity", [&] { return dalvex::readCapacityMiB("E:\\", &mebibytes); },
         DataDirection::kIn, 8, 0x25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sent.clear();
        EXPECT_EQ(c.call(), 1);
        ASSERT_EQ(sent.size(), 1u);
        const auto& r = sent[0];
        EXPECT_EQ(r.cdbLength, 16);
        EXPECT_EQ(r.timeoutSeconds, 1u);
        EXPECT_EQ(r.direction, c.direction);
        EXPECT_EQ(r.length, c.length);
        EXPECT_EQ(r.cdb[0], c.cdb0);
        if (c.cdb0 == 0xB8) {
            EXPECT_EQ(r.data, block);  // moved in place, no copy in between
        }

        const auto w = dalvex::platform::win32::passThroughFields(r, 4);
        EXPECT_EQ(w.length, 44);
        EXPECT_EQ(w.pathId, 0);
        EXPECT_EQ(w.targetId, 1);
        EXPECT_EQ(w.lun, 0);
        EXPECT_EQ(w.cdbLength, 16);
        EXPECT_EQ(w.senseInfoLength, 24);
        EXPECT_EQ(w.senseInfoOffset, 48u);
        EXPECT_EQ(w.timeOutValue, 1u);
        EXPECT_EQ(w.dataIn, c.direction == DataDirection::kIn ? 1 : 0);
        EXPECT_EQ(w.dataTransferLength, c.length);
        EXPECT_EQ(w.dataBuffer, r.data);
        EXPECT_EQ(std::memcmp(w.cdb, r.cdb, 16), 0);
        const auto w64 = dalvex::platform::win32::passThroughFields(r, 8);
        EXPECT_EQ(w64.length, 56);
        EXPECT_EQ(w64.senseInfoOffset, 60u);
    }
    dalvex::platform::setDriveOpenerForTesting(nullptr);
}

TEST_F(TransportTest, CurrentDrivePathIsTheTarget) {
    drives.add('F');
    char letter = 0;
    {
        StderrCapture quiet;
        ASSERT_EQ(dalvex::findCameraDrive(&letter, dalvex::ScanMode::kIdentification), 1);
    }
    drives.model('F').clearReceived();
    char serial[33] = {};
    EXPECT_EQ(dalvex::Drive::current().read(0xF20F, serial, 32), 1);
    EXPECT_STREQ(serial, "EMU0000001");
    const auto received = drives.model('F').snapshot().received;
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].subCommand, 0xF20F);
    EXPECT_TRUE(received[0].dataIn);
    EXPECT_EQ(received[0].length, 32u);
}

TEST_F(TransportTest, OpenFailures) {
    drives.addEmpty('G');
    const char* paths[] = {"", "G:\\", "Q:\\"};
    for (const char* path : paths) {
        SCOPED_TRACE(path);
        uint8_t cdb[16];
        dalvex::buildVendorCdb(0xF103, cdb);
        uint8_t block[4] = {};
        int status = 7;
        StderrCapture log;
        EXPECT_EQ(dalvex::sendCommand(path, 0, cdb, block, 4, &status), 0);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(log.text(), "Get handle failed\r\n");
    }
    // The current drive path is empty after a failed scan: commands without a letter fail.
    char letter = 0;
    dalvex::findCameraDrive(&letter, dalvex::ScanMode::kIdentification);
    uint8_t block[4] = {};
    StderrCapture log;
    EXPECT_EQ(dalvex::Drive::current().read(0xF103, block, 4), 0);
    EXPECT_EQ(log.text(), "Get handle failed\r\n");
}

TEST_F(TransportTest, SilentCameraFailsAfterAboutOneSecond) {
    drives.add('E');
    drives.server('E').injectFault(camsim::Fault::kSilent, 1);
    uint8_t block[4] = {};
    StderrCapture log;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dalvex::readCommandFrom(0xF20F, block, 4, "E:\\"), 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(log.text(), sendFailedLog(dalvex::platform::kErrorTimedOut));
    // Not a timing assertion: the call must simply have waited for the time-out, not given up
    // at once, and must have come back.
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
}

TEST_F(TransportTest, ReadCapacityInMebibytes) {
    struct Case {
        const char* name;
        camsim::CameraState state;
        uint32_t mebibytes;
    };
    auto disk = [](uint32_t blocks) {
        camsim::CameraState s;
        s.commandDiskBlocks = blocks;
        return s;
    };
    auto card = [](uint64_t mib) {
        camsim::CameraState s;
        s.massStorage = true;
        s.cardCapacityMiB = mib;
        return s;
    };
    const Case cases[] = {
        {"1023 blocks", disk(1023), 0},
        {"1024 blocks", disk(1024), 0},  // 1 unit of 1024 blocks of 512 bytes = 0.5 MiB
        {"2048 blocks", disk(2048), 1},
        {"32 GiB card", card(32768), 32768},
        {"last LBA 0xFFFFFFFF wraps to 0 blocks", card(2097152), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        drives.add('E', c.state);
        uint32_t mebibytes = 12345;
        EXPECT_EQ(dalvex::readCapacityMiB("E:\\", &mebibytes), 1);
        EXPECT_EQ(mebibytes, c.mebibytes);
    }
    drives.server('E').injectFault(camsim::Fault::kPassFail, 1);
    uint32_t mebibytes = 12345;
    StderrCapture quiet;
    EXPECT_EQ(dalvex::readCapacityMiB("E:\\", &mebibytes), 0);
    EXPECT_EQ(mebibytes, 0u);
}

// A camera served on a TCP port: there while the port answers, gone when it does not, and
// malformed targets are no drive either. A port that accepts connections but never replies
// (J: the kernel completes the handshake, nobody reads) is no drive.
TEST(EmulatedTcp, DriveIsThereWhileThePortAnswers) {
    using dalvex::platform::driveType;
    camsim::CameraState state;
    state.modelCode = 48;
    camsim::CameraModel model(state);
    camsim::DriveServer server(model, "tcp:127.0.0.1:0");
    ASSERT_TRUE(server.start());
    std::string silentAddress = "tcp:127.0.0.1:0";
    const net::Socket silent = net::listenOn(silentAddress);
    ASSERT_NE(silent, net::kNoSocket);
    const std::string map = "E=" + server.socketPath() +
                            ";F=tcp:127.0.0.1:1;G=tcp:127.0.0.1;H=tcp:127.0.0.1:70000;I=tcp::5" +
                            ";J=" + silentAddress;
    testsupport::setEnvironment("DALVEX_DRIVES", map);
    EXPECT_EQ(driveType('E'), dalvex::platform::kDriveRemovable);
    for (char letter : {'F', 'G', 'H', 'I', 'J'}) {
        SCOPED_TRACE(letter);
        EXPECT_EQ(driveType(letter), dalvex::platform::kDriveNoRootDir);
    }
    uint8_t spec[52] = {};
    EXPECT_EQ(dalvex::readCommandFrom(0xF20C, spec, sizeof spec, "E:\\"), 1);  // device spec
    EXPECT_EQ(spec[0], 48);

    server.unplug();
    EXPECT_EQ(driveType('E'), dalvex::platform::kDriveNoRootDir);
    {
        StderrCapture log;
        EXPECT_EQ(dalvex::readCommandFrom(0xF20C, spec, sizeof spec, "E:\\"), 0);
        EXPECT_EQ(log.text(), "Get handle failed\r\n");
    }
    server.plug();  // on the same port again
    EXPECT_EQ(driveType('E'), dalvex::platform::kDriveRemovable);
    server.stop();
    net::closeSocket(silent);
    testsupport::clearEnvironment("DALVEX_DRIVES");
}

// Stopping the server ends the connections it serves, an idle client's too, rather than waiting
// for the client to leave.
TEST(EmulatedTcp, StopEndsAnIdleClientsConnection) {
    namespace platform = dalvex::platform;
    namespace emulated = dalvex::emulated;
    camsim::CameraModel model;
    camsim::DriveServer server(model, "tcp:127.0.0.1:0");
    ASSERT_TRUE(server.start());
    platform::SocketAddress address;
    uint32_t error = 0;
    ASSERT_TRUE(platform::resolveTarget(server.socketPath(), address, error));
    const platform::Socket client = ::socket(address.family, SOCK_STREAM, 0);
    ASSERT_NE(client, platform::kNoSocket);
    ASSERT_EQ(::connect(client, address.address(), address.length), 0);
    // One answered request: the server has taken the connection and now waits for the next.
    emulated::RequestHeader request;
    request.op = emulated::kOpTotalSize;
    request.dataLength = 8;
    char frame[emulated::kRequestHeaderSize + emulated::kReplyHeaderSize + 8];
    request.encode(reinterpret_cast<uint8_t*>(frame));
    ASSERT_EQ(::send(client, frame, int(emulated::kRequestHeaderSize), 0),
              int(emulated::kRequestHeaderSize));
    for (size_t got = 0; got < emulated::kReplyHeaderSize + 8;) {
        const int n = ::recv(client, frame + got, int(emulated::kReplyHeaderSize + 8 - got), 0);
        ASSERT_GT(n, 0);
        got += size_t(n);
    }

    auto stopping = std::async(std::launch::async, [&] { server.stop(); });
    // Should stop wait for the client, closing the client lets it return and the test fail.
    const bool stoppedFirst =
        stopping.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    EXPECT_TRUE(stoppedFirst) << "stop waited for an idle client";
    if (stoppedFirst) {
        EXPECT_LE(::recv(client, frame, sizeof frame, 0), 0);  // the server's end is closed
    }
    platform::closeSocket(client);
    stopping.wait();
}

TEST(DriveMap, ParsesTheVariable) {
    using dalvex::platform::DriveTarget;
    struct Case {
        const char* text;
        char letter;
        DriveTarget::Kind kind;
        const char* path;
    } cases[] = {
        {"E=unix:/tmp/a.sock", 'E', DriveTarget::kEmulated, "/tmp/a.sock"},
        {"E=unix:/tmp/a.sock;F=/dev/sdb", 'F', DriveTarget::kDevice, "/dev/sdb"},
        {"e=unix:/x", 'E', DriveTarget::kEmulated, "/x"},
        {" G=/dev/sg3 ;", 'G', DriveTarget::kDevice, "/dev/sg3 "},
        {"E=unix:/first;E=unix:/second", 'E', DriveTarget::kEmulated, "/first"},
        {"E=tcp:127.0.0.1:5000", 'E', DriveTarget::kEmulated, "tcp:127.0.0.1:5000"},
        {"E=unix:/a", 'F', DriveTarget::kNone, ""},
        {"", 'E', DriveTarget::kNone, ""},
        {"garbage;;E", 'E', DriveTarget::kNone, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const DriveTarget t = dalvex::platform::lookupDriveMap(c.text, c.letter);
        EXPECT_EQ(t.kind, c.kind);
        EXPECT_EQ(t.path, c.path);
    }
}

}  // namespace
