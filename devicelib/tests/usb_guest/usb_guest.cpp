// Runs inside a virtual machine whose USB disks are two emulated cameras (camsim --usbredir) and
// a plain USB stick: the library's Linux backend with automatic drive detection, against the
// kernel's own usb-storage, sd and sg drivers, and the udev rule's helper. Prints one line per
// check and a closing line that the host script judges:
//
//   usb_guest SERIAL_1 SERIAL_2 LOGIN_PASSWORD CARD_MIB STICK_MIB HELPER UID GID CAMERA_GID
//             TOOL CARD_SUMS
//
// Two cameras are attached (same password and card size, serials SERIAL_1 and SERIAL_2); which
// of them the kernel names first is up to enumeration, and the checks find out from sysfs. The
// stick (QEMU's usb-storage, STICK_MIB large) is let in last, so it is the last disk. HELPER is
// dalvex-camera-id; UID, GID and the supplementary CAMERA_GID are the unprivileged user's, whose
// checks run in a child that drops to that user. Both cameras' card is the same FAT32 image of
// CARD_MIB; after the switch to mass storage the card disk is mounted read-only and offloaded
// with the tool (TOOL, the dalvex program) into /archive; CARD_SUMS is the host's sha256sum list
// of the files it put on the card, which the archive's SHA256SUMS must match line for line.
//   ...
//   USBTEST RESULT: N passed, N failed
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dalvex.h"
#include "dalvex/camera.h"
#include "discovery.h"
#include "platform/linux_sg.h"
#include "platform/platform.h"
#include "transport.h"

namespace {

int g_passed = 0;
int g_failed = 0;

void check(const char* what, bool ok, const std::string& detail = {}) {
    ++(ok ? g_passed : g_failed);
    std::printf("%s - %s%s%s\n", ok ? "ok" : "not ok", what, detail.empty() ? "" : ": ",
                detail.c_str());
    std::fflush(stdout);
}

// One vendor command straight through the backend, to see what the transport above it hides:
// the sense data and the moved byte count.
struct Raw {
    bool passed = false;
    dalvex::platform::PassThroughRequest request;
    uint8_t data[64] = {};
};

Raw rawRead(char letter, uint16_t subCommand, uint32_t length) {
    Raw raw;
    auto drive = dalvex::platform::openDrive(letter);
    if (!drive)
        return raw;
    raw.request.direction = dalvex::platform::DataDirection::kIn;
    raw.request.length = length;
    raw.request.data = raw.data;
    dalvex::buildVendorCdb(subCommand, raw.request.cdb);
    raw.passed = drive->pass(raw.request);
    return raw;
}

// SG_IO on the sg node without the backend: what the kernel does to the part of a read buffer
// that the device did not fill. Printed for the record, not judged.
void noteRawKernelCopy() {
    using namespace dalvex::platform;
    const auto disks = linux_sg::usbDisks("/sys/block");
    if (disks.empty())
        return;
    const std::string node = linux_sg::commandNodeOfDisk("/sys/block", disks[0]);
    const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    PassThroughRequest request;
    uint8_t block[16];
    std::memset(block, 0x5A, sizeof block);
    request.direction = DataDirection::kIn;
    request.length = sizeof block;
    request.data = block;
    dalvex::buildVendorCdb(0xF2FE, request.cdb);
    sg_io_hdr_t hdr;
    linux_sg::buildSgIo(request, hdr);
    const int result = ::ioctl(fd, SG_IO, &hdr);
    ::close(fd);
    int kept = 0;
    for (uint8_t b : block)
        kept += b == 0x5A;
    std::printf(
        "note - plain SG_IO, refused read of 16 bytes into 0x5A: ioctl %d, status %u, "
        "resid %d, %d of 16 bytes kept\n",
        result, unsigned(hdr.status), hdr.resid, kept);
}

// The USB serial number of a disk's device, from sysfs: the first folder above the SCSI device
// that has an idVendor file is the USB device.
std::string usbSerialOfDisk(const std::string& disk) {
    std::error_code ec;
    auto dir = std::filesystem::canonical("/sys/block/" + disk + "/device", ec);
    for (; !ec && dir.has_relative_path(); dir = dir.parent_path()) {
        if (std::filesystem::exists(dir / "idVendor")) {
            std::ifstream in(dir / "serial");
            std::string serial;
            std::getline(in, serial);
            return serial;
        }
    }
    return {};
}

// The serial the camera on a letter reports (0xF20F), or empty.
std::string serialOn(char letter) {
    char path[dalvex::kDrivePathSize];
    dalvex::formatDriveRoot(letter, path);
    char block[32] = {};
    if (dalvex::readCommandFrom(0xF20F, block, sizeof block, path) != 1)
        return {};
    return std::string(block, strnlen(block, sizeof block));
}

// Polls every 200 ms until done() holds; the milliseconds it took, or -1 after timeoutMs.
template <typename Done>
int waitFor(Done done, int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
        if (done())
            return int(elapsed);
        if (elapsed > timeoutMs)
            return -1;
        usleep(200 * 1000);
    }
}

