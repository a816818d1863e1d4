// The controls of the wxWidgets peer, one file per family: each creates its controls as real
// windows and gives their text, state and items to the peer (wx_peer.cpp), which holds them.
//   wx_static_controls.cpp  static texts, group boxes, pictures and the program icon
//   wx_button_controls.cpp  push buttons, check boxes and radio buttons
//   wx_text_controls.cpp    edits, address controls, date and time pickers
//   wx_list_controls.cpp    drop-down lists and tab controls
#pragma once

#include <wx/datetime.h>
#include <wx/gdicmn.h>
#include <wx/icon.h>
#include <wx/string.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialog.h"

class wxKeyEvent;
class wxTextCtrl;
class wxWindow;

namespace ui::wx {

// The controls of a page hosted by a tab control sit in the dialog beside the tab control, above
// it, not inside the toolkit's notebook (which would manage them as its own pages).
struct Control {
    ControlKind kind = ControlKind::kStatic;
    uint32_t flags = 0;
    int id = -1;
    wxWindow* window = nullptr;
    std::vector<wxTextCtrl*> fields;  // the four fields of an IP address control
    int limit = 0;
    bool password = false;
    std::vector<wxWindow*> tabPlaceholders;  // tab control: one empty page per tab
    int tabSelection = -1;
    wxDateTime lastTime;  // time picker: the last complete time it held
};

// What the controls need of the peer that holds them.
class ControlOwner {
  public:
    // Hands a control's event to the dialog.
    virtual void Dispatch(EventKind kind, int id) = 0;
    // True for a page hosted in another window (it never takes that window's default button).
    virtual bool IsHostedPage() const = 0;
    // A control by its index: the controls may move in memory while the dialog is created.
    virtual Control& ControlAt(std::size_t index) = 0;
    virtual Control* FindById(int id) = 0;
    // The pages a tab control shows: put below the tab strip again, and raised above it.
    virtual void PlaceHostedPages() = 0;
    virtual void RaiseHostedPages() = 0;

    // > 0 while the program itself changes a tab control, which is no user's selection.
    int programmatic = 0;

  protected:
    ~ControlOwner() = default;
};

// Where a control goes: its parent window, its rectangle in pixels and its template's label.
struct ControlPlace {
    wxWindow* parent;
    wxPoint pos;
    wxSize size;
    wxString label;
};

// Tab strip height the page rectangle assumes; taller strips push the page down.
constexpr int kAssumedTabStrip = 26;

// wx_static_controls.cpp
// The program icon, drawn rather than loaded.
wxIcon ProgramIcon(int size);
wxWindow* CreateStaticControl(const ControlTemplate& t, const ControlPlace& at);

// wx_button_controls.cpp
wxWindow* CreateButtonControl(ControlOwner& owner, const ControlTemplate& t,
                              const ControlPlace& at);
void SetCheck(Control& c, bool checked);
bool IsChecked(const Control& c);

// wx_text_controls.cpp
// `index` is the control's index in its dialog.
wxWindow* CreateTextControl(ControlOwner& owner, Control& c, std::size_t index,
                            const ControlTemplate& t, const ControlPlace& at);
// The text of an edit or an address control.
void SetEditText(Control& c, const std::wstring& text);
std::wstring EditText(const Control& c);
void SetTextLimit(Control& c, int limit);
void SetPasswordStyle(Control& c, bool on);
void SetDateTime(Control& c, const DateTime& value);
DateTime GetDateTime(const Control& c);
// A key a digits-only field lets through: digits and the editing keys.
bool DigitOrEditingKey(const wxKeyEvent& event);

// wx_list_controls.cpp
wxWindow* CreateListControl(ControlOwner& owner, const ControlTemplate& t, const ControlPlace& at);
int InsertItem(ControlOwner& owner, Control& c, int position, const std::wstring& text);
bool DeleteItem(ControlOwner& owner, Control& c, int position);
void ClearItems(ControlOwner& owner, Control& c);
int ItemCount(const Control& c);
std::wstring ItemText(const Control& c, int position);
void SetSelection(ControlOwner& owner, Control& c, int position);
int Selection(const Control& c);
// The text of a drop-down list or a tab control: its selected item's.
std::wstring ListText(const Control& c);
// The height of a tab control's strip as drawn: where the toolkit puts the pages of its notebook.
int TabStripHeight(const Control& c);

}  // namespace ui::wx
