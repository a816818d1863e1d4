// The dialog layer on its headless backend, and the operations the main window calls on the pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "mainwindow.h"
#include "pages/cmsv6.h"
#include "pages/devctrl.h"
#include "pages/devinfo.h"
#include "pages/gprs.h"
#include "pages/mobilelink.h"
#include "pages/param.h"
#include "pages/wifi.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

using ui::headless::Click;
using ui::headless::Type;

// Made up for the cases that look for what no template has.
constexpr int kNoSuchControl = 9999;
constexpr int kNoSuchTemplate = 4242;

class DialogLayerTest : public PageTest {
  protected:
};

// A dialog that counts what reaches its virtual handlers.
class Probe : public ui::Dialog {
  public:
    explicit Probe(int id) : ui::Dialog(id) {}
    int oks = 0, cancels = 0;
    std::vector<int> timers;

  protected:
    void OnOK() override {
        ++oks;
        ui::Dialog::OnOK();
    }
    void OnCancel() override {
        ++cancels;
        ui::Dialog::OnCancel();
    }
    void OnTimer(int id) override { timers.push_back(id); }
};

TEST_F(DialogLayerTest, ChildrenAreTheTemplateControlsInOrder) {
    Probe dialog(106);
    ASSERT_TRUE(dialog.Create());
    const ui::DialogTemplate* tmpl = ui::FindDialogTemplate(106);
    ASSERT_EQ(dialog.ChildCount(), int(tmpl->controls.size()));
    for (int i = 0; i < dialog.ChildCount(); ++i)
        EXPECT_EQ(dialog.ChildId(i), tmpl->controls[size_t(i)].id);
    EXPECT_EQ(dialog.ChildId(-1), -1);
    EXPECT_EQ(dialog.ChildId(dialog.ChildCount()), -1);
    dialog.SetChildText(1, L"abc");
    EXPECT_EQ(dialog.GetDlgItemText(tmpl->controls[1].id), L"abc");
    // A second Create is refused; a missing template creates nothing.
    EXPECT_FALSE(dialog.Create());
    Probe missing(kNoSuchTemplate);
    EXPECT_FALSE(missing.Create());
    EXPECT_EQ(missing.DoModal(), -1);
}

TEST_F(DialogLayerTest, CallsOnMissingControlsAreIgnored) {
    Probe dialog(106);
    ASSERT_TRUE(dialog.Create());
    dialog.SetDlgItemText(kNoSuchControl, L"x");
    dialog.EnableControl(kNoSuchControl, true);
    dialog.SetCurSel(kNoSuchControl, 0);
    EXPECT_EQ(dialog.GetDlgItemText(kNoSuchControl), L"");
    EXPECT_FALSE(dialog.IsControlEnabled(kNoSuchControl));
    EXPECT_EQ(dialog.GetCurSel(kNoSuchControl), -1);
    EXPECT_EQ(dialog.InsertString(kNoSuchControl, 0, L"x"), -1);
    EXPECT_FALSE(dialog.HasControl(-1));
}

