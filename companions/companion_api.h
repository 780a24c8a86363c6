/* The C entry points of the companion libraries, as the installer looks
 * them up by name and calls them. Each library exports its entry points
 * under exactly these names, undecorated (also in 32-bit Windows builds,
 * where the calling convention is __stdcall).
 *
 * Texts are ANSI byte strings ending with NUL. "Out" buffers have the size
 * given; a library writes at most that many bytes, the terminator included.
 * Which results the installer tests is written with each entry; every other
 * value is the library's own. */
#ifndef COMPANION_API_H
#define COMPANION_API_H

#include <stdint.h>

#if defined(_WIN32)
#define COMPANION_CALL __stdcall
#else
#define COMPANION_CALL
#endif

#if defined(_WIN32)
#define COMPANION_EXPORT __declspec(dllexport)
#else
#define COMPANION_EXPORT __attribute__((visibility("default")))
#endif

/* Sizes of the out buffers the installer passes. */
#define COMPANION_PORT_TEXT 260
#define COMPANION_DEVICE_ID_TEXT 16384
#define COMPANION_PRINTER_DESC_TEXT 16384
#define COMPANION_IPX_TEXT 260
/* One printer record of GetNetPrinter. */
#define COMPANION_NET_PRINTER_RECORD 65

/* GetDevicePort's port count when the system offers no USB at all. */
#define COMPANION_NO_USB (-1)

