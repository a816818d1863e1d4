// The USB mass-storage front end without a virtual machine: descriptors and class requests, the
// bulk-only transport's command, data and status stages, the SCSI answers a kernel relies on,
// and the usbredir conversation with a guest-side parser over a socket pair.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>
#include <usbredirparser.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "camsim/camera_model.h"
#include "camsim/usb_redir.h"
#include "camsim/usb_storage.h"

using camsim::BulkOnlyDevice;
using camsim::UsbStatus;

namespace {

std::vector<uint8_t> cbw(uint32_t tag, uint32_t length, bool in, std::vector<uint8_t> cdb) {
    std::vector<uint8_t> b(31, 0);
    const uint32_t sig = 0x43425355;
    std::memcpy(b.data(), &sig, 4);
    std::memcpy(b.data() + 4, &tag, 4);
    std::memcpy(b.data() + 8, &length, 4);
    b[12] = in ? 0x80 : 0x00;
    b[14] = uint8_t(cdb.size());
    std::memcpy(b.data() + 15, cdb.data(), cdb.size());
    return b;
}

struct Csw {
    uint32_t signature = 0, tag = 0, residue = 0;
    uint8_t status = 0xFF;
};

Csw parseCsw(const std::vector<uint8_t>& d) {
    Csw c;
    if (d.size() != 13)
        return c;
    std::memcpy(&c.signature, d.data(), 4);
    std::memcpy(&c.tag, d.data() + 4, 4);
    std::memcpy(&c.residue, d.data() + 8, 4);
    c.status = d[12];
    return c;
}

// Plays the host's side of the bulk-only transport, the way usb-storage does: CBW, one data
// request of the whole length, CSW.
struct Host {
    BulkOnlyDevice& device;
    uint32_t tag = 100;

    Csw command(std::vector<uint8_t> cdb, bool in, uint32_t length, std::vector<uint8_t>* dataIn,
                const std::vector<uint8_t>& dataOut = {}) {
        ++tag;
        const auto block = cbw(tag, length, in, std::move(cdb));
        const auto sent = device.bulkOut(block.data(), block.size());
        EXPECT_EQ(sent.status, UsbStatus::kSuccess);
        if (length > 0 && in) {
            auto t = device.bulkIn(length);
            EXPECT_EQ(t.status, UsbStatus::kSuccess);
            if (dataIn)
                *dataIn = t.data;
        } else if (length > 0) {
            auto t = device.bulkOut(dataOut.data(), dataOut.size());
            EXPECT_EQ(t.status, UsbStatus::kSuccess);
            EXPECT_EQ(t.accepted, dataOut.size());
        }
        const auto status = device.bulkIn(13);
        EXPECT_EQ(status.status, UsbStatus::kSuccess);
        Csw c = parseCsw(status.data);
        EXPECT_TRUE(device.idle());
        EXPECT_EQ(c.signature, 0x53425355u);
        EXPECT_EQ(c.tag, tag);
        return c;
    }

