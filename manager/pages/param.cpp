#include "pages/param.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "dalvex.h"
#include "devicestate.h"
#include "pages/more_dialogs.h"
#include "res/control_ids.h"
#include "settings_lists.h"
#include "text/langtable.h"
#include "text/text.h"

namespace {
using namespace ids::param;
using settings::HasMoreDialog;
using settings::kModelRk20;
using settings::kModelRk40;
using settings::kModelRk50;

std::wstring Format(const wchar_t* format, int value) {
    wchar_t buffer[64];
    std::swprintf(buffer, sizeof buffer / sizeof buffer[0], format, value);
    return buffer;
}

// Reads the camera's DeviceSettingRecord into a zero-filled record; false without a camera or
// when the read fails (the record then stays zero).
bool ReadSetting(DeviceSettingRecord& record) {
    std::memset(&record, 0, sizeof record);
    return TKUSB_GetDeviceSettingEx(&record) != 0;
}
}  // namespace

CDlgParam::CDlgParam(ui::Dialog* owner) : CPage(kTemplateId, owner) {
    OnCommand(kRefresh, [this] { Refresh(); });
    OnCommand(kApply, [this] { Apply(); });
    OnCommand(kDefaultSetting, [this] { DefaultSetting(); });
    OnSelChange(kVideoList, [this] { OnVideoChanged(); });
    // Nothing is reloaded when the model's dialog closes.
    // The model dialogs run over the main window, which owns this page.
    OnCommand(kMore, [this] { RunMoreDialog(Owner() ? Owner() : this, CurrentModelCode()); });
}

bool CDlgParam::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    const int model = CurrentModelCode();
    ShowControl(kDefaultSetting, false);
    ShowControl(kMore, false);
    if (HasMoreDialog(model))
        ShowControl(kMore, true);
    else
        ShowControl(kDefaultSetting, true);
    if (model == kModelRk20)
        ApplyRk20Labels();
    // The free-password row is never offered.
    for (int id : {kFreePasswordLabel, kFreePasswordFrame, kFreePasswordYes, kFreePasswordNo})
        ShowControl(id, false);
    return true;
}

void CDlgParam::Refresh() {
    const int model = CurrentModelCode();
    for (int id : {kVideoList, kPhotoList, kLengthList})
        SetCurSel(id, 0);
    SetDlgItemText(kCapacity, L"0MB");
    for (int id : {kVideoList, kPhotoList, kLengthList})
        ResetContent(id);

    ShowControl(kDefaultSetting, true);
    EnableControl(kDefaultSetting, true);
    ShowControl(kMore, false);
    // The RK20 learns its model code only at login, after which this runs: More must be offered
    // here for it as for the other two, or its dialog could never be reached.
    if (HasMoreDialog(model)) {
        ShowControl(kMore, true);
        EnableControl(kMore, true);
    }
    FillLists(model);
    if (model == kModelRk40) {
        LoadRk40Record();
        return;
    }
    if (model == kModelRk50) {
        LoadRk50Record();
        return;
    }
    if (settings::ShowsVersionWithSettings(model))
        ShowVersion();
    LoadRecord(model);
}

void CDlgParam::FillLists(int model) {
    const settings::Entries video = settings::VideoEntries(model);
    for (size_t i = 0; i < video.size(); ++i)
        InsertString(kVideoList, int(i), video[i]);
    const settings::Entries photo = settings::PhotoEntries(model);
    for (size_t i = 0; i < photo.size(); ++i)
        InsertString(kPhotoList, int(i), photo[i]);
    const settings::Entries lengths = settings::LengthEntries(model);
    for (size_t i = 0; i < lengths.size(); ++i)
        InsertString(kLengthList, int(i), LangTable().GetText(lengths[i]));
}

void CDlgParam::LoadRecord(int model) {
    if (TKUSB_IsDevice() == 0)
        return;
    DeviceSettingRecord record;
    ReadSetting(record);
    if (record.cardCapacity == 0)
        return;  // nothing read
    // A value the lists do not have shows as their last entry.
    auto clamp = [this](int id, int value) { return std::min(value, GetCount(id) - 1); };
    SetCurSel(kVideoList, clamp(kVideoList, record.videoResolution));
    SetCurSel(kLengthList, clamp(kLengthList, record.videoLength));
    SetCurSel(kPhotoList,
              settings::PhotoPosition(model, clamp(kPhotoList, record.photoResolution)));
    ShowStorage(model, record.cardCapacity, record.freeSpaceMB);
}

