#include "pages/devctrl.h"

#include "langtable.h"

namespace {
constexpr int kDeleteLogFrame = 1085, kDeleteLog = 1010;
}  // namespace

CDlgDevCtrl::CDlgDevCtrl(ui::Dialog* owner) : ui::Dialog(kTemplateId), m_owner(owner) {}

bool CDlgDevCtrl::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    ShowDeleteLog();
    // TODO(device control page): the clock, mass-storage, format and delete-log handlers and
    // the format poll (timer 3). Not built yet: the buttons do nothing when clicked.
    return true;
}

void CDlgDevCtrl::EnableControls(bool enable) {
    for (int id : {1009, 1007, 1008, 1154, 1010, 1162, 1163})
        EnableControl(id, enable);
}

void CDlgDevCtrl::ShowDeleteLog() {
    ShowControl(kDeleteLog, true);
    ShowControl(kDeleteLogFrame, true);
}
