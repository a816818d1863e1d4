#include "cameras.h"

#include "settings_lists.h"
#include "text/text.h"

namespace cli {

std::string cameraText(const std::string& text) {
    return text::Encode(text::FromAnsiField(text.data(), text.size()), "UTF-8");
}

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
    for (const dalvex::CameraInfo& found : dalvex::listCameras()) {
        Camera camera;
        camera.letter = found.letter;
        camera.serial = cameraText(found.serial);
        camera.spec = found.spec;
        camera.battery = found.battery.value_or(-1);
        camera.storageExposed = found.storageExposed;
        cameras.push_back(camera);
    }
    return cameras;
}

}  // namespace cli
