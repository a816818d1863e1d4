// Systems without udisks2: nothing is mounted for the user, who gives the card's folder by hand.
#include "udisks.h"

namespace cli::udisks {

namespace {
const char kNone[] = ": this system has no udisks2; give the card's folder with --from";
}

bool mountReadOnly(const std::string& device, Mount&, std::string& error) {
    error = "cannot mount " + device + kNone;
    return false;
}

bool unmount(const std::string& device, std::string& error) {
    error = "cannot unmount " + device + kNone;
    return false;
}

bool identify(const std::string&, std::string&, std::string&) {
    return false;
}

}  // namespace cli::udisks
