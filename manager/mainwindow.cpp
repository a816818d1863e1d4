#include "mainwindow.h"

#include <cstring>
#include <string>

#include "dalvex.h"
#include "devicestate.h"
#include "langtable.h"
#include "pages/pwd.h"
#include "text.h"

namespace {

// Controls of template 102.
constexpr int kBanner = 1060;
constexpr int kCameraFrame = 1137;
constexpr int kSerial = 1004;
constexpr int kUnusedStatic = 1079;
constexpr int kPasswordBox = 1000;
constexpr int kLoginButton = 1001;
constexpr int kModifyButton = 1007;
constexpr int kCancelButton = 1003;
constexpr int kTabs = 1002;
constexpr int kLanguageLabel = 1042, kLanguageList = 1043;
constexpr int kSkinLabel = 1046, kSkinList = 1047;

constexpr size_t kLoginPasswordChars = 6;
constexpr int kFixedTabs = 3;
// Ticks without a camera before the loss is believed (the third one acts).
constexpr int kMissesTolerated = 2;

// String resource 101: the window-menu item of the About box. Not a language-table text.
constexpr const wchar_t* kAboutMenuText = L"About (&A)...";

// Model codes and flags of the device description that decide the extra tabs.
bool HasGprsTab(const DeviceSpecRecord& spec) {
    return spec.modelCode == 17 || spec.modelCode == 33;
}
bool HasWifiTab(const DeviceSpecRecord& spec) {
    return spec.hasWifi == 1 && spec.modelCode >= 32;
}

DeviceState g_device;

}  // namespace

DeviceState& CurrentDeviceState() {
    return g_device;
}

CMainDlg::CMainDlg() : ui::Dialog(kTemplateId) {
    // One main window per process: it starts from a camera never seen and never logged in.
    g_device = DeviceState{};
    OnCommand(kLoginButton, [this] { Login(); });
    OnCommand(kCancelButton, [this] { OnCancel(); });
    OnCommand(kModifyButton, [this] { RunPasswordDialog(); });
    OnSelChange(kTabs, [this] { SwitchPage(); });
    // The skin selector's notification has nothing to do.
    OnSelChange(kSkinList, [] {});
}

CMainDlg::~CMainDlg() {
    DestroyWindow();
}

void CMainDlg::OnDestroy() {
    // The pages live inside the tab control; their windows go before the window that hosts them.
    ui::Dialog* pages[] = {m_pageCms.get(),       m_pageMobileLink.get(), m_pageWifi.get(),
                           m_pageGprs.get(),      m_pageDevCtrl.get(),    m_pageParam.get(),
                           m_pageDeviceInfo.get()};
    for (ui::Dialog* page : pages) {
        if (page)
            page->DestroyWindow();
    }
}

bool CMainDlg::OnInitDialog() {
    AppendWindowMenuItem(kAboutCommand, kAboutMenuText);
    LayOut();
    SetIcon(ui::kProgramIcon);
    LangTable().ApplyDialogTexts(*this, kTemplateId);

    // The language selector is kept but never offered: the English table is always in force.
    InsertString(kLanguageList, -1, L"English");
    InsertString(kLanguageList, -1, L"简体中文");
    InsertString(kLanguageList, -1, L"RUS");
    ShowControl(kLanguageLabel, false);
    ShowControl(kLanguageList, false);
    SetCurSel(kLanguageList, 0);

    InsertString(kTabs, 0, LangTable().GetText(L"IDS_TAB_DEVINFO"));
    InsertString(kTabs, 1, LangTable().GetText(L"IDS_TAB_PARAMETER"));
    InsertString(kTabs, 2, LangTable().GetText(L"IDS_TAB_DEVCTRL"));

    CreatePages();

    SetCurSel(kTabs, 0);
    SetFocusTo(kPasswordBox);
    m_pageGprs->EnableControls(false);
    m_pageWifi->EnableControls(false);
    ShowControl(kUnusedStatic, false);

    // The skin selector, like the language selector, exists but is never shown.
    const wchar_t* skins[] = {L"IDS_2007_BLUE", L"IDS_2007_ROYALE", L"IDS_2010_SILVER",
                              L"IDS_2010_BLACK", L"IDS_NONE"};
    for (int i = 0; i < 5; ++i)
        InsertString(kSkinList, i, LangTable().GetText(skins[i]));
    ShowControl(kSkinList, false);
    ShowControl(kSkinLabel, false);
    SetCurSel(kSkinList, 4);

    SetTimer(kWatchTimer, kWatchPeriodMs);
    LimitText(kPasswordBox, int(kLoginPasswordChars));
    return true;
}

