#include "install/history.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "app/log.h"
#include "command/copy_file.h"
#include "command/registry.h"
#include "platform/os.h"
#include "sys/api_function.h"
#include "sys/utl.h"

namespace {

struct ListNames {
    const char* count;
    const char* entry;
};

ListNames Names(HistoryKind kind) {
    switch (kind) {
    case HistoryKind::Value: return {"NumOfValues", "Value"};
    case HistoryKind::Key: return {"NumOfKeys", "Key"};
    case HistoryKind::File: return {"NumOfFiles", "File"};
    case HistoryKind::Directory: return {"NumOfDirs", "Dir"};
    case HistoryKind::DestDirectory: return {"NumOfDestDirs", "DestDir"};
    case HistoryKind::Shortcut: return {"NumOfShortcuts", "Shortcut"};
    }
    return {"NumOfFiles", "File"};
}

// The count of a list in an open key; 0 when it cannot be read.
uint32_t ReadCount(os::RegKey key, const char* name) {
    uint32_t value = 0, type = 0, size = sizeof value;
    uint32_t rc = os::QueryRegValue(key, name, &type, &value, &size);
    return rc == 0 && type == os::kRegDword && size == sizeof value ? value : 0;
}

// A history key held open for reading its lists; the same answers as
// CRegistry::GetValue without opening the key for every entry.
class HistoryReader {
public:
    explicit HistoryReader(const std::string& key) {
        if (os::OpenRegKey(os::kHKLM, key.c_str(), os::kKeyQueryValue, &key_) != 0)
            key_ = nullptr;
    }
    ~HistoryReader() {
        if (key_) os::CloseRegKey(key_);
    }
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    bool IsOpen() const { return key_ != nullptr; }
    bool Count(HistoryKind kind, uint32_t* count) const {
        unsigned char bytes[4] = {0, 0, 0, 0};
        uint32_t type = 0, size = sizeof bytes;
        if (!key_ || os::QueryRegValue(key_, Names(kind).count, &type, bytes, &size) != 0 ||
            type != os::kRegDword)
            return false;
        *count = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                 static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
        return true;
    }
    bool Entry(HistoryKind kind, uint32_t index, std::string& text) {
        if (!key_) return false;
        const std::string name = Names(kind).entry + std::to_string(index);
        uint32_t type = 0, size = static_cast<uint32_t>(buffer_.size());
        if (os::QueryRegValue(key_, name.c_str(), &type, buffer_.data(), &size) != 0 ||
            type != os::kRegSz)
            return false;
        const void* end = std::memchr(buffer_.data(), '\0', size);
        text.assign(buffer_.data(), end ? static_cast<const char*>(end) - buffer_.data() : size);
        return true;
    }

private:
    os::RegKey key_ = nullptr;
    std::vector<char> buffer_ = std::vector<char>(kRegistryData);
};

struct RootName {
    const char* name;
    os::RegKey root;
};
const RootName kRootNames[] = {
    {"HKEY_LOCAL_MACHINE", os::kHKLM},    {"HKEY_CLASSES_ROOT", os::kHKCR},
    {"HKEY_CURRENT_CONFIG", os::kHKCC},   {"HKEY_CURRENT_USER", os::kHKCU},
    {"HKEY_USERS", os::kHKU},             {"HKEY_PERFORMANCE_DATA", os::kHKPD},
    {"HKEY_DYN_DATA", os::kHKDD},
};

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool RootOf(const std::string& name, os::RegKey* root) {
    for (const RootName& r : kRootNames) {
        if (EqualNoCase(name, r.name)) {
            *root = r.root;
            return true;
        }
    }
    return false;
}

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && EqualNoCase(text.substr(text.size() - tail.size()), tail);
}

const HistoryKind kMergeOrder[] = {
    HistoryKind::Value,     HistoryKind::Key,           HistoryKind::File,
    HistoryKind::Directory, HistoryKind::DestDirectory, HistoryKind::Shortcut,
};

const HistoryKind kUndoOrder[] = {
    HistoryKind::Value,         HistoryKind::Key,       HistoryKind::File,
    HistoryKind::DestDirectory, HistoryKind::Directory, HistoryKind::Shortcut,
};

// SetupUninstallOEMInfA's flag that removes a package even while a device
// uses it.
constexpr uint32_t kSuoiForceDelete = 1;
using SetupUninstallOemInfFn = int(SETUP_SYSTEM_CALL*)(const char*, uint32_t, void*);
using GetLastErrorFn = uint32_t(SETUP_SYSTEM_CALL*)();

std::string FailureKey() {
    const std::string installing = GetInstallingKey();
    return installing.empty() ? std::string() : installing + "\\InstallFail";
}

}  // namespace