    std::vector<uint8_t> requestSense() {
        std::vector<uint8_t> sense;
        const Csw c = command({0x03, 0, 0, 0, 18, 0}, true, 18, &sense);
        EXPECT_EQ(c.status, 0);
        return sense;
    }
};

std::vector<uint8_t> vendorCdb(uint16_t sub) {
    std::vector<uint8_t> cdb(16, 0);
    cdb[0] = 0xB8;
    cdb[2] = uint8_t(sub);
    cdb[3] = uint8_t(sub >> 8);
    return cdb;
}

class UsbStorageTest : public ::testing::Test {
  protected:
    camsim::CameraModel model;
    BulkOnlyDevice device{model, camsim::UsbIdentity{}};
    Host host{device};
};

TEST_F(UsbStorageTest, DescriptorsDescribeOneBulkOnlyInterface) {
    const auto dev = device.deviceDescriptor();
    ASSERT_EQ(dev.size(), 18u);
    EXPECT_EQ(dev[0], 18);
    EXPECT_EQ(dev[1], 1);
    EXPECT_EQ(dev[7], 64);  // control packet size
    EXPECT_EQ(dev[17], 1);  // one configuration

    const auto cfg = device.configurationDescriptor();
    ASSERT_EQ(cfg.size(), size_t(cfg[2] | cfg[3] << 8));  // wTotalLength
    EXPECT_EQ(cfg[9 + 4], 2);                             // two endpoints
    EXPECT_EQ(cfg[9 + 5], 0x08);
    EXPECT_EQ(cfg[9 + 6], 0x06);
    EXPECT_EQ(cfg[9 + 7], 0x50);
    EXPECT_EQ(cfg[18 + 2], camsim::kBulkInEndpoint);
    EXPECT_EQ(cfg[25 + 2], camsim::kBulkOutEndpoint);
    for (size_t ep : {18u, 25u}) {
        EXPECT_EQ(cfg[ep + 3], 0x02);  // bulk
        EXPECT_EQ(cfg[ep + 4] | cfg[ep + 5] << 8, 512);
    }

    // GET_DESCRIPTOR gives at most wLength bytes: the host reads the configuration header first.
    auto t = device.control(0x80, 6, 0x0200, 0, 9, nullptr);
    EXPECT_EQ(t.status, UsbStatus::kSuccess);
    EXPECT_EQ(t.data, std::vector<uint8_t>(cfg.begin(), cfg.begin() + 9));
    t = device.control(0x80, 6, 0x0303, 0x0409, 255, nullptr);
    ASSERT_EQ(t.data.size(), 2u + 2 * std::string("EMU0000001").size());
    EXPECT_EQ(t.data[2], 'E');
    EXPECT_EQ(t.data[3], 0);
    EXPECT_EQ(device.control(0x80, 6, 0x0309, 0x0409, 255, nullptr).status, UsbStatus::kStall);
    EXPECT_EQ(device.control(0x80, 6, 0x0600, 0, 10, nullptr).data.size(), 10u);
}

TEST_F(UsbStorageTest, ClassRequests) {
    auto t = device.control(0xA1, 0xFE, 0, 0, 1, nullptr);
    EXPECT_EQ(t.status, UsbStatus::kSuccess);
    EXPECT_EQ(t.data, std::vector<uint8_t>{0});  // one LUN
    EXPECT_EQ(device.control(0x21, 0xFF, 0, 0, 0, nullptr).status, UsbStatus::kSuccess);
    EXPECT_EQ(device.control(0x21, 0xFF, 0, 1, 0, nullptr).status, UsbStatus::kStall);
    EXPECT_EQ(device.control(0xC0, 0x42, 0, 0, 4, nullptr).status, UsbStatus::kStall);
    EXPECT_TRUE(device.setConfiguration(1));
    EXPECT_EQ(device.configuration(), 1);
    EXPECT_FALSE(device.setConfiguration(2));
    device.busReset();
    EXPECT_EQ(device.configuration(), 0);
}

TEST_F(UsbStorageTest, InquiryReportsARemovableDisk) {
    std::vector<uint8_t> data;
    const Csw c = host.command({0x12, 0, 0, 0, 36, 0}, true, 36, &data);
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.residue, 0u);
    ASSERT_EQ(data.size(), 36u);
    EXPECT_EQ(data[0], 0x00);
    EXPECT_EQ(data[1], 0x80);
    // Vital product data pages are refused, as the kernel expects of a simple stick.
    EXPECT_EQ(host.command({0x12, 1, 0x80, 0, 255, 0}, true, 255, &data).status, 1);
    EXPECT_EQ(host.requestSense()[12], 0x24);
}

