// The password and login exports.
#include "passwords.h"

#include <cstring>

#include "discovery.h"

namespace dalvex {

PasswordRecord packPassword(const char* first, const char* second, size_t bound, uint8_t modeA,
                            uint8_t modeB) {
    PasswordRecord record{};
    if (first != nullptr) {
        copyBounded(record.password, first, bound);
    }
    if (second != nullptr) {
        copyBounded(record.newPassword, second, bound);
    }
    record.modeA = modeA;
    record.modeB = modeB;
    return record;
}

int sendLoginCheck(const Drive& drive, const char* password) {
    const PasswordRecord record = packPassword(password, nullptr, kPasswordLength, 0, 0);
    return drive.write(kSubLoginPassword, &record, sizeof record);
}

namespace {

int sendPassword(const Drive& drive, uint16_t subCommand, const PasswordRecord& record) {
    return drive.write(subCommand, &record, sizeof record);
}

int switchToMassStorage(const Drive& drive, const char* password, int value) {
    return sendPassword(drive, kSubLoginPassword,
                        packPassword(password, nullptr, kPasswordLength, 1, uint8_t(value)));
}

int changeLogin(const Drive& drive, const char* current, const char* next) {
    if (storageExposed()) {
        return 0;
    }
    return sendPassword(drive, kSubChangeLoginPassword,
                        packPassword(current, next, kPasswordLength, 0, 0));
}

// The length is the caller's statement; the text itself is not measured.
int sendAdminPassword(const Drive& drive, uint16_t subCommand, const char* password, int length) {
    if (length != kAdminPasswordLength) {
        return 0;
    }
    AdminPasswordRecord record{};
    if (password != nullptr) {
        copyBounded(record.password, password, sizeof record.password);
    }
    return drive.write(subCommand, &record, sizeof record);
}

int changeAdmin(const Drive& drive, const char* password, int length) {
    if (storageExposed()) {
        return 0;
    }
    return sendAdminPassword(drive, kSubNewAdminPassword, password, length);
}

int writeFlag(uint16_t subCommand, const unsigned char* flag) {
    if (flag == nullptr) {
        return 0;
    }
    return Drive::current().write(subCommand, flag, 1);
}

int readLoginCheckFlag(unsigned char* flag) {
    if (flag == nullptr) {
        return 0;
    }
    return Drive::current().read(kSubGetNoLoginCheck, flag, 1);
}

}  // namespace

}  // namespace dalvex

using namespace dalvex;

extern "C" {

DALVEX_API int TKUSB_CheckLoginPwd(const char* password) {
    if (storageExposed()) {
        return 0;
    }
    return sendLoginCheck(Drive::current(), password);
}

DALVEX_API int TKUSB_CheckLoginPwd_Ex(const char* password, int letter) {
    return sendLoginCheck(Drive::ofLetter(letter), password);
}

DALVEX_API int TKUSB_ChangeLoginPwd(const char* current, const char* next) {
    return changeLogin(Drive::current(), current, next);
}

DALVEX_API int TKUSB_ChangeLoginPwd_Ex(const char* current, const char* next, int letter) {
    return changeLogin(Drive::ofLetter(letter), current, next);
}

DALVEX_API int TKUSB_CheckBrowsePwd(const char* password, int value) {
    if (storageExposed()) {
        return 0;
    }
    return sendPassword(Drive::current(), kSubCheckBrowsePassword,
                        packPassword(password, nullptr, kPasswordLength, uint8_t(value), 1));
}

DALVEX_API int TKUSB_ChangeBrowsePwd(const char* first, const char* second) {
    if (storageExposed()) {
        return 0;
    }
    return sendPassword(Drive::current(), kSubChangeBrowsePassword,
                        packPassword(first, second, kPasswordLength, 0, 0));
}

DALVEX_API int TKUSB_Change5Pwd(const char* current, const char* next) {
    if (storageExposed()) {
        return 0;
    }
    return sendPassword(Drive::current(), kSubChangeUserPassword,
                        packPassword(current, next, kUserPasswordLength, 0, 0));
}

DALVEX_API int TKUSB_StartAdminPwd(const char* password, int length) {
    return sendAdminPassword(Drive::current(), kSubStartAdminPassword, password, length);
}

DALVEX_API int TKUSB_StartAdminPwd_Ex(const char* password, int length, int letter) {
    return sendAdminPassword(Drive::ofLetter(letter), kSubStartAdminPassword, password, length);
}

DALVEX_API int TKUSB_ChangeNewAdminPwd(const char* password, int length) {
    return changeAdmin(Drive::current(), password, length);
}

DALVEX_API int TKUSB_ChangeNewAdminPwd_Ex(const char* password, int length, int letter) {
    return changeAdmin(Drive::ofLetter(letter), password, length);
}

DALVEX_API int TKUSB_SwitchToMSC(const char* password, int value) {
    if (storageExposed()) {
        return 0;
    }
    return switchToMassStorage(Drive::current(), password, value);
}

DALVEX_API int TKUSB_SwitchToMSC_Ex(const char* password, int value, int letter) {
    return switchToMassStorage(Drive::ofLetter(letter), password, value);
}

DALVEX_API int TKUSB_SetNoCheckLoginPwd(const unsigned char* flag) {
    return writeFlag(kSubSetNoLoginCheck, flag);
}

DALVEX_API int TKUSB_GetNoCheckLoginPwd(unsigned char* flag) {
    return readLoginCheckFlag(flag);
}

DALVEX_API int TKUSB_SetNoWifiPwdPwd(const unsigned char* flag) {
    return writeFlag(kSubSetNoWifiPassword, flag);
}

// The camera has no read of this flag: the getter is the login-check flag's.
DALVEX_API int TKUSB_GetNoWifiPwdPwd(unsigned char* flag) {
    return readLoginCheckFlag(flag);
}

}  // extern "C"
