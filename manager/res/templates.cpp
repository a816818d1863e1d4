// The program's dialog templates. Rectangles are dialog units; the pages (child templates) fit the
// tab area of the main window. Controls stand in the order of the dialog's children, which is the
// order in which the language table labels them. Labels are the English texts; the language table
// sets them again when a dialog initialises (the About box keeps its own).
#include <array>

#include "ui/dialog_template.h"

namespace ui {
namespace {

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
                Button(1, L"\u786E\u5B9A", 113, 41, 50, kDefaultButton),  // "OK"
            }};
}

// Main window (template 102). The tab control 1002 holds the pages; a page rectangle inside it
// is at least 340 by 206 dialog units.
DialogTemplate MakeMainWindow() {
    ControlTemplate banner{1060, ControlKind::kImage, L"", 0, 0, 362, 24};
    banner.imageId = 136;
    return {102,
            L"Orvane V2.0.1.5",
            362,
            300,
            false,
            {
                banner,
                Group(1137, L"", 7, 4, 348, 44),
                Static(1005, L"Device ID:", 16, 16, 48),
                Static(1004, L"No device", 66, 16, 130),
                Static(1079, L"", 200, 16, 60),
                Static(1006, L"Password:", 16, 31, 48),
                Edit(1000, 66, 29, 80, kPassword | kDigitsOnly | kDisabled, 6),
                Button(1001, L"OK", 154, 28, 50, kDefaultButton | kDisabled),
                Button(1007, L"Modify", 210, 28, 50, kDisabled),
                {1002, ControlKind::kTab, L"", 7, 52, 348, 222},
                Static(1042, L"Language:", 266, 16, 36),
                DropList(1043, 304, 14, 46, kNone, 60),
                Static(1046, L"Skin:", 266, 31, 36),
                DropList(1047, 304, 29, 46, kNone, 80),
                Static(1161, L"", 7, 282, 200),
                Button(1003, L"Cancel", 305, 280, 50),
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
                Static(1039, L"Depart name:", 12, 18, 60),
                Edit(1011, 76, 16, 160, kOff, 32),
                Static(1038, L"Depart No:", 12, 38, 60),
                Edit(1010, 76, 36, 160, kOff, 12),
                Static(1040, L"User ID:", 12, 58, 60),
                Edit(1012, 76, 56, 160, kOff, 6),
                Static(1041, L"User name:", 12, 78, 60),
                Edit(1013, 76, 76, 160, kOff, 32),
                Static(1037, L"Device ID:", 12, 98, 60, kHidden),
                Edit(1009, 76, 96, 160, kOff | kHidden, 7),
                Button(1015, L"Refresh", 130, 156, 50, kOff),
                Button(1014, L"Apply", 186, 156, 50, kOff),
            }};
}

// Parameter page (template 107). The free-password row (1031, 1137, 1144, 1145) comes last; the
// page hides it when it is created.
DialogTemplate MakeParam() {
    constexpr uint32_t kOff = kDisabled;
    return {107,
            L"Parameters",
            254,
            204,
            true,
            {
                Static(1026, L"Video resolution:", 12, 18, 70),
                DropList(1016, 86, 16, 150, kOff),
                Static(1027, L"Photo resolution:", 12, 38, 70),
                DropList(1017, 86, 36, 150, kOff),
                Static(1028, L"Video length:", 12, 58, 70),
                DropList(1018, 86, 56, 150, kOff),
                Static(1030, L"Free size:", 12, 82, 70),
                Static(1020, L"", 86, 82, 150),
                Static(1029, L"SD card:", 12, 98, 70),
                Static(1019, L"0 MB", 86, 98, 150),
                Static(1032, L"Version:", 12, 114, 70),
                Static(1022, L"", 86, 114, 150),
                Button(1023, L"More", 12, 180, 56, kOff),
                Button(1021, L"Default Setting", 72, 180, 62, kOff),
                Button(1015, L"Refresh", 138, 180, 50, kOff),
                Button(1014, L"Apply", 192, 180, 50, kOff),
                Static(1031, L"Free password authentication:", 12, 142, 110),
                Group(1137, L"", 124, 132, 112, 24),
                Radio(1144, L"Yes", 132, 142, 40, kGroupStart),
                Radio(1145, L"No", 180, 142, 40),
            }};
}

