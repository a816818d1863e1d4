// The camera as a USB mass-storage device: the SCSI disk the kernel's sd and sg drivers talk to,
// and the Bulk-Only Transport around it (descriptors, class requests, CBW, data stage, CSW).
//
// Both are transport-free, like the camera model: the usbredir server (usb_redir.h) feeds them
// control and bulk transfers; tests call them directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camsim/camera_model.h"

namespace camsim {

// Fixed-format sense data (key, additional sense code and qualifier).
struct Sense {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
};

namespace sense {
constexpr Sense kNone{0x00, 0x00, 0x00};
constexpr Sense kInvalidOpcode{0x05, 0x20, 0x00};
constexpr Sense kInvalidFieldInCdb{0x05, 0x24, 0x00};
constexpr Sense kLbaOutOfRange{0x05, 0x21, 0x00};
constexpr Sense kWriteProtected{0x07, 0x27, 0x00};
constexpr Sense kMediumChanged{0x06, 0x28, 0x00};  // UNIT ATTENTION: medium may have changed
constexpr Sense kUnrecoveredRead{0x03, 0x11, 0x00};
}  // namespace sense

// A card's disk image (a FAT32 file system, say): the medium of the exposed storage. Opened
// read-only and read a request at a time, so that an image of any size costs no memory.
class CardImage {
  public:
    static constexpr uint32_t kBlockLength = 512;

    CardImage() = default;
    ~CardImage();
    CardImage(const CardImage&) = delete;
    CardImage& operator=(const CardImage&) = delete;

    // False, with the reason in error, when path is no readable regular file of a block or more.
    bool open(const std::string& path, std::string& error);
    uint64_t blocks() const { return size_ / kBlockLength; }
    // Reads size bytes at offset; false on an error or past the end of the file.
    bool read(uint64_t offset, size_t size, uint8_t* out) const;

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

// The standard commands a kernel sends to a removable disk, answered in front of the camera
// model; vendor commands, TEST UNIT READY and READ CAPACITY go to the model, which decides what
// the disk looks like (command disk or card). With a card image, the exposed card is that image;
// otherwise the medium reads as zeros. It is write-protected either way.
//
// The switch to mass storage and copy-finished change the medium under the host: the next
// command that reaches the medium (TEST UNIT READY, which the kernel sends when the disk is
// opened, reads, writes, MODE SENSE) gets UNIT ATTENTION, medium may have changed, so that the
// kernel reads the capacity again and drops what it cached of the other medium. READ CAPACITY
// and the vendor commands do not get it: the library reads READ CAPACITY's answer whatever the
// status, to tell the command disk from the card.
class ScsiDisk {
  public:
    explicit ScsiDisk(CameraModel& model, std::shared_ptr<const CardImage> card = nullptr);

    Reply execute(const Command& command);

    // The sense data REQUEST SENSE would return now.
    Sense pendingSense() const { return sense_; }
    // Forgets the sense data (bus or BOT reset).
    void clearSense() { sense_ = sense::kNone; }

  private:
    Reply fail(Sense why);
    Reply inquiry(const Command& command);
    Reply requestSense(const Command& command);
    Reply modeSense6(const Command& command);
    Reply read10(const Command& command);
    Reply readCapacity10(const Command& command);
    bool onCardImage();
    bool mediumChanged();

    CameraModel& model_;
    std::shared_ptr<const CardImage> card_;
    bool cardSeen_ = false;  // the medium the host last heard of: the card, or the command disk
    Sense sense_;
};

// What a USB transfer ends with, in usbredir's numbering.
enum class UsbStatus : uint8_t {
    kSuccess = 0,
    kInvalid = 2,
    kStall = 4,
};

struct UsbTransfer {
    UsbStatus status = UsbStatus::kSuccess;
    std::vector<uint8_t> data;  // data in
    uint32_t accepted = 0;      // data out: bytes taken
};

// Identity the device reports in its descriptors.
struct UsbIdentity {
    uint16_t vendorId = 0x1209;  // pid.codes, test product
    uint16_t productId = 0x0001;
    uint16_t deviceVersion = 0x0100;
    std::string manufacturer = "camsim";
    std::string product = "Emulated body camera";
    std::string serial = "EMU0000001";
};

// Endpoint addresses of the one bulk-only interface.
constexpr uint8_t kBulkInEndpoint = 0x81;
constexpr uint8_t kBulkOutEndpoint = 0x02;
constexpr uint16_t kBulkMaxPacket = 512;  // high speed
constexpr uint8_t kControlMaxPacket = 64;

// A high-speed USB mass-storage device with one LUN behind the Bulk-Only Transport.
class BulkOnlyDevice {
  public:
    BulkOnlyDevice(CameraModel& model, UsbIdentity identity,
                   std::shared_ptr<const CardImage> card = nullptr);

    static constexpr size_t kCbwLength = 31;
    static constexpr size_t kCswLength = 13;

    // A control transfer on endpoint 0, apart from the requests the host controller keeps to
    // itself (SET_ADDRESS) or that usbredir carries as packets of their own (configuration,
    // alternate setting).
    UsbTransfer control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        uint16_t length, const uint8_t* dataOut);
    // A transfer on a bulk endpoint: data out (the CBW or the data stage) or a request for up
    // to maxLength bytes in (the data stage or the CSW).
    UsbTransfer bulkOut(const uint8_t* data, size_t length);
    UsbTransfer bulkIn(size_t maxLength);

    // Waiting for a command: the last one's status has been taken (or there was none).
    bool idle() const { return phase_ == Phase::kCommand; }

    bool setConfiguration(uint8_t value);
    uint8_t configuration() const { return configuration_; }
    // A port reset: back to the unconfigured, idle device.
    void busReset();

    std::vector<uint8_t> deviceDescriptor() const;
    std::vector<uint8_t> configurationDescriptor() const;
    std::vector<uint8_t> stringDescriptor(uint8_t index) const;

    ScsiDisk& disk() { return disk_; }

  private:
    enum class Phase { kCommand, kDataOut, kDataIn, kStatus, kStalled };

    void resetRecovery();
    void beginCommand(const uint8_t* cbw);
    void finishCommand(const Reply& reply, uint32_t moved);
    Command currentCommand() const;

    UsbIdentity identity_;
    ScsiDisk disk_;
    uint8_t configuration_ = 0;

    Phase phase_ = Phase::kCommand;
    uint32_t tag_ = 0;
    uint32_t expected_ = 0;  // dCBWDataTransferLength
    uint8_t cdb_[16] = {};
    std::vector<uint8_t> buffer_;  // data-out bytes gathered, or data-in bytes to send
    size_t sent_ = 0;
    uint8_t cswStatus_ = 0;
    uint32_t residue_ = 0;
};

}  // namespace camsim
