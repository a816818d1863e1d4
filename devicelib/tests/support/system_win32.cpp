// The tests' system calls on Windows.
#include <io.h>
#include <stdlib.h>
#include <windows.h>

#include "support/portable.h"

namespace testsupport {

void setEnvironment(const char* name, const std::string& value) {
    _putenv_s(name, value.c_str());
}
void clearEnvironment(const char* name) {
    _putenv_s(name, "");
}  // an empty value removes it

int duplicateDescriptor(int fd) {
    return _dup(fd);
}
void redirectDescriptor(int from, int to) {
    _dup2(from, to);
}
void closeDescriptor(int fd) {
    _close(fd);
}

std::string driveAddress(const std::filesystem::path&, char) {
    return "tcp:127.0.0.1:0";
}

// dalvex.dll exports the overload under MSVC's name alone, which MinGW's C++ does not produce.
int pointBlankOverload() {
    using Overload = int (*)();
    static const auto overload = reinterpret_cast<Overload>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("dalvex.dll"), "?TKUSB_GetPointBlankSet@@YAHXZ")));
    return overload ? overload() : -1;
}

bool makeFifo(const std::string&) {
    return false;
}
void releaseFifo(const std::string&) {}

}  // namespace testsupport
