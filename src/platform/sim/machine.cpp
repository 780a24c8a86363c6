#include "platform/sim/machine.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "profile/profile.h"

namespace sim {
namespace {

Process* g_current = nullptr;

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool EqualNoCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string Unquote(std::string s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

uint32_t Number(const std::string& text, uint32_t fallback) {
    std::string t = Trim(Unquote(Trim(text)));
    if (t.empty()) return fallback;
    char* end = nullptr;
    unsigned long v = std::strtoul(t.c_str(), &end, 0);
    return end == t.c_str() ? fallback : static_cast<uint32_t>(v);
}

class Ini {
public:
    explicit Ini(const std::string& text) { CProfile::LoadText(text.data(), text.size(), list_); }
    std::string Get(const char* section, const char* key, const std::string& fallback = "") const {
        SECTION_LIST* s = list_.FindSection(section);
        LINE_LIST* l = s ? list_.FindKey(s, key, 0) : nullptr;
        return l ? Unquote(l->value) : fallback;
    }
    uint32_t Num(const char* section, const char* key, uint32_t fallback) const {
        return Number(Get(section, key), fallback);
    }
    const CSectionList& list() const { return list_; }
    // The section's key lines in file order, keys and values trimmed and
    // unquoted.
    std::vector<std::pair<std::string, std::string>> Lines(const char* section) const {
        std::vector<std::pair<std::string, std::string>> lines;
        if (SECTION_LIST* s = list_.FindSection(section))
            for (LINE_LIST* l = s->lines; l; l = l->next)
                lines.emplace_back(Unquote(Trim(l->key)), Trim(l->value));
        return lines;
    }

private:
    CSectionList list_;
};

// "a, b" at its last comma, both parts trimmed and unquoted: the first
// part (a driver name, a device id) may hold commas, the last never does.
void SplitLast(const std::string& value, std::string& first, std::string& last) {
    size_t comma = value.rfind(',');
    first = Unquote(Trim(comma == std::string::npos ? value : value.substr(0, comma)));
    last = comma == std::string::npos ? std::string() : Unquote(Trim(value.substr(comma + 1)));
}

constexpr uint16_t kSuiteTerminal = 0x0010;

uint64_t HostMonotonicMs() {
    struct timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec / 1000000);
}

uint64_t HostWallMs() {
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec / 1000000);
}

bool ReadHostFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return true;
}

bool MakeHostDirs(const std::string& path) {
    std::string cur;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        cur = path.substr(0, j);
        if (!cur.empty() && ::mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST) return false;
        i = j + 1;
    }
    return true;
}

bool IsEmptyDir(const std::string& path) {
    DIR* d = ::opendir(path.c_str());
    if (!d) return false;
    bool empty = true;
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    ::closedir(d);
    return empty;
}

int64_t ProcStartTime(int64_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%lld/stat", static_cast<long long>(pid));
    std::string stat;
    if (!ReadHostFile(path, stat)) return -1;
    // The command name may hold blanks; fields count from the last ')'.
    size_t p = stat.rfind(')');
    if (p == std::string::npos) return -1;
    std::istringstream in(stat.substr(p + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) {
        if (!(in >> field)) return -1;
    }
    return std::atoll(field.c_str());
}

// Windows forbids these in a file name.
bool BadNameChar(unsigned char c) {
    return c < 32 || std::strchr("<>:\"|?*", c) != nullptr;
}

uint16_t DayOfWeek(int y, int m, int d) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = m - 1;
    t.tm_mday = d;
    t.tm_hour = 12;
    std::mktime(&t);
    return static_cast<uint16_t>(t.tm_wday);
}

}  // namespace

Process* CurrentProcess() { return g_current; }

Process* ActiveProcess() { return g_current && g_current->machine ? g_current : nullptr; }

uint32_t HostPathOf(const char* path, std::string& host, const Drive** drive) {
    Process* p = ActiveProcess();
    if (!p) return os::kErrInvalidHandle;
    if (!path || !*path) return os::kErrPathNotFound;
    return p->machine->ToHostPath(path, p->currentDir, host, drive);
}