// The stick among the USB disks: QEMU's own disk of STICK_MIB (a camera's command disk is 64
// blocks, its card larger and from camsim).
std::string stickOf(const std::vector<std::string>& disks, uint32_t stickMiB) {
    for (const auto& disk : disks) {
        std::ifstream vendorIn("/sys/block/" + disk + "/device/vendor");
        std::ifstream sizeIn("/sys/block/" + disk + "/size");
        std::string vendor;
        unsigned long long sectors = 0;
        if (std::getline(vendorIn, vendor) && vendor.rfind("QEMU", 0) == 0 && sizeIn >> sectors &&
            sectors == uint64_t(stickMiB) * 2048)
            return disk;
    }
    return {};
}

// The helper's output on one line of the report.
std::string oneLine(const std::string& text) {
    std::string line;
    for (const char c : text)
        line += c == '\n' ? std::string("\\n") : std::string(1, c);
    return line;
}

// What the helper prints for a node (its standard output whole), and whether it exited 0.
std::string runHelper(const std::string& helper, const std::string& node, bool& exitedZero) {
    std::string output;
    FILE* pipe = ::popen((helper + " " + node).c_str(), "r");
    if (!pipe) {
        exitedZero = false;
        return output;
    }
    char chunk[256];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.append(chunk, got);
    const int status = ::pclose(pipe);
    exitedZero = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return output;
}

// What the rule does with the helper's output: a marked node to root:camera 0660; any other
// stays as the system's default rules make sg nodes (root:disk 0660). False when it failed.
bool applyRule(const std::string& node, const std::string& helperOutput, gid_t cameraGid) {
    const bool marked = ("\n" + helperOutput).find("\nDALVEX_CAMERA=1\n") != std::string::npos;
    return ::chown(node.c_str(), 0, marked ? cameraGid : 6) == 0 &&
           ::chmod(node.c_str(), 0660) == 0;
}

// The user's side: drops root for good, then one description read through the library. 0: a
// camera answered; 13: the node could not be opened for lack of permission; 1: anything else.
int describeAs(uid_t uid, gid_t gid, gid_t cameraGid, const char* node) {
    if (::setgroups(1, &cameraGid) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0 ||
        ::geteuid() != uid || ::setuid(0) == 0)
        return 1;
    ::setenv("DALVEX_DRIVES", (std::string("D=") + node).c_str(), 1);
    dalvex::setLogEnabled(false);
    char description[32] = {};
    const int ok = dalvex::readCommandFrom(0xF103, description, sizeof description, "D:\\");
    if (ok == 1 && std::memcmp(description, dalvex::kCameraSignature, 9) == 0)
        return 0;
    return dalvex::platform::lastError() == EACCES ? 13 : 1;
}

