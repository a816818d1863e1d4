// What the files of the wxWidgets backend share among themselves.
#pragma once

#include <wx/string.h>

#include <string>

#include "ui/dialog.h"

class wxWindow;

namespace ui::wx {

inline wxString ToWx(const std::wstring& text) {
    return wxString(text.c_str());
}

inline std::wstring FromWx(const wxString& text) {
    return text.ToStdWstring();
}

// The window of a dialog's peer (a top-level window, or the panel of a hosted page); null when the
// dialog has no wxWidgets peer.
wxWindow* PeerWindow(Dialog& dialog);
// The period of an armed window timer, 0 when it is not armed or the dialog has no peer.
int TimerPeriod(Dialog& dialog, int id);

// Sets the application's style once, before the first window.
void ApplyStyleOnce();

// The innermost message box on screen (the toolkit's widget), null when none is.
WXWidget InnermostMessageBox();

}  // namespace ui::wx
