// Linux: vendor commands through SG_IO on the SCSI generic node of a USB mass-storage disk.
//
// The sg node (/dev/sgN) is used rather than the block node because the block layer refuses
// vendor opcodes to callers without CAP_SYS_RAWIO; the udev rule shipped in packaging/ gives the
// camera's sg node to a user group. Drive letters: USB disks, in the order of usbDisks(), get the
// letters from kFirstUsbLetter on; nothing else is a drive. Sizes come from sysfs.
#include "linux_sg.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "backends.h"

namespace dalvex::platform {

namespace linux_sg {

namespace {

constexpr unsigned kHostTimeOut = 0x03;    // DID_TIME_OUT
constexpr unsigned kDriverMask = 0x0F;     // driver byte without the suggestion bits
constexpr unsigned kDriverSense = 0x08;    // sense data came back: not an error in itself
constexpr unsigned kDriverTimeOut = 0x06;  // DRIVER_TIMEOUT

int realIoctl(int fd, unsigned long request, void* arg) {
    return ::ioctl(fd, request, arg);
}

IoctlFunction g_ioctl = realIoctl;

const char* kSysBlock = "/sys/block";

}  // namespace

void setIoctlForTesting(IoctlFunction function) {
    g_ioctl = function ? function : realIoctl;
}

void buildSgIo(PassThroughRequest& request, sg_io_hdr_t& hdr) {
    std::memset(&hdr, 0, sizeof hdr);
    hdr.interface_id = 'S';
    hdr.cmd_len = std::min<uint8_t>(request.cdbLength, sizeof request.cdb);
    hdr.cmdp = request.cdb;
    hdr.mx_sb_len = sizeof request.sense;
    hdr.sbp = request.sense;
    hdr.dxfer_len = request.length;
    hdr.dxferp = request.data;
    if (request.length == 0) {
        hdr.dxfer_direction = SG_DXFER_NONE;
    } else {
        hdr.dxfer_direction =
            request.direction == DataDirection::kIn ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
    }
    hdr.timeout = request.timeoutSeconds * 1000;  // milliseconds
}

bool interpretSgIo(int ioctlResult, int ioctlErrno, const sg_io_hdr_t& hdr,
                   PassThroughRequest& request) {
    if (ioctlResult < 0) {
        setLastError(uint32_t(ioctlErrno));
        return false;
    }
    const unsigned driver = hdr.driver_status & kDriverMask;
    if (hdr.host_status == kHostTimeOut || driver == kDriverTimeOut) {
        setLastError(ETIMEDOUT);
        return false;
    }
    if (hdr.host_status != 0 || (driver != 0 && driver != kDriverSense)) {
        setLastError(EIO);
        return false;
    }
    request.scsiStatus = hdr.status;
    const int resid = std::clamp<int>(hdr.resid, 0, int(hdr.dxfer_len));
    request.moved = hdr.dxfer_len - uint32_t(resid);
    return true;
}

bool runSgIo(int fd, PassThroughRequest& request) {
    sg_io_hdr_t hdr;
    buildSgIo(request, hdr);
    // The sg driver copies its whole bounce buffer back to the caller, the part the device did
    // not send included (as zeros). Reading into a block of our own and copying only the bytes
    // that moved keeps the rest of the caller's block as it was, also after a refused read.
    std::vector<uint8_t> incoming;
    if (hdr.dxfer_direction == SG_DXFER_FROM_DEV) {
        incoming.assign(hdr.dxfer_len, 0);
        hdr.dxferp = incoming.data();
    }
    int result = g_ioctl(fd, SG_IO, &hdr);
    int savedErrno = errno;
    const bool ok = interpretSgIo(result, savedErrno, hdr, request);
    if (ok && !incoming.empty() && request.moved > 0) {
        std::memcpy(request.data, incoming.data(), request.moved);
    }
    return ok;
}

std::vector<std::string> usbDisks(const std::string& sysBlock) {
    std::vector<std::string> disks;
    std::error_code ec;
    // Disks come and go while the folder is read; a failed step ends the walk instead of
    // throwing.
    for (std::filesystem::directory_iterator it(sysBlock, ec), end; !ec && it != end;
         it.increment(ec)) {
        const auto& entry = *it;
        const std::string name = entry.path().filename().string();
        if (name.rfind("sd", 0) != 0)
            continue;
        std::error_code rc;
        // The disk's device path runs through a USB interface when it is a USB disk.
        const std::string real = std::filesystem::canonical(entry.path(), rc).string();
        if (rc || real.find("/usb") == std::string::npos)
            continue;
        disks.push_back(name);
    }
    std::sort(disks.begin(), disks.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return disks;
}

std::string commandNodeOfDisk(const std::string& sysBlock, const std::string& disk) {
    std::error_code ec;
    const auto generic = std::filesystem::path(sysBlock) / disk / "device" / "scsi_generic";
    for (const auto& entry : std::filesystem::directory_iterator(generic, ec)) {
        return "/dev/" + entry.path().filename().string();
    }
    return "/dev/" + disk;
}

std::string diskOfLetter(const std::string& sysBlock, char letter) {
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (letter < kFirstUsbLetter || letter > 'Z')
        return {};
    const auto disks = usbDisks(sysBlock);
    const size_t index = size_t(letter - kFirstUsbLetter);
    return index < disks.size() ? disks[index] : std::string();
}

namespace {

std::string diskOfSystemLetter(char letter) {
    return diskOfLetter(kSysBlock, letter);
}

// The block-device name of a device path: "/dev/sdb" -> "sdb"; "/dev/sg2" -> the disk that owns
// sg2; empty when it is not known.
std::string diskOfDevicePath(const std::string& devicePath) {
    const std::string name = std::filesystem::path(devicePath).filename().string();
    if (name.rfind("sg", 0) == 0) {
        std::error_code ec;
        const auto block =
            std::filesystem::path("/sys/class/scsi_generic") / name / "device" / "block";
        for (const auto& entry : std::filesystem::directory_iterator(block, ec)) {
            return entry.path().filename().string();
        }
        return {};
    }
    return name;
}

bool sysfsSize(const std::string& disk, uint64_t& bytes) {
    if (disk.empty())
        return false;
    std::ifstream in(std::string(kSysBlock) + "/" + disk + "/size");
    unsigned long long sectors = 0;
    if (!(in >> sectors) || sectors == 0)
        return false;
    bytes = uint64_t(sectors) * 512;  // sysfs counts 512-byte sectors whatever the block size
    return true;
}

class SgDrive final : public DriveHandle {
  public:
    explicit SgDrive(int fd) : fd_(fd) {}
    ~SgDrive() override { ::close(fd_); }
    bool pass(PassThroughRequest& request) override { return runSgIo(fd_, request); }

  private:
    int fd_;
};

std::unique_ptr<DriveHandle> openNode(const std::string& node) {
    int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setLastError(uint32_t(errno));
        return nullptr;
    }
    return std::make_unique<SgDrive>(fd);
}

}  // namespace

}  // namespace linux_sg

std::unique_ptr<DriveHandle> openDevicePath(const std::string& devicePath) {
    const std::string name = std::filesystem::path(devicePath).filename().string();
    if (name.rfind("sd", 0) == 0) {
        return linux_sg::openNode(linux_sg::commandNodeOfDisk(linux_sg::kSysBlock, name));
    }
    return linux_sg::openNode(devicePath);
}

bool devicePathExists(const std::string& devicePath) {
    struct stat st {};
    return ::stat(devicePath.c_str(), &st) == 0;
}

std::string devicePathNode(const std::string& devicePath) {
    return fileNode(devicePath);
}

bool devicePathTotalSize(const std::string& devicePath, uint64_t& bytes) {
    return linux_sg::sysfsSize(linux_sg::diskOfDevicePath(devicePath), bytes);
}

CardPlace devicePathCard(const std::string& devicePath) {
    CardPlace place;
    place.path = linux_sg::diskOfDevicePath(devicePath);
    place.kind = place.path.empty() ? CardPlace::kNone : CardPlace::kDisk;
    return place;
}

std::unique_ptr<DriveHandle> openNativeDrive(char letter) {
    const std::string disk = linux_sg::diskOfSystemLetter(letter);
    if (disk.empty()) {
        setLastError(ENOENT);
        return nullptr;
    }
    return linux_sg::openNode(linux_sg::commandNodeOfDisk(linux_sg::kSysBlock, disk));
}

int nativeDriveType(char letter) {
    return linux_sg::diskOfSystemLetter(letter).empty() ? kDriveNoRootDir : kDriveRemovable;
}

std::string nativeDriveNode(char letter) {
    const std::string disk = linux_sg::diskOfSystemLetter(letter);
    if (disk.empty()) {
        return {};
    }
    // The block node is made anew for each disk that arrives; without /dev, its sysfs folder.
    std::string node = fileNode("/dev/" + disk);
    if (node.empty()) {
        node = fileNode(std::string(linux_sg::kSysBlock) + "/" + disk);
    }
    return disk + "#" + node;
}

CardPlace nativeCard(char letter) {
    CardPlace place;
    place.path = linux_sg::diskOfSystemLetter(letter);
    place.kind = place.path.empty() ? CardPlace::kNone : CardPlace::kDisk;
    return place;
}

bool nativeTotalSize(char letter, uint64_t& bytes) {
    return linux_sg::sysfsSize(linux_sg::diskOfSystemLetter(letter), bytes);
}

LocalTime localTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    return LocalTime{
        local.tm_year + 1900, local.tm_mon + 1, local.tm_wday, local.tm_mday,
        local.tm_hour,        local.tm_min,     local.tm_sec,  int(ts.tv_nsec / 1000000)};
}

}  // namespace dalvex::platform
