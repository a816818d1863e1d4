// What the main window knows of the camera, for the whole process: the pages read the device
// description that the latest login fetched.
#pragma once

#include "dalvex.h"

struct DeviceState {
    int connected = 0;        // 1 while the device watch considers a camera present
    int misses = 0;           // consecutive watch ticks without a camera
    DeviceSpecRecord spec{};  // all zero until the first successful login
};

DeviceState& CurrentDeviceState();
inline int CurrentModelCode() {
    return CurrentDeviceState().spec.modelCode;
}
