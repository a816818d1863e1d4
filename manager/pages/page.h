// What every page of the main window's tabs has in common: the window that owns it, the login
// password handed over to it, reading the camera's record into the controls, offering the
// controls after a login, and the program's message box for what a click achieved.
#pragma once

#include <string>

#include "ui/dialog.h"

// The program's message box over dialog: a text, or the text of a language key.
int ShowTextMessage(ui::Dialog& dialog, const std::wstring& text, unsigned style = ui::kMbOk);
int ShowKeyMessage(ui::Dialog& dialog, const wchar_t* key, unsigned style = ui::kMbOk);
// "OK!" when the camera holds what was written (the read-back matched), "Failed!" otherwise.
void ShowSetOutcome(ui::Dialog& dialog, bool ok);

class CPage : public ui::Dialog {
  public:
    CPage(int templateId, ui::Dialog* owner) : ui::Dialog(templateId), m_owner(owner) {}

    // Fills the controls from the camera; a login calls it on every page that has a tab.
    virtual void Refresh() = 0;
    // Enables or disables what the page offers while a camera is logged in.
    virtual void EnableControls(bool enable) = 0;
    // A login decides whether the camera offers the page's tab. By default the controls follow.
    virtual void Offer(bool offered) { EnableControls(offered); }

    // The login password, handed to every page at login.
    void SetPassword(const std::wstring& password) { m_password = password; }
    const std::wstring& Password() const { return m_password; }

  protected:
    // The window the page lives in (the main window), or null.
    ui::Dialog* Owner() const { return m_owner; }
    int ShowText(const std::wstring& text, unsigned style = ui::kMbOk) {
        return ShowTextMessage(*this, text, style);
    }
    int ShowKey(const wchar_t* key, unsigned style = ui::kMbOk) {
        return ShowKeyMessage(*this, key, style);
    }
    void ShowOutcome(bool ok) { ShowSetOutcome(*this, ok); }

  private:
    ui::Dialog* m_owner;
    std::wstring m_password;
};