TEST_F(DialogLayerTest, ListsInsertAtPositionsAndKeepTheirSelectionSound) {
    Probe dialog(107);
    ASSERT_TRUE(dialog.Create());
    const int list = ids::param::kVideoList;
    EXPECT_EQ(dialog.GetCurSel(list), -1);
    EXPECT_EQ(dialog.InsertString(list, 0, L"b"), 0);
    EXPECT_EQ(dialog.InsertString(list, 0, L"a"), 0);
    EXPECT_EQ(dialog.InsertString(list, -1, L"d"), 2);
    EXPECT_EQ(dialog.InsertString(list, 2, L"c"), 2);
    EXPECT_EQ(dialog.GetCurSel(list), -1);  // inserting selects nothing
    ASSERT_EQ(dialog.GetCount(list), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(dialog.GetItemText(list, i), std::wstring(1, wchar_t(L'a' + i)));
    dialog.SetCurSel(list, 2);
    EXPECT_EQ(dialog.GetDlgItemText(list), L"c");
    dialog.InsertString(list, 0, L"z");  // the selection follows its entry
    EXPECT_EQ(dialog.GetCurSel(list), 3);
    EXPECT_TRUE(dialog.DeleteItem(list, 0));
    EXPECT_EQ(dialog.GetCurSel(list), 2);
    EXPECT_TRUE(dialog.DeleteItem(list, 2));
    EXPECT_EQ(dialog.GetCurSel(list), -1);
    EXPECT_FALSE(dialog.DeleteItem(list, 7));
    dialog.SetCurSel(list, 10);  // past the end: no selection
    EXPECT_EQ(dialog.GetCurSel(list), -1);
    dialog.SetCurSel(list, 1);
    dialog.ResetContent(list);
    EXPECT_EQ(dialog.GetCount(list), 0);
    EXPECT_EQ(dialog.GetCurSel(list), -1);
    EXPECT_EQ(dialog.GetItemText(list, 0), L"");
}

TEST_F(DialogLayerTest, UsersCannotReachDisabledOrHiddenControls) {
    Probe dialog(106);
    ASSERT_TRUE(dialog.Create());
    using namespace ids::devinfo;
    int clicks = 0;
    dialog.OnCommand(kRefresh, [&] { ++clicks; });
    EXPECT_FALSE(Click(dialog, kRefresh));  // created disabled
    EXPECT_FALSE(Type(dialog, kDepartmentName, L"x"));
    dialog.EnableControl(kRefresh, true);
    EXPECT_TRUE(Click(dialog, kRefresh));
    dialog.ShowControl(kRefresh, false);
    EXPECT_FALSE(Click(dialog, kRefresh));
    dialog.ShowControl(kRefresh, true);
    dialog.EnableWindow(false);
    EXPECT_FALSE(Click(dialog, kRefresh));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(Click(dialog, kNoSuchControl));
}

TEST_F(DialogLayerTest, TypingFollowsTheEditsRules) {
    Probe dialog(102);
    ASSERT_TRUE(dialog.Create());
    using namespace ids::mainwindow;
    dialog.EnableControl(kPasswordBox, true);
    EXPECT_TRUE(dialog.IsPasswordStyle(kPasswordBox));
    EXPECT_TRUE(Type(dialog, kPasswordBox, L"9x8y7"));
    EXPECT_EQ(dialog.GetDlgItemText(kPasswordBox), L"987");
    EXPECT_EQ(dialog.GetFocusId(), kPasswordBox);
    dialog.LimitText(kPasswordBox, 2);
    EXPECT_TRUE(Type(dialog, kPasswordBox, L"12345"));
    EXPECT_EQ(dialog.GetDlgItemText(kPasswordBox), L"12");
    // Password style can be switched at run time.
    dialog.SetPasswordStyle(kPasswordBox, false);
    EXPECT_FALSE(dialog.IsPasswordStyle(kPasswordBox));
    dialog.SetPasswordStyle(kPasswordBox, true);
    EXPECT_TRUE(dialog.IsPasswordStyle(kPasswordBox));
    // Only edits take typing.
    EXPECT_FALSE(Type(dialog, kCancelButton, L"x"));
}

TEST_F(DialogLayerTest, MessageBoxesAreRecordedAndAnsweredFromTheScript) {
    Probe dialog(106);
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(dialog.MessageBox(L"t1", L"Orvane", ui::kMbOk), ui::kIdOk);
    EXPECT_EQ(dialog.MessageBox(L"t2", L"Orvane", ui::kMbYesNo), ui::kIdYes);
    backend_->QueueAnswer(ui::kIdCancel);
    backend_->QueueAnswer(ui::kIdNo);
    EXPECT_EQ(dialog.MessageBox(L"t3", L"Orvane", ui::kMbOkCancel), ui::kIdCancel);
    EXPECT_EQ(dialog.MessageBox(L"t4", L"Orvane", ui::kMbYesNo), ui::kIdNo);
    EXPECT_EQ(ui::MessageBox(L"t5", L"Orvane", ui::kMbOk | ui::kMbIconExclamation), ui::kIdOk);
    const auto& m = backend_->Messages();
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[0].ownerTemplate, 106);
    EXPECT_EQ(m[3].answer, ui::kIdNo);
    EXPECT_EQ(m[4].ownerTemplate, 0);
    EXPECT_EQ(m[4].style, 0x30u);
}

TEST_F(DialogLayerTest, ModalRunsEndWithTheirResultAndDestroyTheWindow) {
    Probe dialog(137);
    EXPECT_EQ(dialog.DoModal(), ui::kIdCancel);  // nobody answers: cancelled
    EXPECT_FALSE(dialog.IsCreated());

    // Buttons 1 and 2 without handlers are the dialog's OK and cancel.
    backend_->onModal = [](ui::Dialog& d) {
        EXPECT_TRUE(Click(d, ui::kIdOk));
        return 42;
    };
    EXPECT_EQ(dialog.DoModal(), ui::kIdOk);
    EXPECT_EQ(dialog.oks, 1);
    backend_->onModal = [](ui::Dialog& d) {
        ui::headless::PressEscape(d);
        return 42;
    };
    EXPECT_EQ(dialog.DoModal(), ui::kIdCancel);
    EXPECT_EQ(dialog.cancels, 1);
    backend_->onModal = [](ui::Dialog&) { return 42; };
    EXPECT_EQ(dialog.DoModal(), 42);
}

