#include "ui/headless.h"

#include <algorithm>
#include <ctime>

namespace ui::headless {

Rect DialogUnitsToPixels(int x, int y, int cx, int cy) {
    // Base units of an 8-point dialog font: 6 by 13 pixels, a dialog unit being a quarter of
    // the width and an eighth of the height.
    auto px = [](int v) { return (v * 6 + 2) / 4; };
    auto py = [](int v) { return (v * 13 + 4) / 8; };
    return Rect{px(x), py(y), px(cx), py(cy)};
}

namespace {

struct ControlState {
    ControlKind kind;
    uint32_t flags;
    std::wstring text;
    bool enabled;
    bool shown;
    Rect rect;
    int limit;
    bool password;
    std::vector<std::wstring> items;
    int selection = -1;
    bool checked = false;
    DateTime dateTime;
    std::wstring accessibleName;
};

DateTime Now() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

class HeadlessPeer : public DialogPeer {
  public:
    HeadlessPeer(HeadlessBackend& backend, Dialog& dialog, const DialogTemplate& tmpl, bool page)
        : backend_(backend), dialog_(dialog), page_(page) {
        title_ = tmpl.title ? tmpl.title : L"";
        const Rect size = DialogUnitsToPixels(0, 0, tmpl.cx, tmpl.cy);
        rect_ = Rect{0, 0, size.width, size.height};
        // Windows start hidden; Dialog::Create shows the ones whose template says so.
        for (const ControlTemplate& c : tmpl.controls) {
            ControlState s{};
            s.kind = c.kind;
            s.flags = c.flags;
            s.text = c.label ? c.label : L"";
            s.enabled = !(c.flags & kDisabled);
            s.shown = !(c.flags & kHidden);
            s.rect = DialogUnitsToPixels(c.x, c.y, c.cx, c.cy);
            s.limit = c.textLimit;
            s.password = (c.flags & kPassword) != 0;
            if (c.kind == ControlKind::kDatePicker || c.kind == ControlKind::kTimePicker)
                s.dateTime = Now();
            if (c.kind == ControlKind::kIpAddress)
                s.text = NormalizeAddressText(s.text);
            controls_.push_back(std::move(s));
        }
    }

    void SetTitle(const std::wstring& text) override { title_ = text; }
    std::wstring Title() const override { return title_; }
    void Show(bool show) override { shown_ = show; }
    bool IsShown() const override { return shown_; }
    void Enable(bool enable) override { enabled_ = enable; }
    bool IsEnabled() const override { return enabled_; }
    void Move(const Rect& rect) override { rect_ = rect; }
    Rect GetRect() const override { return rect_; }
    Rect ClientRect() const override { return Rect{0, 0, rect_.width, rect_.height}; }
    void SetClientSize(int width, int height) override {
        rect_.width = width;
        rect_.height = height;
    }
    void Raise() override {}
    bool SetIcon(int iconId) override {
        icon_ = iconId;
        return true;
    }
    int Icon() const { return icon_; }

    void SetText(int i, const std::wstring& text) override {
        ControlState& c = controls_[size_t(i)];
        if (c.kind == ControlKind::kDropList || c.kind == ControlKind::kTab)
            return;  // a list has no text of its own to set
        c.text = c.kind == ControlKind::kIpAddress ? NormalizeAddressText(text) : text;
    }
    std::wstring GetText(int i) const override {
        const ControlState& c = controls_[size_t(i)];
        if ((c.kind == ControlKind::kDropList || c.kind == ControlKind::kTab))
            return c.selection >= 0 ? c.items[size_t(c.selection)] : std::wstring();
        return c.text;
    }
    void EnableControl(int i, bool enable) override { controls_[size_t(i)].enabled = enable; }
    bool IsControlEnabled(int i) const override { return controls_[size_t(i)].enabled; }
    void ShowControl(int i, bool show) override {
        controls_[size_t(i)].shown = show;
        if (!show && focus_ == i)
            focus_ = -1;
    }
    bool IsControlShown(int i) const override { return controls_[size_t(i)].shown; }
    Rect ControlRect(int i) const override { return controls_[size_t(i)].rect; }
    void MoveControl(int i, const Rect& rect) override { controls_[size_t(i)].rect = rect; }
    void SetFocus(int i) override { focus_ = i; }
    int FocusIndex() const override { return focus_; }
    void SetTextLimit(int i, int limit) override { controls_[size_t(i)].limit = limit; }
    int TextLimit(int i) const override { return controls_[size_t(i)].limit; }
    void SetPasswordStyle(int i, bool on) override { controls_[size_t(i)].password = on; }
    bool IsPasswordStyle(int i) const override { return controls_[size_t(i)].password; }

