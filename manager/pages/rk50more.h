// Extra settings for RK50 cameras (template 147): the number plate, kept in the camera's
// configuration record.
#pragma once

#include <cstddef>

#include "ui/dialog.h"

class CDlgRK50MoreSetting : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 147;
    static constexpr size_t kPlateCharacters = 12;
    CDlgRK50MoreSetting();

  protected:
    bool OnInitDialog() override;

  private:
    void Load();
    void Apply();
    void ShowMessage(const wchar_t* key);
};
