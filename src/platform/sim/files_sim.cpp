// os_files.h on the simulated machine. The drives are host folders; the
// read-only attribute is the host file's owner write bit (checked here, as
// the tests may run as root); files in use and the restart-time moves live
// in registry.db, so that another process (setup-sim --restart) sees them.
#include "platform/sim/files_sim.h"

#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <mutex>

#include "platform/os.h"
#include "platform/sim/machine.h"
#include "profile/profile.h"
#include "profile/section_list.h"

namespace sim {
namespace {

std::mutex& StateLock() {
    static std::mutex lock;
    return lock;
}

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS sim_files_in_use(path TEXT PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS sim_restart_moves(seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " source TEXT NOT NULL, destination TEXT NOT NULL, replace INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS sim_files_state(name TEXT PRIMARY KEY, value TEXT);";

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A Windows path made absolute, with single backslashes.
std::string AbsolutePath(const std::string& path, const std::string& relativeTo) {
    std::string p;
    for (char c : path) {
        if (c == '/') c = '\\';
        if (c == '\\' && !p.empty() && p.back() == '\\') continue;
        p += c;
    }
    if (!(p.size() >= 2 && p[1] == ':')) {
        std::string base = relativeTo;
        if (!base.empty() && base.back() != '\\') base += '\\';
        p = !p.empty() && p[0] == '\\' ? base.substr(0, 2) + p : base + p;
    }
    if (p.size() > 3 && p.back() == '\\') p.pop_back();
    return p;
}

// A path as the in-use marks compare it.
std::string MarkKey(const std::string& path, const std::string& relativeTo) {
    return Upper(AbsolutePath(path, relativeTo));
}

bool Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Runs one statement with text parameters; rows go to onRow.
template <typename OnRow>
bool Query(sqlite3* db, const char* sql, std::initializer_list<std::string> params, OnRow onRow) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return false;
    int i = 1;
    for (const std::string& p : params)
        sqlite3_bind_text(st, i++, p.c_str(), static_cast<int>(p.size()), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) onRow(st);
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

bool Run(sqlite3* db, const char* sql, std::initializer_list<std::string> params) {
    return Query(db, sql, params, [](sqlite3_stmt*) {});
}

std::string Column(sqlite3_stmt* st, int i) {
    const unsigned char* t = sqlite3_column_text(st, i);
    return t ? reinterpret_cast<const char*>(t) : "";
}

bool ReadHost(const std::string& host, std::string& text) {
    FILE* f = std::fopen(host.c_str(), "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    text.clear();
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    return true;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\"");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\"");
    return s.substr(b, e - b + 1);
}

// The tables, and the marks of machine.ini the first time the store is used.
sqlite3* Store(Machine& machine) {
    sqlite3* db = machine.registry().db();
    if (!db) return nullptr;
    bool seeded = false;
    if (Query(db, "SELECT value FROM sim_files_state WHERE name = 'seeded'", {},
              [&](sqlite3_stmt*) { seeded = true; }))
        if (seeded) return db;
    if (!Exec(db, kSchema)) return nullptr;
    Query(db, "SELECT value FROM sim_files_state WHERE name = 'seeded'", {},
          [&](sqlite3_stmt*) { seeded = true; });
    if (seeded) return db;
    std::string text;
    ReadHost(machine.folder() + "/machine.ini", text);
    CSectionList list;
    CProfile::LoadText(text.data(), text.size(), list);
    Exec(db, "BEGIN IMMEDIATE");
    if (SECTION_LIST* s = list.FindSection("FilesInUse"))
        for (LINE_LIST* l = s->lines; l; l = l->next) {
            std::string key = Trim(l->key);
            if (key.empty() || std::strtoul(Trim(l->value).c_str(), nullptr, 0) == 0) continue;
            Run(db, "INSERT OR IGNORE INTO sim_files_in_use(path) VALUES(?)",
                {MarkKey(key, "C:\\")});
        }
    Run(db, "INSERT OR REPLACE INTO sim_files_state(name, value) VALUES('seeded', '1')", {});
    Exec(db, "COMMIT");
    return db;
}

bool InUseKey(Machine& machine, const std::string& key) {
    std::lock_guard<std::mutex> hold(StateLock());
    sqlite3* db = Store(machine);
    bool found = false;
    if (db)
        Query(db, "SELECT 1 FROM sim_files_in_use WHERE path = ?", {key},
              [&](sqlite3_stmt*) { found = true; });
    return found;
}

}  // namespace

void SetFileInUse(Machine& machine, const std::string& path, bool inUse) {
    std::lock_guard<std::mutex> hold(StateLock());
    sqlite3* db = Store(machine);
    if (!db) return;
    std::string key = MarkKey(path, "C:\\");
    if (inUse)
        Run(db, "INSERT OR IGNORE INTO sim_files_in_use(path) VALUES(?)", {key});
    else
        Run(db, "DELETE FROM sim_files_in_use WHERE path = ?", {key});
}

bool FileInUse(Machine& machine, const std::string& path) {
    return InUseKey(machine, MarkKey(path, "C:\\"));
}

std::vector<RestartOperation> PendingRestartOperations(Machine& machine) {
    std::lock_guard<std::mutex> hold(StateLock());
    std::vector<RestartOperation> ops;
    if (sqlite3* db = Store(machine))
        Query(db, "SELECT source, destination, replace FROM sim_restart_moves ORDER BY seq", {},
              [&](sqlite3_stmt* st) {
                  ops.push_back({Column(st, 0), Column(st, 1), sqlite3_column_int(st, 2) != 0});
              });
    return ops;
}

namespace {

// One move or deletion at start-up, on host paths.
std::string CarryOut(Machine& machine, const std::string& source, const std::string& destination,
                     bool replace) {
    std::string hostSource, hostDestination;
    uint32_t rc = machine.ToHostPath(source, "C:\\", hostSource);
    if (rc == 0 && !destination.empty()) rc = machine.ToHostPath(destination, "C:\\", hostDestination);
    struct stat st {};
    if (rc == 0 && ::lstat(hostSource.c_str(), &st) != 0) rc = ErrnoToWin(errno);
    if (rc == 0 && destination.empty()) {
        if ((S_ISDIR(st.st_mode) ? ::rmdir(hostSource.c_str()) : ::unlink(hostSource.c_str())) != 0)
            rc = ErrnoToWin(errno);
        if (rc == 0) return "deleted " + source;
    } else if (rc == 0) {
        struct stat dt {};
        if (::stat(hostDestination.c_str(), &dt) == 0 && (!replace || S_ISDIR(dt.st_mode)))
            rc = os::kErrAlreadyExists;
        else if (::rename(hostSource.c_str(), hostDestination.c_str()) != 0)
            rc = ErrnoToWin(errno);
        if (rc == 0) return "moved " + source + " to " + destination;
    }
    return (destination.empty() ? "could not delete " + source
                                : "could not move " + source + " to " + destination) +
           " (error " + std::to_string(rc) + ")";
}

}  // namespace

std::vector<std::string> RunRestart(Machine& machine) {
    std::vector<std::string> lines;
    for (const RestartOperation& op : PendingRestartOperations(machine))
        lines.push_back(CarryOut(machine, op.source, op.destination, op.replace));
    {
        std::lock_guard<std::mutex> hold(StateLock());
        if (sqlite3* db = Store(machine)) {
            Exec(db, "BEGIN IMMEDIATE");
            Exec(db, "DELETE FROM sim_restart_moves; DELETE FROM sim_files_in_use;");
            Exec(db, "COMMIT");
        }
    }
    // Windows 9x: WININIT.EXE works through [rename] ("destination = source",
    // NUL as destination deletes), then keeps the file as wininit.bak.
    std::string ini = machine.directories().windows + "\\wininit.ini";
    std::string host;
    std::string text;
    if (machine.ToHostPath(ini, "C:\\", host) == 0 && ReadHost(host, text)) {
        CSectionList list;
        CProfile::LoadText(text.data(), text.size(), list);
        if (SECTION_LIST* s = list.FindSection("rename"))
            for (LINE_LIST* l = s->lines; l; l = l->next) {
                std::string destination = Trim(l->key), source = Trim(l->value);
                if (source.empty()) continue;
                if (Upper(destination) == "NUL") destination.clear();
                lines.push_back(CarryOut(machine, source, destination, true));
            }
        std::string bak = host.substr(0, host.size() - 3) + "bak";
        ::rename(host.c_str(), bak.c_str());
    }
    machine.Journal("restart: " + std::to_string(lines.size()) + " scheduled operations");
    for (const std::string& line : lines) machine.Journal("restart: " + line);
    return lines;
}

}  // namespace sim

namespace os {
namespace {

sim::Process* Proc() { return sim::ActiveProcess(); }

uint32_t Host(const char* path, std::string& host, const sim::Drive** drive = nullptr) {
    return sim::HostPathOf(path, host, drive);
}

uint32_t StatError(const std::string& host, int err) { return sim::HostError(host, err); }

bool InUse(const char* path) {
    sim::Process* p = Proc();
    return p && sim::InUseKey(*p->machine, sim::MarkKey(path, p->currentDir));
}

bool ReadOnlyMode(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

uint32_t CopyData(const std::string& from, const std::string& to, mode_t mode) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return StatError(from, errno);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        uint32_t e = StatError(to, errno);
        ::close(in);
        return e;
    }
    uint32_t rc = 0;
    static thread_local char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            rc = sim::ErrnoToWin(errno);
            break;
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) {
                rc = sim::ErrnoToWin(errno);
                break;
            }
            done += w;
        }
        if (rc) break;
    }
    ::fchmod(out, mode & 0777);
    ::close(in);
    ::close(out);
    return rc;
}

