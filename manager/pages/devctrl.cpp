#include "pages/devctrl.h"

#include <string>

#include "dalvex.h"
#include "res/control_ids.h"
#include "text/langtable.h"
#include "text/text.h"

namespace {
using namespace ids::devctrl;

// The camera keeps its clock only for these years; the message is the same in every language.
constexpr int kFirstYear = 2014, kLastYear = 2020;
constexpr const wchar_t* kYearMessage = L"年份必须在2014-2020之间!";

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool IsAcceptedDate(const ui::DateTime& date) {
    if (date.year < kFirstYear || date.year > kLastYear || date.month < 1 || date.month > 12)
        return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int days = kDays[date.month - 1] + (date.month == 2 && IsLeapYear(date.year) ? 1 : 0);
    return date.day >= 1 && date.day <= days;
}
}  // namespace

CDlgDevCtrl::CDlgDevCtrl(ui::Dialog* owner) : CPage(kTemplateId, owner) {
    OnCommand(kClockFromPc, [this] { SetClockFromPc(); });
    OnCommand(kStartUDisk, [this] { StartUDisk(); });
    OnCommand(kFormat, [this] { Format(); });
    OnCommand(kDeleteLog, [this] { DeleteLog(); });
    OnCommand(kSetTime, [this] { SetPickedTime(); });
}

bool CDlgDevCtrl::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    ShowDeleteLog();
    return true;
}

void CDlgDevCtrl::EnableControls(bool enable) {
    for (int id :
         {kClockFromPc, kStartUDisk, kFormat, kSetTime, kDeleteLog, kTimePicker, kDatePicker})
        EnableControl(id, enable);
}

void CDlgDevCtrl::ShowDeleteLog() {
    ShowControl(kDeleteLog, true);
    ShowControl(kDeleteLogFrame, true);
}

void CDlgDevCtrl::SetClockFromPc() {
    // The library reads the PC's clock itself.
    if (TKUSB_IsDevice() != 0 && TKUSB_SetTime() != 0)
        ShowKey(L"IDS_COMM_SETOK");
    else
        ShowKey(L"IDS_COMM_SETFAIL");
}

void CDlgDevCtrl::StartUDisk() {
    if (TKUSB_IsDevice() == 0) {
        ShowKey(L"IDS_COMM_SETFAIL");
        return;
    }
    char password[32];
    text::ToAnsiBuffer(Password(), password);
    ShowKey(TKUSB_SwitchToMSC(password, 0) != 0 ? L"IDS_COMM_SETOK" : L"IDS_COMM_SETFAIL");
}

void CDlgDevCtrl::Format() {
    if (ShowKey(L"IDS_TIPS_FORMAT_TIPS", ui::kMbYesNo) != ui::kIdYes)
        return;
    if (TKUSB_IsDevice() == 0)
        return;
    // The library answers 1 when the camera took the command and 0 when it refused it; polling a
    // format that never started would show "Formatting..." for ever.
    if (TKUSB_Format() <= 0) {
        ShowKey(L"IDS_TIPS_FORMAT_ERROR");
        return;
    }
    EnableControl(kFormat, false);
    ShowControl(kFormattingNote, true);
    SetTimer(kFormatTimer, kFormatPollMs);
}

void CDlgDevCtrl::OnTimer(int id) {
    if (id == kFormatTimer)
        PollFormat();
}

void CDlgDevCtrl::PollFormat() {
    // One poll per arming: a slow answer must not let polls pile up.
    KillTimer(kFormatTimer);
    if (TKUSB_IsDevice() == 0) {
        // Format stays disabled until the next login enables the page again.
        ShowControl(kFormattingNote, false);
        ShowKey(L"IDS_TIPS_DEVICE_DISCONNECT");
        return;
    }
    const int status = TKUSB_Get_FormatStatus();
    if (status == 0) {
        SetTimer(kFormatTimer, kFormatPollMs);
        return;
    }
    EnableControl(kFormat, true);
    ShowControl(kFormattingNote, false);
    if (status < 0) {
        // "%s (%d)": the failure text with the camera's code.
        ShowText(LangTable().GetText(L"IDS_TIPS_FORMAT_ERROR") + L" (" + std::to_wstring(status) +
                 L")");
    } else {
        ShowKey(L"IDS_TIPS_FORMAT_SUCCESS");
    }
}

void CDlgDevCtrl::DeleteLog() {
    ShowKey(TKUSB_DeleteLog() != 0 ? L"IDS_DEL_LOG_SUC" : L"IDS_DEL_LOG_FAILE");
}

void CDlgDevCtrl::SetPickedTime() {
    EnableControl(kSetTime, false);
    const ui::DateTime date = GetDateTime(kDatePicker);
    const ui::DateTime time = GetDateTime(kTimePicker);
    if (!IsAcceptedDate(date)) {
        ShowText(kYearMessage);
        EnableControl(kSetTime, true);
        return;
    }
    auto send = [&] {
        return TKUSB_SetDeviceTime(date.year, date.month, date.day, time.hour, time.minute,
                                   time.second);
    };
    // A write the camera missed gets exactly one more try; only a write it took is reported as
    // done.
    const bool done = send() != 0 || send() != 0;
    ShowKey(done ? L"IDS_COMM_SETOK" : L"IDS_COMM_SETFAIL");
    EnableControl(kSetTime, true);
}
