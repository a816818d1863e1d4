#include "pages/moreparam.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dalvex.h"
#include "pages/page.h"
#include "res/control_ids.h"
#include "settings_lists.h"
#include "text/langtable.h"
#include "text/text.h"

namespace {
using namespace ids::rk20;

std::wstring EntryText(const std::wstring& entry) {
    return settings::IsLanguageKey(entry) ? LangTable().GetText(entry) : entry;
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
    for (const settings::Rk20List& list : settings::Rk20Lists()) {
        for (size_t position = 0; position < list.entries.size(); ++position)
            InsertString(list.controlId, static_cast<int>(position),
                         EntryText(list.entries[position]));
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
    for (const settings::Rk20List& list : settings::Rk20Lists()) {
        // A value past the end of its list leaves the list without a selection.
        if (list.recordByte != settings::kNoRecordByte)
            SetCurSel(list.controlId, bytes[list.recordByte]);
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
    for (const settings::Rk20List& list : settings::Rk20Lists()) {
        // No selection (-1) goes out as 255.
        if (list.recordByte != settings::kNoRecordByte)
            bytes[list.recordByte] = static_cast<uint8_t>(GetCurSel(list.controlId));
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
    return ShowKeyMessage(*this, key, style);
}