// Windows wildcard match without case: * and ?; "x.*" also matches "x".
bool Match(const char* p, const char* n) {
    for (; *p; ++p, ++n) {
        if (*p == '*') {
            for (const char* rest = n;; ++rest) {
                if (Match(p + 1, rest)) return true;
                if (!*rest) return false;
            }
        }
        if (!*n) return std::strcmp(p, ".*") == 0 || std::strcmp(p, ".") == 0;
        if (*p != '?' && std::toupper(static_cast<unsigned char>(*p)) !=
                             std::toupper(static_cast<unsigned char>(*n)))
            return false;
    }
    return !*n;
}

struct FindState {
    std::vector<FindData> entries;
    size_t next = 0;
};

constexpr size_t kMaxFindName = 259;

}  // namespace

uint32_t CopyOneFile(const char* source, const char* destination, bool failIfExists) {
    std::string from, to;
    const sim::Drive* drive = nullptr;
    uint32_t rc = Host(source, from);
    if (rc == 0) rc = Host(destination, to, &drive);
    if (rc) return rc;
    struct stat ss {}, ds {};
    if (::stat(from.c_str(), &ss) != 0) return StatError(from, errno);
    if (S_ISDIR(ss.st_mode)) return kErrAccessDenied;
    bool exists = ::stat(to.c_str(), &ds) == 0;
    if (exists && ss.st_dev == ds.st_dev && ss.st_ino == ds.st_ino) return kErrSharingViolation;
    if (exists && failIfExists) return kErrFileExists;
    if (drive && drive->ReadOnly()) return kErrWriteProtect;
    if (exists && S_ISDIR(ds.st_mode)) return kErrAccessDenied;
    if (exists && InUse(destination)) return kErrSharingViolation;
    if (exists && ReadOnlyMode(ds)) return kErrAccessDenied;
    if (!exists && !sim::HostParentExists(to)) return kErrPathNotFound;
    return CopyData(from, to, ss.st_mode);
}

