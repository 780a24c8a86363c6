// The simulated machine's registry, kept in SQLite (registry.db in the
// machine folder). Key paths are Windows paths below a root name
// ("HKLM\Software\Vendor"), compared case-insensitively; subkeys enumerate
// sorted like on NT, values in the order they were created. Every write is
// committed before the call returns, so it survives the process being killed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace sim {

// Windows value types.
enum : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
};

struct RegValue {
    std::string name;
    uint32_t type = kRegNone;
    std::string data;  // raw bytes as Windows stores them (REG_SZ with its NUL)
};

class RegistryStore {
public:
    RegistryStore() = default;
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // Opens or creates the database file; Windows error number.
    uint32_t Open(const std::string& hostPath);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    sqlite3* db() const { return db_; }

    // Keys. Paths use backslashes; the first component is the root
    // ("HKLM", "HKCU", "HKCR", "HKU"). Results are Windows error numbers:
    // 2 for a missing key or value.
    uint32_t CreateKey(const std::string& path, bool* created = nullptr);
    bool KeyExists(const std::string& path);
    // Deletes a key without subkeys (5 when it has some, as on NT).
    uint32_t DeleteKey(const std::string& path);
    // Deletes a key and everything below it.
    uint32_t DeleteTree(const std::string& path);
    // Subkey names in NT order (case-insensitive sort), with their stored case.
    uint32_t EnumKeys(const std::string& path, std::vector<std::string>& names);

    // Values. SetValue creates the key chain when missing.
    uint32_t SetValue(const std::string& path, const std::string& name, uint32_t type,
                      const std::string& data);
    uint32_t SetString(const std::string& path, const std::string& name,
                       const std::string& text);  // REG_SZ, NUL added
    uint32_t SetDword(const std::string& path, const std::string& name, uint32_t value);
    uint32_t QueryValue(const std::string& path, const std::string& name, RegValue& value);
    // REG_SZ/REG_EXPAND_SZ text without its terminating NUL.
    uint32_t QueryString(const std::string& path, const std::string& name, std::string& text);
    uint32_t QueryDword(const std::string& path, const std::string& name, uint32_t& value);
    uint32_t DeleteValue(const std::string& path, const std::string& name);
    // Values in creation order (a value that is set again keeps its place).
    uint32_t EnumValues(const std::string& path, std::vector<RegValue>& values);

private:
    // Statements kept prepared for the object's lifetime.
    enum Sql {
        kBegin, kCommit, kRollback,
        kFindKey, kInsertKey, kHasSubkeys, kListSubkeys,
        kDeleteKeyRow, kDeleteKeyValues, kDeleteTreeValues, kDeleteTreeKeys,
        kUpsertValue, kQueryValue, kDeleteValue, kListValues,
        kSqlCount
    };
    sqlite3_stmt* Statement(Sql which);
    void FinalizeStatements();

    // Key ids are > 0. 0 is a root that has no row yet (it exists but is
    // empty); negative values are minus a Windows error number.
    int64_t FindKeyId(const std::string& path);
    int64_t EnsureKeyId(const std::string& path, bool* created);

    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmts_[kSqlCount] = {};
};

}  // namespace sim
