// Extra settings for RK40 cameras (template 146): volume, infrared mode and loop recording, kept
// in the camera's configuration record.
#pragma once

#include "ui/dialog.h"

class CDlgRK40MoreSetting : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 146;
    CDlgRK40MoreSetting();

  protected:
    bool OnInitDialog() override;
};
