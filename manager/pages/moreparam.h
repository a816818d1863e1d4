// Full settings dialog for RK20 cameras (template 138): the camera's whole settings record as 26
// lists, its storage sizes and identification texts, Refresh, Default setting, OK and Cancel.
#pragma once

#include "ui/dialog.h"

class CDlgMorePararm : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 138;
    CDlgMorePararm();

  protected:
    bool OnInitDialog() override;
    void OnOK() override;

  private:
    void FillLists();
    void Load();
    void OnDefaultSetting();
    int ShowMessage(const wchar_t* key, unsigned style);
};
