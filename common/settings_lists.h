// The value lists of the camera settings, per camera model: what each stored index means. The
// settings pages fill their drop-down lists from here and the command-line tool names values by
// them, so both always agree.
//
// An entry is a fixed text, or the text of a language key when it starts with "IDS_". A camera
// stores a choice as the entry's zero-based position, except where a function below says so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "camera_models.h"
#include "rk20_control_ids.h"

namespace settings {

using Entries = std::vector<std::wstring>;

inline bool IsLanguageKey(const std::wstring& entry) {
    return entry.starts_with(L"IDS_");
}

// DeviceSettingRecord.videoResolution
inline Entries VideoEntries(int model) {
    if (CountsInMegabytes(model))
        return {L"1080P (1920x1080)", L"720P (1280x720)", L"WVGA60 (848x480 60fps)",
                L"WVGA (848x480 30fps)"};
    if (model >= 32 && model <= 47)
        return {L"2304*1296/30F", L"1920*1080/30F", L"1280*720/30F", L"848*480/30F"};
    if (model >= 48 && model <= 79)
        return {L"1920*1080/30F", L"1280*720/30F", L"848*480/30F"};
    if (model == kModelRk40)
        return {L"1920*1080", L"1080*720"};
    if (model == kModelRk50)
        return {L"3840*2160", L"2560*1440/60", L"2560*1440", L"1920*1080/60", L"1920*1080"};
    return {};
}

// DeviceSettingRecord.photoResolution, in list order (see PhotoPosition for the stored value).
inline Entries PhotoEntries(int model) {
    if (CountsInMegabytes(model) || (model >= 32 && model <= 79))
        return {L"2M", L"5M", L"8M", L"12M", L"16M"};
    if (model == kModelRk40)
        return {L"2M", L"1M"};
    if (model == kModelRk50)
        return {L"2M", L"8M", L"16M", L"32M", L"48M"};
    return {};
}

// Models with the shifted photo choice store "2M" (position 0) after the other four.
inline int PhotoStored(int model, int position) {
    if (!HasShiftedPhoto(model))
        return position;
    return position - 1 < 0 ? 4 : position - 1;
}
inline int PhotoPosition(int model, int stored) {
    if (!HasShiftedPhoto(model))
        return stored;
    return stored >= 0 && stored <= 3 ? stored + 1 : 0;
}

// DeviceSettingRecord.videoLength
inline Entries LengthEntries(int model) {
    if (model < 32)
        return {L"IDS_OFF",           L"IDS_FILE_SIZE_1_M",  L"IDS_FILE_SIZE_2_M",
                L"IDS_FILE_SIZE_5_M", L"IDS_FILE_SIZE_10_M", L"IDS_FILE_SIZE_15_M"};
    if (model == kModelRk40)
        return {L"IDS_FILE_SIZE_1_M", L"IDS_FILE_SIZE_3_M", L"IDS_FILE_SIZE_5_M",
                L"IDS_FILE_SIZE_10_M"};
    if (model == kModelRk50)
        return {L"IDS_FILE_SIZE_1_M", L"IDS_FILE_SIZE_2_M", L"IDS_FILE_SIZE_3_M",
                L"IDS_FILE_SIZE_5_M", L"IDS_FILE_SIZE_10_M"};
    return {L"IDS_FILE_SIZE_1_M", L"IDS_FILE_SIZE_3_M", L"IDS_FILE_SIZE_5_M", L"IDS_FILE_SIZE_10_M",
            L"IDS_FILE_SIZE_15_M"};
}

// The lists of the RK20's full settings (Rk20SettingRecord). Lists without a record field are
// shown but not stored by the camera.
struct Rk20List {
    int controlId;
    int recordByte;     // the byte of Rk20SettingRecord holding the position, or kNoRecordByte
    const char* field;  // the record field's name, or nullptr
    Entries entries;
};
constexpr int kNoRecordByte = -1;

inline Entries OffOn() {
    return {L"IDS_OFF", L"IDS_ON"};
}
inline Entries OnOff() {
    return {L"IDS_ON", L"IDS_OFF"};
}

inline Entries OverSpeedEntries() {
    Entries entries = {L"IDS_OFF"};
    for (int speed = 30; speed <= 160; speed += 5)
        entries.push_back(std::to_wstring(speed));
    return entries;
}

// Positions 0 to 12 are the offsets 0 to +12 hours, 13 to 23 the offsets -11 to -1.
inline Entries GmtEntries() {
    Entries entries;
    for (int hours = 0; hours <= 12; ++hours)
        entries.push_back(L"+" + std::to_wstring(hours));
    for (int hours = -11; hours <= -1; ++hours)
        entries.push_back(std::to_wstring(hours));
    return entries;
}

inline const std::vector<Rk20List>& Rk20Lists() {
    constexpr int kNo = kNoRecordByte;
    using namespace ids::rk20;
    static const std::vector<Rk20List> lists = {
        {kResolution, 0, "resolution", {L"1920*1080/30F", L"1280*720/30F", L"848*480/30F"}},
        {kPhotoSize, kNo, nullptr, {L"2M", L"5M", L"8M", L"12M", L"16M"}},
        {kRecordOverwrite, 1, "recordOverwrite", OnOff()},
        {kRecordFileSize,
         2,
         "recordFileSize",
         {L"IDS_FILE_SIZE_3_M", L"IDS_FILE_SIZE_5_M", L"IDS_FILE_SIZE_10_M", L"IDS_FILE_SIZE_15_M",
          L"IDS_FILE_SIZE_30_M"}},
        {kIrCut, kNo, nullptr, {L"IDS_MANUAL", L"IDS_AUTOMATIC", L"IDS_DISABLE"}},
        {kFlicker, kNo, nullptr, {L"IDS_AUTO", L"50Hz", L"60Hz"}},
        {kMotionDetection, 3, "motionDetection", OffOn()},
        {kGSensor, 4, "gsensor", {L"IDS_OFF", L"IDS_LOW", L"IDS_MEDIUM", L"IDS_HIGH"}},
        {kOverSpeed, 5, "overSpeedRecording", OverSpeedEntries()},
        {kPreRecord, 6, "preRecord", OffOn()},
        {kPostRecord, kNo, nullptr, OffOn()},
        {kCarMode, 7, "carMode", OffOn()},
        {kVideoRotation, kNo, nullptr, {L"IDS_AUTO", L"IDS_DEGREE_0", L"IDS_DEGREE_180"}},
        {kAutoLcdOff, kNo, nullptr, {L"IDS_OFF", L"IDS_30_SEC", L"IDS_60_SEC", L"IDS_3_MINUTES"}},
        {kAutoPowerOff,
         8,
         "autoPowerOff",
         {L"IDS_OFF", L"IDS_3_MINUTES", L"IDS_5_MINUTES", L"IDS_8_MINUTES", L"IDS_10_MINUTES",
          L"IDS_12_MINUTES", L"IDS_AUTO_POWER_1_H", L"IDS_AUTO_POWER_3_H", L"IDS_AUTO_POWER_8_H"}},
        {kMicMute, kNo, nullptr, {L"IDS_DISABLE", L"IDS_15_SEC", L"IDS_30_SEC", L"IDS_60_SEC"}},
        {kDateFormat,
         9,
         "dateFormat",
         {L"IDS_DATE_FORMAT_2", L"IDS_DATE_FORMAT_0", L"IDS_DATE_FORMAT_1"}},
        {kGpsAutoUpdateTime, 10, "gpsAutoUpdateTime", OffOn()},
        {kGmtSetup, 11, "gmtSetup", GmtEntries()},
        {kDstSetup, 12, "dstSetup", OffOn()},
        {kLanguage, 13, "language", {L"IDS_ENGLISH"}},
        {kVolume, 14, "volume", {L"IDS_OFF", L"IDS_LOW", L"IDS_MEDIUM", L"IDS_HIGH"}},
        {kIndicator, 15, "indicator", {L"IDS_ON", L"IDS_OFF", L"IDS_STEALTH"}},
        {kRfRecord, kNo, nullptr, OffOn()},
        {kAutoMsc, kNo, nullptr, OffOn()},
        {kVideoOn, 16, "videoOn", OnOff()},
    };
    return lists;
}

// The RK40 view of ConfigInfoRecord.
inline Entries Rk40VolumeEntries() {
    return {L"IDS_VOLUME_OFF", L"IDS_VOLUME_LOW", L"IDS_VOLUME_NORMAL", L"IDS_VOLUME_HIGH"};
}
inline Entries Rk40IrEntries() {
    return {L"IDS_IRMODE_AUTO", L"IDS_IRMODE_MANUAL"};
}
inline Entries Rk40LoopEntries() {
    return OffOn();
}

// The volume list's position for the camera's volume byte, and the byte for a position (-1: no
// selection).
inline int Rk40VolumePosition(uint8_t volume) {
    if (volume == 0)
        return 0;
    if (volume <= 4)
        return 1;
    if (volume == 6)
        return 2;
    return 3;
}
inline uint8_t Rk40VolumeByte(int position) {
    switch (position) {
        case 0:
            return 0;
        case 1:
            return 2;
        case 3:
            return 10;
        default:
            return 6;  // "Normal", and also no selection
    }
}

// The camera may hold values the two-entry lists do not have; those read as the first entry.
inline int Rk40TwoStatePosition(uint8_t value) {
    return value < 2 ? value : 0;
}

// WifiRecord.mode and WifiRecord.encryptionType
inline Entries WifiModeEntries() {
    return {L"IDS_STATION", L"AP"};
}
inline Entries WifiEncryptionEntries() {
    return {L"WAP", L"WAP2"};
}

// GprsRecord.sosAction
inline Entries SosEntries() {
    return {L"IDS_GPRS_SOS_TYPE1", L"IDS_GPRS_SOS_TYPE2"};
}

}  // namespace settings
