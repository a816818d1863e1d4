/*
 * dalvex.h - the device library of the Orvane camera manager.
 *
 * Every function is a plain C export named TKUSB_<Operation>. Results are int 1 for success and
 * 0 for failure unless a block says otherwise. Texts are NUL-terminated single-byte strings in the
 * system's code set; records are caller-owned buffers of the sizes given below. A drive letter
 * argument is an int whose low byte is the letter 'C' to 'Z'. The library keeps one current drive
 * (chosen by TKUSB_IsDevice) and expects one caller thread for everything but the GPS exports.
 * Diagnostic lines go to standard error.
 */
#ifndef DALVEX_H
#define DALVEX_H

#include <stddef.h>
#include <stdint.h>

/* On Windows the library is dalvex.dll. Its functions use the C calling convention (__cdecl:
 * the caller removes the arguments), named in every declaration so that a caller compiled with
 * another default (MSVC's /Gz or /Gr) still calls them right, and are exported under their plain
 * names by the module-definition file dalvex.def, which alone decides the exports. A program
 * linked with the library's static archive instead defines DALVEX_STATIC. */
#if defined(_WIN32)
#if defined(DALVEX_BUILDING) || defined(DALVEX_STATIC)
#define DALVEX_API
#else
#define DALVEX_API __declspec(dllimport)
#endif
#define DALVEX_CALL __cdecl
#else
#define DALVEX_API __attribute__((visibility("default")))
#define DALVEX_CALL
#endif

/* Whether the C++ overload TKUSB_GetPointBlankSet() is declared: everywhere but for MinGW's C++
 * calling the DLL, whose name for it the DLL does not export (see the overload). */
#if !defined(_WIN32) || !defined(__GNUC__) || defined(DALVEX_BUILDING) || defined(DALVEX_STATIC)
#define DALVEX_HAS_POINT_BLANK_OVERLOAD 1
#else
#define DALVEX_HAS_POINT_BLANK_OVERLOAD 0
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------------------------
 * Camera records. All are packed, little-endian, with fixed-width text fields: a text that
 * fills its field has no terminator inside it, so readers take at most the field's width.
 * Fields named reserved* are zero in a record built from scratch and ignored by readers.
 * ------------------------------------------------------------------------------------------ */
#if defined(__cplusplus)
#define DALVEX_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define DALVEX_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif
#define DALVEX_CHECK_SIZE(type, size) DALVEX_STATIC_ASSERT(sizeof(type) == (size), #type " size")
#define DALVEX_CHECK_OFFSET(type, field, offset) \
    DALVEX_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field " offset")

#pragma pack(push, 1)

/* Read with 0xF20C (52 bytes): what the camera is. */
typedef struct DeviceSpecRecord {
    uint8_t modelCode; /* 16 and 17: card sizes in MB; 48 RK20, 208 RK40, 240 RK50 */
    uint8_t reserved1[3];
    char firmwareVersion[32]; /* e.g. "TKV71MRD.150530.WR" */
    uint8_t hasWifi;          /* 1: the camera has WiFi */
    uint8_t noCms;            /* 0: the camera has the CMS server settings */
    uint8_t reserved38[14];
} DeviceSpecRecord;

/* Read with 0xF206, written with 0xF207 (20 bytes). */
typedef struct DeviceSettingRecord {
    uint8_t videoResolution; /* 0-3 */
    uint8_t photoResolution; /* 0-4 */
    uint8_t videoLength;     /* 0-5 */
    uint8_t reserved3;
    int32_t cardCapacity; /* read only; MB for model codes 16 and 17, GB otherwise */
    int32_t freeSpaceMB;  /* read only */
    uint8_t reserved12[8];
} DeviceSettingRecord;

/* Read with 0xF205, written with 0xF204 (100 bytes). */
typedef struct UserInfoRecord {
    char deviceId[12];
    char departmentName[32];
    char departmentNumber[12];
    char userName[32];
    char userId[12];
} UserInfoRecord;

/* Written with 0xF201 (48 bytes). */
typedef struct TimeRecord {
    uint32_t date; /* year * 10000 + month * 100 + day */
    uint32_t time; /* hour * 10000 + minute * 100 + second */
    uint8_t reserved8[40];
} TimeRecord;

/* The password checks and changes, 0xF202, 0xF203, 0xF208, 0xF209, 0xF216 (48 bytes). */
typedef struct PasswordRecord {
    uint8_t reserved0[8];
    char password[8];    /* at most 6 characters (5 for the user password), no terminator added */
    char newPassword[8]; /* same rule; change operations only */
    uint8_t modeA;
    uint8_t modeB;
    uint8_t reserved26[22];
} PasswordRecord;

