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
    void Apply();
    // Writes the access-point record from the two edits; true when the camera holds it.
    bool ApplyAccessPoint();
    // Rewrites WifiRecord as read with the chosen mode; true when the camera holds that mode.
    bool ApplyMode();
    void ShowPassword(int box, int edit);
    void ShowResult(bool ok);

    ui::Dialog* m_owner;
};
