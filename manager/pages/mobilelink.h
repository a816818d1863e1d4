// Mobile link page (template 137): the mobile-link server settings. No tab leads to it.
#pragma once

#include "pages/page.h"

class CDlgMobileLink : public CPage {
  public:
    static constexpr int kTemplateId = 137;
    explicit CDlgMobileLink(ui::Dialog* owner);

    void Refresh() override;
    void EnableControls(bool enable) override;

  protected:
    bool OnInitDialog() override;
    // The buttons carry the numbers of the dialog's OK and cancel commands, and Enter and
    // Escape reach the page as those commands: they save and refresh, never end the page.
    void OnOK() override { Save(); }
    void OnCancel() override { Refresh(); }

  private:
    void Save();
    void EnableEdits(bool enable);
};
