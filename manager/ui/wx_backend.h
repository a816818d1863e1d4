// The wxWidgets backend: real windows (GTK 3 on Linux). Dialog units become pixels through
// wxWidgets' own dialog-unit conversion of the window's font.
//
// Stand-ins for what GTK lacks:
// - the system menu: the items a dialog appends to its window menu are offered in the window's
//   context menu (right click on the window's background, or Shift+F10 / the Menu key), and F1
//   chooses the first of them (the About box of the main window);
// - accessible names and ids: set on each control's ATK object, so AT-SPI clients (screen
//   readers, UI automation) see them; wxGTK passes no window names on by itself.
#pragma once

#include <functional>
#include <string>

#include "ui/dialog.h"

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
    // Called once each modal dialog is on screen and its modal loop runs.
    std::function<void(Dialog&)> onModalShown;
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

// What the accessibility interface reports for a control: its name and its id text.
std::string AccessibleNameOf(Dialog& dialog, int id);
std::string AccessibleIdOf(Dialog& dialog, int id);

}  // namespace ui::wx
