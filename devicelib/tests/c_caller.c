/* A C program that uses the library as C callers do: the header must compile as C11, the records
 * must have their sizes, and the exports must answer sensibly when no camera is there. */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dalvex.h"

static int failures = 0;

static void expect(int condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "c_caller: FAILED: %s\n", what);
        ++failures;
    }
}

int main(void) {
    /* An empty drive map: no drive at all, whatever is plugged into this machine. */
    setenv("DALVEX_DRIVES", "", 1);

    expect(sizeof(DeviceSpecRecord) == 52 && sizeof(ConfigInfoRecord) == 128,
           "record sizes as seen from C");
    expect(TKUSB_IsDevice() == 0, "TKUSB_IsDevice finds nothing");
    expect(TKUSB_IsDevice_Ex() == '[', "TKUSB_IsDevice_Ex reports no camera");
    TKUSB_DisConnect();

    expect(TKUSB_CheckLoginPwd("000000") == 0, "login check without a camera fails");
    expect(TKUSB_GetVersion() == 0, "version without a camera is 0");

    DeviceSpecRecord spec;
    memset(&spec, 0, sizeof spec);
    expect(TKUSB_GetDeviceSpec(&spec) == 0 && spec.modelCode == 0, "device spec fails");

    char serial[33] = "untouched";
    expect(TKUSB_GetDevSerial(serial) == 0 && strcmp(serial, "untouched") == 0,
           "serial fails and leaves the buffer");

    char ids[5][33];
    memset(ids, 'x', sizeof ids);
    expect(TKUSB_GetUserInfo(ids[0], ids[1], ids[2], ids[3], ids[4]) == 0,
           "user info reports the failed read");
    expect(ids[0][0] == '\0' && ids[4][0] == '\0', "user info gives empty texts");

    Cmsv6Record cms;
    memset(&cms, 0xAA, sizeof cms);
    expect(TKUSB_CMSV6GetSeting(&cms) == 0 && cms.serverPort == 0, "CMS record is cleared first");
    expect(TKUSB_CMSV6Setting(cms) == 0, "CMS setting by value fails");

    expect(TKUSB_SetDeviceSettingEx(5, 0, 0) == 0, "out-of-range photo resolution");
    expect(TKUSB_StartAdminPwd("123456", 5) == 0, "admin password of length 5");

    if (failures == 0) {
        printf("c_caller: all checks passed\n");
    }
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