bool HostParentExists(const std::string& host) {
    size_t slash = host.rfind('/');
    if (slash == std::string::npos || slash == 0) return true;
    struct stat st {};
    return ::stat(host.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

uint32_t HostError(const std::string& host, int err) {
    return ErrnoToWin(err, err == ENOENT && !HostParentExists(host));
}
void SetCurrentProcess(Process* process) { g_current = process; }

HostIdentity SelfIdentity() {
    static HostIdentity self{0, 0};
    int64_t pid = ::getpid();
    if (self.pid != pid) {  // after a fork the child is a new process
        self.pid = pid;
        self.start = ProcStartTime(pid);
    }
    return self;
}

bool IsAlive(const HostIdentity& who) {
    if (who.pid <= 0) return false;
    if (::kill(static_cast<pid_t>(who.pid), 0) != 0 && errno != EPERM) return false;
    return ProcStartTime(who.pid) == who.start;
}

uint32_t ErrnoToWin(int err, bool parentMissing) {
    switch (err) {
    case 0: return 0;
    case ENOENT: return parentMissing ? os::kErrPathNotFound : os::kErrFileNotFound;
    case ENOTDIR: return os::kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return os::kErrAccessDenied;
    case EROFS: return os::kErrWriteProtect;
    case EEXIST: return os::kErrFileExists;
    case ENOSPC: return os::kErrDiskFull;
    case ENAMETOOLONG: return 206;
    case ENOMEM: return os::kErrNotEnoughMemory;
    case EBUSY:
    case ETXTBSY: return os::kErrSharingViolation;
    case ENOTEMPTY: return 145;
    default: return 31;  // a device attached to the system is not functioning
    }
}

std::string Machine::DefaultIni() {
    return "// Simulated machine: Windows XP SP2, 32-bit, English, administrator.\r\n"
           "[Version]\r\n"
           "Platform = 2\r\n"
           "Major = 5\r\n"
           "Minor = 1\r\n"
           "Build = 2600\r\n"
           "ServicePack = \"Service Pack 2\"\r\n"
           "ServicePackMajor = 2\r\n"
           "ServicePackMinor = 0\r\n"
           "SuiteMask = 0x0100\r\n"
           "ProductType = 1\r\n"
           "\r\n"
           "[Machine]\r\n"
           "Is64Bit = 0\r\n"
           "SystemLanguage = 0x0409\r\n"
           "CodePage = 1252\r\n"
           "Administrator = 1\r\n"
           "TerminalServer = 0\r\n"
           "// Clock = 2026-12-11 09:30:00 fixes the local time\r\n"
           "\r\n"
           "[Directories]\r\n"
           "Windows = C:\\WINDOWS\r\n"
           "System = C:\\WINDOWS\\system32\r\n"
           "Temp = C:\\Documents and Settings\\Owner\\Local Settings\\Temp\r\n"
           "ProgramFiles = C:\\Program Files\r\n"
           "\r\n"
           "// letter = kind (fixed, cdrom, removable, remote, ramdisk), host folder, free MB\r\n"
           "[Drives]\r\n"
           "C = fixed, drive_c, 20480\r\n"
           "\r\n"
           "// port name = monitor\r\n"
           "[Ports]\r\n"
           "LPT1: = Local Port\r\n"
           "COM1: = Local Port\r\n"
           "FILE: = Local Port\r\n"
           "\r\n"
           "// printer name = driver, port\r\n"
           "[Printers]\r\n"
           "\r\n"
           "// driver name = environment\r\n"
           "[Drivers]\r\n"
           "\r\n"
           "// name = running or stopped[, transition ms][, hang][, disabled]\r\n"
           "[Services]\r\n"
           "Spooler = running, 300\r\n"
           "SharedAccess = running, 1500\r\n"
           "\r\n"
           "// port = IEEE-1284 device id, VID/PID\r\n"
           "[Devices]\r\n"
           "\r\n"
           "[NetworkPrinters]\r\n"
           "\r\n"
           "// function or library name = 1: the system lacks it\r\n"
           "[MissingFunctions]\r\n";
}

uint32_t Machine::Open(const std::string& folder, std::unique_ptr<Machine>& machine,
                       std::string* error) {
    std::string dir = folder;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir.empty()) dir = ".";
    if (!dir.empty() && dir[0] != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd)) dir = std::string(cwd) + "/" + dir;
    }
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) {
        if (!MakeHostDirs(dir)) {
            if (error) *error = "cannot create machine folder " + dir;
            return ErrnoToWin(errno);
        }
    }
    std::string ini = dir + "/machine.ini";
    if (IsEmptyDir(dir)) {
        std::ofstream out(ini, std::ios::binary);
        out << DefaultIni();
        if (!out) {
            if (error) *error = "cannot write " + ini;
            return os::kErrAccessDenied;
        }
    }
    auto m = std::unique_ptr<Machine>(new Machine());
    m->folder_ = dir;
    uint32_t rc = m->Load(error);
    if (rc != 0) return rc;
    machine = std::move(m);
    return 0;
}

