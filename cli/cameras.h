// The cameras on the drive letters C to Z as the tool shows them.
#pragma once

#include <json/json.h>

#include <string>
#include <vector>

#include "dalvex/camera.h"

namespace cli {

struct Camera {
    char letter = 0;
    std::string serial;  // UTF-8
    DeviceSpecRecord spec{};
    int battery = -1;  // -1 when the camera did not answer
    bool storageExposed = false;

    // The handle that sends this camera its commands.
    dalvex::Camera handle() const { return dalvex::Camera(letter); }
    std::string modelName() const;
    std::string firmware() const;
    // letter, serial, model_code, model: the identity every per-camera object starts with.
    Json::Value identity() const;
};

// Every camera in letter order, with its identity read.
std::vector<Camera> findCameras();

// A text of the camera's code set as UTF-8.
std::string cameraText(const std::string& text);

}  // namespace cli
