#include "pages/moreparam.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dalvex.h"
#include "langtable.h"
#include "text.h"

namespace {

constexpr int kDefaultSetting = 1136, kRefresh = 1059;
constexpr int kFreeSize = 1141, kTotalSize = 1144, kOfficerId = 1142, kSerial = 1137,
              kFirmware = 1138;
constexpr int kNoByte = -1;

// An entry is a fixed text, or the text of a language key when it starts with "IDS_".
struct Rk20List {
    int id;
    int recordByte;  // the byte of Rk20SettingRecord holding the position, or kNoByte
    std::vector<std::wstring> entries;
};

const std::vector<std::wstring> kOffOn = {L"IDS_OFF", L"IDS_ON"};
const std::vector<std::wstring> kOnOff = {L"IDS_ON", L"IDS_OFF"};

std::vector<std::wstring> OverSpeedEntries() {
    std::vector<std::wstring> entries = {L"IDS_OFF"};
    for (int speed = 30; speed <= 160; speed += 5)
        entries.push_back(std::to_wstring(speed));
    return entries;
}

// Positions 0 to 12 are the offsets 0 to +12 hours, 13 to 23 the offsets -11 to -1.
std::vector<std::wstring> GmtEntries() {
    std::vector<std::wstring> entries;
    for (int hours = 0; hours <= 12; ++hours)
        entries.push_back(L"+" + std::to_wstring(hours));
    for (int hours = -11; hours <= -1; ++hours)
        entries.push_back(std::to_wstring(hours));
    return entries;
}

const std::vector<Rk20List>& Lists() {
    static const std::vector<Rk20List> lists = {
        {1078, 0, {L"1920*1080/30F", L"1280*720/30F", L"848*480/30F"}},
        {1079, kNoByte, {L"2M", L"5M", L"8M", L"12M", L"16M"}},
        {1080, 1, kOnOff},
        {1081,
         2,
         {L"IDS_FILE_SIZE_3_M", L"IDS_FILE_SIZE_5_M", L"IDS_FILE_SIZE_10_M", L"IDS_FILE_SIZE_15_M",
          L"IDS_FILE_SIZE_30_M"}},
        {1082, kNoByte, {L"IDS_MANUAL", L"IDS_AUTOMATIC", L"IDS_DISABLE"}},
        {1083, kNoByte, {L"IDS_AUTO", L"50Hz", L"60Hz"}},
        {1084, 3, kOffOn},
        {1085, 4, {L"IDS_OFF", L"IDS_LOW", L"IDS_MEDIUM", L"IDS_HIGH"}},
        {1086, 5, OverSpeedEntries()},
        {1087, 6, kOffOn},
        {1088, kNoByte, kOffOn},
        {1089, 7, kOffOn},
        {1090, kNoByte, {L"IDS_AUTO", L"IDS_DEGREE_0", L"IDS_DEGREE_180"}},
        {1091, kNoByte, {L"IDS_OFF", L"IDS_30_SEC", L"IDS_60_SEC", L"IDS_3_MINUTES"}},
        {1092,
         8,
         {L"IDS_OFF", L"IDS_3_MINUTES", L"IDS_5_MINUTES", L"IDS_8_MINUTES", L"IDS_10_MINUTES",
          L"IDS_12_MINUTES", L"IDS_AUTO_POWER_1_H", L"IDS_AUTO_POWER_3_H", L"IDS_AUTO_POWER_8_H"}},
        {1093, kNoByte, {L"IDS_DISABLE", L"IDS_15_SEC", L"IDS_30_SEC", L"IDS_60_SEC"}},
        {1094, 9, {L"IDS_DATE_FORMAT_2", L"IDS_DATE_FORMAT_0", L"IDS_DATE_FORMAT_1"}},
        {1095, 10, kOffOn},
        {1096, 11, GmtEntries()},
        {1097, 12, kOffOn},
        {1098, 13, {L"IDS_ENGLISH"}},
        {1099, 14, {L"IDS_OFF", L"IDS_LOW", L"IDS_MEDIUM", L"IDS_HIGH"}},
        {1100, 15, {L"IDS_ON", L"IDS_OFF", L"IDS_STEALTH"}},
        {1101, kNoByte, kOffOn},
        {1102, kNoByte, kOffOn},
        {1103, 16, kOnOff},
    };
    return lists;
}

std::wstring EntryText(const std::wstring& entry) {
    return entry.starts_with(L"IDS_") ? LangTable().GetText(entry) : entry;
}

std::wstring Format(const char* format, int32_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, static_cast<int>(value));
    return text::FromAnsi(buffer);
}

}  // namespace

