#include "mainwindow.h"

#include <cstring>
#include <string>

#include "camera_models.h"
#include "dalvex.h"
#include "devicestate.h"
#include "pages/cmsv6.h"
#include "pages/devctrl.h"
#include "pages/devinfo.h"
#include "pages/gprs.h"
#include "pages/mobilelink.h"
#include "pages/param.h"
#include "pages/pwd.h"
#include "pages/wifi.h"
#include "password_rules.h"
#include "res/control_ids.h"
#include "text/langtable.h"
#include "text/text.h"

namespace {
using namespace ids::mainwindow;

// Ticks without a camera before the loss is believed (the third one acts).
constexpr int kMissesTolerated = 2;

// String resource 101: the window-menu item of the About box. Not a language-table text.
constexpr const wchar_t* kAboutMenuText = L"About (&A)...";

// When the camera offers a page's tab, from its device description.
bool Always(const DeviceSpecRecord&) {
    return true;
}
bool Never(const DeviceSpecRecord&) {
    return false;
}
bool OffersGprs(const DeviceSpecRecord& spec) {
    return settings::HasGprsTab(spec.modelCode);
}
bool OffersWifi(const DeviceSpecRecord& spec) {
    return settings::HasWifiTab(spec.modelCode, spec.hasWifi);
}
bool OffersCms(const DeviceSpecRecord& spec) {
    return settings::HasCmsTab(spec.modelCode, spec.hasWifi, spec.noCms);
}

template <class T>
std::unique_ptr<CPage> MakePage(ui::Dialog* owner) {
    return std::make_unique<T>(owner);
}

// The pages in the order they are created and their tabs are added. The tabs of the pages
// offered always are there from the start; the others come with a login to a camera that offers
// them. The mobile-link page has no tab and is never shown.
struct TabRow {
    const wchar_t* key;  // language key of the tab's title; null for a page without a tab
    std::unique_ptr<CPage> (*make)(ui::Dialog* owner);
    bool (*offered)(const DeviceSpecRecord& spec);

    bool HasTab() const { return key != nullptr; }
    bool Fixed() const { return offered == Always; }
};
const TabRow kTabTable[] = {
    {L"IDS_TAB_DEVINFO", MakePage<CDlgDeviceInfo>, Always},
    {L"IDS_TAB_PARAMETER", MakePage<CDlgParam>, Always},
    {L"IDS_TAB_DEVCTRL", MakePage<CDlgDevCtrl>, Always},
    {L"IDS_TAB_GPRS", MakePage<CDlgGPRSParam>, OffersGprs},
    {L"IDS_TAB_WiFi", MakePage<CDlgWifi>, OffersWifi},
    {nullptr, MakePage<CDlgMobileLink>, Never},
    {L"IDS_TAB_CMSV_SETTING", MakePage<CDlgCMsv6Setting>, OffersCms},
};
constexpr size_t kTabRows = sizeof kTabTable / sizeof kTabTable[0];

int FixedTabCount() {
    int count = 0;
    for (const TabRow& row : kTabTable)
        count += row.Fixed() ? 1 : 0;
    return count;
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
    // The pages live inside the tab control; their windows go before the window that hosts them,
    // the last created first.
    for (auto page = m_pages.rbegin(); page != m_pages.rend(); ++page) {
        if (*page)
            (*page)->DestroyWindow();
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

    for (const TabRow& row : kTabTable) {
        if (row.Fixed())
            InsertString(kTabs, GetCount(kTabs), LangTable().GetText(row.key));
    }

    CreatePages();

    SetCurSel(kTabs, 0);
    SetFocusTo(kPasswordBox);
    // Until a login, no camera offers the other tabs.
    for (size_t i = 0; i < kTabRows; ++i) {
        if (kTabTable[i].HasTab() && !kTabTable[i].Fixed())
            m_pages[i]->Offer(false);
    }
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
    LimitText(kPasswordBox, int(passwords::kLoginLength));
    return true;
}

void CMainDlg::LayOut() {
    // The banner goes; everything below it moves up so that the camera frame starts at the top
    // edge, and the window loses the height the banner took.
    ShowControl(kBanner, false);
    const int shift = GetControlRect(kCameraFrame).y;
    const ui::Rect client = GetClientRect();
    SetClientSize(client.width, client.height - shift);
    const int moved[] = {kSerialLabel, kSerial,       kUnusedStatic, kPasswordLabel, kPasswordBox,
                         kLoginButton, kCameraFrame,  kModifyButton, kTabs,          kLanguageLabel,
                         kStatusLine,  kLanguageList, kSkinLabel,    kSkinList,      kCancelButton};
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

    m_pages.clear();
    for (const TabRow& row : kTabTable) {
        std::unique_ptr<CPage> created = row.make(this);
        created->Create(this, kTabs);
        created->MoveWindow(page);
        m_pages.push_back(std::move(created));
    }
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
    return ShowKeyMessage(*this, key);
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
        // The pages of the fixed tabs, then the other tabs go, then their pages.
        for (size_t i = 0; i < kTabRows; ++i) {
            if (kTabTable[i].Fixed())
                m_pages[i]->EnableControls(false);
        }
        const int fixedTabs = FixedTabCount();
        while (GetCount(kTabs) > fixedTabs)
            DeleteItem(kTabs, fixedTabs);
        for (size_t i = 0; i < kTabRows; ++i) {
            if (!kTabTable[i].Fixed())
                m_pages[i]->EnableControls(false);
        }
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
    const std::wstring password = typed.substr(0, passwords::kLoginLength);
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
    for (const std::unique_ptr<CPage>& page : m_pages)
        page->SetPassword(password);
    for (size_t i = 0; i < kTabRows; ++i) {
        if (kTabTable[i].HasTab())
            m_pages[i]->Refresh();
    }
    EnableControl(kPasswordBox, false);
    EnableControl(kLoginButton, false);

    // Each tab beyond the fixed ones is added when the camera offers it.
    for (size_t i = 0; i < kTabRows; ++i) {
        const TabRow& row = kTabTable[i];
        if (!row.HasTab())
            continue;
        const bool offered = row.offered(g_device.spec);
        m_pages[i]->Offer(offered);
        if (offered && !row.Fixed())
            InsertString(kTabs, GetCount(kTabs), LangTable().GetText(row.key));
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
    if (m_pages.size() < kTabRows)
        return;  // a notification while the pages are still being created
    std::wstring title = GetItemText(kTabs, GetCurSel(kTabs));
    if (title.size() > 255)
        title.resize(255);  // the title is read into a buffer of 256 characters

    // A title that names no page shows the first.
    size_t chosen = 0;
    for (size_t i = 0; i < kTabRows; ++i) {
        if (kTabTable[i].HasTab() && title == LangTable().GetText(kTabTable[i].key)) {
            chosen = i;
            break;
        }
    }
    for (size_t i = 0; i < kTabRows; ++i) {
        if (i != chosen)
            m_pages[i]->ShowWindow(false);
    }
    m_pages[chosen]->ShowWindow(true);
}
