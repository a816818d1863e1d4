#include "pages/moreparam.h"

#include "langtable.h"

CDlgMorePararm::CDlgMorePararm() : ui::Dialog(kTemplateId) {}

bool CDlgMorePararm::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    return true;
}
