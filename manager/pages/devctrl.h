// Device control page (template 108): clock, USB mass storage, format and log deletion.
#pragma once

#include <string>

#include "pages/page.h"

class CDlgDevCtrl : public CPage {
  public:
    static constexpr int kTemplateId = 108;
    static constexpr int kFormatTimer = 3;
    static constexpr int kFormatPollMs = 1000;

    explicit CDlgDevCtrl(ui::Dialog* owner);

    // Nothing of the camera is read here: a login only offers the log deletion again.
    void Refresh() override { ShowDeleteLog(); }
    void EnableControls(bool enable) override;
    void ShowDeleteLog();

  protected:
    bool OnInitDialog() override;
    void OnTimer(int id) override;

  private:
    void SetClockFromPc();
    void StartUDisk();
    void Format();
    void PollFormat();
    void DeleteLog();
    void SetPickedTime();
};
