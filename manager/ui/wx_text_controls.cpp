// Edits, address controls, and date and time pickers of the wxWidgets peer.
#include <wx/datectrl.h>
#include <wx/dateevt.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/wx.h>

#include <algorithm>

#include "ui/wx_controls.h"
#include "ui/wx_internal.h"
#include "ui/wx_native.h"

namespace ui::wx {

namespace {

// A complete HH:MM:SS (hours 0-23, minutes and seconds 0-59), or an invalid time.
wxDateTime ParseTime(const wxString& text) {
    wxDateTime time;
    wxString::const_iterator end;
    if (text.length() != 8 || !time.ParseFormat(text, "%H:%M:%S", &end) || end != text.end())
        return wxDateTime();
    return time;
}

void BindDigitsOnly(wxTextCtrl* edit) {
    edit->Bind(wxEVT_CHAR, [](wxKeyEvent& event) {
        if (DigitOrEditingKey(event))
            event.Skip();
    });
}

wxWindow* CreateEdit(const ControlTemplate& t, const ControlPlace& at) {
    long style = 0;
    if (t.flags & kPassword)
        style |= wxTE_PASSWORD;
    if (t.flags & kReadOnly)
        style |= wxTE_READONLY;
    if (t.flags & kMultiline)
        style |= wxTE_MULTILINE;
    auto* edit = new wxTextCtrl(at.parent, wxID_ANY, at.label, at.pos, at.size, style);
    if (t.textLimit > 0)
        native::SetTypingLimit(edit, t.textLimit);
    if (t.flags & kDigitsOnly)
        BindDigitsOnly(edit);
    return edit;
}

// The toolkit's generic time picker squeezes the time behind its buttons at dialog sizes; an edit
// holding HH:MM:SS keeps the time readable and typeable. Like the platform's picker it never holds
// a time the user did not give: the page reads the last complete HH:MM:SS the edit held (typed, or
// set by the program), and when the edit loses the focus with anything else in it, that time
// comes back.
wxWindow* CreateTimePicker(ControlOwner& owner, Control& c, std::size_t index,
                           const ControlPlace& at) {
    c.lastTime = wxDateTime::Now();
    auto* edit =
        new wxTextCtrl(at.parent, wxID_ANY, c.lastTime.Format("%H:%M:%S"), at.pos, at.size);
    edit->SetMaxLength(8);
    edit->Bind(wxEVT_TEXT, [&owner, index, edit](wxCommandEvent& event) {
        event.Skip();
        const wxDateTime typed = ParseTime(edit->GetValue());
        if (typed.IsValid())
            owner.ControlAt(index).lastTime = typed;
    });
    edit->Bind(wxEVT_KILL_FOCUS, [&owner, index, edit](wxFocusEvent& event) {
        event.Skip();
        const wxDateTime& kept = owner.ControlAt(index).lastTime;
        if (!ParseTime(edit->GetValue()).IsValid())
            edit->ChangeValue(kept.Format("%H:%M:%S"));
    });
    edit->Bind(wxEVT_CHAR, [](wxKeyEvent& event) {
        const int key = event.GetKeyCode();
        if (key < WXK_SPACE || key == WXK_DELETE || key > WXK_START || event.ControlDown() ||
            (key >= '0' && key <= '9') || key == ':')
            event.Skip();
    });
    return edit;
}

// One field of an address control behaves as the platform's: digits only; a dot, or a third
// digit, moves on to the next field (a dot only from a field that holds something), so an
// address is typed as it is written; Backspace in an empty field goes back to the previous
// one; a number over 255 becomes 255 when the field is left.
void BindAddressField(wxTextCtrl* field, wxTextCtrl* previous, wxTextCtrl* next) {
    auto enter = [](wxTextCtrl* to) {
        to->SetFocus();
        to->SelectAll();
    };
    field->Bind(wxEVT_CHAR, [=](wxKeyEvent& event) {
        const int key = event.GetKeyCode();
        if (key == '.' || key == WXK_NUMPAD_DECIMAL) {
            if (next && !field->IsEmpty())
                enter(next);
            return;
        }
        if (key == WXK_BACK && previous && field->IsEmpty()) {
            previous->SetFocus();
            previous->SetInsertionPointEnd();
            return;
        }
        if (DigitOrEditingKey(event))
            event.Skip();
    });
    // Typing fires this; the program's own ChangeValue does not.
    field->Bind(wxEVT_TEXT, [=](wxCommandEvent& event) {
        event.Skip();
        if (next && field->HasFocus() && field->GetValue().length() == 3 &&
            field->GetInsertionPoint() == 3)
            enter(next);
    });
    field->Bind(wxEVT_KILL_FOCUS, [=](wxFocusEvent& event) {
        event.Skip();
        long value = 0;
        if (field->GetValue().ToLong(&value) && value > 255)
            field->ChangeValue("255");
    });
}

wxWindow* CreateAddressControl(Control& c, const ControlPlace& at) {
    const wxSize& size = at.size;
    auto* panel = new wxPanel(at.parent, wxID_ANY, at.pos, size, wxBORDER_SUNKEN);
    const int fieldWidth = std::max(10, (size.x - 16) / 4 - 6);
    int x = 2;
    for (int f = 0; f < 4; ++f) {
        auto* field = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxPoint(x, 1),
                                     wxSize(fieldWidth, size.y - 4), wxBORDER_NONE);
        field->SetMaxLength(3);
        c.fields.push_back(field);
        x += fieldWidth;
        if (f < 3) {
            new wxStaticText(panel, wxID_ANY, ".", wxPoint(x + 1, 2), wxSize(5, size.y - 4));
            x += 7;
        }
    }
    for (size_t f = 0; f < c.fields.size(); ++f)
        BindAddressField(c.fields[f], f > 0 ? c.fields[f - 1] : nullptr,
                         f + 1 < c.fields.size() ? c.fields[f + 1] : nullptr);
    return panel;
}

void SetAddress(Control& c, const std::wstring& text) {
    std::vector<std::wstring> parts(1);
    for (wchar_t ch : NormalizeAddressText(text)) {
        if (ch == L'.')
            parts.emplace_back();
        else
            parts.back().push_back(ch);
    }
    for (size_t f = 0; f < c.fields.size(); ++f)
        c.fields[f]->ChangeValue(f < parts.size() ? ToWx(parts[f]) : wxString());
}

}  // namespace