uint32_t Machine::Load(std::string* error) {
    std::string text;
    if (!ReadHostFile(folder_ + "/machine.ini", text)) {
        if (error) *error = folder_ + " is not a machine folder (no machine.ini)";
        return os::kErrFileNotFound;
    }
    Ini ini(text);
    version_.platformId = ini.Num("Version", "Platform", 2);
    version_.majorVersion = ini.Num("Version", "Major", 5);
    version_.minorVersion = ini.Num("Version", "Minor", 1);
    version_.buildNumber = ini.Num("Version", "Build", 2600);
    version_.csdVersion = ini.Get("Version", "ServicePack").substr(0, 127);
    version_.servicePackMajor = static_cast<uint16_t>(ini.Num("Version", "ServicePackMajor", 0));
    version_.servicePackMinor = static_cast<uint16_t>(ini.Num("Version", "ServicePackMinor", 0));
    version_.suiteMask = static_cast<uint16_t>(ini.Num("Version", "SuiteMask", 0));
    version_.productType = static_cast<uint8_t>(ini.Num("Version", "ProductType", 1));
    is64_ = ini.Num("Machine", "Is64Bit", 0) != 0;
    systemLanguage_ = static_cast<uint16_t>(ini.Num("Machine", "SystemLanguage", 0x0409));
    codePage_ = ini.Num("Machine", "CodePage", 1252);
    administrator_ = ini.Num("Machine", "Administrator", 1) != 0;
    terminalServer_ = ini.Num("Machine", "TerminalServer", 0) != 0;
    // Windows announces Terminal Services in the suite mask.
    if (terminalServer_) version_.suiteMask |= kSuiteTerminal;
    pnpBusyMs_ = ini.Num("Machine", "PnPBusyMs", 0);
    pnpReadyAtMs_ = ClockMs() + pnpBusyMs_;

    std::string clock = Trim(ini.Get("Machine", "Clock"));
    int y, mo, d, h, mi, s;
    if (!clock.empty() &&
        std::sscanf(clock.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) == 6) {
        hasFixedTime_ = true;
        fixedTime_.year = static_cast<uint16_t>(y);
        fixedTime_.month = static_cast<uint16_t>(mo);
        fixedTime_.day = static_cast<uint16_t>(d);
        fixedTime_.hour = static_cast<uint16_t>(h);
        fixedTime_.minute = static_cast<uint16_t>(mi);
        fixedTime_.second = static_cast<uint16_t>(s);
        fixedTime_.dayOfWeek = DayOfWeek(y, mo, d);
    }

    dirs_.windows = ini.Get("Directories", "Windows", "C:\\WINDOWS");
    dirs_.system = ini.Get("Directories", "System", dirs_.windows + "\\system32");
    dirs_.temp = ini.Get("Directories", "Temp", dirs_.windows + "\\TEMP");
    if (dirs_.temp.empty() || dirs_.temp.back() != '\\') dirs_.temp += '\\';
    dirs_.programFiles = ini.Get("Directories", "ProgramFiles", "C:\\Program Files");
    dirs_.sourcePath = ini.Get("Directories", "SourcePath",
                               version_.platformId == 2 ? "D:\\" : dirs_.windows + "\\OPTIONS\\CABS");
    if (is64_)
        dirs_.programFilesX86 =
            ini.Get("Directories", "ProgramFilesX86", dirs_.programFiles + " (x86)");

    if (SECTION_LIST* s = ini.list().FindSection("Drives")) {
        for (LINE_LIST* l = s->lines; l; l = l->next) {
            std::string letter = Upper(Trim(l->key));
            if (letter.size() != 1 || letter[0] < 'A' || letter[0] > 'Z') continue;
            std::vector<std::string> parts;
            std::stringstream ss(l->value);
            std::string part;
            while (std::getline(ss, part, ',')) parts.push_back(Trim(part));
            Drive drive;
            drive.letter = letter[0];
            std::string kind = parts.size() > 0 ? parts[0] : "fixed";
            if (EqualNoCase(kind, "cdrom")) drive.kind = DriveKind::CdRom;
            else if (EqualNoCase(kind, "removable")) drive.kind = DriveKind::Removable;
            else if (EqualNoCase(kind, "remote")) drive.kind = DriveKind::Remote;
            else if (EqualNoCase(kind, "ramdisk")) drive.kind = DriveKind::RamDisk;
            std::string host = parts.size() > 1 && !parts[1].empty()
                                   ? parts[1]
                                   : std::string("drive_") + static_cast<char>(letter[0] + 32);
            // Host folders are relative to the machine folder, so a machine can be copied.
            drive.hostPath = host[0] == '/' ? host : folder_ + "/" + host;
            drive.freeMb = parts.size() > 2 ? Number(parts[2], 0) : 0;
            drives_[drive.letter] = drive;
        }
    }
    for (const auto& [key, value] : ini.Lines("Ports")) {
        if (!key.empty()) ports_.push_back(key);
    }
    for (const auto& [key, value] : ini.Lines("Printers")) {
        std::string driver, port;
        SplitLast(value, driver, port);
        if (!key.empty()) printers_.push_back(PrinterSeed{key, driver, port});
    }
    for (const auto& [key, value] : ini.Lines("Drivers")) {
        if (!key.empty()) drivers_.push_back(key);
    }
    for (const auto& [key, value] : ini.Lines("Services")) {
        if (key.empty()) continue;
        ServiceSeed svc;
        svc.name = key;
        std::stringstream ss(value);
        std::string part;
        for (int i = 0; std::getline(ss, part, ','); ++i) {
            part = Trim(part);
            if (i == 0) svc.state = EqualNoCase(part, "running") ? 4u : 1u;
            else if (EqualNoCase(part, "hang")) svc.hangs = true;
            else if (EqualNoCase(part, "disabled")) svc.disabled = true;
            else svc.transitionMs = Number(part, 0);
        }
        services_.push_back(svc);
    }
    for (const auto& [key, value] : ini.Lines("Devices")) {
        Device device;
        device.port = key;
        SplitLast(value, device.deviceId, device.vidPid);
        if (!key.empty()) devices_.push_back(device);
    }
    for (const auto& [key, value] : ini.Lines("MissingFunctions")) {
        if (!key.empty() && Number(value, 1) != 0) missing_.push_back(key);
    }

    if (drives_.find('C') == drives_.end()) {
        if (error) *error = "machine.ini names no drive C";
        return os::kErrInvalidData;
    }

    bool fresh = ::access((folder_ + "/registry.db").c_str(), F_OK) != 0;
    uint32_t rc = registry_.Open(folder_ + "/registry.db");
    if (rc != 0) {
        if (error) *error = "cannot open " + folder_ + "/registry.db";
        return rc;
    }
    if (!fresh) return 0;
    rc = Seed(error);
    SeedRegistryFaults(registry_, ini.list());
    return rc;
}