TEST_F(DialogLayerTest, TimersFireOnlyWhileArmed) {
    Probe dialog(106);
    ASSERT_TRUE(dialog.Create());
    EXPECT_FALSE(ui::headless::FireTimer(dialog, 3));
    dialog.SetTimer(3, 1000);
    EXPECT_EQ(ui::headless::TimerPeriod(dialog, 3), 1000);
    EXPECT_TRUE(ui::headless::FireTimer(dialog, 3));
    EXPECT_TRUE(ui::headless::FireTimer(dialog, 3));  // window timers repeat
    dialog.SetTimer(3, 250);
    EXPECT_EQ(ui::headless::TimerPeriod(dialog, 3), 250);
    dialog.KillTimer(3);
    EXPECT_FALSE(ui::headless::IsTimerArmed(dialog, 3));
    EXPECT_FALSE(ui::headless::FireTimer(dialog, 3));
    EXPECT_EQ(dialog.timers, (std::vector<int>{3, 3}));
}

TEST_F(DialogLayerTest, AccessibleNamesFollowLabelsAsTheyChange) {
    Probe dialog(106);
    ASSERT_TRUE(dialog.Create());
    using namespace ids::devinfo;
    EXPECT_EQ(dialog.AccessibleName(kDepartmentName), L"Depart name:");
    EXPECT_EQ(dialog.AccessibleName(kRefresh), L"Refresh");
    dialog.SetDlgItemText(kDepartmentNameLabel, L"Department:");
    EXPECT_EQ(dialog.AccessibleName(kDepartmentName), L"Department:");
    EXPECT_EQ(dialog.AccessibleName(kNoSuchControl), L"");
}

// Every page's EnableControls: which controls follow the flag and which keep their state.
struct EnableCase {
    int page;
    std::vector<int> follow;  // enabled and disabled with the flag
    std::vector<int> keep;    // left as they were
};

class PageEnableTest : public DialogLayerTest, public ::testing::WithParamInterface<EnableCase> {};

