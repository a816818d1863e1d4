// The library's C++ face for programs of our own (the dalvex tool, the offload): the cameras on
// the drive letters C to Z, and a handle that logs in, reads and writes each settings record
// whole by its type, and runs the camera's actions. The C exports of dalvex.h are a thin layer
// over the same code, for the programs of others.
//
// Every call sends its commands to the camera's own drive letter at the time of the call (the
// drive is opened for one command and closed again): nothing is cached and nothing touches the
// C exports' current drive or mass-storage flag, except releaseStorage, which follows the
// copy-finished export's scan. Each command waits at most one second for the camera.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dalvex.h"

namespace dalvex {

// Diagnostic lines of the library on standard error: on by default.
void setLogEnabled(bool enabled);

// What a listing shows of one camera.
struct CameraInfo {
    char letter = 0;
    std::string serial;           // in the camera's code set; empty when it did not answer
    DeviceSpecRecord spec{};      // model code, flags and firmware text (zero when unanswered)
    std::optional<int> battery;   // none when the camera did not answer
    bool storageExposed = false;  // the drive is the card, not the small command disk
};

// Every camera on C: to Z:, in letter order: removable drives whose description names a camera.
std::vector<CameraInfo> listCameras();

// Where an exposed camera's card can be read.
struct CardLocation {
    enum Kind {
        kNone,    // not exposed, or the system cannot tell
        kFolder,  // a folder: an emulated camera's card folder, or a letter's root ("E:\\")
        kDisk,    // a block disk by its kernel name ("sdb"): its partitions or itself hold the card
    } kind = kNone;
    std::string path;
};

class Camera {
  public:
    // The camera on a drive letter, in either case (only the low byte counts).
    explicit Camera(int letter);

    char letter() const { return letter_; }

    // Whether a camera answers on the letter now (after a reboot, a format, a storage switch).
    bool present() const;

    // The login check (0xF203 with mode bytes 0 0): at most six characters of password are
    // sent. True when the camera accepted it. A camera that does not answer also gives false:
    // ask serial() to tell the two apart.
    bool checkLogin(const std::string& password) const;

    // The serial text (0xF20F, up to 32 bytes); none when the camera did not answer.
    std::optional<std::string> serial() const;
    // The description record (0xF20C), with a retired firmware text reported under its
    // successor. False when the camera did not answer.
    bool readSpec(DeviceSpecRecord& spec) const;
    std::optional<int> battery() const;
    // True when the drive is large: the camera exposes its card instead of the command disk.
    bool storageExposed() const;

    // Reads or writes one settings record whole. A read leaves the bytes the camera did not
    // send as they were (start from a cleared record); a write is judged by the camera's
    // status only, so callers read the record back to know what it kept. Defined for
    // DeviceSettingRecord (written as its three choices on a cleared record), UserInfoRecord
    // (read whole, 0xF205; written with at most 11 bytes of the two ids, as the camera keeps
    // them), GprsRecord, WifiRecord, WifiApRecord, MobileLinkRecord, GpsUploadRecord,
    // Cmsv6Record, Rk20SettingRecord, ConfigInfoRecord; read only: Rk20StringInfo.
    template <typename Record>
    bool read(Record& record) const;
    template <typename Record>
    bool write(const Record& record) const;

    // Sets the clock to this computer's local time (0xF201).
    bool syncClock() const;
    bool setClock(int year, int month, int day, int hour, int minute, int second) const;
    // Starts a format of the card (0xF20A); formatFinished polls it (0xF20B answers 0xDCBA).
    bool startFormat() const;
    bool formatFinished() const;
    bool reboot() const;
    bool shutdown() const;

    // Exposes the card as a disk: the login check with mode byte 1 (0xF203).
    bool exposeStorage(const std::string& loginPassword) const;
    // Where the card can be read while it is exposed (kNone otherwise). Sends no vendor command.
    CardLocation card() const;
    // Finds the camera on this letter with its card exposed, checks the login password and
    // tells it the host has finished copying (0xF235), which brings the command disk back.
    // Leaves the C exports' current drive on this letter and their mass-storage flag set.
    bool releaseStorage(const std::string& loginPassword) const;
    // Tells the camera the host has finished copying, without a scan or a login check.
    bool copyFinished() const;

    bool changeLoginPassword(const std::string& current, const std::string& next) const;
    // The camera takes the browse password only when both texts match.
    bool changeBrowsePassword(const std::string& first, const std::string& second) const;
    bool changeUserPassword(const std::string& current, const std::string& next) const;
    // Unlocks the administrator password change until the camera restarts.
    bool startAdmin(const std::string& adminPassword) const;
    bool changeAdminPassword(const std::string& next) const;

  private:
    friend struct CameraAccess;  // the C exports' current drive
    Camera() = default;
    bool current_ = false;  // the C exports' current drive path, looked up at each command
    char letter_ = 0;
};

}  // namespace dalvex
