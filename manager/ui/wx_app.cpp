// Application start-up on the wxWidgets backend, and the style every window of it shares.
#include <wx/wx.h>

#include "ui/wx_backend.h"
#include "ui/wx_internal.h"
#include "ui/wx_native.h"

namespace ui::wx {

namespace {

class HostApp : public wxApp {
  public:
    explicit HostApp(Application& app) : app_(app) {}
    bool OnInit() override {
        // The application's own start-up decides everything; it returns false so that no
        // message loop of the host follows.
        return app_.InitInstance();
    }

  private:
    Application& app_;
};

}  // namespace

// Tabs as compact as the dialogs were drawn for, so that a full tab row fits the window.
void ApplyStyleOnce() {
    static bool applied = false;
    if (applied)
        return;
    applied = true;
    native::ApplyStyleSheet("notebook tab { padding: 2px 5px; min-height: 0; }");
}

int RunApplication(Application& app, WxBackend& backend, int argc, char** argv) {
    SetBackend(&backend);
    wxApp::SetInstance(new HostApp(app));
    if (!wxEntryStart(argc, argv)) {
        SetBackend(nullptr);
        return 1;
    }
    wxTheApp->CallOnInit();
    wxEntryCleanup();
    SetBackend(nullptr);
    return 0;
}
}  // namespace ui::wx
