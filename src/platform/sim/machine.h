// A simulated Windows machine: a folder with machine.ini (what the machine
// is), registry.db (its registry and system state), host folders for its
// drives and journal.log (effects that cannot really happen here).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/sim/registry_store.h"

namespace sim {

enum class DriveKind { Fixed, CdRom, Removable, Remote, RamDisk };

struct Drive {
    char letter = 'C';
    DriveKind kind = DriveKind::Fixed;
    std::string hostPath;  // absolute host folder
    uint64_t freeMb = 0;
    bool ReadOnly() const { return kind == DriveKind::CdRom; }
};

struct Directories {
    std::string windows;          // "C:\WINDOWS"
    std::string system;           // "C:\WINDOWS\system32"
    std::string temp;             // "C:\...\Temp\" (with the backslash)
    std::string programFiles;     // "C:\Program Files"
    std::string programFilesX86;  // 64-bit machines: "C:\Program Files (x86)"
    std::string sourcePath;       // where the system installs drivers from: "D:\"
};

// A printer present at start: [Printers] name = driver, port.
struct PrinterSeed {
    std::string name;
    std::string driver;
    std::string port;
};

// A service present at start: [Services] name = state[, transition ms]
// [, hang][, disabled]. A start or stop takes the transition time of
// simulated time (0: at once); a hanging service stays pending for ever
// without progress; a disabled one refuses to start.
struct ServiceSeed {
    std::string name;
    uint32_t state = 1;  // os::ServiceState
    uint32_t transitionMs = 0;
    bool hangs = false;
    bool disabled = false;
};

// A device attached to a port: [Devices] port = IEEE-1284 device id, VID/PID.
struct Device {
    std::string port;      // "USB001", "LPT1:"
    std::string deviceId;  // "MFG:...;MDL:...;CMD:...;"
    std::string vidPid;    // "VID_1A2B&PID_0C01"; empty on a parallel port
};

// Identity of this host process in the machine's store (pid and start
// time), so that mutexes and windows die with their process.
struct HostIdentity {
    int64_t pid = 0;
    int64_t start = 0;
};

class Machine {
public:
    // Opens a machine folder; a missing or empty folder becomes the default
    // machine. Windows error number; *error gets a readable reason.
    static uint32_t Open(const std::string& folder, std::unique_ptr<Machine>& machine,
                         std::string* error = nullptr);
    // Text of the built-in default machine.ini (Windows XP SP2, 32-bit,
    // English, administrator, C: fixed with 20 GB free).
    static std::string DefaultIni();

    const std::string& folder() const { return folder_; }
    const os::VersionInfo& version() const { return version_; }
    bool ExtendedVersionSupported() const;
    bool is64Bit() const { return is64_; }
    uint16_t systemLanguage() const { return systemLanguage_; }
    bool administrator() const { return administrator_; }
    bool terminalServer() const { return terminalServer_; }
    uint32_t codePage() const { return codePage_; }
    const Directories& directories() const { return dirs_; }
    const std::map<char, Drive>& drives() const { return drives_; }
    // Fixed clock from machine.ini, for repeatable logs; false: host time.
    bool FixedTime(os::LocalTime* time) const;

    // What machine.ini lists; the spooler and services live in the store
    // from the first use on.
    const std::vector<std::string>& seedPorts() const { return ports_; }
    const std::vector<PrinterSeed>& seedPrinters() const { return printers_; }
    const std::vector<std::string>& seedDrivers() const { return drivers_; }
    const std::vector<ServiceSeed>& seedServices() const { return services_; }
    const std::vector<Device>& devices() const { return devices_; }
    // [MissingFunctions]: a function name, or a library name ("setupapi.dll")
    // for a library the system lacks. Names compare without case.
    bool FunctionMissing(const std::string& name) const;

    // Simulated milliseconds: host time since the machine was opened plus
    // every simulated wait (Sleep, Plug-and-Play waits).
    uint64_t ClockMs() const;
    void AdvanceClock(uint64_t ms);
    // [Machine] PnPBusyMs: Plug-and-Play installs pending for that long from
    // the opening of the machine. A wait of timeoutMs: 0 once nothing is
    // pending (the clock moves on to that moment), else 258 after the whole
    // timeout.
    uint32_t WaitPnP(uint32_t timeoutMs);

    // The spooler's ports, local printers and drivers in the store.
    std::vector<std::string> Ports();
    std::vector<PrinterSeed> Printers();
    std::vector<std::string> Drivers();

