// Parameter page (template 107): video and photo resolution, video length, card and firmware
// information, factory settings and the model's further settings.
#pragma once

#include <string>

#include "ui/dialog.h"

class CDlgParam : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 107;
    // The pause between restoring the factory settings and the reboot that applies them.
    static constexpr int kRebootDelayMs = 1000;

    explicit CDlgParam(ui::Dialog* owner);

    void SetPassword(const std::wstring& password) { m_password = password; }
    const std::wstring& Password() const { return m_password; }
    void Refresh();
    void EnableControls(bool enable);

  protected:
    bool OnInitDialog() override;

  private:
    void ApplyRk20Labels();
    void FillLists(int model);
    void LoadRecord(int model);
    void LoadRk40Record();
    void LoadRk50Record();
    void ShowStorage(int model, int cardCapacity, int freeSpaceMB);
    void ShowVersion();
    void OnVideoChanged();
    void Apply();
    void DefaultSetting();
    int ShowKey(const wchar_t* key, unsigned style = 0);

    ui::Dialog* m_owner;
    std::wstring m_password;  // handed over at login; this page does not use it
};
