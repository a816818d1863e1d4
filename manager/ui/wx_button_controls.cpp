// Push buttons, check boxes and radio buttons of the wxWidgets peer: a click is the dialog's
// command of the control's id.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/wx.h>

#include "ui/wx_controls.h"

namespace ui::wx {

wxWindow* CreateButtonControl(ControlOwner& owner, const ControlTemplate& t,
                              const ControlPlace& at) {
    const int id = t.id;
    switch (t.kind) {
        case ControlKind::kButton: {
            auto* button = new wxButton(at.parent, wxID_ANY, at.label, at.pos, at.size);
            // A page hosted in another window never takes that window's default button.
            if ((t.flags & kDefaultButton) && !owner.IsHostedPage())
                button->SetDefault();
            button->Bind(wxEVT_BUTTON, [&owner, id](wxCommandEvent&) {
                owner.Dispatch(EventKind::kCommand, id);
            });
            return button;
        }
        case ControlKind::kCheckBox: {
            auto* box = new wxCheckBox(at.parent, wxID_ANY, at.label, at.pos, at.size);
            box->Bind(wxEVT_CHECKBOX,
                      [&owner, id](wxCommandEvent&) { owner.Dispatch(EventKind::kCommand, id); });
            return box;
        }
        case ControlKind::kRadio: {
            auto* radio = new wxRadioButton(at.parent, wxID_ANY, at.label, at.pos, at.size,
                                            (t.flags & kGroupStart) ? wxRB_GROUP : 0);
            radio->Bind(wxEVT_RADIOBUTTON,
                        [&owner, id](wxCommandEvent&) { owner.Dispatch(EventKind::kCommand, id); });
            return radio;
        }
        default:
            return nullptr;
    }
}

void SetCheck(Control& c, bool checked) {
    if (c.kind == ControlKind::kCheckBox)
        static_cast<wxCheckBox*>(c.window)->SetValue(checked);
    else if (c.kind == ControlKind::kRadio)
        static_cast<wxRadioButton*>(c.window)->SetValue(checked);
}

bool IsChecked(const Control& c) {
    if (c.kind == ControlKind::kCheckBox)
        return static_cast<wxCheckBox*>(c.window)->GetValue();
    if (c.kind == ControlKind::kRadio)
        return static_cast<wxRadioButton*>(c.window)->GetValue();
    return false;
}

}  // namespace ui::wx
