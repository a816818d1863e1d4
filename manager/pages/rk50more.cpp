#include "pages/rk50more.h"

#include "langtable.h"

CDlgRK50MoreSetting::CDlgRK50MoreSetting() : ui::Dialog(kTemplateId) {}

bool CDlgRK50MoreSetting::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    OnCommand(1003, [this] { EndDialog(ui::kIdCancel); });
    return true;
}