    int InsertItem(int i, int position, const std::wstring& text) override {
        auto& items = controls_[size_t(i)].items;
        if (position < 0 || position > int(items.size()))
            position = int(items.size());
        items.insert(items.begin() + position, text);
        int& sel = controls_[size_t(i)].selection;
        // A tab control selects its first tab; lists start without a selection.
        if (controls_[size_t(i)].kind == ControlKind::kTab && items.size() == 1)
            sel = 0;
        else if (sel >= position)
            ++sel;
        return position;
    }
    bool DeleteItem(int i, int position) override {
        auto& c = controls_[size_t(i)];
        if (position < 0 || position >= int(c.items.size()))
            return false;
        c.items.erase(c.items.begin() + position);
        if (c.selection == position)
            c.selection = -1;
        else if (c.selection > position)
            --c.selection;
        return true;
    }
    void ClearItems(int i) override {
        controls_[size_t(i)].items.clear();
        controls_[size_t(i)].selection = -1;
    }
    int ItemCount(int i) const override { return int(controls_[size_t(i)].items.size()); }
    std::wstring ItemText(int i, int position) const override {
        const auto& items = controls_[size_t(i)].items;
        if (position < 0 || position >= int(items.size()))
            return std::wstring();
        return items[size_t(position)];
    }
    void SetSelection(int i, int position) override { controls_[size_t(i)].selection = position; }
    int Selection(int i) const override { return controls_[size_t(i)].selection; }
    void SetCheck(int i, bool checked) override { controls_[size_t(i)].checked = checked; }
    bool IsChecked(int i) const override { return controls_[size_t(i)].checked; }
    void SetDateTime(int i, const DateTime& value) override {
        controls_[size_t(i)].dateTime = value;
    }
    DateTime GetDateTime(int i) const override { return controls_[size_t(i)].dateTime; }
    void SetAccessibleName(int i, const std::wstring& name, int) override {
        controls_[size_t(i)].accessibleName = name;
    }

    bool AppendWindowMenuItem(int command, const std::wstring& text) override {
        if (page_)
            return false;
        menu_.push_back({command, text});
        return true;
    }
    const std::vector<std::pair<int, std::wstring>>& Menu() const { return menu_; }

    void SetTimer(int id, int milliseconds) override { timers_[id] = milliseconds; }
    void KillTimer(int id) override { timers_.erase(id); }
    int RunModal() override {
        ended_ = false;
        result_ = kIdCancel;
        if (backend_.onModal) {
            const int result = backend_.onModal(dialog_);
            if (!ended_)
                result_ = result;
        }
        return result_;
    }
    void EndModal(int result) override {
        ended_ = true;
        result_ = result;
    }

    const ControlState& State(int i) const { return controls_[size_t(i)]; }
    const std::map<int, int>& Timers() const { return timers_; }

  private:
    HeadlessBackend& backend_;
    Dialog& dialog_;
    bool page_;
    std::vector<std::pair<int, std::wstring>> menu_;
    std::wstring title_;
    bool shown_ = false;
    bool enabled_ = true;
    Rect rect_;
    std::vector<ControlState> controls_;
    int focus_ = -1;
    std::map<int, int> timers_;
    bool ended_ = false;
    int result_ = kIdCancel;
    int icon_ = 0;
};

HeadlessPeer* PeerOf(const Dialog& dialog) {
    return dynamic_cast<HeadlessPeer*>(dialog.Peer());
}

// Whether a user could reach the control: it exists, is shown and enabled, in a dialog that is
// shown and enabled.
bool Reachable(const Dialog& dialog, int id) {
    HeadlessPeer* peer = PeerOf(dialog);
    const int index = dialog.IndexOf(id);
    if (!peer || index < 0)
        return false;
    return peer->IsEnabled() && peer->IsControlShown(index) && peer->IsControlEnabled(index);
}

}  // namespace

std::unique_ptr<DialogPeer> HeadlessBackend::CreatePeer(Dialog& dialog, const DialogTemplate& tmpl,
                                                        Dialog* host, int hostIndex) {
    (void)hostIndex;
    return std::make_unique<HeadlessPeer>(*this, dialog, tmpl, host != nullptr);
}

int HeadlessBackend::MessageBox(Dialog* owner, const std::wstring& text,
                                const std::wstring& caption, unsigned style) {
    int answer;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    } else {
        answer = (style & kMbButtonMask) == kMbYesNo ? kIdYes : kIdOk;
    }
    messages_.push_back(
        RecordedMessage{owner ? owner->TemplateId() : 0, text, caption, style, answer});
    if (onMessage)
        onMessage(messages_.back());
    return answer;
}

