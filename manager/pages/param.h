// Parameter page (template 107): video and photo resolution, video length, card and firmware
// information, factory settings and the model's further settings.
#pragma once

#include <string>

#include "pages/page.h"

class CDlgParam : public CPage {
  public:
    static constexpr int kTemplateId = 107;
    // The pause between restoring the factory settings and the reboot that applies them.
    static constexpr int kRebootDelayMs = 1000;

    explicit CDlgParam(ui::Dialog* owner);

    void Refresh() override;
    void EnableControls(bool enable) override;

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
};