/* The administrator password, 0xF107 and 0xF217 (8 bytes). */
typedef struct AdminPasswordRecord {
    char password[6];
    uint8_t reserved6[2];
} AdminPasswordRecord;

/* Read with 0xF20D, written with 0xF20E (136 bytes). */
typedef struct GprsRecord {
    uint8_t sosAction; /* 0 take a snapshot, 1 call the emergency phone */
    uint8_t reserved1[3];
    char emergencyPhone[16];
    char apn[32];
    char userName[16];
    char password[16];
    char serverIp[52]; /* dotted IPv4 address */
} GprsRecord;

/* Read with 0xF210, written with 0xF211 (114 bytes). */
typedef struct WifiRecord {
    uint8_t mode; /* 0 station, 1 access point */
    char ssid[23];
    uint8_t encryptionType;
    char password[23];
    char ip[16];
    uint16_t port;
    uint8_t reserved66[48]; /* written back as read */
} WifiRecord;

/* Read with 0xF225, written with 0xF226 (64 bytes). */
typedef struct WifiApRecord {
    char apSsid[16];
    char apPassword[16];
    uint8_t reserved32[32];
} WifiApRecord;

/* Read with 0xF212, written with 0xF213 (186 bytes). */
typedef struct MobileLinkRecord {
    char linkId[8];
    char serverAddress[64];
    uint16_t serverPort; /* 0 or 0xFFFF: unset */
    char apn[32];
    char user[16];
    char password[32];
    char dialNumber[32];
} MobileLinkRecord;

/* Read with 0xF214, written with 0xF215 (4 bytes); 0 means unset. */
typedef struct GpsUploadRecord {
    uint16_t uploadInterval;
    uint16_t alarmInterval;
} GpsUploadRecord;

/* Read with 0xF21C, written with 0xF21D (28 bytes): the account on a CMSV6 platform. */
typedef struct Cmsv6Record {
    char deviceId[8];
    char serverIp[16];
    uint16_t serverPort;
    uint16_t listenPort;
} Cmsv6Record;

/* Read with 0xF218, written with 0xF219 (32 bytes): one list index per setting. */
typedef struct Rk20SettingRecord {
    uint8_t resolution;
    uint8_t recordOverwrite;
    uint8_t recordFileSize;
    uint8_t motionDetection;
    uint8_t gsensor;
    uint8_t overSpeedRecording;
    uint8_t preRecord;
    uint8_t carMode;
    uint8_t autoPowerOff;
    uint8_t dateFormat;
    uint8_t gpsAutoUpdateTime;
    uint8_t gmtSetup;
    uint8_t dstSetup;
    uint8_t language;
    uint8_t volume;
    uint8_t indicator;
    uint8_t videoOn;
    uint8_t reserved17[15];
} Rk20SettingRecord;

/* Read with 0xF21B (124 bytes). */
typedef struct Rk20StringInfo {
    int32_t freeSpaceMB;
    int32_t totalSizeGB;
    char officerId[20];
    char serialNumber[24];
    char firmwareVersion[72];
} Rk20StringInfo;

/* Read with 0xF23E, written with 0xF23F (128 bytes). The fields depend on the model: the RK40
 * view and the RK50 view overlap (recycleRecording shares byte 15 with the plate number's
 * terminator). */
typedef struct ConfigInfoRk40 {
    uint8_t volume; /* 0 off, 2 low, 6 normal, 10 high */
    uint8_t irMode; /* 0 auto, 1 manual */
    uint8_t reserved2[13];
    uint8_t recycleRecording; /* 0 or 1 */
    uint8_t reserved16[112];
} ConfigInfoRk40;

typedef struct ConfigInfoRk50 {
    uint8_t reserved0[3];
    char plateNumber[13]; /* at most 12 characters and the terminator */
    uint8_t reserved16[112];
} ConfigInfoRk50;

typedef union ConfigInfoRecord {
    ConfigInfoRk40 rk40;
    ConfigInfoRk50 rk50;
    uint8_t bytes[128];
} ConfigInfoRecord;

#pragma pack(pop)

DALVEX_CHECK_SIZE(DeviceSpecRecord, 52);
DALVEX_CHECK_OFFSET(DeviceSpecRecord, modelCode, 0);
DALVEX_CHECK_OFFSET(DeviceSpecRecord, reserved1, 1);
DALVEX_CHECK_OFFSET(DeviceSpecRecord, firmwareVersion, 4);
DALVEX_CHECK_OFFSET(DeviceSpecRecord, hasWifi, 36);
DALVEX_CHECK_OFFSET(DeviceSpecRecord, noCms, 37);
DALVEX_CHECK_OFFSET(DeviceSpecRecord, reserved38, 38);

