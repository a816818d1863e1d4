// A camera as the library sees it: a removable drive that answers the vendor command set.
//
// The model is transport-free: execute() takes one SCSI command and returns what the camera
// answers. The drive server (drive_server.h) puts it behind the emulated-drive protocol; tests use
// both in-process.
#pragma once

#include <cstddef>
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
    std::vector<uint8_t> data;      // data in: bytes for the host (cut to the requested length)
    int disappearMilliseconds = 0;  // > 0: the camera restarts or switches off after answering
};

// What the camera keeps of what it is sent. The received log (for tests) holds the newest
// commands only, at most kReceivedLogEntries of them with at most kReceivedLogBytes of payload in
// all. The JSON channel stores at most kJsonSettingsLimit settings in at most kJsonStoreBytes of
// JSON text; a request that would go beyond either is refused, as by a camera whose store is full.
constexpr size_t kReceivedLogEntries = 1024;
constexpr size_t kReceivedLogBytes = size_t(4) << 20;
constexpr size_t kJsonSettingsLimit = 256;
constexpr size_t kJsonStoreBytes = 64 * 1024;

// One row of the vendor command set: the direction and length a camera expects.
struct CatalogueEntry {
    uint16_t subCommand;
    bool dataIn;
    uint32_t length;
};
// Every vendor sub-command a camera answers.
const std::vector<CatalogueEntry>& vendorCatalogue();

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
    std::string cardFolder;  // absolute; the folder that stands in for the card (may be empty)

    // Every record a setter stores, by the sub-command that reads it back (write-only records
    // by their own sub-command). A record not stored yet reads as the camera's default.
    std::map<uint16_t, std::vector<uint8_t>> records;

    // Passwords the camera judges (texts of at most 8 characters; the host sends 6, or 5 for
    // the user password).
    std::string loginPassword = "000000";
    std::string browsePassword = "111111";
    std::string userPassword = "22222";
    std::string adminPassword = "888888";
    bool adminUnlocked = false;  // a right 0xF107 since power-on allows 0xF217
    uint8_t noLoginCheck = 0;    // nonzero: any login password is accepted
    uint8_t noWifiPassword = 0;

    // Status and actions
    int32_t battery = 87;
    uint64_t freeSpaceMiB = 30720;
    uint8_t gsensor[8] = {0, 0, 0, 0, 0x00, 0x04, 0, 0};  // x, y, z as i16: lying flat
    int formatPolls = 3;  // status polls answered with 0x0FF0 after a format starts
    int formatPollsLeft = 0;
    int rebootMilliseconds = 500;     // how long the drive is gone after a reboot
    int shutdownMilliseconds = 2000;  // and after a shutdown
    int logDeletions = 0;
    int formats = 0;
    int focusRuns = 0;
    uint64_t copyFinished = 0;       // copy-finished commands accepted
    bool clockSet = false;           // until set, the clock follows the host's local time
    int64_t clockOffsetSeconds = 0;  // once set: camera time minus the host's UTC time
    uint16_t lastWrite = 0;          // sub-command and outcome of the last write, for 0xF222
    bool lastWriteAccepted = false;

    // Free-form texts
    std::string menuList = "Record;Photo;Audio;Playback;Settings";
    std::string jsonConfig = "{}";  // the camera's JSON settings, as JSON text
    std::string jsonAnswer = "{}";  // what 0xF238 returns: the answer to the last request

    // What the camera received, oldest first (for tests; the newest within the bounds above).
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
    // The card's folder while the storage is exposed; empty otherwise or without one.
    std::string exposedCardFolder();
    // Whether the card is exposed now (instead of the command disk).
    bool storageExposed();

    // Adds or replaces the handler of a vendor sub-command.
    void setHandler(uint16_t subCommand, Handler handler);

    // Called (outside the model's lock) when the camera restarts or switches off: the drive
    // should vanish for the given time. The drive server installs one.
    void setPowerHandler(std::function<void(int milliseconds)> handler);

    std::mutex& lock() { return mutex_; }
    CameraState& state() { return state_; }  // take lock() while a server runs

    // Convenience for tests: a copy of the state taken under the lock.
    CameraState snapshot();
    // The same without the received log: what the state file keeps, copied at every save.
    CameraState snapshotToSave();
    void clearReceived();

  private:
    void installHandlers();
    Reply standardCommand(const Command& command);
    Reply executeLocked(const Command& command);

    std::mutex mutex_;
    CameraState state_;
    std::map<uint16_t, Handler> handlers_;
    std::function<void(int)> powerHandler_;
};

// The vendor handlers of the identity commands (description, serial); the catalogue of settings
// records and actions adds the rest (vendor_commands.cpp).
void installIdentityHandlers(std::map<uint16_t, CameraModel::Handler>& handlers);
void installVendorHandlers(std::map<uint16_t, CameraModel::Handler>& handlers);

// Copies text into a zero-filled block of size bytes (cut to fit).
std::vector<uint8_t> textBlock(const std::string& text, size_t size);

}  // namespace camsim
