// Mobile link page (template 137): the mobile-link server settings. No tab leads to it.
#pragma once

#include "ui/dialog.h"

class CDlgMobileLink : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 137;
    explicit CDlgMobileLink(ui::Dialog* owner);

    void Refresh();
    void EnableControls(bool enable);

  protected:
    bool OnInitDialog() override;

  private:
    ui::Dialog* m_owner;
};
