// Libraries and guarded calls on the simulated machine: host shared objects
// loaded with dlopen, the simulated system's libraries from a table, and a
// guard of signal handlers that jump back out of a faulting call.
#include "platform/sim/library_sim.h"

#include <dlfcn.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/os.h"
#include "platform/sim/machine.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

sim::Process* SimProcess() {
    sim::Process* p = sim::CurrentProcess();
    return p && p->machine ? p : nullptr;
}

// --- the simulated system's functions -------------------------------------------

// The libraries a Windows of the simulated range brings; a bare name of one
// of them never reaches the drives.
const char* const kSystemLibraries[] = {
    "kernel32.dll", "user32.dll",   "gdi32.dll",  "advapi32.dll", "setupapi.dll",
    "msimg32.dll",  "shell32.dll",  "ole32.dll",  "comctl32.dll", "winspool.drv",
    "cfgmgr32.dll", "version.dll",  "ntdll.dll",  "shlwapi.dll",  "mpr.dll",
    "printui.dll",  "riched20.dll", "ws2_32.dll", "imagehlp.dll", "wintrust.dll",
};

bool IsSystemLibrary(const std::string& lowerName) {
    for (const char* name : kSystemLibraries)
        if (lowerName == name) return true;
    return false;
}

// GetDiskFreeSpaceExA: the simulated machine knows the free space only.
int SimGetDiskFreeSpaceEx(const char* dir, uint64_t* freeToCaller, uint64_t* total,
                          uint64_t* totalFree) {
    uint64_t bytes = 0;
    if (os::DiskFreeSpace(dir, &bytes) != 0) return 0;
    if (freeToCaller) *freeToCaller = bytes;
    if (total) *total = bytes;
    if (totalFree) *totalFree = bytes;
    return 1;
}

// GetDiskFreeSpaceA: 32 KB clusters, at most 65535 of them.
int SimGetDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                        uint32_t* freeClusters, uint32_t* totalClusters) {
    uint64_t bytes = 0;
    if (os::DiskFreeSpace(root, &bytes) != 0) return 0;
    uint64_t clusters = bytes / 32768u;
    if (clusters > 65535u) clusters = 65535u;
    if (sectorsPerCluster) *sectorsPerCluster = 64;
    if (bytesPerSector) *bytesPerSector = 512;
    if (freeClusters) *freeClusters = static_cast<uint32_t>(clusters);
    if (totalClusters) *totalClusters = static_cast<uint32_t>(clusters);
    return 1;
}

// GetWindowsDirectoryA: the length copied, or the size needed.
uint32_t SimGetWindowsDirectory(char* buffer, uint32_t size) {
    std::string dir;
    if (os::WindowsDirectory(dir) != 0) return 0;
    if (!buffer || size < dir.size() + 1) return static_cast<uint32_t>(dir.size() + 1);
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return static_cast<uint32_t>(dir.size());
}

uint32_t SimWaitNoPendingInstallEvents(uint32_t timeoutMs) {
    uint32_t answer = 0;
    if (os::WaitNoPendingInstallEvents(timeoutMs, &answer) != 0) return 0xFFFFFFFFu;
    return answer;
}

uint32_t SimAttachedDevices(char* buffer, uint32_t size, uint32_t* needed) {
    std::string text;
    if (sim::Process* p = SimProcess()) {
        for (const sim::Device& d : p->machine->devices())
            text += d.port + "\t" + d.deviceId + "\t" + d.vidPid + "\n";
    }
    if (needed) *needed = static_cast<uint32_t>(text.size() + 1);
    if (!buffer || size < text.size() + 1) return os::kErrInsufficientBuffer;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 0;
}

// Device notifications: registrations are kept; no arrival comes this way.
std::mutex g_notifyMutex;
std::set<void*> g_notifications;

void* SimRegisterDeviceNotification(void* recipient, void* filter, uint32_t) {
    if (!recipient || !filter) return nullptr;
    std::lock_guard<std::mutex> lock(g_notifyMutex);
    void* token = new char(0);
    g_notifications.insert(token);
    return token;
}

int SimUnregisterDeviceNotification(void* handle) {
    std::lock_guard<std::mutex> lock(g_notifyMutex);
    auto it = g_notifications.find(handle);
    if (it == g_notifications.end()) return 0;
    delete static_cast<char*>(*it);
    g_notifications.erase(it);
    return 1;
}

template <typename F>
SimSystemProc AsProc(F* f) {
    return reinterpret_cast<SimSystemProc>(f);
}

