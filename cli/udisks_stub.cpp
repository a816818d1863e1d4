// Stands in for the udisks2 client until it is built: nothing can be mounted or identified.
#include "udisks.h"

namespace cli::udisks {

namespace {
constexpr const char* kNotBuilt = "mounting through udisks2 is not built yet";
}

bool mountReadOnly(const std::string&, Mount&, std::string& error) {
    error = kNotBuilt;
    return false;
}

bool unmount(const std::string&, std::string& error) {
    error = kNotBuilt;
    return false;
}

bool identify(const std::string&, std::string&, std::string&) {
    return false;
}

}  // namespace cli::udisks
