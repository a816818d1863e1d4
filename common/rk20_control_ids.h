// The control ids of the RK20 full settings dialog (template 138). Here rather than with the other
// templates' ids because the RK20 settings lists (settings_lists.h) name their lists by them.
#pragma once

namespace ids {

// RK20 full settings (template 138). Each list's label has the list's id plus kLabelOffset.
namespace rk20 {
enum Id : int {
    kOk = 1,
    kCancel = 2,
    kFreeSizeLabel = 1020,
    kRefresh = 1059,
    kResolution = 1078,
    kPhotoSize = 1079,
    kRecordOverwrite = 1080,
    kRecordFileSize = 1081,
    kIrCut = 1082,
    kFlicker = 1083,
    kMotionDetection = 1084,
    kGSensor = 1085,
    kOverSpeed = 1086,
    kPreRecord = 1087,
    kPostRecord = 1088,
    kCarMode = 1089,
    kVideoRotation = 1090,
    kAutoLcdOff = 1091,
    kAutoPowerOff = 1092,
    kMicMute = 1093,
    kDateFormat = 1094,
    kGpsAutoUpdateTime = 1095,
    kGmtSetup = 1096,
    kDstSetup = 1097,
    kLanguage = 1098,
    kVolume = 1099,
    kIndicator = 1100,
    kRfRecord = 1101,
    kAutoMsc = 1102,
    kVideoOn = 1103,
    kSerialLabel = 1134,
    kFirmwareLabel = 1135,
    kDefaultSetting = 1136,
    kSerial = 1137,
    kFirmware = 1138,
    kOfficerIdLabel = 1140,
    kFreeSize = 1141,
    kOfficerId = 1142,
    kTotalSizeLabel = 1143,
    kTotalSize = 1144,
};
constexpr int kLabelOffset = 30;
}  // namespace rk20

}  // namespace ids
