/* A program outside the tree that uses the installed library: built once with pkg-config and once
 * with find_package(Dalvex). With DALVEX_DRIVES empty there is no drive, so the scan finds no
 * camera and a read of the device description fails without touching any hardware. */
#include <dalvex.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    DeviceSpecRecord spec;
    memset(&spec, 0, sizeof spec);
    if (TKUSB_IsDevice() != 0) {
        fprintf(stderr, "consumer: a camera was found where none is listed\n");
        return 1;
    }
    if (TKUSB_GetDeviceSpec(&spec) != 0) {
        fprintf(stderr, "consumer: reading from no drive succeeded\n");
        return 1;
    }
    printf("consumer: linked against libdalvex, no camera as expected\n");
    return 0;
}