bool Click(Dialog& dialog, int id) {
    if (!Reachable(dialog, id))
        return false;
    HeadlessPeer* peer = PeerOf(dialog);
    const int index = dialog.IndexOf(id);
    const ControlKind kind = peer->State(index).kind;
    if (kind == ControlKind::kCheckBox)
        peer->SetCheck(index, !peer->IsChecked(index));
    if (kind == ControlKind::kRadio)
        peer->SetCheck(index, true);
    // A click gives the control the focus, as the mouse does.
    peer->SetFocus(index);
    dialog.Dispatch(EventKind::kCommand, id);
    return true;
}

bool Type(Dialog& dialog, int id, const std::wstring& text) {
    if (!Reachable(dialog, id))
        return false;
    HeadlessPeer* peer = PeerOf(dialog);
    const int index = dialog.IndexOf(id);
    const ControlState& state = peer->State(index);
    if (state.kind == ControlKind::kTimePicker) {
        // As in the wxWidgets backend's time edit: a complete HH:MM:SS is taken, anything else
        // leaves the last time the picker held.
        auto two = [&](size_t at) {
            const wchar_t a = text[at], b = text[at + 1];
            return (a >= L'0' && a <= L'9' && b >= L'0' && b <= L'9') ? (a - L'0') * 10 + (b - L'0')
                                                                      : 99;
        };
        peer->SetFocus(index);
        int h = 99, m = 99, sec = 99;
        if (text.size() == 8 && text[2] == L':' && text[5] == L':') {
            h = two(0);
            m = two(3);
            sec = two(6);
        }
        if (h < 24 && m < 60 && sec < 60) {
            DateTime value = peer->GetDateTime(index);
            value.hour = h;
            value.minute = m;
            value.second = sec;
            peer->SetDateTime(index, value);
        }
        return true;
    }
    if (state.kind != ControlKind::kEdit && state.kind != ControlKind::kIpAddress)
        return false;
    std::wstring typed;
    for (wchar_t ch : text) {
        if ((state.flags & kDigitsOnly) && (ch < L'0' || ch > L'9'))
            continue;  // the edit refuses the key
        if (state.limit > 0 && int(typed.size()) >= state.limit)
            break;
        typed.push_back(ch);
    }
    peer->SetFocus(index);
    peer->SetText(index, typed);
    return true;
}

bool SelectByUser(Dialog& dialog, int id, int position) {
    if (!Reachable(dialog, id))
        return false;
    HeadlessPeer* peer = PeerOf(dialog);
    const int index = dialog.IndexOf(id);
    if (position < 0 || position >= peer->ItemCount(index))
        return false;
    peer->SetSelection(index, position);
    dialog.Dispatch(EventKind::kSelChange, id);
    return true;
}

bool PressEnter(Dialog& dialog) {
    HeadlessPeer* peer = PeerOf(dialog);
    if (!dialog.Template() || !peer)
        return false;
    // A push button with the focus is the one Enter presses.
    const int focus = peer->FocusIndex();
    if (focus >= 0 && peer->State(focus).kind == ControlKind::kButton) {
        const int id = dialog.ChildId(focus);
        if (Reachable(dialog, id)) {
            dialog.Dispatch(EventKind::kCommand, id);
            return true;
        }
    }
    dialog.PressDefaultButton();
    return true;
}

std::vector<std::pair<int, std::wstring>> WindowMenu(const Dialog& dialog) {
    HeadlessPeer* peer = PeerOf(dialog);
    return peer ? peer->Menu() : std::vector<std::pair<int, std::wstring>>{};
}

bool ChooseWindowMenuItem(Dialog& dialog, int command) {
    for (const auto& [itemCommand, text] : WindowMenu(dialog)) {
        if (itemCommand == command) {
            dialog.Dispatch(EventKind::kSysCommand, command);
            return true;
        }
    }
    return false;
}

bool PressEscape(Dialog& dialog) {
    if (!PeerOf(dialog))
        return false;
    dialog.Dispatch(EventKind::kCancel, kIdCancel);
    return true;
}

int IconOf(const Dialog& dialog) {
    HeadlessPeer* peer = PeerOf(dialog);
    return peer ? peer->Icon() : 0;
}

bool IsTimerArmed(const Dialog& dialog, int id) {
    return TimerPeriod(dialog, id) > 0;
}

int TimerPeriod(const Dialog& dialog, int id) {
    HeadlessPeer* peer = PeerOf(dialog);
    if (!peer)
        return 0;
    auto it = peer->Timers().find(id);
    return it == peer->Timers().end() ? 0 : it->second;
}

bool FireTimer(Dialog& dialog, int id) {
    if (!IsTimerArmed(dialog, id))
        return false;
    dialog.Dispatch(EventKind::kTimer, id);
    return true;
}

}  // namespace ui::headless
