#include "camsim/usb_storage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include "byte_order.h"

namespace camsim {

namespace bytes = dalvex::bytes;

namespace {

// SCSI operation codes the disk answers itself.
constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint8_t kRequestSense = 0x03;
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kModeSense6 = 0x1A;
constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kPreventAllowRemoval = 0x1E;
constexpr uint8_t kReadCapacity10 = 0x25;
constexpr uint8_t kRead10 = 0x28;
constexpr uint8_t kWrite6 = 0x0A;
constexpr uint8_t kWrite10 = 0x2A;
constexpr uint8_t kWriteAndVerify10 = 0x2E;
constexpr uint8_t kWrite12 = 0xAA;
constexpr uint8_t kWrite16 = 0x8A;
constexpr uint8_t kSynchronizeCache10 = 0x35;
constexpr uint8_t kVendorOpcode = 0xB8;

constexpr uint32_t kCbwSignature = 0x43425355;  // "USBC"
constexpr uint32_t kCswSignature = 0x53425355;  // "USBS"
constexpr uint8_t kCswPassed = 0;
constexpr uint8_t kCswFailed = 1;

// Standard and class requests.
constexpr uint8_t kGetStatus = 0x00;
constexpr uint8_t kClearFeature = 0x01;
constexpr uint8_t kSetFeature = 0x03;
constexpr uint8_t kGetDescriptor = 0x06;
constexpr uint8_t kGetMaxLun = 0xFE;
constexpr uint8_t kBulkOnlyReset = 0xFF;
constexpr uint8_t kTypeClassInterfaceIn = 0xA1;
constexpr uint8_t kTypeClassInterfaceOut = 0x21;

constexpr uint8_t kDescriptorDevice = 1;
constexpr uint8_t kDescriptorConfiguration = 2;
constexpr uint8_t kDescriptorString = 3;
constexpr uint8_t kDescriptorDeviceQualifier = 6;

uint8_t lo(uint16_t v) {
    return uint8_t(v & 0xFF);
}
uint8_t hi(uint16_t v) {
    return uint8_t(v >> 8);
}

// Copies text into a space-padded field, as INQUIRY's identification fields are.
void padded(uint8_t* field, size_t size, const std::string& text) {
    std::memset(field, ' ', size);
    std::memcpy(field, text.data(), std::min(size, text.size()));
}

bool isWrite(uint8_t opcode) {
    return opcode == kWrite6 || opcode == kWrite10 || opcode == kWriteAndVerify10 ||
           opcode == kWrite12 || opcode == kWrite16;
}

// The commands that hear of a medium change first.
bool reachesMedium(uint8_t opcode) {
    return opcode == kTestUnitReady || opcode == kModeSense6 || opcode == kRead10 ||
           isWrite(opcode);
}

Reply cut(Reply reply, uint32_t allocation) {
    if (reply.data.size() > allocation)
        reply.data.resize(allocation);
    return reply;
}

}  // namespace

// ---- card image -----------------------------------------------------------------------------

CardImage::~CardImage() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool CardImage::open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        error = path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode) || uint64_t(st.st_size) < kBlockLength) {
        error = path + ": not a disk image (a regular file of 512 bytes or more)";
        ::close(fd);
        return false;
    }
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
    size_ = uint64_t(st.st_size);
    return true;
}

