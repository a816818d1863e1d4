#include "pages/pwd.h"

#include <string>

#include "dalvex.h"
#include "pages/page.h"
#include "password_rules.h"
#include "res/control_ids.h"
#include "text/langtable.h"
#include "text/text.h"

namespace {
using namespace ids::pwd;
bool HasLength(const std::wstring& password, std::size_t length) {
    return password.size() == length;
}
}  // namespace

CDlgPwd::CDlgPwd() : ui::Dialog(kTemplateId) {
    OnCommand(kModify, [this] { ModifyLoginPassword(); });
    OnCommand(kApply, [this] { ApplyBrowsePassword(); });
    OnCommand(kCancel, [this] { EndDialog(ui::kIdCancel); });
}

bool CDlgPwd::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    for (int id : {kCurrent, kNew, kNewAgain})
        LimitText(id, int(passwords::kLoginLength));
    for (int id : {kBrowse, kBrowseAgain})
        LimitText(id, int(passwords::kBrowseLength));
    ResetContent(kTypeSelector);
    InsertString(kTypeSelector, 0, LangTable().GetText(L"IDS_SET_BROWSE_PWD"));
    InsertString(kTypeSelector, 1, LangTable().GetText(L"IDS_SET_USER_PWD"));
    SetCurSel(kTypeSelector, 0);
    ShowControl(kTypeSelector, false);
    SetDlgItemText(kBrowseFrame, LangTable().GetText(L"IDS_SET_BROWSE_PWD"));
    return true;
}

void CDlgPwd::ShowKey(const wchar_t* key) {
    ShowKeyMessage(*this, key);
}

void CDlgPwd::ModifyLoginPassword() {
    const std::wstring current = GetDlgItemText(kCurrent);
    const std::wstring next = GetDlgItemText(kNew);
    if (current.empty()) {
        ShowKey(L"IDS_TIPS_PWD_INPUT");
        SetFocusTo(kCurrent);
        return;
    }
    if (next.empty()) {
        ShowKey(L"IDS_TIPS_PWD_INPUT_NEW");
        SetFocusTo(kNew);
        return;
    }
    if (next != GetDlgItemText(kNewAgain)) {
        ShowKey(L"IDS_TIPS_PWD_ERROR");
        SetFocusTo(kNew);
        return;
    }
    if (!HasLength(current, passwords::kLoginLength)) {
        SetFocusTo(kCurrent);
        ShowKey(L"IDS_NOTICE_PWD_LEN_ERROR");
        return;
    }
    if (!HasLength(next, passwords::kLoginLength)) {
        SetFocusTo(kNew);
        ShowKey(L"IDS_NOTICE_PWD_LEN_ERROR");
        return;
    }
    if (TKUSB_IsDevice() != 0) {
        char currentBuffer[32], nextBuffer[32];
        text::ToAnsiBuffer(current, currentBuffer);
        text::ToAnsiBuffer(next, nextBuffer);
        if (TKUSB_ChangeLoginPwd(currentBuffer, nextBuffer) != 0) {
            for (int id : {kCurrent, kNew, kNewAgain})
                SetDlgItemText(id, L"");
            ShowKey(L"IDS_TIPS_PWD_MODIFY_OK");
            return;
        }
    }
    ShowKey(L"IDS_TIPS_PWD_MODIFY_FAIL");
}

void CDlgPwd::ApplyBrowsePassword() {
    const std::wstring password = GetDlgItemText(kBrowse);
    const std::wstring again = GetDlgItemText(kBrowseAgain);
    if (password.empty()) {
        ShowKey(L"IDS_TIPS_PWD_INPUT");
        SetFocusTo(kBrowse);
        return;
    }
    if (password != again) {
        ShowKey(L"IDS_TIPS_PWD_ERROR");
        SetFocusTo(kBrowse);
        return;
    }
    if (!HasLength(password, passwords::kBrowseLength)) {
        SetFocusTo(kBrowse);
        ShowKey(L"IDS_NOTICE_PWD_LEN_ERROR");
        return;
    }
    if (TKUSB_IsDevice() != 0) {
        char first[32], second[32];
        text::ToAnsiBuffer(password, first);
        text::ToAnsiBuffer(again, second);
        if (TKUSB_ChangeBrowsePwd(first, second) != 0) {
            ShowKey(L"IDS_TIPS_PWD_MODIFY_OK");
            return;
        }
    }
    ShowKey(L"IDS_TIPS_PWD_MODIFY_FAIL");
}
