// The main window (template 102): watches for a camera once a second, takes the login password
// and shows the camera's settings on a row of tabs, one page per tab.
#pragma once

#include <memory>
#include <string>

#include "pages/cmsv6.h"
#include "pages/devctrl.h"
#include "pages/devinfo.h"
#include "pages/gprs.h"
#include "pages/mobilelink.h"
#include "pages/param.h"
#include "pages/wifi.h"
#include "ui/dialog.h"

class CMainDlg : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 102;
    static constexpr int kWatchTimer = 1;
    static constexpr int kWatchPeriodMs = 1000;
    static constexpr int kAfterLoginPeriodMs = 2000;
    static constexpr int kAboutCommand = 16;

    CMainDlg();
    ~CMainDlg() override;

    CDlgDeviceInfo& DeviceInfoPage() { return *m_pageDeviceInfo; }
    CDlgParam& ParamPage() { return *m_pageParam; }
    CDlgDevCtrl& DevCtrlPage() { return *m_pageDevCtrl; }
    CDlgGPRSParam& GprsPage() { return *m_pageGprs; }
    CDlgWifi& WifiPage() { return *m_pageWifi; }
    CDlgMobileLink& MobileLinkPage() { return *m_pageMobileLink; }
    CDlgCMsv6Setting& CmsPage() { return *m_pageCms; }

    // The page that the selected tab shows, chosen by the tab's title.
    void SwitchPage();

  protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnTimer(int id) override;
    void OnSysCommand(int command) override;
    void OnDestroy() override;

  private:
    void LayOut();
    void CreatePages();
    void WatchDevice();
    void Login();
    void ShowAbout();
    void RunPasswordDialog();
    void SelectTabAndSwitch(int position);
    int ShowMessage(const wchar_t* key);

    std::unique_ptr<CDlgDeviceInfo> m_pageDeviceInfo;
    std::unique_ptr<CDlgParam> m_pageParam;
    std::unique_ptr<CDlgDevCtrl> m_pageDevCtrl;
    std::unique_ptr<CDlgGPRSParam> m_pageGprs;
    std::unique_ptr<CDlgWifi> m_pageWifi;
    std::unique_ptr<CDlgMobileLink> m_pageMobileLink;
    std::unique_ptr<CDlgCMsv6Setting> m_pageCms;
};

// The About box (template 100): program icon, version text and a button; no language texts.
class CAboutDlg : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 100;
    CAboutDlg() : ui::Dialog(kTemplateId) {}
};
