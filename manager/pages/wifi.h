// WiFi page (template 136): station or access-point mode and the access point's name and password.
#pragma once

#include "pages/page.h"

class CDlgWifi : public CPage {
  public:
    static constexpr int kTemplateId = 136;
    explicit CDlgWifi(ui::Dialog* owner);

    void Refresh() override;
    void EnableControls(bool enable) override;

  protected:
    bool OnInitDialog() override;

  private:
    void Apply();
    // Writes the access-point record from the two edits; true when the camera holds it.
    bool ApplyAccessPoint();
    // Rewrites WifiRecord as read with the chosen mode; true when the camera holds that mode.
    bool ApplyMode();
    void ShowPassword(int box, int edit);
    void ShowResult(bool ok);
};
