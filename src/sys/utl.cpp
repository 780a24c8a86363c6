#include "sys/utl.h"

#include <cstring>
#include <vector>

#include "app/installer_app.h"
#include "profile/profile.h"

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool EqualNoCase(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

// strtok's view of a list: the tokens between runs of delimiters.
std::vector<std::string> Tokens(const char* list, const char* delimiters) {
    std::vector<std::string> tokens;
    const char* p = list;
    while (*p) {
        p += std::strspn(p, delimiters);
        if (!*p) break;
        size_t n = std::strcspn(p, delimiters);
        tokens.emplace_back(p, n);
        p += n;
    }
    return tokens;
}

std::string TrimBlanks(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The path without its last component; empty when nothing is left to cut
// or the rest is a drive ("C:"), which is never removed.
bool CutToParent(std::string& path) {
    size_t slash = path.rfind('\\');
    if (slash == std::string::npos || slash == 0) return false;
    path.resize(slash);
    return !path.empty() && path.back() != ':';
}

// A whole value, raw bytes and type; false when it cannot be read.
bool ReadValue(os::RegKey key, const char* name, uint32_t* type, std::string* data) {
    uint32_t size = 0;
    if (os::QueryRegValue(key, name, type, nullptr, &size) != 0) return false;
    data->assign(size, '\0');
    if (size && os::QueryRegValue(key, name, type, &(*data)[0], &size) != 0) return false;
    data->resize(size);
    return true;
}

// A string value without its terminating zero.
bool ReadString(os::RegKey key, const char* name, std::string* text) {
    uint32_t type = 0;
    if (!ReadValue(key, name, &type, text)) return false;
    if (type != os::kRegSz && type != os::kRegExpandSz) return false;
    size_t end = text->find('\0');
    if (end != std::string::npos) text->resize(end);
    return true;
}

// The key of the system's setup values, in the 64-bit registry of a 64-bit
// Windows (where the system looks).
uint32_t OpenSetupKey(os::RegKey* key) {
    uint32_t access = os::kKeyAllAccess | (Is64BitWindows() ? os::kKeyWow64_64Key : 0u);
    return os::OpenRegKey(os::kHKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup",
                          access, key);
}

// One service brought to a target state: the common part of start and stop.
uint32_t DriveService(const char* name, bool start, uint32_t* stateOut) {
    const uint32_t target = start ? os::kServiceRunning : os::kServiceStopped;
    const uint32_t pending = start ? os::kServiceStartPending : os::kServiceStopPending;
    uint32_t dummy = 0;
    uint32_t& state = stateOut ? *stateOut : dummy;
    if (!name || !*name) return os::kErrInvalidParameter;

    void* manager = nullptr;
    void* service = nullptr;
    uint32_t rc = os::OpenServiceManager(true, &manager);
    if (rc) return rc;
    rc = os::OpenSystemService(manager, name, true, &service);
    if (rc) {
        os::CloseService(manager);
        return rc;
    }
    os::ServiceStatus st;
    rc = os::QueryServiceStatus(service, &st);
    if (rc == 0 && st.state == target) {
        state = target;
    } else if (rc == 0) {
        if (start) {
            rc = os::StartSystemService(service);
            if (rc == 0) rc = os::QueryServiceStatus(service, &st);
        } else {
            os::ServiceStatus reported = st;
            rc = os::StopSystemService(service, &reported);
            if (rc == 0) st = reported;
        }
        if (rc == 0) {
            // Poll while the change is pending; give up once the service
            // made no progress for longer than it said it would need.
            uint32_t since = os::TickCount();
            uint32_t checkPoint = st.checkPoint;
            while (st.state == pending) {
                uint32_t wait = st.waitHintMs / 10;
                if (wait < 100) wait = 100;
                if (wait > 1000) wait = 1000;
                os::Sleep(wait);
                uint32_t last = st.state;
                rc = os::QueryServiceStatus(service, &st);
                if (rc) {
                    st.state = last;
                    break;
                }
                if (st.checkPoint > checkPoint) {
                    since = os::TickCount();
                    checkPoint = st.checkPoint;
                } else if (os::TickCount() - since > st.waitHintMs) {
                    break;
                }
            }
            if (rc == 0 && st.state != target) rc = 1052;  // the request is not valid now
        }
        state = st.state;
    }
    os::CloseService(service);
    os::CloseService(manager);
    return rc;
}

}  // namespace

int ClassifyOs(const os::VersionInfo& v, bool extendedOk, bool is64BitWindows, int* family) {
    int type;
    int fam;
    const std::string csd = Upper(v.csdVersion);
    if (v.platformId == 0) {
        type = kOsWin32s;
        fam = kFamilyWin32s;
    } else if (v.platformId == 1) {
        fam = kFamilyWin9x;
        if (v.minorVersion == 90) type = kOsWinMe;
        else if (v.majorVersion == 4 && v.minorVersion == 0)
            type = csd == "B" || csd == "C" ? kOsWin95Osr2 : kOsWin95;
        else if (v.majorVersion == 4 && v.minorVersion == 10)
            type = csd == "A" ? kOsWin98Se : kOsWin98;
        else type = kOsWin9xOther;
    } else {
        // NT, and whatever platform may come after it.
        switch (v.majorVersion) {
        case 3: type = kOsNt3; fam = kFamilyNt4; break;
        case 4: type = kOsNt4; fam = kFamilyNt4; break;
        case 5:
            type = v.minorVersion == 0 ? kOsWin2000 : v.minorVersion == 2 ? kOsServer2003 : kOsWinXp;
            fam = kFamilyNt5;
            break;
        case 6: type = kOsVista; fam = kFamilyNt5; break;
        default: type = kOsWin2000; fam = kFamilyNt5; break;
        }
    }
    // A 64-bit XP reports 5.2, as Server 2003 does; only the product type
    // tells them apart.
    if (is64BitWindows && type == kOsServer2003 && extendedOk && v.productType == 1)
        type = kOsWinXp;
    if (family) *family = fam;
    return type;
}

int GetOSType(int* type, int* family) {
    os::VersionInfo v;
    bool extended = os::GetVersionInfo(&v, true);
    if (!extended && !os::GetVersionInfo(&v, false)) return 0;
    int fam = 0;
    int t = ClassifyOs(v, extended, Is64BitWindows(), &fam);
    if (type) *type = t;
    if (family) *family = fam;
    return 1;
}

bool IsWow64() {
    bool wow64 = false;
    return os::IsWow64Process(&wow64) == 0 && wow64;
}

bool Is64BitWindows() { return os::ProgramIs64Bit() || IsWow64(); }

bool IsWindowsME() {
    os::RegKey key = nullptr;
    if (os::OpenRegKey(os::kHKLM, "Software\\Microsoft\\Windows\\CurrentVersion", os::kKeyRead,
                       &key) != 0)
        return false;
    std::string number;
    bool found = ReadString(key, "VersionNumber", &number);
    os::CloseRegKey(key);
    return found && number.find("4.90.") != std::string::npos;
}

bool IsAdminUser() {
    bool granted = false;
    return os::CheckAdministratorAccess(&granted) == 0 && granted;
}

bool IsPrinterInstalled(const char* name, bool byDriver) {
    if (!name) return false;
    uint32_t rc;
    std::vector<std::string> names;
    if (byDriver) {
        std::vector<os::PrinterEntry> printers;
        rc = os::EnumLocalPrinters(printers);
        for (const os::PrinterEntry& p : printers) names.push_back(p.driver);
    } else {
        rc = os::EnumPrinterDriverNames(names);
    }
    if (rc == os::kErrNotEnoughMemory || rc == os::kErrOutOfMemory) {
        if (CLog* log = GetLog()) log->Log("GlobalAlloc Error [Check Printer Installed]");
        return false;
    }
    if (rc) return false;
    for (const std::string& n : names)
        if (EqualNoCase(n, name)) return true;
    return false;
}

bool IsPortExist(const char* port) {
    if (!port || !*port) return false;
    std::vector<std::string> ports;
    if (os::EnumPortNames(2, ports) != 0) return false;
    for (const std::string& p : ports)
        if (EqualNoCase(p, port)) return true;
    return false;
}

bool IsFileExist(const char* path) {
    if (!path || !*path) return false;
    return os::CanReadFile(path);
}

int GetDriveKind(const char* path) {
    std::string p;
    if (path && *path) p = path;
    else if (os::ExecutablePath(p) != 0) return kDriveKindOther;
    size_t slash = p.find('\\');
    if (slash == std::string::npos) return kDriveKindOther;
    switch (os::DriveTypeOf(p.substr(0, slash + 1).c_str())) {
    case os::kDriveRemovable: return kDriveKindRemovable;
    case os::kDriveFixed: return kDriveKindFixed;
    case os::kDriveCdRom: return kDriveKindCdRom;
    case os::kDriveRamDisk: return kDriveKindRamDisk;
    case os::kDriveRemote: return kDriveKindRemote;
    default: return kDriveKindOther;
    }
}

bool DeleteFileAndEmptyParents(const char* path, bool keepDirectories) {
    if (!path || !*path) return false;
    if (os::RemoveFile(path) != 0) return false;
    if (keepDirectories) return true;
    std::string dir = path;
    // A directory that is not empty refuses, which ends the walk.
    while (CutToParent(dir) && os::RemoveEmptyDirectory(dir.c_str()) == 0) {
    }
    return true;
}

bool RemoveDirectoryChain(const char* directory) {
    if (!directory || !*directory) return false;
    std::string dir = directory;
    while (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
    if (os::RemoveEmptyDirectory(dir.c_str()) != 0) return true;
    while (CutToParent(dir) && os::RemoveEmptyDirectory(dir.c_str()) == 0) {
    }
    return true;
}

bool WaitNoPendingPnP(bool keepForeground, const std::function<void()>& bringDialogForward) {
    const uint32_t kTry = 1000, kGiveUp = 60000;
    uint32_t answer = 0;
    if (os::WaitNoPendingInstallEvents(kTry, &answer) != 0) return false;
    if (answer == 0) return false;  // nothing was pending
    if (keepForeground) {
        while (answer == os::kErrWaitTimeout) {
            if (bringDialogForward) bringDialogForward();
            if (os::WaitNoPendingInstallEvents(kTry, &answer) != 0) break;
        }
    } else {
        for (uint32_t waited = 0; answer == os::kErrWaitTimeout && waited < kGiveUp; waited += kTry) {
            if (os::WaitNoPendingInstallEvents(kTry, &answer) != 0) break;
        }
    }
    return true;
}

uint32_t SetSystemSourcePath(const char* path) {
    if (!path || !*path) return os::kErrInvalidParameter;
    std::string source = path;
    // The 32-bit program sees SysWOW64 under the name system32; the system
    // reading the value must get the real name.
    if (IsWow64()) {
        source = Upper(source);
        size_t at = source.find("\\SYSTEM32\\");
        if (at != std::string::npos) source.replace(at, 10, "\\SYSWOW64\\");
    }
    os::RegKey key = nullptr;
    uint32_t rc = OpenSetupKey(&key);
    if (rc) return rc;
    uint32_t type = 0;
    std::string old;
    if (ReadValue(key, "SourcePath", &type, &old))
        os::SetRegValue(key, "SourcePath_ORG", type, old.data(), static_cast<uint32_t>(old.size()));
    rc = os::SetRegValue(key, "SourcePath", os::kRegSz, source.c_str(),
                         static_cast<uint32_t>(source.size()));
    os::CloseRegKey(key);
    return rc;
}

uint32_t RestoreSystemSourcePath() {
    os::RegKey key = nullptr;
    uint32_t rc = OpenSetupKey(&key);
    if (rc) return rc;
    uint32_t type = 0;
    std::string old;
    if (ReadValue(key, "SourcePath_ORG", &type, &old))
        os::SetRegValue(key, "SourcePath", type, old.data(), static_cast<uint32_t>(old.size()));
    rc = os::DeleteRegValue(key, "SourcePath_ORG");
    os::CloseRegKey(key);
    return rc;
}

uint32_t StartServiceByName(const char* name, uint32_t* state) {
    return DriveService(name, true, state);
}

uint32_t StopServiceByName(const char* name, uint32_t* state) {
    return DriveService(name, false, state);
}

uint32_t QueryServiceState(const char* name, uint32_t* state) {
    if (!state) return os::kErrInvalidParameter;
    if (!name || !*name) return os::kErrInvalidParameter;
    void* manager = nullptr;
    void* service = nullptr;
    uint32_t rc = os::OpenServiceManager(false, &manager);
    if (rc) return rc;
    rc = os::OpenSystemService(manager, name, false, &service);
    if (rc == 0) {
        os::ServiceStatus st;
        rc = os::QueryServiceStatus(service, &st);
        if (rc == 0) *state = st.state;
        os::CloseService(service);
    }
    os::CloseService(manager);
    return rc;
}

bool IsInTokenList(const char* list, const char* word, const char* delimiters) {
    if (!list || !*list || !word || !*word || !delimiters || !*delimiters) return false;
    for (const std::string& token : Tokens(list, delimiters))
        if (EqualNoCase(TrimBlanks(token), word)) return true;
    return false;
}

bool GetNthToken(const char* list, const char* delimiters, int index, char* buffer, size_t size) {
    if (!buffer || size == 0) return false;
    std::memset(buffer, 0, size);
    if (!list || !delimiters || index < 0) return false;
    std::vector<std::string> tokens = Tokens(list, delimiters);
    if (static_cast<size_t>(index) >= tokens.size()) return false;
    const std::string& token = tokens[static_cast<size_t>(index)];
    std::memcpy(buffer, token.data(), token.size() < size ? token.size() : size - 1);
    return true;
}

uint32_t HexOrDecToNumber(const std::string& text) { return CProfile::StringToDword(text.c_str()); }

bool BytesToHex(const uint8_t* bytes, size_t count, std::string* out) {
    if (!bytes || !out) return false;
    static const char kDigits[] = "0123456789ABCDEF";
    out->reserve(out->size() + 2 * count);
    for (size_t i = 0; i < count; ++i) {
        out->push_back(kDigits[bytes[i] >> 4]);
        out->push_back(kDigits[bytes[i] & 15]);
    }
    return true;
}

void ShowSystemError(uint32_t code, const char* caption) {
    std::string text = os::ErrorText(code);
    CInstallerApp* app = GetInstallerApp();
    if (app && app->silent()) {
        // A silent run shows nothing; the log keeps what the box would say.
        if (CLog* log = GetLog()) log->Log("%s", text.c_str());
        return;
    }
    ShowMessage(GetMainWindow(), text, caption ? caption : "", ui::kMbOk | ui::kMbIconWarning);
}

bool GetSystemErrorText(uint32_t code, std::string& text) {
    text = os::ErrorText(code);
    return true;
}