CDlgMorePararm::CDlgMorePararm() : ui::Dialog(kTemplateId) {}

bool CDlgMorePararm::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    FillLists();
    OnCommand(kRefresh, [this] { Load(); });
    OnCommand(kDefaultSetting, [this] { OnDefaultSetting(); });
    Load();
    return true;
}

void CDlgMorePararm::FillLists() {
    // The lists sort their entries, so each goes to its position: the position is what the
    // camera stores.
    for (const Rk20List& list : Lists()) {
        for (size_t position = 0; position < list.entries.size(); ++position)
            InsertString(list.id, static_cast<int>(position), EntryText(list.entries[position]));
    }
}

void CDlgMorePararm::Load() {
    Rk20SettingRecord record;
    std::memset(&record, 0, sizeof record);
    if (TKUSB_RK20GetSeting(&record) == 0) {
        ShowMessage(L"IDS_RK20_GET_FAILE", ui::kMbOk);
        return;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
    for (const Rk20List& list : Lists()) {
        // A value past the end of its list leaves the list without a selection.
        if (list.recordByte != kNoByte)
            SetCurSel(list.id, bytes[list.recordByte]);
    }

    Rk20StringInfo info;
    std::memset(&info, 0, sizeof info);
    if (TKUSB_RK20GetStringInfo(&info) == 0)
        return;
    SetDlgItemText(kTotalSize, Format("%d G", info.totalSizeGB));
    SetDlgItemText(kFreeSize, Format("%d MB", info.freeSpaceMB));
    SetDlgItemText(kOfficerId, text::FromAnsiField(info.officerId));
    SetDlgItemText(kSerial, text::FromAnsiField(info.serialNumber));
    SetDlgItemText(kFirmware, text::FromAnsiField(info.firmwareVersion));
}

void CDlgMorePararm::OnOK() {
    if (ShowMessage(L"IDS_SURE_CHANGE", ui::kMbOkCancel) != ui::kIdOk)
        return;
    Rk20SettingRecord sent;
    std::memset(&sent, 0, sizeof sent);
    auto* bytes = reinterpret_cast<uint8_t*>(&sent);
    for (const Rk20List& list : Lists()) {
        // No selection (-1) goes out as 255.
        if (list.recordByte != kNoByte)
            bytes[list.recordByte] = static_cast<uint8_t>(GetCurSel(list.id));
    }
    TKUSB_RK20Setting(sent);  // the read-back below decides

    Rk20SettingRecord back;
    std::memset(&back, 0, sizeof back);
    const bool kept =
        TKUSB_RK20GetSeting(&back) != 0 && std::memcmp(&back, &sent, sizeof sent) == 0;
    if (kept) {
        // The camera takes the new settings when it starts again.
        TKUSB_Shutdown();
        ShowMessage(L"IDS_MODIFY_SUC", ui::kMbOk);
    } else {
        ShowMessage(L"IDS_MODIFY_FAILE", ui::kMbOk);
    }
    EndDialog(ui::kIdOk);
}

void CDlgMorePararm::OnDefaultSetting() {
    if (ShowMessage(L"IDS_SURE_USE_DEFAULT", ui::kMbOkCancel) != ui::kIdOk)
        return;
    if (TKUSB_RK20UseDefault() != 0)
        ShowMessage(L"IDS_MODIFY_SUC", ui::kMbOk);
    else
        ShowMessage(L"IDS_MODIFY_FAILE", ui::kMbOk);
    EndDialog(ui::kIdOk);
}

int CDlgMorePararm::ShowMessage(const wchar_t* key, unsigned style) {
    return MessageBox(LangTable().GetText(key), L"Orvane", style);
}
