#include "sys/api_function.h"

namespace {

struct LibraryRow {
    const char* name;
};

// In the order Load takes them.
const LibraryRow kLibraries[CAPIFunction::kLibraryCount] = {
    {"Msimg32.dll"}, {"Kernel32.dll"}, {"User32.dll"}, {"SetupAPI.dll"}, {"ADVAPI32.dll"},
};

struct FunctionRow {
    const char* name;
    CAPIFunction::LibraryId library;
};

// Indexed by CAPIFunction::FunctionId, grouped by library in load order.
const FunctionRow kFunctions[CAPIFunction::kFunctionCount] = {
    {"GradientFill", CAPIFunction::kMsimg32},
    {"MoveFileExA", CAPIFunction::kKernel32},
    {"RegisterDeviceNotificationA", CAPIFunction::kUser32},
    {"UnregisterDeviceNotification", CAPIFunction::kUser32},
    {"CMP_WaitNoPendingInstallEvents", CAPIFunction::kSetupApi},
    {"SetupOpenInfFileA", CAPIFunction::kSetupApi},
    {"SetupGetInfInformationA", CAPIFunction::kSetupApi},
    {"SetupQueryInfVersionInformationA", CAPIFunction::kSetupApi},
    {"SetupCloseInfFile", CAPIFunction::kSetupApi},
    {"InitializeSecurityDescriptor", CAPIFunction::kAdvapi32},
    {"AllocateAndInitializeSid", CAPIFunction::kAdvapi32},
    {"InitializeAcl", CAPIFunction::kAdvapi32},
    {"AddAccessAllowedObjectAce", CAPIFunction::kAdvapi32},
    {"SetSecurityDescriptorDacl", CAPIFunction::kAdvapi32},
    {"SetSecurityDescriptorControl", CAPIFunction::kAdvapi32},
    {"FreeSid", CAPIFunction::kAdvapi32},
};

// The system functions' types.
using GradientFillFn = int(SETUP_SYSTEM_CALL*)(void*, api::TriVertex*, uint32_t, void*, uint32_t,
                                               uint32_t);
using MoveFileExFn = int(SETUP_SYSTEM_CALL*)(const char*, const char*, uint32_t);
using RegisterDeviceNotificationFn = void*(SETUP_SYSTEM_CALL*)(void*, void*, uint32_t);
using UnregisterDeviceNotificationFn = int(SETUP_SYSTEM_CALL*)(void*);
using WaitNoPendingInstallEventsFn = uint32_t(SETUP_SYSTEM_CALL*)(uint32_t);
using SetupOpenInfFileFn = void*(SETUP_SYSTEM_CALL*)(const char*, const char*, uint32_t,
                                                     uint32_t*);
using SetupGetInfInformationFn = int(SETUP_SYSTEM_CALL*)(const void*, uint32_t, void*, uint32_t,
                                                         uint32_t*);
using SetupQueryInfVersionInformationFn = int(SETUP_SYSTEM_CALL*)(const void*, uint32_t,
                                                                  const char*, char*, uint32_t,
                                                                  uint32_t*);
using SetupCloseInfFileFn = void(SETUP_SYSTEM_CALL*)(void*);
using InitializeSecurityDescriptorFn = int(SETUP_SYSTEM_CALL*)(void*, uint32_t);
using AllocateAndInitializeSidFn = int(SETUP_SYSTEM_CALL*)(const api::SidAuthority*, uint8_t,
                                                           uint32_t, uint32_t, uint32_t, uint32_t,
                                                           uint32_t, uint32_t, uint32_t, uint32_t,
                                                           void**);
using InitializeAclFn = int(SETUP_SYSTEM_CALL*)(void*, uint32_t, uint32_t);
using AddAccessAllowedObjectAceFn = int(SETUP_SYSTEM_CALL*)(void*, uint32_t, uint32_t, uint32_t,
                                                            api::Guid*, api::Guid*, void*);
using SetSecurityDescriptorDaclFn = int(SETUP_SYSTEM_CALL*)(void*, int, void*, int);
using SetSecurityDescriptorControlFn = int(SETUP_SYSTEM_CALL*)(void*, uint16_t, uint16_t);
using FreeSidFn = void*(SETUP_SYSTEM_CALL*)(void*);

template <typename Fn>
Fn As(os::LibraryProc proc) {
    return reinterpret_cast<Fn>(proc);
}

}  // namespace

static_assert(sizeof(api::DeviceInterfaceFilter) == 32, "the filter record is 32 bytes");
static_assert(sizeof(api::TriVertex) == 16, "a gradient corner is 16 bytes");

CAPIFunction::CAPIFunction() = default;

CAPIFunction::~CAPIFunction() { Unload(); }

const char* CAPIFunction::FunctionName(FunctionId id) {
    return id >= 0 && id < kFunctionCount ? kFunctions[id].name : "";
}

bool CAPIFunction::Load() {
    Unload();
    for (int lib = 0; lib < kLibraryCount; ++lib) {
        os::Library library = nullptr;
        if (os::OpenLibrary(kLibraries[lib].name, &library) != 0 || !library) continue;
        libraries_[lib] = library;
        for (int fn = 0; fn < kFunctionCount; ++fn)
            if (kFunctions[fn].library == lib)
                functions_[fn] = os::LibraryEntry(library, kFunctions[fn].name);
    }
    return true;
}

void CAPIFunction::Unload() {
    for (os::LibraryProc& fn : functions_) fn = nullptr;
    for (os::Library& library : libraries_) {
        os::CloseLibrary(library);
        library = nullptr;
    }
}

