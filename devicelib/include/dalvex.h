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
/* The four GPS exports share one parser and one output file: call them from one thread at a
 * time. A path ending in "jpg" in any case is a picture (128-byte trailer); any other is an MP4
 * video (third track, or a top-level udat box). */

/* Opens out (created or truncated; nothing is written when it cannot be) for one text line per
 * point, parses media and closes out. Returns the file type code of the header the library holds
 * afterwards (0..255; a video without header record keeps the one of an earlier parse), or 0 for
 * a null media. A media file that cannot be opened leaves out open until the next call. */
DALVEX_API int TKUSB_ParseVideoFile(const char* media, const char* out);

/* As TKUSB_ParseVideoFile, but writes one JSON document (gps_number, file_type, gps_data) to out
 * when the parse ends. */
DALVEX_API int TKUSB_ParseVideoFileToJson(const char* media, const char* out);

/* Opens out for text lines without parsing; the next parse export closes it. Returns 0. */
DALVEX_API int TKUSB_SetOutGpSFile(const char* out);

/* Copies the server number of the held header into number and returns its length. A number of 8
 * characters is copied without terminator: pass a zeroed buffer of at least 9 bytes. */
DALVEX_API int TKUSB_GetServerNumber(char* number);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* DALVEX_H */
