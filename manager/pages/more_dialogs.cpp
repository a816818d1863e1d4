#include "pages/more_dialogs.h"

#include "camera_models.h"
#include "pages/moreparam.h"
#include "pages/rk40more.h"
#include "pages/rk50more.h"

void RunMoreDialog(ui::Dialog* owner, int modelCode) {
    // The dialogs report their own outcome; the caller reloads nothing afterwards.
    switch (settings::MoreDialogOf(modelCode)) {
        case settings::MoreDialog::kRk20Settings: {
            CDlgMorePararm dialog;
            dialog.DoModal(owner);
            break;
        }
        case settings::MoreDialog::kRk40Extra: {
            CDlgRK40MoreSetting dialog;
            dialog.DoModal(owner);
            break;
        }
        case settings::MoreDialog::kRk50Extra: {
            CDlgRK50MoreSetting dialog;
            dialog.DoModal(owner);
            break;
        }
        case settings::MoreDialog::kNone:
            break;
    }
}
