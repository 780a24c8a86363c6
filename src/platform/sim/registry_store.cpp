#include "platform/sim/registry_store.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>

#include "profile/section_list.h"

namespace sim {

namespace {

constexpr uint32_t kOk = 0;
constexpr uint32_t kNotFound = 2;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kInvalidData = 13;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kNoMoreItems = 259;
constexpr uint32_t kRegistryIoFailed = 1016;

// Key access rights (Windows masks).
constexpr uint32_t kDeleteRight = 0x00010000;
constexpr uint32_t kKeyRead = 0x00020019;
constexpr uint32_t kKeyAllAccess = 0x000F003F;

constexpr int kBusyTimeoutMs = 5000;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY,"
    " parent INTEGER NOT NULL,"  // 0 for the roots
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS \"values\"("
    " key INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " fold TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " seq INTEGER NOT NULL,"
    " UNIQUE(key, fold));"
    // Only keys whose user holds less than full access have a row.
    "CREATE TABLE IF NOT EXISTS key_access("
    " key INTEGER PRIMARY KEY,"
    " granted INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS write_faults("
    " fold TEXT PRIMARY KEY,"
    " error INTEGER NOT NULL);";

// The subtree of ?1, the key itself included.
#define SUBTREE                                              \
    "WITH RECURSIVE t(id) AS (SELECT ?1 UNION ALL"           \
    " SELECT keys.id FROM keys JOIN t ON keys.parent = t.id) "

// Indexed by RegistryStore::Sql.
const char* const kSql[] = {
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2",
    "INSERT INTO keys(parent, name, fold) VALUES(?1, ?2, ?3)",
    "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1",
    // NT keeps subkeys sorted by their upper-cased names.
    "SELECT name FROM keys WHERE parent = ?1 ORDER BY fold COLLATE nt_upcase",
    "DELETE FROM keys WHERE id = ?1",
    "DELETE FROM \"values\" WHERE key = ?1",
    SUBTREE "DELETE FROM \"values\" WHERE key IN (SELECT id FROM t)",
    SUBTREE "DELETE FROM keys WHERE id IN (SELECT id FROM t)",
    // A value set again keeps its name's case and its place (seq).
    "INSERT INTO \"values\"(key, name, fold, type, data, seq)"
    " VALUES(?1, ?2, ?3, ?4, ?5,"
    "  (SELECT IFNULL(MAX(seq), 0) + 1 FROM \"values\" WHERE key = ?1))"
    " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data",
    "SELECT name, type, data FROM \"values\" WHERE key = ?1 AND fold = ?2",
    "DELETE FROM \"values\" WHERE key = ?1 AND fold = ?2",
    "SELECT name, type, data FROM \"values\" WHERE key = ?1 ORDER BY seq",
    "SELECT name FROM keys WHERE parent = ?1 ORDER BY fold COLLATE nt_upcase LIMIT 1 OFFSET ?2",
    "SELECT name, type, data FROM \"values\" WHERE key = ?1 ORDER BY seq LIMIT 1 OFFSET ?2",
    "SELECT COUNT(*) FROM keys WHERE parent = ?1",
    "SELECT COUNT(*) FROM \"values\" WHERE key = ?1",
    "SELECT granted FROM key_access WHERE key = ?1",
    "INSERT INTO key_access(key, granted) VALUES(?1, ?2)"
    " ON CONFLICT(key) DO UPDATE SET granted = excluded.granted",
    "DELETE FROM key_access WHERE key = ?1",
    SUBTREE "DELETE FROM key_access WHERE key IN (SELECT id FROM t)",
    SUBTREE "SELECT 1 FROM key_access WHERE key IN (SELECT id FROM t)"
    " AND (granted & 65536) = 0 LIMIT 1",
};
#undef SUBTREE

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
unsigned char AsciiUpper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

std::string Fold(const std::string& s) {
    std::string out(s);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

int NtUpcaseCompare(void*, int na, const void* a, int nb, const void* b) {
    const auto* pa = static_cast<const unsigned char*>(a);
    const auto* pb = static_cast<const unsigned char*>(b);
    const int n = na < nb ? na : nb;
    for (int i = 0; i < n; ++i) {
        const unsigned char ca = AsciiUpper(pa[i]);
        const unsigned char cb = AsciiUpper(pb[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

struct RootName {
    const char* shortName;
    const char* longName;
};
const RootName kRoots[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE"}, {"HKCU", "HKEY_CURRENT_USER"},
    {"HKCR", "HKEY_CLASSES_ROOT"},  {"HKU", "HKEY_USERS"},
    {"HKCC", "HKEY_CURRENT_CONFIG"},
};

struct ParsedPath {
    uint32_t error = kOk;
    std::string root;  // short form
    std::vector<std::string> parts;
};

// Empty components (doubled or trailing backslashes) are skipped, as the
// registry APIs tolerate them.
ParsedPath ParsePath(const std::string& path) {
    ParsedPath parsed;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (parts.empty()) {
        parsed.error = kInvalidParameter;
        return parsed;
    }
    const std::string first = Fold(parts.front());
    for (const RootName& r : kRoots) {
        if (first == Fold(r.shortName) || first == Fold(r.longName)) {
            parsed.root = r.shortName;
            break;
        }
    }
    if (parsed.root.empty()) {
        parsed.error = kInvalidHandle;
        return parsed;
    }
    parsed.parts.assign(parts.begin() + 1, parts.end());
    return parsed;
}

// Resets a cached statement when the call is done with it, so that it
// releases its locks for the other processes sharing the file.
class Use {
public:
    explicit Use(sqlite3_stmt* s) : s_(s) {}
    ~Use() {
        if (s_) {
            sqlite3_reset(s_);
            sqlite3_clear_bindings(s_);
        }
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    explicit operator bool() const { return s_ != nullptr; }
    sqlite3_stmt* get() const { return s_; }

private:
    sqlite3_stmt* s_;
};

void BindText(sqlite3_stmt* s, int i, const std::string& text) {
    sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string ColumnText(sqlite3_stmt* s, int i) {
    const auto* p = sqlite3_column_text(s, i);
    const int n = sqlite3_column_bytes(s, i);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
}

std::string ColumnBlob(sqlite3_stmt* s, int i) {
    const void* p = sqlite3_column_blob(s, i);
    const int n = sqlite3_column_bytes(s, i);
    return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
}

// One immediate transaction: it takes the write lock up front, so two
// processes writing at once wait on the busy timeout instead of deadlocking.
class Transaction {
public:
    Transaction(sqlite3_stmt* begin, sqlite3_stmt* commit, sqlite3_stmt* rollback)
        : commit_(commit), rollback_(rollback) {
        if (begin && commit && rollback) {
            Use use(begin);
            open_ = sqlite3_step(begin) == SQLITE_DONE;
        }
    }
    ~Transaction() {
        if (open_) {
            Use use(rollback_);
            sqlite3_step(rollback_);
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool ok() const { return open_; }
    bool Commit() {
        Use use(commit_);
        if (sqlite3_step(commit_) != SQLITE_DONE) return false;
        open_ = false;
        return true;
    }

private:
    sqlite3_stmt* commit_;
    sqlite3_stmt* rollback_;
    bool open_ = false;
};

uint32_t ErrorOf(int64_t id) { return id < 0 ? static_cast<uint32_t>(-id) : kOk; }

// "hklm\\software\\vendor": the form write faults are kept in.
std::string FoldedPath(const ParsedPath& parsed) {
    std::string out = Fold(parsed.root);
    for (const std::string& part : parsed.parts) out += "\\" + Fold(part);
    return out;
}

// A single-row, single-column answer of a statement bound to one key id.
bool StepInt(sqlite3_stmt* s, int64_t key, int64_t* out) {
    Use use(s);
    if (!use) return false;
    sqlite3_bind_int64(s, 1, key);
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) {
        *out = sqlite3_column_int64(s, 0);
        return true;
    }
    return false;
}

}  // namespace

RegistryStore::~RegistryStore() { Close(); }

uint32_t RegistryStore::Open(const std::string& hostPath) {
    Close();
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(hostPath.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        const int err = db ? sqlite3_system_errno(db) : 0;
        sqlite3_close(db);
        return err == ENOENT ? kNotFound : kAccessDenied;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_create_collation_v2(db, "nt_upcase", SQLITE_UTF8, nullptr, NtUpcaseCompare, nullptr);
    // A commit must reach the OS, not the disk: surviving a killed process is
    // enough for the simulated machine, and fsync per value would be slow.
    rc = sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        return kAccessDenied;
    }
    db_ = db;
    LoadWriteFaults();
    return kOk;
}

void RegistryStore::LoadWriteFaults() {
    writeFaults_.clear();
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT fold, error FROM write_faults", -1, &s, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(s);
        return;
    }
    while (sqlite3_step(s) == SQLITE_ROW)
        writeFaults_.emplace_back(ColumnText(s, 0), static_cast<uint32_t>(sqlite3_column_int64(s, 1)));
    sqlite3_finalize(s);
}

uint32_t RegistryStore::WriteFault(const std::string& path) const {
    if (writeFaults_.empty()) return kOk;
    const ParsedPath parsed = ParsePath(path);
    if (parsed.error) return kOk;
    const std::string folded = FoldedPath(parsed);
    for (const auto& [prefix, error] : writeFaults_) {
        if (folded.compare(0, prefix.size(), prefix) == 0 &&
            (folded.size() == prefix.size() || folded[prefix.size()] == '\\'))
            return error;
    }
    return kOk;
}

void RegistryStore::Close() {
    writeFaults_.clear();
    FinalizeStatements();
    if (db_) {
        sqlite3_close(db_);
        db_ = nullptr;
    }
}

sqlite3_stmt* RegistryStore::Statement(Sql which) {
    static_assert(sizeof(kSql) / sizeof(kSql[0]) == kSqlCount, "one text per statement");
    if (!db_) return nullptr;
    sqlite3_stmt*& s = stmts_[which];
    if (!s && sqlite3_prepare_v3(db_, kSql[which], -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) !=
                  SQLITE_OK) {
        sqlite3_finalize(s);
        s = nullptr;
    }
    return s;
}

void RegistryStore::FinalizeStatements() {
    for (sqlite3_stmt*& s : stmts_) {
        sqlite3_finalize(s);
        s = nullptr;
    }
}

namespace {

// Child id of parent by folded name: > 0 found, 0 absent, < 0 failure.
int64_t LookupChild(sqlite3_stmt* find, int64_t parent, const std::string& fold) {
    Use use(find);
    if (!use) return -static_cast<int64_t>(kRegistryIoFailed);
    sqlite3_bind_int64(find, 1, parent);
    BindText(find, 2, fold);
    const int rc = sqlite3_step(find);
    if (rc == SQLITE_ROW) return sqlite3_column_int64(find, 0);
    return rc == SQLITE_DONE ? 0 : -static_cast<int64_t>(kRegistryIoFailed);
}

}  // namespace

int64_t RegistryStore::FindKeyId(const std::string& path) {
    if (!db_) return -static_cast<int64_t>(kInvalidHandle);
    const ParsedPath parsed = ParsePath(path);
    if (parsed.error) return -static_cast<int64_t>(parsed.error);
    sqlite3_stmt* find = Statement(kFindKey);
    int64_t id = LookupChild(find, 0, Fold(parsed.root));
    if (id <= 0) {
        // A root always exists, even before anything was written below it.
        if (id == 0 && !parsed.parts.empty()) return -static_cast<int64_t>(kNotFound);
        return id;
    }
    for (const std::string& part : parsed.parts) {
        id = LookupChild(find, id, Fold(part));
        if (id == 0) return -static_cast<int64_t>(kNotFound);
        if (id < 0) return id;
    }
    return id;
}

int64_t RegistryStore::EnsureKeyId(const std::string& path, bool* created) {
    if (created) *created = false;
    if (!db_) return -static_cast<int64_t>(kInvalidHandle);
    const ParsedPath parsed = ParsePath(path);
    if (parsed.error) return -static_cast<int64_t>(parsed.error);
    sqlite3_stmt* find = Statement(kFindKey);
    sqlite3_stmt* insert = Statement(kInsertKey);
    if (!insert) return -static_cast<int64_t>(kRegistryIoFailed);

    auto ensure = [&](int64_t parent, const std::string& name, bool* made) -> int64_t {
        const std::string fold = Fold(name);
        const int64_t found = LookupChild(find, parent, fold);
        if (found != 0) return found;
        Use use(insert);
        sqlite3_bind_int64(insert, 1, parent);
        BindText(insert, 2, name);
        BindText(insert, 3, fold);
        if (sqlite3_step(insert) != SQLITE_DONE) return -static_cast<int64_t>(kRegistryIoFailed);
        if (made) *made = true;
        return sqlite3_last_insert_rowid(db_);
    };

    int64_t id = ensure(0, parsed.root, nullptr);
    for (size_t i = 0; i < parsed.parts.size() && id > 0; ++i) {
        const bool last = i + 1 == parsed.parts.size();
        id = ensure(id, parsed.parts[i], last ? created : nullptr);
    }
    return id;
}

uint32_t RegistryStore::CreateKey(const std::string& path, bool* created) {
    if (created) *created = false;
    if (!db_) return kInvalidHandle;
    if (const uint32_t fault = WriteFault(path)) {
        if (!KeyExists(path)) return fault;  // opening an existing key writes nothing
    }
    Transaction txn(Statement(kBegin), Statement(kCommit), Statement(kRollback));
    if (!txn.ok()) return kRegistryIoFailed;
    bool made = false;
    const int64_t id = EnsureKeyId(path, &made);
    if (id < 0) return ErrorOf(id);
    if (!txn.Commit()) return kRegistryIoFailed;
    if (created) *created = made;
    return kOk;
}

bool RegistryStore::KeyExists(const std::string& path) { return FindKeyId(path) >= 0; }

std::string RegistryStore::ExistingPart(const std::string& path) {
    const ParsedPath parsed = ParsePath(path);
    if (parsed.error || !db_) return std::string();
    std::string existing = parsed.root;
    sqlite3_stmt* find = Statement(kFindKey);
    int64_t id = LookupChild(find, 0, Fold(parsed.root));
    for (const std::string& part : parsed.parts) {
        if (id <= 0) break;
        id = LookupChild(find, id, Fold(part));
        if (id <= 0) break;
        existing += "\\" + part;
    }
    return existing;
}

uint32_t RegistryStore::DeleteKey(const std::string& path) {
    if (!db_) return kInvalidHandle;
    const ParsedPath parsed = ParsePath(path);
    if (parsed.error) return parsed.error;
    if (parsed.parts.empty()) return kAccessDenied;
    if (const uint32_t fault = WriteFault(path)) return fault;
    Transaction txn(Statement(kBegin), Statement(kCommit), Statement(kRollback));
    if (!txn.ok()) return kRegistryIoFailed;
    const int64_t id = FindKeyId(path);
    if (id < 0) return ErrorOf(id);
    int64_t granted = kKeyAllAccess;
    if (StepInt(Statement(kFindAccess), id, &granted) && !(granted & kDeleteRight))
        return kAccessDenied;
    {
        Use has(Statement(kHasSubkeys));
        if (!has) return kRegistryIoFailed;
        sqlite3_bind_int64(has.get(), 1, id);
        const int rc = sqlite3_step(has.get());
        if (rc == SQLITE_ROW) return kAccessDenied;
        if (rc != SQLITE_DONE) return kRegistryIoFailed;
    }
    for (Sql which : {kDeleteAccess, kDeleteKeyValues, kDeleteKeyRow}) {
        Use del(Statement(which));
        if (!del) return kRegistryIoFailed;
        sqlite3_bind_int64(del.get(), 1, id);
        if (sqlite3_step(del.get()) != SQLITE_DONE) return kRegistryIoFailed;
    }
    return txn.Commit() ? kOk : kRegistryIoFailed;
}

uint32_t RegistryStore::DeleteTree(const std::string& path) {
    if (!db_) return kInvalidHandle;
    const ParsedPath parsed = ParsePath(path);
    if (parsed.error) return parsed.error;
    if (parsed.parts.empty()) return kAccessDenied;
    if (const uint32_t fault = WriteFault(path)) return fault;
    Transaction txn(Statement(kBegin), Statement(kCommit), Statement(kRollback));
    if (!txn.ok()) return kRegistryIoFailed;
    const int64_t id = FindKeyId(path);
    if (id < 0) return ErrorOf(id);
    {
        Use denied(Statement(kTreeDenied));
        if (!denied) return kRegistryIoFailed;
        sqlite3_bind_int64(denied.get(), 1, id);
        const int rc = sqlite3_step(denied.get());
        if (rc == SQLITE_ROW) return kAccessDenied;
        if (rc != SQLITE_DONE) return kRegistryIoFailed;
    }
    // Values and rights first: the key rows are what finds them.
    for (Sql which : {kDeleteTreeAccess, kDeleteTreeValues, kDeleteTreeKeys}) {
        Use del(Statement(which));
        if (!del) return kRegistryIoFailed;
        sqlite3_bind_int64(del.get(), 1, id);
        if (sqlite3_step(del.get()) != SQLITE_DONE) return kRegistryIoFailed;
    }
    return txn.Commit() ? kOk : kRegistryIoFailed;
}

uint32_t RegistryStore::EnumKeys(const std::string& path, std::vector<std::string>& names) {
    names.clear();
    const int64_t id = FindKeyId(path);
    if (id < 0) return ErrorOf(id);
    if (id == 0) return kOk;
    Use list(Statement(kListSubkeys));
    if (!list) return kRegistryIoFailed;
    sqlite3_bind_int64(list.get(), 1, id);
    int rc;
    while ((rc = sqlite3_step(list.get())) == SQLITE_ROW) names.push_back(ColumnText(list.get(), 0));
    if (rc != SQLITE_DONE) {
        names.clear();
        return kRegistryIoFailed;
    }
    return kOk;
}

uint32_t RegistryStore::SetValue(const std::string& path, const std::string& name, uint32_t type,
                                 const std::string& data) {
    if (!db_) return kInvalidHandle;
    if (const uint32_t fault = WriteFault(path)) return fault;
    Transaction txn(Statement(kBegin), Statement(kCommit), Statement(kRollback));
    if (!txn.ok()) return kRegistryIoFailed;
    const int64_t id = EnsureKeyId(path, nullptr);
    if (id < 0) return ErrorOf(id);
    {
        Use up(Statement(kUpsertValue));
        if (!up) return kRegistryIoFailed;
        sqlite3_bind_int64(up.get(), 1, id);
        BindText(up.get(), 2, name);
        BindText(up.get(), 3, Fold(name));
        sqlite3_bind_int64(up.get(), 4, type);
        // data() is never null, so an empty value stays a zero-length blob.
        sqlite3_bind_blob(up.get(), 5, data.data(), static_cast<int>(data.size()),
                          SQLITE_TRANSIENT);
        if (sqlite3_step(up.get()) != SQLITE_DONE) return kRegistryIoFailed;
    }
    return txn.Commit() ? kOk : kRegistryIoFailed;
}

uint32_t RegistryStore::SetString(const std::string& path, const std::string& name,
                                  const std::string& text) {
    std::string data(text);
    data.push_back('\0');
    return SetValue(path, name, kRegSz, data);
}

uint32_t RegistryStore::SetDword(const std::string& path, const std::string& name,
                                 uint32_t value) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return SetValue(path, name, kRegDword, data);
}

uint32_t RegistryStore::QueryValue(const std::string& path, const std::string& name,
                                   RegValue& value) {
    const int64_t id = FindKeyId(path);
    if (id < 0) return ErrorOf(id);
    if (id == 0) return kNotFound;
    Use q(Statement(kQueryValue));
    if (!q) return kRegistryIoFailed;
    sqlite3_bind_int64(q.get(), 1, id);
    BindText(q.get(), 2, Fold(name));
    const int rc = sqlite3_step(q.get());
    if (rc == SQLITE_DONE) return kNotFound;
    if (rc != SQLITE_ROW) return kRegistryIoFailed;
    value.name = ColumnText(q.get(), 0);
    value.type = static_cast<uint32_t>(sqlite3_column_int64(q.get(), 1));
    value.data = ColumnBlob(q.get(), 2);
    return kOk;
}

uint32_t RegistryStore::QueryString(const std::string& path, const std::string& name,
                                    std::string& text) {
    RegValue v;
    const uint32_t err = QueryValue(path, name, v);
    if (err) return err;
    if (v.type != kRegSz && v.type != kRegExpandSz) return kInvalidData;
    if (!v.data.empty() && v.data.back() == '\0') v.data.pop_back();
    text = std::move(v.data);
    return kOk;
}

uint32_t RegistryStore::QueryDword(const std::string& path, const std::string& name,
                                   uint32_t& value) {
    RegValue v;
    const uint32_t err = QueryValue(path, name, v);
    if (err) return err;
    if (v.type != kRegDword || v.data.size() != 4) return kInvalidData;
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) out |= static_cast<uint32_t>(static_cast<unsigned char>(v.data[i])) << (8 * i);
    value = out;
    return kOk;
}

uint32_t RegistryStore::DeleteValue(const std::string& path, const std::string& name) {
    if (const uint32_t fault = WriteFault(path)) return fault;
    const int64_t id = FindKeyId(path);
    if (id < 0) return ErrorOf(id);
    if (id == 0) return kNotFound;
    Use del(Statement(kDeleteValue));
    if (!del) return kRegistryIoFailed;
    sqlite3_bind_int64(del.get(), 1, id);
    BindText(del.get(), 2, Fold(name));
    if (sqlite3_step(del.get()) != SQLITE_DONE) return kRegistryIoFailed;
    return sqlite3_changes(db_) > 0 ? kOk : kNotFound;
}

uint32_t RegistryStore::EnumValues(const std::string& path, std::vector<RegValue>& values) {
    values.clear();
    const int64_t id = FindKeyId(path);
    if (id < 0) return ErrorOf(id);
    if (id == 0) return kOk;
    Use list(Statement(kListValues));
    if (!list) return kRegistryIoFailed;
    sqlite3_bind_int64(list.get(), 1, id);
    int rc;
    while ((rc = sqlite3_step(list.get())) == SQLITE_ROW) {
        RegValue v;
        v.name = ColumnText(list.get(), 0);
        v.type = static_cast<uint32_t>(sqlite3_column_int64(list.get(), 1));
        v.data = ColumnBlob(list.get(), 2);
        values.push_back(std::move(v));
    }
    if (rc != SQLITE_DONE) {
        values.clear();
        return kRegistryIoFailed;
    }
    return kOk;
}

uint32_t RegistryStore::EnumKey(const std::string& path, uint32_t index, std::string& name) {
    const int64_t id = FindKeyId(path);
    if (id < 0) return ErrorOf(id);
    if (id == 0) return kNoMoreItems;
    Use nth(Statement(kNthSubkey));
    if (!nth) return kRegistryIoFailed;
    sqlite3_bind_int64(nth.get(), 1, id);
    sqlite3_bind_int64(nth.get(), 2, index);
    const int rc = sqlite3_step(nth.get());
    if (rc == SQLITE_DONE) return kNoMoreItems;
    if (rc != SQLITE_ROW) return kRegistryIoFailed;
    name = ColumnText(nth.get(), 0);
    return kOk;
}

uint32_t RegistryStore::EnumValue(const std::string& path, uint32_t index, RegValue& value) {
    const int64_t id = FindKeyId(path);
    if (id < 0) return ErrorOf(id);
    if (id == 0) return kNoMoreItems;
    Use nth(Statement(kNthValue));
    if (!nth) return kRegistryIoFailed;
    sqlite3_bind_int64(nth.get(), 1, id);
    sqlite3_bind_int64(nth.get(), 2, index);
    const int rc = sqlite3_step(nth.get());
    if (rc == SQLITE_DONE) return kNoMoreItems;
    if (rc != SQLITE_ROW) return kRegistryIoFailed;
    value.name = ColumnText(nth.get(), 0);
    value.type = static_cast<uint32_t>(sqlite3_column_int64(nth.get(), 1));
    value.data = ColumnBlob(nth.get(), 2);
    return kOk;
}

uint32_t RegistryStore::CountKey(const std::string& path, uint32_t* subKeys, uint32_t* values) {
    const int64_t id = FindKeyId(path);
    if (id < 0) return ErrorOf(id);
    int64_t keys = 0, vals = 0;
    if (id > 0 && (!StepInt(Statement(kCountSubkeys), id, &keys) ||
                   !StepInt(Statement(kCountValues), id, &vals)))
        return kRegistryIoFailed;
    if (subKeys) *subKeys = static_cast<uint32_t>(keys);
    if (values) *values = static_cast<uint32_t>(vals);
    return kOk;
}

uint32_t RegistryStore::SetKeyAccess(const std::string& path, uint32_t granted) {
    if (!db_) return kInvalidHandle;
    const ParsedPath parsed = ParsePath(path);
    if (parsed.error) return parsed.error;
    if (parsed.parts.empty()) return kAccessDenied;  // the roots' security is the system's
    const int64_t id = FindKeyId(path);
    if (id < 0) return ErrorOf(id);
    const bool full = (granted & kKeyAllAccess) == kKeyAllAccess;
    Use set(Statement(full ? kDeleteAccess : kSetAccess));
    if (!set) return kRegistryIoFailed;
    sqlite3_bind_int64(set.get(), 1, id);
    if (!full) sqlite3_bind_int64(set.get(), 2, granted);
    return sqlite3_step(set.get()) == SQLITE_DONE ? kOk : kRegistryIoFailed;
}

uint32_t RegistryStore::KeyAccess(const std::string& path, uint32_t* granted) {
    const int64_t id = FindKeyId(path);
    if (id < 0) return ErrorOf(id);
    int64_t value = kKeyAllAccess;
    if (id > 0) StepInt(Statement(kFindAccess), id, &value);
    if (granted) *granted = static_cast<uint32_t>(value);
    return kOk;
}

uint32_t RegistryStore::SetWriteFault(const std::string& path, uint32_t error) {
    if (!db_) return kInvalidHandle;
    const ParsedPath parsed = ParsePath(path);
    if (parsed.error) return parsed.error;
    const std::string folded = FoldedPath(parsed);
    sqlite3_stmt* s = nullptr;
    const char* sql = error ? "INSERT INTO write_faults(fold, error) VALUES(?1, ?2)"
                              " ON CONFLICT(fold) DO UPDATE SET error = excluded.error"
                            : "DELETE FROM write_faults WHERE fold = ?1";
    if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        return kRegistryIoFailed;
    }
    BindText(s, 1, folded);
    if (error) sqlite3_bind_int64(s, 2, error);
    const int rc = sqlite3_step(s);
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) return kRegistryIoFailed;
    LoadWriteFaults();
    return kOk;
}

void SeedRegistryFaults(RegistryStore& store, const CSectionList& ini) {
    auto number = [](const std::string& text) {
        return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 0));
    };
    if (const SECTION_LIST* s = ini.FindSection("RegistryProtected")) {
        for (const LINE_LIST* l = s->lines; l; l = l->next) {
            if (l->key.empty() || number(l->value) == 0) continue;
            if (store.CreateKey(l->key) == kOk) store.SetKeyAccess(l->key, kKeyRead);
        }
    }
    if (const SECTION_LIST* s = ini.FindSection("RegistryWriteFails")) {
        for (const LINE_LIST* l = s->lines; l; l = l->next)
            if (!l->key.empty()) store.SetWriteFault(l->key, number(l->value));
    }
}

}  // namespace sim