uint32_t Machine::Seed(std::string* error) {
    for (auto& [letter, drive] : drives_)
        if (!drive.ReadOnly()) MakeHostDirs(drive.hostPath);
    // The folders every Windows has.
    for (const std::string* dir : {&dirs_.windows, &dirs_.system, &dirs_.temp, &dirs_.programFiles,
                                   &dirs_.programFilesX86}) {
        std::string host;
        if (!dir->empty() && ToHostPath(*dir, "C:\\", host) == 0) MakeHostDirs(host);
    }
    EnsureSpoolerAndServices();
    const std::string cv = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    uint32_t rc = registry_.SetString(cv, "ProgramFilesDir", dirs_.programFiles);
    registry_.SetString(cv, "CommonFilesDir", dirs_.programFiles + "\\Common Files");
    // Only in the 64-bit registry of a 64-bit machine, as on Windows.
    registry_.SetString(cv + "\\Setup", "SourcePath", dirs_.sourcePath);
    char number[64];
    if (version_.platformId == 2) {
        const std::string nt = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
        std::snprintf(number, sizeof number, "%u.%u", version_.majorVersion, version_.minorVersion);
        registry_.SetString(nt, "CurrentVersion", number);
        std::snprintf(number, sizeof number, "%u", version_.buildNumber);
        registry_.SetString(nt, "CurrentBuildNumber", number);
        if (!version_.csdVersion.empty()) registry_.SetString(nt, "CSDVersion", version_.csdVersion);
        registry_.SetString(nt, "SystemRoot", dirs_.windows);
    } else {
        std::snprintf(number, sizeof number, "%u.%02u.%u", version_.majorVersion,
                      version_.minorVersion, version_.buildNumber & 0xFFFF);
        registry_.SetString(cv, "VersionNumber", number);
        registry_.SetString(cv, "SystemRoot", dirs_.windows);
    }
    if (is64_) {
        const std::string wow = "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion";
        registry_.SetString(wow, "ProgramFilesDir", dirs_.programFilesX86);
        registry_.SetString(cv, "ProgramFilesDir (x86)", dirs_.programFilesX86);
    }
    if (rc != 0 && error) *error = "cannot seed the registry";
    return rc;
}

bool Machine::ExtendedVersionSupported() const {
    // The extended record came with NT 4 SP6; Windows 9x never had it.
    if (version_.platformId != 2) return false;
    return version_.majorVersion >= 5 ||
           (version_.majorVersion == 4 && version_.servicePackMajor >= 6);
}