DALVEX_CHECK_SIZE(DeviceSettingRecord, 20);
DALVEX_CHECK_OFFSET(DeviceSettingRecord, videoResolution, 0);
DALVEX_CHECK_OFFSET(DeviceSettingRecord, photoResolution, 1);
DALVEX_CHECK_OFFSET(DeviceSettingRecord, videoLength, 2);
DALVEX_CHECK_OFFSET(DeviceSettingRecord, reserved3, 3);
DALVEX_CHECK_OFFSET(DeviceSettingRecord, cardCapacity, 4);
DALVEX_CHECK_OFFSET(DeviceSettingRecord, freeSpaceMB, 8);
DALVEX_CHECK_OFFSET(DeviceSettingRecord, reserved12, 12);

DALVEX_CHECK_SIZE(UserInfoRecord, 100);
DALVEX_CHECK_OFFSET(UserInfoRecord, deviceId, 0);
DALVEX_CHECK_OFFSET(UserInfoRecord, departmentName, 12);
DALVEX_CHECK_OFFSET(UserInfoRecord, departmentNumber, 44);
DALVEX_CHECK_OFFSET(UserInfoRecord, userName, 56);
DALVEX_CHECK_OFFSET(UserInfoRecord, userId, 88);

DALVEX_CHECK_SIZE(TimeRecord, 48);
DALVEX_CHECK_OFFSET(TimeRecord, date, 0);
DALVEX_CHECK_OFFSET(TimeRecord, time, 4);
DALVEX_CHECK_OFFSET(TimeRecord, reserved8, 8);

DALVEX_CHECK_SIZE(PasswordRecord, 48);
DALVEX_CHECK_OFFSET(PasswordRecord, reserved0, 0);
DALVEX_CHECK_OFFSET(PasswordRecord, password, 8);
DALVEX_CHECK_OFFSET(PasswordRecord, newPassword, 16);
DALVEX_CHECK_OFFSET(PasswordRecord, modeA, 24);
DALVEX_CHECK_OFFSET(PasswordRecord, modeB, 25);
DALVEX_CHECK_OFFSET(PasswordRecord, reserved26, 26);

DALVEX_CHECK_SIZE(AdminPasswordRecord, 8);
DALVEX_CHECK_OFFSET(AdminPasswordRecord, password, 0);
DALVEX_CHECK_OFFSET(AdminPasswordRecord, reserved6, 6);

DALVEX_CHECK_SIZE(GprsRecord, 136);
DALVEX_CHECK_OFFSET(GprsRecord, sosAction, 0);
DALVEX_CHECK_OFFSET(GprsRecord, reserved1, 1);
DALVEX_CHECK_OFFSET(GprsRecord, emergencyPhone, 4);
DALVEX_CHECK_OFFSET(GprsRecord, apn, 20);
DALVEX_CHECK_OFFSET(GprsRecord, userName, 52);
DALVEX_CHECK_OFFSET(GprsRecord, password, 68);
DALVEX_CHECK_OFFSET(GprsRecord, serverIp, 84);

DALVEX_CHECK_SIZE(WifiRecord, 114);
DALVEX_CHECK_OFFSET(WifiRecord, mode, 0);
DALVEX_CHECK_OFFSET(WifiRecord, ssid, 1);
DALVEX_CHECK_OFFSET(WifiRecord, encryptionType, 24);
DALVEX_CHECK_OFFSET(WifiRecord, password, 25);
DALVEX_CHECK_OFFSET(WifiRecord, ip, 48);
DALVEX_CHECK_OFFSET(WifiRecord, port, 64);
DALVEX_CHECK_OFFSET(WifiRecord, reserved66, 66);

DALVEX_CHECK_SIZE(WifiApRecord, 64);
DALVEX_CHECK_OFFSET(WifiApRecord, apSsid, 0);
DALVEX_CHECK_OFFSET(WifiApRecord, apPassword, 16);
DALVEX_CHECK_OFFSET(WifiApRecord, reserved32, 32);

DALVEX_CHECK_SIZE(MobileLinkRecord, 186);
DALVEX_CHECK_OFFSET(MobileLinkRecord, linkId, 0);
DALVEX_CHECK_OFFSET(MobileLinkRecord, serverAddress, 8);
DALVEX_CHECK_OFFSET(MobileLinkRecord, serverPort, 72);
DALVEX_CHECK_OFFSET(MobileLinkRecord, apn, 74);
DALVEX_CHECK_OFFSET(MobileLinkRecord, user, 106);
DALVEX_CHECK_OFFSET(MobileLinkRecord, password, 122);
DALVEX_CHECK_OFFSET(MobileLinkRecord, dialNumber, 154);

DALVEX_CHECK_SIZE(GpsUploadRecord, 4);
DALVEX_CHECK_OFFSET(GpsUploadRecord, uploadInterval, 0);
DALVEX_CHECK_OFFSET(GpsUploadRecord, alarmInterval, 2);

