#include "pages/rk40more.h"

#include <cstring>

#include "dalvex.h"
#include "langtable.h"

namespace {
constexpr int kVolumeList = 1099, kIrList = 1100, kLoopList = 1104;
constexpr int kSetting = 1001, kCancel = 1003;

// The camera may hold values the lists do not have; those read as the first entry.
int TwoStatePosition(uint8_t value) {
    return value < 2 ? value : 0;
}
}  // namespace

CDlgRK40MoreSetting::CDlgRK40MoreSetting() : ui::Dialog(kTemplateId) {}

int CDlgRK40MoreSetting::VolumePosition(uint8_t volume) {
    if (volume == 0)
        return 0;
    if (volume <= 4)
        return 1;
    if (volume == 6)
        return 2;
    return 3;
}

uint8_t CDlgRK40MoreSetting::VolumeByte(int position) {
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

bool CDlgRK40MoreSetting::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    const wchar_t* const volumes[] = {L"IDS_VOLUME_OFF", L"IDS_VOLUME_LOW", L"IDS_VOLUME_NORMAL",
                                      L"IDS_VOLUME_HIGH"};
    for (int i = 0; i < 4; ++i)
        InsertString(kVolumeList, i, LangTable().GetText(volumes[i]));
    InsertString(kIrList, 0, LangTable().GetText(L"IDS_IRMODE_AUTO"));
    InsertString(kIrList, 1, LangTable().GetText(L"IDS_IRMODE_MANUAL"));
    InsertString(kLoopList, 0, LangTable().GetText(L"IDS_OFF"));
    InsertString(kLoopList, 1, LangTable().GetText(L"IDS_ON"));
    OnCommand(kSetting, [this] { Apply(); });
    OnCommand(kCancel, [this] { EndDialog(ui::kIdCancel); });
    Load();
    return true;
}

void CDlgRK40MoreSetting::Load() {
    ConfigInfoRecord record;
    std::memset(&record, 0, sizeof record);
    if (TKUSB_GetConfigInfo(&record) == 0) {
        ShowMessage(L"IDS_RK20_GET_FAILE");
        return;
    }
    SetCurSel(kVolumeList, VolumePosition(record.rk40.volume));
    SetCurSel(kIrList, TwoStatePosition(record.rk40.irMode));
    SetCurSel(kLoopList, TwoStatePosition(record.rk40.recycleRecording));
}

void CDlgRK40MoreSetting::Apply() {
    ConfigInfoRecord sent;
    std::memset(&sent, 0, sizeof sent);
    // No selection (-1) goes out as 0xFF.
    sent.rk40.volume = VolumeByte(GetCurSel(kVolumeList));
    sent.rk40.irMode = static_cast<uint8_t>(GetCurSel(kIrList));
    sent.rk40.recycleRecording = static_cast<uint8_t>(GetCurSel(kLoopList));
    TKUSB_SetConfigInfo(&sent);  // the read-back below decides

    ConfigInfoRecord back;
    std::memset(&back, 0, sizeof back);
    const bool kept = TKUSB_GetConfigInfo(&back) != 0 &&
                      std::memcmp(back.bytes, sent.bytes, sizeof sent.bytes) == 0;
    ShowMessage(kept ? L"IDS_MODIFY_SUC" : L"IDS_MODIFY_FAILE");
    EndDialog(ui::kIdOk);
}

void CDlgRK40MoreSetting::ShowMessage(const wchar_t* key) {
    MessageBox(LangTable().GetText(key), L"Orvane", ui::kMbOk);
}
