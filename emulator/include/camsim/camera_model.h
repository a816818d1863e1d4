// A camera as the library sees it: a removable drive that answers the vendor command set.
//
// The model is transport-free: execute() takes one SCSI command and returns what the camera
// answers. The drive server (drive_server.h) puts it behind the emulated-drive protocol; tests use
// both in-process.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace camsim {

constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;

// The answer to one command.
struct Reply {
    uint8_t status = kStatusGood;
    std::vector<uint8_t> data;  // data in: bytes for the host (cut to the requested length)
};

// One command as the camera receives it.
struct Command {
    uint8_t cdb[16] = {};
    bool dataIn = true;
    uint32_t length = 0;               // requested transfer length
    const uint8_t* dataOut = nullptr;  // host-to-camera bytes (length of them)
    uint16_t subCommand() const { return uint16_t(cdb[2] | (cdb[3] << 8)); }
};

// What the camera is and holds. Everything a test may want to set or look at is public; the model
// guards it with its mutex while a command runs, so tests that read it while a server thread runs
// take lock().
struct CameraState {
    // Identity
    bool isCamera = true;  // false: a plain USB stick that refuses every vendor command
    std::string description = "TORVEKBWC-EMU";
    std::string serial = "EMU0000001";
    std::string firmware = "EMU_FW_1.0.0";
    std::string buildVersion = "EMU-BUILD-20261207";
    uint8_t modelCode = 33;
    uint8_t wifiFlag = 1;
    uint8_t noCmsFlag = 0;
    uint16_t version = 0x0105;
    // Storage
    uint32_t commandDiskBlocks = 64;   // the command disk: 64 blocks of 512 bytes
    uint64_t cardCapacityMiB = 32768;  // the card behind it (32 GiB)
    bool massStorage = false;          // the card is exposed instead of the command disk

    // Every record a setter stores, by the sub-command that reads it back.
    std::map<uint16_t, std::vector<uint8_t>> records;

    // What the camera received, oldest first (for tests).
    struct Received {
        uint16_t subCommand;
        bool dataIn;
        uint32_t length;
        std::vector<uint8_t> payload;
    };
    std::vector<Received> received;
};

class CameraModel {
  public:
    using Handler = std::function<Reply(CameraState&, const Command&)>;

    CameraModel();
    explicit CameraModel(CameraState initial);

    // Runs one command.
    Reply execute(const Command& command);

    // The total size of the drive in bytes: the command disk, or the card in mass-storage mode.
    uint64_t totalSizeBytes();

    // Adds or replaces the handler of a vendor sub-command.
    void setHandler(uint16_t subCommand, Handler handler);

    std::mutex& lock() { return mutex_; }
    CameraState& state() { return state_; }  // take lock() while a server runs

    // Convenience for tests: a copy of the state taken under the lock.
    CameraState snapshot();
    void clearReceived();

  private:
    void installHandlers();
    Reply standardCommand(const Command& command);

    std::mutex mutex_;
    CameraState state_;
    std::map<uint16_t, Handler> handlers_;
};

// The vendor handlers of the identity commands (description, serial); the catalogue of settings
// records and actions adds the rest (vendor_commands.cpp).
void installIdentityHandlers(std::map<uint16_t, CameraModel::Handler>& handlers);
void installVendorHandlers(std::map<uint16_t, CameraModel::Handler>& handlers);

// Copies text into a zero-filled block of size bytes (cut to fit).
std::vector<uint8_t> textBlock(const std::string& text, size_t size);

}  // namespace camsim
