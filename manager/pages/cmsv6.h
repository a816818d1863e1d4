// CMS server page (template 139): CMSV6 server address and ports, and the WiFi station it joins.
#pragma once

#include "ui/dialog.h"

class CDlgCMsv6Setting : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 139;
    explicit CDlgCMsv6Setting(ui::Dialog* owner);

    void Refresh();
    void EnableControls(bool enable);

  protected:
    bool OnInitDialog() override;

  private:
    void Setting();
    // Writes the CMSV6 account from the controls; true when the camera holds it.
    bool WriteAccount();
    // Puts the camera's WiFi into station mode on the network of the two edits.
    bool WriteStation();
    void EnableServerControls(bool enable);

    ui::Dialog* m_owner;
};
