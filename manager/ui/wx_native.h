// What the wxWidgets backend needs of the toolkit beneath wxWidgets. One file per toolkit
// implements it, chosen by the build: wx_gtk.cpp for GTK 3, wx_native_other.cpp for any other
// (where each call falls back to what wxWidgets itself offers). No other file of the backend calls
// the toolkit directly.
#pragma once

#include <wx/defs.h>

#include <string>
#include <vector>

class wxRect;
class wxString;
class wxTextCtrl;
class wxWindow;

namespace ui::wx::native {

// Settles what the toolkit reads from the environment as it starts; called by the program before
// the application runs.
void PrepareNativeToolkit();

// Limits what the user types or pastes into a single-line edit to `limit` characters (cut to the
// room left); text the program sets through ChangeText is kept whole.
void SetTypingLimit(wxTextCtrl* edit, int limit);
// Sets an edit's text as the program does: whole, past the typing limit.
void ChangeText(wxTextCtrl* edit, const wxString& text);
// Shows or hides the characters of an edit; nothing for other controls.
void SetPasswordStyle(wxWindow* edit, bool hidden);

// The toolkit's widgets from the focus of the window's top-level window (whether or not that one is
// active) up to `window`, which is left out; empty when nothing there holds the focus.
std::vector<WXWidget> FocusPath(wxWindow* window);
// True when the widget is mapped on screen; false for null.
bool IsOnScreen(WXWidget widget);

// Sets the accessible name (and the id text, unless empty) of a control and of every inner widget
// a user can reach in a composite control.
void SetAccessibleName(wxWindow* control, const std::string& name, const std::string& id);
// What the accessibility interface reports for a control: its name and its id text.
std::string AccessibleName(wxWindow* control);
std::string AccessibleId(wxWindow* control);

// Adds the style rules for the whole application and shows state changes at once.
void ApplyStyleSheet(const char* rules);
// Lets the toolkit run what is pending in its own queue.
void ProcessEvents();
// Writes what a shown top-level window draws as a PNG file. False on failure.
bool SavePicture(wxWindow* top, const std::string& path);
// Where on screen the message box `box` shows the button that answers `result` (a DialogResult).
bool ButtonRect(WXWidget box, int result, wxRect& screen);

}  // namespace ui::wx::native
