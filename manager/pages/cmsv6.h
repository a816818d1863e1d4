// CMS server page (template 139): CMSV6 server address and ports, and the WiFi station it joins.
#pragma once

#include "pages/page.h"

class CDlgCMsv6Setting : public CPage {
  public:
    static constexpr int kTemplateId = 139;
    explicit CDlgCMsv6Setting(ui::Dialog* owner);

    void Refresh() override;
    void EnableControls(bool enable) override;
    // The camera's offer only makes the page's window usable: its controls keep their state.
    void Offer(bool offered) override {
        if (offered)
            EnableWindow(true);
    }

  protected:
    bool OnInitDialog() override;

  private:
    void Setting();
    // Writes the CMSV6 account from the controls; true when the camera holds it.
    bool WriteAccount();
    // Puts the camera's WiFi into station mode on the network of the two edits.
    bool WriteStation();
    void EnableServerControls(bool enable);
};
