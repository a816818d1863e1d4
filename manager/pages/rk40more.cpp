#include "pages/rk40more.h"

#include "langtable.h"

CDlgRK40MoreSetting::CDlgRK40MoreSetting() : ui::Dialog(kTemplateId) {}

bool CDlgRK40MoreSetting::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    OnCommand(1003, [this] { EndDialog(ui::kIdCancel); });
    return true;
}
