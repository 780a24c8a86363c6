// The system utilities (CUtl): questions about the running system and a few
// chores, as free functions without state. Strings are ANSI; a "Win32 code"
// is a Windows error number (0 = success). None of them throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/os.h"

// OS types (first of the GetOSType pair). 5, 8, 15 and 17 are never produced.
enum OsType : int {
    kOsWin32s = 2,
    kOsWin95 = 3,
    kOsWin95Osr2 = 4,
    kOsWin98 = 6,
    kOsWin98Se = 7,
    kOsWinMe = 9,
    kOsWin9xOther = 10,
    kOsNt3 = 11,
    kOsNt4 = 12,
    kOsWin2000 = 13,  // also any NT major version other than 3 to 6
    kOsWinXp = 14,    // also a 64-bit XP, which reports 5.2
    kOsServer2003 = 16,
    kOsVista = 18,  // and every later 6.x
};

// OS families (second of the pair).
enum OsFamily : int {
    kFamilyWin32s = 2,
    kFamilyWin9x = 10,  // Windows 95, 98, ME
    kFamilyNt4 = 15,    // NT 3.x and 4
    kFamilyNt5 = 17,    // Windows 2000 and later
};

// The classification of a version record: the OS type, and the family in
// *family (may be null). extendedOk: the record is the extended one (its
// product type is valid). is64BitWindows: the system is a 64-bit Windows
// (Is64BitWindows), which turns 5.2 on a workstation into XP.
int ClassifyOs(const os::VersionInfo& v, bool extendedOk, bool is64BitWindows, int* family);

// Reads the version record (extended, else basic) and classifies it: 1 and
// the pair; 0 when no record can be read (the pair is left as it was).
int GetOSType(int* type, int* family);

// The 32-bit program runs under WOW64 on a 64-bit Windows (false where
// IsWow64Process is missing, and always for the 64-bit program).
bool IsWow64();
// The system is a 64-bit Windows: the program runs under WOW64 or is the
// 64-bit program itself. What "64-bit" means for the OS type, the platform
// key's ".64" entries and the system directories.
bool Is64BitWindows();

// HKLM "Software\Microsoft\Windows\CurrentVersion" "VersionNumber" holds
// "4.90.".
bool IsWindowsME();
// The current token is a member of the built-in Administrators group.
bool IsAdminUser();
// byDriver: a local printer uses the driver of that name; otherwise a
// printer driver of that name is installed. Names compare without case.
bool IsPrinterInstalled(const char* name, bool byDriver);
bool IsPortExist(const char* port);
// The file can be opened for reading.
bool IsFileExist(const char* path);

// Drive kinds of GetDriveKind.
enum DriveKind : int {
    kDriveKindOther = 0,
    kDriveKindRemovable = 1,
    kDriveKindFixed = 2,
    kDriveKindCdRom = 3,
    kDriveKindRamDisk = 4,
    kDriveKindRemote = 5,
};
// Kind of the drive the path starts with (its text up to the first
// backslash); null or empty: the installer's own path.
int GetDriveKind(const char* path = nullptr);

// Deletes the file, then (unless keepDirectories) its directory and each
// parent while they are empty. True when the file was deleted.
bool DeleteFileAndEmptyParents(const char* path, bool keepDirectories);
// Removes the directory and its parents while they are empty, never a
// drive's root. False only for an empty argument.
bool RemoveDirectoryChain(const char* directory);

// Waits while Plug-and-Play installs are pending. keepForeground: wait as
// long as it takes, calling bringDialogForward between the one-second tries
// (the utility library's MySetForegroundNHWdDialog); otherwise give up after
// another minute. True when installs were pending and the wait ended.
bool WaitNoPendingPnP(bool keepForeground,
                      const std::function<void()>& bringDialogForward = std::function<void()>());

// The system's driver source path ("SourcePath" of HKLM
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Setup"), pointed at the
// medium for a driver installation and put back afterwards. Win32 code.
uint32_t SetSystemSourcePath(const char* path);
uint32_t RestoreSystemSourcePath();

// Services by name; *state gets the os::ServiceState reached. Win32 code;
// 1052 when the service did not reach the running (stopped) state.
uint32_t StartServiceByName(const char* name, uint32_t* state);
uint32_t StopServiceByName(const char* name, uint32_t* state);
// 87 when state is null.
uint32_t QueryServiceState(const char* name, uint32_t* state);

// Lists split at any of the delimiter characters (runs of delimiters make
// no empty tokens). IsInTokenList trims blanks and tabs from each token and
// compares without case.
bool IsInTokenList(const char* list, const char* word, const char* delimiters);
// Copies token number index (0 = first) into buffer, cut to size - 1 bytes
// and terminated; the buffer is cleared first.
bool GetNthToken(const char* list, const char* delimiters, int index, char* buffer, size_t size);

// A number written in a profile or on the command line: decimal, or
// hexadecimal when the text holds "0X" in any case.
uint32_t HexOrDecToNumber(const std::string& text);

// Appends two upper-case hex digits per byte; false when bytes or out is
// missing.
bool BytesToHex(const uint8_t* bytes, size_t count, std::string* out);

// A warning message box with the system's text for the code (written to the
// log instead in a silent run).
void ShowSystemError(uint32_t code, const char* caption);
// The system's text for the code; always true.
bool GetSystemErrorText(uint32_t code, std::string& text);
