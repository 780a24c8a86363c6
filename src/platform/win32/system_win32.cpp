// os_system.h on real Windows: one API call per operation; what Windows
// 2000 lacks is looked up at run time.
#include "platform/os.h"

#include <windows.h>
#include <winspool.h>

#include <new>
#include <vector>

namespace os {

namespace {

uint32_t Result(BOOL ok) {
    return ok ? static_cast<uint32_t>(kErrSuccess) : static_cast<uint32_t>(GetLastError());
}

// The length answer of GetWindowsDirectoryA and its kind: the needed size
// (with the terminator) when the buffer is too small.
template <typename Call>
uint32_t FetchDirectory(std::string& out, Call call) {
    char small[MAX_PATH + 1];
    UINT n = call(small, static_cast<UINT>(sizeof small));
    if (n == 0) return GetLastError();
    if (n < sizeof small) {
        out.assign(small, n);
        return kErrSuccess;
    }
    std::string big(n, '\0');
    UINT m = call(&big[0], n);
    if (m == 0) return GetLastError();
    if (m >= n) return kErrInsufficientBuffer;
    big.resize(m);
    out.swap(big);
    return kErrSuccess;
}

// A "size, then fill" spooler enumeration into a byte buffer.
template <typename Call>
uint32_t Enumerate(std::vector<BYTE>& buf, DWORD* count, Call call) {
    DWORD needed = 0;
    *count = 0;
    if (call(nullptr, 0, &needed, count)) return kErrSuccess;  // nothing to list
    DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) return error;
    try {
        buf.resize(needed);
    } catch (const std::bad_alloc&) {
        return kErrNotEnoughMemory;
    }
    if (!call(buf.data(), needed, &needed, count)) return GetLastError();
    return kErrSuccess;
}

std::string Text(const char* s) { return s ? s : ""; }

}  // namespace

bool ProgramIs64Bit() { return sizeof(void*) == 8; }

uint32_t IsWow64Process(bool* wow64) {
    *wow64 = false;
    typedef BOOL(WINAPI * IsWow64Fn)(HANDLE, PBOOL);
    HMODULE kernel = LoadLibraryA("Kernel32.dll");
    if (!kernel) return GetLastError();
    auto fn = reinterpret_cast<IsWow64Fn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    uint32_t rc = kErrProcNotFound;
    if (fn) {
        BOOL answer = FALSE;
        rc = Result(fn(GetCurrentProcess(), &answer));
        *wow64 = rc == kErrSuccess && answer;
    }
    FreeLibrary(kernel);
    return rc;
}

uint32_t CheckAdministratorAccess(bool* granted) {
    *granted = false;
    const DWORD kRead = 1, kWrite = 2;
    if (!ImpersonateSelf(SecurityImpersonation)) return GetLastError();
    uint32_t rc = kErrSuccess;
    HANDLE token = nullptr;
    PSID admins = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    PACL acl = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
        rc = GetLastError();
        if (rc == ERROR_NO_TOKEN)
            rc = Result(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    }
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (rc == kErrSuccess)
        rc = Result(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                             DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins));
    if (rc == kErrSuccess) {
        sd = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
        DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(admins) -
                        sizeof(DWORD);
        acl = static_cast<PACL>(LocalAlloc(LPTR, aclSize));
        if (!sd || !acl) rc = kErrNotEnoughMemory;
        if (rc == kErrSuccess)
            rc = Result(InitializeSecurityDescriptor(sd, SECURITY_DESCRIPTOR_REVISION));
        if (rc == kErrSuccess) rc = Result(InitializeAcl(acl, aclSize, ACL_REVISION2));
        if (rc == kErrSuccess)
            rc = Result(AddAccessAllowedAce(acl, ACL_REVISION2, kRead | kWrite, admins));
        if (rc == kErrSuccess) rc = Result(SetSecurityDescriptorDacl(sd, TRUE, acl, FALSE));
        if (rc == kErrSuccess) rc = Result(SetSecurityDescriptorGroup(sd, admins, FALSE));
        if (rc == kErrSuccess) rc = Result(SetSecurityDescriptorOwner(sd, admins, FALSE));
    }
    if (rc == kErrSuccess) {
        GENERIC_MAPPING mapping = {kRead, kWrite, 0, kRead | kWrite};
        PRIVILEGE_SET privileges;
        DWORD privilegesSize = sizeof privileges;
        DWORD grantedAccess = 0;
        BOOL status = FALSE;
        rc = Result(AccessCheck(sd, token, kRead, &mapping, &privileges, &privilegesSize,
                                &grantedAccess, &status));
        *granted = rc == kErrSuccess && status;
    }
    if (acl) LocalFree(acl);
    if (sd) LocalFree(sd);
    if (admins) FreeSid(admins);
    if (token) ::CloseHandle(token);
    RevertToSelf();
    return rc;
}

uint32_t WindowsDirectory(std::string& path) {
    return FetchDirectory(path, [](char* buf, UINT size) { return GetWindowsDirectoryA(buf, size); });
}

uint32_t SystemDirectory(std::string& path) {
    return FetchDirectory(path, [](char* buf, UINT size) { return GetSystemDirectoryA(buf, size); });
}

uint16_t SystemDefaultLangId() { return GetSystemDefaultLangID(); }

uint32_t DriveTypeOf(const char* root) { return GetDriveTypeA(root); }

