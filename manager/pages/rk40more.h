// Extra settings for RK40 cameras (template 146): volume, infrared mode and loop recording, kept
// in the camera's configuration record.
#pragma once

#include <cstdint>

#include "ui/dialog.h"

class CDlgRK40MoreSetting : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 146;
    CDlgRK40MoreSetting();

    // The volume list's position for the camera's volume byte, and the byte for a position (-1:
    // no selection).
    static int VolumePosition(uint8_t volume);
    static uint8_t VolumeByte(int position);

  protected:
    bool OnInitDialog() override;

  private:
    void Load();
    void Apply();
    void ShowMessage(const wchar_t* key);
};
