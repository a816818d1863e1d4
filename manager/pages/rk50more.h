// Extra settings for RK50 cameras (template 147): the number plate, kept in the camera's
// configuration record.
#pragma once

#include "ui/dialog.h"

class CDlgRK50MoreSetting : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 147;
    CDlgRK50MoreSetting();

  protected:
    bool OnInitDialog() override;
};