// Missing functions only answer their failure values: the engine has no
// trace channel for the debug line that names them.
os::LibraryProc CAPIFunction::Function(FunctionId id) const { return functions_[id]; }

api::DeviceNotify CAPIFunction::RegisterDeviceNotification(void* recipient, void* filter,
                                                           uint32_t flags) {
    auto fn = As<RegisterDeviceNotificationFn>(Function(kRegisterDeviceNotification));
    return fn ? fn(recipient, filter, flags) : nullptr;
}

int CAPIFunction::UnregisterDeviceNotification(api::DeviceNotify handle) {
    auto fn = As<UnregisterDeviceNotificationFn>(Function(kUnregisterDeviceNotification));
    return fn ? fn(handle) : 0;
}

uint32_t CAPIFunction::CMP_WaitNoPendingInstallEvents(uint32_t timeoutMs) {
    auto fn = As<WaitNoPendingInstallEventsFn>(Function(kWaitNoPendingInstallEvents));
    return fn ? fn(timeoutMs) : 0xFFFFFFFFu;
}

api::InfHandle CAPIFunction::SetupOpenInfFile(const char* fileName, const char* infClass,
                                              uint32_t infStyle, uint32_t* errorLine) {
    auto fn = As<SetupOpenInfFileFn>(Function(kSetupOpenInfFile));
    return fn ? fn(fileName, infClass, infStyle, errorLine) : api::InvalidInf();
}

int CAPIFunction::SetupGetInfInformation(const void* infSource, uint32_t searchControl,
                                         void* information, uint32_t size,
                                         uint32_t* requiredSize) {
    auto fn = As<SetupGetInfInformationFn>(Function(kSetupGetInfInformation));
    return fn ? fn(infSource, searchControl, information, size, requiredSize) : 0;
}

int CAPIFunction::SetupQueryInfVersionInformation(const void* information, uint32_t infIndex,
                                                  const char* key, char* buffer, uint32_t size,
                                                  uint32_t* requiredSize) {
    auto fn = As<SetupQueryInfVersionInformationFn>(Function(kSetupQueryInfVersionInformation));
    return fn ? fn(information, infIndex, key, buffer, size, requiredSize) : 0;
}

void CAPIFunction::SetupCloseInfFile(api::InfHandle inf) {
    if (auto fn = As<SetupCloseInfFileFn>(Function(kSetupCloseInfFile))) fn(inf);
}

int CAPIFunction::MoveFileEx(const char* existing, const char* replacement, uint32_t flags) {
    auto fn = As<MoveFileExFn>(Function(kMoveFileEx));
    return fn ? fn(existing, replacement, flags) : 0;
}

int CAPIFunction::GradientFill(void* dc, api::TriVertex* vertices, uint32_t vertexCount,
                               void* mesh, uint32_t meshCount, uint32_t mode) {
    auto fn = As<GradientFillFn>(Function(kGradientFill));
    return fn ? fn(dc, vertices, vertexCount, mesh, meshCount, mode) : 0;
}

int CAPIFunction::InitializeSecurityDescriptor(void* descriptor, uint32_t revision) {
    auto fn = As<InitializeSecurityDescriptorFn>(Function(kInitializeSecurityDescriptor));
    return fn ? fn(descriptor, revision) : 0;
}

int CAPIFunction::AllocateAndInitializeSid(const api::SidAuthority* authority, uint8_t count,
                                           uint32_t s0, uint32_t s1, uint32_t s2, uint32_t s3,
                                           uint32_t s4, uint32_t s5, uint32_t s6, uint32_t s7,
                                           void** sid) {
    auto fn = As<AllocateAndInitializeSidFn>(Function(kAllocateAndInitializeSid));
    return fn ? fn(authority, count, s0, s1, s2, s3, s4, s5, s6, s7, sid) : 0;
}

int CAPIFunction::InitializeAcl(void* acl, uint32_t size, uint32_t revision) {
    auto fn = As<InitializeAclFn>(Function(kInitializeAcl));
    return fn ? fn(acl, size, revision) : 0;
}

int CAPIFunction::AddAccessAllowedObjectAce(void* acl, uint32_t revision, uint32_t aceFlags,
                                            uint32_t accessMask, api::Guid* objectType,
                                            api::Guid* inheritedObjectType, void* sid) {
    auto fn = As<AddAccessAllowedObjectAceFn>(Function(kAddAccessAllowedObjectAce));
    return fn ? fn(acl, revision, aceFlags, accessMask, objectType, inheritedObjectType, sid) : 0;
}

int CAPIFunction::SetSecurityDescriptorDacl(void* descriptor, int present, void* acl,
                                            int defaulted) {
    auto fn = As<SetSecurityDescriptorDaclFn>(Function(kSetSecurityDescriptorDacl));
    return fn ? fn(descriptor, present, acl, defaulted) : 0;
}

int CAPIFunction::SetSecurityDescriptorControl(void* descriptor, uint16_t bitsOfInterest,
                                               uint16_t bitsToSet) {
    auto fn = As<SetSecurityDescriptorControlFn>(Function(kSetSecurityDescriptorControl));
    return fn ? fn(descriptor, bitsOfInterest, bitsToSet) : 0;
}

void* CAPIFunction::FreeSid(void* sid) {
    auto fn = As<FreeSidFn>(Function(kFreeSid));
    return fn ? fn(sid) : nullptr;
}