DALVEX_CHECK_SIZE(Cmsv6Record, 28);
DALVEX_CHECK_OFFSET(Cmsv6Record, deviceId, 0);
DALVEX_CHECK_OFFSET(Cmsv6Record, serverIp, 8);
DALVEX_CHECK_OFFSET(Cmsv6Record, serverPort, 24);
DALVEX_CHECK_OFFSET(Cmsv6Record, listenPort, 26);

DALVEX_CHECK_SIZE(Rk20SettingRecord, 32);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, resolution, 0);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, recordOverwrite, 1);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, recordFileSize, 2);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, motionDetection, 3);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, gsensor, 4);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, overSpeedRecording, 5);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, preRecord, 6);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, carMode, 7);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, autoPowerOff, 8);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, dateFormat, 9);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, gpsAutoUpdateTime, 10);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, gmtSetup, 11);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, dstSetup, 12);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, language, 13);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, volume, 14);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, indicator, 15);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, videoOn, 16);
DALVEX_CHECK_OFFSET(Rk20SettingRecord, reserved17, 17);

DALVEX_CHECK_SIZE(Rk20StringInfo, 124);
DALVEX_CHECK_OFFSET(Rk20StringInfo, freeSpaceMB, 0);
DALVEX_CHECK_OFFSET(Rk20StringInfo, totalSizeGB, 4);
DALVEX_CHECK_OFFSET(Rk20StringInfo, officerId, 8);
DALVEX_CHECK_OFFSET(Rk20StringInfo, serialNumber, 28);
DALVEX_CHECK_OFFSET(Rk20StringInfo, firmwareVersion, 52);

DALVEX_CHECK_SIZE(ConfigInfoRk40, 128);
DALVEX_CHECK_SIZE(ConfigInfoRk50, 128);
DALVEX_CHECK_SIZE(ConfigInfoRecord, 128);
DALVEX_CHECK_OFFSET(ConfigInfoRecord, rk40.volume, 0);
DALVEX_CHECK_OFFSET(ConfigInfoRecord, rk40.irMode, 1);
DALVEX_CHECK_OFFSET(ConfigInfoRecord, rk40.recycleRecording, 15);
DALVEX_CHECK_OFFSET(ConfigInfoRecord, rk40.reserved16, 16);
DALVEX_CHECK_OFFSET(ConfigInfoRecord, rk50.plateNumber, 3);
DALVEX_CHECK_OFFSET(ConfigInfoRecord, rk50.reserved16, 16);

/* ------------------------------------------------------------------------------------------
 * Discovery and the per-drive table
 * ------------------------------------------------------------------------------------------ */

/* Scans the removable drives C to Z for a camera. Returns the letter of the first camera found
 * ('C'..'Z') and makes its drive the current one, or 0 (current drive cleared) when none answers.
 */
DALVEX_API int DALVEX_CALL TKUSB_IsDevice(void);

/* Refreshes the per-drive table and returns the letter of the first camera in it, or '['
 * (one past 'Z') when there is none. Leaves the current drive and the mass-storage flag alone. */
DALVEX_API int DALVEX_CALL TKUSB_IsDevice_Ex(void);

/* Does nothing: there is no connection to close. */
DALVEX_API void DALVEX_CALL TKUSB_DisConnect(void);

/* Refreshes the table entry of the letter (case folded) and copies its serial text (at most 10
 * characters and the NUL, empty when no camera is there) into serial. Returns 0 and leaves the
 * buffer untouched for a letter outside 'C'..'Z'. */
DALVEX_API int DALVEX_CALL TKUSB_GetDevSerial_Ex(char* serial, int letter);

/* Refreshes the table and sends copy finished (0xF235) to the first camera whose serial matches
 * the first 8 characters of serial (6 when it is shorter). Returns 0 for a null serial, 1
 * otherwise, whether or not a camera matched. */
DALVEX_API int DALVEX_CALL TKUSB_SetCopyFileFinish_Ex_DeviceID(const char* serial);

/* ------------------------------------------------------------------------------------------
 * Identity and version. None of these refuses while the camera's storage is exposed.
 * ------------------------------------------------------------------------------------------ */

/* Reads the two bytes of 0x3201 into a cleared int. Returns the camera's u16
 * version number, or 0 when the read fails. */
DALVEX_API int DALVEX_CALL TKUSB_GetVersion(void);
DALVEX_API int DALVEX_CALL TKUSB_GetVersion_Ex(int letter);

/* Reads 0xF23D (32 bytes) straight into the caller's 32-byte block, which is not cleared first.
 * Returns the read result. */
DALVEX_API int DALVEX_CALL TKUSB_GetBuildVersion(char* block32);

