// Test automation and screenshots on the wxWidgets backend: input as the toolkit would report it,
// pictures of windows, and what the accessibility interface tells a screen reader.
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/notebook.h>
#include <wx/wx.h>

#include "ui/wx_backend.h"
#include "ui/wx_internal.h"
#include "ui/wx_native.h"

namespace ui::wx {

void ProcessPending() {
    if (wxTheApp)
        wxTheApp->ProcessPendingEvents();
    native::ProcessEvents();
}

bool SaveScreenshot(Dialog& dialog, const std::string& path) {
    wxWindow* top = PeerWindow(dialog);
    while (top && !top->IsTopLevel())
        top = top->GetParent();
    if (!top || !top->IsShown())
        return false;
    top->Refresh();
    top->Update();
    ProcessPending();
    return native::SavePicture(top, path);
}

bool Click(Dialog& dialog, int id) {
    wxWindow* window = ControlWindow(dialog, id);
    if (!window)
        return false;
    if (!window->IsEnabled() || !window->IsShown())
        return false;
    const ControlKind kind = dialog.KindOf(id);
    if (kind == ControlKind::kCheckBox)
        static_cast<wxCheckBox*>(window)->SetValue(!static_cast<wxCheckBox*>(window)->GetValue());
    wxEventType type = kind == ControlKind::kCheckBox ? wxEVT_CHECKBOX
                       : kind == ControlKind::kRadio  ? wxEVT_RADIOBUTTON
                                                      : wxEVT_BUTTON;
    wxCommandEvent event(type, window->GetId());
    event.SetEventObject(window);
    return window->GetEventHandler()->ProcessEvent(event);
}

bool PressKey(Dialog& dialog, int keyCode) {
    wxWindow* window = PeerWindow(dialog);
    if (!window)
        return false;
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = keyCode;
    event.SetEventObject(window);
    return window->GetEventHandler()->ProcessEvent(event);
}

bool SelectByUser(Dialog& dialog, int id, int position) {
    wxWindow* window = ControlWindow(dialog, id);
    if (!window)
        return false;
    if (!window->IsEnabled() || position < 0 ||
        position >= dialog.Peer()->ItemCount(dialog.IndexOf(id)))
        return false;
    const ControlKind kind = dialog.KindOf(id);
    if (kind == ControlKind::kTab) {
        // SetSelection sends the page-changed notification the user's click would.
        static_cast<wxNotebook*>(window)->SetSelection(size_t(position));
        return true;
    }
    if (kind == ControlKind::kDropList) {
        auto* choice = static_cast<wxChoice*>(window);
        choice->SetSelection(position);
        wxCommandEvent event(wxEVT_CHOICE, choice->GetId());
        event.SetEventObject(choice);
        event.SetInt(position);
        return choice->GetEventHandler()->ProcessEvent(event);
    }
    return false;
}

bool FireTimer(Dialog& dialog, int id) {
    if (TimerPeriod(dialog, id) == 0)
        return false;
    dialog.Dispatch(EventKind::kTimer, id);
    return true;
}

bool MessageBoxButton(int result, wxRect& screen) {
    const WXWidget box = InnermostMessageBox();
    return box && native::ButtonRect(box, result, screen);
}

std::string AccessibleNameOf(Dialog& dialog, int id) {
    wxWindow* window = ControlWindow(dialog, id);
    return window ? native::AccessibleName(window) : std::string();
}

std::string AccessibleIdOf(Dialog& dialog, int id) {
    wxWindow* window = ControlWindow(dialog, id);
    return window ? native::AccessibleId(window) : std::string();
}

}  // namespace ui::wx