bool Machine::FixedTime(os::LocalTime* time) const {
    if (!hasFixedTime_) return false;
    *time = fixedTime_;
    return true;
}

void Machine::Mount(char letter, DriveKind kind, const std::string& hostPath, uint64_t freeMb) {
    Drive d;
    d.letter = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter);
    d.kind = kind;
    d.hostPath = hostPath;
    d.freeMb = freeMb;
    drives_[d.letter] = d;
}

uint32_t Machine::ToHostPath(const std::string& winPath, const std::string& relativeTo,
                             std::string& hostPath, const Drive** driveOut) const {
    std::string p = winPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    if (p.empty()) return os::kErrPathNotFound;
    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') return 53;  // network path not found
    std::string base = relativeTo;
    for (char& c : base)
        if (c == '/') c = '\\';
    char letter;
    std::string rest;
    if (p.size() >= 2 && p[1] == ':') {
        letter = p[0];
        rest = p.substr(2);
        if (rest.empty() || rest[0] != '\\') {
            // Drive-relative: against the current directory when it is on that drive.
            bool sameDrive = base.size() >= 2 && base[1] == ':' &&
                             (base[0] | 32) == (letter | 32);
            rest = (sameDrive ? base.substr(2) : std::string()) + "\\" + rest;
        }
    } else {
        if (base.size() < 2 || base[1] != ':') return os::kErrPathNotFound;
        letter = base[0];
        rest = p[0] == '\\' ? p : base.substr(2) + "\\" + p;
    }
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
    auto it = drives_.find(letter);
    if (it == drives_.end()) return os::kErrPathNotFound;

    std::vector<std::string> parts;
    std::stringstream ss(rest);
    std::string comp;
    while (std::getline(ss, comp, '\\')) {
        if (comp.empty() || comp == ".") continue;
        if (comp == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        for (unsigned char c : comp)
            if (BadNameChar(c)) return os::kErrInvalidName;
        // Windows drops trailing dots and blanks of a name.
        while (!comp.empty() && (comp.back() == '.' || comp.back() == ' ')) comp.pop_back();
        if (comp.empty()) continue;
        parts.push_back(comp);
    }

    std::string host = it->second.hostPath;
    bool exists = true;
    for (const std::string& part : parts) {
        std::string exact = host + "/" + part;
        if (exists) {
            struct stat st {};
            if (::lstat(exact.c_str(), &st) == 0) {
                host = exact;
                continue;
            }
            std::string match;
            if (DIR* d = ::opendir(host.c_str())) {
                while (dirent* e = ::readdir(d)) {
                    if (EqualNoCase(part, e->d_name)) {
                        match = e->d_name;
                        break;
                    }
                }
                ::closedir(d);
            }
            if (!match.empty()) {
                host += "/" + match;
                continue;
            }
            exists = false;
        }
        host = exact;
    }
    hostPath = host;
    if (driveOut) *driveOut = &it->second;
    return 0;
}

void Machine::Journal(const std::string& line) {
    std::string path = folder_ + "/journal.log";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0) return;
    std::string text = line + "\n";
    ssize_t n = ::write(fd, text.data(), text.size());
    (void)n;
    ::close(fd);
}

}  // namespace sim

// --- system objects in the store ---------------------------------------------

