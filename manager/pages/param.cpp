#include "pages/param.h"

#include "devicestate.h"
#include "langtable.h"

namespace {
constexpr int kVideoList = 1016, kPhotoList = 1017, kLengthList = 1018;
constexpr int kPhotoLabel = 1027;
constexpr int kMore = 1023, kDefaultSetting = 1021, kRefresh = 1015, kApply = 1014;
constexpr int kModelRk20 = 48, kModelRk40 = 208, kModelRk50 = 240;
}  // namespace

CDlgParam::CDlgParam(ui::Dialog* owner) : ui::Dialog(kTemplateId), m_owner(owner) {}

bool CDlgParam::OnInitDialog() {
    LangTable().ApplyDialogTexts(*this, kTemplateId);
    const int model = CurrentModelCode();
    ShowControl(kDefaultSetting, false);
    ShowControl(kMore, false);
    if (model == kModelRk20 || model == kModelRk40 || model == kModelRk50)
        ShowControl(kMore, true);
    else
        ShowControl(kDefaultSetting, true);
    if (model == kModelRk20)
        ApplyRk20Labels();
    // The free-password row is never offered.
    for (int id : {1031, 1137, 1144, 1145})
        ShowControl(id, false);
    return true;
}

void CDlgParam::Refresh() {
    // TODO(parameter page): rebuild the three lists for the model code and load
    // DeviceSettingRecord. Not built yet: until then a refresh leaves the page as it is.
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
    SetDlgItemText(1026, LangTable().GetText(L"IDS_RESOLUTION"));
    SetDlgItemText(kPhotoLabel, LangTable().GetText(L"IDS_PHOTO_SIZE"));
    SetDlgItemText(1028, LangTable().GetText(L"IDS_RECODE_FILE_SIZE"));
}
