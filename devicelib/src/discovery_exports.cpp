// The discovery exports: the scan, the per-letter table and the copy-finished command by serial.
#include <cstring>

#include "commands.h"
#include "dalvex.h"
#include "dalvex/camera.h"
#include "discovery.h"
#include "export_guard.h"

using namespace dalvex;

extern "C" {

DALVEX_API int TKUSB_IsDevice(void) try {
    char letter = 0;
    findCameraDrive(&letter, ScanMode::kIdentification);
    return static_cast<unsigned char>(letter);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_IsDevice_Ex(void) try { return firstTableLetter(); } catch (...) {
    return exportFailed(__func__, 'C' + kLetterCount);
}

DALVEX_API void TKUSB_DisConnect(void) {}

DALVEX_API int TKUSB_GetDevSerial_Ex(char* serial, int letter) try {
    int l = letter & 0xFF;
    if (l > 'Z') {
        l -= 32;
    }
    if (l < 'C' || l > 'Z' || serial == nullptr) {
        return 0;
    }
    tableSerial(char(l), serial);
    return 1;
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetCopyFileFinish_Ex_DeviceID(const char* serial) try {
    if (serial == nullptr) {
        return 0;
    }
    const size_t span = std::strlen(serial) >= 8 ? 8 : 6;
    const int matched = tableLetterOfSerial(serial, span);
    if (matched != 0) {
        Camera(matched).copyFinished();
    }
    return 1;
} catch (...) {
    return exportFailed(__func__, 0);
}

}  // extern "C"
