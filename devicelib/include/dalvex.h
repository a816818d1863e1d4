/*
 * dalvex.h - the device library of the Orvane camera manager.
 *
 * Every function is a plain C export named TKUSB_<Operation>. Results are int 1 for success and
 * 0 for failure unless a block says otherwise. Texts are NUL-terminated single-byte strings in the
 * system's code set; records are caller-owned buffers of the sizes given below. A drive letter
 * argument is an int whose low byte is the letter 'C' to 'Z'. The library keeps one current drive
 * (chosen by TKUSB_IsDevice) and expects one caller thread for everything but the GPS exports.
 * Diagnostic lines go to standard error.
 */
#ifndef DALVEX_H
#define DALVEX_H

#include <stddef.h>

#if defined(_WIN32)
#if defined(DALVEX_BUILDING)
#define DALVEX_API __declspec(dllexport)
#else
#define DALVEX_API __declspec(dllimport)
#endif
#else
#define DALVEX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------------------------
 * Camera records. All are packed, little-endian, with fixed-width text fields.
 * ------------------------------------------------------------------------------------------ */
#pragma pack(push, 1)

#pragma pack(pop)

/* ------------------------------------------------------------------------------------------
 * Discovery and the per-drive table
 * ------------------------------------------------------------------------------------------ */

/* Scans the removable drives C to Z for a camera. Returns the letter of the first camera found
 * ('C'..'Z') and makes its drive the current one, or 0 (current drive cleared) when none answers. */
DALVEX_API int TKUSB_IsDevice(void);

/* Refreshes the per-drive table and returns the letter of the first camera in it, or '['
 * (one past 'Z') when there is none. Leaves the current drive and the mass-storage flag alone. */
DALVEX_API int TKUSB_IsDevice_Ex(void);

/* Does nothing: there is no connection to close. */
DALVEX_API void TKUSB_DisConnect(void);

/* Refreshes the table entry of the letter (case folded) and copies its serial text (at most 10
 * characters and the NUL, empty when no camera is there) into serial. Returns 0 and leaves the
 * buffer untouched for a letter outside 'C'..'Z'. */
DALVEX_API int TKUSB_GetDevSerial_Ex(char* serial, int letter);

/* Refreshes the table and sends copy finished (0xF235) to the first camera whose serial matches
 * the first 8 characters of serial (6 when it is shorter). Returns 0 for a null serial, 1
 * otherwise, whether or not a camera matched. */
DALVEX_API int TKUSB_SetCopyFileFinish_Ex_DeviceID(const char* serial);

/* ------------------------------------------------------------------------------------------
 * GPS track of videos and pictures
 * ------------------------------------------------------------------------------------------ */
DALVEX_API int TKUSB_ParseVideoFile(const char* media, const char* out);
DALVEX_API int TKUSB_ParseVideoFileToJson(const char* media, const char* out);
DALVEX_API int TKUSB_SetOutGpSFile(const char* out);
DALVEX_API int TKUSB_GetServerNumber(char* number);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* DALVEX_H */
