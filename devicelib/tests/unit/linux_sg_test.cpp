// The Linux backend without hardware: the SG_IO request it builds and how it reads the outcome,
// through an injected ioctl, and the USB disk scan over a fake sysfs tree.
#include <errno.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/linux_sg.h"

namespace fs = std::filesystem;
using namespace dalvex::platform;

namespace {

// What the fake ioctl saw and what it answers.
struct FakeIoctl {
    static inline sg_io_hdr_t seen{};
    static inline uint8_t seenCdb[16]{};
    static inline unsigned long seenRequest = 0;
    static inline int result = 0;
    static inline int error = 0;
    static inline uint8_t status = 0;
    static inline uint16_t hostStatus = 0;
    static inline uint16_t driverStatus = 0;
    static inline int resid = 0;
    static inline std::vector<uint8_t> dataIn;

    static int call(int, unsigned long request, void* arg) {
        auto* hdr = static_cast<sg_io_hdr_t*>(arg);
        seen = *hdr;
        seenRequest = request;
        std::memcpy(seenCdb, hdr->cmdp, hdr->cmd_len);
        if (result < 0) {
            errno = error;
            return -1;
        }
        // Like the sg driver, hand back the whole buffer: what the device did not send is zero.
        if (hdr->dxfer_direction == SG_DXFER_FROM_DEV && hdr->dxfer_len > 0) {
            std::memset(hdr->dxferp, 0, hdr->dxfer_len);
        }
        if (hdr->dxfer_direction == SG_DXFER_FROM_DEV && !dataIn.empty()) {
            std::memcpy(hdr->dxferp, dataIn.data(),
                        std::min<size_t>(dataIn.size(), hdr->dxfer_len));
        }
        hdr->status = status;
        hdr->masked_status = status >> 1;
        hdr->host_status = hostStatus;
        hdr->driver_status = driverStatus;
        hdr->resid = resid;
        return 0;
    }
    static void reset() {
        result = error = resid = 0;
        status = 0;
        hostStatus = driverStatus = 0;
        dataIn.clear();
    }
};

class LinuxSgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeIoctl::reset();
        linux_sg::setIoctlForTesting(&FakeIoctl::call);
    }
    void TearDown() override { linux_sg::setIoctlForTesting(nullptr); }

    static PassThroughRequest vendorRead(void* data, uint32_t length) {
        PassThroughRequest r;
        r.direction = DataDirection::kIn;
        r.length = length;
        r.data = data;
        const uint8_t cdb[16] = {0xB8, 0x00, 0x03, 0xF1};
        std::memcpy(r.cdb, cdb, 16);
        return r;
    }
};