TEST_F(UsbStorageTest, StandardCommandsWithoutData) {
    const std::vector<std::vector<uint8_t>> good = {
        {0x00, 0, 0, 0, 0, 0},              // TEST UNIT READY
        {0x1E, 0, 0, 0, 1, 0},              // PREVENT MEDIUM REMOVAL
        {0x1B, 0, 0, 0, 1, 0},              // START STOP UNIT
        {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // SYNCHRONIZE CACHE(10)
    };
    for (const auto& cdb : good) {
        SCOPED_TRACE(int(cdb[0]));
        const Csw c = host.command(cdb, false, 0, nullptr);
        EXPECT_EQ(c.status, 0);
        EXPECT_EQ(c.residue, 0u);
    }
}

TEST_F(UsbStorageTest, AFailedCommandSendsNoDataAndLeavesSense) {
    // An unknown opcode with a data-in stage: an empty (short) data stage, a failed CSW with the
    // whole length as residue, then the sense the kernel asks for.
    ASSERT_EQ(
        device.bulkOut(cbw(7, 8, true, {0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0}).data(), 31).status,
        UsbStatus::kSuccess);
    const auto data = device.bulkIn(8);
    EXPECT_EQ(data.status, UsbStatus::kSuccess);
    EXPECT_TRUE(data.data.empty());
    const Csw c = parseCsw(device.bulkIn(13).data);
    EXPECT_EQ(c.tag, 7u);
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.residue, 8u);

    auto sense = host.requestSense();
    ASSERT_EQ(sense.size(), 18u);
    EXPECT_EQ(sense[0], 0x70);
    EXPECT_EQ(sense[2], 0x05);   // ILLEGAL REQUEST
    EXPECT_EQ(sense[12], 0x20);  // invalid command operation code
    // Sense is reported once; the next REQUEST SENSE finds nothing.
    sense = host.requestSense();
    EXPECT_EQ(sense[2], 0x00);
    EXPECT_EQ(sense[12], 0x00);
}

TEST_F(UsbStorageTest, VendorCommandsReachTheModel) {
    std::vector<uint8_t> data;
    Csw c = host.command(vendorCdb(0xF103), true, 32, &data);
    EXPECT_EQ(c.status, 0);
    ASSERT_EQ(data.size(), 32u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.data()), 9), "TORVEKBWC");

    // A write the camera judges: it sees the bytes of the data stage.
    std::vector<uint8_t> seen;
    model.setHandler(0xF2F0, [&](camsim::CameraState&, const camsim::Command& command) {
        seen.assign(command.dataOut, command.dataOut + command.length);
        return camsim::Reply{seen[0] == 'y' ? camsim::kStatusGood : camsim::kStatusCheckCondition,
                             {}};
    });
    c = host.command(vendorCdb(0xF2F0), false, 4, nullptr, {'y', 'e', 's', 0});
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(seen, (std::vector<uint8_t>{'y', 'e', 's', 0}));
    c = host.command(vendorCdb(0xF2F0), false, 4, nullptr, {'n', 'o', 0, 0});
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.residue, 0u);  // the data stage was taken whole
    const auto sense = host.requestSense();
    EXPECT_EQ(sense[2], 0x05);
    EXPECT_EQ(sense[12], 0x24);

    // An unknown sub-command is refused like the drive refuses it.
    EXPECT_EQ(host.command(vendorCdb(0xF2FE), true, 16, &data).status, 1);
    EXPECT_TRUE(data.empty());
}

TEST_F(UsbStorageTest, ShortAndSplitDataStages) {
    // The device has fewer bytes than the host asked for: a short packet, then the residue.
    ASSERT_EQ(device.bulkOut(cbw(1, 64, true, {0x12, 0, 0, 0, 36, 0}).data(), 31).status,
              UsbStatus::kSuccess);
    EXPECT_EQ(device.bulkIn(64).data.size(), 36u);
    Csw c = parseCsw(device.bulkIn(13).data);
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.residue, 28u);

    // The host takes the data in two requests.
    ASSERT_EQ(device.bulkOut(cbw(2, 32, true, vendorCdb(0xF103)).data(), 31).status,
              UsbStatus::kSuccess);
    const auto first = device.bulkIn(16);
    const auto second = device.bulkIn(16);
    EXPECT_EQ(first.data.size(), 16u);
    EXPECT_EQ(second.data.size(), 16u);
    EXPECT_EQ(first.data[0], 'T');
    c = parseCsw(device.bulkIn(13).data);
    EXPECT_EQ(c.tag, 2u);
    EXPECT_EQ(c.residue, 0u);

    // A data-out stage in two packets.
    std::vector<uint8_t> seen;
    model.setHandler(0xF2F1, [&](camsim::CameraState&, const camsim::Command& command) {
        seen.assign(command.dataOut, command.dataOut + command.length);
        return camsim::Reply{};
    });
    ASSERT_EQ(device.bulkOut(cbw(3, 6, false, vendorCdb(0xF2F1)).data(), 31).status,
              UsbStatus::kSuccess);
    const uint8_t part1[] = {1, 2, 3}, part2[] = {4, 5, 6};
    EXPECT_EQ(device.bulkOut(part1, 3).accepted, 3u);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(device.bulkOut(part2, 3).accepted, 3u);
    EXPECT_EQ(seen, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(parseCsw(device.bulkIn(13).data).status, 0);
}