bool AddHistoryEntry(const std::string& entry, HistoryKind kind, const std::string& historyKey) {
    std::string key = historyKey;
    if (key.empty()) {
        CRegistryKeys* keys = GetRegistryKeys();
        if (keys) key = keys->installingHistory;
    }
    if (key.empty()) return false;
    std::string text = entry;
    if (kind == HistoryKind::File && IsWow64()) {
        // WOW64 redirected the 32-bit program's system folder.
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        size_t at = text.find("\\SYSTEM32\\");
        if (at != std::string::npos) text.replace(at, 10, "\\SYSWOW64\\");
    }
    const ListNames names = Names(kind);
    // One handle reads the count and writes the entry.
    os::RegKey k = nullptr;
    if (os::CreateRegKey(os::kHKLM, key.c_str(), os::kRegOptionNonVolatile,
                         os::kKeyWrite | os::kKeyQueryValue, &k, nullptr) != 0)
        return false;
    const uint32_t count = ReadCount(k, names.count);
    const std::string valueName = names.entry + std::to_string(count);
    os::SetRegValue(k, valueName.c_str(), os::kRegSz, text.c_str(),
                    static_cast<uint32_t>(text.size()));
    const uint32_t next = count + 1;
    os::SetRegValue(k, names.count, os::kRegDword, &next, sizeof next);
    os::CloseRegKey(k);
    return true;
}

bool MergeHistory(const std::string& sourceKey, const std::string& targetKey) {
    if (sourceKey.empty() || targetKey.empty()) return false;
    {
        HistoryReader source(sourceKey);
        if (!source.IsOpen()) return false;
        std::string entry;
        for (HistoryKind kind : kMergeOrder) {
            uint32_t count = 0;
            if (!source.Count(kind, &count)) continue;
            for (uint32_t i = 0; i < count; ++i)
                if (source.Entry(kind, i, entry)) AddHistoryEntry(entry, kind, targetKey);
        }
    }
    CRegistry::DeleteKey(sourceKey.c_str(), false, os::kHKLM);
    return true;
}

// --- undo ------------------------------------------------------------------------

CHistoryUndo::CHistoryUndo() {
    if (os::OpenLibrary("Setupapi.dll", &setupApi_) == 0 && setupApi_)
        uninstallOemInf_ = os::LibraryEntry(setupApi_, "SetupUninstallOEMInfA");
    // The reason of a failed uninstall is the thread's last error.
    if (uninstallOemInf_ && os::OpenLibrary("Kernel32.dll", &kernel_) == 0 && kernel_)
        lastError_ = os::LibraryEntry(kernel_, "GetLastError");
}

CHistoryUndo::~CHistoryUndo() {
    os::CloseLibrary(kernel_);
    os::CloseLibrary(setupApi_);
}

bool CHistoryUndo::Undo(const std::string& historyKey, bool removeOwnProgram) {
    if (historyKey.empty()) return false;
    {
        HistoryReader history(historyKey);
        std::string entry;
        for (HistoryKind kind : kUndoOrder) {
            uint32_t count = 0;
            if (!history.Count(kind, &count)) continue;
            for (uint32_t i = count; i-- > 0;) {
                if (!history.Entry(kind, i, entry)) continue;
                switch (kind) {
                case HistoryKind::Value: UndoValue(entry); break;
                case HistoryKind::Key: UndoKey(entry); break;
                case HistoryKind::File: UndoFile(entry); break;
                case HistoryKind::DestDirectory:
                    CCopyFile::DeleteDirectoryTree(entry.c_str(), true);
                    break;
                case HistoryKind::Directory:
                    // Only when empty: what else is in it is not the run's.
                    CCopyFile::DeleteDirectoryTree(entry.c_str(), false);
                    break;
                case HistoryKind::Shortcut: DeleteFileAndEmptyParents(entry.c_str(), false); break;
                }
            }
        }
    }
    // Every entry has been carried out or cannot be: nothing of the run is
    // left for a later removal to take back.
    CRegistry::DeleteKey(historyKey.c_str(), false, os::kHKLM);
    if (removeOwnProgram) {
        std::string self;
        if (os::ExecutablePath(self) == 0 && !self.empty()) CCopyFile::DeleteOneFile(self.c_str());
    }
    return true;
}

void CHistoryUndo::UndoValue(const std::string& entry) {
    const size_t first = entry.find('\\');
    const size_t last = entry.rfind('\\');
    if (first == std::string::npos || first == last) return;
    os::RegKey root = nullptr;
    if (!RootOf(entry.substr(0, first), &root)) return;
    const std::string subKey = entry.substr(first + 1, last - first - 1);
    const std::string name = entry.substr(last + 1);
    CRegistry::DeleteValue(subKey.c_str(), name.c_str(), root);
}