uint32_t MoveOneFile(const char* source, const char* destination, uint32_t flags) {
    sim::Process* p = Proc();
    if (!p) return kErrInvalidHandle;
    sim::Machine& m = *p->machine;
    if (m.version().platformId != 2 || m.FunctionMissing("MoveFileExA"))
        return kErrCallNotImplemented;
    if (!source || !*source) return kErrPathNotFound;
    if (flags & kMoveDelayUntilReboot) {
        // Only an administrator may change what the system does at start.
        if (!m.administrator()) return kErrAccessDenied;
        std::string from = sim::AbsolutePath(source, p->currentDir);
        std::string to =
            destination && *destination ? sim::AbsolutePath(destination, p->currentDir) : "";
        {
            std::lock_guard<std::mutex> hold(sim::StateLock());
            sqlite3* db = sim::Store(m);
            if (!db || !sim::Run(db,
                                 "INSERT INTO sim_restart_moves(source, destination, replace) "
                                 "VALUES(?, ?, ?)",
                                 {from, to, (flags & kMoveReplaceExisting) ? "1" : "0"}))
                return kErrAccessDenied;
        }
        m.Journal(to.empty() ? "at restart: delete " + from
                             : "at restart: move " + from + " to " + to);
        return 0;
    }
    if (!destination || !*destination) return kErrInvalidParameter;
    std::string from, to;
    const sim::Drive *fromDrive = nullptr, *toDrive = nullptr;
    uint32_t rc = Host(source, from, &fromDrive);
    if (rc == 0) rc = Host(destination, to, &toDrive);
    if (rc) return rc;
    struct stat ss {}, ds {};
    if (::stat(from.c_str(), &ss) != 0) return StatError(from, errno);
    if ((fromDrive && fromDrive->ReadOnly()) || (toDrive && toDrive->ReadOnly()))
        return kErrAccessDenied;
    bool exists = ::stat(to.c_str(), &ds) == 0;
    bool same = exists && ss.st_dev == ds.st_dev && ss.st_ino == ds.st_ino;
    if (exists && !same) {
        if (!(flags & kMoveReplaceExisting)) return kErrAlreadyExists;
        if (S_ISDIR(ds.st_mode) || ReadOnlyMode(ds) || InUse(destination)) return kErrAccessDenied;
    }
    if (!exists && !sim::HostParentExists(to)) return kErrPathNotFound;
    bool inUse = InUse(source);
    if (fromDrive != toDrive) {
        if (!(flags & kMoveCopyAllowed) || S_ISDIR(ss.st_mode)) return kErrNotSameDevice;
        if (inUse) return kErrSharingViolation;
        rc = CopyData(from, to, ss.st_mode);
        if (rc) return rc;
        if (::unlink(from.c_str()) != 0) return StatError(from, errno);
        return 0;
    }
    if (::rename(from.c_str(), to.c_str()) != 0) return StatError(to, errno);
    if (inUse) {
        sim::SetFileInUse(m, sim::MarkKey(source, p->currentDir), false);
        sim::SetFileInUse(m, sim::MarkKey(destination, p->currentDir), true);
    }
    return 0;
}

