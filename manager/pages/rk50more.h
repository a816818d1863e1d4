// Extra settings for RK50 cameras (template 147): the number plate, kept in the camera's
// configuration record.
#pragma once

#include <cstddef>

#include "record_fields.h"
#include "ui/dialog.h"

class CDlgRK50MoreSetting : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 147;
    // As many characters as the camera keeps bytes of the plate.
    static constexpr size_t kPlateCharacters = fields::kRk50Config["plateNumber"].kept;
    CDlgRK50MoreSetting();

  protected:
    bool OnInitDialog() override;

  private:
    void Load();
    void Apply();
    void ShowMessage(const wchar_t* key);
};