    // Services in the store (names compare without case). Windows error
    // numbers: 1060 unknown service, 1056 start of a service that is not
    // stopped, 1058 disabled, 1062 stop of a stopped service, 1061 stop of
    // a pending one. State changes persist and go to the journal when done.
    uint32_t QueryService(const std::string& name, os::ServiceStatus* status);
    uint32_t StartService(const std::string& name);
    uint32_t StopService(const std::string& name, os::ServiceStatus* status);

    RegistryStore& registry() { return registry_; }

    // Mounts a host folder as a drive for this run (the package as D:).
    void Mount(char letter, DriveKind kind, const std::string& hostPath, uint64_t freeMb = 0);

    // Windows path -> host path, resolving every component
    // case-insensitively; components that do not exist keep their spelling.
    // relativeTo: the process's current directory for relative paths.
    // 3 for a path on a drive that does not exist, 123 for a bad name.
    uint32_t ToHostPath(const std::string& winPath, const std::string& relativeTo,
                        std::string& hostPath, const Drive** drive = nullptr) const;

    void Journal(const std::string& line);

    // System objects shared by the machine's processes, kept in the store
    // with their owner so that they die with it.
    // Named mutex: adds a handle of this process; *existed when another live
    // handle (of any process) was open already. Answers the handle's id.
    int64_t OpenMutex(const std::string& name, bool* existed);
    void CloseMutex(int64_t id);
    // Top-level windows, for finding one of another process by class.
    int64_t RegisterWindow(const std::string& className, const std::string& caption);
    void UnregisterWindow(int64_t id);
    // The newest live window of that class: its id and owner, or 0.
    int64_t FindWindow(const std::string& className, HostIdentity* owner);
    bool WindowAlive(int64_t id);
    // Messages posted to a window of another process.
    bool PostToWindow(int64_t id, uint32_t msg, uint64_t wParam, int64_t lParam);
    struct PostedMessage {
        int64_t window;
        uint32_t msg;
        uint64_t wParam;
        int64_t lParam;
    };
    std::vector<PostedMessage> TakePostedMessages();

private:
    void EnsureSystemTables();
    void EnsureSpoolerAndServices();
    uint32_t Load(std::string* error);
    uint32_t Seed(std::string* error);
    uint32_t ServiceTransition(const std::string& name, bool start, os::ServiceStatus* status);

    std::string folder_;
    os::VersionInfo version_;
    bool is64_ = false;
    uint16_t systemLanguage_ = 0x0409;
    bool administrator_ = true;
    bool terminalServer_ = false;
    uint32_t codePage_ = 1252;
    bool hasFixedTime_ = false;
    os::LocalTime fixedTime_;
    Directories dirs_;
    std::map<char, Drive> drives_;
    std::vector<std::string> ports_;
    std::vector<PrinterSeed> printers_;
    std::vector<std::string> drivers_;
    std::vector<ServiceSeed> services_;
    std::vector<Device> devices_;
    std::vector<std::string> missing_;
    uint64_t pnpBusyMs_ = 0;
    std::atomic<uint64_t> advancedMs_{0};
    uint64_t pnpReadyAtMs_ = 0;  // on ClockMs
    std::atomic<bool> spoolerReady_{false};
    RegistryStore registry_;
};

// One simulated process: the running installer or a program it started.
struct Process {
    Machine* machine = nullptr;
    std::string exePath = "D:\\Setup.exe";
    std::string commandLine;
    std::string currentDir = "D:\\";
    bool program64 = false;  // the 64-bit product
};

// The simulated process this host process is; tests and setup-sim set it.
Process* CurrentProcess();
void SetCurrentProcess(Process* process);

HostIdentity SelfIdentity();
bool IsAlive(const HostIdentity& who);

// Windows error number for a host errno.
uint32_t ErrnoToWin(int err, bool parentMissing = false);

// The current simulated process when it runs on a machine, else null.
Process* ActiveProcess();
// Host path of a Windows path of the current process: 6 without one, 3 for
// an empty path, else what Machine::ToHostPath answers.
uint32_t HostPathOf(const char* path, std::string& host, const Drive** drive = nullptr);
// Whether the folder that would hold host exists.
bool HostParentExists(const std::string& host);
// The Windows error of a failed host call on host: a missing file in a
// missing folder is "path not found", as on Windows.
uint32_t HostError(const std::string& host, int err);

}  // namespace sim
