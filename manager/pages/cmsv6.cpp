#include "pages/cmsv6.h"

#include "langtable.h"

CDlgCMsv6Setting::CDlgCMsv6Setting(ui::Dialog* owner) : ui::Dialog(kTemplateId), m_owner(owner) {}

bool CDlgCMsv6Setting::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    // TODO(CMS server page): the password character, the Refresh/Setting/Show password
    // handlers and the refresh that opening the page runs.
    return true;
}

void CDlgCMsv6Setting::Refresh() {
    // TODO(CMS server page): read Cmsv6Record and WifiRecord into the controls. Not built yet:
    // until then a refresh leaves the page as it is.
}

void CDlgCMsv6Setting::EnableControls(bool enable) {
    // The IP address control, both port edits, Refresh and Setting; the identifier, network
    // name and password keep their state.
    for (int id : {1138, 1056, 1057, 1015, 1014})
        EnableControl(id, enable);
}