TEST_P(PageEnableTest, EnableControlsTouchesThePagesOwnControls) {
    const EnableCase& c = GetParam();
    CMainDlg main;
    ASSERT_TRUE(main.Create());
    ui::Dialog* page = nullptr;
    std::function<void(bool)> enable;
    switch (c.page) {
        case 106:
            page = &main.Page<CDlgDeviceInfo>();
            enable = [&](bool on) { main.Page<CDlgDeviceInfo>().EnableControls(on); };
            break;
        case 107:
            page = &main.Page<CDlgParam>();
            enable = [&](bool on) { main.Page<CDlgParam>().EnableControls(on); };
            break;
        case 108:
            page = &main.Page<CDlgDevCtrl>();
            enable = [&](bool on) { main.Page<CDlgDevCtrl>().EnableControls(on); };
            break;
        case 110:
            page = &main.Page<CDlgGPRSParam>();
            enable = [&](bool on) { main.Page<CDlgGPRSParam>().EnableControls(on); };
            break;
        case 136:
            page = &main.Page<CDlgWifi>();
            enable = [&](bool on) { main.Page<CDlgWifi>().EnableControls(on); };
            break;
        case 139:
            page = &main.Page<CDlgCMsv6Setting>();
            enable = [&](bool on) { main.Page<CDlgCMsv6Setting>().EnableControls(on); };
            break;
    }
    ASSERT_NE(page, nullptr);
    std::vector<bool> before;
    for (int id : c.keep) {
        ASSERT_TRUE(page->HasControl(id)) << id;
        before.push_back(page->IsControlEnabled(id));
    }
    for (bool on : {true, false, true}) {
        enable(on);
        for (int id : c.follow) {
            ASSERT_TRUE(page->HasControl(id)) << id;
            EXPECT_EQ(page->IsControlEnabled(id), on) << c.page << "/" << id;
        }
        for (size_t i = 0; i < c.keep.size(); ++i)
            EXPECT_EQ(page->IsControlEnabled(c.keep[i]), before[i]) << c.page << "/" << c.keep[i];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageEnableTest,
    ::testing::Values(
        EnableCase{106,
                   {ids::devinfo::kDepartmentName, ids::devinfo::kDepartmentNumber,
                    ids::devinfo::kUserId, ids::devinfo::kUserName, ids::devinfo::kDeviceId,
                    ids::devinfo::kRefresh, ids::devinfo::kApply},
                   {}},
        // Default Setting keeps its state; the photo list follows for these
        // model codes (0 before a login).
        EnableCase{107,
                   {ids::param::kVideoList, ids::param::kPhotoList, ids::param::kLengthList,
                    ids::param::kRefresh, ids::param::kApply, ids::param::kMore},
                   {ids::param::kDefaultSetting}},
        EnableCase{108,
                   {ids::devctrl::kClockFromPc, ids::devctrl::kStartUDisk, ids::devctrl::kFormat,
                    ids::devctrl::kSetTime, ids::devctrl::kDeleteLog, ids::devctrl::kTimePicker,
                    ids::devctrl::kDatePicker},
                   {}},
        EnableCase{
            110,
            {ids::gprs::kSosList, ids::gprs::kPhone, ids::gprs::kApn, ids::gprs::kUserName,
             ids::gprs::kPassword, ids::gprs::kRefresh, ids::gprs::kApply, ids::gprs::kServerIp},
            {}},
        EnableCase{136,
                   {ids::wifi::kModeList, ids::wifi::kEncryptionList, ids::wifi::kApName,
                    ids::wifi::kApPassword, ids::wifi::kApShow, ids::wifi::kRefresh,
                    ids::wifi::kApply, ids::wifi::kPort, ids::wifi::kIp},
                   {ids::wifi::kStationName, ids::wifi::kStationPassword, ids::wifi::kStationShow}},
        EnableCase{139,
                   {ids::cmsv6::kServerIp, ids::cmsv6::kServerPort, ids::cmsv6::kListenPort,
                    ids::cmsv6::kRefresh, ids::cmsv6::kSetting},
                   {ids::cmsv6::kDeviceId, ids::cmsv6::kSsid, ids::cmsv6::kPassword}}),
    [](const ::testing::TestParamInfo<EnableCase>& info) {
        return "page" + std::to_string(info.param.page);
    });

TEST_F(DialogLayerTest, TheMobileLinkPageDisablesItsEditsWhateverItIsAsked) {
    CMainDlg main;
    ASSERT_TRUE(main.Create());
    CDlgMobileLink& page = main.Page<CDlgMobileLink>();
    page.EnableControls(true);
    using namespace ids::mobilelink;
    for (int id : {kLinkId, kServerAddress, kPort, kApn, kUser, kPassword, kDialNumber,
                   kUploadInterval, kAlarmInterval})
        EXPECT_FALSE(page.IsControlEnabled(id)) << id;
    EXPECT_TRUE(page.IsControlEnabled(kSave));
    EXPECT_TRUE(page.IsControlEnabled(kRefresh));
}

TEST_F(DialogLayerTest, PagesLabelThemselvesAndOnlyTheFirstIsVisibleOnCreation) {
    CMainDlg main;
    ASSERT_TRUE(main.Create());
    EXPECT_TRUE(main.Page<CDlgDeviceInfo>().IsWindowVisible());
    EXPECT_FALSE(main.Page<CDlgParam>().IsWindowVisible());
    EXPECT_FALSE(main.Page<CDlgMobileLink>().IsWindowVisible());
    EXPECT_EQ(main.Page<CDlgDeviceInfo>().GetDlgItemText(ids::devinfo::kUserNameLabel),
              L"User name:");
    EXPECT_EQ(main.Page<CDlgGPRSParam>().GetDlgItemText(ids::gprs::kSosLabel), L"SOS alarm:");
    EXPECT_EQ(main.Page<CDlgGPRSParam>().GetWindowText(), L"");
    // The device control page shows Delete log from its creation on.
    EXPECT_TRUE(main.Page<CDlgDevCtrl>().IsControlVisible(ids::devctrl::kDeleteLog));
    EXPECT_TRUE(main.Page<CDlgDevCtrl>().IsControlVisible(ids::devctrl::kDeleteLogFrame));
    // The parameter page hides the free-password row and, before a login, More.
    using namespace ids::param;
    for (int id :
         {kFreePasswordLabel, kFreePasswordFrame, kFreePasswordYes, kFreePasswordNo, kMore})
        EXPECT_FALSE(main.Page<CDlgParam>().IsControlVisible(id)) << id;
    EXPECT_TRUE(main.Page<CDlgParam>().IsControlVisible(ids::param::kDefaultSetting));
    // The WiFi page's lists.
    EXPECT_EQ(main.Page<CDlgWifi>().GetItemText(ids::wifi::kModeList, 1), L"AP");
    EXPECT_EQ(main.Page<CDlgWifi>().GetItemText(ids::wifi::kEncryptionList, 1), L"WAP2");
    EXPECT_EQ(main.Page<CDlgWifi>().GetTextLimit(ids::wifi::kApName), 15);
    EXPECT_EQ(main.Page<CDlgWifi>().GetTextLimit(ids::wifi::kPort), 5);
}

}  // namespace
