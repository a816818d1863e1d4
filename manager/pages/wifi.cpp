#include "pages/wifi.h"

#include "langtable.h"

namespace {
constexpr int kModeList = 1054, kEncryptionList = 1018, kPort = 1064;
constexpr int kApName = 1055, kApPassword = 1056;
}  // namespace

CDlgWifi::CDlgWifi(ui::Dialog* owner) : ui::Dialog(kTemplateId), m_owner(owner) {}

bool CDlgWifi::OnInitDialog() {
    LimitText(kPort, 5);
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    InsertString(kEncryptionList, 0, L"WAP");
    InsertString(kEncryptionList, 1, L"WAP2");
    InsertString(kModeList, 0, LangTable().GetText(L"IDS_STATION"));
    InsertString(kModeList, 1, L"AP");
    SetCurSel(kEncryptionList, 0);
    SetCurSel(kModeList, 0);
    // TODO(WiFi page): read WifiRecord when a camera is present, the password character and
    // the Refresh/Apply/Show password handlers.
    LimitText(kApName, 15);
    LimitText(kApPassword, 15);
    return true;
}

void CDlgWifi::Refresh() {
    // TODO(WiFi page): read WifiRecord and WifiApRecord into the controls. Not built yet:
    // until then a refresh leaves the page as it is.
}

void CDlgWifi::EnableControls(bool enable) {
    // The station name, password and its show box keep their state.
    for (int id : {kModeList, kEncryptionList, kApName, kApPassword, 1057, 1058, 1059, kPort, 1065})
        EnableControl(id, enable);
}
