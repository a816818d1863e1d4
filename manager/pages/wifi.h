// WiFi page (template 136): station or access-point mode and the access point's name and password.
#pragma once

#include "ui/dialog.h"

class CDlgWifi : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 136;
    explicit CDlgWifi(ui::Dialog* owner);

    void Refresh();
    void EnableControls(bool enable);

  protected:
    bool OnInitDialog() override;

  private:
    ui::Dialog* m_owner;
};
