// The dialog layer: dialogs built from templates, controls addressed by their fixed numeric ids,
// command and selection handlers, window timers, message boxes and modal runs.
//
// Pages and dialogs are written against ui::Dialog only. What draws them is a backend chosen
// once per process (ui::SetBackend): the wxWidgets backend for the program, the headless backend
// for the tests. A backend creates one DialogPeer per dialog window; the Dialog forwards every
// operation to it and receives the user's actions back through Dispatch.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "text/labelled_window.h"
#include "ui/dialog_template.h"

namespace ui {

// Message box styles and results keep the numbers of the platform the program was designed on,
// so that a style such as 0x30 (exclamation icon, OK) reads the same everywhere.
enum MessageBoxStyle : unsigned {
    kMbOk = 0x00,
    kMbOkCancel = 0x01,
    kMbYesNo = 0x04,
    kMbIconError = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconExclamation = 0x30,
    kMbIconInformation = 0x40,
};
constexpr unsigned kMbButtonMask = 0x0F;
constexpr unsigned kMbIconMask = 0xF0;

enum DialogResult : int {
    kIdOk = 1,
    kIdCancel = 2,
    kIdYes = 6,
    kIdNo = 7,
};

// Pixels. For a control: relative to its dialog's client area; for a page: relative to the
// client area of the control that hosts it.
struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool operator==(const Rect&) const = default;
};

// What date and time pickers hold. month 1-12, day 1-31, hour 0-23.
struct DateTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
    bool operator==(const DateTime&) const = default;
};

// The text an IP address control holds once given `text`, the same in every backend: up to four
// fields split at '.', each keeping its digits only (at most three, at most 255); the empty text
// when every field is empty, otherwise the four fields joined by '.' with an empty field as 0.
std::wstring NormalizeAddressText(const std::wstring& text);

enum class EventKind {
    kCommand,     // button clicked, check box or radio button toggled
    kSelChange,   // the user changed the selection of a list or a tab control
    kTimer,       // a window timer fired (id = timer id)
    kOk,          // the dialog's OK command (IDOK), as Enter sends it without a default button
    kCancel,      // Escape or the close box: the dialog's cancel command (IDCANCEL)
    kSysCommand,  // a command of the window menu (id = command)
};

class Dialog;

// One dialog window of a backend. Controls are addressed by their index in the template, which
// is also the order of the dialog's direct children.
class DialogPeer {
  public:
    virtual ~DialogPeer() = default;

    virtual void SetTitle(const std::wstring& text) = 0;
    virtual std::wstring Title() const = 0;
    virtual void Show(bool show) = 0;
    virtual bool IsShown() const = 0;
    virtual void Enable(bool enable) = 0;
    virtual bool IsEnabled() const = 0;
    virtual void Move(const Rect& rect) = 0;  // pages: within the host control's client area
    virtual Rect GetRect() const = 0;
    virtual Rect ClientRect() const = 0;  // x = y = 0
    virtual void SetClientSize(int width, int height) = 0;
    virtual void Raise() = 0;
    // The window's icon in both sizes, from an icon resource number. False when there is none.
    virtual bool SetIcon(int iconId) = 0;

    virtual void SetText(int index, const std::wstring& text) = 0;
    virtual std::wstring GetText(int index) const = 0;
    virtual void EnableControl(int index, bool enable) = 0;
    virtual bool IsControlEnabled(int index) const = 0;
    virtual void ShowControl(int index, bool show) = 0;
    virtual bool IsControlShown(int index) const = 0;
    virtual Rect ControlRect(int index) const = 0;
    virtual void MoveControl(int index, const Rect& rect) = 0;
    virtual void SetFocus(int index) = 0;
    virtual int FocusIndex() const = 0;  // -1 when no control of the dialog has the focus
    virtual void SetTextLimit(int index, int limit) = 0;
    virtual int TextLimit(int index) const = 0;
    virtual void SetPasswordStyle(int index, bool on) = 0;
    virtual bool IsPasswordStyle(int index) const = 0;
    // Lists and tab controls: entries by position; selection -1 for none.
    virtual int InsertItem(int index, int position, const std::wstring& text) = 0;
    virtual bool DeleteItem(int index, int position) = 0;
    virtual void ClearItems(int index) = 0;
    virtual int ItemCount(int index) const = 0;
    virtual std::wstring ItemText(int index, int position) const = 0;
    virtual void SetSelection(int index, int position) = 0;
    virtual int Selection(int index) const = 0;
    virtual void SetCheck(int index, bool checked) = 0;
    virtual bool IsChecked(int index) const = 0;
    virtual void SetDateTime(int index, const DateTime& value) = 0;
    virtual DateTime GetDateTime(int index) const = 0;
    virtual void SetAccessibleName(int index, const std::wstring& name, int id) = 0;

    // The window menu: a separator and then an item that reports kSysCommand with command. False
    // when the window has no such menu.
    virtual bool AppendWindowMenuItem(int command, const std::wstring& text) = 0;

    virtual void SetTimer(int id, int milliseconds) = 0;
    virtual void KillTimer(int id) = 0;
    virtual int RunModal() = 0;
    virtual void EndModal(int result) = 0;
};

// Creates the windows. One backend serves the whole process.
class Backend {
  public:
    virtual ~Backend() = default;
    // host: the dialog whose control hostIndex hosts the new page, or null for a top-level window.
    virtual std::unique_ptr<DialogPeer> CreatePeer(Dialog& dialog, const DialogTemplate& tmpl,
                                                   Dialog* host, int hostIndex) = 0;
    // owner may be null. Returns one of DialogResult.
    virtual int MessageBox(Dialog* owner, const std::wstring& text, const std::wstring& caption,
                           unsigned style) = 0;
};