/* Reads 0xF20F (32 bytes) into a cleared block of its own; on success copies its text (at most
 * 32 characters) and a terminator into text33 and returns 1; otherwise returns 0 and leaves
 * text33 untouched. */
DALVEX_API int DALVEX_CALL TKUSB_GetDevSerial(char* text33);

/* Reads 0xF20C (52 bytes) straight into the caller's record, then replaces the retired firmware
 * text "TKV71MRD.140918.WF" by "TKV71MRD.150530.WR" (also after a failed read). Returns the read
 * result. */
DALVEX_API int DALVEX_CALL TKUSB_GetDeviceSpec(DeviceSpecRecord* spec);

/* Reads 0xF20C into a cleared block of its own, applies the same firmware replacement and copies
 * the firmware text (at most 48 characters) and a terminator into text49, also after a failed
 * read (then empty). Returns the read result. */
DALVEX_API int DALVEX_CALL TKUSB_GetFWVer(char* text49);

/* Reads 0xF227 (32 bytes): the camera's clock as "YYYYMMDDhhmmss", straight into the caller's
 * 32-byte block. Returns the read result. */
DALVEX_API int DALVEX_CALL TKUSB_GetDeviceTime(char* block32);

/* ------------------------------------------------------------------------------------------
 * Actions. "Refuses" means: returns 0 and sends nothing while the mass-storage flag is set.
 * ------------------------------------------------------------------------------------------ */

/* Writes 0xF001 with the byte 0x61: the camera restarts. Returns the write result. */
DALVEX_API int DALVEX_CALL TKUSB_Reboot(void);
DALVEX_API int DALVEX_CALL TKUSB_Reboot_Ex(int letter);

/* Reads 0xF002 (4 bytes, discarded): the camera switches off. Returns the read result. */
DALVEX_API int DALVEX_CALL TKUSB_Shutdown(void);
DALVEX_API int DALVEX_CALL TKUSB_Shutdown_Ex(int letter);

/* Writes 0xF004 with the byte 0x61: the camera deletes its log. Returns the write result. */
DALVEX_API int DALVEX_CALL TKUSB_DeleteLog(void);
DALVEX_API int DALVEX_CALL TKUSB_DeleteLog_Ex(int letter);

/* Writes 0xF20A with the byte 0x00: the camera starts formatting its card. Refuses. Returns
 * the write result; poll TKUSB_Get_FormatStatus for the end. */
DALVEX_API int DALVEX_CALL TKUSB_Format(void);
DALVEX_API int DALVEX_CALL TKUSB_Format_Ex(int letter);

/* Reads the u32 format status (0xF20B) into a cleared value. Refuses. Returns 1 only when it is
 * 0xDCBA (finished); 0 for any other value (0x0FF0: still formatting) and for a failed read. */
DALVEX_API int DALVEX_CALL TKUSB_Get_FormatStatus(void);
DALVEX_API int DALVEX_CALL TKUSB_Get_FormatStatus_Ex(int letter);

/* Reads 0xF220 (4 bytes, discarded). Refuses. Returns the read result. */
DALVEX_API int DALVEX_CALL TKUSB_FactoryFocus(void);

/* Writes 0xF005 with the byte 0x61: the camera restores its default settings. Refuses. Returns
 * the write result. */
DALVEX_API int DALVEX_CALL TKUSB_RK20UseDefault(void);

/* Tells a camera whose storage is exposed as a disk on letter that the host has finished
 * copying: finds the disk on that letter (setting the mass-storage flag), checks the login
 * password with 0xF203 there, then writes 0xF235 with the byte 0x36. Leaves the current drive on
 * that letter. Returns 0 when the disk is not found or the password is refused, otherwise the
 * result of the last write. The password is never logged. */
DALVEX_API int DALVEX_CALL TKUSB_SetCopyFileFinish(int letter, const char* password);

/* Writes 0xF235 with the byte 0x36 to the drive letter. Returns the write result. */
DALVEX_API int DALVEX_CALL TKUSB_SetCopyFileFinish_Ex(int letter);

/* ------------------------------------------------------------------------------------------
 * Status
 * ------------------------------------------------------------------------------------------ */

/* Reads the i32 battery value (0xF003) straight into *value. The plain form refuses, the _Ex
 * form does not. Returns the read result. */
DALVEX_API int DALVEX_CALL TKUSB_GetBattle(int* value);
DALVEX_API int DALVEX_CALL TKUSB_GetBattle_Ex(int* value, int letter);

/* Reads 8 bytes of g-sensor data (0xF221) straight into block8. Refuses. Read result. */
DALVEX_API int DALVEX_CALL TKUSB_GetGsensorData(unsigned char* block8);