// Runs describeAs in a child; its exit code, or -1.
int describeAsChild(uid_t uid, gid_t gid, gid_t cameraGid, const std::string& node) {
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0)
        _exit(describeAs(uid, gid, cameraGid, node.c_str()));
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// The size of a disk as the kernel has it after opening its block node: opening a removable disk
// is when the kernel asks whether the medium changed.
uint64_t kernelBytesOnOpen(const std::string& disk) {
    const int fd = ::open(("/dev/" + disk).c_str(), O_RDONLY | O_CLOEXEC);
    uint64_t bytes = 0;
    if (fd >= 0) {
        if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0)
            bytes = 0;
        ::close(fd);
    }
    return bytes;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Runs a shell command line; its exit code, or -1.
int run(const std::string& command) {
    std::fflush(stdout);
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The card of D:'s camera, exposed a moment ago, through the kernel: mounted read-only and
// offloaded with the tool, which sends copy-finished; then the command disk is back.
void offloadCard(const std::string& tool, const std::string& cardSums, const std::string& password,
                 const std::string& serial, uint32_t cardMiB) {
    using namespace dalvex;
    const std::string disk = platform::linux_sg::diskOfLetter("/sys/block", 'D');
    uint64_t bytes = 0;
    const int seen = waitFor(
        [&] {
            bytes = kernelBytesOnOpen(disk);
            return bytes == uint64_t(cardMiB) << 20;
        },
        10000);
    check("the kernel sees the card's size when it opens the disk again (medium changed)",
          seen >= 0, disk + ": " + std::to_string(bytes) + " bytes");
    check("the kernel holds the card disk read-only (write-protected)",
          readText("/sys/block/" + disk + "/ro") == "1\n");
    ::mkdir("/mnt", 0755);
    ::mkdir("/mnt/card", 0755);
    int code = run("mount -o ro -t vfat /dev/" + disk + " /mnt/card");
    check("the card mounts read-only (vfat)", code == 0, "exit " + std::to_string(code));

    const std::string json = "/tmp/offload.json";
    code = run("DALVEX_PASSWORD='" + password + "' HOME=/root " + tool +
               " --json offload --to /archive --letter D >" + json +
               " 2>/tmp/offload.err");
    check("dalvex offload archives the card and exits 0", code == 0,
          "exit " + std::to_string(code) + ": " + oneLine(readText("/tmp/offload.err")));
    check("its summary says copy-finished was sent",
          readText(json).find("\"copy_finished\" : true") != std::string::npos);
    std::string folder;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/archive/" + serial, ec))
        folder = entry.path().string();
    check("it found the card where it is mounted (its manifest names /mnt/card)",
          readText(folder + "/manifest.json").find("\"/mnt/card\"") != std::string::npos);
    code = folder.empty() ? -1 : run("cd '" + folder + "' && sha256sum -c -s SHA256SUMS");
    check("sha256sum -c checks every copy in the offload folder", code == 0, folder);
    const auto archived = sortedLines(readText(folder + "/SHA256SUMS"));
    const auto written = sortedLines(readText(cardSums));
    check("the archive lists the files written on the host, with the host's hashes",
          !written.empty() && archived == written,
          std::to_string(archived.size()) + " of " + std::to_string(written.size()) + " lines");
    check("the video's GPS track lies beside it as GPX",
          readText(folder + "/DCIM/100MEDIA/REC0001.MP4.gpx").find("<trkpt") != std::string::npos);

    uint32_t mib = 99;
    const int ok = readCapacityMiB("D:\\", &mib);
    check("after copy-finished READ CAPACITY reports the command disk", ok == 1 && mib == 0,
          std::to_string(mib) + " MiB");
    code = run("umount /mnt/card");
    bytes = kernelBytesOnOpen(disk);
    check("unmounted and opened again, the disk is the command disk for the kernel too",
          code == 0 && bytes == 64 * 512,
          "umount exit " + std::to_string(code) + ", " + std::to_string(bytes) + " bytes");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 12) {
        std::fprintf(stderr,
                     "usage: usb_guest SERIAL_1 SERIAL_2 LOGIN_PASSWORD CARD_MIB STICK_MIB HELPER "
                     "UID GID CAMERA_GID TOOL CARD_SUMS\n");
        return 2;
    }
    const uint32_t stickMiB = uint32_t(std::strtoul(argv[5], nullptr, 10));
    const std::string helper = argv[6];
    const uid_t userId = uid_t(std::strtoul(argv[7], nullptr, 10));
    const gid_t userGid = gid_t(std::strtoul(argv[8], nullptr, 10));
    const gid_t cameraGid = gid_t(std::strtoul(argv[9], nullptr, 10));
    const std::set<std::string> serials = {argv[1], argv[2]};
    const std::string password = argv[3];
    const uint32_t cardMiB = uint32_t(std::strtoul(argv[4], nullptr, 10));
    if (std::getenv("DALVEX_DRIVES"))
        unsetenv("DALVEX_DRIVES");  // the point is the automatic detection
    using namespace dalvex;

    // Discovery and letters: the USB disks in kernel-name order get D: and E:; C: stands for the
    // system disk. The camera on D: is the one whose USB device holds the first disk.
    const int letter = TKUSB_IsDevice();
    check("TKUSB_IsDevice finds the first camera on D:", letter == 'D',
          "letter " + std::to_string(letter));
    const auto disks = platform::linux_sg::usbDisks("/sys/block");
    std::string disksText;
    for (const auto& d : disks)
        disksText += d + "=" + usbSerialOfDisk(d) + " ";
    const std::string serial = serialOn('D');  // the camera the rest of the checks use
    const std::string other = serialOn('E');
    const std::string stick = stickOf(disks, stickMiB);
    check(
        "D: and E: are the two cameras, in the order of their disks' kernel names, the stick "
        "the last disk",
        disks.size() == 3 && std::set<std::string>{serial, other} == serials &&
            usbSerialOfDisk(disks[0]) == serial && usbSerialOfDisk(disks[1]) == other &&
            disks[2] == stick,
        disksText + "D=" + serial + " E=" + other + " stick=" + stick);
    check("C: and G: are no drives, F: is the stick and no camera",
          platform::driveType('C') != platform::kDriveRemovable &&
              platform::driveType('G') != platform::kDriveRemovable &&
              platform::driveType('F') == platform::kDriveRemovable && serialOn('F').empty());

    // The udev rule's helper marks the cameras' nodes and not the stick's, and says nothing
    // else; it exits 0 either way. The nodes get what the rule gives them.
    bool modes = !stick.empty();
    for (const auto& disk : disks) {
        const std::string node = platform::linux_sg::commandNodeOfDisk("/sys/block", disk);
        const std::string diskSerial = usbSerialOfDisk(disk);
        const std::string expected =
            disk == stick ? "" : "DALVEX_CAMERA=1\nDALVEX_CAMERA_SERIAL=" + diskSerial + "\n";
        bool exitedZero = false;
        const std::string printed = runHelper(helper, node, exitedZero);
        check(("the helper on " + node +
               (disk == stick ? " (the stick) prints nothing" : " (a camera) marks it"))
                  .c_str(),
              exitedZero && printed == expected && node.rfind("/dev/sg", 0) == 0,
              "printed \"" + oneLine(printed) + "\"");
        modes = applyRule(node, printed, cameraGid) && modes;
    }

    // A user in the group camera, not in disk, reaches the camera and not the stick.
    const std::string cameraNode = platform::linux_sg::commandNodeOfDisk("/sys/block", disks[0]);
    const std::string stickNode = stick.empty()
                                      ? std::string("/dev/null/none")
                                      : platform::linux_sg::commandNodeOfDisk("/sys/block", stick);
    int code = describeAsChild(userId, userGid, cameraGid, cameraNode);
    check("a user in the group camera reads the description on the camera's node",
          modes && code == 0, cameraNode + ", exit " + std::to_string(code));
    code = describeAsChild(userId, userGid, cameraGid, stickNode);
    check("the same user cannot open the stick's node", modes && code == 13,
          stickNode + ", exit " + std::to_string(code));
    char serialText[33] = {};
    check("TKUSB_GetDevSerial reads the serial of D:'s camera",
          TKUSB_GetDevSerial(serialText) == 1 && serialText == serial, serialText);

    // The command disk is small for both size sources the scan uses.
    uint32_t mib = 99;
    int ok = readCapacityMiB("D:\\", &mib);
    check("READ CAPACITY of the command disk gives 0 MiB", ok == 1 && mib == 0,
          std::to_string(mib) + " MiB");
    uint64_t bytes = 0;
    ok = platform::totalSize('D', bytes);
    check("the kernel's size of the command disk is 64 blocks", ok && bytes == 64 * 512,
          std::to_string(bytes) + " bytes");

    // What the kernel hands back besides the status: the moved byte count and the sense data.
    Raw raw;
    auto drive = platform::openDrive('D');
    if (drive) {
        raw.request.direction = platform::DataDirection::kIn;
        raw.request.length = 64;
        raw.request.data = raw.data;
        raw.request.cdbLength = 6;
        raw.request.cdb[0] = 0x12;  // INQUIRY of 36 bytes into a block of 64
        raw.request.cdb[4] = 36;
        raw.passed = drive->pass(raw.request);
        drive.reset();
    }
    check("a read of 64 bytes of a 36-byte answer moves 36 (residue)",
          raw.passed && raw.request.scsiStatus == 0 && raw.request.moved == 36 &&
              (raw.data[1] & 0x80) != 0,
          "status " + std::to_string(raw.request.scsiStatus) + ", moved " +
              std::to_string(raw.request.moved));
    raw = rawRead('D', 0xF2FE, 16);
    check("a refused command comes back as CHECK CONDITION with ILLEGAL REQUEST sense",
          raw.passed && raw.request.scsiStatus == 2 && (raw.request.sense[2] & 0x0F) == 0x05 &&
              raw.request.sense[12] == 0x24 && raw.request.moved == 0,
          "passed " + std::to_string(raw.passed) + ", status " +
              std::to_string(raw.request.scsiStatus) + ", sense key " +
              std::to_string(raw.request.sense[2] & 0x0F) + ", moved " +
              std::to_string(raw.request.moved));
    noteRawKernelCopy();

    // The result rules of a refused command.
    uint8_t block[16];
    std::memset(block, 0x5A, sizeof block);
    bool untouched = true;
    const int readResult = readCommandFrom(0xF2FE, block, sizeof block, "D:\\");
    for (uint8_t b : block)
        untouched = untouched && b == 0x5A;
    check("a refused read succeeds and leaves the buffer", readResult == 1 && untouched,
          "result " + std::to_string(readResult) + ", first byte " + std::to_string(block[0]));
    const uint8_t one = 0x61;
    check("a refused write fails", writeCommandTo(0xF2FE, &one, 1, "D:\\") == 0);

    // Login and a settings record, as the manager does them.
    check("the login check accepts the right password", TKUSB_CheckLoginPwd(password.c_str()) == 1);
    const std::string wrong = password == "999999" ? "111111" : "999999";
    check("the login check refuses a wrong password", TKUSB_CheckLoginPwd(wrong.c_str()) == 0);
    DeviceSettingRecord setting;
    std::memset(&setting, 0xEE, sizeof setting);
    const int written = TKUSB_SetDeviceSetting(2, 1, 3);
    const int read = TKUSB_GetDeviceSettingEx(&setting);
    check("a settings record is written and read back",
          written == 1 && read == 1 && setting.photoResolution == 2 &&
              setting.videoResolution == 1 && setting.videoLength == 3,
          "write " + std::to_string(written) + ", read " + std::to_string(read));

    // Timing of a plain command through the whole stack, for the record.
    const auto start = std::chrono::steady_clock::now();
    constexpr int kRounds = 20;
    int answered = 0;
    for (int i = 0; i < kRounds; ++i) {
        char desc[32] = {};
        answered += readCommandFrom(0xF103, desc, sizeof desc, "D:\\");
    }
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    check("20 description reads in a row", answered == kRounds,
          std::to_string(us / kRounds) + " us per command");

    // A camera that takes a command and never answers: the call gives up after its time-out,
    // and the kernel's recovery (abort, bulk-only reset) brings the camera back.
    auto began = std::chrono::steady_clock::now();
    raw = rawRead('D', 0xF2FD, 4);
    const uint32_t hungError = platform::lastError();
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - began)
                            .count();
    check("a command the camera does not answer fails with a time-out",
          !raw.passed && hungError == ETIMEDOUT && waited >= 900,
          "passed " + std::to_string(raw.passed) + ", error " + std::to_string(hungError) +
              ", after " + std::to_string(waited) + " ms");
    began = std::chrono::steady_clock::now();
    std::memset(serialText, 0, sizeof serialText);
    ok = TKUSB_GetDevSerial(serialText);
    check("the camera answers the next command", ok == 1 && serialText == serial,
          "after " +
              std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - began)
                                 .count()) +
              " ms");

    // A restart of D:'s camera: it leaves the bus, so the other camera's disk is the first one
    // and takes D: (letters are positions, not cameras); then it comes back.
    const std::string nodeBefore = platform::driveNode('D');
    check("the reboot command is accepted", TKUSB_Reboot() == 1);
    const auto rebooted = std::chrono::steady_clock::now();
    const int moved = waitFor(
        [&] {
            return TKUSB_IsDevice() == 'D' && serialOn('D') == other &&
                   platform::linux_sg::diskOfLetter("/sys/block", 'E') == stick &&
                   platform::driveType('F') != platform::kDriveRemovable;
        },
        10000);
    check("while it restarts, the other camera is on D:, the stick on E: and F: is no drive",
          moved >= 0, "after " + std::to_string(moved) + " ms");
    const int back = waitFor(
        [&] {
            return TKUSB_IsDevice() == 'D' &&
                   std::set<std::string>{serialOn('D'), serialOn('E')} == serials;
        },
        30000);
    const auto absent = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - rebooted)
                            .count();
    check("after the restart both cameras answer on D: and E: again", back >= 0,
          "after " + std::to_string(absent) + " ms, D=" + serialOn('D') + " E=" + serialOn('E'));
    // The table readers ask a letter again only when its node changed; a disk that came back,
    // even under its old kernel name, has a new one.
    const std::string nodeAfter = platform::driveNode('D');
    check("D:'s drive node changed across the restart",
          !nodeBefore.empty() && !nodeAfter.empty() && nodeAfter != nodeBefore,
          nodeBefore + " -> " + nodeAfter);

    // With the right password the camera exposes its card: READ CAPACITY now reports it.
    check("the scan leaves D: current", TKUSB_IsDevice() == 'D');
    check("the switch to mass storage is accepted", TKUSB_SwitchToMSC(password.c_str(), 1) == 1);
    mib = 0;
    ok = readCapacityMiB("D:\\", &mib);
    check("READ CAPACITY after the switch reports the card", ok == 1 && mib == cardMiB,
          std::to_string(mib) + " MiB");
    // The card disk answers the description too: the rule keeps it the group's, for the
    // copy-finished command.
    const std::string cardNode = platform::linux_sg::commandNodeOfDisk(
        "/sys/block", platform::linux_sg::diskOfLetter("/sys/block", 'D'));
    bool exitedZero = false;
    const std::string printed = runHelper(helper, cardNode, exitedZero);
    check("the helper marks the card disk's node of a camera whose storage is exposed",
          exitedZero && printed == "DALVEX_CAMERA=1\nDALVEX_CAMERA_SERIAL=" + serial + "\n",
          cardNode + " printed \"" + oneLine(printed) + "\"");
    code = applyRule(cardNode, printed, cameraGid)
               ? describeAsChild(userId, userGid, cameraGid, cardNode)
               : -1;
    check("the user reaches the card disk's node (copy-finished goes there)", code == 0,
          cardNode + ", exit " + std::to_string(code));
    offloadCard(argv[10], argv[11], password, serial, cardMiB);

    std::printf("USBTEST RESULT: %d passed, %d failed\n", g_passed, g_failed);
    std::fflush(stdout);
    return g_failed == 0 ? 0 : 1;
}
