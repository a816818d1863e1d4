// GPRS page (template 110): the camera's mobile-data settings (GprsRecord).
#pragma once

#include "pages/page.h"

class CDlgGPRSParam : public CPage {
  public:
    static constexpr int kTemplateId = 110;
    explicit CDlgGPRSParam(ui::Dialog* owner);

    void Refresh() override;
    void EnableControls(bool enable) override;

  protected:
    bool OnInitDialog() override;

  private:
    void Apply();
};
