#include "pages/mobilelink.h"

#include <cstring>
#include <cwctype>
#include <iterator>
#include <string>
#include <string_view>

#include "dalvex.h"
#include "record_fields.h"
#include "res/control_ids.h"
#include "text/langtable.h"
#include "text/text.h"

namespace {
using namespace ids::mobilelink;
constexpr int kEdits[] = {kLinkId,   kServerAddress, kPort,           kApn,          kUser,
                          kPassword, kDialNumber,    kUploadInterval, kAlarmInterval};
consteval int FieldLimit(std::string_view member) {
    return fields::TypingLimit(fields::kMobileLink[member]);
}
// Texts take their field's width; the port and the intervals take five digits.
constexpr int kTypedLimits[] = {FieldLimit("linkId"),
                                FieldLimit("serverAddress"),
                                5,
                                FieldLimit("apn"),
                                FieldLimit("user"),
                                FieldLimit("password"),
                                FieldLimit("dialNumber"),
                                5,
                                5};
constexpr uint16_t kDefaultPort = 5600;
// A server address this short cannot name a server; the camera keeps such a field as unset.
constexpr size_t kShortestAddress = 3;

std::wstring Cut(std::wstring text, size_t characters) {
    if (text.size() > characters)
        text.resize(characters);
    return text;
}

std::wstring Trim(const std::wstring& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::iswspace(wint_t(text[begin])))
        ++begin;
    while (end > begin && std::iswspace(wint_t(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

// The decimal value at the start of an edit's text; 0 when it holds no number. Large values
// stop growing once past any 16-bit number, so they stay above 65535 without overflowing.
unsigned long DecimalValue(const std::wstring& text) {
    unsigned long value = 0;
    for (wchar_t ch : text) {
        if (ch < L'0' || ch > L'9')
            break;
        if (value <= 0xFFFFFF)
            value = value * 10 + unsigned(ch - L'0');
    }
    return value;
}

// Five digits can exceed 16 bits: such an interval is kept at the longest the record holds
// rather than wrapped round (70000 would otherwise become 4464, and 65536 the unset 0).
uint16_t IntervalValue(const std::wstring& text) {
    const unsigned long value = DecimalValue(text);
    return value > 0xFFFF ? uint16_t(0xFFFF) : uint16_t(value);
}

std::wstring IntervalText(uint16_t interval) {
    return std::to_wstring(interval == 0 ? 1 : interval);
}
}  // namespace

CDlgMobileLink::CDlgMobileLink(ui::Dialog* owner) : CPage(kTemplateId, owner) {}

bool CDlgMobileLink::OnInitDialog() {
    for (size_t i = 0; i < std::size(kEdits); ++i)
        LimitText(kEdits[i], kTypedLimits[i]);
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    OnCommand(kSave, [this] { Save(); });
    OnCommand(kRefresh, [this] { Refresh(); });
    Refresh();
    return true;
}

void CDlgMobileLink::Refresh() {
    if (TKUSB_IsDevice() == 0) {
        EnableEdits(false);
        return;
    }
    EnableEdits(true);
    MobileLinkRecord record{};
    if (!TKUSB_GetMobileLinkParam(&record))
        return;
    SetDlgItemText(kLinkId, Cut(text::FromAnsiField(record.linkId), sizeof record.linkId));
    const std::wstring address = text::FromAnsiField(record.serverAddress);
    SetDlgItemText(kServerAddress, address.size() < kShortestAddress
                                       ? L""
                                       : Cut(address, sizeof record.serverAddress));
    const bool unset = record.serverPort == 0 || record.serverPort == 0xFFFF;
    SetDlgItemText(kPort, std::to_wstring(unset ? kDefaultPort : record.serverPort));
    SetDlgItemText(kApn, Cut(text::FromAnsiField(record.apn), sizeof record.apn));
    SetDlgItemText(kUser, Cut(text::FromAnsiField(record.user), sizeof record.user));
    SetDlgItemText(kPassword, Cut(text::FromAnsiField(record.password), sizeof record.password));
    SetDlgItemText(kDialNumber,
                   Cut(text::FromAnsiField(record.dialNumber), sizeof record.dialNumber));

    GpsUploadRecord upload{};
    if (TKUSB_GetGpsUploadParam(&upload)) {
        SetDlgItemText(kUploadInterval, IntervalText(upload.uploadInterval));
        SetDlgItemText(kAlarmInterval, IntervalText(upload.alarmInterval));
    }
}

void CDlgMobileLink::EnableControls(bool enable) {
    // Only a loss of the camera calls it; a Refresh that finds one enables the edits again.
    (void)enable;
    EnableEdits(false);
}

void CDlgMobileLink::EnableEdits(bool enable) {
    for (int id : kEdits)
        EnableControl(id, enable);
}

void CDlgMobileLink::Save() {
    MobileLinkRecord sent{};
    // Each text keeps as many characters as its field has bytes.
    struct Field {
        int edit;
        char* bytes;
        size_t size;
    };
    const Field texts[] = {
        {kLinkId, sent.linkId, sizeof sent.linkId},
        {kServerAddress, sent.serverAddress, sizeof sent.serverAddress},
        {kApn, sent.apn, sizeof sent.apn},
        {kUser, sent.user, sizeof sent.user},
        {kPassword, sent.password, sizeof sent.password},
        {kDialNumber, sent.dialNumber, sizeof sent.dialNumber},
    };
    for (const Field& f : texts) {
        text::ToAnsiBuffer(Cut(Trim(GetDlgItemText(f.edit)), f.size), f.bytes, f.size,
                           text::Terminator::kOptional);
    }
    const unsigned long port = DecimalValue(GetDlgItemText(kPort));
    sent.serverPort = port > 0xFFFF ? kDefaultPort : uint16_t(port);

    TKUSB_SetMobileLinkParam(&sent);
    MobileLinkRecord back{};
    const bool same =
        TKUSB_GetMobileLinkParam(&back) && std::memcmp(&sent, &back, sizeof sent) == 0;
    if (!same) {
        ShowKey(L"IDS_COMM_SETFAIL", ui::kMbOk | ui::kMbIconExclamation);
        return;
    }
    GpsUploadRecord upload{};
    upload.uploadInterval = IntervalValue(GetDlgItemText(kUploadInterval));
    upload.alarmInterval = IntervalValue(GetDlgItemText(kAlarmInterval));
    const bool ok = TKUSB_SetGpsUploadParam(&upload) != 0;
    ShowOutcome(ok);
}
