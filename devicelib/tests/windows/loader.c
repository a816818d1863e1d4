/* A Windows program of the kind that calls the library: it loads dalvex.dll at run time, finds
 * exports by name (the C++ overload under its MSVC name among them), and calls them, with the C
 * calling convention, against the camera in DALVEX_TEST_CAMERA. Exits 0 when all went as
 * expected. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

typedef int(__cdecl* IntOfVoid)(void);
typedef int(__cdecl* IntOfPointer)(void*);
typedef int(__cdecl* IntOfText)(const char*);
typedef int(__cdecl* IntOfInt)(int);
typedef void (*AnyFunction)(void);

static int failures = 0;

static AnyFunction find(HMODULE dll, const char* name) {
    AnyFunction function = (AnyFunction)GetProcAddress(dll, name);
    if (function == NULL) {
        printf("loader: %s is not exported\n", name);
        ++failures;
    }
    return function;
}

static void expect(const char* what, int actual, int expected) {
    printf("loader: %s = %d\n", what, actual);
    if (actual != expected) {
        printf("loader:   expected %d\n", expected);
        ++failures;
    }
}

int main(void) {
    const char* camera = getenv("DALVEX_TEST_CAMERA");
    if (camera == NULL || strlen(camera) > 200) {
        printf("loader: DALVEX_TEST_CAMERA names no camera\n");
        return 1;
    }
    char drives[256];
    snprintf(drives, sizeof drives, "E=%s", camera);
    _putenv_s("DALVEX_DRIVES", drives);

    HMODULE dll = LoadLibraryA("dalvex.dll");
    if (dll == NULL) {
        printf("loader: LoadLibrary(dalvex.dll) failed, error %lu\n", GetLastError());
        return 1;
    }
    IntOfVoid isDevice = (IntOfVoid)find(dll, "TKUSB_IsDevice");
    IntOfPointer getDeviceSpec = (IntOfPointer)find(dll, "TKUSB_GetDeviceSpec");
    IntOfText checkLoginPwd = (IntOfText)find(dll, "TKUSB_CheckLoginPwd");
    IntOfInt setPointBlankSet = (IntOfInt)find(dll, "TKUSB_SetPointBlankSet");
    IntOfVoid getPointBlankSet = (IntOfVoid)find(dll, "?TKUSB_GetPointBlankSet@@YAHXZ");
    if (GetProcAddress(dll, "_Z22TKUSB_GetPointBlankSetv") != NULL) {
        printf("loader: the overload is also exported under its GNU name\n");
        ++failures;
    }
    if (failures == 0) {
        unsigned char spec[52];
        memset(spec, 0, sizeof spec);
        expect("TKUSB_IsDevice()", isDevice(), 'E');
        expect("TKUSB_GetDeviceSpec(spec)", getDeviceSpec(spec), 1);
        expect("model code", spec[0], 48);
        expect("TKUSB_CheckLoginPwd(wrong)", checkLoginPwd("111111"), 0);
        expect("TKUSB_CheckLoginPwd(right)", checkLoginPwd("654321"), 1);
        expect("TKUSB_SetPointBlankSet(23)", setPointBlankSet(23), 1);
        expect("?TKUSB_GetPointBlankSet@@YAHXZ()", getPointBlankSet(), 23);
    }
    FreeLibrary(dll);
    printf("loader: %s\n", failures == 0 ? "all calls as expected" : "FAILED");
    return failures == 0 ? 0 : 1;
}