TEST_F(UsbStorageTest, TheMediumFollowsTheModelsCapacity) {
    std::vector<uint8_t> data;
    ASSERT_EQ(host.command({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, 8, &data).status, 0);
    EXPECT_EQ(data, (std::vector<uint8_t>{0, 0, 0, 63, 0, 0, 2, 0}));  // the command disk

    // READ(10) of the last block reads zeros; one past it is out of range.
    EXPECT_EQ(host.command({0x28, 0, 0, 0, 0, 63, 0, 0, 1, 0}, true, 512, &data).status, 0);
    EXPECT_EQ(data, std::vector<uint8_t>(512, 0));
    EXPECT_EQ(host.command({0x28, 0, 0, 0, 0, 63, 0, 0, 2, 0}, true, 1024, &data).status, 1);
    EXPECT_EQ(host.requestSense()[12], 0x21);

    // After the switch to mass storage the same disk is the card; the host hears of the change
    // first.
    model.state().massStorage = true;
    EXPECT_EQ(host.command({0x00, 0, 0, 0, 0, 0}, false, 0, nullptr).status, 1);
    EXPECT_EQ(host.requestSense()[12], 0x28);
    EXPECT_EQ(host.command({0x28, 0, 0, 0, 0x10, 0, 0, 0, 8, 0}, true, 4096, &data).status, 0);
    EXPECT_EQ(data.size(), 4096u);

    // The medium keeps nothing: it says so, and refuses writes.
    ASSERT_EQ(host.command({0x1A, 0, 0x3F, 0, 192, 0}, true, 192, &data).status, 0);
    ASSERT_EQ(data.size(), 4u);
    EXPECT_EQ(data[2] & 0x80, 0x80);
    EXPECT_EQ(host.command({0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, false, 512, nullptr,
                           std::vector<uint8_t>(512, 0xAA))
                  .status,
              1);
    EXPECT_EQ(host.requestSense()[2], 0x07);  // DATA PROTECT
}

TEST_F(UsbStorageTest, AnInvalidCbwStallsUntilTheBulkOnlyReset) {
    auto bad = cbw(9, 0, false, {0x00, 0, 0, 0, 0, 0});
    bad[0] = 'X';
    EXPECT_EQ(device.bulkOut(bad.data(), bad.size()).status, UsbStatus::kStall);
    const auto good = cbw(10, 0, false, {0x00, 0, 0, 0, 0, 0});
    EXPECT_EQ(device.bulkOut(good.data(), 30).status, UsbStatus::kStall);  // and a short one
    EXPECT_EQ(device.bulkOut(good.data(), good.size()).status, UsbStatus::kStall);
    EXPECT_EQ(device.bulkIn(13).status, UsbStatus::kStall);
    // Clearing the halt alone does not end it; the reset does.
    EXPECT_EQ(device.control(0x02, 0x01, 0, 0x81, 0, nullptr).status, UsbStatus::kSuccess);
    EXPECT_EQ(device.bulkOut(good.data(), good.size()).status, UsbStatus::kStall);
    EXPECT_EQ(device.control(0x21, 0xFF, 0, 0, 0, nullptr).status, UsbStatus::kSuccess);
    EXPECT_EQ(host.command({0x00, 0, 0, 0, 0, 0}, false, 0, nullptr).status, 0);
    // A CSW asked for with nothing to report stalls too.
    EXPECT_EQ(device.bulkIn(13).status, UsbStatus::kStall);
}

// ---- the card image ---------------------------------------------------------------------------

std::vector<uint8_t> blocksOf(const std::string& path, uint64_t block, uint64_t count) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(std::streamoff(block * 512));
    std::vector<uint8_t> data(count * 512);
    in.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()));
    data.resize(size_t(in.gcount()));
    return data;
}

