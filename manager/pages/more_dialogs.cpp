#include "pages/more_dialogs.h"

#include "pages/moreparam.h"
#include "pages/rk40more.h"
#include "pages/rk50more.h"

void RunMoreDialog(ui::Dialog* owner, int modelCode) {
    // The dialogs report their own outcome; the caller reloads nothing afterwards.
    switch (modelCode) {
        case kMoreModelRk20: {
            CDlgMorePararm dialog;
            dialog.DoModal(owner);
            break;
        }
        case kMoreModelRk40: {
            CDlgRK40MoreSetting dialog;
            dialog.DoModal(owner);
            break;
        }
        case kMoreModelRk50: {
            CDlgRK50MoreSetting dialog;
            dialog.DoModal(owner);
            break;
        }
        default:
            break;
    }
}
