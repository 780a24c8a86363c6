#include "install/history.h"

#include <cctype>
#include <cstring>

#include "app/global_var.h"
#include "platform/os.h"
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

// The count of a list; 0 when it cannot be read.
uint32_t ReadCount(const std::string& key, const char* name) {
    os::RegKey k = nullptr;
    if (os::OpenRegKey(os::kHKLM, key.c_str(), os::kKeyQueryValue, &k) != 0) return 0;
    uint32_t value = 0, type = 0, size = sizeof value;
    uint32_t rc = os::QueryRegValue(k, name, &type, &value, &size);
    os::CloseRegKey(k);
    return rc == 0 && type == os::kRegDword && size == sizeof value ? value : 0;
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
    const uint32_t count = ReadCount(key, names.count);
    os::RegKey k = nullptr;
    if (os::CreateRegKey(os::kHKLM, key.c_str(), os::kRegOptionNonVolatile, os::kKeyWrite, &k,
                         nullptr) != 0)
        return false;
    const std::string valueName = names.entry + std::to_string(count);
    os::SetRegValue(k, valueName.c_str(), os::kRegSz, text.c_str(),
                    static_cast<uint32_t>(text.size()));
    const uint32_t next = count + 1;
    os::SetRegValue(k, names.count, os::kRegDword, &next, sizeof next);
    os::CloseRegKey(k);
    return true;
}
