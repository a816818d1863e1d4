// The control ids of the program's dialog templates, one enum per template. The templates, the
// pages and dialogs, the demo and the tests all name controls through these.
#pragma once

#include "rk20_control_ids.h"

namespace ids {

// About box (template 100).
namespace about {
enum Id : int { kOk = 1 };
}

// Main window (template 102).
namespace mainwindow {
enum Id : int {
    kPasswordBox = 1000,
    kLoginButton = 1001,
    kTabs = 1002,
    kCancelButton = 1003,
    kSerial = 1004,
    kSerialLabel = 1005,
    kPasswordLabel = 1006,
    kModifyButton = 1007,
    kLanguageLabel = 1042,
    kLanguageList = 1043,
    kSkinLabel = 1046,
    kSkinList = 1047,
    kBanner = 1060,
    kUnusedStatic = 1079,
    kCameraFrame = 1137,
    kStatusLine = 1161,
};
}

// User information page (template 106).
namespace devinfo {
enum Id : int {
    kDeviceId = 1009,
    kDepartmentNumber = 1010,
    kDepartmentName = 1011,
    kUserId = 1012,
    kUserName = 1013,
    kApply = 1014,
    kRefresh = 1015,
    kDeviceIdLabel = 1037,
    kDepartmentNumberLabel = 1038,
    kDepartmentNameLabel = 1039,
    kUserIdLabel = 1040,
    kUserNameLabel = 1041,
};
}

// Parameter page (template 107).
namespace param {
enum Id : int {
    kApply = 1014,
    kRefresh = 1015,
    kVideoList = 1016,
    kPhotoList = 1017,
    kLengthList = 1018,
    kCapacity = 1019,
    kFreeSpace = 1020,
    kDefaultSetting = 1021,
    kVersion = 1022,
    kMore = 1023,
    kVideoLabel = 1026,
    kPhotoLabel = 1027,
    kLengthLabel = 1028,
    kCapacityLabel = 1029,
    kFreeSpaceLabel = 1030,
    kFreePasswordLabel = 1031,
    kVersionLabel = 1032,
    kFreePasswordFrame = 1137,
    kFreePasswordYes = 1144,
    kFreePasswordNo = 1145,
};
}

// Device control page (template 108).
namespace devctrl {
enum Id : int {
    kStartUDisk = 1007,
    kFormat = 1008,
    kClockFromPc = 1009,
    kDeleteLog = 1010,
    kFormattingNote = 1025,
    kClockFrame = 1082,
    kUDiskFrame = 1083,
    kFormatFrame = 1084,
    kDeleteLogFrame = 1085,
    kSetTime = 1154,
    kTimePicker = 1162,
    kDatePicker = 1163,
    kDateLabel = 1164,
    kTimeLabel = 1165,
};
}

// Password dialog (template 109).
namespace pwd {
enum Id : int {
    kCurrent = 1000,
    kApply = 1014,
    kCancel = 1015,
    kNew = 1022,
    kNewAgain = 1023,
    kModify = 1024,
    kBrowse = 1025,
    kBrowseAgain = 1026,
    kModifyFrame = 1030,
    kCurrentLabel = 1031,
    kNewLabel = 1032,
    kNewAgainLabel = 1033,
    kBrowseFrame = 1034,
    kBrowseLabel = 1035,
    kBrowseAgainLabel = 1036,
    kTypeSelector = 1078,
    kLengthNote = 1080,
    kBrowseLengthNote = 1081,
};
}

// GPRS page (template 110).
namespace gprs {
enum Id : int {
    kApply = 1014,
    kRefresh = 1015,
    kSosList = 1044,
    kSosLabel = 1045,
    kPhoneLabel = 1046,
    kApnLabel = 1047,
    kUserNameLabel = 1048,
    kPasswordLabel = 1049,
    kPhone = 1050,
    kApn = 1051,
    kUserName = 1052,
    kPassword = 1053,
    kServerIpLabel = 1054,
    kServerIp = 1150,
};
}

// WiFi page (template 136).
namespace wifi {
enum Id : int {
    kEncryptionList = 1018,
    kModeList = 1054,
    kApName = 1055,
    kApPassword = 1056,
    kApShow = 1057,
    kRefresh = 1058,
    kApply = 1059,
    kModeLabel = 1060,
    kEncryptionLabel = 1061,
    kApPasswordLabel = 1062,
    kStationName = 1063,
    kPort = 1064,
    kIp = 1065,
    kIpLabel = 1066,
    kPortLabel = 1067,
    kStationPassword = 1068,
    kStationPasswordLabel = 1070,
    kApFrame = 1146,
    kStationFrame = 1147,
    kApNameLabel = 1148,
    kStationNameLabel = 1149,
    kStationShow = 1151,
};
}

// Mobile link page (template 137). Save and Refresh carry the numbers of the OK and cancel
// commands.
namespace mobilelink {
enum Id : int {
    kSave = 1,
    kRefresh = 2,
    kApnLabel = 1047,
    kApn = 1051,
    kUser = 1059,
    kPassword = 1060,
    kDialNumber = 1061,
    kUploadInterval = 1062,
    kAlarmInterval = 1063,
    kPort = 1064,
    kPortLabel = 1067,
    kLinkId = 1068,
    kServerAddress = 1069,
    kAlarmIntervalLabel = 1070,
    kUploadIntervalLabel = 1071,
    kDialNumberLabel = 1072,
    kUserLabel = 1073,
    kServerAddressLabel = 1074,
    kLinkIdLabel = 1075,
    kPasswordLabel = 1076,
    kHiddenAddress = 1077,
};
}

// RK20 full settings (template 138): ids::rk20 in rk20_control_ids.h, which the settings lists
// share.

// CMS server page (template 139).
namespace cmsv6 {
enum Id : int {
    kSetting = 1014,
    kRefresh = 1015,
    kDeviceId = 1055,
    kServerPort = 1056,
    kListenPort = 1057,
    kPassword = 1060,
    kDeviceIdLabel = 1075,
    kServerIp = 1138,
    kServerIpLabel = 1139,
    kServerPortLabel = 1140,
    kListenPortLabel = 1141,
    kShowPassword = 1151,
    kSsid = 1166,
    kSsidLabel = 1167,
    kPasswordLabel = 1168,
};
}

// RK40 extra settings (template 146).
namespace rk40 {
enum Id : int {
    kSetting = 1001,
    kCancel = 1003,
    kVolumeList = 1099,
    kIrList = 1100,
    kLoopList = 1104,
    kVolumeLabel = 1128,
    kIrLabel = 1169,
    kLoopLabel = 1170,
};
}

// RK50 extra settings (template 147).
namespace rk50 {
enum Id : int {
    kSetting = 1001,
    kCancel = 1003,
    kPlateLabel = 1174,
    kPlate = 1175,
};
}

}  // namespace ids
