#include "pages/devinfo.h"

#include <array>

#include "dalvex.h"
#include "record_fields.h"
#include "res/control_ids.h"
#include "text/langtable.h"
#include "text/text.h"

namespace {
using namespace ids::devinfo;
// The five edits, Refresh and Apply.
constexpr int kControlsOfLogin[] = {kDepartmentName, kDepartmentNumber, kUserId, kUserName,
                                    kDeviceId,       kRefresh,          kApply};
constexpr size_t kDeviceIdChars = 7;

// The five texts in the order the library takes them, each in a buffer one byte longer than the
// longest text the library copies into it, so that a full field still ends in a NUL.
struct UserInfoBuffers {
    char deviceId[13] = {};
    char departmentName[33] = {};
    char departmentNumber[13] = {};
    char userName[33] = {};
    char userId[13] = {};

    int Read() {
        return TKUSB_GetUserInfo(deviceId, departmentName, departmentNumber, userName, userId);
    }
    std::array<std::wstring, 5> Texts() const {
        return {text::FromAnsiField(deviceId), text::FromAnsiField(departmentName),
                text::FromAnsiField(departmentNumber), text::FromAnsiField(userName),
                text::FromAnsiField(userId)};
    }
};

// Edit ids in the order of UserInfoBuffers.
constexpr int kFieldEdits[] = {kDeviceId, kDepartmentName, kDepartmentNumber, kUserName, kUserId};
}  // namespace

CDlgDeviceInfo::CDlgDeviceInfo(ui::Dialog* owner) : CPage(kTemplateId, owner) {
    // The first page is visible as soon as it exists; the others wait for their tab.
    SetVisibleOnCreate(true);
    OnCommand(kRefresh, [this] { Refresh(); });
    OnCommand(kApply, [this] { Apply(); });
}

bool CDlgDeviceInfo::OnInitDialog() {
    LimitText(kDeviceId, int(kDeviceIdChars));
    LimitText(kDepartmentNumber, fields::TypingLimit(fields::kUser["departmentNumber"]));
    LimitText(kDepartmentName, fields::TypingLimit(fields::kUser["departmentName"]));
    LimitText(kUserId, 6);  // the getter hands out six characters of the user id
    LimitText(kUserName, fields::TypingLimit(fields::kUser["userName"]));
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    return true;
}

void CDlgDeviceInfo::Refresh() {
    for (int id : kFieldEdits)
        SetDlgItemText(id, L"");
    if (TKUSB_IsDevice() == 0)
        return;
    UserInfoBuffers buffers;
    if (buffers.Read() == 0)
        return;
    const auto texts = buffers.Texts();
    for (size_t i = 0; i < texts.size(); ++i)
        SetDlgItemText(kFieldEdits[i], texts[i]);
}

void CDlgDeviceInfo::Apply() {
    std::array<std::wstring, 5> typed;
    for (size_t i = 0; i < typed.size(); ++i)
        typed[i] = GetDlgItemText(kFieldEdits[i]);
    if (typed[0].size() > kDeviceIdChars) {
        typed[0].resize(kDeviceIdChars);
    }
    SetDlgItemText(kDeviceId, typed[0]);

    UserInfoBuffers sent;
    text::ToAnsiBuffer(typed[0], sent.deviceId);
    text::ToAnsiBuffer(typed[1], sent.departmentName);
    text::ToAnsiBuffer(typed[2], sent.departmentNumber);
    text::ToAnsiBuffer(typed[3], sent.userName);
    text::ToAnsiBuffer(typed[4], sent.userId);
    TKUSB_SetUserInfo(sent.deviceId, sent.departmentName, sent.departmentNumber, sent.userName,
                      sent.userId);

    // The camera's copy decides: a text it refused or shortened differs from what was typed.
    UserInfoBuffers readBack;
    readBack.Read();
    const bool same = readBack.Texts() == typed;
    ShowOutcome(same);
}

void CDlgDeviceInfo::EnableControls(bool enable) {
    for (int id : kControlsOfLogin)
        EnableControl(id, enable);
}