void CDlgParam::LoadRk40Record() {
    // The photo size follows the video resolution on this model, so it is not read on its own.
    if (TKUSB_IsDevice() != 0) {
        DeviceSettingRecord record;
        ReadSetting(record);
        if (record.cardCapacity == 0)
            return;
        const int position = record.videoResolution == 0 ? 0 : 1;
        SetCurSel(kVideoList, position);
        SetCurSel(kPhotoList, position);
        SetCurSel(kLengthList, record.videoLength);
        ShowStorage(kModelRk40, record.cardCapacity, record.freeSpaceMB);
    }
    ShowVersion();
}

void CDlgParam::LoadRk50Record() {
    if (TKUSB_IsDevice() == 0)
        return;
    DeviceSettingRecord record;
    ReadSetting(record);
    if (record.cardCapacity == 0)
        return;
    SetCurSel(kVideoList, record.videoResolution);
    SetCurSel(kPhotoList, record.photoResolution);
    SetCurSel(kLengthList, record.videoLength);
    ShowStorage(kModelRk50, record.cardCapacity, record.freeSpaceMB);
    ShowVersion();
}

void CDlgParam::ShowStorage(int model, int cardCapacity, int freeSpaceMB) {
    SetDlgItemText(kCapacity,
                   Format(settings::CountsInMegabytes(model) ? L"%d MB" : L"%d G", cardCapacity));
    SetDlgItemText(kFreeSpace, Format(L"%d MB", freeSpaceMB));
}

void CDlgParam::ShowVersion() {
    SetDlgItemText(kVersion, text::FromAnsiField(CurrentDeviceState().spec.firmwareVersion));
}

void CDlgParam::OnVideoChanged() {
    if (CurrentModelCode() != kModelRk40)
        return;
    SetCurSel(kPhotoList, GetCurSel(kVideoList) > 0 ? 1 : 0);
}

void CDlgParam::Apply() {
    const int model = CurrentModelCode();
    const int video = GetCurSel(kVideoList);
    const int length = GetCurSel(kLengthList);
    const int photo = settings::PhotoStored(model, GetCurSel(kPhotoList));
    TKUSB_SetDeviceSetting(photo, video, length);

    DeviceSettingRecord record;
    const bool read = ReadSetting(record);
    // Nothing selected (-1) never equals a stored byte, so it always reports a failure.
    const bool same = read && record.videoResolution == video && record.videoLength == length &&
                      (model == kModelRk40 || record.photoResolution == photo);
    ShowOutcome(same);
}

void CDlgParam::DefaultSetting() {
    if (ShowKey(L"IDS_SURE_USE_DEFAULT", ui::kMbOkCancel) != ui::kIdOk)
        return;
    const int done = TKUSB_RK20UseDefault();
    if (CurrentModelCode() == kModelRk50) {
        // The RK50 is not rebooted from here, and its answer is not shown.
        ShowKey(L"IDS_MODIFY_SUC");
        return;
    }
    if (done == 0) {
        ShowKey(L"IDS_MODIFY_FAILE");
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kRebootDelayMs));
    TKUSB_Reboot();
    ShowKey(L"IDS_MODIFY_SUC");
}

void CDlgParam::EnableControls(bool enable) {
    // Default Setting keeps its state: once shown it stays usable.
    for (int id : {kVideoList, kPhotoList, kLengthList, kRefresh, kApply, kMore})
        EnableControl(id, enable);
    const int model = CurrentModelCode();
    if (model == kModelRk40)
        EnableControl(kPhotoList, false);  // follows the video resolution
    if (model == kModelRk20)
        ApplyRk20Labels();
}

void CDlgParam::ApplyRk20Labels() {
    EnableControl(kPhotoList, false);
    EnableControl(kPhotoLabel, false);
    SetDlgItemText(kVideoLabel, LangTable().GetText(L"IDS_RESOLUTION"));
    SetDlgItemText(kPhotoLabel, LangTable().GetText(L"IDS_PHOTO_SIZE"));
    SetDlgItemText(kLengthLabel, LangTable().GetText(L"IDS_RECODE_FILE_SIZE"));
}