void CMainDlg::LayOut() {
    // The banner goes; everything below it moves up so that the camera frame starts at the top
    // edge, and the window loses the height the banner took.
    ShowControl(kBanner, false);
    const int shift = GetControlRect(kCameraFrame).y;
    const ui::Rect client = GetClientRect();
    SetClientSize(client.width, client.height - shift);
    const int moved[] = {1005, 1004, 1079, 1006, 1000, 1001, 1137, 1007,
                         1002, 1042, 1161, 1043, 1046, 1047, 1003};
    for (int id : moved) {
        ui::Rect rect = GetControlRect(id);
        rect.y -= shift;
        MoveControl(id, rect);
        if (id == kUnusedStatic)
            ShowControl(kUnusedStatic, false);
    }
}

void CMainDlg::CreatePages() {
    const ui::Rect tab = GetControlRect(kTabs);
    const ui::Rect page{2, 26, tab.width - 6, tab.height - 28};

    m_pageDeviceInfo = std::make_unique<CDlgDeviceInfo>(this);
    m_pageDeviceInfo->Create(this, kTabs);
    m_pageDeviceInfo->MoveWindow(page);
    m_pageParam = std::make_unique<CDlgParam>(this);
    m_pageParam->Create(this, kTabs);
    m_pageParam->MoveWindow(page);
    m_pageDevCtrl = std::make_unique<CDlgDevCtrl>(this);
    m_pageDevCtrl->Create(this, kTabs);
    m_pageDevCtrl->MoveWindow(page);
    m_pageGprs = std::make_unique<CDlgGPRSParam>(this);
    m_pageGprs->Create(this, kTabs);
    m_pageGprs->MoveWindow(page);
    m_pageWifi = std::make_unique<CDlgWifi>(this);
    m_pageWifi->Create(this, kTabs);
    m_pageWifi->MoveWindow(page);
    m_pageMobileLink = std::make_unique<CDlgMobileLink>(this);
    m_pageMobileLink->Create(this, kTabs);
    m_pageMobileLink->MoveWindow(page);
    m_pageCms = std::make_unique<CDlgCMsv6Setting>(this);
    m_pageCms->Create(this, kTabs);
    m_pageCms->MoveWindow(page);
}

void CMainDlg::OnOK() {
    // Enter in the password box clicks the default button; the bare OK command keeps the
    // window open.
}

void CMainDlg::OnTimer(int id) {
    if (id == kWatchTimer)
        WatchDevice();
}

void CMainDlg::OnSysCommand(int command) {
    if ((command & 0xFFF0) == kAboutCommand)
        ShowAbout();
}

void CMainDlg::RunPasswordDialog() {
    CDlgPwd dialog;
    dialog.DoModal(this);
}

void CMainDlg::ShowAbout() {
    CAboutDlg about;
    about.DoModal(this);
}

int CMainDlg::ShowMessage(const wchar_t* key) {
    return MessageBox(LangTable().GetText(key), L"Orvane", ui::kMbOk);
}

void CMainDlg::WatchDevice() {
    KillTimer(kWatchTimer);
    if (TKUSB_IsDevice() != 0) {
        char serial[64];
        std::memset(serial, 0, sizeof serial);
        TKUSB_GetDevSerial(serial);
        if (g_device.connected == 0) {
            if (serial[0] != '\0')
                SetDlgItemText(kSerial, text::FromAnsiField(serial));
            EnableControl(kPasswordBox, true);
            EnableControl(kLoginButton, true);
            EnableControl(kModifyButton, true);
            SetFocusTo(kPasswordBox);
        }
        g_device.connected = 1;
        g_device.misses = 0;
    } else if (g_device.misses < kMissesTolerated) {
        ++g_device.misses;
    } else {
        if (g_device.connected == 1) {
            EnableControl(kPasswordBox, false);
            EnableControl(kLoginButton, false);
            EnableControl(kModifyButton, false);
        }
        g_device.connected = 0;
        m_pageDeviceInfo->EnableControls(false);
        m_pageDevCtrl->EnableControls(false);
        m_pageParam->EnableControls(false);
        while (GetCount(kTabs) > kFixedTabs)
            DeleteItem(kTabs, kFixedTabs);
        m_pageGprs->EnableControls(false);
        m_pageWifi->EnableControls(false);
        m_pageMobileLink->EnableControls(false);
        m_pageCms->EnableControls(false);
        SetDlgItemText(kSerial, L"---");
        if (g_device.misses < kMissesTolerated + 1) {
            ++g_device.misses;
            SelectTabAndSwitch(1);
            SelectTabAndSwitch(0);
        }
    }
    SetTimer(kWatchTimer, kWatchPeriodMs);
}

