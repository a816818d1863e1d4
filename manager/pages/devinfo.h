// User information page (template 106): the identification texts the camera stores for the
// person and unit that use it.
#pragma once

#include <string>

#include "pages/page.h"

class CDlgDeviceInfo : public CPage {
  public:
    static constexpr int kTemplateId = 106;
    explicit CDlgDeviceInfo(ui::Dialog* owner);

    void Refresh() override;
    void EnableControls(bool enable) override;

  protected:
    bool OnInitDialog() override;

  private:
    void Apply();
};