void SetBackend(Backend* backend);
Backend& CurrentBackend();

// A message box without owner window.
int MessageBox(const std::wstring& text, const std::wstring& caption, unsigned style);

class Dialog : public lang::LabelledWindow {
  public:
    explicit Dialog(int templateId);
    ~Dialog() override;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    int TemplateId() const { return templateId_; }

    // Creates the window from the template, as a page inside control hostId of host, or as a
    // top-level window when host is null, and runs OnInitDialog. False when the template is
    // missing or the window exists already.
    bool Create(Dialog* host = nullptr, int hostId = 0);
    // Creates the window, runs it modally and destroys it. Returns the EndDialog result, or -1
    // when the window could not be created.
    int DoModal(Dialog* owner = nullptr);
    void EndDialog(int result);
    void DestroyWindow();
    bool IsCreated() const { return peer_ != nullptr; }

    // The window as a whole.
    void SetWindowText(const std::wstring& text) override;
    std::wstring GetWindowText() const;
    void ShowWindow(bool show);
    bool IsWindowVisible() const;
    void EnableWindow(bool enable);
    bool IsWindowEnabled() const;
    void MoveWindow(const Rect& rect);
    Rect GetWindowRect() const;
    Rect GetClientRect() const;
    void SetClientSize(int width, int height);
    // Title-bar icon (large and small) from an icon resource number.
    bool SetIcon(int iconId);

    // LabelledWindow: the template's controls are the direct children.
    int ChildCount() const override;
    int ChildId(int index) const override;
    void SetChildText(int index, const std::wstring& text) override;

    // Controls by id. An id the template does not have is ignored (getters give empty values),
    // as the platform ignores calls on a missing child.
    bool HasControl(int id) const;
    ControlKind KindOf(int id) const;  // kStatic for a missing id
    void SetDlgItemText(int id, const std::wstring& text);
    std::wstring GetDlgItemText(int id) const;
    void EnableControl(int id, bool enable);
    bool IsControlEnabled(int id) const;
    void ShowControl(int id, bool show);
    bool IsControlVisible(int id) const;
    Rect GetControlRect(int id) const;
    void MoveControl(int id, const Rect& rect);
    void SetFocusTo(int id);
    int GetFocusId() const;  // 0 when no control has the focus
    void LimitText(int id, int characters);
    int GetTextLimit(int id) const;
    void SetPasswordStyle(int id, bool on);
    bool IsPasswordStyle(int id) const;
    int InsertString(int id, int position, const std::wstring& text);  // list or tab control
    bool DeleteItem(int id, int position);
    void ResetContent(int id);
    int GetCount(int id) const;
    std::wstring GetItemText(int id, int position) const;
    void SetCurSel(int id, int position);  // -1 or a position past the end: no selection
    int GetCurSel(int id) const;
    void SetCheck(int id, bool checked);
    bool GetCheck(int id) const;
    void SetDateTime(int id, const DateTime& value);
    DateTime GetDateTime(int id) const;

    // The name an accessibility client hears for a control: a button's or a check box's own
    // caption; for an input control the text of the label directly before it in the template.
    std::wstring AccessibleName(int id) const;

    // Handlers.
    void OnCommand(int id, std::function<void()> handler);
    void OnSelChange(int id, std::function<void()> handler);
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);

    int MessageBox(const std::wstring& text, const std::wstring& caption, unsigned style);

    // The window menu of a top-level window (on GTK, which has no system menu, the window's
    // context menu; see the backend). False when the window has none.
    bool AppendWindowMenuItem(int command, const std::wstring& text);

    // The backend reports the user's actions here.
    void Dispatch(EventKind kind, int id);
    // Enter pressed while no push button of the dialog has the focus (a focused push button is
    // pressed by the backend itself): the template's default button is pressed, or nothing
    // happens while it is disabled or hidden; a dialog without a default button gets its OK
    // command. Pages never have a default of their own: the key belongs to the top-level window.
    void PressDefaultButton();

    DialogPeer* Peer() const { return peer_.get(); }
    // The window that owns a modal run (DoModal's argument), or null.
    Dialog* ModalOwner() const { return owner_; }
    const DialogTemplate* Template() const { return template_; }
    int IndexOf(int id) const;  // -1 when the template has no such control

  protected:
    // Runs once the window and its controls exist. The return value follows the platform's
    // convention (true: the default focus rule applies) and is not used by the layer.
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(kIdOk); }
    virtual void OnCancel() { EndDialog(kIdCancel); }
    virtual void OnTimer(int id) { (void)id; }
    virtual void OnSysCommand(int command) { (void)command; }
    // Runs just before the window goes; windows hosted by this one must go first.
    virtual void OnDestroy() {}
    // Whether a page is visible as soon as it is created (a style of its template); top-level
    // windows are shown by their modal run.
    void SetVisibleOnCreate(bool visible) { visibleOnCreate_ = visible; }

  private:
    void UpdateAccessibleNames();

    int templateId_;
    const DialogTemplate* template_ = nullptr;
    std::unique_ptr<DialogPeer> peer_;
    std::map<int, std::function<void()>> commandHandlers_;
    std::map<int, std::function<void()>> selChangeHandlers_;
    bool modal_ = false;
    bool visibleOnCreate_ = false;
    Dialog* owner_ = nullptr;
};

// The framework's application object: the program puts its start-up in InitInstance, which the
// backend calls once; returning false ends the process without a message loop of its own.
class Application {
  public:
    virtual ~Application() = default;
    virtual bool InitInstance() = 0;
};

}  // namespace ui
