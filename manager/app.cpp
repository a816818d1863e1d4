#include "app.h"

#include <unistd.h>

#include "mainwindow.h"
#include "os/instance.h"
#include "text/langtable.h"

bool CManagerApp::InitInstance() {
    // The backend has initialised the toolkit and its controls before calling here; there is no
    // control container or settings key to set up (the program keeps no settings of its own).
    LangTable().SelectStartupLanguage(L"");

    int marker = -1;
    if (CreateInstanceMarker(kInstanceName, &marker) == InstanceMarker::kAlreadyExists) {
        ui::MessageBox(LangTable().GetText(L"IDS_PROCCESS_RUNNING"), kAppName,
                       ui::kMbOk | ui::kMbIconExclamation);
        return false;
    }
    // A marker that could not be created for another reason does not stop the program. The
    // marker stays held (never closed) until the process ends.

    auto mainWindow = std::make_unique<CMainDlg>();
    mainWindow->DoModal(nullptr);
    mainWindow.reset();
    return false;
}