struct SystemTable {
    std::mutex mutex;
    std::map<std::string, std::map<std::string, SimSystemProc>> libraries;  // lower-case library

    SystemTable() {
        libraries["kernel32.dll"]["GetDiskFreeSpaceExA"] = AsProc(&SimGetDiskFreeSpaceEx);
        libraries["kernel32.dll"]["GetDiskFreeSpaceA"] = AsProc(&SimGetDiskFreeSpace);
        libraries["kernel32.dll"]["GetWindowsDirectoryA"] = AsProc(&SimGetWindowsDirectory);
        libraries["setupapi.dll"]["CMP_WaitNoPendingInstallEvents"] =
            AsProc(&SimWaitNoPendingInstallEvents);
        libraries["setupapi.dll"][kSimAttachedDevicesName] = AsProc(&SimAttachedDevices);
        libraries["user32.dll"]["RegisterDeviceNotificationA"] =
            AsProc(&SimRegisterDeviceNotification);
        libraries["user32.dll"]["UnregisterDeviceNotification"] =
            AsProc(&SimUnregisterDeviceNotification);
    }
};

SystemTable& Table() {
    static SystemTable table;
    return table;
}

SimSystemProc SystemFunction(const std::string& lowerLibrary, const char* name) {
    if (!name) return nullptr;
    sim::Process* p = SimProcess();
    if (!p || p->machine->FunctionMissing(lowerLibrary) || p->machine->FunctionMissing(name))
        return nullptr;
    SystemTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto lib = t.libraries.find(lowerLibrary);
    if (lib == t.libraries.end()) return nullptr;
    auto fn = lib->second.find(name);
    return fn == lib->second.end() ? nullptr : fn->second;
}

// --- loading ---------------------------------------------------------------------

struct SimLibrary {
    std::string system;  // lower-case name of a simulated system library
    void* dl = nullptr;  // a host shared object
};