void CMainDlg::Login() {
    const std::wstring typed = GetDlgItemText(kPasswordBox);
    if (typed.empty()) {
        ShowMessage(L"IDS_TIPS_PWD_INPUT");
        SetFocusTo(kPasswordBox);
        return;
    }
    KillTimer(kWatchTimer);
    const std::wstring password = typed.substr(0, kLoginPasswordChars);
    char buffer[32];
    text::ToAnsiBuffer(password, buffer);

    if (TKUSB_IsDevice() == 0) {
        SetTimer(kWatchTimer, kWatchPeriodMs);
        return;
    }
    const int accepted = TKUSB_CheckLoginPwd(buffer);
    if (accepted == 0) {
        ShowMessage(L"IDS_TIPS_PWD_ERROR");
        SetFocusTo(kPasswordBox);
        SetTimer(kWatchTimer, kWatchPeriodMs);
        return;
    }

    EnableControl(kLoginButton, false);
    std::memset(&g_device.spec, 0, sizeof g_device.spec);
    TKUSB_GetDeviceSpec(&g_device.spec);
    m_pageDeviceInfo->SetPassword(password);
    m_pageParam->SetPassword(password);
    m_pageDevCtrl->SetPassword(password);
    m_pageDeviceInfo->Refresh();
    m_pageParam->Refresh();
    m_pageDevCtrl->ShowDeleteLog();
    m_pageGprs->Refresh();
    m_pageWifi->Refresh();
    m_pageCms->Refresh();
    EnableControl(kPasswordBox, false);
    EnableControl(kLoginButton, false);
    m_pageDeviceInfo->EnableControls(accepted != 0);
    m_pageParam->EnableControls(accepted != 0);
    m_pageDevCtrl->EnableControls(accepted != 0);

    const DeviceSpecRecord& spec = g_device.spec;
    if (HasGprsTab(spec)) {
        m_pageGprs->EnableControls(true);
        InsertString(kTabs, GetCount(kTabs), LangTable().GetText(L"IDS_TAB_GPRS"));
    } else {
        m_pageGprs->EnableControls(false);
    }
    if (HasWifiTab(spec)) {
        m_pageWifi->EnableControls(true);
        InsertString(kTabs, GetCount(kTabs), LangTable().GetText(L"IDS_TAB_WiFi"));
        if (spec.noCms == 0) {
            InsertString(kTabs, GetCount(kTabs), LangTable().GetText(L"IDS_TAB_CMSV_SETTING"));
            m_pageCms->EnableWindow(true);
        }
    } else {
        m_pageWifi->EnableControls(false);
    }
    SelectTabAndSwitch(1);
    SelectTabAndSwitch(0);
    SetTimer(kWatchTimer, kAfterLoginPeriodMs);
}

void CMainDlg::SelectTabAndSwitch(int position) {
    SetCurSel(kTabs, position);
    SwitchPage();
}

void CMainDlg::SwitchPage() {
    if (!m_pageDeviceInfo || !m_pageMobileLink || !m_pageCms)
        return;  // a notification while the pages are still being created
    std::wstring title = GetItemText(kTabs, GetCurSel(kTabs));
    if (title.size() > 255)
        title.resize(255);  // the title is read into a buffer of 256 characters

    ui::Dialog* pages[] = {m_pageDeviceInfo.get(), m_pageParam.get(), m_pageDevCtrl.get(),
                           m_pageGprs.get(),       m_pageWifi.get(),  m_pageCms.get()};
    const wchar_t* keys[] = {L"IDS_TAB_DEVINFO", L"IDS_TAB_PARAMETER", L"IDS_TAB_DEVCTRL",
                             L"IDS_TAB_GPRS",    L"IDS_TAB_WiFi",      L"IDS_TAB_CMSV_SETTING"};
    ui::Dialog* chosen = m_pageDeviceInfo.get();
    for (int i = 0; i < 6; ++i) {
        if (title == LangTable().GetText(keys[i])) {
            chosen = pages[i];
            break;
        }
    }
    for (ui::Dialog* page : pages) {
        if (page != chosen)
            page->ShowWindow(false);
    }
    m_pageMobileLink->ShowWindow(false);
    chosen->ShowWindow(true);
}