uint32_t RemoveFile(const char* path) {
    std::string host;
    const sim::Drive* drive = nullptr;
    uint32_t rc = Host(path, host, &drive);
    if (rc) return rc;
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return StatError(host, errno);
    if (S_ISDIR(st.st_mode) || (drive && drive->ReadOnly()) || ReadOnlyMode(st) || InUse(path))
        return kErrAccessDenied;
    if (::unlink(host.c_str()) != 0) return StatError(host, errno);
    return 0;
}

uint32_t GetAttributes(const char* path, uint32_t* attributes) {
    if (attributes) *attributes = kAttrInvalid;
    std::string host;
    const sim::Drive* drive = nullptr;
    uint32_t rc = Host(path, host, &drive);
    if (rc) return rc;
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return StatError(host, errno);
    uint32_t a = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
    if (!S_ISDIR(st.st_mode) && (ReadOnlyMode(st) || (drive && drive->ReadOnly())))
        a |= kAttrReadOnly;
    if (attributes) *attributes = a;
    return 0;
}

uint32_t SetAttributes(const char* path, uint32_t attributes) {
    std::string host;
    const sim::Drive* drive = nullptr;
    uint32_t rc = Host(path, host, &drive);
    if (rc) return rc;
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return StatError(host, errno);
    if (drive && drive->ReadOnly()) return kErrWriteProtect;
    if (S_ISDIR(st.st_mode)) return 0;  // a folder's read-only bit changes nothing here
    mode_t mode = st.st_mode & 0777;
    mode = (attributes & kAttrReadOnly) ? (mode & ~0222) : (mode | S_IWUSR);
    if (::chmod(host.c_str(), mode) != 0) return StatError(host, errno);
    return 0;
}

