// Device control page (template 108): clock, USB mass storage, format and log deletion.
#pragma once

#include <string>

#include "ui/dialog.h"

class CDlgDevCtrl : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 108;
    static constexpr int kFormatTimer = 3;
    static constexpr int kFormatPollMs = 1000;

    explicit CDlgDevCtrl(ui::Dialog* owner);

    void SetPassword(const std::wstring& password) { m_password = password; }
    const std::wstring& Password() const { return m_password; }
    void EnableControls(bool enable);
    void ShowDeleteLog();

  protected:
    bool OnInitDialog() override;
    void OnTimer(int id) override;

  private:
    void SetClockFromPc();
    void StartUDisk();
    void Format();
    void PollFormat();
    void DeleteLog();
    void SetPickedTime();
    int ShowMessage(const std::wstring& text, unsigned style = 0);
    int ShowKey(const wchar_t* key, unsigned style = 0);

    ui::Dialog* m_owner;
    std::wstring m_password;  // sent with the switch to mass storage
};
