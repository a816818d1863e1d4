// Password dialog (template 109): changes the camera's login password and its browse password.
#pragma once

#include "ui/dialog.h"

class CDlgPwd : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 109;
    CDlgPwd();

  protected:
    bool OnInitDialog() override;

  private:
    void ModifyLoginPassword();
    void ApplyBrowsePassword();
    void ShowKey(const wchar_t* key);
};