void CHistoryUndo::UndoKey(const std::string& entry) {
    const size_t first = entry.find('\\');
    if (first == std::string::npos) return;
    os::RegKey root = os::kHKLM;
    RootOf(entry.substr(0, first), &root);
    // The key alone: its parents may hold what others installed, and on NT
    // a key that still has subkeys stays.
    CRegistry::DeleteKey(entry.substr(first + 1).c_str(), true, root);
}

void CHistoryUndo::UndoFile(const std::string& path) {
    if (uninstallOemInf_ && EndsWithNoCase(path, ".inf")) UninstallOemInf(path);
    CCopyFile::DeleteOneFile(path.c_str());
}

void CHistoryUndo::UninstallOemInf(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    auto uninstall = reinterpret_cast<SetupUninstallOemInfFn>(uninstallOemInf_);
    const bool ok = uninstall(name.c_str(), kSuoiForceDelete, nullptr) != 0;
    const uint32_t error = ok || !lastError_ ? 0 : reinterpret_cast<GetLastErrorFn>(lastError_)();
    CLog* log = GetLog();
    if (!log) return;
    if (ok)
        log->Log("%s file uninstalled", path.c_str());
    else
        log->LogError(error, "%s", path.c_str());
}

bool UndoHistory(const std::string& historyKey, bool removeOwnProgram) {
    CHistoryUndo undo;
    return undo.Undo(historyKey, removeOwnProgram);
}

// --- the failure list --------------------------------------------------------------

bool RecordFailure(const std::string& section) {
    const std::string key = FailureKey();
    if (key.empty()) return false;
    uint32_t count = 0;
    if (CRegistry::GetValue(key.c_str(), "Count", &count, os::kHKLM) != 0) count = 0;
    if (CRegistry::SetValue(key.c_str(), std::to_string(count).c_str(), section.c_str(),
                            os::kHKLM) != 0)
        return false;
    return CRegistry::SetValue(key.c_str(), "Count", count + 1, os::kHKLM) == 0;
}

uint32_t GetFailureCount() {
    const std::string key = FailureKey();
    uint32_t count = 0;
    if (key.empty() || CRegistry::GetValue(key.c_str(), "Count", &count, os::kHKLM) != 0) return 0;
    return count;
}

std::string GetFailedItemName(uint32_t n, const ItemDisplayName& displayName) {
    const std::string key = FailureKey();
    std::string section;
    if (key.empty() || !displayName ||
        CRegistry::GetValue(key.c_str(), std::to_string(n).c_str(), section, os::kHKLM) != 0)
        return std::string();
    return displayName(section);
}

// --- the records of a finished run ------------------------------------------------

namespace {

// Whether an item's record names a way to remove the item.
bool HasUninstallCommand(const std::string& record, const std::string& uninstallInfo) {
    std::string command;
    if (CRegistry::GetValue(record.c_str(), "UninstCmd", command, os::kHKLM) == 0)
        return !command.empty();
    std::string valueName, value;
    return CRegistry::GetValue(record.c_str(), "Uninstall_Value_Name", valueName, os::kHKLM) ==
               0 &&
           !valueName.empty() && !uninstallInfo.empty() &&
           CRegistry::GetValue(uninstallInfo.c_str(), valueName.c_str(), value, os::kHKLM) == 0 &&
           !value.empty();
}

}  // namespace

bool SaveInstalledRecords(const std::vector<std::string>& itemSections,
                          const std::vector<std::string>& shortcutNames) {
    const CRegistryKeys* keys = GetRegistryKeys();
    if (!keys || keys->installing.empty() || keys->installed.empty()) return false;
    const std::string& installing = keys->installing;
    const std::string& installed = keys->installed;
    CRegistry::CopyKey(installing.c_str(), installed.c_str(), false, os::kHKLM, os::kHKLM);
    for (const std::string& section : itemSections) {
        const std::string record = installing + "\\Items\\" + section;
        uint32_t installNow = 0;
        if (CRegistry::GetValue(record.c_str(), "InstallNow", &installNow, os::kHKLM) != 0 ||
            installNow != 2)
            continue;
        if (HasUninstallCommand(record, keys->uninstallInfo))
            CRegistry::CopyKey(record.c_str(), (installed + "\\Items\\" + section).c_str(), false,
                               os::kHKLM, os::kHKLM);
    }
    for (const std::string& name : shortcutNames)
        CRegistry::CopyKey((installing + "\\Shortcut\\" + name).c_str(),
                           (installed + "\\Shortcut\\" + name).c_str(), false, os::kHKLM,
                           os::kHKLM);
    MergeHistory(keys->installingHistory, keys->installedHistory);
    return true;
}
