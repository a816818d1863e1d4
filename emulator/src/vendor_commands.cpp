// The catalogue of vendor sub-commands beyond identity: settings records, passwords, actions.
#include "camsim/camera_model.h"

namespace camsim {

void installVendorHandlers(std::map<uint16_t, CameraModel::Handler>& handlers) {
    (void)handlers;
}

}  // namespace camsim
