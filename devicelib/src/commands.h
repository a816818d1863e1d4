// The vendor command catalogue: the sub-commands, the drive an export talks to, and the small
// helpers the exports share (mass-storage refusal, bounded text copies, firmware and time
// encoding). Every export is a tiny function that fills its block and calls one transport path.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dalvex.h"
#include "transport.h"

namespace dalvex {

// Sub-commands, named after what they carry.
enum SubCommand : uint16_t {
    kSubVersion = 0x3201,
    kSubReboot = 0xF001,
    kSubShutdown = 0xF002,
    kSubBattery = 0xF003,
    kSubDeleteLog = 0xF004,
    kSubRestoreDefaults = 0xF005,
    kSubStartAdminPassword = 0xF107,
    kSubSetTime = 0xF201,
    kSubChangeLoginPassword = 0xF202,
    kSubLoginPassword = 0xF203,
    kSubSetUserInfo = 0xF204,
    kSubGetUserInfo = 0xF205,
    kSubGetDeviceSetting = 0xF206,
    kSubSetDeviceSetting = 0xF207,
    kSubChangeBrowsePassword = 0xF208,
    kSubCheckBrowsePassword = 0xF209,
    kSubFormat = 0xF20A,
    kSubFormatStatus = 0xF20B,
    kSubDeviceSpec = 0xF20C,
    kSubGetGprs = 0xF20D,
    kSubSetGprs = 0xF20E,
    kSubDeviceSerial = 0xF20F,
    kSubGetWifi = 0xF210,
    kSubSetWifi = 0xF211,
    kSubGetMobileLink = 0xF212,
    kSubSetMobileLink = 0xF213,
    kSubGetGpsUpload = 0xF214,
    kSubSetGpsUpload = 0xF215,
    kSubChangeUserPassword = 0xF216,
    kSubNewAdminPassword = 0xF217,
    kSubGetRk20Setting = 0xF218,
    kSubSetRk20Setting = 0xF219,
    kSubRk20StringInfo = 0xF21B,
    kSubGetCmsv6 = 0xF21C,
    kSubSetCmsv6 = 0xF21D,
    kSubSetNoLoginCheck = 0xF21E,
    kSubGetNoLoginCheck = 0xF21F,
    kSubFactoryFocus = 0xF220,
    kSubGsensor = 0xF221,
    kSubLastOperation = 0xF222,
    kSubSetPointBlank = 0xF223,
    kSubGetPointBlank = 0xF224,
    kSubGetWifiAp = 0xF225,
    kSubSetWifiAp = 0xF226,
    kSubDeviceTime = 0xF227,
    kSubSetNoWifiPassword = 0xF229,
    kSubCopyFinished = 0xF235,
    kSubGetMenuList = 0xF236,
    kSubSetMenuList = 0xF237,
    kSubJsonAnswer = 0xF238,
    kSubJsonRequest = 0xF239,
    kSubJsonTest = 0xF23A,
    kSubRfid = 0xF23B,
    kSubBuildVersion = 0xF23D,
    kSubGetConfigInfo = 0xF23E,
    kSubSetConfigInfo = 0xF23F,
};

// One-byte payloads of the action commands.
constexpr uint8_t kActionByte = 0x61;  // reboot, delete log, restore defaults
constexpr uint8_t kFormatByte = 0x00;
constexpr uint32_t kFormatFinished = 0xDCBA;

// The drive an export talks to: the current drive path, looked up when the command is sent, or
// the root "%c:\" of a letter argument.
class Drive {
  public:
    static Drive current() { return Drive(); }
    static Drive ofLetter(int letter);

    int write(uint16_t subCommand, const void* data, uint32_t length) const;
    int read(uint16_t subCommand, void* data, uint32_t length) const;
    int writeByte(uint16_t subCommand, uint8_t byte) const { return write(subCommand, &byte, 1); }

  private:
    Drive() = default;
    // The current drive path is looked up here, at each command.
    const char* path() const;
    bool named_ = false;
    char root_[kDrivePathSize] = {};
};

// True while the mass-storage flag is set: the exports marked so then send nothing.
bool storageExposed();

// Copies at most bound characters of text, adding a terminator only when the text is shorter.
// Never reads text beyond bound characters.
void copyBounded(char* out, const char* text, size_t bound);

// Reports the retired firmware text of a 52-byte DeviceSpecRecord block under its successor.
void substituteFirmware(unsigned char* spec52);

// The 48-byte record of 0xF201.
TimeRecord encodeTime(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                      unsigned second);

}  // namespace dalvex