/* Reads the 8-byte outcome of the camera's last operation (0xF222) into block8. Read result. */
DALVEX_API int DALVEX_CALL TKUSB_CheckLastOperateSuc(unsigned char* block8);

/* ------------------------------------------------------------------------------------------
 * Time
 * ------------------------------------------------------------------------------------------ */

/* Writes a TimeRecord (0xF201) with the host's local time. Refuses. Returns the write result. */
DALVEX_API int DALVEX_CALL TKUSB_SetTime(void);

/* Writes a TimeRecord (0xF201) with the given time (year taken as u16, the others as u8).
 * Returns the write result. */
DALVEX_API int DALVEX_CALL TKUSB_SetDeviceTime(int year, int month, int day, int hour, int minute, int second);

/* ------------------------------------------------------------------------------------------
 * Passwords. The camera judges every password: these pack the texts into a cleared record
 * (at most 6 characters each, 5 for the user password; a null text leaves its field zero),
 * write it and return the write result (1: the camera accepted it).
 * ------------------------------------------------------------------------------------------ */

/* 0xF203, mode bytes 0 0. The plain form refuses, the _Ex form does not. */
DALVEX_API int DALVEX_CALL TKUSB_CheckLoginPwd(const char* password);
DALVEX_API int DALVEX_CALL TKUSB_CheckLoginPwd_Ex(const char* password, int letter);

/* 0xF202 with the current and the new login password. Both forms refuse. */
DALVEX_API int DALVEX_CALL TKUSB_ChangeLoginPwd(const char* current, const char* next);
DALVEX_API int DALVEX_CALL TKUSB_ChangeLoginPwd_Ex(const char* current, const char* next, int letter);

/* 0xF209, mode bytes value 1. Refuses. */
DALVEX_API int DALVEX_CALL TKUSB_CheckBrowsePwd(const char* password, int value);

/* 0xF208 with two texts (the manager sends the new browse password and its repetition). Refuses. */
DALVEX_API int DALVEX_CALL TKUSB_ChangeBrowsePwd(const char* first, const char* second);

/* 0xF216 with the current and the new user password (5 characters each). Refuses. */
DALVEX_API int DALVEX_CALL TKUSB_Change5Pwd(const char* current, const char* next);

/* 0xF107 with an AdminPasswordRecord: starts administrator-password protection. Returns 0 and
 * sends nothing unless length is 6 (the text is not measured). Does not refuse. */
DALVEX_API int DALVEX_CALL TKUSB_StartAdminPwd(const char* password, int length);
DALVEX_API int DALVEX_CALL TKUSB_StartAdminPwd_Ex(const char* password, int length, int letter);

/* 0xF217 with an AdminPasswordRecord: sets a new administrator password. Returns 0 and sends
 * nothing unless length is 6. Both forms refuse. */
DALVEX_API int DALVEX_CALL TKUSB_ChangeNewAdminPwd(const char* password, int length);
DALVEX_API int DALVEX_CALL TKUSB_ChangeNewAdminPwd_Ex(const char* password, int length, int letter);

/* 0xF203, mode bytes 1 value: with the right login password the camera exposes its storage as
 * a disk. The plain form refuses, the _Ex form does not. */
DALVEX_API int DALVEX_CALL TKUSB_SwitchToMSC(const char* password, int value);
DALVEX_API int DALVEX_CALL TKUSB_SwitchToMSC_Ex(const char* password, int value, int letter);

/* One flag byte: written with 0xF21E (skip the login check) or 0xF229 (no WiFi password). Both
 * getters read 0xF21F (there is no read of the second flag) straight into *flag. */
DALVEX_API int DALVEX_CALL TKUSB_SetNoCheckLoginPwd(const unsigned char* flag);
DALVEX_API int DALVEX_CALL TKUSB_GetNoCheckLoginPwd(unsigned char* flag);
DALVEX_API int DALVEX_CALL TKUSB_SetNoWifiPwdPwd(const unsigned char* flag);
DALVEX_API int DALVEX_CALL TKUSB_GetNoWifiPwdPwd(unsigned char* flag);

/* ------------------------------------------------------------------------------------------
 * Settings records. Getters without "clears" read straight into the caller's record (a failed
 * read leaves it as it was); setters write the caller's record whole.
 * ------------------------------------------------------------------------------------------ */

/* Reads the UserInfoRecord (0xF205) into a cleared block of its own and copies the five fields
 * into the five buffers (null: skipped), at most 11, 32, 12, 32 and 6 bytes, with a terminator
 * only when the text is shorter; after a failed read they get empty texts. Returns the read
 * result. Does not refuse. */
DALVEX_API int DALVEX_CALL TKUSB_GetUserInfo(char* deviceId, char* departmentName, char* departmentNumber,
                                 char* userName, char* userId);

