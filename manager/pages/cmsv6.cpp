#include "pages/cmsv6.h"

#include <cstring>
#include <string>

#include "dalvex.h"
#include "record_fields.h"
#include "res/control_ids.h"
#include "text/langtable.h"
#include "text/text.h"

namespace {
using namespace ids::cmsv6;
constexpr uint16_t kDefaultServerPort = 6608, kDefaultListenPort = 6688;
constexpr fields::Field kDeviceIdField = fields::kCms["deviceId"];
// An identifier this short is taken as unset, and the camera's serial number stands in for it.
constexpr size_t kShortestDeviceId = 2;
// The station texts the page writes and compares: the first 16 characters and bytes.
constexpr size_t kStationChars = 16;

std::wstring PortText(uint16_t port, uint16_t unsetDefault) {
    return std::to_wstring(port == 0xFFFF ? unsetDefault : port);
}

// The decimal value of a port edit kept to 16 bits; 0 when it holds no number.
uint16_t PortValue(const std::wstring& text) {
    unsigned long value = 0;
    for (wchar_t ch : text) {
        if (ch < L'0' || ch > L'9')
            break;
        value = (value * 10 + unsigned(ch - L'0')) & 0xFFFFFF;
    }
    return uint16_t(value);
}
}  // namespace

CDlgCMsv6Setting::CDlgCMsv6Setting(ui::Dialog* owner) : CPage(kTemplateId, owner) {}

bool CDlgCMsv6Setting::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    LimitText(kDeviceId, fields::TypingLimit(kDeviceIdField));
    LimitText(kServerPort, 5);
    LimitText(kListenPort, 5);
    OnCommand(kRefresh, [this] { Refresh(); });
    OnCommand(kSetting, [this] { Setting(); });
    OnCommand(kShowPassword, [this] {
        SetPasswordStyle(kPassword, !GetCheck(kShowPassword));
        SetFocusTo(kPassword);
    });
    Refresh();
    return true;
}

void CDlgCMsv6Setting::Refresh() {
    if (TKUSB_IsDevice() == 0) {
        EnableServerControls(false);
        return;
    }
    EnableServerControls(true);
    Cmsv6Record record{};
    if (!TKUSB_CMSV6GetSeting(&record))
        return;
    std::wstring id = text::FromAnsiField(record.deviceId);
    if (id.size() > kDeviceIdField.size)
        id.resize(kDeviceIdField.size);
    if (id.size() < kShortestDeviceId) {
        char serial[64] = {};
        TKUSB_GetDevSerial(serial);
        id = text::FromAnsiField(serial);
    }
    SetDlgItemText(kDeviceId, id);
    SetDlgItemText(kServerIp, text::FromAnsiField(record.serverIp));
    SetDlgItemText(kServerPort, PortText(record.serverPort, kDefaultServerPort));
    SetDlgItemText(kListenPort, PortText(record.listenPort, kDefaultListenPort));

    WifiRecord wifi{};
    if (TKUSB_GetWifiParam(&wifi)) {
        SetDlgItemText(kSsid, text::FromAnsiField(wifi.ssid));
        SetDlgItemText(kPassword, text::FromAnsiField(wifi.password));
    }
}

void CDlgCMsv6Setting::EnableControls(bool enable) {
    // The identifier, network name and password keep their state.
    EnableServerControls(enable);
}

void CDlgCMsv6Setting::EnableServerControls(bool enable) {
    for (int id : {kServerIp, kServerPort, kListenPort, kRefresh, kSetting})
        EnableControl(id, enable);
}

void CDlgCMsv6Setting::Setting() {
    if (!WriteAccount()) {
        ShowOutcome(false);
        return;
    }
    const bool ok = WriteStation();
    ShowOutcome(ok);
}

bool CDlgCMsv6Setting::WriteAccount() {
    Cmsv6Record sent{};
    // The identifier may be a serial number longer than the field: its first 8 bytes go in.
    text::ToAnsiBuffer(GetDlgItemText(kDeviceId), sent.deviceId, text::Terminator::kOptional);
    text::ToAnsiBuffer(GetDlgItemText(kServerIp), sent.serverIp, text::Terminator::kOptional);
    sent.serverPort = PortValue(GetDlgItemText(kServerPort));
    sent.listenPort = PortValue(GetDlgItemText(kListenPort));
    TKUSB_CMSV6Setting(sent);
    // The reader clears its record first, so a failed read would match a cleared record.
    Cmsv6Record back{};
    if (!TKUSB_CMSV6GetSeting(&back))
        return false;
    return std::memcmp(&sent, &back, sizeof sent) == 0;
}

bool CDlgCMsv6Setting::WriteStation() {
    // Built from scratch: mode 0 (station), no encryption, no address and port 0.
    WifiRecord sent{};
    text::ToAnsiBuffer(GetDlgItemText(kSsid).substr(0, kStationChars), sent.ssid);
    text::ToAnsiBuffer(GetDlgItemText(kPassword).substr(0, kStationChars), sent.password);
    TKUSB_SetWifiParam(&sent);
    WifiRecord back{};
    if (!TKUSB_GetWifiParam(&back))
        return false;
    return std::memcmp(sent.ssid, back.ssid, kStationChars) == 0 &&
           std::memcmp(sent.password, back.password, kStationChars) == 0;
}
