// Message boxes on the wxWidgets backend: the toolkit's own, or answered at once in scripted runs.
#include <wx/msgdlg.h>
#include <wx/timer.h>
#include <wx/wx.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/wx_backend.h"
#include "ui/wx_internal.h"
#include "ui/wx_native.h"

namespace ui::wx {

namespace {

// The message boxes on screen, innermost last.
std::vector<WXWidget> g_openMessageBoxes;

}  // namespace

WXWidget InnermostMessageBox() {
    return g_openMessageBoxes.empty() ? nullptr : g_openMessageBoxes.back();
}

int WxBackend::MessageBox(Dialog* owner, const std::wstring& text, const std::wstring& caption,
                          unsigned style) {
    const unsigned buttons = style & kMbButtonMask;
    if (answerMessagesAutomatically) {
        std::fprintf(stderr, "message box [%s]: %s\n", ToWx(caption).utf8_string().c_str(),
                     ToWx(text).utf8_string().c_str());
        return buttons == kMbYesNo ? kIdYes : kIdOk;
    }
    long wxStyle = buttons == kMbOkCancel ? (wxOK | wxCANCEL)
                   : buttons == kMbYesNo  ? wxYES_NO
                                          : wxOK;
    switch (style & kMbIconMask) {
        case kMbIconError:
            wxStyle |= wxICON_ERROR;
            break;
        case kMbIconQuestion:
            wxStyle |= wxICON_QUESTION;
            break;
        case kMbIconExclamation:
            wxStyle |= wxICON_EXCLAMATION;
            break;
        case kMbIconInformation:
            wxStyle |= wxICON_INFORMATION;
            break;
        default:
            wxStyle |= wxICON_NONE;
            break;
    }
    wxWindow* parent = nullptr;
    if (owner && PeerWindow(*owner)) {
        parent = PeerWindow(*owner);
        while (parent && !parent->IsTopLevel())
            parent = parent->GetParent();
    }
    wxMessageDialog box(parent, ToWx(text), ToWx(caption), wxStyle);
    // The box's window exists only inside its modal run: a timer looks for it on screen.
    wxTimer watch;
    WXWidget onScreen = nullptr;
    watch.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        const WXWidget widget = box.GetHandle();
        if (!native::IsOnScreen(widget))
            return;
        watch.Stop();
        onScreen = widget;
        g_openMessageBoxes.push_back(widget);
        if (onMessageShown)
            onMessageShown(ShownMessage{text, caption, style});
    });
    watch.Start(20);
    const int shown = box.ShowModal();
    watch.Stop();
    if (onScreen)
        g_openMessageBoxes.erase(
            std::remove(g_openMessageBoxes.begin(), g_openMessageBoxes.end(), onScreen),
            g_openMessageBoxes.end());
    switch (shown) {
        case wxID_CANCEL:
            return kIdCancel;
        case wxID_YES:
            return kIdYes;
        case wxID_NO:
            return kIdNo;
        default:
            return kIdOk;
    }
}

}  // namespace ui::wx
