#include "cameras.h"

#include <cstring>

#include "discovery.h"
#include "settings_lists.h"
#include "text/text.h"
#include "transport.h"

namespace cli {

std::string Camera::modelName() const {
    return settings::ModelName(spec.modelCode);
}

std::string Camera::firmware() const {
    return text::Encode(text::FromAnsiField(spec.firmwareVersion), "UTF-8");
}

Json::Value Camera::identity() const {
    Json::Value v(Json::objectValue);
    v["letter"] = std::string(1, letter);
    v["serial"] = serial;
    v["model_code"] = spec.modelCode;
    v["model"] = modelName();
    return v;
}

std::vector<Camera> findCameras() {
    std::vector<Camera> cameras;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        if (!dalvex::cameraAt(letter))
            continue;
        Camera camera;
        camera.letter = letter;
        selectCamera(letter);
        char serial[33] = {};
        if (TKUSB_GetDevSerial(serial))
            camera.serial = text::Encode(text::FromAnsiField(serial), "UTF-8");
        TKUSB_GetDeviceSpec(&camera.spec);
        int battery = 0;
        if (TKUSB_GetBattle_Ex(&battery, letter))
            camera.battery = battery;
        char root[dalvex::kDrivePathSize];
        dalvex::formatDriveRoot(letter, root);
        // The command disk is tiny; a large disk is the card itself.
        camera.storageExposed = !dalvex::isSmallDisk(root);
        cameras.push_back(camera);
    }
    return cameras;
}

void selectCamera(char letter) {
    dalvex::selectDrive(letter);
}

bool cameraPresent(char letter) {
    return dalvex::cameraAt(letter);
}

}  // namespace cli
