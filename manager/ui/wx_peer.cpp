// The peer of the wxWidgets backend: one dialog or hosted page as real windows, its controls, the
// dialog keys, the window menu and the window timers.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/datectrl.h>
#include <wx/dateevt.h>
#include <wx/dcmemory.h>
#include <wx/dialog.h>
#include <wx/iconbndl.h>
#include <wx/menu.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/wx.h>

#include <algorithm>
#include <map>
#include <vector>

#include "ui/wx_backend.h"
#include "ui/wx_internal.h"
#include "ui/wx_native.h"

namespace ui::wx {

namespace {

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

// A complete HH:MM:SS (hours 0-23, minutes and seconds 0-59), or an invalid time.
wxDateTime ParseTime(const wxString& text) {
    wxDateTime time;
    wxString::const_iterator end;
    if (text.length() != 8 || !time.ParseFormat(text, "%H:%M:%S", &end) || end != text.end())
        return wxDateTime();
    return time;
}

class WxPeer;

// The program icon, drawn rather than loaded: a camera body with its lens and record light.
wxIcon ProgramIcon(int size) {
    wxBitmap bitmap(size, size, 32);
    bitmap.UseAlpha();
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(wxColour(0, 0, 0, 0)));
        dc.Clear();
        const double u = size / 16.0;
        dc.SetPen(wxPen(wxColour(30, 40, 60), std::max(1, int(u))));
        dc.SetBrush(wxBrush(wxColour(55, 75, 110)));
        dc.DrawRoundedRectangle(int(2 * u), int(3 * u), int(12 * u), int(11 * u), 2 * u);
        dc.SetBrush(wxBrush(wxColour(200, 215, 235)));
        dc.DrawCircle(int(8 * u), int(9 * u), int(3.2 * u));
        dc.SetBrush(wxBrush(wxColour(220, 40, 40)));
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.DrawCircle(int(11.5 * u), int(5 * u), std::max(1, int(u)));
    }
    wxIcon icon;
    icon.CopyFromBitmap(bitmap);
    return icon;
}

// Tab strip height the page rectangle assumes; taller strips push the page down.
constexpr int kAssumedTabStrip = 26;

class WxPeer : public DialogPeer {
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
    const Control& ControlAt(int i) const { return controls_[size_t(i)]; }

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
            const Control& tab = host_->ControlAt(hostIndex_);
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
                native::ChangeText(static_cast<wxTextCtrl*>(c.window), ToWx(text));
                break;
            case ControlKind::kIpAddress:
                SetAddress(c, text);
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
                return FromWx(static_cast<wxTextCtrl*>(c.window)->GetValue());
            case ControlKind::kIpAddress: {
                std::wstring text;
                for (size_t f = 0; f < c.fields.size(); ++f)
                    text +=
                        FromWx(c.fields[f]->GetValue()) + (f + 1 < c.fields.size() ? L"." : L"");
                return NormalizeAddressText(text);
            }
            case ControlKind::kDropList:
                return FromWx(static_cast<wxChoice*>(c.window)->GetStringSelection());
            case ControlKind::kTab:
                return c.tabSelection >= 0 ? ItemText(i, c.tabSelection) : std::wstring();
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
    void SetTextLimit(int i, int limit) override {
        Control& c = controls_[size_t(i)];
        c.limit = limit;
        if (c.kind == ControlKind::kEdit)
            native::SetTypingLimit(static_cast<wxTextCtrl*>(c.window), limit);
    }
    int TextLimit(int i) const override { return controls_[size_t(i)].limit; }
    void SetPasswordStyle(int i, bool on) override {
        Control& c = controls_[size_t(i)];
        c.password = on;
        if (c.kind == ControlKind::kEdit)
            native::SetPasswordStyle(c.window, on);
    }
    bool IsPasswordStyle(int i) const override { return controls_[size_t(i)].password; }

