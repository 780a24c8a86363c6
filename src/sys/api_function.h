// System functions looked up by name at run time, because older Windows
// versions lack them. Each operation calls the function found with its
// arguments unchanged, or answers a fixed failure value when it was not
// found. The records passed keep the Windows layouts. The operations bear
// the system functions' names, which the A/W macros of <windows.h> would
// rename: a source that includes <windows.h> cannot call those operations.
#pragma once

#include <cstdint>

#include "platform/os_library.h"
#include "profile/export.h"

#if defined(_WIN32)
#define SETUP_SYSTEM_CALL __stdcall
#else
#define SETUP_SYSTEM_CALL
#endif

namespace api {

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

// Device-interface notification filter (32 bytes with its one-byte name).
struct DeviceInterfaceFilter {
    uint32_t size;        // 32
    uint32_t deviceType;  // 5: device interface
    uint32_t reserved;
    Guid classGuid;
    char name[1];
};
constexpr uint32_t kDeviceTypeInterface = 5;
constexpr Guid kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

// One corner of a gradient: position and 16-bit colour channels.
struct TriVertex {
    int32_t x;
    int32_t y;
    uint16_t red;
    uint16_t green;
    uint16_t blue;
    uint16_t alpha;
};
struct GradientRect {
    uint32_t upperLeft;
    uint32_t lowerRight;
};
constexpr uint32_t kGradientFillRectH = 0;
constexpr uint32_t kGradientFillRectV = 1;

// The 6-byte identifier authority of a security identifier.
struct SidAuthority {
    uint8_t value[6];
};

// The INF style and search control values the callers use.
constexpr uint32_t kInfStyleWin4 = 2;
constexpr uint32_t kInfInformationByHandle = 0;

// Handles of the functions' own kinds; null is "none" except for an INF
// (kInvalidInf).
using DeviceNotify = void*;
using InfHandle = void*;
inline InfHandle InvalidInf() { return reinterpret_cast<InfHandle>(static_cast<intptr_t>(-1)); }

}  // namespace api

class SETUP_EXPORT CAPIFunction {
public:
    // Every library and entry empty.
    CAPIFunction();
    // Frees every library Load loaded.
    virtual ~CAPIFunction();
    CAPIFunction(const CAPIFunction&) = delete;
    CAPIFunction& operator=(const CAPIFunction&) = delete;

    // Loads the libraries and looks their functions up, library by library:
    // Msimg32, Kernel32, User32, SetupAPI, ADVAPI32. What is not found stays
    // empty; nothing is reported. True, always.
    bool Load();

    // User32.dll
    api::DeviceNotify RegisterDeviceNotification(void* recipient, void* filter, uint32_t flags);
    int UnregisterDeviceNotification(api::DeviceNotify handle);
    // SetupAPI.dll; missing: 0xFFFFFFFF.
    uint32_t CMP_WaitNoPendingInstallEvents(uint32_t timeoutMs);
    // Missing: api::InvalidInf().
    api::InfHandle SetupOpenInfFile(const char* fileName, const char* infClass, uint32_t infStyle,
                                    uint32_t* errorLine);
    int SetupGetInfInformation(const void* infSource, uint32_t searchControl, void* information,
                               uint32_t size, uint32_t* requiredSize);
    int SetupQueryInfVersionInformation(const void* information, uint32_t infIndex,
                                        const char* key, char* buffer, uint32_t size,
                                        uint32_t* requiredSize);
    void SetupCloseInfFile(api::InfHandle inf);
    // Kernel32.dll
    int MoveFileEx(const char* existing, const char* replacement, uint32_t flags);
    // Msimg32.dll
    int GradientFill(void* dc, api::TriVertex* vertices, uint32_t vertexCount, void* mesh,
                     uint32_t meshCount, uint32_t mode);
    // ADVAPI32.dll
    int InitializeSecurityDescriptor(void* descriptor, uint32_t revision);
    int AllocateAndInitializeSid(const api::SidAuthority* authority, uint8_t count, uint32_t s0,
                                 uint32_t s1, uint32_t s2, uint32_t s3, uint32_t s4, uint32_t s5,
                                 uint32_t s6, uint32_t s7, void** sid);
    int InitializeAcl(void* acl, uint32_t size, uint32_t revision);
    int AddAccessAllowedObjectAce(void* acl, uint32_t revision, uint32_t aceFlags,
                                  uint32_t accessMask, api::Guid* objectType,
                                  api::Guid* inheritedObjectType, void* sid);
    int SetSecurityDescriptorDacl(void* descriptor, int present, void* acl, int defaulted);
    int SetSecurityDescriptorControl(void* descriptor, uint16_t bitsOfInterest,
                                     uint16_t bitsToSet);
    void* FreeSid(void* sid);

    // The table's entries and libraries.
    enum LibraryId { kMsimg32, kKernel32, kUser32, kSetupApi, kAdvapi32, kLibraryCount };
    enum FunctionId {
        kGradientFill,
        kMoveFileEx,
        kRegisterDeviceNotification,
        kUnregisterDeviceNotification,
        kWaitNoPendingInstallEvents,
        kSetupOpenInfFile,
        kSetupGetInfInformation,
        kSetupQueryInfVersionInformation,
        kSetupCloseInfFile,
        kInitializeSecurityDescriptor,
        kAllocateAndInitializeSid,
        kInitializeAcl,
        kAddAccessAllowedObjectAce,
        kSetSecurityDescriptorDacl,
        kSetSecurityDescriptorControl,
        kFreeSid,
        kFunctionCount
    };
    bool HasFunction(FunctionId id) const {
        return id >= 0 && id < kFunctionCount && functions_[id];
    }
    bool HasLibrary(LibraryId id) const {
        return id >= 0 && id < kLibraryCount && libraries_[id];
    }
    // The system function's name, "MoveFileExA" ...
    static const char* FunctionName(FunctionId id);

private:
    void Unload();
    // Found, or null after the debug trace that names the operation.
    os::LibraryProc Function(FunctionId id) const;

    os::Library libraries_[kLibraryCount] = {};
    os::LibraryProc functions_[kFunctionCount] = {};
};

// The application's table (defined with the application object).
CAPIFunction* GetAPIFunction();
