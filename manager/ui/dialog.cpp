#include "ui/dialog.h"

#include <algorithm>
#include <stdexcept>

namespace ui {

namespace {
Backend* g_backend = nullptr;

bool IsLabelKind(ControlKind kind) {
    return kind == ControlKind::kStatic;
}

// Controls that carry their own caption; the others are named by the label before them.
bool HasOwnCaption(ControlKind kind) {
    return kind == ControlKind::kButton || kind == ControlKind::kCheckBox ||
           kind == ControlKind::kRadio || kind == ControlKind::kGroupBox ||
           kind == ControlKind::kStatic || kind == ControlKind::kImage;
}
}  // namespace

void SetBackend(Backend* backend) {
    g_backend = backend;
}

Backend& CurrentBackend() {
    if (!g_backend)
        throw std::logic_error("ui: no backend selected");
    return *g_backend;
}

int MessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) {
    return CurrentBackend().MessageBox(nullptr, text, caption, style);
}

std::wstring NormalizeAddressText(const std::wstring& text) {
    std::wstring fields[4];
    size_t field = 0;
    for (wchar_t ch : text) {
        if (ch == L'.') {
            if (++field == 4)
                break;
        } else if (ch >= L'0' && ch <= L'9' && fields[field].size() < 3) {
            fields[field].push_back(ch);
        }
    }
    bool blank = true;
    for (const std::wstring& f : fields)
        blank = blank && f.empty();
    if (blank)
        return std::wstring();
    std::wstring out;
    for (size_t i = 0; i < 4; ++i) {
        const int value = fields[i].empty() ? 0 : std::min(255, std::stoi(fields[i]));
        out += std::to_wstring(value);
        if (i < 3)
            out += L'.';
    }
    return out;
}

Dialog::Dialog(int templateId) : templateId_(templateId) {}

Dialog::~Dialog() = default;

bool Dialog::Create(Dialog* host, int hostId) {
    if (peer_)
        return false;
    template_ = FindDialogTemplate(templateId_);
    if (!template_)
        return false;
    int hostIndex = -1;
    if (host) {
        hostIndex = host->IndexOf(hostId);
    }
    peer_ = CurrentBackend().CreatePeer(*this, *template_, host, hostIndex);
    if (!peer_)
        return false;
    UpdateAccessibleNames();
    if (host && visibleOnCreate_)
        peer_->Show(true);
    OnInitDialog();
    UpdateAccessibleNames();
    return true;
}

int Dialog::DoModal(Dialog* owner) {
    owner_ = owner;
    if (!Create(nullptr))
        return -1;
    modal_ = true;
    const int result = peer_->RunModal();
    modal_ = false;
    DestroyWindow();
    owner_ = nullptr;
    return result;
}

void Dialog::EndDialog(int result) {
    if (peer_)
        peer_->EndModal(result);
}

void Dialog::DestroyWindow() {
    if (!peer_)
        return;
    OnDestroy();
    peer_.reset();
}

void Dialog::SetWindowText(const std::wstring& text) {
    if (peer_)
        peer_->SetTitle(text);
}

std::wstring Dialog::GetWindowText() const {
    return peer_ ? peer_->Title() : std::wstring();
}

void Dialog::ShowWindow(bool show) {
    if (!peer_)
        return;
    peer_->Show(show);
    if (show)
        peer_->Raise();
}

bool Dialog::IsWindowVisible() const {
    return peer_ && peer_->IsShown();
}

void Dialog::EnableWindow(bool enable) {
    if (peer_)
        peer_->Enable(enable);
}

bool Dialog::IsWindowEnabled() const {
    return peer_ && peer_->IsEnabled();
}

void Dialog::MoveWindow(const Rect& rect) {
    if (peer_)
        peer_->Move(rect);
}

Rect Dialog::GetWindowRect() const {
    return peer_ ? peer_->GetRect() : Rect{};
}

Rect Dialog::GetClientRect() const {
    return peer_ ? peer_->ClientRect() : Rect{};
}

void Dialog::SetClientSize(int width, int height) {
    if (peer_)
        peer_->SetClientSize(width, height);
}

bool Dialog::SetIcon(int iconId) {
    return peer_ && peer_->SetIcon(iconId);
}

int Dialog::ChildCount() const {
    return template_ ? int(template_->controls.size()) : 0;
}

