// The program's dialog templates. Rectangles are dialog units; the pages (child templates) fit the
// tab area of the main window. Controls stand in the order of the dialog's children, which is the
// order in which the language table labels them. Labels are the English texts; the language table
// sets them again when a dialog initialises (the About box keeps its own).
#include <array>
#include <string_view>

#include "password_rules.h"
#include "record_fields.h"
#include "res/control_ids.h"
#include "ui/dialog_template.h"

namespace ui {
namespace {

using namespace ids;

// Standard heights: a line of static text, an edit or a closed drop-down list, a button.
constexpr int kTextCy = 8;
constexpr int kFieldCy = 12;
constexpr int kButtonCy = 14;
constexpr int kCheckCy = 10;
constexpr int kListDrop = 100;

ControlTemplate Static(int id, const wchar_t* label, int x, int y, int cx, uint32_t flags = kNone) {
    return {id, ControlKind::kStatic, label, x, y, cx, kTextCy, flags};
}

ControlTemplate Group(int id, const wchar_t* label, int x, int y, int cx, int cy,
                      uint32_t flags = kNone) {
    return {id, ControlKind::kGroupBox, label, x, y, cx, cy, flags};
}

ControlTemplate Button(int id, const wchar_t* label, int x, int y, int cx = 50,
                       uint32_t flags = kNone) {
    return {id, ControlKind::kButton, label, x, y, cx, kButtonCy, flags};
}

ControlTemplate Edit(int id, int x, int y, int cx, uint32_t flags = kNone, int limit = 0) {
    return {id, ControlKind::kEdit, L"", x, y, cx, kFieldCy, flags, limit};
}

// The password edits take the passwords' lengths.
constexpr int kLoginChars = int(passwords::kLoginLength);
constexpr int kBrowseChars = int(passwords::kBrowseLength);

// The limit of an edit that holds a whole record field.
consteval int UserLimit(std::string_view member) {
    return fields::TypingLimit(fields::kUser[member]);
}
consteval int LinkLimit(std::string_view member) {
    return fields::TypingLimit(fields::kMobileLink[member]);
}
consteval int CmsLimit(std::string_view member) {
    return fields::TypingLimit(fields::kCms[member]);
}

ControlTemplate DropList(int id, int x, int y, int cx, uint32_t flags = kNone,
                         int dropHeight = kListDrop) {
    ControlTemplate c{id, ControlKind::kDropList, L"", x, y, cx, kFieldCy, flags};
    c.dropHeight = dropHeight;
    return c;
}

ControlTemplate Check(int id, const wchar_t* label, int x, int y, int cx, uint32_t flags = kNone) {
    return {id, ControlKind::kCheckBox, label, x, y, cx, kCheckCy, flags};
}

ControlTemplate Radio(int id, const wchar_t* label, int x, int y, int cx, uint32_t flags = kNone) {
    return {id, ControlKind::kRadio, label, x, y, cx, kCheckCy, flags};
}

ControlTemplate IpAddress(int id, int x, int y, int cx = 100, uint32_t flags = kNone) {
    return {id, ControlKind::kIpAddress, L"", x, y, cx, kFieldCy, flags};
}

// About box (template 100): shown from the main window; takes no texts from the language table.
DialogTemplate MakeAbout() {
    ControlTemplate icon{-1, ControlKind::kImage, L"", 14, 14, 21, 20};
    icon.imageId = kProgramIcon;
    return {100,
            L"\u5173\u4E8E Orvane",  // "About Orvane"
            170,
            62,
            false,
            {
                icon, Static(-1, L"Orvane Version 1.0", 42, 20, 114),
                Button(about::kOk, L"\u786E\u5B9A", 113, 41, 50, kDefaultButton),  // "OK"
            }};
}

// Main window (template 102). The tab control holds the pages; a page rectangle inside it
// is at least 340 by 206 dialog units.
DialogTemplate MakeMainWindow() {
    ControlTemplate banner{mainwindow::kBanner, ControlKind::kImage, L"", 0, 0, 362, 24};
    banner.imageId = 136;
    return {102,
            L"Orvane V2.0.1.5",
            362,
            300,
            false,
            {
                banner,
                Group(mainwindow::kCameraFrame, L"", 7, 4, 348, 44),
                Static(mainwindow::kSerialLabel, L"Device ID:", 16, 16, 48),
                Static(mainwindow::kSerial, L"No device", 66, 16, 130),
                Static(mainwindow::kUnusedStatic, L"", 200, 16, 60),
                Static(mainwindow::kPasswordLabel, L"Password:", 16, 31, 48),
                Edit(mainwindow::kPasswordBox, 66, 29, 80, kPassword | kDigitsOnly | kDisabled,
                     kLoginChars),
                Button(mainwindow::kLoginButton, L"OK", 154, 28, 50, kDefaultButton | kDisabled),
                Button(mainwindow::kModifyButton, L"Modify", 210, 28, 50, kDisabled),
                {mainwindow::kTabs, ControlKind::kTab, L"", 7, 52, 348, 222},
                Static(mainwindow::kLanguageLabel, L"Language:", 266, 16, 36),
                DropList(mainwindow::kLanguageList, 304, 14, 46, kNone, 60),
                Static(mainwindow::kSkinLabel, L"Skin:", 266, 31, 36),
                DropList(mainwindow::kSkinList, 304, 29, 46, kNone, 80),
                Static(mainwindow::kStatusLine, L"", 7, 282, 200),
                Button(mainwindow::kCancelButton, L"Cancel", 305, 280, 50),
            }};
}

// User information page (template 106).
DialogTemplate MakeDeviceInfo() {
    constexpr uint32_t kOff = kDisabled;
    return {106,
            L"User info",
            256,
            181,
            true,
            {
                Static(devinfo::kDepartmentNameLabel, L"Depart name:", 12, 18, 60),
                Edit(devinfo::kDepartmentName, 76, 16, 160, kOff, UserLimit("departmentName")),
                Static(devinfo::kDepartmentNumberLabel, L"Depart No:", 12, 38, 60),
                Edit(devinfo::kDepartmentNumber, 76, 36, 160, kOff, UserLimit("departmentNumber")),
                Static(devinfo::kUserIdLabel, L"User ID:", 12, 58, 60),
                Edit(devinfo::kUserId, 76, 56, 160, kOff, 6),
                Static(devinfo::kUserNameLabel, L"User name:", 12, 78, 60),
                Edit(devinfo::kUserName, 76, 76, 160, kOff, UserLimit("userName")),
                Static(devinfo::kDeviceIdLabel, L"Device ID:", 12, 98, 60, kHidden),
                Edit(devinfo::kDeviceId, 76, 96, 160, kOff | kHidden, 7),
                Button(devinfo::kRefresh, L"Refresh", 130, 156, 50, kOff),
                Button(devinfo::kApply, L"Apply", 186, 156, 50, kOff),
            }};
}

// Parameter page (template 107). The free-password row (label, frame and two radios) comes last;
// the page hides it when it is created.
DialogTemplate MakeParam() {
    constexpr uint32_t kOff = kDisabled;
    return {107,
            L"Parameters",
            254,
            204,
            true,
            {
                Static(param::kVideoLabel, L"Video resolution:", 12, 18, 70),
                DropList(param::kVideoList, 86, 16, 150, kOff),
                Static(param::kPhotoLabel, L"Photo resolution:", 12, 38, 70),
                DropList(param::kPhotoList, 86, 36, 150, kOff),
                Static(param::kLengthLabel, L"Video length:", 12, 58, 70),
                DropList(param::kLengthList, 86, 56, 150, kOff),
                Static(param::kFreeSpaceLabel, L"Free size:", 12, 82, 70),
                Static(param::kFreeSpace, L"", 86, 82, 150),
                Static(param::kCapacityLabel, L"SD card:", 12, 98, 70),
                Static(param::kCapacity, L"0 MB", 86, 98, 150),
                Static(param::kVersionLabel, L"Version:", 12, 114, 70),
                Static(param::kVersion, L"", 86, 114, 150),
                Button(param::kMore, L"More", 12, 180, 56, kOff),
                Button(param::kDefaultSetting, L"Default Setting", 72, 180, 62, kOff),
                Button(param::kRefresh, L"Refresh", 138, 180, 50, kOff),
                Button(param::kApply, L"Apply", 192, 180, 50, kOff),
                Static(param::kFreePasswordLabel, L"Free password authentication:", 12, 142, 110),
                Group(param::kFreePasswordFrame, L"", 124, 132, 112, 24),
                Radio(param::kFreePasswordYes, L"Yes", 132, 142, 40, kGroupStart),
                Radio(param::kFreePasswordNo, L"No", 180, 142, 40),
            }};
}

// Device control page (template 108).
DialogTemplate MakeDevCtrl() {
    constexpr uint32_t kOff = kDisabled;
    ControlTemplate date{devctrl::kDatePicker, ControlKind::kDatePicker, L"", 46, 45, 80, kFieldCy,
                         kOff | kUpDown};
    ControlTemplate time{
        devctrl::kTimePicker, ControlKind::kTimePicker, L"", 162, 45, 70, kFieldCy, kOff};
    return {
        108,
        L"Device control",
        336,
        192,
        true,
        {
            Group(devctrl::kClockFrame, L"", 10, 6, 316, 66),
            Button(devctrl::kClockFromPc, L"Manually set time and date", 20, 20, 130, kOff),
            Static(devctrl::kDateLabel, L"Date:", 20, 47, 24),
            date,
            Static(devctrl::kTimeLabel, L"Time:", 136, 47, 24),
            time,
            Button(devctrl::kSetTime, L"Setting time", 246, 44, 70),
            Group(devctrl::kUDiskFrame, L"", 10, 78, 316, 32),
            Button(devctrl::kStartUDisk, L"Start UDisk", 20, 89, 80, kOff),
            Group(devctrl::kFormatFrame, L"", 10, 114, 316, 32),
            Button(devctrl::kFormat, L"Format", 20, 125, 80, kOff),
            Static(devctrl::kFormattingNote, L"Formatting...", 110, 128, 206, kHidden | kCentered),
            Group(devctrl::kDeleteLogFrame, L"", 10, 150, 316, 32, kHidden),
            Button(devctrl::kDeleteLog, L"Delete log", 20, 161, 80, kOff | kHidden),
        }};
}

// Password dialog (template 109): every edit takes six digits, shown as bullets.
DialogTemplate MakePwd() {
    constexpr uint32_t kPin = kPassword | kDigitsOnly;
    return {109,
            L"Change password",
            260,
            200,
            false,
            {
                Group(pwd::kModifyFrame, L"Modify password", 7, 7, 246, 88),
                Static(pwd::kCurrentLabel, L"Password:", 16, 22, 70),
                Edit(pwd::kCurrent, 90, 20, 90, kPin, kLoginChars),
                Static(pwd::kNewLabel, L"New password:", 16, 40, 70),
                Edit(pwd::kNew, 90, 38, 90, kPin, kLoginChars),
                Static(pwd::kNewAgainLabel, L"Retype password:", 16, 58, 70),
                Edit(pwd::kNewAgain, 90, 56, 90, kPin, kLoginChars),
                Button(pwd::kModify, L"Modify", 192, 55, 50),
                Static(pwd::kLengthNote, L"* Password length is 6 !", 16, 78, 226),
                Group(pwd::kBrowseFrame, L"Set browse password", 7, 101, 246, 70),
                Static(pwd::kBrowseLabel, L"Password:", 16, 116, 70),
                Edit(pwd::kBrowse, 90, 114, 90, kPin, kBrowseChars),
                Static(pwd::kBrowseAgainLabel, L"Retype password:", 16, 134, 70),
                Edit(pwd::kBrowseAgain, 90, 132, 90, kPin, kBrowseChars),
                DropList(pwd::kTypeSelector, 192, 114, 50, kNone, 40),
                Button(pwd::kApply, L"Apply", 192, 131, 50),
                Static(pwd::kBrowseLengthNote, L"* Browse password length is 6 !", 16, 154, 226),
                Button(pwd::kCancel, L"Cancel", 203, 179, 50),
            }};
}

// GPRS page (template 110): everything starts disabled until a login enables it.
DialogTemplate MakeGprs() {
    constexpr uint32_t kOff = kDisabled;
    return {110,
            L"",
            300,
            190,
            true,
            {
                Static(gprs::kSosLabel, L"SOS alarm:", 12, 18, 70),
                DropList(gprs::kSosList, 86, 16, 150, kOff, 40),
                Static(gprs::kPhoneLabel, L"Emergent phone:", 12, 38, 70),
                Edit(gprs::kPhone, 86, 36, 150, kOff, 15),
                Static(gprs::kApnLabel, L"APN:", 12, 58, 70),
                Edit(gprs::kApn, 86, 56, 150, kOff, 31),
                Static(gprs::kUserNameLabel, L"User name:", 12, 78, 70),
                Edit(gprs::kUserName, 86, 76, 150, kOff, 15),
                Static(gprs::kPasswordLabel, L"Password:", 12, 98, 70),
                Edit(gprs::kPassword, 86, 96, 150, kOff, 15),
                Static(gprs::kServerIpLabel, L"IP:", 12, 118, 70),
                IpAddress(gprs::kServerIp, 86, 116, 100, kOff),
                Button(gprs::kRefresh, L"Refresh", 180, 166, 50, kOff),
                Button(gprs::kApply, L"Apply", 236, 166, 50, kOff),
            }};
}

// WiFi page (template 136): the access-point part is shown; the station part is kept hidden.
DialogTemplate MakeWifi() {
    constexpr uint32_t kGone = kHidden | kDisabled;
    return {136,
            L"",
            300,
            200,
            true,
            {
                Group(wifi::kApFrame, L"AP", 7, 6, 286, 76),
                Static(wifi::kModeLabel, L"Mode", 16, 22, 70),
                DropList(wifi::kModeList, 90, 20, 120, kNone, 40),
                Static(wifi::kApNameLabel, L"AP SSID:", 16, 42, 70),
                Edit(wifi::kApName, 90, 40, 120, kNone, 15),
                Static(wifi::kApPasswordLabel, L"AP Password:", 16, 62, 70),
                Edit(wifi::kApPassword, 90, 60, 120, kPassword, 15),
                Check(wifi::kApShow, L"Show password", 216, 61, 70),
                Button(wifi::kRefresh, L"Refresh", 180, 178, 50),
                Button(wifi::kApply, L"Apply", 236, 178, 50),
                Static(wifi::kEncryptionLabel, L"Encrypt type:", 156, 104, 44, kHidden),
                DropList(wifi::kEncryptionList, 202, 102, 84, kGone, 40),
                Static(wifi::kIpLabel, L"IP", 156, 122, 44, kHidden),
                IpAddress(wifi::kIp, 202, 120, 84, kGone),
                Static(wifi::kPortLabel, L"Port", 156, 140, 44, kHidden),
                Edit(wifi::kPort, 202, 138, 40, kGone, 5),
                Group(wifi::kStationFrame, L"Station", 7, 88, 286, 80, kHidden),
                Static(wifi::kStationNameLabel, L"STA SSID:", 16, 104, 50, kHidden),
                Edit(wifi::kStationName, 68, 102, 80, kGone),
                Static(wifi::kStationPasswordLabel, L"STA Password:", 16, 122, 50, kHidden),
                Edit(wifi::kStationPassword, 68, 120, 80, kGone | kPassword),
                Check(wifi::kStationShow, L"Show password", 68, 138, 80, kGone),
            }};
}

// Mobile link page (template 137): no tab leads to it, but it exists like the others.
DialogTemplate MakeMobileLink() {
    return {137,
            L"",
            300,
            204,
            true,
            {
                Static(mobilelink::kLinkIdLabel, L"Mobile Link Id", 12, 12, 70),
                Edit(mobilelink::kLinkId, 86, 10, 150, kNone, LinkLimit("linkId")),
                Static(mobilelink::kServerAddressLabel, L"Mobile Link IP", 12, 30, 70),
                Edit(mobilelink::kServerAddress, 86, 28, 150, kNone, LinkLimit("serverAddress")),
                Static(mobilelink::kPortLabel, L"Mobile Link Port", 12, 48, 70),
                Edit(mobilelink::kPort, 86, 46, 50, kDigitsOnly, 5),
                Static(mobilelink::kApnLabel, L"APN", 12, 66, 70),
                Edit(mobilelink::kApn, 86, 64, 150, kNone, LinkLimit("apn")),
                Static(mobilelink::kUserLabel, L"User", 12, 84, 70),
                Edit(mobilelink::kUser, 86, 82, 150, kNone, LinkLimit("user")),
                Static(mobilelink::kPasswordLabel, L"Password", 12, 102, 70),
                Edit(mobilelink::kPassword, 86, 100, 150, kNone, LinkLimit("password")),
                Static(mobilelink::kDialNumberLabel, L"Dial Number", 12, 120, 70),
                Edit(mobilelink::kDialNumber, 86, 118, 150, kNone, LinkLimit("dialNumber")),
                Static(mobilelink::kUploadIntervalLabel, L"Upload Interval", 12, 138, 70),
                Edit(mobilelink::kUploadInterval, 86, 136, 50, kDigitsOnly, 5),
                Static(mobilelink::kAlarmIntervalLabel, L"Alarm interval", 12, 156, 70),
                Edit(mobilelink::kAlarmInterval, 86, 154, 50, kDigitsOnly, 5),
                Button(mobilelink::kSave, L"Save", 180, 180, 50, kDefaultButton),
                Button(mobilelink::kRefresh, L"Refresh", 236, 180, 50),
                IpAddress(mobilelink::kHiddenAddress, 150, 154, 100, kHidden),
            }};
}

// Full settings dialog for RK20 cameras (template 138): three framed columns of labelled lists,
// the sizes and identification texts below them, the buttons along the bottom.
struct Rk20List {
    int id;  // the list; its label is id + 30
    const wchar_t* label;
    uint32_t flags;
    int dropHeight;
};

constexpr Rk20List kRk20Lists[] = {
    {rk20::kResolution, L"Resolution:", kNone, kListDrop},
    {rk20::kPhotoSize, L"Photo size:", kDisabled, kListDrop},
    {rk20::kRecordOverwrite, L"Recode overwrite:", kNone, kListDrop},
    {rk20::kRecordFileSize, L"Recode file size:", kNone, kListDrop},
    {rk20::kIrCut, L"Ir cut:", kDisabled, kListDrop},
    {rk20::kFlicker, L"Flicker:", kDisabled, kListDrop},
    {rk20::kMotionDetection, L"Motion detection:", kDisabled, kListDrop},
    {rk20::kGSensor, L"G_Sensor set:", kNone, kListDrop},
    {rk20::kOverSpeed, L"Over-speed recording:", kDisabled, 150},
    {rk20::kPreRecord, L"Pre-Record:", kNone, kListDrop},
    {rk20::kPostRecord, L"Post record:", kDisabled, kListDrop},
    {rk20::kCarMode, L"Car mode:", kNone, kListDrop},
    {rk20::kVideoRotation, L"Video rotation:", kDisabled, kListDrop},
    {rk20::kAutoLcdOff, L"Auto LCD off:", kDisabled, kListDrop},
    {rk20::kAutoPowerOff, L"Auto power off", kNone, kListDrop},
    {rk20::kMicMute, L"Mic mute:", kDisabled, kListDrop},
    {rk20::kDateFormat, L"Date format:", kNone, kListDrop},
    {rk20::kGpsAutoUpdateTime, L"GPS auto update time:", kDisabled, kListDrop},
    {rk20::kGmtSetup, L"GMT setup:", kDisabled, 150},
    {rk20::kDstSetup, L"DST setup:", kHidden, kListDrop},
    {rk20::kLanguage, L"Language:", kNone, kListDrop},
    {rk20::kVolume, L"Volume:", kNone, kListDrop},
    {rk20::kIndicator, L"Indicator:", kNone, kListDrop},
    {rk20::kRfRecord, L"RF recode:", kDisabled, kListDrop},
    {rk20::kAutoMsc, L"Auto msc:", kDisabled, kListDrop},
    {rk20::kVideoOn, L"Video ON:", kNone, kListDrop},
};

DialogTemplate MakeRk20() {
    DialogTemplate t{138, L"Setting", 550, 226, false, {}};
    constexpr int kColumnX[] = {7, 187, 367};
    constexpr int kRows = 9;
    for (int x : kColumnX) {
        t.controls.push_back(Group(-1, L"", x, 4, 176, 172));
    }
    int index = 0;
    for (const Rk20List& list : kRk20Lists) {
        int x = kColumnX[index / kRows];
        int y = 14 + 18 * (index % kRows);
        t.controls.push_back(
            Static(list.id + rk20::kLabelOffset, list.label, x + 7, y + 2, 78, list.flags));
        t.controls.push_back(DropList(list.id, x + 87, y, 82, list.flags, list.dropHeight));
        ++index;
    }
    const ControlTemplate rest[] = {
        Static(rk20::kFreeSizeLabel, L"Free size:", 14, 182, 60),
        Static(rk20::kFreeSize, L"", 76, 182, 100),
        Static(rk20::kTotalSizeLabel, L"Total size:", 14, 194, 60),
        Static(rk20::kTotalSize, L"", 76, 194, 100),
        Static(rk20::kOfficerIdLabel, L"Office Id:", 194, 182, 70),
        Static(rk20::kOfficerId, L"", 266, 182, 94),
        Static(rk20::kSerialLabel, L"Serial number:", 374, 182, 70),
        Static(rk20::kSerial, L"", 446, 182, 94),
        Static(rk20::kFirmwareLabel, L"Firmware version:", 374, 194, 70),
        Static(rk20::kFirmware, L"", 446, 194, 94),
        Button(rk20::kDefaultSetting, L"Default setting", 14, 207, 70),
        Button(rk20::kRefresh, L"Refresh", 90, 207, 50),
        Button(rk20::kOk, L"OK", 433, 207, 50, kDefaultButton),
        Button(rk20::kCancel, L"Cancel", 490, 207, 50),
    };
    t.controls.insert(t.controls.end(), std::begin(rest), std::end(rest));
    return t;
}

// CMS server page (template 139): the two port fields are kept hidden at the right.
DialogTemplate MakeCmsv6() {
    constexpr uint32_t kGone = kHidden | kDisabled;
    return {139,
            L"CMS Setting",
            300,
            190,
            true,
            {
                Static(cmsv6::kDeviceIdLabel, L"ID:", 12, 18, 70),
                Edit(cmsv6::kDeviceId, 86, 16, 120, kDisabled, CmsLimit("deviceId")),
                Static(cmsv6::kServerIpLabel, L"Service IP:", 12, 38, 70),
                IpAddress(cmsv6::kServerIp, 86, 36, 120),
                Static(cmsv6::kServerPortLabel, L"Service port:", 214, 18, 44, kHidden),
                Edit(cmsv6::kServerPort, 258, 16, 34, kGone | kDigitsOnly, 5),
                Static(cmsv6::kListenPortLabel, L"Listen port:", 214, 38, 44, kHidden),
                Edit(cmsv6::kListenPort, 258, 36, 34, kGone | kDigitsOnly, 5),
                Static(cmsv6::kSsidLabel, L"SSID:", 12, 58, 70),
                Edit(cmsv6::kSsid, 86, 56, 120),
                Static(cmsv6::kPasswordLabel, L"Password:", 12, 78, 70),
                Edit(cmsv6::kPassword, 86, 76, 120, kPassword),
                Check(cmsv6::kShowPassword, L"Show password", 86, 94, 80),
                Button(cmsv6::kRefresh, L"Refresh", 180, 166, 50, kDisabled),
                Button(cmsv6::kSetting, L"Setting", 236, 166, 50, kDisabled),
            }};
}

// Extra settings for RK40 cameras (template 146).
DialogTemplate MakeRk40() {
    return {146,
            L"More",
            202,
            98,
            false,
            {
                Static(rk40::kVolumeLabel, L"Volume", 9, 12, 100),
                DropList(rk40::kVolumeList, 112, 9, 83, kNone, 102),
                Static(rk40::kIrLabel, L"IR mode", 10, 33, 99),
                DropList(rk40::kIrList, 112, 30, 83, kNone, 102),
                Static(rk40::kLoopLabel, L"Recycle Recording", 10, 53, 99),
                DropList(rk40::kLoopList, 112, 51, 83, kNone, 102),
                Button(rk40::kSetting, L"Setting", 77, 76, 57, kDefaultButton),
                Button(rk40::kCancel, L"Cancel", 138, 76, 57),
            }};
}

// Extra settings for RK50 cameras (template 147).
DialogTemplate MakeRk50() {
    ControlTemplate plate = Edit(rk50::kPlate, 76, 14, 82);
    plate.cy = 14;
    return {147,
            L"More",
            184,
            87,
            false,
            {
                Static(rk50::kPlateLabel, L"Plate", 9, 16, 62),
                plate,
                Button(rk50::kSetting, L"Setting", 56, 63, 57, kDefaultButton),
                Button(rk50::kCancel, L"Cancel", 117, 63, 57),
            }};
}

const std::array<DialogTemplate, 13>& AllTemplates() {
    static const std::array<DialogTemplate, 13> templates = {
        MakeAbout(), MakeMainWindow(), MakeDeviceInfo(), MakeParam(),      MakeDevCtrl(),
        MakePwd(),   MakeGprs(),       MakeWifi(),       MakeMobileLink(), MakeRk20(),
        MakeCmsv6(), MakeRk40(),       MakeRk50(),
    };
    return templates;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate& t : AllTemplates()) {
        if (t.id == id) {
            return &t;
        }
    }
    return nullptr;
}

}  // namespace ui