TEST_F(LinuxSgTest, BuildsTheRequest) {
    uint8_t block[32] = {};
    PassThroughRequest read = vendorRead(block, 32);
    FakeIoctl::dataIn.assign(32, 'T');
    ASSERT_TRUE(linux_sg::runSgIo(-1, read));
    EXPECT_EQ(FakeIoctl::seenRequest, static_cast<unsigned long>(SG_IO));
    EXPECT_EQ(FakeIoctl::seen.interface_id, 'S');
    EXPECT_EQ(FakeIoctl::seen.cmd_len, 16);
    EXPECT_EQ(FakeIoctl::seen.dxfer_direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(FakeIoctl::seen.dxfer_len, 32u);
    EXPECT_NE(FakeIoctl::seen.dxferp, nullptr);  // a block of the backend's own (see below)
    EXPECT_EQ(FakeIoctl::seen.mx_sb_len, 24);
    EXPECT_EQ(FakeIoctl::seen.timeout, 1000u);
    const uint8_t cdb[16] = {0xB8, 0x00, 0x03, 0xF1};
    EXPECT_EQ(std::memcmp(FakeIoctl::seenCdb, cdb, 16), 0);
    EXPECT_EQ(block[31], 'T');

    uint8_t payload[20] = {1};
    PassThroughRequest write = vendorRead(payload, 20);
    write.direction = DataDirection::kOut;
    ASSERT_TRUE(linux_sg::runSgIo(-1, write));
    EXPECT_EQ(FakeIoctl::seen.dxfer_direction, SG_DXFER_TO_DEV);
    EXPECT_EQ(FakeIoctl::seen.dxferp, payload);

    PassThroughRequest none = vendorRead(nullptr, 0);
    ASSERT_TRUE(linux_sg::runSgIo(-1, none));
    EXPECT_EQ(FakeIoctl::seen.dxfer_direction, SG_DXFER_NONE);
}

TEST_F(LinuxSgTest, ReadsTheOutcome) {
    struct Case {
        const char* name;
        int result, error;
        uint8_t status;
        uint16_t host, driver;
        int resid;
        bool ok;
        uint32_t lastError;
        uint8_t scsiStatus;
        uint32_t moved;
    } cases[] = {
        {"good", 0, 0, 0, 0, 0, 0, true, 0, 0, 32},
        {"good, short transfer", 0, 0, 0, 0, 0, 30, true, 0, 0, 2},
        {"check condition with sense", 0, 0, 2, 0, 0x08, 0, true, 0, 2, 32},
        {"ioctl refused", -1, EACCES, 0, 0, 0, 0, false, EACCES, 0, 0},
        {"device gone", -1, ENODEV, 0, 0, 0, 0, false, ENODEV, 0, 0},
        {"host time-out", 0, 0, 0, 0x03, 0, 0, false, ETIMEDOUT, 0, 0},
        {"driver time-out", 0, 0, 0, 0, 0x06, 0, false, ETIMEDOUT, 0, 0},
        {"host adapter error", 0, 0, 0, 0x07, 0, 0, false, EIO, 0, 0},
        {"driver error", 0, 0, 0, 0, 0x04, 0, false, EIO, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeIoctl::reset();
        FakeIoctl::result = c.result;
        FakeIoctl::error = c.error;
        FakeIoctl::status = c.status;
        FakeIoctl::hostStatus = c.host;
        FakeIoctl::driverStatus = c.driver;
        FakeIoctl::resid = c.resid;
        setLastError(0);
        uint8_t block[32] = {};
        PassThroughRequest r = vendorRead(block, 32);
        EXPECT_EQ(linux_sg::runSgIo(-1, r), c.ok);
        EXPECT_EQ(lastError(), c.lastError);
        if (c.ok) {
            EXPECT_EQ(r.scsiStatus, c.scsiStatus);
            EXPECT_EQ(r.moved, c.moved);
        }
    }
}

// The sg driver writes the whole data block back, zeros where the device sent nothing; the
// caller's block must still hold its old bytes there, and all of them after a refused read.
TEST_F(LinuxSgTest, OnlyTheBytesThatMovedReachTheCallersBlock) {
    struct Case {
        const char* name;
        int result;
        uint8_t status;
        uint16_t driver;
        int resid;
        size_t changed;  // leading bytes that take the device's data
    } cases[] = {
        {"whole answer", 0, 0, 0, 0, 32},
        {"short answer", 0, 0, 0, 28, 4},
        {"refused, nothing sent", 0, 2, 0x08, 32, 0},
        {"ioctl failed", -1, 0, 0, 0, 0},
        {"host time-out", 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeIoctl::reset();
        FakeIoctl::result = c.result;
        FakeIoctl::error = EIO;
        FakeIoctl::status = c.status;
        FakeIoctl::driverStatus = c.driver;
        FakeIoctl::hostStatus = std::string(c.name) == "host time-out" ? 0x03 : 0;
        FakeIoctl::resid = c.resid;
        FakeIoctl::dataIn.assign(32 - size_t(c.resid), 'T');
        uint8_t block[32];
        std::memset(block, 0x5A, sizeof block);
        PassThroughRequest r = vendorRead(block, 32);
        linux_sg::runSgIo(-1, r);
        for (size_t i = 0; i < sizeof block; ++i) {
            ASSERT_EQ(block[i], i < c.changed ? 'T' : 0x5A) << "byte " << i;
        }
    }
}

// A fake /sys/block: USB disks link into a path with "/usb", others do not.
class FakeSysfs {
  public:
    FakeSysfs() {
        char pattern[] = "/tmp/dalvex-sysfs-XXXXXX";
        root_ = mkdtemp(pattern);
        fs::create_directories(root_ / "block");
    }
    ~FakeSysfs() { fs::remove_all(root_); }
    void addDisk(const std::string& name, bool usb, const std::string& sg = "") {
        const fs::path device = root_ / "devices" /
                                (usb ? "pci0/usb1/1-2/host6/target6/6:0:0:0" : "pci0/ata1/host0") /
                                "block" / name;
        fs::create_directories(device / "device");
        if (!sg.empty())
            fs::create_directories(device / "device" / "scsi_generic" / sg);
        fs::create_directory_symlink(device, root_ / "block" / name);
    }
    std::string block() const { return (root_ / "block").string(); }

  private:
    fs::path root_;
};

TEST(LinuxUsbDisks, LetterOrderAndCommandNode) {
    FakeSysfs sysfs;
    sysfs.addDisk("sda", false);
    sysfs.addDisk("sdc", true, "sg3");
    sysfs.addDisk("sdaa", true);
    sysfs.addDisk("sdb", true, "sg1");
    sysfs.addDisk("nvme0n1", false);
    const auto disks = linux_sg::usbDisks(sysfs.block());
    EXPECT_EQ(disks, (std::vector<std::string>{"sdb", "sdc", "sdaa"}));
    EXPECT_EQ(linux_sg::commandNodeOfDisk(sysfs.block(), "sdb"), "/dev/sg1");
    EXPECT_EQ(linux_sg::commandNodeOfDisk(sysfs.block(), "sdaa"), "/dev/sdaa");
    EXPECT_TRUE(linux_sg::usbDisks(sysfs.block() + "/missing").empty());

    // Letters from 'D' on, in either case.
    const struct {
        char letter;
        const char* disk;
    } letters[] = {{'D', "sdb"},  {'d', "sdb"}, {'e', "sdc"}, {'F', "sdaa"},
                   {'f', "sdaa"}, {'g', ""},    {'c', ""},    {'[', ""}};
    for (const auto& l : letters)
        EXPECT_EQ(linux_sg::diskOfLetter(sysfs.block(), l.letter), l.disk) << l.letter;
}

}  // namespace
