// The wxWidgets backend on a toolkit other than GTK: each call falls back to what wxWidgets itself
// offers. The edit limit is the toolkit's own (on Windows it already limits only what the user
// types); accessible names are window names; the toolkit's queue is wxWidgets' queue.
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/textctrl.h>
#include <wx/window.h>
#include <wx/wx.h>

#include "ui/wx_native.h"

namespace ui::wx::native {

void PrepareNativeToolkit() {}

void SetTypingLimit(wxTextCtrl* edit, int limit) {
    edit->SetMaxLength(limit);
}

void ChangeText(wxTextCtrl* edit, const wxString& text) {
    edit->ChangeValue(text);
}

void SetPasswordStyle(wxWindow*, bool) {
    // The password style is fixed when the edit is made.
}

std::vector<WXWidget> FocusPath(wxWindow* window) {
    std::vector<WXWidget> path;
    for (wxWindow* w = wxWindow::FindFocus(); w && w != window; w = w->GetParent()) {
        if (w->IsTopLevel())
            return {};
        path.push_back(w->GetHandle());
    }
    return path;
}

bool IsOnScreen(WXWidget widget) {
    return widget != nullptr;
}

void SetAccessibleName(wxWindow* control, const std::string& name, const std::string&) {
    control->SetName(wxString::FromUTF8(name));
}

std::string AccessibleName(wxWindow* control) {
    return control->GetName().utf8_string();
}

std::string AccessibleId(wxWindow*) {
    return std::string();
}

void ApplyStyleSheet(const char*) {}

void ProcessEvents() {
    if (wxTheApp)
        wxTheApp->Yield(true);
}

bool SavePicture(wxWindow* top, const std::string& path) {
    const wxSize size = top->GetClientSize();
    wxBitmap bitmap(size);
    wxMemoryDC picture(bitmap);
    wxClientDC screen(top);
    if (!picture.Blit(0, 0, size.x, size.y, &screen, 0, 0))
        return false;
    picture.SelectObject(wxNullBitmap);
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    return bitmap.SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG);
}

bool ButtonRect(WXWidget, int, wxRect&) {
    return false;
}

}  // namespace ui::wx::native
