#include "pages/mobilelink.h"

#include "langtable.h"

CDlgMobileLink::CDlgMobileLink(ui::Dialog* owner) : ui::Dialog(kTemplateId), m_owner(owner) {}

bool CDlgMobileLink::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    // TODO(mobile link page): text limits, Save (command 1) and Refresh (command 2), and the
    // refresh that opening the page runs.
    return true;
}

void CDlgMobileLink::Refresh() {
    // TODO(mobile link page): read MobileLinkRecord and GpsUploadRecord into the edits. Not
    // built yet: until then a refresh leaves the page as it is.
}

void CDlgMobileLink::EnableControls(bool enable) {
    // Disables the nine edits whatever it is asked; only a loss of the camera calls it.
    (void)enable;
    for (int id : {1068, 1069, 1064, 1051, 1059, 1060, 1061, 1062, 1063})
        EnableControl(id, false);
}
