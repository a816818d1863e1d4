// Device control page (template 108): clock, USB mass storage, format and log deletion.
#pragma once

#include <string>

#include "ui/dialog.h"

class CDlgDevCtrl : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 108;
    explicit CDlgDevCtrl(ui::Dialog* owner);

    void SetPassword(const std::wstring& password) { m_password = password; }
    const std::wstring& Password() const { return m_password; }
    void EnableControls(bool enable);
    void ShowDeleteLog();

  protected:
    bool OnInitDialog() override;

  private:
    ui::Dialog* m_owner;
    std::wstring m_password;  // sent with the switch to mass storage
};