int Dialog::ChildId(int index) const {
    if (!template_ || index < 0 || index >= ChildCount())
        return -1;
    return template_->controls[size_t(index)].id;
}

void Dialog::SetChildText(int index, const std::wstring& text) {
    if (!peer_ || index < 0 || index >= ChildCount())
        return;
    peer_->SetText(index, text);
    UpdateAccessibleNames();
}

int Dialog::IndexOf(int id) const {
    if (!template_ || id == -1)
        return -1;
    for (size_t i = 0; i < template_->controls.size(); ++i) {
        if (template_->controls[i].id == id)
            return int(i);
    }
    return -1;
}

bool Dialog::HasControl(int id) const {
    return IndexOf(id) >= 0;
}

ControlKind Dialog::KindOf(int id) const {
    const int index = IndexOf(id);
    return index < 0 ? ControlKind::kStatic : template_->controls[size_t(index)].kind;
}

// Every by-id operation: nothing happens for an id the dialog does not have.
#define UI_WITH_INDEX(id, fallback) \
    const int index = IndexOf(id);  \
    if (!peer_ || index < 0)        \
        return fallback;

void Dialog::SetDlgItemText(int id, const std::wstring& text) {
    UI_WITH_INDEX(id, );
    peer_->SetText(index, text);
    if (IsLabelKind(template_->controls[size_t(index)].kind) ||
        HasOwnCaption(template_->controls[size_t(index)].kind))
        UpdateAccessibleNames();
}

std::wstring Dialog::GetDlgItemText(int id) const {
    UI_WITH_INDEX(id, std::wstring());
    return peer_->GetText(index);
}

void Dialog::EnableControl(int id, bool enable) {
    UI_WITH_INDEX(id, );
    peer_->EnableControl(index, enable);
}

bool Dialog::IsControlEnabled(int id) const {
    UI_WITH_INDEX(id, false);
    return peer_->IsControlEnabled(index);
}

void Dialog::ShowControl(int id, bool show) {
    UI_WITH_INDEX(id, );
    peer_->ShowControl(index, show);
}

bool Dialog::IsControlVisible(int id) const {
    UI_WITH_INDEX(id, false);
    return peer_->IsControlShown(index);
}

Rect Dialog::GetControlRect(int id) const {
    UI_WITH_INDEX(id, Rect{});
    return peer_->ControlRect(index);
}

void Dialog::MoveControl(int id, const Rect& rect) {
    UI_WITH_INDEX(id, );
    peer_->MoveControl(index, rect);
}

void Dialog::SetFocusTo(int id) {
    UI_WITH_INDEX(id, );
    peer_->SetFocus(index);
}

int Dialog::GetFocusId() const {
    if (!peer_)
        return 0;
    const int index = peer_->FocusIndex();
    return index < 0 ? 0 : ChildId(index);
}

void Dialog::LimitText(int id, int characters) {
    UI_WITH_INDEX(id, );
    peer_->SetTextLimit(index, characters);
}

int Dialog::GetTextLimit(int id) const {
    UI_WITH_INDEX(id, 0);
    return peer_->TextLimit(index);
}

void Dialog::SetPasswordStyle(int id, bool on) {
    UI_WITH_INDEX(id, );
    peer_->SetPasswordStyle(index, on);
}

bool Dialog::IsPasswordStyle(int id) const {
    UI_WITH_INDEX(id, false);
    return peer_->IsPasswordStyle(index);
}

int Dialog::InsertString(int id, int position, const std::wstring& text) {
    UI_WITH_INDEX(id, -1);
    return peer_->InsertItem(index, position, text);
}

bool Dialog::DeleteItem(int id, int position) {
    UI_WITH_INDEX(id, false);
    return peer_->DeleteItem(index, position);
}

void Dialog::ResetContent(int id) {
    UI_WITH_INDEX(id, );
    peer_->ClearItems(index);
}

int Dialog::GetCount(int id) const {
    UI_WITH_INDEX(id, 0);
    return peer_->ItemCount(index);
}

std::wstring Dialog::GetItemText(int id, int position) const {
    UI_WITH_INDEX(id, std::wstring());
    return peer_->ItemText(index, position);
}

