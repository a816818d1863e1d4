#include "pages/rk50more.h"

#include <cstring>
#include <string>

#include "dalvex.h"
#include "pages/page.h"
#include "res/control_ids.h"
#include "text/langtable.h"
#include "text/text.h"

namespace {
using namespace ids::rk50;
}  // namespace

CDlgRK50MoreSetting::CDlgRK50MoreSetting() : ui::Dialog(kTemplateId) {}

bool CDlgRK50MoreSetting::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    OnCommand(kSetting, [this] { Apply(); });
    OnCommand(kCancel, [this] { EndDialog(ui::kIdCancel); });
    Load();
    return true;
}

void CDlgRK50MoreSetting::Load() {
    ConfigInfoRecord record;
    std::memset(&record, 0, sizeof record);
    if (TKUSB_GetConfigInfo(&record) == 0) {
        ShowMessage(L"IDS_RK20_GET_FAILE");
        return;
    }
    // The camera may fill the field without a terminator; the text ends with the field.
    SetDlgItemText(kPlate, text::FromAnsiField(record.rk50.plateNumber));
}

void CDlgRK50MoreSetting::Apply() {
    std::wstring plate = GetDlgItemText(kPlate);
    if (plate.size() > kPlateCharacters) {
        plate.resize(kPlateCharacters);
        SetDlgItemText(kPlate, plate);
    }
    ConfigInfoRecord sent;
    std::memset(&sent, 0, sizeof sent);
    // Characters of more than one byte may not all fit; the field keeps whole characters and its
    // terminator.
    text::ToAnsiBuffer(plate, sent.rk50.plateNumber);
    TKUSB_SetConfigInfo(&sent);  // the read-back below decides

    // The camera's copy is judged against the plate as entered: characters that did not fit the
    // field are a failed write, not a quiet cut.
    ConfigInfoRecord back;
    std::memset(&back, 0, sizeof back);
    const bool kept =
        TKUSB_GetConfigInfo(&back) != 0 && text::FromAnsiField(back.rk50.plateNumber) == plate;
    ShowMessage(kept ? L"IDS_MODIFY_SUC" : L"IDS_MODIFY_FAILE");
    EndDialog(ui::kIdOk);
}

void CDlgRK50MoreSetting::ShowMessage(const wchar_t* key) {
    ShowKeyMessage(*this, key);
}
