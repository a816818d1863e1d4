/* Compiled for 32-bit Windows with -mrtd, which makes the convention where the callee removes the
 * arguments the default. The pointers below take the exports only while dalvex.h names __cdecl
 * for them; otherwise the compiler refuses the mismatched conventions. */
#include "dalvex.h"

typedef int(__cdecl* NoArguments)(void);
typedef int(__cdecl* SerialOfLetter)(char*, int);
typedef int(__cdecl* Password)(const char*);
typedef void(__cdecl* Nothing)(void);

int main(void) {
    const NoArguments isDevice = TKUSB_IsDevice;
    const SerialOfLetter serialOf = TKUSB_GetDevSerial_Ex;
    const Password checkLogin = TKUSB_CheckLoginPwd;
    const Nothing disconnect = TKUSB_DisConnect;
    return isDevice != 0 && serialOf != 0 && checkLogin != 0 && disconnect != 0 ? 0 : 1;
}
