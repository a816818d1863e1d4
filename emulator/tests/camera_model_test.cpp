// The camera model on its own: the catalogue it answers, the judgements it makes and the state it
// keeps, without the library or a socket.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "camsim/camera_model.h"
#include "camsim/state_file.h"

using namespace camsim;

namespace {

using Bytes = std::vector<uint8_t>;

Reply send(CameraModel& model, uint16_t sub, bool dataIn, const Bytes& data, uint32_t length) {
    Command command;
    command.cdb[0] = 0xB8;
    command.cdb[2] = uint8_t(sub);
    command.cdb[3] = uint8_t(sub >> 8);
    command.dataIn = dataIn;
    command.length = length;
    command.dataOut = dataIn ? nullptr : data.data();
    return model.execute(command);
}

Reply read(CameraModel& model, uint16_t sub, uint32_t length) {
    return send(model, sub, true, {}, length);
}

Reply write(CameraModel& model, uint16_t sub, Bytes data) {
    return send(model, sub, false, data, uint32_t(data.size()));
}

Bytes password(const std::string& first, const std::string& second = "", uint8_t a = 0,
               uint8_t b = 0) {
    Bytes record(48, 0);
    std::memcpy(record.data() + 8, first.data(), first.size());
    std::memcpy(record.data() + 16, second.data(), second.size());
    record[24] = a;
    record[25] = b;
    return record;
}

uint32_t u32(const Bytes& data, size_t offset = 0) {
    return data[offset] | data[offset + 1] << 8 | data[offset + 2] << 16 |
           uint32_t(data[offset + 3]) << 24;
}

TEST(CameraModel, AnswersEveryCatalogueCommandAndChecksItsShape) {
    const auto& catalogue = vendorCatalogue();
    EXPECT_EQ(catalogue.size(), 57u);
    std::set<uint16_t> seen;
    for (const CatalogueEntry& entry : catalogue) {
        SCOPED_TRACE(entry.subCommand);
        EXPECT_TRUE(seen.insert(entry.subCommand).second);
        CameraState state;
        state.rebootMilliseconds = 0;
        state.shutdownMilliseconds = 0;
        CameraModel model(state);
        // Wrong direction or length: CHECK CONDITION, whatever the command.
        const Bytes block(entry.length + 1, 0);
        EXPECT_EQ(send(model, entry.subCommand, !entry.dataIn, block, entry.length).status,
                  kStatusCheckCondition);
        EXPECT_EQ(send(model, entry.subCommand, entry.dataIn, block, entry.length + 1).status,
                  kStatusCheckCondition);
        // The right shape gets an answer of the right size.
        if (entry.dataIn) {
            const Reply reply = read(model, entry.subCommand, entry.length);
            EXPECT_EQ(reply.status, kStatusGood);
            EXPECT_EQ(reply.data.size(), entry.length);
        }
    }
    CameraModel model;
    EXPECT_EQ(read(model, 0xF228, 4).status, kStatusCheckCondition);  // not in the catalogue
}

TEST(CameraModel, LoginPasswordAndTheSwitchToMassStorage) {
    CameraModel model;
    EXPECT_EQ(write(model, 0xF203, password("000000")).status, kStatusGood);
    EXPECT_EQ(write(model, 0xF203, password("000001")).status, kStatusCheckCondition);
    EXPECT_EQ(write(model, 0xF203, password("000001", "", 1, 0)).status, kStatusCheckCondition);
    EXPECT_FALSE(model.snapshot().massStorage);
    EXPECT_EQ(model.totalSizeBytes(), 64u * 512);

    EXPECT_EQ(write(model, 0xF203, password("000000", "", 1, 0)).status, kStatusGood);
    EXPECT_EQ(model.totalSizeBytes(), uint64_t(32768) << 20);
    Command capacity;
    capacity.cdb[0] = 0x25;
    capacity.length = 8;
    const Reply reply = model.execute(capacity);
    const uint32_t lastLba =
        uint32_t(reply.data[0]) << 24 | reply.data[1] << 16 | reply.data[2] << 8 | reply.data[3];
    EXPECT_EQ(lastLba, (uint64_t(32768) << 20) / 512 - 1);

    EXPECT_EQ(write(model, 0xF235, {0x35}).status, kStatusCheckCondition);
    EXPECT_EQ(write(model, 0xF235, {0x36}).status, kStatusGood);
    EXPECT_EQ(model.totalSizeBytes(), 64u * 512);
}

TEST(CameraModel, FormatIsBusyForTheConfiguredPolls) {
    CameraState state;
    state.formatPolls = 3;
    CameraModel model(state);
    EXPECT_EQ(u32(read(model, 0xF20B, 4).data), 0xDCBAu);  // nothing running
    EXPECT_EQ(write(model, 0xF20A, {0x01}).status, kStatusCheckCondition);
    ASSERT_EQ(write(model, 0xF20A, {0x00}).status, kStatusGood);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(u32(read(model, 0xF20B, 4).data), 0x0FF0u);
    EXPECT_EQ(u32(read(model, 0xF20B, 4).data), 0xDCBAu);
}

TEST(CameraModel, ReadOnlyFieldsStayTheCameras) {
    CameraState state;
    state.cardCapacityMiB = 16 * 1024;
    state.freeSpaceMiB = 1234;
    CameraModel model(state);
    Bytes setting(20, 0xFF);
    setting[0] = 1;
    setting[1] = 2;
    setting[2] = 3;
    ASSERT_EQ(write(model, 0xF207, setting).status, kStatusGood);
    const Bytes back = read(model, 0xF206, 20).data;
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(back[2], 3);
    EXPECT_EQ(back[3], 0);
    EXPECT_EQ(u32(back, 4), 16u);
    EXPECT_EQ(u32(back, 8), 1234u);
    EXPECT_EQ(Bytes(back.begin() + 12, back.end()), Bytes(8, 0));

    {
        std::lock_guard<std::mutex> guard(model.lock());
        model.state().modelCode = 16;  // counts its card in MB
    }
    EXPECT_EQ(u32(read(model, 0xF206, 20).data, 4), 16u * 1024);
}

TEST(CameraModel, RestoreDefaultsBringsBackTheRk20Record) {
    CameraModel model;
    const Bytes defaults = read(model, 0xF218, 32).data;
    ASSERT_EQ(write(model, 0xF219, Bytes(32, 9)).status, kStatusGood);
    EXPECT_EQ(read(model, 0xF218, 32).data, Bytes(32, 9));
    EXPECT_EQ(write(model, 0xF005, {0x60}).status, kStatusCheckCondition);
    ASSERT_EQ(write(model, 0xF005, {0x61}).status, kStatusGood);
    EXPECT_EQ(read(model, 0xF218, 32).data, defaults);
}

TEST(CameraModel, ClockKeepsTheTimeItWasSet) {
    CameraModel model;
    Bytes record(48, 0);
    const uint32_t date = 20240229, time = 235958;
    std::memcpy(record.data(), &date, 4);
    std::memcpy(record.data() + 4, &time, 4);
    ASSERT_EQ(write(model, 0xF201, record).status, kStatusGood);
    const Bytes text = read(model, 0xF227, 32).data;
    const std::string got(reinterpret_cast<const char*>(text.data()));
    EXPECT_TRUE(got == "20240229235958" || got == "20240229235959") << got;

    // Not a date or time the camera keeps; 675360101 is year 67536, which 16 bits would wrap
    // to 2000.
    const uint32_t refused[][2] = {{20230229, 120000}, {675360101, 120000}, {21000101, 120000},
                                   {19691231, 120000}, {20241301, 120000},  {20240101, 240000},
                                   {20240101, 235960}};
    for (const auto& [badDate, badTime] : refused) {
        SCOPED_TRACE(badDate);
        std::memcpy(record.data(), &badDate, 4);
        std::memcpy(record.data() + 4, &badTime, 4);
        EXPECT_EQ(write(model, 0xF201, record).status, kStatusCheckCondition);
    }
}

TEST(CameraModel, RebootAsksForADisappearance) {
    CameraState state;
    state.rebootMilliseconds = 250;
    state.massStorage = true;
    CameraModel model(state);
    int asked = 0;
    model.setPowerHandler([&](int milliseconds) { asked = milliseconds; });
    EXPECT_EQ(write(model, 0xF001, {0x62}).status, kStatusCheckCondition);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(write(model, 0xF001, {0x61}).status, kStatusGood);
    EXPECT_EQ(asked, 250);
    EXPECT_FALSE(model.snapshot().massStorage);
}

TEST(CameraModel, LastOperationReportsTheLastWrite) {
    CameraModel model;
    write(model, 0xF203, password("bad"));
    Bytes last = read(model, 0xF222, 8).data;
    EXPECT_EQ(last[0] | last[1] << 8, 0xF203);
    EXPECT_EQ(last[2], 0);
    write(model, 0xF203, password("000000"));
    last = read(model, 0xF222, 8).data;
    EXPECT_EQ(last[2], 1);
}

TEST(CameraModel, JsonChannelAnswersJson) {
    CameraModel model;
    Bytes request(2048, 0);
    const std::string text = "{\"Get menu list\": null}";
    std::memcpy(request.data(), text.data(), text.size());
    ASSERT_EQ(write(model, 0xF239, request).status, kStatusGood);
    const Bytes answer = read(model, 0xF238, 2048).data;
    const std::string got(reinterpret_cast<const char*>(answer.data()));
    EXPECT_NE(got.find("\"Get menu list\""), std::string::npos) << got;
    EXPECT_NE(got.find("\"Playback\""), std::string::npos) << got;

    Bytes broken(2048, 'x');  // no terminator, not JSON
    EXPECT_EQ(write(model, 0xF239, broken).status, kStatusCheckCondition);
}

// A request of the JSON channel: the text in its 2048-byte block.
uint8_t jsonRequest(CameraModel& model, const std::string& text) {
    Bytes request(2048, 0);
    std::memcpy(request.data(), text.data(), std::min(text.size(), request.size()));
    return write(model, 0xF239, request).status;
}

// The JSON store takes new settings up to its limits and then refuses, leaving what it holds;
// settings it has can still be changed.
TEST(CameraModel, JsonChannelStoreIsBounded) {
    auto settings = [](size_t first, size_t count, size_t valueLength) {
        std::string text = "{";
        for (size_t k = first; k < first + count; ++k)
            text += (k == first ? "\"" : ",\"") + std::to_string(k) + "\":\"" +
                    std::string(valueLength, 'v') + "\"";
        return text + "}";
    };
    const struct {
        const char* name;
        size_t valueLength;  // of every setting sent
        size_t perRequest;   // new settings per request
    } cases[] = {
        {"many small settings", 1, 100},
        {"few large settings", 1900, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CameraModel model;
        size_t sent = 0;
        for (size_t batch : {c.perRequest, size_t(1)}) {
            while (sent < 2 * kJsonSettingsLimit &&
                   jsonRequest(model, settings(sent, batch, c.valueLength)) == kStatusGood)
                sent += batch;
        }
        const std::string full = model.snapshot().jsonConfig;
        ASSERT_LT(sent, 2 * kJsonSettingsLimit) << "the store never filled";
        EXPECT_LE(sent, kJsonSettingsLimit);
        EXPECT_LE(full.size(), kJsonStoreBytes);
        // Refused only where one more setting would pass a limit, and left as it was.
        EXPECT_TRUE(sent == kJsonSettingsLimit ||
                    full.size() + c.valueLength + 16 > kJsonStoreBytes);
        EXPECT_TRUE(model.snapshot().jsonConfig == full);
        // Changing a stored setting and asking for the menu still work when full.
        EXPECT_EQ(int(jsonRequest(model, "{\"0\":\"changed\"}")), kStatusGood);
        EXPECT_NE(model.snapshot().jsonConfig.find("\"changed\""), std::string::npos);
        EXPECT_EQ(int(jsonRequest(model, "{\"Get menu list\": null}")), kStatusGood);
    }
}

// A long session keeps the newest commands only, bounded in number and in payload bytes.
TEST(CameraModel, ReceivedLogKeepsTheNewestWithinItsBounds) {
    const struct {
        const char* name;
        size_t payload;
        size_t commands;
        size_t kept;
    } cases[] = {
        {"many small writes", 4, kReceivedLogEntries + 10, kReceivedLogEntries},
        {"frames of a mebibyte", 1 << 20, (kReceivedLogBytes >> 20) + 3, kReceivedLogBytes >> 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CameraModel model;
        Bytes data(c.payload, 0);
        for (size_t i = 0; i < c.commands; ++i) {
            std::memcpy(data.data(), &i, 4);
            write(model, 0x9999, data);  // refused, but received
        }
        const auto received = model.snapshot().received;
        ASSERT_EQ(received.size(), c.kept);
        size_t bytes = 0;
        for (const auto& r : received)
            bytes += r.payload.size();
        EXPECT_LE(bytes, kReceivedLogBytes);
        EXPECT_EQ(u32(received.front().payload), c.commands - c.kept);
        EXPECT_EQ(u32(received.back().payload), c.commands - 1);
    }
}

TEST(CameraModel, MenuListNeedsItsMarker) {
    CameraModel model;
    Bytes block(2048, 0);
    block[0] = 'A';
    EXPECT_EQ(write(model, 0xF237, block).status, kStatusCheckCondition);
    block[0] = 0x42;
    block[1] = 'Z';
    EXPECT_EQ(write(model, 0xF237, block).status, kStatusGood);
    EXPECT_EQ(model.snapshot().menuList, "Z");
}

TEST(StateFile, KeepsPasswordsRecordsAndSettings) {
    char pattern[] = "/tmp/camsim-state-XXXXXX";
    const int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::string path = pattern;

    CameraState state;
    state.loginPassword = "424242";
    state.adminPassword = "135790";
    state.noLoginCheck = 1;
    state.formatPolls = 9;
    state.clockSet = true;
    state.clockOffsetSeconds = -3600;
    state.menuList = "A;B";
    state.jsonConfig = "{\"volume\" : 3}";
    state.records[0xF20D] = Bytes(136, 0x11);
    ASSERT_TRUE(saveState(path, state));

    CameraState loaded;
    ASSERT_TRUE(loadState(path, loaded));
    EXPECT_EQ(loaded.loginPassword, "424242");
    EXPECT_EQ(loaded.adminPassword, "135790");
    EXPECT_EQ(loaded.noLoginCheck, 1);
    EXPECT_EQ(loaded.formatPolls, 9);
    EXPECT_TRUE(loaded.clockSet);
    EXPECT_EQ(loaded.clockOffsetSeconds, -3600);
    EXPECT_EQ(loaded.menuList, "A;B");
    EXPECT_EQ(loaded.jsonConfig, state.jsonConfig);
    EXPECT_EQ(loaded.records[0xF20D], Bytes(136, 0x11));

    // A file with a wrong type is refused and leaves the state alone.
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs("{\"loginPassword\": [1, 2], \"serial\": \"X\"}", f);
    std::fclose(f);
    CameraState untouched;
    EXPECT_FALSE(loadState(path, untouched));
    EXPECT_EQ(untouched.serial, CameraState{}.serial);
    std::remove(path.c_str());
}

}  // namespace
