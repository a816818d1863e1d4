#include "pages/rk40more.h"

#include <cstring>
#include <utility>

#include "dalvex.h"
#include "pages/page.h"
#include "res/control_ids.h"
#include "settings_lists.h"
#include "text/langtable.h"

namespace {
using namespace ids::rk40;

}  // namespace

CDlgRK40MoreSetting::CDlgRK40MoreSetting() : ui::Dialog(kTemplateId) {}

int CDlgRK40MoreSetting::VolumePosition(uint8_t volume) {
    return settings::Rk40VolumePosition(volume);
}

uint8_t CDlgRK40MoreSetting::VolumeByte(int position) {
    return settings::Rk40VolumeByte(position);
}

bool CDlgRK40MoreSetting::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    const std::pair<int, settings::Entries> lists[] = {{kVolumeList, settings::Rk40VolumeEntries()},
                                                       {kIrList, settings::Rk40IrEntries()},
                                                       {kLoopList, settings::Rk40LoopEntries()}};
    for (const auto& [id, entries] : lists) {
        for (size_t i = 0; i < entries.size(); ++i)
            InsertString(id, int(i), LangTable().GetText(entries[i]));
    }
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
    SetCurSel(kIrList, settings::Rk40TwoStatePosition(record.rk40.irMode));
    SetCurSel(kLoopList, settings::Rk40TwoStatePosition(record.rk40.recycleRecording));
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
    ShowKeyMessage(*this, key);
}
