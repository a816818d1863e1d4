// dalvex_probe: looks for a camera the way the desktop program does and prints what it finds.
#include <cstdio>
#include <cstring>

#include "dalvex.h"
#include "discovery.h"

int main() {
    const int letter = TKUSB_IsDevice();
    if (letter == 0) {
        std::printf("No camera found on drives C: to Z:\n");
        return 1;
    }
    char description[33] = {};
    dalvex::queryDescription(description);
    char serial[16] = {};
    TKUSB_GetDevSerial_Ex(serial, letter);
    std::printf("Camera found\n  drive:       %c:\n  description: %s\n  serial:      %s\n",
                static_cast<char>(letter), description, serial);
    return 0;
}
