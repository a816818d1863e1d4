#include "pages/gprs.h"

#include <cstring>

#include "dalvex.h"
#include "record_fields.h"
#include "res/control_ids.h"
#include "settings_lists.h"
#include "text/langtable.h"
#include "text/text.h"

namespace {
using namespace ids::gprs;
constexpr uint8_t kNoSosAction = 0xFF;
}  // namespace

CDlgGPRSParam::CDlgGPRSParam(ui::Dialog* owner) : CPage(kTemplateId, owner) {}

bool CDlgGPRSParam::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    const int selected = GetCurSel(kSosList);
    ResetContent(kSosList);
    const settings::Entries sos = settings::SosEntries();
    for (size_t i = 0; i < sos.size(); ++i)
        InsertString(kSosList, int(i), LangTable().GetText(sos[i]));
    SetCurSel(kSosList, selected);
    LimitText(kUserName, fields::TerminatedTypingLimit(fields::kGprs["userName"]));
    LimitText(kPhone, fields::TerminatedTypingLimit(fields::kGprs["emergencyPhone"]));
    LimitText(kApn, fields::TerminatedTypingLimit(fields::kGprs["apn"]));
    LimitText(kPassword, fields::TerminatedTypingLimit(fields::kGprs["password"]));
    OnCommand(kRefresh, [this] { Refresh(); });
    OnCommand(kApply, [this] { Apply(); });
    return true;
}

void CDlgGPRSParam::Refresh() {
    SetCurSel(kSosList, 0);
    for (int id : {kPhone, kApn, kUserName, kPassword, kServerIp})
        SetDlgItemText(id, L"");
    if (TKUSB_IsDevice() == 0)
        return;
    GprsRecord record{};
    if (!TKUSB_GetGprsParam(&record))
        return;
    SetCurSel(kSosList, record.sosAction);  // a number without entry selects none
    SetDlgItemText(kPhone, text::FromAnsiField(record.emergencyPhone));
    SetDlgItemText(kApn, text::FromAnsiField(record.apn));
    SetDlgItemText(kUserName, text::FromAnsiField(record.userName));
    SetDlgItemText(kPassword, text::FromAnsiField(record.password));
    SetDlgItemText(kServerIp, text::FromAnsiField(record.serverIp));
}

void CDlgGPRSParam::EnableControls(bool enable) {
    for (int id : {kSosList, kPhone, kApn, kUserName, kPassword, kRefresh, kApply, kServerIp})
        EnableControl(id, enable);
}

void CDlgGPRSParam::Apply() {
    GprsRecord sent{};
    const int sos = GetCurSel(kSosList);
    sent.sosAction = sos < 0 ? kNoSosAction : uint8_t(sos);
    // A text that a Refresh read from a full field comes back as long as the field: it is
    // written whole again, without terminator, as the camera keeps such texts.
    constexpr auto kFill = text::Terminator::kOptional;
    text::ToAnsiBuffer(GetDlgItemText(kPhone), sent.emergencyPhone, kFill);
    text::ToAnsiBuffer(GetDlgItemText(kApn), sent.apn, kFill);
    text::ToAnsiBuffer(GetDlgItemText(kUserName), sent.userName, kFill);
    text::ToAnsiBuffer(GetDlgItemText(kPassword), sent.password, kFill);
    text::ToAnsiBuffer(GetDlgItemText(kServerIp), sent.serverIp, kFill);
    TKUSB_SetGprsParam(&sent);
    GprsRecord back{};
    const bool ok = TKUSB_GetGprsParam(&back) && std::memcmp(&sent, &back, sizeof sent) == 0;
    ShowOutcome(ok);
}