void Dialog::SetCurSel(int id, int position) {
    UI_WITH_INDEX(id, );
    if (position < 0 || position >= peer_->ItemCount(index))
        position = -1;
    peer_->SetSelection(index, position);
}

int Dialog::GetCurSel(int id) const {
    UI_WITH_INDEX(id, -1);
    return peer_->Selection(index);
}

void Dialog::SetCheck(int id, bool checked) {
    UI_WITH_INDEX(id, );
    peer_->SetCheck(index, checked);
}

bool Dialog::GetCheck(int id) const {
    UI_WITH_INDEX(id, false);
    return peer_->IsChecked(index);
}

void Dialog::SetDateTime(int id, const DateTime& value) {
    UI_WITH_INDEX(id, );
    peer_->SetDateTime(index, value);
}

DateTime Dialog::GetDateTime(int id) const {
    UI_WITH_INDEX(id, DateTime{});
    return peer_->GetDateTime(index);
}

#undef UI_WITH_INDEX

std::wstring Dialog::AccessibleName(int id) const {
    const int index = IndexOf(id);
    if (!peer_ || index < 0)
        return std::wstring();
    const ControlKind kind = template_->controls[size_t(index)].kind;
    if (HasOwnCaption(kind))
        return peer_->GetText(index);
    // The label is the static that directly precedes the control; a control without one (the
    // tab control, whose tabs carry their own titles) has no name of its own.
    if (index > 0 && IsLabelKind(template_->controls[size_t(index) - 1].kind))
        return peer_->GetText(index - 1);
    return std::wstring();
}

void Dialog::UpdateAccessibleNames() {
    if (!peer_)
        return;
    for (int i = 0; i < ChildCount(); ++i) {
        const int id = template_->controls[size_t(i)].id;
        const std::wstring name = id == -1 ? peer_->GetText(i) : AccessibleName(id);
        peer_->SetAccessibleName(i, name, id);
    }
}

void Dialog::OnCommand(int id, std::function<void()> handler) {
    commandHandlers_[id] = std::move(handler);
}

void Dialog::OnSelChange(int id, std::function<void()> handler) {
    selChangeHandlers_[id] = std::move(handler);
}

void Dialog::SetTimer(int id, int milliseconds) {
    if (peer_)
        peer_->SetTimer(id, milliseconds);
}

void Dialog::KillTimer(int id) {
    if (peer_)
        peer_->KillTimer(id);
}

int Dialog::MessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) {
    return CurrentBackend().MessageBox(this, text, caption, style);
}

bool Dialog::AppendWindowMenuItem(int command, const std::wstring& text) {
    return peer_ && peer_->AppendWindowMenuItem(command, text);
}

void Dialog::Dispatch(EventKind kind, int id) {
    switch (kind) {
        case EventKind::kCommand: {
            auto it = commandHandlers_.find(id);
            if (it != commandHandlers_.end()) {
                // A handler may replace itself; run a copy.
                auto handler = it->second;
                handler();
            } else if (id == kIdOk) {
                OnOK();
            } else if (id == kIdCancel) {
                OnCancel();
            }
            break;
        }
        case EventKind::kSelChange: {
            auto it = selChangeHandlers_.find(id);
            if (it != selChangeHandlers_.end()) {
                auto handler = it->second;
                handler();
            }
            break;
        }
        case EventKind::kTimer:
            OnTimer(id);
            break;
        case EventKind::kOk:
            // IDOK and IDCANCEL are commands like any other: a handler of the button with that
            // id runs in place of the default one.
            Dispatch(EventKind::kCommand, kIdOk);
            break;
        case EventKind::kCancel:
            Dispatch(EventKind::kCommand, kIdCancel);
            break;
        case EventKind::kSysCommand:
            OnSysCommand(id);
            break;
    }
}

void Dialog::PressDefaultButton() {
    if (!peer_ || !template_)
        return;
    for (size_t i = 0; i < template_->controls.size(); ++i) {
        const ControlTemplate& c = template_->controls[i];
        if (c.kind != ControlKind::kButton || !(c.flags & kDefaultButton))
            continue;
        if (peer_->IsEnabled() && peer_->IsControlEnabled(int(i)) && peer_->IsControlShown(int(i)))
            Dispatch(EventKind::kCommand, c.id);
        return;
    }
    Dispatch(EventKind::kOk, kIdOk);
}

}  // namespace ui
