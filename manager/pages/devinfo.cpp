#include "pages/devinfo.h"

#include "langtable.h"

namespace {
// The five edits, Refresh and Apply.
constexpr int kControlsOfLogin[] = {1011, 1010, 1012, 1013, 1009, 1015, 1014};
}  // namespace

CDlgDeviceInfo::CDlgDeviceInfo(ui::Dialog* owner) : ui::Dialog(kTemplateId), m_owner(owner) {
    // The first page is visible as soon as it exists; the others wait for their tab.
    SetVisibleOnCreate(true);
}

bool CDlgDeviceInfo::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    return true;
}

void CDlgDeviceInfo::Refresh() {
    // TODO(user info page): read UserInfoRecord with TKUSB_GetUserInfo into the five edits.
    // Not built yet: until then a refresh leaves the edits as they are.
}

void CDlgDeviceInfo::EnableControls(bool enable) {
    for (int id : kControlsOfLogin)
        EnableControl(id, enable);
}
