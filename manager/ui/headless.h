// The headless backend: controls kept in memory, message boxes recorded and answered from a
// script, timers fired by the caller, modal runs handed to a callback. Tests drive dialogs with
// the user actions below, which respect what a user could do (no clicks on disabled or hidden
// controls, typing filtered by digits-only and the text limit).
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/dialog.h"

namespace ui::headless {

// Dialog units to pixels for a font of 6 by 13 average pixels.
Rect DialogUnitsToPixels(int x, int y, int cx, int cy);

struct RecordedMessage {
    int ownerTemplate;  // 0 without owner
    std::wstring text;
    std::wstring caption;
    unsigned style;
    int answer;
};

class HeadlessBackend : public Backend {
  public:
    std::unique_ptr<DialogPeer> CreatePeer(Dialog& dialog, const DialogTemplate& tmpl, Dialog* host,
                                           int hostIndex) override;
    int MessageBox(Dialog* owner, const std::wstring& text, const std::wstring& caption,
                   unsigned style) override;

    // The next message boxes get these answers, in order; without a queued answer a box gets its
    // first button (OK or Yes).
    void QueueAnswer(int answer) { answers_.push_back(answer); }
    const std::vector<RecordedMessage>& Messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }
    // Called with every message box as it is shown (after it is recorded).
    std::function<void(const RecordedMessage&)> onMessage;

    // Runs a modal dialog: called once the dialog is initialised; its result is the modal result
    // unless the dialog ended itself with EndDialog. Without a callback a modal run ends at once
    // with kIdCancel.
    std::function<int(Dialog&)> onModal;

  private:
    std::deque<int> answers_;
    std::vector<RecordedMessage> messages_;
};

// Installs a fresh headless backend for the life of the object.
class ScopedBackend {
  public:
    ScopedBackend() { SetBackend(&backend_); }
    ~ScopedBackend() { SetBackend(nullptr); }
    HeadlessBackend& operator*() { return backend_; }
    HeadlessBackend* operator->() { return &backend_; }

  private:
    HeadlessBackend backend_;
};

// User actions. Each returns false when a user could not do it (control missing, hidden or
// disabled, dialog or host disabled).
bool Click(Dialog& dialog, int id);
bool Type(Dialog& dialog, int id, const std::wstring& text);  // replaces the text
bool SelectByUser(Dialog& dialog, int id, int position);      // list or tab control
bool PressEnter(Dialog& dialog);
bool PressEscape(Dialog& dialog);
// The items appended to the window menu, and choosing one of them.
std::vector<std::pair<int, std::wstring>> WindowMenu(const Dialog& dialog);
bool ChooseWindowMenuItem(Dialog& dialog, int command);

// The icon resource a dialog set for itself (0: none).
int IconOf(const Dialog& dialog);

// Timers of a dialog.
bool IsTimerArmed(const Dialog& dialog, int id);
int TimerPeriod(const Dialog& dialog, int id);  // 0 when not armed
// Fires an armed timer (it stays armed, as window timers repeat). False when it is not armed.
bool FireTimer(Dialog& dialog, int id);

}  // namespace ui::headless
