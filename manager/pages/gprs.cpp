#include "pages/gprs.h"

#include "langtable.h"

CDlgGPRSParam::CDlgGPRSParam(ui::Dialog* owner) : ui::Dialog(kTemplateId), m_owner(owner) {}

bool CDlgGPRSParam::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    // TODO(GPRS page): the SOS list entries, text limits and the Refresh/Apply handlers.
    return true;
}

void CDlgGPRSParam::Refresh() {
    // TODO(GPRS page): read GprsRecord with TKUSB_GetGprsParam into the controls. Not built
    // yet: until then a refresh leaves the page as it is.
}

void CDlgGPRSParam::EnableControls(bool enable) {
    // The SOS list, the four edits, Refresh, Apply and the IP address control.
    for (int id : {1044, 1050, 1051, 1052, 1053, 1015, 1014, 1150})
        EnableControl(id, enable);
}
