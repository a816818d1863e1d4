// User information page (template 106): the identification texts the camera stores for the
// person and unit that use it.
#pragma once

#include <string>

#include "ui/dialog.h"

class CDlgDeviceInfo : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 106;
    explicit CDlgDeviceInfo(ui::Dialog* owner);

    void SetPassword(const std::wstring& password) { m_password = password; }
    const std::wstring& Password() const { return m_password; }
    void Refresh();
    void EnableControls(bool enable);

  protected:
    bool OnInitDialog() override;

  private:
    void Apply();

    ui::Dialog* m_owner;
    std::wstring m_password;  // handed over at login; this page does not use it
};
