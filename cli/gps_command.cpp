#include "gps_command.h"

namespace cli {

void addGpsOptions(CLI::App* command, GpsOptions& o) {
    command->add_option("PATH", o.paths, "Videos, pictures or folders")->required();
}

int runGps(const GpsOptions&, bool) {
    return 2;
}

}  // namespace cli
