// GPRS page (template 110): the camera's mobile-data settings (GprsRecord).
#pragma once

#include "ui/dialog.h"

class CDlgGPRSParam : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 110;
    explicit CDlgGPRSParam(ui::Dialog* owner);

    void Refresh();
    void EnableControls(bool enable);

  protected:
    bool OnInitDialog() override;

  private:
    void Apply();

    ui::Dialog* m_owner;
};