// Device control page (template 108).
DialogTemplate MakeDevCtrl() {
    constexpr uint32_t kOff = kDisabled;
    ControlTemplate date{1163, ControlKind::kDatePicker, L"", 46, 45, 80, kFieldCy, kOff | kUpDown};
    ControlTemplate time{1162, ControlKind::kTimePicker, L"", 162, 45, 70, kFieldCy, kOff};
    return {108,
            L"Device control",
            336,
            192,
            true,
            {
                Group(1082, L"", 10, 6, 316, 66),
                Button(1009, L"Manually set time and date", 20, 20, 130, kOff),
                Static(1164, L"Date:", 20, 47, 24),
                date,
                Static(1165, L"Time:", 136, 47, 24),
                time,
                Button(1154, L"Setting time", 246, 44, 70),
                Group(1083, L"", 10, 78, 316, 32),
                Button(1007, L"Start UDisk", 20, 89, 80, kOff),
                Group(1084, L"", 10, 114, 316, 32),
                Button(1008, L"Format", 20, 125, 80, kOff),
                Static(1025, L"Formatting...", 110, 128, 206, kHidden | kCentered),
                Group(1085, L"", 10, 150, 316, 32, kHidden),
                Button(1010, L"Delete log", 20, 161, 80, kOff | kHidden),
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
                Group(1030, L"Modify password", 7, 7, 246, 88),
                Static(1031, L"Password:", 16, 22, 70),
                Edit(1000, 90, 20, 90, kPin, 6),
                Static(1032, L"New password:", 16, 40, 70),
                Edit(1022, 90, 38, 90, kPin, 6),
                Static(1033, L"Retype password:", 16, 58, 70),
                Edit(1023, 90, 56, 90, kPin, 6),
                Button(1024, L"Modify", 192, 55, 50),
                Static(1080, L"* Password length is 6 !", 16, 78, 226),
                Group(1034, L"Set browse password", 7, 101, 246, 70),
                Static(1035, L"Password:", 16, 116, 70),
                Edit(1025, 90, 114, 90, kPin, 6),
                Static(1036, L"Retype password:", 16, 134, 70),
                Edit(1026, 90, 132, 90, kPin, 6),
                DropList(1078, 192, 114, 50, kNone, 40),
                Button(1014, L"Apply", 192, 131, 50),
                Static(1081, L"* Browse password length is 6 !", 16, 154, 226),
                Button(1015, L"Cancel", 203, 179, 50),
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
                Static(1045, L"SOS alarm:", 12, 18, 70),
                DropList(1044, 86, 16, 150, kOff, 40),
                Static(1046, L"Emergent phone:", 12, 38, 70),
                Edit(1050, 86, 36, 150, kOff, 15),
                Static(1047, L"APN:", 12, 58, 70),
                Edit(1051, 86, 56, 150, kOff, 31),
                Static(1048, L"User name:", 12, 78, 70),
                Edit(1052, 86, 76, 150, kOff, 15),
                Static(1049, L"Password:", 12, 98, 70),
                Edit(1053, 86, 96, 150, kOff, 15),
                Static(1054, L"IP:", 12, 118, 70),
                IpAddress(1150, 86, 116, 100, kOff),
                Button(1015, L"Refresh", 180, 166, 50, kOff),
                Button(1014, L"Apply", 236, 166, 50, kOff),
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
                Group(1146, L"AP", 7, 6, 286, 76),
                Static(1060, L"Mode", 16, 22, 70),
                DropList(1054, 90, 20, 120, kNone, 40),
                Static(1148, L"AP SSID:", 16, 42, 70),
                Edit(1055, 90, 40, 120, kNone, 15),
                Static(1062, L"AP Password:", 16, 62, 70),
                Edit(1056, 90, 60, 120, kPassword, 15),
                Check(1057, L"Show password", 216, 61, 70),
                Button(1058, L"Refresh", 180, 178, 50),
                Button(1059, L"Apply", 236, 178, 50),
                Static(1061, L"Encrypt type:", 156, 104, 44, kHidden),
                DropList(1018, 202, 102, 84, kGone, 40),
                Static(1066, L"IP", 156, 122, 44, kHidden),
                IpAddress(1065, 202, 120, 84, kGone),
                Static(1067, L"Port", 156, 140, 44, kHidden),
                Edit(1064, 202, 138, 40, kGone, 5),
                Group(1147, L"Station", 7, 88, 286, 80, kHidden),
                Static(1149, L"STA SSID:", 16, 104, 50, kHidden),
                Edit(1063, 68, 102, 80, kGone),
                Static(1070, L"STA Password:", 16, 122, 50, kHidden),
                Edit(1068, 68, 120, 80, kGone | kPassword),
                Check(1151, L"Show password", 68, 138, 80, kGone),
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
                Static(1075, L"Mobile Link Id", 12, 12, 70),
                Edit(1068, 86, 10, 150, kNone, 8),
                Static(1074, L"Mobile Link IP", 12, 30, 70),
                Edit(1069, 86, 28, 150, kNone, 64),
                Static(1067, L"Mobile Link Port", 12, 48, 70),
                Edit(1064, 86, 46, 50, kDigitsOnly, 5),
                Static(1047, L"APN", 12, 66, 70),
                Edit(1051, 86, 64, 150, kNone, 32),
                Static(1073, L"User", 12, 84, 70),
                Edit(1059, 86, 82, 150, kNone, 16),
                Static(1076, L"Password", 12, 102, 70),
                Edit(1060, 86, 100, 150, kNone, 32),
                Static(1072, L"Dial Number", 12, 120, 70),
                Edit(1061, 86, 118, 150, kNone, 32),
                Static(1071, L"Upload Interval", 12, 138, 70),
                Edit(1062, 86, 136, 50, kDigitsOnly, 5),
                Static(1070, L"Alarm interval", 12, 156, 70),
                Edit(1063, 86, 154, 50, kDigitsOnly, 5),
                Button(1, L"Save", 180, 180, 50, kDefaultButton),
                Button(2, L"Refresh", 236, 180, 50),
                IpAddress(1077, 150, 154, 100, kHidden),
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
    {1078, L"Resolution:", kNone, kListDrop},
    {1079, L"Photo size:", kDisabled, kListDrop},
    {1080, L"Recode overwrite:", kNone, kListDrop},
    {1081, L"Recode file size:", kNone, kListDrop},
    {1082, L"Ir cut:", kDisabled, kListDrop},
    {1083, L"Flicker:", kDisabled, kListDrop},
    {1084, L"Motion detection:", kDisabled, kListDrop},
    {1085, L"G_Sensor set:", kNone, kListDrop},
    {1086, L"Over-speed recording:", kDisabled, 150},
    {1087, L"Pre-Record:", kNone, kListDrop},
    {1088, L"Post record:", kDisabled, kListDrop},
    {1089, L"Car mode:", kNone, kListDrop},
    {1090, L"Video rotation:", kDisabled, kListDrop},
    {1091, L"Auto LCD off:", kDisabled, kListDrop},
    {1092, L"Auto power off", kNone, kListDrop},
    {1093, L"Mic mute:", kDisabled, kListDrop},
    {1094, L"Date format:", kNone, kListDrop},
    {1095, L"GPS auto update time:", kDisabled, kListDrop},
    {1096, L"GMT setup:", kDisabled, 150},
    {1097, L"DST setup:", kHidden, kListDrop},
    {1098, L"Language:", kNone, kListDrop},
    {1099, L"Volume:", kNone, kListDrop},
    {1100, L"Indicator:", kNone, kListDrop},
    {1101, L"RF recode:", kDisabled, kListDrop},
    {1102, L"Auto msc:", kDisabled, kListDrop},
    {1103, L"Video ON:", kNone, kListDrop},
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
        t.controls.push_back(Static(list.id + 30, list.label, x + 7, y + 2, 78, list.flags));
        t.controls.push_back(DropList(list.id, x + 87, y, 82, list.flags, list.dropHeight));
        ++index;
    }
    const ControlTemplate rest[] = {
        Static(1020, L"Free size:", 14, 182, 60),         Static(1141, L"", 76, 182, 100),
        Static(1143, L"Total size:", 14, 194, 60),        Static(1144, L"", 76, 194, 100),
        Static(1140, L"Office Id:", 194, 182, 70),        Static(1142, L"", 266, 182, 94),
        Static(1134, L"Serial number:", 374, 182, 70),    Static(1137, L"", 446, 182, 94),
        Static(1135, L"Firmware version:", 374, 194, 70), Static(1138, L"", 446, 194, 94),
        Button(1136, L"Default setting", 14, 207, 70),    Button(1059, L"Refresh", 90, 207, 50),
        Button(1, L"OK", 433, 207, 50, kDefaultButton),   Button(2, L"Cancel", 490, 207, 50),
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
                Static(1075, L"ID:", 12, 18, 70),
                Edit(1055, 86, 16, 120, kDisabled, 8),
                Static(1139, L"Service IP:", 12, 38, 70),
                IpAddress(1138, 86, 36, 120),
                Static(1140, L"Service port:", 214, 18, 44, kHidden),
                Edit(1056, 258, 16, 34, kGone | kDigitsOnly, 5),
                Static(1141, L"Listen port:", 214, 38, 44, kHidden),
                Edit(1057, 258, 36, 34, kGone | kDigitsOnly, 5),
                Static(1167, L"SSID:", 12, 58, 70),
                Edit(1166, 86, 56, 120),
                Static(1168, L"Password:", 12, 78, 70),
                Edit(1060, 86, 76, 120, kPassword),
                Check(1151, L"Show password", 86, 94, 80),
                Button(1015, L"Refresh", 180, 166, 50, kDisabled),
                Button(1014, L"Setting", 236, 166, 50, kDisabled),
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
                Static(1128, L"Volume", 9, 12, 100),
                DropList(1099, 112, 9, 83, kNone, 102),
                Static(1169, L"IR mode", 10, 33, 99),
                DropList(1100, 112, 30, 83, kNone, 102),
                Static(1170, L"Recycle Recording", 10, 53, 99),
                DropList(1104, 112, 51, 83, kNone, 102),
                Button(1001, L"Setting", 77, 76, 57, kDefaultButton),
                Button(1003, L"Cancel", 138, 76, 57),
            }};
}

// Extra settings for RK50 cameras (template 147).
DialogTemplate MakeRk50() {
    ControlTemplate plate = Edit(1175, 76, 14, 82);
    plate.cy = 14;
    return {147,
            L"More",
            184,
            87,
            false,
            {
                Static(1174, L"Plate", 9, 16, 62),
                plate,
                Button(1001, L"Setting", 56, 63, 57, kDefaultButton),
                Button(1003, L"Cancel", 117, 63, 57),
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
