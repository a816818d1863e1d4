// The cameras on the drive letters C to Z, and the choice of the camera that commands go to.
#pragma once

#include <json/json.h>

#include <string>
#include <vector>

#include "dalvex.h"

namespace cli {

struct Camera {
    char letter = 0;
    std::string serial;
    DeviceSpecRecord spec{};
    int battery = -1;  // -1 when the camera did not answer
    bool storageExposed = false;

    std::string modelName() const;
    std::string firmware() const;
    // letter, serial, model_code, model: the identity every per-camera object starts with.
    Json::Value identity() const;
};

// Every camera in letter order, with its identity read.
std::vector<Camera> findCameras();

// Makes the camera's drive the one that the library's commands go to.
void selectCamera(char letter);

// Whether a camera answers on the letter again (after a reboot, a format, a storage switch).
bool cameraPresent(char letter);

}  // namespace cli