bool CardImage::read(uint64_t offset, size_t size, uint8_t* out) const {
    if (fd_ < 0 || offset > size_ || size > size_ - offset)
        return false;
    while (size > 0) {
        const ssize_t n = ::pread(fd_, out, size, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;  // an error, or the file shrank under us
        out += n;
        offset += uint64_t(n);
        size -= size_t(n);
    }
    return true;
}

// ---- SCSI disk ------------------------------------------------------------------------------

ScsiDisk::ScsiDisk(CameraModel& model, std::shared_ptr<const CardImage> card)
    : model_(model), card_(std::move(card)), cardSeen_(model.storageExposed()) {}

bool ScsiDisk::onCardImage() {
    return card_ && model_.storageExposed();
}

bool ScsiDisk::mediumChanged() {
    const bool card = model_.storageExposed();
    if (card == cardSeen_)
        return false;
    cardSeen_ = card;
    return true;
}

Reply ScsiDisk::fail(Sense why) {
    sense_ = why;
    return Reply{kStatusCheckCondition, {}};
}

Reply ScsiDisk::execute(const Command& command) {
    const uint8_t opcode = command.cdb[0];
    if (opcode == kRequestSense)
        return requestSense(command);
    sense_ = sense::kNone;
    if (reachesMedium(opcode) && mediumChanged())
        return fail(sense::kMediumChanged);
    if (isWrite(opcode))
        return fail(sense::kWriteProtected);
    switch (opcode) {
        case kInquiry:
            return inquiry(command);
        case kModeSense6:
            return modeSense6(command);
        case kRead10:
            return read10(command);
        case kStartStopUnit:
        case kPreventAllowRemoval:
        case kSynchronizeCache10:
            return Reply{};
        case kReadCapacity10:
            return readCapacity10(command);
        case kTestUnitReady:
        case kVendorOpcode: {
            Reply reply = model_.execute(command);
            if (reply.status == kStatusCheckCondition) {
                // The model says only "no"; a vendor command it refuses had a field it did not
                // accept (sub-command, password, record).
                sense_ = sense::kInvalidFieldInCdb;
            }
            return reply;
        }
        default:
            return fail(sense::kInvalidOpcode);
    }
}

Reply ScsiDisk::inquiry(const Command& command) {
    if (command.cdb[1] & 0x01)  // vital product data pages: none
        return fail(sense::kInvalidFieldInCdb);
    Reply reply;
    reply.data.assign(36, 0);
    uint8_t* d = reply.data.data();
    d[0] = 0x00;  // direct-access block device
    d[1] = 0x80;  // removable medium
    d[2] = 0x02;  // SCSI-2, as most USB sticks report
    d[3] = 0x02;  // response data format
    d[4] = 36 - 5;
    padded(d + 8, 8, "CAMSIM");
    padded(d + 16, 16, "Camera Disk");
    padded(d + 32, 4, "1.00");
    const uint32_t allocation = uint32_t(command.cdb[3]) << 8 | command.cdb[4];
    return cut(std::move(reply), std::min(allocation, command.length));
}

Reply ScsiDisk::requestSense(const Command& command) {
    Reply reply;
    reply.data.assign(18, 0);
    reply.data[0] = 0x70;  // current error, fixed format
    reply.data[2] = sense_.key;
    reply.data[7] = 18 - 8;
    reply.data[12] = sense_.asc;
    reply.data[13] = sense_.ascq;
    sense_ = sense::kNone;
    return cut(std::move(reply), std::min<uint32_t>(command.cdb[4], command.length));
}

Reply ScsiDisk::modeSense6(const Command& command) {
    // Header only, no pages and no block descriptor: the kernel then assumes a write-through
    // cache, and the write-protect bit keeps it from writing to a disk that keeps nothing.
    Reply reply;
    reply.data = {3, 0x00, 0x80, 0x00};
    return cut(std::move(reply), std::min<uint32_t>(command.cdb[4], command.length));
}

Reply ScsiDisk::readCapacity10(const Command& command) {
    if (!onCardImage())
        return model_.execute(command);
    const uint64_t lastLba = card_->blocks() - 1;
    Reply reply;
    reply.data.assign(8, 0);
    bytes::storeBe32(reply.data.data(), uint32_t(std::min<uint64_t>(lastLba, 0xFFFFFFFFu)));
    bytes::storeBe32(reply.data.data() + 4, CardImage::kBlockLength);
    return cut(std::move(reply), command.length);
}

Reply ScsiDisk::read10(const Command& command) {
    Command capacity;
    capacity.cdb[0] = kReadCapacity10;
    capacity.length = 8;
    const Reply size = readCapacity10(capacity);
    if (size.status != kStatusGood || size.data.size() < 8)
        return fail(sense::kInvalidOpcode);
    const uint64_t blocks = uint64_t(bytes::loadBe32(size.data.data())) + 1;
    const uint32_t blockLength = bytes::loadBe32(size.data.data() + 4);
    const uint64_t lba = bytes::loadBe32(command.cdb + 2);
    const uint32_t count = uint32_t(command.cdb[7]) << 8 | command.cdb[8];
    if (lba + count > blocks)
        return fail(sense::kLbaOutOfRange);
    Reply reply;
    reply.data.assign(std::min<uint64_t>(uint64_t(count) * blockLength, command.length), 0);
    if (onCardImage() && !card_->read(lba * blockLength, reply.data.size(), reply.data.data()))
        return fail(sense::kUnrecoveredRead);
    return reply;
}

// ---- Bulk-Only Transport --------------------------------------------------------------------

BulkOnlyDevice::BulkOnlyDevice(CameraModel& model, UsbIdentity identity,
                               std::shared_ptr<const CardImage> card)
    : identity_(std::move(identity)), disk_(model, std::move(card)) {}

std::vector<uint8_t> BulkOnlyDevice::deviceDescriptor() const {
    const UsbIdentity& id = identity_;
    return {18,
            kDescriptorDevice,
            0x00,
            0x02,  // USB 2.0
            0x00,
            0x00,
            0x00,  // class given by the interface
            kControlMaxPacket,
            lo(id.vendorId),
            hi(id.vendorId),
            lo(id.productId),
            hi(id.productId),
            lo(id.deviceVersion),
            hi(id.deviceVersion),
            1,
            2,
            3,  // manufacturer, product, serial strings
            1};
}

std::vector<uint8_t> BulkOnlyDevice::configurationDescriptor() const {
    return {// configuration: total length 32, one interface, value 1, bus powered, 100 mA
            9, kDescriptorConfiguration, 32, 0, 1, 1, 0, 0x80, 50,
            // interface 0: mass storage, SCSI transparent command set, bulk-only transport
            9, 4, 0, 0, 2, 0x08, 0x06, 0x50, 0,
            // endpoints
            7, 5, kBulkInEndpoint, 0x02, lo(kBulkMaxPacket), hi(kBulkMaxPacket), 0, 7, 5,
            kBulkOutEndpoint, 0x02, lo(kBulkMaxPacket), hi(kBulkMaxPacket), 0};
}

std::vector<uint8_t> BulkOnlyDevice::stringDescriptor(uint8_t index) const {
    if (index == 0)
        return {4, kDescriptorString, 0x09, 0x04};  // English (United States)
    const std::string* text = nullptr;
    switch (index) {
        case 1:
            text = &identity_.manufacturer;
            break;
        case 2:
            text = &identity_.product;
            break;
        case 3:
            text = &identity_.serial;
            break;
        default:
            return {};
    }
    const size_t chars = std::min<size_t>(text->size(), 126);
    std::vector<uint8_t> d{uint8_t(2 + 2 * chars), kDescriptorString};
    for (size_t i = 0; i < chars; ++i) {
        d.push_back(uint8_t((*text)[i]));
        d.push_back(0);
    }
    return d;
}

UsbTransfer BulkOnlyDevice::control(uint8_t requestType, uint8_t request, uint16_t value,
                                    uint16_t index, uint16_t length, const uint8_t* dataOut) {
    (void)dataOut;
    UsbTransfer t;
    const bool in = requestType & 0x80;
    const uint8_t type = requestType & 0x60;
    if (type == 0x00 && request == kGetDescriptor && in) {
        const uint8_t kind = hi(value);
        if (kind == kDescriptorDevice) {
            t.data = deviceDescriptor();
        } else if (kind == kDescriptorConfiguration && lo(value) == 0) {
            t.data = configurationDescriptor();
        } else if (kind == kDescriptorString) {
            t.data = stringDescriptor(lo(value));
        } else if (kind == kDescriptorDeviceQualifier) {
            t.data = {10, kDescriptorDeviceQualifier, 0x00, 0x02, 0, 0, 0, kControlMaxPacket, 1, 0};
        }
        if (t.data.empty())
            t.status = UsbStatus::kStall;
    } else if (type == 0x00 && request == kGetStatus && in) {
        t.data = {0, 0};
    } else if (type == 0x00 && (request == kClearFeature || request == kSetFeature) && !in) {
        // Endpoint halt comes and goes with the host's recovery; a CBW the device refused stays
        // refused until the bulk-only reset.
    } else if (requestType == kTypeClassInterfaceIn && request == kGetMaxLun && index == 0) {
        t.data = {0};  // one logical unit
    } else if (requestType == kTypeClassInterfaceOut && request == kBulkOnlyReset && index == 0 &&
               length == 0) {
        resetRecovery();
    } else {
        t.status = UsbStatus::kStall;
    }
    if (t.status == UsbStatus::kSuccess) {
        if (in && t.data.size() > length)
            t.data.resize(length);
        if (!in)
            t.accepted = length;
    }
    return t;
}

bool BulkOnlyDevice::setConfiguration(uint8_t value) {
    if (value > 1)
        return false;
    configuration_ = value;
    resetRecovery();
    return true;
}

void BulkOnlyDevice::busReset() {
    configuration_ = 0;
    resetRecovery();
}

void BulkOnlyDevice::resetRecovery() {
    phase_ = Phase::kCommand;
    buffer_.clear();
    sent_ = 0;
    disk_.clearSense();
}

Command BulkOnlyDevice::currentCommand() const {
    Command command;
    std::memcpy(command.cdb, cdb_, sizeof cdb_);
    command.length = expected_;
    return command;
}

void BulkOnlyDevice::beginCommand(const uint8_t* cbw) {
    tag_ = bytes::loadLe32(cbw + 4);
    expected_ = bytes::loadLe32(cbw + 8);
    const bool in = cbw[12] & 0x80;
    const uint8_t cdbLength = cbw[14] & 0x1F;
    std::memset(cdb_, 0, sizeof cdb_);
    std::memcpy(cdb_, cbw + 15, std::min<size_t>(cdbLength, sizeof cdb_));
    buffer_.clear();
    sent_ = 0;

    if (expected_ > 0 && !in) {
        phase_ = Phase::kDataOut;
        return;
    }
    Command command = currentCommand();
    command.dataIn = true;
    const Reply reply = disk_.execute(command);
    if (expected_ == 0) {
        finishCommand(reply, 0);
        return;
    }
    // A failed command sends no data: the host gets a short (empty) data stage, then the CSW
    // that makes it ask for the sense data.
    if (reply.status == kStatusGood)
        buffer_ = reply.data;
    cswStatus_ = reply.status == kStatusGood ? kCswPassed : kCswFailed;
    phase_ = Phase::kDataIn;
}

void BulkOnlyDevice::finishCommand(const Reply& reply, uint32_t moved) {
    cswStatus_ = reply.status == kStatusGood ? kCswPassed : kCswFailed;
    residue_ = expected_ - std::min(moved, expected_);
    phase_ = Phase::kStatus;
}

UsbTransfer BulkOnlyDevice::bulkOut(const uint8_t* data, size_t length) {
    UsbTransfer t;
    switch (phase_) {
        case Phase::kCommand:
        case Phase::kStatus:  // a host that skipped the CSW starts over with a new command
            if (length != kCbwLength || bytes::loadLe32(data) != kCbwSignature ||
                (data[13] & 0x0F) != 0 || (data[14] & 0x1F) == 0 || (data[14] & 0x1F) > 16) {
                // Not a meaningful CBW: refuse everything until the host resets the transport.
                phase_ = Phase::kStalled;
                t.status = UsbStatus::kStall;
                return t;
            }
            beginCommand(data);
            t.accepted = uint32_t(length);
            return t;
        case Phase::kDataOut: {
            const size_t take = std::min<size_t>(length, expected_ - buffer_.size());
            buffer_.insert(buffer_.end(), data, data + take);
            t.accepted = uint32_t(length);
            if (buffer_.size() == expected_) {
                Command command = currentCommand();
                command.dataIn = false;
                command.dataOut = buffer_.data();
                finishCommand(disk_.execute(command), expected_);
                buffer_.clear();
            }
            return t;
        }
        case Phase::kDataIn:
        case Phase::kStalled:
            t.status = UsbStatus::kStall;
            return t;
    }
    return t;
}

UsbTransfer BulkOnlyDevice::bulkIn(size_t maxLength) {
    UsbTransfer t;
    switch (phase_) {
        case Phase::kDataIn: {
            const size_t left = buffer_.size() - sent_;
            const size_t n = std::min(left, maxLength);
            t.data.assign(buffer_.begin() + long(sent_), buffer_.begin() + long(sent_ + n));
            sent_ += n;
            // A short packet, or all the host asked for, ends the data stage.
            if (n < maxLength || sent_ >= expected_) {
                residue_ = expected_ - uint32_t(std::min<size_t>(sent_, expected_));
                phase_ = Phase::kStatus;
                buffer_.clear();
            }
            return t;
        }
        case Phase::kStatus: {
            if (maxLength < kCswLength) {
                t.status = UsbStatus::kStall;
                return t;
            }
            t.data.assign(kCswLength, 0);
            bytes::storeLe32(t.data.data(), kCswSignature);
            bytes::storeLe32(t.data.data() + 4, tag_);
            bytes::storeLe32(t.data.data() + 8, residue_);
            t.data[12] = cswStatus_;
            phase_ = Phase::kCommand;
            return t;
        }
        case Phase::kCommand:
        case Phase::kDataOut:
        case Phase::kStalled:
            t.status = UsbStatus::kStall;
            return t;
    }
    return t;
}

}  // namespace camsim