std::vector<uint8_t> read10(uint32_t lba, uint16_t count) {
    return {0x28,         0, uint8_t(lba >> 24),  uint8_t(lba >> 16), uint8_t(lba >> 8),
            uint8_t(lba), 0, uint8_t(count >> 8), uint8_t(count),     0};
}

std::vector<uint8_t> capacity(uint32_t lastLba) {
    return {uint8_t(lastLba >> 24),
            uint8_t(lastLba >> 16),
            uint8_t(lastLba >> 8),
            uint8_t(lastLba),
            0,
            0,
            2,
            0};
}

// A FAT32 image made as a user makes one, without root, with a file in a nested folder; the disk
// reads it only while the card is exposed, refuses writes, and tells the host each time the
// medium changes under it (the switch, copy-finished).
TEST(UsbCardImage, ExposedCardReadsTheImageWhichNoWriteChanges) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("camsim-card-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "card/DCIM/100MEDIA");
    std::ofstream(dir / "card/DCIM/100MEDIA/REC0001.MP4") << std::string(5000, 'v');
    const std::string image = (dir / "card.img").string();
    // mtools takes a FAT32 of 65525 clusters or more: 34 MiB of 512-byte clusters (sparse).
    const std::string make = "PATH=$PATH:/usr/sbin:/sbin mkfs.fat -C -F 32 " + image +
                             " 34816 >/dev/null 2>&1 && mcopy -s -m -i " + image + " " +
                             (dir / "card/DCIM").string() + " :: 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << make << " (dosfstools and mtools)";
    ASSERT_EQ(std::filesystem::file_size(image), 34816u * 1024);
    const uint32_t last = 34816 * 2 - 1;
    const auto slice = [&](uint64_t block, uint64_t count) {
        return blocksOf(image, block, count);
    };
    const std::vector<uint8_t> bootSector = slice(0, 1);
    ASSERT_EQ(bootSector[510], 0x55);  // a boot sector, not zeros

    auto card = std::make_shared<camsim::CardImage>();
    std::string error;
    ASSERT_TRUE(card->open(image, error)) << error;
    EXPECT_FALSE(camsim::CardImage().open(dir.string(), error));  // a folder is no image
    camsim::CameraModel model;
    BulkOnlyDevice device{model, camsim::UsbIdentity{}, card};
    Host host{device};

    std::vector<uint8_t> expose(48, 0);
    std::memcpy(&expose[8], "000000", 6);  // the login password, then the mode: expose
    expose[24] = 1;
    auto v = [](std::vector<uint8_t> cdb) {
        cdb.resize(16, 0);
        return cdb;
    };
    const std::vector<uint8_t> block(512, 0xAA);
    const std::vector<uint8_t> none;
    const camsim::Sense pass = camsim::sense::kNone, changed = camsim::sense::kMediumChanged,
                        protect = camsim::sense::kWriteProtected;
    const struct {
        const char* what;
        std::vector<uint8_t> cdb;
        std::vector<uint8_t> out;  // data out; none: data in of `in` bytes
        uint32_t in;
        camsim::Sense sense;  // kNone: passes
        std::vector<uint8_t> data;
    } steps[] = {
        {"command disk: its size", {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, none, 8, pass, capacity(63)},
        {"command disk: blank", read10(0, 1), none, 512, pass, std::vector<uint8_t>(512, 0)},
        {"the switch to mass storage", v({0xB8, 0, 0x03, 0xF2}), expose, 0, pass, {}},
        {"READ CAPACITY: the image, before the unit attention",
         {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         none,
         8,
         pass,
         capacity(last)},
        {"TEST UNIT READY: the medium changed", {0, 0, 0, 0, 0, 0}, none, 0, changed, {}},
        {"TEST UNIT READY: once only", {0, 0, 0, 0, 0, 0}, none, 0, pass, {}},
        {"the boot sector", read10(0, 1), none, 512, pass, slice(0, 1)},
        {"blocks in the middle", read10(2000, 16), none, 16 * 512, pass, slice(2000, 16)},
        {"the last block", read10(last, 1), none, 512, pass, slice(last, 1)},
        {"one past the end", read10(last, 2), none, 1024, camsim::sense::kLbaOutOfRange, {}},
        {"MODE SENSE: write-protected",
         {0x1A, 0, 0x3F, 0, 192, 0},
         none,
         192,
         pass,
         {3, 0, 0x80, 0}},
        {"WRITE(6)", {0x0A, 0, 0, 0, 1, 0}, block, 0, protect, {}},
        {"WRITE(10)", {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, block, 0, protect, {}},
        {"WRITE(12)", {0xAA, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, block, 0, protect, {}},
        {"WRITE(16)", v({0x8A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), block, 0, protect, {}},
        {"copy-finished", v({0xB8, 0, 0x35, 0xF2}), {0x36}, 0, pass, {}},
        {"the command disk is back",
         {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         none,
         8,
         pass,
         capacity(63)},
        {"READ(10): the medium changed again", read10(0, 1), none, 512, changed, {}},
        {"READ(10): blank again", read10(0, 1), none, 512, pass, std::vector<uint8_t>(512, 0)},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        std::vector<uint8_t> data;
        const bool in = step.out.empty();
        const Csw c =
            host.command(step.cdb, in, in ? step.in : uint32_t(step.out.size()), &data, step.out);
        const bool passes = step.sense.key == 0;
        EXPECT_EQ(c.status, passes ? 0 : 1);
        if (passes) {
            EXPECT_EQ(data, step.data);
        } else {
            const auto sense = host.requestSense();
            EXPECT_EQ(sense[2], step.sense.key);
            EXPECT_EQ(sense[12], step.sense.asc);
            EXPECT_EQ(sense[13], step.sense.ascq);
        }
    }
    EXPECT_EQ(slice(0, 1), bootSector);
    std::filesystem::remove_all(dir);
}

// ---- usbredir ---------------------------------------------------------------------------------

// The guest's end of the connection, as a virtual machine's usb-redir device holds it.
struct Guest {
    int fd;
    usbredirparser* parser = nullptr;
    bool connected = false;
    int connects = 0;
    int disconnects = 0;
    uint8_t epType[32] = {};
    uint16_t epMaxPacket[32] = {};
    uint16_t vendorId = 0;
    std::map<uint64_t, std::vector<uint8_t>> replies;  // by id: data that came back
    std::map<uint64_t, uint32_t> lengths;              // by id: the length field
    std::map<uint64_t, uint8_t> statuses;
    uint8_t configuration = 0xFF;

    static Guest& of(void* priv) { return *static_cast<Guest*>(priv); }

    explicit Guest(int socket) : fd(socket) {
        parser = usbredirparser_create();
        parser->priv = this;
        parser->read_func = [](void* priv, uint8_t* data, int count) {
            const ssize_t n = ::recv(of(priv).fd, data, size_t(count), MSG_DONTWAIT);
            return n > 0 ? int(n) : (n < 0 && errno == EAGAIN ? 0 : -1);
        };
        parser->write_func = [](void* priv, uint8_t* data, int count) {
            return int(::send(of(priv).fd, data, size_t(count), MSG_NOSIGNAL));
        };
        parser->log_func = [](void*, int, const char*) {};
        parser->hello_func = [](void*, usb_redir_hello_header*) {};
        parser->interface_info_func = [](void*, usb_redir_interface_info_header*) {};
        parser->device_disconnect_func = [](void* priv) {
            of(priv).connected = false;
            ++of(priv).disconnects;
        };
        parser->device_connect_func = [](void* priv, usb_redir_device_connect_header* h) {
            of(priv).connected = true;
            ++of(priv).connects;
            of(priv).vendorId = h->vendor_id;
        };
        parser->ep_info_func = [](void* priv, usb_redir_ep_info_header* h) {
            std::memcpy(of(priv).epType, h->type, 32);
            std::memcpy(of(priv).epMaxPacket, h->max_packet_size, sizeof h->max_packet_size);
        };
        parser->configuration_status_func = [](void* priv, uint64_t id,
                                               usb_redir_configuration_status_header* h) {
            of(priv).statuses[id] = h->status;
            of(priv).configuration = h->configuration;
        };
        parser->control_packet_func = [](void* priv, uint64_t id,
                                         usb_redir_control_packet_header* h, uint8_t* data,
                                         int length) {
            Guest& g = of(priv);
            g.replies[id].assign(data, data + length);
            g.lengths[id] = h->length;
            g.statuses[id] = h->status;
            usbredirparser_free_packet_data(g.parser, data);
        };
        parser->bulk_packet_func = [](void* priv, uint64_t id, usb_redir_bulk_packet_header* h,
                                      uint8_t* data, int length) {
            Guest& g = of(priv);
            g.replies[id].assign(data, data + length);
            g.lengths[id] = uint32_t(h->length) | uint32_t(h->length_high) << 16;
            g.statuses[id] = h->status;
            usbredirparser_free_packet_data(g.parser, data);
        };
        uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
        usbredirparser_caps_set_cap(caps, usb_redir_cap_connect_device_version);
        usbredirparser_caps_set_cap(caps, usb_redir_cap_ep_info_max_packet_size);
        usbredirparser_caps_set_cap(caps, usb_redir_cap_64bits_ids);
        usbredirparser_caps_set_cap(caps, usb_redir_cap_32bits_bulk_length);
        usbredirparser_init(parser, "test guest", caps, USB_REDIR_CAPS_SIZE, 0);
    }
    ~Guest() { usbredirparser_destroy(parser); }

    // Sends what is queued and reads until pred() holds or the time is up.
    template <typename Pred>
    bool pump(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            while (usbredirparser_has_data_to_write(parser))
                usbredirparser_do_write(parser);
            usbredirparser_do_read(parser);
            if (pred())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    void bulk(uint64_t id, uint8_t endpoint, std::vector<uint8_t> data, uint32_t inLength = 0) {
        usb_redir_bulk_packet_header h{};
        h.endpoint = endpoint;
        const uint32_t length = endpoint & 0x80 ? inLength : uint32_t(data.size());
        h.length = uint16_t(length);
        h.length_high = uint16_t(length >> 16);
        usbredirparser_send_bulk_packet(parser, id, &h, data.empty() ? nullptr : data.data(),
                                        int(data.size()));
    }
};

TEST(UsbRedirServer, ConnectsAndCarriesTransfers) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    camsim::CameraState state;
    state.rebootMilliseconds = 50;
    camsim::CameraModel model(state);
    camsim::UsbRedirServer server(model, camsim::UsbIdentity{}, "/nonexistent/unused");
    std::atomic<bool> stop{false};
    std::thread serving([&] { server.serveConnection(fds[0], [&] { return stop.load(); }); });

    {
        Guest guest(fds[1]);
        ASSERT_TRUE(guest.pump([&] { return guest.connected; }));
        EXPECT_EQ(guest.vendorId, 0x1209);
        EXPECT_EQ(guest.epType[0], usb_redir_type_control);
        EXPECT_EQ(guest.epType[0x10 | 1], usb_redir_type_bulk);  // 0x81
        EXPECT_EQ(guest.epType[2], usb_redir_type_bulk);         // 0x02
        EXPECT_EQ(guest.epType[1], usb_redir_type_invalid);
        EXPECT_EQ(guest.epMaxPacket[2], 512);

        usb_redir_set_configuration_header set{1};
        usbredirparser_send_set_configuration(guest.parser, 1, &set);
        usb_redir_control_packet_header get{0x80, 6, 0x80, 0, 0x0100, 0, 18};
        usbredirparser_send_control_packet(guest.parser, 2, &get, nullptr, 0);
        ASSERT_TRUE(guest.pump([&] { return guest.replies.count(2) && guest.statuses.count(1); }));
        EXPECT_EQ(guest.configuration, 1);
        EXPECT_EQ(guest.replies[2].size(), 18u);
        EXPECT_EQ(guest.statuses[2], usb_redir_success);

        // INQUIRY through the bulk endpoints. The OUT replies carry no data, only the length
        // taken; the IN replies carry the bytes.
        guest.bulk(3, 0x02, cbw(55, 36, true, {0x12, 0, 0, 0, 36, 0}));
        guest.bulk(4, 0x81, {}, 36);
        guest.bulk(5, 0x81, {}, 13);
        ASSERT_TRUE(guest.pump([&] { return guest.replies.count(5) > 0; }));
        EXPECT_TRUE(guest.replies[3].empty());
        EXPECT_EQ(guest.lengths[3], 31u);
        EXPECT_EQ(guest.replies[4].size(), 36u);
        EXPECT_EQ(guest.replies[4][1], 0x80);
        const Csw c = parseCsw(guest.replies[5]);
        EXPECT_EQ(c.tag, 55u);
        EXPECT_EQ(c.status, 0);
        EXPECT_EQ(server.commandsServed(), 0u);  // standard commands are not counted

        // A bulk transfer on an endpoint the device does not have.
        guest.bulk(6, 0x83, {}, 8);
        ASSERT_TRUE(guest.pump([&] { return guest.statuses.count(6) > 0; }));
        EXPECT_EQ(guest.statuses[6], usb_redir_inval);

        // A reboot: the write gets its status, then the device leaves the bus and comes back
        // after the camera's restart time.
        guest.bulk(7, 0x02, cbw(56, 1, false, vendorCdb(0xF001)));
        guest.bulk(8, 0x02, {0x61});
        guest.bulk(9, 0x81, {}, 13);
        ASSERT_TRUE(guest.pump([&] { return guest.disconnects == 1; }));
        EXPECT_EQ(parseCsw(guest.replies[9]).status, 0);
        EXPECT_EQ(server.commandsServed(), 1u);
        const auto gone = std::chrono::steady_clock::now();
        guest.bulk(10, 0x81, {}, 13);  // in flight while the device leaves
        ASSERT_TRUE(guest.pump([&] { return guest.connects == 2; }));
        EXPECT_GE(std::chrono::steady_clock::now() - gone, std::chrono::milliseconds(40));
        EXPECT_EQ(guest.statuses[10], usb_redir_ioerror);
    }
    // The guest went away: the server returns.
    ::close(fds[1]);
    serving.join();
}

TEST(UsbRedirServer, AHungCameraWaitsForTheCancelAndTheReset) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    camsim::CameraModel model;
    camsim::UsbRedirServer server(model, camsim::UsbIdentity{}, "/nonexistent/unused");
    server.setSilentSubCommand(0xF2FD);
    std::thread serving([&] { server.serveConnection(fds[0], [] { return false; }); });
    {
        Guest guest(fds[1]);
        ASSERT_TRUE(guest.pump([&] { return guest.connected; }));
        guest.bulk(1, 0x02, cbw(1, 4, true, vendorCdb(0xF2FD)));
        guest.bulk(2, 0x81, {}, 4);
        ASSERT_TRUE(guest.pump([&] { return guest.statuses.count(1) > 0; }));
        EXPECT_EQ(guest.lengths[1], 31u);  // the command was taken
        EXPECT_FALSE(guest.pump([&] { return guest.statuses.count(2) > 0; },
                                std::chrono::milliseconds(200)));

        // The host gives up on the transfer, then resets the transport.
        usbredirparser_send_cancel_data_packet(guest.parser, 2);
        ASSERT_TRUE(guest.pump([&] { return guest.statuses.count(2) > 0; }));
        EXPECT_EQ(guest.statuses[2], usb_redir_cancelled);
        usb_redir_control_packet_header reset{0x00, 0xFF, 0x21, 0, 0, 0, 0};
        usbredirparser_send_control_packet(guest.parser, 3, &reset, nullptr, 0);
        guest.bulk(4, 0x02, cbw(2, 0, false, {0x00, 0, 0, 0, 0, 0}));
        guest.bulk(5, 0x81, {}, 13);
        ASSERT_TRUE(guest.pump([&] { return guest.replies.count(5) > 0; }));
        EXPECT_EQ(guest.statuses[3], usb_redir_success);
        const Csw c = parseCsw(guest.replies[5]);
        EXPECT_EQ(c.tag, 2u);
        EXPECT_EQ(c.status, 0);
    }
    ::close(fds[1]);
    serving.join();
}

}  // namespace
