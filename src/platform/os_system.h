// System information and system services: the running Windows, the
// administrator check, directories and drives, the spooler's ports,
// printers and drivers, Plug-and-Play, services, time. Included by os.h.
// Results are Windows error numbers (0 = success) unless stated otherwise.
// Names differ from the API names that windows.h turns into macros.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace os {

enum : uint32_t {
    kErrCallNotImplemented = 120,  // Windows 95/98/ME for the NT-only services
    kErrModNotFound = 126,         // the library is not on this system
    kErrProcNotFound = 127,        // the library lacks the function
    kErrWaitTimeout = 258,
    kErrDirectoryNotEmpty = 145,
    kErrDirectory = 267,
    kErrServiceRequestTimeout = 1053,
    kErrServiceAlreadyRunning = 1056,
    kErrServiceDisabled = 1058,
    kErrServiceDoesNotExist = 1060,
    kErrServiceCannotAcceptControl = 1061,
    kErrServiceNotActive = 1062,
};

// True for the 64-bit product (this program is a 64-bit process).
bool ProgramIs64Bit();

// IsWow64Process on the current process, looked up at run time: 0 and the
// answer; kErrProcNotFound when the system lacks the function (Windows
// 2000, XP before SP2, all older systems); otherwise the call's error.
uint32_t IsWow64Process(bool* wow64);

// Whether the current token may act as a member of the built-in
// Administrators group: an access check of the token (the thread's after
// impersonating self, else the process's) against a descriptor whose DACL
// grants access only to that group. 0 and the answer; otherwise the error
// of the step that failed (120 on Windows 95/98/ME).
uint32_t CheckAdministratorAccess(bool* granted);

// GetWindowsDirectoryA / GetSystemDirectoryA (a 32-bit program on a 64-bit
// Windows also gets system32 here; the file system redirects it).
uint32_t WindowsDirectory(std::string& path);
uint32_t SystemDirectory(std::string& path);

// GetSystemDefaultLangID: 0x0409 English (US), 0x0407 German ...
uint16_t SystemDefaultLangId();

// GetDriveTypeA values.
enum DriveType : uint32_t {
    kDriveUnknown = 0,
    kDriveNoRootDir = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdRom = 5,
    kDriveRamDisk = 6,
};
// Drive type of a root such as "C:\"; null for the current directory's.
uint32_t DriveTypeOf(const char* root);

// Bytes free to the caller on the disk of a directory (null: the current
// directory's). GetDiskFreeSpaceExA, looked up at run time; without it
// (Windows 95 before OSR2) GetDiskFreeSpaceA on the path's root, whose
// answer never exceeds 2 GB.
uint32_t DiskFreeSpace(const char* path, uint64_t* freeBytes);

// Spooler enumerations of the local machine.
// EnumPortsA at level 1 or 2: the port names.
uint32_t EnumPortNames(uint32_t level, std::vector<std::string>& names);
struct PrinterEntry {
    std::string name;
    std::string driver;
    std::string port;
};
// EnumPrintersA(PRINTER_ENUM_LOCAL) at level 2.
uint32_t EnumLocalPrinters(std::vector<PrinterEntry>& printers);
// EnumPrinterDriversA at level 3 (environment of this system): driver names.
uint32_t EnumPrinterDriverNames(std::vector<std::string>& names);

// CMP_WaitNoPendingInstallEvents of setupapi.dll, looked up at run time:
// 0 and its answer (0 nothing pending, 258 timed out, 0xFFFFFFFF failed);
// kErrModNotFound / kErrProcNotFound when the library or function is
// missing.
uint32_t WaitNoPendingInstallEvents(uint32_t timeoutMs, uint32_t* answer);

// Services. Handles come from these functions and go back through
// CloseService. fullAccess: SC_MANAGER_ALL_ACCESS / SERVICE_ALL_ACCESS;
// otherwise only what a query needs (a user who is not an administrator
// gets that).
enum ServiceState : uint32_t {
    kServiceStopped = 1,
    kServiceStartPending = 2,
    kServiceStopPending = 3,
    kServiceRunning = 4,
    kServiceContinuePending = 5,
    kServicePausePending = 6,
    kServicePaused = 7,
};
struct ServiceStatus {
    uint32_t state = 0;
    uint32_t checkPoint = 0;
    uint32_t waitHintMs = 0;
};
uint32_t OpenServiceManager(bool fullAccess, void** manager);
uint32_t OpenSystemService(void* manager, const char* name, bool fullAccess, void** service);
uint32_t QueryServiceStatus(void* service, ServiceStatus* status);
// StartServiceA without arguments.
uint32_t StartSystemService(void* service);
// ControlService(SERVICE_CONTROL_STOP); status: the state it reported.
uint32_t StopSystemService(void* service, ServiceStatus* status);
void CloseService(void* handle);

// Milliseconds; the simulated machine counts simulated time, so a wait of
// a minute costs a test nothing.
void Sleep(uint32_t ms);
// GetTickCount: milliseconds since start, wrapping at 2^32.
uint32_t TickCount();

// RemoveDirectoryA: the directory must be empty (145 otherwise).
uint32_t RemoveEmptyDirectory(const char* path);

}  // namespace os
