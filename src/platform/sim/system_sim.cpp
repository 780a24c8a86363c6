// os_system.h on the simulated machine of the current simulated process.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/os.h"
#include "platform/sim/machine.h"

namespace os {
namespace {

sim::Process* SimProcess() {
    sim::Process* p = sim::CurrentProcess();
    return p && p->machine ? p : nullptr;
}

bool Win9x(const sim::Process* p) { return p->machine->version().platformId != 2; }

// A service handle: the manager (empty name) or one service.
struct SimService {
    bool manager = false;
    bool fullAccess = false;
    std::string name;
};

bool ParentExists(const std::string& host) { return sim::HostParentExists(host); }

char DriveOf(const sim::Process* p, const char* path) {
    std::string s = path && *path ? path : p->currentDir;
    if (s.size() >= 2 && s[1] == ':') {
        char c = s[0];
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    }
    return 0;
}

}  // namespace

bool ProgramIs64Bit() {
    sim::Process* p = SimProcess();
    return p && p->program64;
}

uint32_t IsWow64Process(bool* wow64) {
    if (wow64) *wow64 = false;
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    if (p->machine->FunctionMissing("IsWow64Process")) return kErrProcNotFound;
    if (!wow64) return kErrInvalidParameter;
    // Only the 32-bit product on a 64-bit Windows runs under WOW64.
    *wow64 = p->machine->is64Bit() && !p->program64;
    return 0;
}

uint32_t CheckAdministratorAccess(bool* granted) {
    if (granted) *granted = false;
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    if (Win9x(p)) return kErrCallNotImplemented;  // no security on Windows 95/98/ME
    if (!granted) return kErrInvalidParameter;
    *granted = p->machine->administrator();
    return 0;
}

uint32_t WindowsDirectory(std::string& path) {
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    path = p->machine->directories().windows;
    return 0;
}

uint32_t SystemDirectory(std::string& path) {
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    path = p->machine->directories().system;
    return 0;
}

uint16_t SystemDefaultLangId() {
    sim::Process* p = SimProcess();
    return p ? p->machine->systemLanguage() : 0x0409;
}

uint32_t DriveTypeOf(const char* root) {
    sim::Process* p = SimProcess();
    if (!p) return kDriveUnknown;
    std::string r = root && *root ? root : p->currentDir.substr(0, 3);
    // Only a root names a drive ("C:\"; "C:" is taken as its root too).
    if (!(r.size() == 2 || (r.size() == 3 && (r[2] == '\\' || r[2] == '/'))) || r[1] != ':')
        return kDriveNoRootDir;
    auto it = p->machine->drives().find(DriveOf(p, r.c_str()));
    if (it == p->machine->drives().end()) return kDriveNoRootDir;
    switch (it->second.kind) {
    case sim::DriveKind::Fixed: return kDriveFixed;
    case sim::DriveKind::CdRom: return kDriveCdRom;
    case sim::DriveKind::Removable: return kDriveRemovable;
    case sim::DriveKind::Remote: return kDriveRemote;
    case sim::DriveKind::RamDisk: return kDriveRamDisk;
    }
    return kDriveUnknown;
}

uint32_t DiskFreeSpace(const char* path, uint64_t* freeBytes) {
    if (freeBytes) *freeBytes = 0;
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    if (!freeBytes) return kErrInvalidParameter;
    const bool hasEx = !p->machine->FunctionMissing("GetDiskFreeSpaceExA");
    std::string dir = path && *path ? path : p->currentDir;
    if (!hasEx) {
        // The old call takes a root only.
        char letter = DriveOf(p, dir.c_str());
        if (!letter) return kErrPathNotFound;
        dir = std::string(1, letter) + ":\\";
    }
    std::string host;
    const sim::Drive* drive = nullptr;
    uint32_t rc = p->machine->ToHostPath(dir, p->currentDir, host, &drive);
    if (rc) return rc;
    struct stat st {};
    if (drive->kind != sim::DriveKind::CdRom && ::stat(host.c_str(), &st) != 0) {
        int err = errno;
        return sim::ErrnoToWin(err, err == ENOENT && !ParentExists(host));
    }
    if (drive->kind != sim::DriveKind::CdRom && !S_ISDIR(st.st_mode)) return kErrDirectory;
    uint64_t bytes = drive->freeMb * 1024u * 1024u;
    // 32 KB clusters, at most 65535 of them: what the old call can tell.
    if (!hasEx && bytes > 65535ull * 32768u) bytes = 65535ull * 32768u;
    *freeBytes = bytes;
    return 0;
}

uint32_t EnumPortNames(uint32_t level, std::vector<std::string>& names) {
    names.clear();
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    if (level != 1 && level != 2) return 124;  // the system call level is not correct
    names = p->machine->Ports();
    return 0;
}

uint32_t EnumLocalPrinters(std::vector<PrinterEntry>& printers) {
    printers.clear();
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    for (const sim::PrinterSeed& s : p->machine->Printers())
        printers.push_back(PrinterEntry{s.name, s.driver, s.port});
    return 0;
}

uint32_t EnumPrinterDriverNames(std::vector<std::string>& names) {
    names.clear();
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    names = p->machine->Drivers();
    return 0;
}

uint32_t WaitNoPendingInstallEvents(uint32_t timeoutMs, uint32_t* answer) {
    if (answer) *answer = 0;
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    if (p->machine->FunctionMissing("setupapi.dll")) return kErrModNotFound;
    if (p->machine->FunctionMissing("CMP_WaitNoPendingInstallEvents")) return kErrProcNotFound;
    uint32_t r = p->machine->WaitPnP(timeoutMs);
    if (answer) *answer = r;
    return 0;
}

uint32_t OpenServiceManager(bool fullAccess, void** manager) {
    if (manager) *manager = nullptr;
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    if (!manager) return kErrInvalidParameter;
    if (Win9x(p)) return kErrCallNotImplemented;
    if (fullAccess && !p->machine->administrator()) return kErrAccessDenied;
    *manager = new SimService{true, fullAccess, std::string()};
    return 0;
}

uint32_t OpenSystemService(void* manager, const char* name, bool fullAccess, void** service) {
    if (service) *service = nullptr;
    auto* m = static_cast<SimService*>(manager);
    sim::Process* p = SimProcess();
    if (!p || !m || !m->manager) return kErrInvalidHandle;
    if (!name || !service) return kErrInvalidParameter;
    if (!*name) return kErrInvalidName;
    if (fullAccess && !p->machine->administrator()) return kErrAccessDenied;
    ServiceStatus st;
    uint32_t rc = p->machine->QueryService(name, &st);
    if (rc) return rc;
    *service = new SimService{false, fullAccess, name};
    return 0;
}

uint32_t QueryServiceStatus(void* service, ServiceStatus* status) {
    auto* s = static_cast<SimService*>(service);
    sim::Process* p = SimProcess();
    if (!p || !s || s->manager) return kErrInvalidHandle;
    if (!status) return 998;  // invalid access to memory location
    return p->machine->QueryService(s->name, status);
}

uint32_t StartSystemService(void* service) {
    auto* s = static_cast<SimService*>(service);
    sim::Process* p = SimProcess();
    if (!p || !s || s->manager) return kErrInvalidHandle;
    if (!s->fullAccess) return kErrAccessDenied;
    return p->machine->StartService(s->name);
}

uint32_t StopSystemService(void* service, ServiceStatus* status) {
    auto* s = static_cast<SimService*>(service);
    sim::Process* p = SimProcess();
    if (!p || !s || s->manager) return kErrInvalidHandle;
    if (!s->fullAccess) return kErrAccessDenied;
    ServiceStatus st;
    uint32_t rc = p->machine->StopService(s->name, &st);
    if (status) *status = st;
    return rc;
}

void CloseService(void* handle) { delete static_cast<SimService*>(handle); }

void Sleep(uint32_t ms) {
    sim::Process* p = SimProcess();
    if (!p) {
        ::usleep(ms * 1000u);
        return;
    }
    p->machine->AdvanceClock(ms);
    // Give other threads of the run a moment; the rest of the wait is simulated.
    ::usleep(ms ? 1000u : 0u);
}

uint32_t TickCount() {
    sim::Process* p = SimProcess();
    if (!p) return 0;
    return static_cast<uint32_t>(p->machine->ClockMs());
}

uint32_t RemoveEmptyDirectory(const char* path) {
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    if (!path || !*path) return kErrPathNotFound;
    std::string host;
    const sim::Drive* drive = nullptr;
    uint32_t rc = p->machine->ToHostPath(path, p->currentDir, host, &drive);
    if (rc) return rc;
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) {
        int err = errno;
        return sim::ErrnoToWin(err, err == ENOENT && !ParentExists(host));
    }
    if (!S_ISDIR(st.st_mode)) return kErrDirectory;
    if (host == drive->hostPath) return kErrAccessDenied;  // a drive's root
    if (drive->ReadOnly()) return kErrAccessDenied;
    if (::rmdir(host.c_str()) != 0) {
        int err = errno;
        return err == ENOTEMPTY || err == EEXIST ? kErrDirectoryNotEmpty : sim::ErrnoToWin(err);
    }
    return 0;
}

}  // namespace os
