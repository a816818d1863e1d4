// How the C exports reach the camera handle: through the current drive path, or a letter.
#pragma once

#include "commands.h"
#include "dalvex/camera.h"

namespace dalvex {

struct CameraAccess {
    // The camera on the current drive path, looked up at each command.
    static Camera current() {
        Camera camera;
        camera.current_ = true;
        return camera;
    }
    static Drive driveOf(const Camera& camera) {
        return camera.current_ ? Drive::current() : Drive::ofLetter(camera.letter_);
    }
};

}  // namespace dalvex