/* Writes a cleared UserInfoRecord (0xF204) with at most 11, 32, 12, 32 and 11 characters of the
 * five texts (null: the field stays zero). Refuses. Returns the write result. */
DALVEX_API int DALVEX_CALL TKUSB_SetUserInfo(const char* deviceId, const char* departmentName,
                                 const char* departmentNumber, const char* userName,
                                 const char* userId);

/* Reads the DeviceSettingRecord (0xF206) into a cleared block of its own; on success stores
 * photoResolution, videoResolution, videoLength and cardCapacity (null outputs are skipped), on
 * failure leaves them untouched. Refuses. Returns the read result. */
DALVEX_API int DALVEX_CALL TKUSB_GetDeviceSetting(int* photoResolution, int* videoResolution, int* videoLength,
                                      int* cardCapacity);

/* Reads the DeviceSettingRecord into a cleared block of its own and copies all 20 bytes to the
 * caller's record on success only. The plain form refuses, the _Ex form does not. */
DALVEX_API int DALVEX_CALL TKUSB_GetDeviceSettingEx(DeviceSettingRecord* setting);
DALVEX_API int DALVEX_CALL TKUSB_GetDeviceSettingEx_Ex(DeviceSettingRecord* setting, int letter);

/* Writes a cleared DeviceSettingRecord (0xF207) holding the low bytes of the three indexes.
 * Refuse. Return the write result. The SetDeviceSettingEx form first checks photo 0-4, video 0-3,
 * length 0-5 and returns 0 without sending when one is outside. */
DALVEX_API int DALVEX_CALL TKUSB_SetDeviceSetting(int photoResolution, int videoResolution, int videoLength);
DALVEX_API int DALVEX_CALL TKUSB_SetDeviceSetting_Ex(int photoResolution, int videoResolution, int videoLength,
                                         int letter);
DALVEX_API int DALVEX_CALL TKUSB_SetDeviceSettingEx(int photoResolution, int videoResolution, int videoLength);

/* 0xF20D / 0xF20E (136 bytes). Refuse. */
DALVEX_API int DALVEX_CALL TKUSB_GetGprsParam(GprsRecord* record);
DALVEX_API int DALVEX_CALL TKUSB_SetGprsParam(const GprsRecord* record);

/* 0xF210 / 0xF211 (114 bytes). Refuse. */
DALVEX_API int DALVEX_CALL TKUSB_GetWifiParam(WifiRecord* record);
DALVEX_API int DALVEX_CALL TKUSB_SetWifiParam(const WifiRecord* record);

/* 0xF225 / 0xF226 (64 bytes). Refuse. */
DALVEX_API int DALVEX_CALL TKUSB_GetWifiAPParam(WifiApRecord* record);
DALVEX_API int DALVEX_CALL TKUSB_SetWifiAPParam(const WifiApRecord* record);

/* 0xF212 / 0xF213 (186 bytes). Refuse. */
DALVEX_API int DALVEX_CALL TKUSB_GetMobileLinkParam(MobileLinkRecord* record);
DALVEX_API int DALVEX_CALL TKUSB_SetMobileLinkParam(const MobileLinkRecord* record);

/* 0xF214 / 0xF215 (4 bytes). Refuse. */
DALVEX_API int DALVEX_CALL TKUSB_GetGpsUploadParam(GpsUploadRecord* record);
DALVEX_API int DALVEX_CALL TKUSB_SetGpsUploadParam(const GpsUploadRecord* record);

/* 0xF23E / 0xF23F (128 bytes), on the current drive or on letter. All four refuse. */
DALVEX_API int DALVEX_CALL TKUSB_GetConfigInfo(ConfigInfoRecord* record);
DALVEX_API int DALVEX_CALL TKUSB_SetConfigInfo(const ConfigInfoRecord* record);
DALVEX_API int DALVEX_CALL TKUSB_GetConfigInfo_Ex(ConfigInfoRecord* record, int letter);
DALVEX_API int DALVEX_CALL TKUSB_SetConfigInfo_Ex(const ConfigInfoRecord* record, int letter);

/* 0xF21C: clears the caller's record first (also when refused), then reads into it. Refuses. */
DALVEX_API int DALVEX_CALL TKUSB_CMSV6GetSeting(Cmsv6Record* record);
/* 0xF21D with the record passed by value. Refuses. */
DALVEX_API int DALVEX_CALL TKUSB_CMSV6Setting(Cmsv6Record record);

/* 0xF218: clears the caller's record first (also when refused), then reads into it. Refuses. */
DALVEX_API int DALVEX_CALL TKUSB_RK20GetSeting(Rk20SettingRecord* record);
/* 0xF219 with the record passed by value. Refuses. */
DALVEX_API int DALVEX_CALL TKUSB_RK20Setting(Rk20SettingRecord record);

