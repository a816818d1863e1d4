// The application object: prepares the language table and the single-instance marker, then runs
// the main window modally. The process ends when the main window closes.
#pragma once

#include "ui/dialog.h"

class CManagerApp : public ui::Application {
  public:
    static constexpr const wchar_t* kAppName = L"Orvane";
    // The marker's name; one copy of the program runs per machine.
    static constexpr const char* kInstanceName = "Orvane_2015-06-04";

    bool InitInstance() override;
};
