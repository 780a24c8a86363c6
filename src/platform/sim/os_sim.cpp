// os.h on the simulated machine of the current simulated process.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <string_view>

#include "platform/os.h"
#include "platform/sim/machine.h"

namespace os {
namespace {

struct SimHandle {
    enum Kind { File, Mutex } kind;
    int fd = -1;
    int64_t mutexId = 0;
};

sim::Process* Proc() { return sim::ActiveProcess(); }

uint32_t Host(const char* path, std::string& host, const sim::Drive** drive = nullptr) {
    return sim::HostPathOf(path, host, drive);
}

bool ParentExists(const std::string& host) { return sim::HostParentExists(host); }

uint32_t LastError(const std::string& host) {
    int err = errno;
    return sim::ErrnoToWin(err, err == ENOENT && !ParentExists(host));
}

}  // namespace

std::string CommandLine() {
    sim::Process* p = Proc();
    return p ? p->commandLine : std::string();
}

uint32_t ExecutablePath(std::string& path) {
    sim::Process* p = Proc();
    if (!p) return kErrInvalidHandle;
    path = p->exePath;
    return 0;
}

uint32_t TempDirectory(std::string& path) {
    sim::Process* p = Proc();
    if (!p) return kErrInvalidHandle;
    path = p->machine->directories().temp;
    return 0;
}

uint32_t CurrentDirectory(std::string& path) {
    sim::Process* p = Proc();
    if (!p) return kErrInvalidHandle;
    path = p->currentDir;
    return 0;
}

uint32_t ChangeDirectory(const char* path) {
    std::string host;
    uint32_t rc = Host(path, host);
    if (rc) return rc;
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return LastError(host);
    if (!S_ISDIR(st.st_mode)) return 267;  // the directory name is invalid
    // Keep the Windows spelling, made absolute.
    sim::Process* p = Proc();
    std::string dir = path;
    for (char& c : dir)
        if (c == '/') c = '\\';
    if (!(dir.size() >= 2 && dir[1] == ':')) {
        std::string base = p->currentDir;
        if (!base.empty() && base.back() != '\\') base += '\\';
        dir = dir[0] == '\\' ? base.substr(0, 2) + dir : base + dir;
    }
    p->currentDir = dir;
    return 0;
}

uint32_t ReadWholeFile(const char* path, std::string& data) {
    std::string host;
    uint32_t rc = Host(path, host);
    if (rc) return rc;
    int fd = ::open(host.c_str(), O_RDONLY);
    if (fd < 0) return LastError(host);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return kErrAccessDenied;
    }
    std::string buf;
    buf.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < buf.size()) {
        ssize_t n = ::read(fd, &buf[got], buf.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            uint32_t e = sim::ErrnoToWin(errno);
            ::close(fd);
            return e;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    buf.resize(got);
    data.swap(buf);
    return 0;
}

uint32_t CreateNewFile(const char* path, Handle* file) {
    if (file) *file = nullptr;
    if (!file) return kErrInvalidParameter;
    std::string host;
    const sim::Drive* drive = nullptr;
    uint32_t rc = Host(path, host, &drive);
    if (rc) return rc;
    if (drive && drive->ReadOnly()) {
        struct stat st {};
        return ::stat(host.c_str(), &st) == 0 ? kErrFileExists : kErrWriteProtect;
    }
    int fd = ::open(host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return LastError(host);
    *file = new SimHandle{SimHandle::File, fd, 0};
    return 0;
}

uint32_t WriteFile(Handle file, const void* data, size_t size, size_t* written) {
    if (written) *written = 0;
    auto* h = static_cast<SimHandle*>(file);
    if (!h || h->kind != SimHandle::File) return kErrInvalidHandle;
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(h->fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (written) *written = done;
            return sim::ErrnoToWin(errno);
        }
        done += static_cast<size_t>(n);
    }
    if (written) *written = done;
    return 0;
}

uint32_t TruncateHere(Handle file) {
    auto* h = static_cast<SimHandle*>(file);
    if (!h || h->kind != SimHandle::File) return kErrInvalidHandle;
    off_t pos = ::lseek(h->fd, 0, SEEK_CUR);
    if (pos < 0 || ::ftruncate(h->fd, pos) != 0) return sim::ErrnoToWin(errno);
    return 0;
}

void CloseHandle(Handle handle) {
    auto* h = static_cast<SimHandle*>(handle);
    if (!h) return;
    if (h->kind == SimHandle::File && h->fd >= 0) ::close(h->fd);
    if (h->kind == SimHandle::Mutex) {
        if (sim::Process* p = Proc()) p->machine->CloseMutex(h->mutexId);
    }
    delete h;
}

bool FileExists(const char* path) {
    std::string host;
    struct stat st {};
    return Host(path, host) == 0 && ::stat(host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool CanReadFile(const char* path) {
    std::string host;
    if (Host(path, host) != 0) return false;
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    int fd = ::open(host.c_str(), O_RDONLY);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool DirectoryExists(const char* path) {
    std::string host;
    struct stat st {};
    return Host(path, host) == 0 && ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

uint32_t MakeDirectory(const char* path) {
    std::string host;
    const sim::Drive* drive = nullptr;
    uint32_t rc = Host(path, host, &drive);
    if (rc) return rc;
    struct stat st {};
    if (::stat(host.c_str(), &st) == 0) return kErrAlreadyExists;
    if (drive && drive->ReadOnly()) return kErrWriteProtect;
    if (::mkdir(host.c_str(), 0755) != 0) {
        int err = errno;
        if (err == EEXIST) return kErrAlreadyExists;
        return sim::ErrnoToWin(err, err == ENOENT);
    }
    return 0;
}

namespace {

// The INI writer's view of a file: lines as Windows' profile functions see
// them (blanks around names trimmed, names compared without case).

std::string_view IniTrim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

bool IniEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

// Where a section and one of its keys sit in the file text.
struct IniPlace {
    bool section = false;
    size_t headerEnd = 0;  // after the section's header line
    size_t bodyEnd = 0;    // after the section's last non-blank line
    bool key = false;
    size_t keyBegin = 0, keyEnd = 0;  // the key line without its line break
    bool endsInBreak = true;          // bodyEnd is after a line break
};

IniPlace FindIniPlace(const std::string& data, std::string_view section,
                      std::string_view key) {
    IniPlace place;
    bool inside = false;
    size_t pos = 0;
    while (pos < data.size()) {
        size_t nl = data.find('\n', pos);
        size_t next = nl == std::string::npos ? data.size() : nl + 1;
        size_t end = nl == std::string::npos ? data.size() : nl;
        if (end > pos && data[end - 1] == '\r') --end;
        std::string_view line = IniTrim(std::string_view(data).substr(pos, end - pos));
        if (!line.empty() && line[0] == '[') {
            if (place.section) break;  // the section's body ends here
            size_t close = line.find(']');
            std::string_view name =
                IniTrim(line.substr(1, close == std::string_view::npos ? std::string_view::npos
                                                                       : close - 1));
            if (IniEqual(name, section)) {
                inside = place.section = true;
                place.headerEnd = place.bodyEnd = next;
                place.endsInBreak = nl != std::string::npos;
            }
        } else if (inside && !line.empty()) {
            place.bodyEnd = next;
            place.endsInBreak = nl != std::string::npos;
            size_t eq = line.find('=');
            if (!place.key && !key.empty() && line[0] != ';' && eq != std::string_view::npos &&
                IniEqual(IniTrim(line.substr(0, eq)), key)) {
                place.key = true;
                place.keyBegin = pos;
                place.keyEnd = end;
            }
        }
        pos = next;
    }
    return place;
}

// The file's text for an edit; a missing file is empty text.
uint32_t ReadIniForWrite(const char* file, std::string& host, std::string& data) {
    const sim::Drive* drive = nullptr;
    uint32_t rc = Host(file, host, &drive);
    if (rc) return rc;
    if (drive && drive->ReadOnly()) return kErrWriteProtect;
    data.clear();
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) {
        if (errno == ENOENT && ParentExists(host)) return 0;
        return LastError(host);
    }
    if (S_ISDIR(st.st_mode)) return kErrAccessDenied;
    return ReadWholeFile(file, data);
}

uint32_t WriteIni(const std::string& host, const std::string& data) {
    int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return LastError(host);
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            uint32_t e = sim::ErrnoToWin(errno);
            ::close(fd);
            return e;
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return 0;
}

}  // namespace

size_t ReadProfileString(const char* section, const char* key, const char* defaultValue,
                         std::string& value, size_t size, const char* file) {
    value = defaultValue ? defaultValue : "";
    std::string data;
    if (section && key && file && *file && ReadWholeFile(file, data) == 0) {
        IniPlace place = FindIniPlace(data, section, key);
        if (place.key) {
            std::string_view line(data.data() + place.keyBegin, place.keyEnd - place.keyBegin);
            std::string_view v = IniTrim(line.substr(line.find('=') + 1));
            if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') ||
                                  (v.front() == '\'' && v.back() == '\'')))
                v = v.substr(1, v.size() - 2);
            value.assign(v.data(), v.size());
        }
    }
    if (size == 0) {
        value.clear();
        return 0;
    }
    if (value.size() > size - 1) value.resize(size - 1);
    return value.size();
}

uint32_t WriteProfileString(const char* section, const char* key, const char* value,
                            const char* file) {
    if (!section || !key || !value) return kErrInvalidParameter;
    std::string host, data;
    uint32_t rc = ReadIniForWrite(file, host, data);
    if (rc) return rc;
    const std::string line = std::string(key) + "=" + value;
    IniPlace place = FindIniPlace(data, IniTrim(section), IniTrim(key));
    if (place.key) {
        data.replace(place.keyBegin, place.keyEnd - place.keyBegin, line);
    } else if (place.section) {
        data.insert(place.bodyEnd, (place.endsInBreak ? "" : "\r\n") + line + "\r\n");
    } else {
        if (!data.empty() && data.back() != '\n') data += "\r\n";
        data += "[" + std::string(IniTrim(section)) + "]\r\n" + line + "\r\n";
    }
    return WriteIni(host, data);
}

uint32_t WriteProfileSection(const char* section, const char* keys, const char* file) {
    if (!section) return kErrInvalidParameter;
    std::string host, data;
    uint32_t rc = ReadIniForWrite(file, host, data);
    if (rc) return rc;
    std::string body;
    for (const char* k = keys; k && *k; k += std::strlen(k) + 1) {
        body += k;
        body += "\r\n";
    }
    IniPlace place = FindIniPlace(data, IniTrim(section), std::string_view());
    if (place.section) {
        // A header on the file's last line has no line break yet.
        if (place.headerEnd == data.size() && data.back() != '\n' && !body.empty())
            body = "\r\n" + body;
        data.replace(place.headerEnd, place.bodyEnd - place.headerEnd, body);
    } else {
        if (!data.empty() && data.back() != '\n') data += "\r\n";
        data += "[" + std::string(IniTrim(section)) + "]\r\n" + body;
    }
    return WriteIni(host, data);
}

void GetLocalTime(LocalTime* time) {
    if (!time) return;
    sim::Process* p = Proc();
    if (p && p->machine->FixedTime(time)) return;
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    ::localtime_r(&ts.tv_sec, &tm);
    time->year = static_cast<uint16_t>(tm.tm_year + 1900);
    time->month = static_cast<uint16_t>(tm.tm_mon + 1);
    time->dayOfWeek = static_cast<uint16_t>(tm.tm_wday);
    time->day = static_cast<uint16_t>(tm.tm_mday);
    time->hour = static_cast<uint16_t>(tm.tm_hour);
    time->minute = static_cast<uint16_t>(tm.tm_min);
    time->second = static_cast<uint16_t>(tm.tm_sec);
    time->milliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
}

bool GetVersionInfo(VersionInfo* info, bool extended) {
    sim::Process* p = Proc();
    if (!info || !p) return false;
    const VersionInfo& v = p->machine->version();
    *info = VersionInfo();
    info->majorVersion = v.majorVersion;
    info->minorVersion = v.minorVersion;
    // Windows 9x keeps the version in the build number's high word.
    info->buildNumber = v.platformId == 1
                            ? (v.majorVersion << 24) | (v.minorVersion << 16) | (v.buildNumber & 0xFFFF)
                            : v.buildNumber;
    info->platformId = v.platformId;
    info->csdVersion = v.csdVersion;
    if (extended) {
        if (!p->machine->ExtendedVersionSupported()) return false;
        info->servicePackMajor = v.servicePackMajor;
        info->servicePackMinor = v.servicePackMinor;
        info->suiteMask = v.suiteMask;
        info->productType = v.productType;
    }
    return true;
}

std::string ErrorText(uint32_t code) {
    // The texts of an English Windows.
    static const std::map<uint32_t, const char*> kTexts = {
        {0, "The operation completed successfully."},
        {1, "Incorrect function."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {4, "The system cannot open the file."},
        {5, "Access is denied."},
        {6, "The handle is invalid."},
        {8, "Not enough storage is available to process this command."},
        {13, "The data is invalid."},
        {14, "Not enough storage is available to complete this operation."},
        {15, "The system cannot find the drive specified."},
        {19, "The media is write protected."},
        {21, "The device is not ready."},
        {31, "A device attached to the system is not functioning."},
        {32, "The process cannot access the file because it is being used by another process."},
        {38, "Reached the end of the file."},
        {50, "The request is not supported."},
        {53, "The network path was not found."},
        {80, "The file exists."},
        {87, "The parameter is incorrect."},
        {112, "There is not enough space on the disk."},
        {120, "This function is not supported on this system."},
        {122, "The data area passed to a system call is too small."},
        {123, "The filename, directory name, or volume label syntax is incorrect."},
        {126, "The specified module could not be found."},
        {127, "The specified procedure could not be found."},
        {145, "The directory is not empty."},
        {183, "Cannot create a file when that file already exists."},
        {206, "The filename or extension is too long."},
        {234, "More data is available."},
        {259, "No more data is available."},
        {267, "The directory name is invalid."},
        {1222, "The network is not present or not started."},
        {1223, "The operation was canceled by the user."},
        {1410, "Class already exists."},
        {1411, "Class does not exist."},
        {1796, "The specified port is unknown."},
        {1797, "The printer driver is unknown."},
        {1801, "The printer name is invalid."},
        {1802, "The printer already exists."},
    };
    auto it = kTexts.find(code);
    if (it == kTexts.end()) return std::string();
    return std::string(it->second) + "\r\n";
}

uint32_t CreateNamedMutex(const char* name, Handle* mutex) {
    if (mutex) *mutex = nullptr;
    sim::Process* p = Proc();
    if (!mutex || !p) return kErrInvalidParameter;
    if (!name || !*name) {  // an unnamed mutex is private to the process
        *mutex = new SimHandle{SimHandle::Mutex, -1, 0};
        return 0;
    }
    if (std::string(name).find('\\') != std::string::npos &&
        std::string(name).rfind("Global\\", 0) != 0 && std::string(name).rfind("Local\\", 0) != 0)
        return kErrPathNotFound;  // the object namespace has no such folder
    bool existed = false;
    int64_t id = p->machine->OpenMutex(name, &existed);
    *mutex = new SimHandle{SimHandle::Mutex, -1, id};
    return existed ? static_cast<uint32_t>(kErrAlreadyExists) : 0u;
}

uint32_t AnsiCodePage() {
    sim::Process* p = Proc();
    return p ? p->machine->codePage() : 1252;
}

}  // namespace os
