// The simulated machine's registry, kept in SQLite (registry.db in the
// machine folder). Key paths are Windows paths below a root name
// ("HKLM\Software\Vendor"), compared case-insensitively; subkeys enumerate
// sorted like on NT, values in the order they were created. Every write is
// committed before the call returns, so it survives the process being killed.
//
// The store sees one registry: the 64-bit view of a 64-bit machine, where
// the 32-bit programs' HKLM\Software is HKLM\Software\Wow6432Node (the
// platform layer maps the views). Besides keys and values it keeps two
// faults that tests and machine.ini inject: keys whose security grants the
// machine's user less than full access (a key that refuses deletion until
// its security is opened), and keys below which every write fails.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
class CSectionList;

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
    // The longest part of path that exists, as a path ("HKLM\\Software"); the
    // root when nothing below it does, empty for a path without a root.
    std::string ExistingPart(const std::string& path);
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

    // One subkey or value by position, in the orders above; 259 past the end.
    uint32_t EnumKey(const std::string& path, uint32_t index, std::string& name);
    uint32_t EnumValue(const std::string& path, uint32_t index, RegValue& value);
    // Numbers of subkeys and values of a key (either may be null).
    uint32_t CountKey(const std::string& path, uint32_t* subKeys, uint32_t* values);

    // The access rights the machine's user holds on a key (Windows key
    // masks, KEY_ALL_ACCESS = 0xF003F unless set otherwise). A key without
    // DELETE refuses deletion with 5, also as part of a tree.
    uint32_t SetKeyAccess(const std::string& path, uint32_t granted);
    uint32_t KeyAccess(const std::string& path, uint32_t* granted);

    // Creating keys, setting and deleting values and deleting keys at or
    // below path answer error from now on; error 0 removes the fault.
    uint32_t SetWriteFault(const std::string& path, uint32_t error);

private:
    // Statements kept prepared for the object's lifetime.
    enum Sql {
        kBegin, kCommit, kRollback,
        kFindKey, kInsertKey, kHasSubkeys, kListSubkeys,
        kDeleteKeyRow, kDeleteKeyValues, kDeleteTreeValues, kDeleteTreeKeys,
        kUpsertValue, kQueryValue, kDeleteValue, kListValues,
        kNthSubkey, kNthValue, kCountSubkeys, kCountValues,
        kFindAccess, kSetAccess, kDeleteAccess, kDeleteTreeAccess, kTreeDenied,
        kSqlCount
    };
    sqlite3_stmt* Statement(Sql which);
    void FinalizeStatements();

    // Key ids are > 0. 0 is a root that has no row yet (it exists but is
    // empty); negative values are minus a Windows error number.
    int64_t FindKeyId(const std::string& path);
    int64_t EnsureKeyId(const std::string& path, bool* created);
    // The injected error for a write at path, or 0.
    uint32_t WriteFault(const std::string& path) const;
    void LoadWriteFaults();

    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmts_[kSqlCount] = {};
    // Folded key path ("hklm\software\x") -> error.
    std::vector<std::pair<std::string, uint32_t>> writeFaults_;
};

// Registry faults of a machine.ini, for the first use of a machine:
//   [RegistryProtected]    HKLM\Software\Vendor\Key = 1
//     the key (created when missing) grants only read access, so it refuses
//     deletion until its security is opened;
//   [RegistryWriteFails]   HKLM\Software\Vendor = 5
//     every write at or below the key answers that error.
// Paths are store paths (a 32-bit program's HKLM\Software keys are below
// HKLM\Software\Wow6432Node on a 64-bit machine).
void SeedRegistryFaults(RegistryStore& store, const CSectionList& ini);

}  // namespace sim