uint32_t DiskFreeSpace(const char* path, uint64_t* freeBytes) {
    *freeBytes = 0;
    typedef BOOL(WINAPI * FreeSpaceExFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                         PULARGE_INTEGER);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto ex = kernel ? reinterpret_cast<FreeSpaceExFn>(reinterpret_cast<void*>(
                           GetProcAddress(kernel, "GetDiskFreeSpaceExA")))
                     : nullptr;
    if (ex) {
        ULARGE_INTEGER avail, total, totalFree;
        if (!ex(path, &avail, &total, &totalFree)) return GetLastError();
        *freeBytes = avail.QuadPart;
        return kErrSuccess;
    }
    // Windows 95 before OSR2: the old call wants the root.
    std::string root;
    if (path && path[0] && path[1] == ':') root = std::string(path, 2) + "\\";
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceA(root.empty() ? nullptr : root.c_str(), &sectorsPerCluster,
                           &bytesPerSector, &freeClusters, &clusters))
        return GetLastError();
    *freeBytes = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
    return kErrSuccess;
}

uint32_t EnumPortNames(uint32_t level, std::vector<std::string>& names) {
    names.clear();
    if (level != 1 && level != 2) return ERROR_INVALID_LEVEL;
    std::vector<BYTE> buf;
    DWORD count = 0;
    uint32_t rc = Enumerate(buf, &count, [level](BYTE* p, DWORD size, DWORD* needed, DWORD* n) {
        return EnumPortsA(nullptr, level, p, size, needed, n);
    });
    if (rc) return rc;
    for (DWORD i = 0; i < count; ++i) {
        names.push_back(level == 1 ? Text(reinterpret_cast<PORT_INFO_1A*>(buf.data())[i].pName)
                                   : Text(reinterpret_cast<PORT_INFO_2A*>(buf.data())[i].pPortName));
    }
    return kErrSuccess;
}

uint32_t EnumLocalPrinters(std::vector<PrinterEntry>& printers) {
    printers.clear();
    std::vector<BYTE> buf;
    DWORD count = 0;
    uint32_t rc = Enumerate(buf, &count, [](BYTE* p, DWORD size, DWORD* needed, DWORD* n) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, p, size, needed, n);
    });
    if (rc) return rc;
    const auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buf.data());
    for (DWORD i = 0; i < count; ++i)
        printers.push_back(
            PrinterEntry{Text(info[i].pPrinterName), Text(info[i].pDriverName), Text(info[i].pPortName)});
    return kErrSuccess;
}

uint32_t EnumPrinterDriverNames(std::vector<std::string>& names) {
    names.clear();
    std::vector<BYTE> buf;
    DWORD count = 0;
    uint32_t rc = Enumerate(buf, &count, [](BYTE* p, DWORD size, DWORD* needed, DWORD* n) {
        return EnumPrinterDriversA(nullptr, nullptr, 3, p, size, needed, n);
    });
    if (rc) return rc;
    const auto* info = reinterpret_cast<DRIVER_INFO_3A*>(buf.data());
    for (DWORD i = 0; i < count; ++i) names.push_back(Text(info[i].pName));
    return kErrSuccess;
}

uint32_t WaitNoPendingInstallEvents(uint32_t timeoutMs, uint32_t* answer) {
    *answer = 0;
    typedef DWORD(WINAPI * WaitFn)(DWORD);
    HMODULE setupapi = LoadLibraryA("Setupapi.dll");
    if (!setupapi) return GetLastError();
    auto fn = reinterpret_cast<WaitFn>(
        reinterpret_cast<void*>(GetProcAddress(setupapi, "CMP_WaitNoPendingInstallEvents")));
    uint32_t rc = kErrProcNotFound;
    if (fn) {
        *answer = fn(timeoutMs);
        rc = kErrSuccess;
    }
    FreeLibrary(setupapi);
    return rc;
}

uint32_t OpenServiceManager(bool fullAccess, void** manager) {
    SC_HANDLE h =
        OpenSCManagerA(nullptr, nullptr, fullAccess ? SC_MANAGER_ALL_ACCESS : SC_MANAGER_CONNECT);
    *manager = h;
    return h ? kErrSuccess : static_cast<uint32_t>(GetLastError());
}

uint32_t OpenSystemService(void* manager, const char* name, bool fullAccess, void** service) {
    SC_HANDLE h = OpenServiceA(static_cast<SC_HANDLE>(manager), name,
                               fullAccess ? SERVICE_ALL_ACCESS : SERVICE_QUERY_STATUS);
    *service = h;
    return h ? kErrSuccess : static_cast<uint32_t>(GetLastError());
}

uint32_t QueryServiceStatus(void* service, ServiceStatus* status) {
    SERVICE_STATUS st;
    if (!::QueryServiceStatus(static_cast<SC_HANDLE>(service), &st)) return GetLastError();
    status->state = st.dwCurrentState;
    status->checkPoint = st.dwCheckPoint;
    status->waitHintMs = st.dwWaitHint;
    return kErrSuccess;
}

uint32_t StartSystemService(void* service) {
    return Result(StartServiceA(static_cast<SC_HANDLE>(service), 0, nullptr));
}

uint32_t StopSystemService(void* service, ServiceStatus* status) {
    SERVICE_STATUS st = {};
    uint32_t rc = Result(ControlService(static_cast<SC_HANDLE>(service), SERVICE_CONTROL_STOP, &st));
    if (status) {
        status->state = st.dwCurrentState;
        status->checkPoint = st.dwCheckPoint;
        status->waitHintMs = st.dwWaitHint;
    }
    return rc;
}

void CloseService(void* handle) {
    if (handle) CloseServiceHandle(static_cast<SC_HANDLE>(handle));
}

void Sleep(uint32_t ms) { ::Sleep(ms); }

uint32_t TickCount() { return GetTickCount(); }

uint32_t RemoveEmptyDirectory(const char* path) { return Result(RemoveDirectoryA(path)); }

}  // namespace os