/* 0xF21B: clears the caller's record first, then reads into it. Does not refuse. */
DALVEX_API int DALVEX_CALL TKUSB_RK20GetStringInfo(Rk20StringInfo* record);

/* Reads the i32 point-blank value (0xF224) straight into *value. Refuses. Read result. (C++
 * also has a form without arguments, below.) */
DALVEX_API int DALVEX_CALL TKUSB_GetPointBlankSet(int* value);

/* Reads the point-blank value from that drive into a cleared i32 and returns it (0 when the
 * read fails). Does not refuse. */
DALVEX_API int DALVEX_CALL TKUSB_GetPointBlankSet_Ex(int letter);

/* Writes the i32 point-blank value (0xF223). Refuses. Returns the write result. */
DALVEX_API int DALVEX_CALL TKUSB_SetPointBlankSet(int value);

/* Writes the value to that drive, reads it back (0xF224) and returns 1 only when the camera
 * kept it. Refuses. */
DALVEX_API int DALVEX_CALL TKUSB_SetPointBlankSet_Ex(int value, int letter);

/* Writes the two low-order bytes of value, in memory order (0xF23B). Returns the write result. */
DALVEX_API int DALVEX_CALL TKUSB_RFIDSetting(int value);

/* ------------------------------------------------------------------------------------------
 * Menu list and JSON channel: 2048-byte text blocks. None of these refuses.
 * ------------------------------------------------------------------------------------------ */

/* Reads 0xF236 (2048 bytes) straight into the caller's block, not cleared. Read result. */
DALVEX_API int DALVEX_CALL TKUSB_GetMenuList(char* block2048);

/* Writes 0xF237: a cleared 2048-byte block holding 'B' and at most 2046 characters of text,
 * copied as they are. Returns the write result (0 for a null text, nothing sent). */
DALVEX_API int DALVEX_CALL TKUSB_SetMenuList(const char* text);

/* Clears the caller's block, sends the JSON request {"Get menu list": null} in it (0xF239), then
 * clears it again and reads the camera's JSON answer into it (0xF238). Returns the read result. */
DALVEX_API int DALVEX_CALL TKUSB_GetJsonString(char* block2048);

/* Writes the caller's whole 2048-byte block, which holds a JSON text (0xF239). Write result. */
DALVEX_API int DALVEX_CALL TKUSB_SetJsonString(const char* block2048);

/* Reads the 30-byte test block (0xF23A) over a fixed text and logs at most its 30 bytes as
 * ">>buf:%s\n". Returns the read result. */
DALVEX_API int DALVEX_CALL TKUSB_TEST_Json(void);

/* ------------------------------------------------------------------------------------------
 * GPS track of videos and pictures
 * ------------------------------------------------------------------------------------------ */
/* The four GPS exports share one parser and one output file: call them from one thread at a
 * time. A path ending in "jpg" in any case is a picture (128-byte trailer); any other is an MP4
 * video (third track, or a top-level udat box). */

/* Opens out (created or truncated; nothing is written when it cannot be) for one text line per
 * point, parses media and closes out. Returns the file type code of the header the library holds
 * afterwards (0..255; a video without header record keeps the one of an earlier parse), or 0 for
 * a null media. A media file that cannot be opened leaves out open until the next call. */
DALVEX_API int DALVEX_CALL TKUSB_ParseVideoFile(const char* media, const char* out);

/* As TKUSB_ParseVideoFile, but writes one JSON document (gps_number, file_type, gps_data) to out
 * when the parse ends. */
DALVEX_API int DALVEX_CALL TKUSB_ParseVideoFileToJson(const char* media, const char* out);

/* Opens out for text lines without parsing; the next parse export closes it. Returns 0. */
DALVEX_API int DALVEX_CALL TKUSB_SetOutGpSFile(const char* out);

/* Copies the server number of the held header into number and returns its length. A number of 8
 * characters is copied without terminator: pass a zeroed buffer of at least 9 bytes. */
DALVEX_API int DALVEX_CALL TKUSB_GetServerNumber(char* number);

#ifdef __cplusplus
} /* extern "C" */
#endif

#ifdef __cplusplus
/* The point-blank value as the result: reads it into a cleared i32 and returns it; 0 when
 * refused or when the read fails, which cannot be told from a stored 0. Exported under its C++
 * name (_Z22TKUSB_GetPointBlankSetv). */
#if DALVEX_HAS_POINT_BLANK_OVERLOAD
DALVEX_API int DALVEX_CALL TKUSB_GetPointBlankSet();
#endif
/* dalvex.dll exports it under MSVC's name (?TKUSB_GetPointBlankSet@@YAHXZ) only, which MinGW's
 * C++ does not produce: there, find it with GetProcAddress. */
#endif

#endif /* DALVEX_H */
