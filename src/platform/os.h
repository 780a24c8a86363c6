// Operating-system services the engine needs, named after what the engine
// does with them. Results follow the Windows contracts: Windows error
// numbers (0 = success), Windows paths, ANSI byte strings. One backend is
// linked: platform/win32 (the real APIs) or platform/sim (a simulated
// Windows machine).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace os {

// Windows error numbers the engine names.
enum : uint32_t {
    kErrSuccess = 0,
    kErrFileNotFound = 2,
    kErrPathNotFound = 3,
    kErrAccessDenied = 5,
    kErrInvalidHandle = 6,
    kErrNotEnoughMemory = 8,
    kErrInvalidData = 13,
    kErrOutOfMemory = 14,
    kErrWriteProtect = 19,
    kErrSharingViolation = 32,
    kErrHandleEof = 38,
    kErrNotSupported = 50,
    kErrFileExists = 80,
    kErrInvalidParameter = 87,
    kErrDiskFull = 112,
    kErrInsufficientBuffer = 122,
    kErrInvalidName = 123,
    kErrAlreadyExists = 183,
    kErrMoreData = 234,
    kErrNoMoreItems = 0x103,
    kErrClassAlreadyExists = 1410,
    kErrClassDoesNotExist = 1411,
};

// An open file, mutex or other system object; null is "none".
using Handle = void*;

// The process's whole command line, program name included.
std::string CommandLine();

// Full Windows path of the running executable, e.g. "D:\Setup.exe".
uint32_t ExecutablePath(std::string& path);
// The temporary directory, ending with a backslash (GetTempPath rules: it is
// not checked for existence).
uint32_t TempDirectory(std::string& path);
uint32_t CurrentDirectory(std::string& path);
uint32_t ChangeDirectory(const char* path);

// Reads a whole existing file (opened shared for reading).
uint32_t ReadWholeFile(const char* path, std::string& data);
// Creates a file for reading and writing, shared for reading, only when it
// does not exist yet (80 when it does).
uint32_t CreateNewFile(const char* path, Handle* file);
// Appends at the file's current position.
uint32_t WriteFile(Handle file, const void* data, size_t size, size_t* written);
// Cuts the file at its current position.
uint32_t TruncateHere(Handle file);
// Closes any handle this layer gave out; null is ignored.
void CloseHandle(Handle handle);
bool FileExists(const char* path);
// True when the file can be opened for reading (the installer's test of
// whether a package file exists).
bool CanReadFile(const char* path);
bool DirectoryExists(const char* path);
uint32_t MakeDirectory(const char* path);
// 5 for a folder, a read-only file or a file in use; 2 or 3 when missing.
uint32_t RemoveFile(const char* path);

// The platform's INI writer (WritePrivateProfileString rules): sets the
// line "key=value" in the section of the file, adding the section at the
// end and the file when they are missing. Section, key and value must be
// given (the deleting forms of Windows are not offered).
uint32_t WriteProfileString(const char* section, const char* key, const char* value,
                            const char* file);
// The platform's INI reader (GetPrivateProfileString rules): the value of
// the key in the section, blanks and one pair of surrounding quotes removed,
// cut to size - 1 bytes; the default when the file, section or key is
// missing. Answers the length copied.
size_t ReadProfileString(const char* section, const char* key, const char* defaultValue,
                         std::string& value, size_t size, const char* file);
// Replaces every line of the section by keys, a list of "key=value" texts
// each ended by NUL, the list ended by an empty text; an empty list leaves
// the section empty.
uint32_t WriteProfileSection(const char* section, const char* keys, const char* file);

struct LocalTime {
    uint16_t year = 0;
    uint16_t month = 0;      // 1-12
    uint16_t dayOfWeek = 0;  // 0 = Sunday
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};
void GetLocalTime(LocalTime* time);

// The system's version record (OSVERSIONINFOEXA's fields).
struct VersionInfo {
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 0;
    uint32_t platformId = 0;  // 0 Win32s, 1 Windows 9x, 2 NT
    std::string csdVersion;   // service-pack text, at most 127 bytes
    uint16_t servicePackMajor = 0;
    uint16_t servicePackMinor = 0;
    uint16_t suiteMask = 0;
    uint8_t productType = 0;  // 1 workstation, 2 domain controller, 3 server
};
// extended: ask for the extended record (NT 4 SP6 and later); on a system
// that refuses it the basic fields are filled and the answer is false.
bool GetVersionInfo(VersionInfo* info, bool extended);

// The system's message text for an error number (user's default language,
// no inserts), including its line break; empty when there is none.
std::string ErrorText(uint32_t code);

// Creates or opens a named mutex owned by the caller. 0, or 183 when it
// existed already (the handle is valid in both cases); other codes: no
// handle.
uint32_t CreateNamedMutex(const char* name, Handle* mutex);

// ANSI code page of the system (1252, 932 ...).
uint32_t AnsiCodePage();

}  // namespace os

#include "platform/os_system.h"
#include "platform/os_library.h"
#include "platform/os_registry.h"
#include "platform/os_process.h"
#include "platform/os_files.h"
