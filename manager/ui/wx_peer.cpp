// The peer of the wxWidgets backend: one dialog or hosted page as a real window holding its
// controls (created and handled by their families, wx_controls.h), with the dialog keys, the
// window menu and the window timers.
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/iconbndl.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/wx.h>

#include <algorithm>
#include <map>
#include <vector>

#include "ui/wx_backend.h"
#include "ui/wx_controls.h"
#include "ui/wx_internal.h"
#include "ui/wx_native.h"

namespace ui::wx {

namespace {

class WxPeer : public DialogPeer, public ControlOwner {
  public:
    WxPeer(WxBackend& backend, Dialog& dialog, const DialogTemplate& tmpl, WxPeer* host,
           int hostIndex)
        : backend_(backend), dialog_(dialog), host_(host), hostIndex_(hostIndex) {
        if (host) {
            auto* panel = new wxPanel(host->window_, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                      wxTAB_TRAVERSAL | wxNO_BORDER);
            panel->Hide();
            window_ = panel;
            host->hostedPages_.push_back(this);
        } else {
            // A modal run stays above the window that owns it.
            wxWindow* owner = nullptr;
            if (dialog.ModalOwner() && dialog.ModalOwner()->Peer())
                owner =
                    wxGetTopLevelParent(static_cast<WxPeer*>(dialog.ModalOwner()->Peer())->window_);
            auto* dlg = new wxDialog(owner, wxID_ANY, ToWx(tmpl.title ? tmpl.title : L""),
                                     wxDefaultPosition, wxDefaultSize,
                                     wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
            window_ = dlg;
            dlg->Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
                event.Veto();
                dialog_.Dispatch(EventKind::kCancel, kIdCancel);
            });
            dlg->Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) { OnCharHook(event); });
            dlg->Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent&) { ShowWindowMenu(); });
        }
        const wxSize size = window_->ConvertDialogToPixels(wxSize(tmpl.cx, tmpl.cy));
        window_->SetClientSize(size);
        for (const ControlTemplate& c : tmpl.controls)
            controls_.push_back(CreateControl(c));
    }

    ~WxPeer() override {
        for (auto& [id, timer] : timers_)
            timer->Stop();
        timers_.clear();
        if (host_) {
            auto& pages = host_->hostedPages_;
            pages.erase(std::remove(pages.begin(), pages.end(), this), pages.end());
        }
        window_->Destroy();
    }

    wxWindow* Window() const { return window_; }
    WxPeer* Host() const { return host_; }

    void SetTitle(const std::wstring& text) override {
        title_ = text;
        if (!host_)
            window_->SetLabel(ToWx(text));
    }
    std::wstring Title() const override { return host_ ? title_ : FromWx(window_->GetLabel()); }
    void Show(bool show) override { window_->Show(show); }
    bool IsShown() const override { return window_->IsShown(); }
    void Enable(bool enable) override { window_->Enable(enable); }
    bool IsEnabled() const override { return window_->IsThisEnabled(); }
    void Move(const Rect& rect) override {
        requested_ = rect;
        moved_ = true;
        Place();
    }
    // Puts a hosted page where its owner asked, below the tab strip as the toolkit draws it.
    void Place() {
        if (!moved_)
            return;
        const Rect& rect = requested_;
        if (host_ && hostIndex_ >= 0) {
            const Control& tab = host_->ControlAt(size_t(hostIndex_));
            const wxPoint origin = tab.window->GetPosition();
            int extra = 0;
            if (tab.kind == ControlKind::kTab)
                extra = std::max(0, host_->TabStripHeight(hostIndex_) - kAssumedTabStrip);
            window_->SetSize(origin.x + rect.x, origin.y + rect.y + extra, rect.width,
                             std::max(0, rect.height - extra));
        } else {
            window_->SetSize(rect.x, rect.y, rect.width, rect.height);
        }
    }
    Rect GetRect() const override {
        const wxRect r = window_->GetRect();
        return Rect{r.x, r.y, r.width, r.height};
    }
    Rect ClientRect() const override {
        const wxSize s = window_->GetClientSize();
        return Rect{0, 0, s.x, s.y};
    }
    void SetClientSize(int width, int height) override { window_->SetClientSize(width, height); }
    void Raise() override { window_->Raise(); }
    bool SetIcon(int iconId) override {
        auto* top = wxDynamicCast(window_, wxTopLevelWindow);
        if (!top || iconId != kProgramIcon)
            return false;
        wxIconBundle icons;
        for (int size : {16, 32, 48})
            icons.AddIcon(ProgramIcon(size));
        top->SetIcons(icons);
        return true;
    }

    void SetText(int i, const std::wstring& text) override {
        Control& c = controls_[size_t(i)];
        switch (c.kind) {
            case ControlKind::kEdit:
            case ControlKind::kIpAddress:
                SetEditText(c, text);
                break;
            case ControlKind::kDropList:
            case ControlKind::kTab:
            case ControlKind::kDatePicker:
            case ControlKind::kTimePicker:
            case ControlKind::kImage:
                break;  // these show no text of their own
            case ControlKind::kStatic:
                static_cast<wxStaticText*>(c.window)->SetLabel(ToWx(text));
                break;
            default:
                c.window->SetLabel(ToWx(text));
                break;
        }
    }
    std::wstring GetText(int i) const override {
        const Control& c = controls_[size_t(i)];
        switch (c.kind) {
            case ControlKind::kEdit:
            case ControlKind::kIpAddress:
                return EditText(c);
            case ControlKind::kDropList:
            case ControlKind::kTab:
                return ListText(c);
            case ControlKind::kStatic:
                return FromWx(static_cast<wxStaticText*>(c.window)->GetLabel());
            default:
                return FromWx(c.window->GetLabel());
        }
    }
    void EnableControl(int i, bool enable) override { controls_[size_t(i)].window->Enable(enable); }
    bool IsControlEnabled(int i) const override {
        return controls_[size_t(i)].window->IsThisEnabled();
    }
    void ShowControl(int i, bool show) override { controls_[size_t(i)].window->Show(show); }
    bool IsControlShown(int i) const override { return controls_[size_t(i)].window->IsShown(); }
    Rect ControlRect(int i) const override {
        const wxRect r = controls_[size_t(i)].window->GetRect();
        return Rect{r.x, r.y, r.width, r.height};
    }
    void MoveControl(int i, const Rect& rect) override {
        controls_[size_t(i)].window->SetSize(rect.x, rect.y, rect.width, rect.height);
        if (controls_[size_t(i)].kind == ControlKind::kTab)
            RaiseHostedPages();
    }
    void SetFocus(int i) override {
        Control& c = controls_[size_t(i)];
        if (c.kind == ControlKind::kIpAddress && !c.fields.empty())
            c.fields[0]->SetFocus();
        else
            c.window->SetFocus();
    }
    // The control holding the focus of the dialog's window (the toolkit's focus widget of the
    // top-level window, whether or not that window is the active one), or -1. The focus may sit
    // in an inner widget of a composite control (the entry of a date picker, a field of an
    // address control).
    int FocusIndex() const override {
        for (WXWidget w : native::FocusPath(window_)) {
            for (size_t i = 0; i < controls_.size(); ++i) {
                if (controls_[i].window->GetHandle() == w)
                    return int(i);
            }
        }
        return -1;
    }
    void SetTextLimit(int i, int limit) override { wx::SetTextLimit(controls_[size_t(i)], limit); }
    int TextLimit(int i) const override { return controls_[size_t(i)].limit; }
    void SetPasswordStyle(int i, bool on) override {
        wx::SetPasswordStyle(controls_[size_t(i)], on);
    }
    bool IsPasswordStyle(int i) const override { return controls_[size_t(i)].password; }

    int InsertItem(int i, int position, const std::wstring& text) override {
        return wx::InsertItem(*this, controls_[size_t(i)], position, text);
    }
    bool DeleteItem(int i, int position) override {
        return wx::DeleteItem(*this, controls_[size_t(i)], position);
    }
    void ClearItems(int i) override { wx::ClearItems(*this, controls_[size_t(i)]); }
    int ItemCount(int i) const override { return wx::ItemCount(controls_[size_t(i)]); }
    std::wstring ItemText(int i, int position) const override {
        return wx::ItemText(controls_[size_t(i)], position);
    }
    void SetSelection(int i, int position) override {
        wx::SetSelection(*this, controls_[size_t(i)], position);
    }
    int Selection(int i) const override { return wx::Selection(controls_[size_t(i)]); }
    void SetCheck(int i, bool checked) override { wx::SetCheck(controls_[size_t(i)], checked); }
    bool IsChecked(int i) const override { return wx::IsChecked(controls_[size_t(i)]); }
    void SetDateTime(int i, const DateTime& value) override {
        wx::SetDateTime(controls_[size_t(i)], value);
    }
    DateTime GetDateTime(int i) const override { return wx::GetDateTime(controls_[size_t(i)]); }
    void SetAccessibleName(int i, const std::wstring& name, int id) override {
        native::SetAccessibleName(controls_[size_t(i)].window, ToWx(name).utf8_string(),
                                  id == -1 ? std::string() : std::to_string(id));
    }

    bool AppendWindowMenuItem(int command, const std::wstring& text) override {
        if (host_)
            return false;
        menu_.push_back({command, text});
        return true;
    }

    void SetTimer(int id, int milliseconds) override {
        periods_[id] = milliseconds;
        if (backend_.manualTimers)
            return;
        auto& timer = timers_[id];
        if (!timer) {
            timer = std::make_unique<wxTimer>();
            timer->Bind(wxEVT_TIMER,
                        [this, id](wxTimerEvent&) { dialog_.Dispatch(EventKind::kTimer, id); });
        }
        timer->Start(milliseconds);
    }
    int TimerPeriod(int id) const {
        auto it = periods_.find(id);
        return it == periods_.end() ? 0 : it->second;
    }
    void KillTimer(int id) override {
        periods_.erase(id);
        auto it = timers_.find(id);
        if (it != timers_.end())
            it->second->Stop();
    }
    int RunModal() override {
        auto* dlg = wxDynamicCast(window_, wxDialog);
        if (!dlg)
            return kIdCancel;
        if (ended_)
            return result_;
        if (backend_.onModalShown)
            dlg->CallAfter([this] {
                if (backend_.onModalShown)
                    backend_.onModalShown(dialog_);
            });
        dlg->Centre();
        return dlg->ShowModal();
    }
    void EndModal(int result) override {
        auto* dlg = wxDynamicCast(window_, wxDialog);
        ended_ = true;
        result_ = result;
        if (dlg && dlg->IsModal())
            dlg->EndModal(result);
    }

    int TabStripHeight(int i) const { return wx::TabStripHeight(controls_[size_t(i)]); }

    // ControlOwner
    void Dispatch(EventKind kind, int id) override { dialog_.Dispatch(kind, id); }
    bool IsHostedPage() const override { return host_ != nullptr; }
    Control& ControlAt(size_t index) override { return controls_[index]; }
    Control* FindById(int id) override {
        for (Control& c : controls_) {
            if (c.id == id)
                return &c;
        }
        return nullptr;
    }
    void PlaceHostedPages() override {
        for (WxPeer* page : hostedPages_)
            page->Place();
    }
    void RaiseHostedPages() override {
        for (WxPeer* page : hostedPages_) {
            if (page->window_->IsShown())
                page->window_->Raise();
        }
    }

  private:
    Control CreateControl(const ControlTemplate& t) {
        Control c;
        c.kind = t.kind;
        c.flags = t.flags;
        c.id = t.id;
        c.limit = t.textLimit;
        c.password = (t.flags & kPassword) != 0;
        const ControlPlace at{window_, window_->ConvertDialogToPixels(wxPoint(t.x, t.y)),
                              window_->ConvertDialogToPixels(wxSize(t.cx, t.cy)),
                              ToWx(t.label ? t.label : L"")};
        switch (t.kind) {
            case ControlKind::kStatic:
            case ControlKind::kGroupBox:
            case ControlKind::kImage:
                c.window = CreateStaticControl(t, at);
                break;
            case ControlKind::kButton:
            case ControlKind::kCheckBox:
            case ControlKind::kRadio:
                c.window = CreateButtonControl(*this, t, at);
                break;
            case ControlKind::kEdit:
            case ControlKind::kDatePicker:
            case ControlKind::kTimePicker:
            case ControlKind::kIpAddress:
                c.window = CreateTextControl(*this, c, controls_.size(), t, at);
                break;
            case ControlKind::kDropList:
            case ControlKind::kTab:
                c.window = CreateListControl(*this, t, at);
                break;
        }
        if (t.flags & kHidden)
            c.window->Hide();
        if (t.flags & kDisabled)
            c.window->Disable();
        return c;
    }

    void OnCharHook(wxKeyEvent& event) {
        const int key = event.GetKeyCode();
        if (key == WXK_ESCAPE) {
            dialog_.Dispatch(EventKind::kCancel, kIdCancel);
            return;
        }
        if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER) {
            // A focused push button (in this window or a page it hosts) is pressed by the toolkit
            // itself, as is a new line in a multi-line edit; any other Enter is the dialog's.
            wxWindow* focus = wxWindow::FindFocus();
            auto* edit = dynamic_cast<wxTextCtrl*>(focus);
            if (dynamic_cast<wxButton*>(focus) || (edit && edit->IsMultiLine())) {
                event.Skip();
                return;
            }
            dialog_.PressDefaultButton();
            return;
        }
        if (key == WXK_F1 && !menu_.empty()) {
            dialog_.Dispatch(EventKind::kSysCommand, menu_.front().first);
            return;
        }
        if ((key == WXK_F10 && event.ShiftDown()) || key == WXK_MENU || key == WXK_WINDOWS_MENU) {
            ShowWindowMenu();
            return;
        }
        event.Skip();
    }

    void ShowWindowMenu() {
        if (menu_.empty())
            return;
        wxMenu menu;
        menu.AppendSeparator();
        for (const auto& [command, text] : menu_)
            menu.Append(wxID_HIGHEST + command, ToWx(text));
        const int chosen = window_->GetPopupMenuSelectionFromUser(menu);
        if (chosen != wxID_NONE)
            dialog_.Dispatch(EventKind::kSysCommand, chosen - wxID_HIGHEST);
    }

    WxBackend& backend_;
    Dialog& dialog_;
    WxPeer* host_;
    int hostIndex_;
    wxWindow* window_ = nullptr;
    std::wstring title_;
    std::vector<Control> controls_;
    std::vector<WxPeer*> hostedPages_;
    Rect requested_;
    bool moved_ = false;
    std::vector<std::pair<int, std::wstring>> menu_;
    std::map<int, std::unique_ptr<wxTimer>> timers_;
    std::map<int, int> periods_;  // armed timers and their periods
    bool ended_ = false;
    int result_ = kIdCancel;
};

WxPeer* PeerOf(Dialog& dialog) {
    return dynamic_cast<WxPeer*>(dialog.Peer());
}

}  // namespace

std::unique_ptr<DialogPeer> WxBackend::CreatePeer(Dialog& dialog, const DialogTemplate& tmpl,
                                                  Dialog* host, int hostIndex) {
    ApplyStyleOnce();
    WxPeer* hostPeer = host ? PeerOf(*host) : nullptr;
    if (host && !hostPeer)
        return nullptr;
    return std::make_unique<WxPeer>(*this, dialog, tmpl, hostPeer, hostIndex);
}

wxWindow* PeerWindow(Dialog& dialog) {
    WxPeer* peer = PeerOf(dialog);
    return peer ? peer->Window() : nullptr;
}

int TimerPeriod(Dialog& dialog, int id) {
    WxPeer* peer = PeerOf(dialog);
    return peer ? peer->TimerPeriod(id) : 0;
}

wxWindow* ControlWindow(Dialog& dialog, int id) {
    WxPeer* peer = PeerOf(dialog);
    const int index = dialog.IndexOf(id);
    return peer && index >= 0 ? peer->ControlAt(size_t(index)).window : nullptr;
}

}  // namespace ui::wx