std::string FileName(const std::string& path) {
    size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string Directory(const std::string& path) {
    size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool IsRegularHostFile(const std::string& host) {
    struct stat st {};
    return ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Where a bare name that is not a system library is looked for.
bool FindOnSearchPath(sim::Process* p, const std::string& name, std::string& host) {
    const sim::Directories& d = p->machine->directories();
    const std::string dirs[] = {Directory(p->exePath), d.system, d.windows, p->currentDir};
    for (const std::string& dir : dirs) {
        if (dir.empty()) continue;
        std::string candidate;
        std::string winPath = dir.back() == '\\' ? dir + name : dir + "\\" + name;
        if (p->machine->ToHostPath(winPath, p->currentDir, candidate) == 0 &&
            IsRegularHostFile(candidate)) {
            host = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace

namespace sim {

void AddSystemFunction(const char* library, const char* name, SimSystemProc proc) {
    if (!library || !name) return;
    SystemTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.libraries[Lower(library)][name] = proc;
}

SimSystemProc LookUpSystemFunction(const char* library, const char* name) {
    if (!library) return nullptr;
    return SystemFunction(Lower(library), name);
}

}  // namespace sim

namespace os {

uint32_t OpenLibrary(const char* path, Library* library) {
    if (library) *library = nullptr;
    if (!library) return kErrInvalidParameter;
    sim::Process* p = SimProcess();
    if (!p) return kErrInvalidHandle;
    std::string winPath = path ? path : "";
    if (winPath.empty()) return kErrModNotFound;

    const bool bare = winPath.find_first_of("\\/:") == std::string::npos;
    std::string name = FileName(winPath);
    if (bare && name.find('.') == std::string::npos) name += ".dll";
    const std::string lower = Lower(name);

    // The system's own libraries: by bare name, or in the system directory.
    bool system = false;
    if (IsSystemLibrary(lower)) {
        system = bare || Lower(Directory(winPath)) == Lower(p->machine->directories().system);
    }
    if (system) {
        if (p->machine->FunctionMissing(lower)) return kErrModNotFound;
        *library = new SimLibrary{lower, nullptr};
        return 0;
    }

    std::string host;
    if (bare) {
        if (!FindOnSearchPath(p, name, host)) return kErrModNotFound;
    } else {
        uint32_t rc = p->machine->ToHostPath(winPath, p->currentDir, host);
        if (rc == kErrInvalidName) return rc;
        if (rc != 0 || !IsRegularHostFile(host)) return kErrModNotFound;
    }
    void* dl = ::dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl) return 193;  // not a valid library
    if (void* bind = ::dlsym(dl, kSimBindSystemEntry))
        reinterpret_cast<SimBindSystemFn>(bind)(&sim::LookUpSystemFunction);
    *library = new SimLibrary{std::string(), dl};
    return 0;
}

LibraryProc LibraryEntry(Library library, const char* name) {
    if (!library || !name) return nullptr;
    const SimLibrary* lib = static_cast<const SimLibrary*>(library);
    if (!lib->system.empty()) return SystemFunction(lib->system, name);
    return reinterpret_cast<LibraryProc>(::dlsym(lib->dl, name));
}

void CloseLibrary(Library library) {
    if (!library) return;
    SimLibrary* lib = static_cast<SimLibrary*>(library);
    if (lib->dl) ::dlclose(lib->dl);
    delete lib;
}

// --- the guard -------------------------------------------------------------------

namespace {

const int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr size_t kSignalCount = sizeof kFaultSignals / sizeof kFaultSignals[0];

// The process's handlers are ours while any thread is inside a guarded call.
std::mutex g_guardMutex;
int g_guardedCalls = 0;
struct sigaction g_previous[kSignalCount];

// The innermost guarded call of this thread.
thread_local sigjmp_buf* t_jump = nullptr;

void OnFault(int sig, siginfo_t* info, void* context) {
    if (sigjmp_buf* jump = t_jump) siglongjmp(*jump, 1);
    // A fault outside a guarded call: what would have happened without us.
    for (size_t i = 0; i < kSignalCount; ++i) {
        if (kFaultSignals[i] != sig) continue;
        const struct sigaction& prev = g_previous[i];
        if ((prev.sa_flags & SA_SIGINFO) && prev.sa_sigaction) {
            prev.sa_sigaction(sig, info, context);
            return;
        }
        if (prev.sa_handler != SIG_DFL && prev.sa_handler != SIG_IGN) {
            prev.sa_handler(sig);
            return;
        }
    }
    // The default action: the faulting instruction runs again and ends the
    // process; a signal sent by kill() is sent again.
    ::signal(sig, SIG_DFL);
    if (info && info->si_code <= 0) ::raise(sig);
}

void EnterGuard() {
    std::lock_guard<std::mutex> lock(g_guardMutex);
    if (g_guardedCalls++ > 0) return;
    struct sigaction action {};
    action.sa_sigaction = &OnFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < kSignalCount; ++i) ::sigaction(kFaultSignals[i], &action, &g_previous[i]);
}

void LeaveGuard() {
    std::lock_guard<std::mutex> lock(g_guardMutex);
    if (--g_guardedCalls > 0) return;
    for (size_t i = 0; i < kSignalCount; ++i) ::sigaction(kFaultSignals[i], &g_previous[i], nullptr);
}

// An alternate signal stack for the thread while it has none, so that a
// call that overran its stack can still be left.
class AltStack {
public:
    AltStack() {
        stack_t current {};
        if (::sigaltstack(nullptr, &current) != 0 || !(current.ss_flags & SS_DISABLE)) return;
        memory_ = std::malloc(kSize);
        if (!memory_) return;
        stack_t ours {};
        ours.ss_sp = memory_;
        ours.ss_size = kSize;
        if (::sigaltstack(&ours, nullptr) != 0) {
            std::free(memory_);
            memory_ = nullptr;
        }
    }
    ~AltStack() {
        if (!memory_) return;
        stack_t off {};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        std::free(memory_);
    }
    AltStack(const AltStack&) = delete;
    AltStack& operator=(const AltStack&) = delete;

private:
    static constexpr size_t kSize = 64 * 1024;
    void* memory_ = nullptr;
};

// 1 when fn returned, 0 when it threw, -1 when it faulted. Kept apart so
// that nothing of the caller lives across the jump.
int RunWithJump(void (*fn)(void*), void* context) {
    sigjmp_buf jump;
    sigjmp_buf* volatile outer = t_jump;
    if (sigsetjmp(jump, 1) != 0) {
        t_jump = outer;
        return -1;
    }
    t_jump = &jump;
    int result = 1;
    try {
        fn(context);
    } catch (...) {
        result = 0;
    }
    t_jump = outer;
    return result;
}

}  // namespace

bool CallGuarded(void (*fn)(void*), void* context) {
    if (!fn) return false;
    EnterGuard();
    int result;
    {
        AltStack stack;
        result = RunWithJump(fn, context);
    }
    LeaveGuard();
    return result == 1;
}

}  // namespace os
