#include "pages/wifi.h"

#include <cstring>
#include <string>

#include "dalvex.h"
#include "record_fields.h"
#include "res/control_ids.h"
#include "settings_lists.h"
#include "text/langtable.h"
#include "text/text.h"

namespace {
using namespace ids::wifi;
// A text of as many characters as its access-point field has bytes fills the field whole.
constexpr size_t kApNameChars = fields::kWifiAp["apSsid"].size;
constexpr size_t kApPasswordChars = fields::kWifiAp["apPassword"].size;
}  // namespace

CDlgWifi::CDlgWifi(ui::Dialog* owner) : CPage(kTemplateId, owner) {}

bool CDlgWifi::OnInitDialog() {
    LimitText(kPort, 5);
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    const settings::Entries encryption = settings::WifiEncryptionEntries();
    for (size_t i = 0; i < encryption.size(); ++i)
        InsertString(kEncryptionList, int(i), encryption[i]);
    const settings::Entries modes = settings::WifiModeEntries();
    for (size_t i = 0; i < modes.size(); ++i)
        InsertString(kModeList, int(i),
                     settings::IsLanguageKey(modes[i]) ? LangTable().GetText(modes[i]) : modes[i]);
    SetCurSel(kEncryptionList, 0);
    SetCurSel(kModeList, 0);
    OnCommand(kRefresh, [this] { Refresh(); });
    OnCommand(kApply, [this] { Apply(); });
    OnCommand(kApShow, [this] { ShowPassword(kApShow, kApPassword); });
    OnCommand(kStationShow, [this] { ShowPassword(kStationShow, kStationPassword); });

    if (TKUSB_IsDevice() != 0) {
        WifiRecord record{};
        if (!TKUSB_GetWifiParam(&record))
            return true;
        SetDlgItemText(kIp, text::FromAnsiField(record.ip));
        SetDlgItemText(kPort, std::to_wstring(record.port));
        // The station texts go to the station edits, as Refresh puts them: shown in the
        // access-point edits they would be written into the access-point record by an Apply.
        SetDlgItemText(kStationName, text::FromAnsiField(record.ssid));
        SetDlgItemText(kStationPassword, text::FromAnsiField(record.password));
    }
    LimitText(kApName, fields::TerminatedTypingLimit(fields::kWifiAp["apSsid"]));
    LimitText(kApPassword, fields::TerminatedTypingLimit(fields::kWifiAp["apPassword"]));
    return true;
}

void CDlgWifi::Refresh() {
    SetCurSel(kModeList, 0);
    SetCurSel(kEncryptionList, 0);
    for (int id : {kApName, kApPassword, kStationName, kStationPassword})
        SetDlgItemText(id, L"");
    SetDlgItemText(kIp, L"0");
    SetDlgItemText(kPort, L"0");
    if (TKUSB_IsDevice() == 0)
        return;

    WifiRecord wifi{};
    if (!TKUSB_GetWifiParam(&wifi))
        return;
    WifiApRecord ap{};
    if (!TKUSB_GetWifiAPParam(&ap))
        return;
    if (wifi.mode == 1)
        SetCurSel(kModeList, 1);
    if (wifi.encryptionType < GetCount(kEncryptionList))
        SetCurSel(kEncryptionList, wifi.encryptionType);
    SetDlgItemText(kStationName, text::FromAnsiField(wifi.ssid));
    SetDlgItemText(kStationPassword, text::FromAnsiField(wifi.password));
    SetDlgItemText(kIp, text::FromAnsiField(wifi.ip));
    SetDlgItemText(kPort, std::to_wstring(wifi.port));
    SetDlgItemText(kApName, text::FromAnsiField(ap.apSsid));
    SetDlgItemText(kApPassword, text::FromAnsiField(ap.apPassword));
}

void CDlgWifi::EnableControls(bool enable) {
    // The station name, password and its show box keep their state.
    for (int id :
         {kModeList, kEncryptionList, kApName, kApPassword, kApShow, kRefresh, kApply, kPort, kIp})
        EnableControl(id, enable);
}

void CDlgWifi::Apply() {
    if (!ApplyAccessPoint()) {
        ShowResult(false);
        return;
    }
    ShowResult(ApplyMode());
}

bool CDlgWifi::ApplyAccessPoint() {
    WifiApRecord sent{};
    text::ToAnsiBuffer(GetDlgItemText(kApName).substr(0, kApNameChars), sent.apSsid,
                       text::Terminator::kOptional);
    text::ToAnsiBuffer(GetDlgItemText(kApPassword).substr(0, kApPasswordChars), sent.apPassword,
                       text::Terminator::kOptional);
    TKUSB_SetWifiAPParam(&sent);
    WifiApRecord back{};
    if (!TKUSB_GetWifiAPParam(&back))
        return false;
    return std::memcmp(&sent, &back, sizeof sent) == 0;
}

bool CDlgWifi::ApplyMode() {
    WifiRecord record{};
    if (!TKUSB_GetWifiParam(&record))
        return false;
    const int mode = GetCurSel(kModeList);
    record.mode = uint8_t(mode < 0 ? 0 : mode);
    TKUSB_SetWifiParam(&record);
    // A read-back that failed proves nothing, even when the mode asked for is 0.
    WifiRecord back{};
    if (!TKUSB_GetWifiParam(&back))
        return false;
    return back.mode == record.mode;
}

void CDlgWifi::ShowPassword(int box, int edit) {
    SetPasswordStyle(edit, !GetCheck(box));
    SetFocusTo(edit);
}

void CDlgWifi::ShowResult(bool ok) {
    ShowOutcome(ok);
}