namespace sim {
namespace {

std::string FoldName(const std::string& s) {
    std::string f = s;
    for (char& c : f)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return f;
}

struct Stmt {
    Stmt(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s, nullptr); }
    ~Stmt() { sqlite3_finalize(s); }
    Stmt& Bind(int i, int64_t v) {
        sqlite3_bind_int64(s, i, v);
        return *this;
    }
    Stmt& Bind(int i, const std::string& v) {
        sqlite3_bind_text(s, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    bool Step() { return s && sqlite3_step(s) == SQLITE_ROW; }
    int64_t Int(int c) { return sqlite3_column_int64(s, c); }
    sqlite3_stmt* s = nullptr;
};

}  // namespace

void Machine::EnsureSystemTables() {
    static const char* kSchema =
        "CREATE TABLE IF NOT EXISTS sys_mutex(id INTEGER PRIMARY KEY, fold TEXT, pid INTEGER,"
        " start INTEGER);"
        "CREATE TABLE IF NOT EXISTS sys_window(id INTEGER PRIMARY KEY, class TEXT, caption TEXT,"
        " pid INTEGER, start INTEGER);"
        "CREATE TABLE IF NOT EXISTS sys_posted(seq INTEGER PRIMARY KEY, window INTEGER,"
        " pid INTEGER, msg INTEGER, wparam INTEGER, lparam INTEGER);";
    if (registry_.db()) sqlite3_exec(registry_.db(), kSchema, nullptr, nullptr, nullptr);
}

int64_t Machine::OpenMutex(const std::string& name, bool* existed) {
    EnsureSystemTables();
    sqlite3* db = registry_.db();
    const std::string& fold = name;  // object names are case-sensitive
    bool found = false;
    {
        Stmt q(db, "SELECT id, pid, start FROM sys_mutex WHERE fold = ?");
        q.Bind(1, fold);
        std::vector<int64_t> dead;
        while (q.Step()) {
            HostIdentity who{q.Int(1), q.Int(2)};
            if (IsAlive(who)) found = true;
            else dead.push_back(q.Int(0));
        }
        for (int64_t id : dead) Stmt(db, "DELETE FROM sys_mutex WHERE id = ?").Bind(1, id).Step();
    }
    HostIdentity self = SelfIdentity();
    Stmt ins(db, "INSERT INTO sys_mutex(fold, pid, start) VALUES(?, ?, ?)");
    ins.Bind(1, fold).Bind(2, self.pid).Bind(3, self.start).Step();
    if (existed) *existed = found;
    return sqlite3_last_insert_rowid(db);
}

void Machine::CloseMutex(int64_t id) {
    Stmt(registry_.db(), "DELETE FROM sys_mutex WHERE id = ?").Bind(1, id).Step();
}

int64_t Machine::RegisterWindow(const std::string& className, const std::string& caption) {
    EnsureSystemTables();
    HostIdentity self = SelfIdentity();
    Stmt ins(registry_.db(),
             "INSERT INTO sys_window(class, caption, pid, start) VALUES(?, ?, ?, ?)");
    ins.Bind(1, FoldName(className)).Bind(2, caption).Bind(3, self.pid).Bind(4, self.start).Step();
    return sqlite3_last_insert_rowid(registry_.db());
}

void Machine::UnregisterWindow(int64_t id) {
    Stmt(registry_.db(), "DELETE FROM sys_window WHERE id = ?").Bind(1, id).Step();
    Stmt(registry_.db(), "DELETE FROM sys_posted WHERE window = ?").Bind(1, id).Step();
}

int64_t Machine::FindWindow(const std::string& className, HostIdentity* owner) {
    EnsureSystemTables();
    Stmt q(registry_.db(), "SELECT id, pid, start FROM sys_window WHERE class = ? ORDER BY id DESC");
    q.Bind(1, FoldName(className));
    while (q.Step()) {
        HostIdentity who{q.Int(1), q.Int(2)};
        if (IsAlive(who)) {
            if (owner) *owner = who;
            return q.Int(0);
        }
    }
    return 0;
}

bool Machine::WindowAlive(int64_t id) {
    EnsureSystemTables();
    Stmt q(registry_.db(), "SELECT pid, start FROM sys_window WHERE id = ?");
    q.Bind(1, id);
    return q.Step() && IsAlive(HostIdentity{q.Int(0), q.Int(1)});
}

bool Machine::PostToWindow(int64_t id, uint32_t msg, uint64_t wParam, int64_t lParam) {
    if (!WindowAlive(id)) return false;
    Stmt q(registry_.db(), "SELECT pid FROM sys_window WHERE id = ?");
    q.Bind(1, id);
    int64_t pid = q.Step() ? q.Int(0) : 0;
    Stmt ins(registry_.db(),
             "INSERT INTO sys_posted(window, pid, msg, wparam, lparam) VALUES(?, ?, ?, ?, ?)");
    ins.Bind(1, id).Bind(2, pid).Bind(3, msg).Bind(4, static_cast<int64_t>(wParam)).Bind(5, lParam);
    return sqlite3_step(ins.s) == SQLITE_DONE;
}

std::vector<Machine::PostedMessage> Machine::TakePostedMessages() {
    EnsureSystemTables();
    std::vector<PostedMessage> out;
    HostIdentity self = SelfIdentity();
    Stmt q(registry_.db(), "SELECT seq, window, msg, wparam, lparam FROM sys_posted WHERE pid = ?"
                           " ORDER BY seq");
    q.Bind(1, self.pid);
    int64_t last = 0;
    while (q.Step()) {
        last = q.Int(0);
        out.push_back(PostedMessage{q.Int(1), static_cast<uint32_t>(q.Int(2)),
                                    static_cast<uint64_t>(q.Int(3)), q.Int(4)});
    }
    if (last) Stmt(registry_.db(), "DELETE FROM sys_posted WHERE pid = ? AND seq <= ?")
                  .Bind(1, self.pid).Bind(2, last).Step();
    return out;
}

}  // namespace sim

// --- time, Plug-and-Play, missing functions ------------------------------------

namespace sim {

bool Machine::FunctionMissing(const std::string& name) const {
    for (const std::string& m : missing_)
        if (EqualNoCase(m, name.c_str())) return true;
    return false;
}

uint64_t Machine::ClockMs() const {
    // Wall time at the opening keeps pending service changes of an earlier
    // process in the past for a later one.
    static const uint64_t wallAtStart = HostWallMs();
    static const uint64_t monoAtStart = HostMonotonicMs();
    return wallAtStart + (HostMonotonicMs() - monoAtStart) + advancedMs_.load();
}

void Machine::AdvanceClock(uint64_t ms) { advancedMs_ += ms; }

uint32_t Machine::WaitPnP(uint32_t timeoutMs) {
    uint64_t now = ClockMs();
    if (now >= pnpReadyAtMs_) return 0;
    uint64_t left = pnpReadyAtMs_ - now;
    if (left <= timeoutMs) {
        AdvanceClock(left);
        return 0;
    }
    AdvanceClock(timeoutMs);
    return os::kErrWaitTimeout;
}

// --- spooler and services in the store ---------------------------------------

void Machine::EnsureSpoolerAndServices() {
    if (spoolerReady_) return;
    sqlite3* db = registry_.db();
    if (!db) return;
    static const char* kSchema =
        "CREATE TABLE IF NOT EXISTS sys_seeded(what TEXT PRIMARY KEY);"
        "CREATE TABLE IF NOT EXISTS spool_port(seq INTEGER PRIMARY KEY, name TEXT,"
        " fold TEXT UNIQUE);"
        "CREATE TABLE IF NOT EXISTS spool_printer(seq INTEGER PRIMARY KEY, name TEXT,"
        " fold TEXT UNIQUE, driver TEXT, port TEXT);"
        "CREATE TABLE IF NOT EXISTS spool_driver(seq INTEGER PRIMARY KEY, name TEXT,"
        " fold TEXT UNIQUE);"
        "CREATE TABLE IF NOT EXISTS sys_service(fold TEXT PRIMARY KEY, name TEXT, state INTEGER,"
        " transition INTEGER, hangs INTEGER, disabled INTEGER, since INTEGER, due INTEGER,"
        " target INTEGER);";
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return;
    bool ok = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) == SQLITE_OK;
    // Seeded once per store, also into a store made before these tables.
    if (ok && !Stmt(db, "SELECT 1 FROM sys_seeded WHERE what = 'spooler'").Step()) {
        for (const std::string& p : ports_)
            Stmt(db, "INSERT OR IGNORE INTO spool_port(name, fold) VALUES(?, ?)")
                .Bind(1, p).Bind(2, FoldName(p)).Step();
        for (const PrinterSeed& p : printers_)
            Stmt(db, "INSERT OR IGNORE INTO spool_printer(name, fold, driver, port)"
                     " VALUES(?, ?, ?, ?)")
                .Bind(1, p.name).Bind(2, FoldName(p.name)).Bind(3, p.driver).Bind(4, p.port).Step();
        for (const std::string& d : drivers_)
            Stmt(db, "INSERT OR IGNORE INTO spool_driver(name, fold) VALUES(?, ?)")
                .Bind(1, d).Bind(2, FoldName(d)).Step();
        for (const ServiceSeed& v : services_)
            Stmt(db, "INSERT OR IGNORE INTO sys_service(fold, name, state, transition, hangs,"
                     " disabled, since, due, target) VALUES(?, ?, ?, ?, ?, ?, 0, 0, ?)")
                .Bind(1, FoldName(v.name)).Bind(2, v.name).Bind(3, v.state)
                .Bind(4, v.transitionMs).Bind(5, v.hangs ? 1 : 0).Bind(6, v.disabled ? 1 : 0)
                .Bind(7, v.state).Step();
        Stmt(db, "INSERT INTO sys_seeded(what) VALUES('spooler')").Step();
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    spoolerReady_ = ok;
}

namespace {

std::string Text(Stmt& q, int c) {
    const unsigned char* t = sqlite3_column_text(q.s, c);
    return t ? reinterpret_cast<const char*>(t) : "";
}

}  // namespace

std::vector<std::string> Machine::Ports() {
    EnsureSpoolerAndServices();
    std::vector<std::string> out;
    Stmt q(registry_.db(), "SELECT name FROM spool_port ORDER BY seq");
    while (q.Step()) out.push_back(Text(q, 0));
    return out;
}

std::vector<PrinterSeed> Machine::Printers() {
    EnsureSpoolerAndServices();
    std::vector<PrinterSeed> out;
    Stmt q(registry_.db(), "SELECT name, driver, port FROM spool_printer ORDER BY seq");
    while (q.Step()) out.push_back(PrinterSeed{Text(q, 0), Text(q, 1), Text(q, 2)});
    return out;
}

std::vector<std::string> Machine::Drivers() {
    EnsureSpoolerAndServices();
    std::vector<std::string> out;
    Stmt q(registry_.db(), "SELECT name FROM spool_driver ORDER BY seq");
    while (q.Step()) out.push_back(Text(q, 0));
    return out;
}

namespace {

struct ServiceRow {
    std::string name;
    uint32_t state = 0, target = 0, transition = 0;
    bool hangs = false, disabled = false;
    int64_t since = 0, due = 0;
};

bool ReadService(sqlite3* db, const std::string& fold, ServiceRow& row) {
    Stmt q(db, "SELECT name, state, transition, hangs, disabled, since, due, target"
               " FROM sys_service WHERE fold = ?");
    q.Bind(1, fold);
    if (!q.Step()) return false;
    row.name = Text(q, 0);
    row.state = static_cast<uint32_t>(q.Int(1));
    row.transition = static_cast<uint32_t>(q.Int(2));
    row.hangs = q.Int(3) != 0;
    row.disabled = q.Int(4) != 0;
    row.since = q.Int(5);
    row.due = q.Int(6);
    row.target = static_cast<uint32_t>(q.Int(7));
    return true;
}

void WriteServiceState(sqlite3* db, const std::string& fold, uint32_t state, uint32_t target,
                       int64_t since, int64_t due) {
    Stmt(db, "UPDATE sys_service SET state = ?, target = ?, since = ?, due = ? WHERE fold = ?")
        .Bind(1, state).Bind(2, target).Bind(3, since).Bind(4, due).Bind(5, fold).Step();
}

bool Pending(uint32_t state) {
    return state == os::kServiceStartPending || state == os::kServiceStopPending;
}

}  // namespace

uint32_t Machine::QueryService(const std::string& name, os::ServiceStatus* status) {
    EnsureSpoolerAndServices();
    sqlite3* db = registry_.db();
    const std::string fold = FoldName(name);
    ServiceRow row;
    if (!ReadService(db, fold, row)) return os::kErrServiceDoesNotExist;
    os::ServiceStatus st;
    const int64_t now = static_cast<int64_t>(ClockMs());
    if (Pending(row.state) && !row.hangs && now >= row.due) {
        // The change finished since the last look.
        WriteServiceState(db, fold, row.target, row.target, 0, 0);
        Journal(std::string(row.target == os::kServiceRunning ? "service started: "
                                                              : "service stopped: ") +
                row.name);
        row.state = row.target;
    }
    st.state = row.state;
    if (Pending(row.state)) {
        // A service reports progress about every quarter second; one that
        // hangs never gets past its first checkpoint.
        st.checkPoint = row.hangs ? 1u : 1u + static_cast<uint32_t>((now - row.since) / 250);
        st.waitHintMs = row.transition;
    }
    if (status) *status = st;
    return 0;
}

uint32_t Machine::StartService(const std::string& name) {
    return ServiceTransition(name, true, nullptr);
}

uint32_t Machine::StopService(const std::string& name, os::ServiceStatus* status) {
    return ServiceTransition(name, false, status);
}

uint32_t Machine::ServiceTransition(const std::string& name, bool start,
                                    os::ServiceStatus* status) {
    os::ServiceStatus now;
    uint32_t rc = QueryService(name, &now);
    if (rc) return rc;
    sqlite3* db = registry_.db();
    const std::string fold = FoldName(name);
    ServiceRow row;
    ReadService(db, fold, row);
    if (start) {
        if (row.disabled) return os::kErrServiceDisabled;
        if (row.state != os::kServiceStopped) return os::kErrServiceAlreadyRunning;
    } else {
        if (row.state == os::kServiceStopped) return os::kErrServiceNotActive;
        if (Pending(row.state)) return os::kErrServiceCannotAcceptControl;
    }
    const uint32_t target = start ? os::kServiceRunning : os::kServiceStopped;
    const uint32_t pending = start ? os::kServiceStartPending : os::kServiceStopPending;
    if (row.transition == 0 && !row.hangs) {
        WriteServiceState(db, fold, target, target, 0, 0);
        Journal(std::string(start ? "service started: " : "service stopped: ") + row.name);
    } else {
        const int64_t t = static_cast<int64_t>(ClockMs());
        WriteServiceState(db, fold, pending, target, t, t + row.transition);
    }
    return QueryService(name, status);
}

}  // namespace sim
