// What follows from a camera's model code and the flags of its device description: the models
// with settings of their own, the dialog the parameter page's More button opens, the tabs the
// main window offers and how the card is counted. The pages, the main window, the command-line
// tool and the camera emulator all decide from here. Only plain numbers go in, so the emulator
// needs nothing of the library to use it.
#pragma once

namespace settings {

constexpr int kModelRk20 = 48;
constexpr int kModelRk40 = 208;
constexpr int kModelRk50 = 240;

// The three models with settings of their own; "" for every other code.
inline const char* ModelName(int model) {
    switch (model) {
        case kModelRk20:
            return "RK20";
        case kModelRk40:
            return "RK40";
        case kModelRk50:
            return "RK50";
        default:
            return "";
    }
}

// The dialog that More opens: the RK20's full settings, or the RK40's or RK50's extra settings.
enum class MoreDialog { kNone, kRk20Settings, kRk40Extra, kRk50Extra };
inline MoreDialog MoreDialogOf(int model) {
    switch (model) {
        case kModelRk20:
            return MoreDialog::kRk20Settings;
        case kModelRk40:
            return MoreDialog::kRk40Extra;
        case kModelRk50:
            return MoreDialog::kRk50Extra;
        default:
            return MoreDialog::kNone;
    }
}
inline bool HasMoreDialog(int model) {
    return MoreDialogOf(model) != MoreDialog::kNone;
}

// Early models count their card in MB and store the photo choice shifted by one.
inline bool CountsInMegabytes(int model) {
    return model == 16 || model == 17;
}
inline bool HasShiftedPhoto(int model) {
    return model < 32;
}
// The middle generation shows its firmware version with the common settings.
inline bool ShowsVersionWithSettings(int model) {
    return model >= 32 && model <= 79;
}

// The tabs beyond the three every camera has, from the model code and the device description's
// wifi and no-CMS flags.
inline bool HasGprsTab(int model) {
    return model == 17 || model == 33;
}
inline bool HasWifiTab(int model, int wifiFlag) {
    return wifiFlag == 1 && model >= 32;
}
inline bool HasCmsTab(int model, int wifiFlag, int noCmsFlag) {
    return HasWifiTab(model, wifiFlag) && noCmsFlag == 0;
}

}  // namespace settings
