// The tests' system calls on POSIX systems.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dalvex.h"
#include "support/portable.h"

namespace testsupport {

void setEnvironment(const char* name, const std::string& value) {
    setenv(name, value.c_str(), 1);
}
void clearEnvironment(const char* name) {
    unsetenv(name);
}

int duplicateDescriptor(int fd) {
    return dup(fd);
}
void redirectDescriptor(int from, int to) {
    dup2(from, to);
}
void closeDescriptor(int fd) {
    close(fd);
}

std::string driveAddress(const std::filesystem::path& folder, char letter) {
    return (folder / (std::string("drive-") + letter + ".sock")).string();
}

int pointBlankOverload() {
    return TKUSB_GetPointBlankSet();
}

bool makeFifo(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}
void releaseFifo(const std::string& path) {
    const int writer = ::open(path.c_str(), O_WRONLY);
    if (writer >= 0)
        ::close(writer);
}

}  // namespace testsupport
