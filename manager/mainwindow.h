// The main window (template 102): watches for a camera once a second, takes the login password
// and shows the camera's settings on a row of tabs, one page per tab.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pages/page.h"
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

    // The page of class T (one of the tab table's), once the window has created its pages.
    template <class T>
    T& Page() {
        for (const std::unique_ptr<CPage>& page : m_pages) {
            if (T* found = dynamic_cast<T*>(page.get()))
                return *found;
        }
        throw std::logic_error("no such page");
    }

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

    // One per row of the tab table, in its order; empty until the window is initialised.
    std::vector<std::unique_ptr<CPage>> m_pages;
};

// The About box (template 100): program icon, version text and a button; no language texts.
class CAboutDlg : public ui::Dialog {
  public:
    static constexpr int kTemplateId = 100;
    CAboutDlg() : ui::Dialog(kTemplateId) {}
};
