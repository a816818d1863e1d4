// The wxWidgets backend: real windows (GTK 3 on Linux). Dialog units become pixels through
// wxWidgets' own dialog-unit conversion of the window's font.
//
// Stand-ins for what GTK lacks:
// - the system menu: the items a dialog appends to its window menu are offered in the window's
//   context menu (right click on the window's background, or Shift+F10 / the Menu key), and F1
//   chooses the first of them (the About box of the main window);
// - accessible names and ids: set on each control's ATK object and on the inner widgets of
//   composite controls, so AT-SPI clients (screen readers, UI automation) see them; wxGTK passes
//   no window names on by itself.
// - the platform's dialog keys: Enter presses the focused push button, else the dialog's default
//   button (nothing while it is disabled), else sends IDOK; Escape and the close box send IDCANCEL.
// - the platform's edit limit: it stops typing and pasting, never the program's own text.
// - the time picker: an edit that gives the page the last complete HH:MM:SS it held.
#pragma once

#include <functional>
#include <string>

#include "ui/dialog.h"

class wxWindow;
class wxRect;

namespace ui::wx {

class WxBackend : public Backend {
  public:
    std::unique_ptr<DialogPeer> CreatePeer(Dialog& dialog, const DialogTemplate& tmpl, Dialog* host,
                                           int hostIndex) override;
    int MessageBox(Dialog* owner, const std::wstring& text, const std::wstring& caption,
                   unsigned style) override;

    // Scripted runs: message boxes are written to standard error and answered with their first
    // button instead of waiting for a user.
    bool answerMessagesAutomatically = false;
    // Window timers are armed but never run: tests fire them (FireTimer).
    bool manualTimers = false;
    // Called once each modal dialog is on screen and its modal loop runs.
    std::function<void(Dialog&)> onModalShown;
    // Called once each message box is on screen, from within its modal loop.
    struct ShownMessage {
        std::wstring text, caption;
        unsigned style;
    };
    std::function<void(const ShownMessage&)> onMessageShown;
};

// Installs a WxBackend, starts wxWidgets and calls app.InitInstance(); returns the exit code.
int RunApplication(Application& app, WxBackend& backend, int argc, char** argv);

// Writes what the dialog shows (a top-level window) as a PNG file. False on failure.
bool SaveScreenshot(Dialog& dialog, const std::string& path);

// A click as the control would report it (through the toolkit's own event), for scripted runs.
bool Click(Dialog& dialog, int id);
// A tab or list selection as the user would make it (the selection-change handler runs).
bool SelectByUser(Dialog& dialog, int id, int position);
// A key pressed in a top-level window, as the toolkit reports it (a wxKeyCode such as WXK_F1).
bool PressKey(Dialog& dialog, int keyCode);
// Lets the toolkit process what is pending (layout, painting).
void ProcessPending();

// Fires an armed window timer when timers are manual. False when it is not armed.
bool FireTimer(Dialog& dialog, int id);
// For real input (pointer and keys): the window of a control, null when the dialog has none.
wxWindow* ControlWindow(Dialog& dialog, int id);
// Where on screen the open message box shows the button that answers with `result` (a
// DialogResult). False when no message box is open or it has no such button.
bool MessageBoxButton(int result, wxRect& screen);

// What the accessibility interface reports for a control: its name and its id text.
std::string AccessibleNameOf(Dialog& dialog, int id);
std::string AccessibleIdOf(Dialog& dialog, int id);

}  // namespace ui::wx