    int InsertItem(int i, int position, const std::wstring& text) override {
        Control& c = controls_[size_t(i)];
        const int count = ItemCount(i);
        if (position < 0 || position > count)
            position = count;
        if (c.kind == ControlKind::kDropList) {
            static_cast<wxChoice*>(c.window)->Insert(ToWx(text), unsigned(position));
        } else if (c.kind == ControlKind::kTab) {
            auto* book = static_cast<wxNotebook*>(c.window);
            auto* placeholder = new wxPanel(book);
            // Once the toolkit places its page, the hosted pages follow below the real strip.
            placeholder->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
                event.Skip();
                for (WxPeer* page : hostedPages_)
                    page->Place();
                RaiseHostedPages();
            });
            ++programmatic_;
            book->InsertPage(size_t(position), placeholder, ToWx(text), false);
            --programmatic_;
            c.tabPlaceholders.insert(c.tabPlaceholders.begin() + position, placeholder);
            // A tab control selects its first tab; later ones keep the selection.
            if (c.tabSelection < 0 && c.tabPlaceholders.size() == 1)
                c.tabSelection = 0;
            else if (c.tabSelection >= position)
                ++c.tabSelection;
            SyncTabSelection(c);
            RaiseHostedPages();
        } else {
            return -1;
        }
        return position;
    }
    bool DeleteItem(int i, int position) override {
        Control& c = controls_[size_t(i)];
        if (position < 0 || position >= ItemCount(i))
            return false;
        if (c.kind == ControlKind::kDropList) {
            static_cast<wxChoice*>(c.window)->Delete(unsigned(position));
        } else if (c.kind == ControlKind::kTab) {
            auto* book = static_cast<wxNotebook*>(c.window);
            ++programmatic_;
            book->DeletePage(size_t(position));
            --programmatic_;
            c.tabPlaceholders.erase(c.tabPlaceholders.begin() + position);
            if (c.tabSelection == position)
                c.tabSelection = -1;
            else if (c.tabSelection > position)
                --c.tabSelection;
            SyncTabSelection(c);
            RaiseHostedPages();
        } else {
            return false;
        }
        return true;
    }
    void ClearItems(int i) override {
        Control& c = controls_[size_t(i)];
        if (c.kind == ControlKind::kDropList) {
            static_cast<wxChoice*>(c.window)->Clear();
        } else if (c.kind == ControlKind::kTab) {
            ++programmatic_;
            static_cast<wxNotebook*>(c.window)->DeleteAllPages();
            --programmatic_;
            c.tabPlaceholders.clear();
            c.tabSelection = -1;
        }
    }
    int ItemCount(int i) const override {
        const Control& c = controls_[size_t(i)];
        if (c.kind == ControlKind::kDropList)
            return int(static_cast<wxChoice*>(c.window)->GetCount());
        if (c.kind == ControlKind::kTab)
            return int(c.tabPlaceholders.size());
        return 0;
    }
    std::wstring ItemText(int i, int position) const override {
        const Control& c = controls_[size_t(i)];
        if (position < 0 || position >= ItemCount(i))
            return std::wstring();
        if (c.kind == ControlKind::kDropList)
            return FromWx(static_cast<wxChoice*>(c.window)->GetString(unsigned(position)));
        return FromWx(static_cast<wxNotebook*>(c.window)->GetPageText(size_t(position)));
    }
    void SetSelection(int i, int position) override {
        Control& c = controls_[size_t(i)];
        if (c.kind == ControlKind::kDropList) {
            static_cast<wxChoice*>(c.window)->SetSelection(position < 0 ? wxNOT_FOUND : position);
        } else if (c.kind == ControlKind::kTab) {
            c.tabSelection = position;
            SyncTabSelection(c);
        }
    }
    int Selection(int i) const override {
        const Control& c = controls_[size_t(i)];
        if (c.kind == ControlKind::kDropList) {
            const int sel = static_cast<wxChoice*>(c.window)->GetSelection();
            return sel == wxNOT_FOUND ? -1 : sel;
        }
        if (c.kind == ControlKind::kTab)
            return c.tabSelection;
        return -1;
    }
    void SetCheck(int i, bool checked) override {
        Control& c = controls_[size_t(i)];
        if (c.kind == ControlKind::kCheckBox)
            static_cast<wxCheckBox*>(c.window)->SetValue(checked);
        else if (c.kind == ControlKind::kRadio)
            static_cast<wxRadioButton*>(c.window)->SetValue(checked);
    }
    bool IsChecked(int i) const override {
        const Control& c = controls_[size_t(i)];
        if (c.kind == ControlKind::kCheckBox)
            return static_cast<wxCheckBox*>(c.window)->GetValue();
        if (c.kind == ControlKind::kRadio)
            return static_cast<wxRadioButton*>(c.window)->GetValue();
        return false;
    }
    void SetDateTime(int i, const DateTime& value) override {
        Control& c = controls_[size_t(i)];
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
    DateTime GetDateTime(int i) const override {
        const Control& c = controls_[size_t(i)];
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

    // The height of the tab strip as drawn: where the toolkit puts the pages of its notebook.
    int TabStripHeight(int i) const {
        const Control& c = controls_[size_t(i)];
        const wxWindow* top = wxGetTopLevelParent(c.window);
        if (!top || !native::IsOnScreen(top->GetHandle()))
            return kAssumedTabStrip;  // placed again once the window is on screen
        for (wxWindow* placeholder : c.tabPlaceholders) {
            if (!placeholder->IsShown())
                continue;
            const int top = placeholder->GetScreenPosition().y - c.window->GetScreenPosition().y;
            if (top > 0)
                return top;
        }
        return kAssumedTabStrip;
    }

  private:
    Control CreateControl(const ControlTemplate& t) {
        Control c;
        c.kind = t.kind;
        c.flags = t.flags;
        c.id = t.id;
        c.limit = t.textLimit;
        c.password = (t.flags & kPassword) != 0;
        const wxPoint pos = window_->ConvertDialogToPixels(wxPoint(t.x, t.y));
        const wxSize size = window_->ConvertDialogToPixels(wxSize(t.cx, t.cy));
        const wxString label = ToWx(t.label ? t.label : L"");
        wxWindow* parent = window_;
        switch (t.kind) {
            case ControlKind::kStatic:
                c.window = new wxStaticText(parent, wxID_ANY, label, pos, size, wxST_NO_AUTORESIZE);
                break;
            case ControlKind::kGroupBox:
                c.window = new wxStaticBox(parent, wxID_ANY, label, pos, size);
                break;
            case ControlKind::kButton: {
                auto* button = new wxButton(parent, wxID_ANY, label, pos, size);
                // A page hosted in another window never takes that window's default button.
                if ((t.flags & kDefaultButton) && !host_)
                    button->SetDefault();
                const int id = t.id;
                button->Bind(wxEVT_BUTTON, [this, id](wxCommandEvent&) {
                    dialog_.Dispatch(EventKind::kCommand, id);
                });
                c.window = button;
                break;
            }
            case ControlKind::kEdit: {
                long style = 0;
                if (t.flags & kPassword)
                    style |= wxTE_PASSWORD;
                if (t.flags & kReadOnly)
                    style |= wxTE_READONLY;
                if (t.flags & kMultiline)
                    style |= wxTE_MULTILINE;
                auto* edit = new wxTextCtrl(parent, wxID_ANY, label, pos, size, style);
                if (t.textLimit > 0)
                    native::SetTypingLimit(edit, t.textLimit);
                if (t.flags & kDigitsOnly)
                    BindDigitsOnly(edit);
                c.window = edit;
                break;
            }
            case ControlKind::kDropList: {
                auto* choice = new wxChoice(parent, wxID_ANY, pos, size);
                const int id = t.id;
                choice->Bind(wxEVT_CHOICE, [this, id](wxCommandEvent&) {
                    dialog_.Dispatch(EventKind::kSelChange, id);
                });
                c.window = choice;
                break;
            }
            case ControlKind::kCheckBox:
            case ControlKind::kRadio: {
                wxWindow* w;
                if (t.kind == ControlKind::kCheckBox) {
                    w = new wxCheckBox(parent, wxID_ANY, label, pos, size);
                    const int id = t.id;
                    w->Bind(wxEVT_CHECKBOX, [this, id](wxCommandEvent&) {
                        dialog_.Dispatch(EventKind::kCommand, id);
                    });
                } else {
                    w = new wxRadioButton(parent, wxID_ANY, label, pos, size,
                                          (t.flags & kGroupStart) ? wxRB_GROUP : 0);
                    const int id = t.id;
                    w->Bind(wxEVT_RADIOBUTTON, [this, id](wxCommandEvent&) {
                        dialog_.Dispatch(EventKind::kCommand, id);
                    });
                }
                c.window = w;
                break;
            }
            case ControlKind::kDatePicker:
                c.window = new wxDatePickerCtrl(parent, wxID_ANY, wxDefaultDateTime, pos, size,
                                                wxDP_DROPDOWN | wxDP_SHOWCENTURY);
                break;
            case ControlKind::kTimePicker: {
                // The toolkit's generic time picker squeezes the time behind its buttons at dialog
                // sizes; an edit holding HH:MM:SS keeps the time readable and typeable. Like the
                // platform's picker it never holds a time the user did not give: the page reads
                // the last complete HH:MM:SS the edit held (typed, or set by the program), and
                // when the edit loses the focus with anything else in it, that time comes back.
                c.lastTime = wxDateTime::Now();
                auto* edit =
                    new wxTextCtrl(parent, wxID_ANY, c.lastTime.Format("%H:%M:%S"), pos, size);
                edit->SetMaxLength(8);
                const size_t index = controls_.size();
                edit->Bind(wxEVT_TEXT, [this, index, edit](wxCommandEvent& event) {
                    event.Skip();
                    const wxDateTime typed = ParseTime(edit->GetValue());
                    if (typed.IsValid())
                        controls_[index].lastTime = typed;
                });
                edit->Bind(wxEVT_KILL_FOCUS, [this, index, edit](wxFocusEvent& event) {
                    event.Skip();
                    const wxDateTime& kept = controls_[index].lastTime;
                    if (!ParseTime(edit->GetValue()).IsValid())
                        edit->ChangeValue(kept.Format("%H:%M:%S"));
                });
                edit->Bind(wxEVT_CHAR, [](wxKeyEvent& event) {
                    const int key = event.GetKeyCode();
                    if (key < WXK_SPACE || key == WXK_DELETE || key > WXK_START ||
                        event.ControlDown() || (key >= '0' && key <= '9') || key == ':')
                        event.Skip();
                });
                c.window = edit;
                break;
            }
            case ControlKind::kIpAddress:
                c.window = CreateAddressControl(c, pos, size);
                break;
            case ControlKind::kTab: {
                auto* book = new wxNotebook(parent, wxID_ANY, pos, size);
                const int id = t.id;
                book->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this, id, book](wxBookCtrlEvent& event) {
                    if (event.GetEventObject() != book || programmatic_ > 0)
                        return;
                    Control* tab = FindById(id);
                    if (tab)
                        tab->tabSelection = event.GetSelection();
                    RaiseHostedPages();
                    dialog_.Dispatch(EventKind::kSelChange, id);
                });
                c.window = book;
                break;
            }
            case ControlKind::kImage: {
                // The program icon is drawn; other bitmaps (the banner, never shown) are blank.
                wxBitmap bitmap = t.imageId == kProgramIcon
                                      ? wxBitmap(ProgramIcon(std::min(size.x, size.y)))
                                      : wxBitmap(std::max(1, size.x), std::max(1, size.y));
                c.window = new wxStaticBitmap(parent, wxID_ANY, bitmap, pos, size);
                break;
            }
        }
        if (t.flags & kHidden)
            c.window->Hide();
        if (t.flags & kDisabled)
            c.window->Disable();
        return c;
    }

    // A digits-only edit lets through digits and the editing keys (moves, deletions, shortcuts).
    static bool DigitOrEditingKey(const wxKeyEvent& event) {
        const int key = event.GetKeyCode();
        return key < WXK_SPACE || key == WXK_DELETE || key > WXK_START || event.ControlDown() ||
               (key >= '0' && key <= '9');
    }

    static void BindDigitsOnly(wxTextCtrl* edit) {
        edit->Bind(wxEVT_CHAR, [](wxKeyEvent& event) {
            if (DigitOrEditingKey(event))
                event.Skip();
        });
    }

    wxWindow* CreateAddressControl(Control& c, const wxPoint& pos, const wxSize& size) {
        auto* panel = new wxPanel(window_, wxID_ANY, pos, size, wxBORDER_SUNKEN);
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

    // One field of an address control behaves as the platform's: digits only; a dot, or a third
    // digit, moves on to the next field (a dot only from a field that holds something), so an
    // address is typed as it is written; Backspace in an empty field goes back to the previous
    // one; a number over 255 becomes 255 when the field is left.
    static void BindAddressField(wxTextCtrl* field, wxTextCtrl* previous, wxTextCtrl* next) {
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

    static void SetAddress(Control& c, const std::wstring& text) {
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

    Control* FindById(int id) {
        for (Control& c : controls_) {
            if (c.id == id)
                return &c;
        }
        return nullptr;
    }

    void SyncTabSelection(Control& c) {
        auto* book = static_cast<wxNotebook*>(c.window);
        if (c.tabSelection >= 0 && c.tabSelection < int(book->GetPageCount())) {
            ++programmatic_;
            book->ChangeSelection(size_t(c.tabSelection));
            --programmatic_;
        }
    }

    void RaiseHostedPages() {
        for (WxPeer* page : hostedPages_) {
            if (page->window_->IsShown())
                page->window_->Raise();
        }
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
    int programmatic_ = 0;  // > 0 while the program itself changes a tab control
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
    return peer && index >= 0 ? peer->ControlAt(index).window : nullptr;
}

}  // namespace ui::wx
