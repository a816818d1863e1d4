// The password and login exports.
#include "passwords.h"

#include <cstring>

#include "discovery.h"
#include "export_guard.h"

namespace dalvex {

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

DALVEX_API int TKUSB_CheckLoginPwd(const char* password) try {
    if (storageExposed()) {
        return 0;
    }
    return sendLoginCheck(Drive::current(), password);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_CheckLoginPwd_Ex(const char* password, int letter) try {
    return sendLoginCheck(Drive::ofLetter(letter), password);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_ChangeLoginPwd(const char* current, const char* next) try {
    return changeLogin(Drive::current(), current, next);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_ChangeLoginPwd_Ex(const char* current, const char* next, int letter) try {
    return changeLogin(Drive::ofLetter(letter), current, next);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_CheckBrowsePwd(const char* password, int value) try {
    if (storageExposed()) {
        return 0;
    }
    return sendPassword(Drive::current(), kSubCheckBrowsePassword,
                        packPassword(password, nullptr, kPasswordLength, uint8_t(value), 1));
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_ChangeBrowsePwd(const char* first, const char* second) try {
    if (storageExposed()) {
        return 0;
    }
    return sendPassword(Drive::current(), kSubChangeBrowsePassword,
                        packPassword(first, second, kPasswordLength, 0, 0));
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_Change5Pwd(const char* current, const char* next) try {
    if (storageExposed()) {
        return 0;
    }
    return sendPassword(Drive::current(), kSubChangeUserPassword,
                        packPassword(current, next, kUserPasswordLength, 0, 0));
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_StartAdminPwd(const char* password, int length) try {
    return sendAdminPassword(Drive::current(), kSubStartAdminPassword, password, length);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_StartAdminPwd_Ex(const char* password, int length, int letter) try {
    return sendAdminPassword(Drive::ofLetter(letter), kSubStartAdminPassword, password, length);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_ChangeNewAdminPwd(const char* password, int length) try {
    return changeAdmin(Drive::current(), password, length);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_ChangeNewAdminPwd_Ex(const char* password, int length, int letter) try {
    return changeAdmin(Drive::ofLetter(letter), password, length);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SwitchToMSC(const char* password, int value) try {
    if (storageExposed()) {
        return 0;
    }
    return switchToMassStorage(Drive::current(), password, value);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SwitchToMSC_Ex(const char* password, int value, int letter) try {
    return switchToMassStorage(Drive::ofLetter(letter), password, value);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetNoCheckLoginPwd(const unsigned char* flag) try {
    return writeFlag(kSubSetNoLoginCheck, flag);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetNoCheckLoginPwd(unsigned char* flag) try {
    return readLoginCheckFlag(flag);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetNoWifiPwdPwd(const unsigned char* flag) try {
    return writeFlag(kSubSetNoWifiPassword, flag);
} catch (...) {
    return exportFailed(__func__, 0);
}

// The camera has no read of this flag: the getter is the login-check flag's.
DALVEX_API int TKUSB_GetNoWifiPwdPwd(unsigned char* flag) try {
    return readLoginCheckFlag(flag);
} catch (...) {
    return exportFailed(__func__, 0);
}

}  // extern "C"