uint32_t FindFirst(const char* pattern, Handle* find, FindData* data) {
    if (find) *find = nullptr;
    if (!find || !data || !pattern || !*pattern) return kErrInvalidParameter;
    std::string pat = pattern;
    for (char& c : pat)
        if (c == '/') c = '\\';
    size_t slash = pat.rfind('\\');
    std::string folder = slash == std::string::npos ? "" : pat.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? pat : pat.substr(slash + 1);
    if (folder.empty() && pat.size() >= 2 && pat[1] == ':') {
        folder = pat.substr(0, 2);
        mask = pat.substr(2);
    }
    if (mask.empty()) return kErrFileNotFound;
    std::string host;
    uint32_t rc = Host(folder.empty() ? "." : folder.c_str(), host);
    if (rc) return rc;
    DIR* dir = ::opendir(host.c_str());
    if (!dir) return errno == ENOTDIR ? kErrPathNotFound : StatError(host + "/x", errno);
    auto* state = new FindState();
    std::string winFolder = sim::MarkKey(folder.empty() ? "." : folder, Proc()->currentDir);
    bool root = winFolder.size() <= 3;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == ".." || name.size() > kMaxFindName) continue;
        if (!Match(mask.c_str(), name.c_str())) continue;
        struct stat st {};
        if (::stat((host + "/" + name).c_str(), &st) != 0) continue;
        FindData d;
        d.name = name;
        d.attributes = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
        if (!S_ISDIR(st.st_mode)) {
            d.size = static_cast<uint64_t>(st.st_size);
            if (ReadOnlyMode(st)) d.attributes |= kAttrReadOnly;
        }
        state->entries.push_back(d);
    }
    ::closedir(dir);
    std::sort(state->entries.begin(), state->entries.end(),
              [](const FindData& a, const FindData& b) {
                  return sim::Upper(a.name) < sim::Upper(b.name);
              });
    if (!root) {
        for (const char* dots : {"..", "."})
            if (Match(mask.c_str(), dots)) {
                FindData d;
                d.name = dots;
                d.attributes = kAttrDirectory;
                state->entries.insert(state->entries.begin(), d);
            }
    }
    if (state->entries.empty()) {
        delete state;
        return kErrFileNotFound;
    }
    *data = state->entries[0];
    state->next = 1;
    *find = state;
    return 0;
}

uint32_t FindNext(Handle find, FindData* data) {
    auto* state = static_cast<FindState*>(find);
    if (!state || !data) return kErrInvalidHandle;
    if (state->next >= state->entries.size()) return kErrNoMoreFiles;
    *data = state->entries[state->next++];
    return 0;
}

void FindEnd(Handle find) { delete static_cast<FindState*>(find); }

uint32_t RemoveFolder(const char* path) {
    std::string host;
    const sim::Drive* drive = nullptr;
    uint32_t rc = Host(path, host, &drive);
    if (rc) return rc;
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return StatError(host, errno);
    if (!S_ISDIR(st.st_mode)) return kErrDirectoryName;
    if (drive && drive->ReadOnly()) return kErrWriteProtect;
    if (::rmdir(host.c_str()) != 0) return errno == EEXIST ? kErrDirNotEmpty : StatError(host, errno);
    return 0;
}

uint32_t MakeTempFileName(const char* folder, const char* prefix, std::string& path) {
    std::string dir = folder ? folder : "";
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
    std::string host;
    const sim::Drive* drive = nullptr;
    uint32_t rc = Host(dir.empty() ? "." : dir.c_str(), host, &drive);
    if (rc) return rc;
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kErrDirectoryName;
    if (drive && drive->ReadOnly()) return kErrWriteProtect;
    std::string pre = std::string(prefix ? prefix : "").substr(0, 3);
    for (unsigned unique = 1; unique <= 0xFFFF; ++unique) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", unique);
        std::string name = pre + hex + ".tmp";
        int fd = ::open((host + "/" + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            path = dir + name;
            return 0;
        }
        if (errno != EEXIST) return sim::ErrnoToWin(errno);
    }
    return kErrFileExists;
}

uint32_t GetShortName(const char* path, std::string& shortPath) {
    // The simulated drives keep no 8.3 names: the long name is the answer,
    // as on a volume with short names switched off.
    std::string host;
    uint32_t rc = Host(path, host);
    if (rc) return rc;
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0) return StatError(host, errno);
    shortPath = path;
    return 0;
}

}  // namespace os