#ifdef __cplusplus
extern "C" {
#endif

/* --- utility library (UTILITY_DLL) ---------------------------------------- */

/* The ports of the attached devices of a model: a device matches by its
 * VID/PID ("VID_1A2B&PID_0C01") or by the MFG and MDL fields of its IEEE-1284
 * device id. port: COMPANION_PORT_TEXT bytes, the matching ports separated by
 * commas, USB ports first ("USB001,LPT1:"); *portCount: how many matched
 * (COMPANION_NO_USB when the system has no USB). Non-zero when the query was
 * made. Count >= 1 means a device of this model is connected. */
typedef int(COMPANION_CALL* PFN_GetDevicePort)(const char* mfg, const char* mdl,
                                               const char* vidPid, char* port,
                                               int32_t* portCount);
/* mfgMdl: manufacturer and model joined without separator. */
typedef int(COMPANION_CALL* PFN_StartPreventPnP)(const char* mfgMdl);
typedef int(COMPANION_CALL* PFN_EndPreventPnP)(const char* mfgMdl);
typedef int(COMPANION_CALL* PFN_RemoveHardwareWizardDialog)(void);
typedef int(COMPANION_CALL* PFN_MySetForegroundNHWdDialog)(void);
typedef int(COMPANION_CALL* PFN_SystemRefresh)(const char* mfgMdl, const char* vidPid);
typedef int(COMPANION_CALL* PFN_RemoveUnknownDev)(const char* mfgMdl, const char* vidPid);
/* Saves the HKLM key to the file; non-zero when saved. */
typedef int(COMPANION_CALL* PFN_SaveFile)(const char* file, const char* key, int reserved);
/* Free space in MB on the disk of path (empty: the system's disk); 0 when
 * there is no figure. */
typedef uint32_t(COMPANION_CALL* PFN_GetDiskFreeSpaceVX)(const char* path);
/* deviceId: COMPANION_DEVICE_ID_TEXT bytes; non-zero when it holds the
 * device id of the device on the port (with its MFG and MDL fields). */
typedef int(COMPANION_CALL* PFN_MyGetDeviceIDFromPort)(const char* port, char* deviceId);

/* --- installer library (INSTALLER_DLL) ------------------------------------ */

/* itemKey: "<Installing key>\Items\<item>"; installed: the item's flag 0/1.
 * Non-zero when the item's installation, reinstallation or uninstallation
 * succeeded. */
typedef int(COMPANION_CALL* PFN_MyInstall)(int reserved, const char* installingKey,
                                           const char* itemKey, int installed);
/* shortcutKey: "<Installing key>\Shortcut\<name>"; non-zero when created. */
typedef int(COMPANION_CALL* PFN_MyCreateShortCut)(int reserved, const char* installingKey,
                                                  const char* shortcutKey);

/* --- test-page library (TESTPAGE_DLL) ------------------------------------- */

/* -1: not printed (the installer then tries the system's test page). */
typedef int(COMPANION_CALL* PFN_PrintTestPage)(const char* p1, const char* p2, const char* p3,
                                               const char* resourceLibrary, const char* p4);
typedef int(COMPANION_CALL* PFN_MetaTestPage)(const char* p1, const char* p2);
typedef int(COMPANION_CALL* PFN_PrintPrnFile)(const char* p1, const char* p2);

/* --- diagnosis library (DIAGNOSIS_DLL) ------------------------------------ */

typedef int(COMPANION_CALL* PFN_Diagnosis)(const char* mfg, const char* printerName,
                                           const char* mdl, const char* vidPid);
/* 1: go on with Diagnosis. */
typedef int(COMPANION_CALL* PFN_DiagnosisEx)(const char* mfg, const char* printerName,
                                             const char* mdl, const char* vidPid, int reserved);

/* --- network-manager library (NETWORKMAN_DLL) ----------------------------- */

/* description: COMPANION_PRINTER_DESC_TEXT bytes. 0 when it holds the device
 * description of the printer at the address. */
typedef int(COMPANION_CALL* PFN_MyGetPrinterDesc)(const char* ipAddress, char* description,
                                                  int usePublicOid);
/* ipxAddress: COMPANION_IPX_TEXT bytes; non-zero on success. */
typedef int(COMPANION_CALL* PFN_MyGetIPX)(const char* ipAddress, char* ipxAddress);
/* files: 780 bytes, the monitor file name at 0 and the SNMP file name at 520.
 * Non-zero when the port was created. */
typedef int(COMPANION_CALL* PFN_MySetNetworkPort)(const char* portName, const char* ipAddress,
                                                  const char* monitorName, const char* files,
                                                  const char* mutexName, int noMonitorFile);
typedef int(COMPANION_CALL* PFN_MySetNetworkPortEx)(const char* portName, const char* ipAddress,
                                                    const char* extra, const char* ipxAddress,
                                                    const char* monitorName, const char* files,
                                                    const char* mutexName, int noMonitorFile);
/* Non-zero when removed. */
typedef int(COMPANION_CALL* PFN_MyDelNetworkPort)(const char* portName, const char* mutexName,
                                                  int noMonitorFile);

/* --- pre-installer library (PREINSTALLER_DLL) ----------------------------- */

/* command: "/P <data file> /S <source> /D <destination> /R <history key>
 * /L <language directory> /A <language>"; window: to notify, or null. */
typedef int(COMPANION_CALL* PFN_Preinstall)(const char* command, void* window);

/* --- address-setting library (SETIP_DLL) ---------------------------------- */

/* 0 on success; other values are error codes. */
typedef int(COMPANION_CALL* PFN_SetIP)(const char* a, const char* b, const char* c,
                                       const char* d);
/* records: COMPANION_NET_PRINTER_RECORD bytes each, or null to ask for the
 * count; *size: the buffer's size in bytes; *count: the records found.
 * 0 when the buffer holds *count records. */
typedef int(COMPANION_CALL* PFN_GetNetPrinter)(void* records, uint32_t* size, uint32_t* count);

/* --- remote-install library (REMOTE_INSTALL_DLL) -------------------------- */

/* The remote-install record: eight texts of 256 bytes each (computer name
 * first). Non-zero when installed. Looked up by the remote-install worker
 * itself. */
#define COMPANION_REMOTE_RECORD 2048
typedef int(COMPANION_CALL* PFN_DoRemoteInstall)(const char* record);

#ifdef __cplusplus
}
#endif

#endif /* COMPANION_API_H */