bool DigitOrEditingKey(const wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    return key < WXK_SPACE || key == WXK_DELETE || key > WXK_START || event.ControlDown() ||
           (key >= '0' && key <= '9');
}

wxWindow* CreateTextControl(ControlOwner& owner, Control& c, std::size_t index,
                            const ControlTemplate& t, const ControlPlace& at) {
    switch (t.kind) {
        case ControlKind::kEdit:
            return CreateEdit(t, at);
        case ControlKind::kDatePicker:
            return new wxDatePickerCtrl(at.parent, wxID_ANY, wxDefaultDateTime, at.pos, at.size,
                                        wxDP_DROPDOWN | wxDP_SHOWCENTURY);
        case ControlKind::kTimePicker:
            return CreateTimePicker(owner, c, index, at);
        case ControlKind::kIpAddress:
            return CreateAddressControl(c, at);
        default:
            return nullptr;
    }
}

void SetEditText(Control& c, const std::wstring& text) {
    if (c.kind == ControlKind::kEdit)
        native::ChangeText(static_cast<wxTextCtrl*>(c.window), ToWx(text));
    else if (c.kind == ControlKind::kIpAddress)
        SetAddress(c, text);
}

std::wstring EditText(const Control& c) {
    if (c.kind == ControlKind::kEdit)
        return FromWx(static_cast<wxTextCtrl*>(c.window)->GetValue());
    std::wstring text;
    for (size_t f = 0; f < c.fields.size(); ++f)
        text += FromWx(c.fields[f]->GetValue()) + (f + 1 < c.fields.size() ? L"." : L"");
    return NormalizeAddressText(text);
}

void SetTextLimit(Control& c, int limit) {
    c.limit = limit;
    if (c.kind == ControlKind::kEdit)
        native::SetTypingLimit(static_cast<wxTextCtrl*>(c.window), limit);
}

void SetPasswordStyle(Control& c, bool on) {
    c.password = on;
    if (c.kind == ControlKind::kEdit)
        native::SetPasswordStyle(c.window, on);
}

void SetDateTime(Control& c, const DateTime& value) {
    wxDateTime dt;
    dt.Set(wxDateTime::wxDateTime_t(value.day), wxDateTime::Month(value.month - 1), value.year,
           wxDateTime::wxDateTime_t(value.hour), wxDateTime::wxDateTime_t(value.minute),
           wxDateTime::wxDateTime_t(value.second));
    if (!dt.IsValid())
        return;
    if (c.kind == ControlKind::kDatePicker)
        static_cast<wxDatePickerCtrl*>(c.window)->SetValue(dt);
    else if (c.kind == ControlKind::kTimePicker) {
        c.lastTime = dt;
        static_cast<wxTextCtrl*>(c.window)->ChangeValue(dt.Format("%H:%M:%S"));
    }
}

DateTime GetDateTime(const Control& c) {
    wxDateTime dt;
    if (c.kind == ControlKind::kDatePicker) {
        dt = static_cast<wxDatePickerCtrl*>(c.window)->GetValue();
    } else if (c.kind == ControlKind::kTimePicker) {
        // Today's date with the last complete time the edit held.
        dt = wxDateTime::Today();
        const wxDateTime& time = c.lastTime;
        dt.SetHour(time.GetHour()).SetMinute(time.GetMinute()).SetSecond(time.GetSecond());
    }
    if (!dt.IsValid())
        return DateTime{};
    return DateTime{dt.GetYear(), int(dt.GetMonth()) + 1, dt.GetDay(),
                    dt.GetHour(), dt.GetMinute(),         dt.GetSecond()};
}

}  // namespace ui::wx
