// The uninstall history on a simulated machine: numbered lists, merging a
// run's history into the installed one, undoing a history entry by entry,
// the failure list, and the records a finished run keeps.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "command/cmd_operator.h"
#include "command/registry.h"
#include "install/history.h"
#include "platform/os.h"
#include "platform/sim/files_sim.h"
#include "platform/sim/library_sim.h"
#include "sim_fixture.h"

namespace {

using testsupport::SimMachine;
using testsupport::WithKey;
using testsupport::WriteHost;

const std::string kInstalling = "Software\\Veltrix\\Test\\Installing";
const std::string kInstallingHistory = kInstalling + "\\InstHistory";
const std::string kInstalled = "Software\\Veltrix\\Test\\Installed";
const std::string kInstalledHistory = kInstalled + "\\InstHistory";
const std::string kUninstallInfo = "Software\\Veltrix\\Test\\UninstallInfo";

struct Kind {
    HistoryKind kind;
    const char* count;
    const char* entry;
};
const Kind kKinds[] = {
    {HistoryKind::Value, "NumOfValues", "Value"},
    {HistoryKind::Key, "NumOfKeys", "Key"},
    {HistoryKind::File, "NumOfFiles", "File"},
    {HistoryKind::Directory, "NumOfDirs", "Dir"},
    {HistoryKind::DestDirectory, "NumOfDestDirs", "DestDir"},
    {HistoryKind::Shortcut, "NumOfShortcuts", "Shortcut"},
};
const Kind& Of(HistoryKind kind) {
    for (const Kind& k : kKinds)
        if (k.kind == kind) return k;
    return kKinds[0];
}

// SetupUninstallOEMInfA and GetLastError as a test offers them to the
// simulated system: every call is kept; "bad.inf" fails with error 2.
std::vector<std::string> g_oemCalls;
uint32_t g_lastError = 0;
int FakeUninstallOemInf(const char* name, uint32_t flags, void* reserved) {
    g_oemCalls.push_back(std::string(name) + "|" + std::to_string(flags) +
                         (reserved ? "|reserved" : ""));
    if (std::strcmp(name, "bad.inf") == 0) {
        g_lastError = 2;
        return 0;
    }
    return 1;
}
uint32_t FakeGetLastError() { return g_lastError; }

// A machine and an application whose registry keys are those above.
class HistoryTest : public ::testing::Test {
protected:
    explicit HistoryTest(const std::string& ini = std::string()) : m(ini) {
        CRegistryKeys& keys = app.global().registryKeys;
        keys.installing = kInstalling;
        keys.installingHistory = kInstallingHistory;
        keys.installed = kInstalled;
        keys.installedHistory = kInstalledHistory;
        keys.uninstallInfo = kUninstallInfo;
        g_oemCalls.clear();
        sim::AddSystemFunction("setupapi.dll", "SetupUninstallOEMInfA",
                               reinterpret_cast<SimSystemProc>(&FakeUninstallOemInf));
        sim::AddSystemFunction("kernel32.dll", "GetLastError",
                               reinterpret_cast<SimSystemProc>(&FakeGetLastError));
    }

    void Put(const std::string& winPath, const std::string& text = "x") {
        std::string host = m.Host(winPath);
        for (size_t i = 1; i < host.size(); ++i)
            if (host[i] == '/') ::mkdir(host.substr(0, i).c_str(), 0755);
        WriteHost(host, text);
    }
    void Folder(const std::string& winPath) {
        std::string host = m.Host(winPath) + "/";
        for (size_t i = 1; i < host.size(); ++i)
            if (host[i] == '/') ::mkdir(host.substr(0, i).c_str(), 0755);
    }
    bool Exists(const std::string& winPath) {
        return os::FileExists(winPath.c_str()) || os::DirectoryExists(winPath.c_str());
    }
    static bool KeyExists(const std::string& key, os::RegKey root = os::kHKLM) {
        os::RegKey k = nullptr;
        if (os::OpenRegKey(root, key.c_str(), os::kKeyRead, &k) != 0) return false;
        os::CloseRegKey(k);
        return true;
    }
    static bool ValueExists(const std::string& key, const char* name,
                            os::RegKey root = os::kHKLM) {
        std::string text;
        return CRegistry::GetValue(key.c_str(), name, text, root) == 0;
    }
    static std::vector<std::string> Entries(const std::string& key, HistoryKind kind) {
        const Kind& k = Of(kind);
        uint32_t n = 0;
        CRegistry::GetValue(key.c_str(), k.count, &n, os::kHKLM);
        std::vector<std::string> list;
        for (uint32_t i = 0; i < n; ++i) {
            std::string text;
            CRegistry::GetValue(key.c_str(), (k.entry + std::to_string(i)).c_str(), text,
                                os::kHKLM);
            list.push_back(text);
        }
        return list;
    }
    // Value names of a key in the order they were created.
    static std::vector<std::string> ValueNames(const std::string& key) {
        std::vector<std::string> names;
        os::RegKey k = nullptr;
        if (os::OpenRegKey(os::kHKLM, key.c_str(), os::kKeyRead, &k) != 0) return names;
        for (uint32_t i = 0;; ++i) {
            char name[300];
            uint32_t size = sizeof name;
            if (os::EnumRegValue(k, i, name, &size, nullptr, nullptr, nullptr) != 0) break;
            names.emplace_back(name, size);
        }
        os::CloseRegKey(k);
        return names;
    }
    void Add(const std::string& key, HistoryKind kind, const std::vector<std::string>& list) {
        for (const std::string& e : list) ASSERT_TRUE(AddHistoryEntry(e, kind, key));
    }
    std::string LogText() {
        std::string text;
        os::ReadWholeFile(app.log().FileName().c_str(), text);
        return text;
    }

    SimMachine m;
    CInstallerApp app;
};

class HistoryUndoWithoutSetupApiTest : public HistoryTest {
protected:
    HistoryUndoWithoutSetupApiTest()
        : HistoryTest(WithKey(sim::Machine::DefaultIni(), "MissingFunctions",
                              "SetupUninstallOEMInfA", "1")) {}
};

// --- the lists -----------------------------------------------------------------

TEST_F(HistoryTest, EachKindIsANumberedListOfItsOwn) {
    for (const Kind& k : kKinds) {
        Add(kInstallingHistory, k.kind, {std::string("first ") + k.entry, "second"});
        uint32_t count = 0;
        ASSERT_EQ(0u, CRegistry::GetValue(kInstallingHistory.c_str(), k.count, &count, os::kHKLM));
        EXPECT_EQ(2u, count) << k.count;
        std::string first, second;
        CRegistry::GetValue(kInstallingHistory.c_str(), (std::string(k.entry) + "0").c_str(), first,
                            os::kHKLM);
        CRegistry::GetValue(kInstallingHistory.c_str(), (std::string(k.entry) + "1").c_str(),
                            second, os::kHKLM);
        EXPECT_EQ(std::string("first ") + k.entry, first);
        EXPECT_EQ("second", second);
    }
    EXPECT_EQ(18u, ValueNames(kInstallingHistory).size());
}

// --- merging -----------------------------------------------------------------------

TEST_F(HistoryTest, MergeAppendsListByListAndRemovesTheSourceAndItsEmptiedParents) {
    Add(kInstalledHistory, HistoryKind::File, {"C:\\Old\\a.dll"});
    Add(kInstalledHistory, HistoryKind::Key, {"HKEY_LOCAL_MACHINE\\Software\\Old"});
    // Added in another order than the merge takes the lists.
    Add(kInstallingHistory, HistoryKind::Shortcut, {"C:\\Menu\\A.lnk"});
    Add(kInstallingHistory, HistoryKind::File, {"C:\\New\\b.dll", "C:\\New\\c.dll"});
    Add(kInstallingHistory, HistoryKind::Value, {"HKEY_CURRENT_USER\\Software\\New\\Name"});
    Add(kInstallingHistory, HistoryKind::DestDirectory, {"C:\\New"});
    Add(kInstallingHistory, HistoryKind::Directory, {"C:\\New\\"});
    Add(kInstallingHistory, HistoryKind::Key, {"HKEY_LOCAL_MACHINE\\Software\\New"});

    ASSERT_TRUE(MergeHistory(kInstallingHistory, kInstalledHistory));

    EXPECT_EQ((std::vector<std::string>{"C:\\Old\\a.dll", "C:\\New\\b.dll", "C:\\New\\c.dll"}),
              Entries(kInstalledHistory, HistoryKind::File));
    EXPECT_EQ((std::vector<std::string>{"HKEY_LOCAL_MACHINE\\Software\\Old",
                                        "HKEY_LOCAL_MACHINE\\Software\\New"}),
              Entries(kInstalledHistory, HistoryKind::Key));
    EXPECT_EQ((std::vector<std::string>{"C:\\Menu\\A.lnk"}),
              Entries(kInstalledHistory, HistoryKind::Shortcut));
    // New values are created in the order the entries were appended.
    EXPECT_EQ((std::vector<std::string>{"File0", "NumOfFiles", "Key0", "NumOfKeys", "Value0",
                                        "NumOfValues", "Key1", "File1", "File2", "Dir0",
                                        "NumOfDirs", "DestDir0", "NumOfDestDirs", "Shortcut0",
                                        "NumOfShortcuts"}),
              ValueNames(kInstalledHistory));
    // Installing held nothing else, so it went with its history.
    EXPECT_FALSE(KeyExists(kInstalling));
    EXPECT_TRUE(KeyExists("Software\\Veltrix\\Test"));
}

TEST_F(HistoryTest, MergeCopiesOnlyListsWithACountAndPassesOverGaps) {
    CRegistry::SetValue(kInstalling.c_str(), "Dest_Dir", "C:\\App", os::kHKLM);
    const char* h = kInstallingHistory.c_str();
    CRegistry::SetValue(h, "NumOfFiles", 3u, os::kHKLM);
    CRegistry::SetValue(h, "File0", "C:\\a", os::kHKLM);
    CRegistry::SetValue(h, "File2", "C:\\c", os::kHKLM);
    CRegistry::SetValue(h, "Dir0", "C:\\NoCount\\", os::kHKLM);  // no NumOfDirs
    CRegistry::SetValue(h, "NumOfKeys", "2", os::kHKLM);         // a count of the wrong type
    CRegistry::SetValue(h, "Key0", "HKEY_LOCAL_MACHINE\\Software\\X", os::kHKLM);

    ASSERT_TRUE(MergeHistory(kInstallingHistory, kInstalledHistory));
    EXPECT_EQ((std::vector<std::string>{"C:\\a", "C:\\c"}),
              Entries(kInstalledHistory, HistoryKind::File));
    EXPECT_EQ((std::vector<std::string>{"File0", "NumOfFiles", "File1"}),
              ValueNames(kInstalledHistory));
    EXPECT_FALSE(KeyExists(kInstallingHistory));
    EXPECT_TRUE(ValueExists(kInstalling, "Dest_Dir"));  // a parent that is not empty stays

    EXPECT_FALSE(MergeHistory(kInstallingHistory, kInstalledHistory));  // no source any more
    EXPECT_FALSE(MergeHistory("", kInstalledHistory));
    EXPECT_FALSE(MergeHistory(kInstalledHistory, ""));
    EXPECT_EQ(2u, Entries(kInstalledHistory, HistoryKind::File).size());
}

// --- undoing ------------------------------------------------------------------------

TEST_F(HistoryTest, UndoTakesBackEveryKindAndDeletesTheHistory) {
    CRegistry::SetValue("Software\\Vendor\\App", "Name", "x", os::kHKLM);
    CRegistry::SetValue("Software\\Vendor\\App", "Other", "keep", os::kHKLM);
    CRegistry::SetValue("Software\\Vendor\\User", "Name", "x", os::kHKCU);
    CRegistry::SetValue("Software\\Vendor\\Tree\\Leaf", "Name", "x", os::kHKLM);
    Put("C:\\Program Files\\Vendor\\App\\bin\\app.exe");
    Put("C:\\Program Files\\Vendor\\App\\readme.txt");
    Put("C:\\Program Files\\Common Files\\shared.dll");
    Put("C:\\Windows\\app.dll");
    Folder("C:\\Data\\Sub");
    Put("C:\\Shared\\user.txt");
    Put("C:\\Menu\\Vendor\\App\\App.lnk");
    Put("C:\\Menu\\Vendor\\Other.lnk");
    Add(kInstalledHistory, HistoryKind::Value,
        {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\Name",
         "hkey_current_user\\Software\\Vendor\\User\\Name"});
    // Parent first, as a run creates them: the child goes first.
    Add(kInstalledHistory, HistoryKind::Key,
        {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Tree",
         "HKEY_LOCAL_MACHINE\\Software\\Vendor\\Tree\\Leaf"});
    Add(kInstalledHistory, HistoryKind::File, {"C:\\Windows\\app.dll"});
    Add(kInstalledHistory, HistoryKind::DestDirectory, {"C:\\Program Files\\Vendor\\App"});
    Add(kInstalledHistory, HistoryKind::Directory, {"C:\\Data\\", "C:\\Data\\Sub\\", "C:\\Shared\\"});
    Add(kInstalledHistory, HistoryKind::Shortcut, {"C:\\Menu\\Vendor\\App\\App.lnk"});

    EXPECT_TRUE(UndoHistory(kInstalledHistory, false));

    EXPECT_FALSE(ValueExists("Software\\Vendor\\App", "Name"));
    EXPECT_TRUE(ValueExists("Software\\Vendor\\App", "Other"));
    EXPECT_FALSE(ValueExists("Software\\Vendor\\User", "Name", os::kHKCU));
    EXPECT_FALSE(KeyExists("Software\\Vendor\\Tree"));
    EXPECT_TRUE(KeyExists("Software\\Vendor"));  // a key alone: its parents stay
    struct Row {
        const char* path;
        bool exists;
    } rows[] = {
        {"C:\\Windows\\app.dll", false},
        {"C:\\Program Files\\Vendor", false},  // left empty
        {"C:\\Program Files\\Common Files\\shared.dll", true},
        {"C:\\Data", false},
        {"C:\\Shared\\user.txt", true},  // a folder that is not empty stays
        {"C:\\Menu\\Vendor\\App", false},
        {"C:\\Menu\\Vendor\\Other.lnk", true},
        {"D:\\Setup.exe", false},  // never there: removeOwnProgram was not asked
    };
    for (const Row& r : rows) EXPECT_EQ(r.exists, Exists(r.path)) << r.path;
    EXPECT_FALSE(KeyExists(kInstalledHistory));
    EXPECT_FALSE(KeyExists(kInstalled));
    EXPECT_FALSE(UndoHistory("", false));
}

TEST_F(HistoryTest, UndoPassesOverEntriesItCannotUse) {
    struct Row {
        const char* key;
        const char* value;  // null: the key itself
        os::RegKey root;
        bool stays;
    } rows[] = {
        {"Software\\Vendor\\A", "Name", os::kHKLM, false},
        {"Software\\Vendor\\B", "Name", os::kHKLM, true},      // value of an unknown root
        {"Software\\Vendor\\Gone", nullptr, os::kHKLM, false},  // key of an unknown root: HKLM
        {"Software\\Vendor\\Parent", nullptr, os::kHKLM, true},  // has a subkey (NT)
        {"Software\\Vendor\\Parent\\Child", nullptr, os::kHKLM, true},
        {"Software\\Users\\Mine", nullptr, os::kHKU, false},
    };
    for (const Row& r : rows) CRegistry::SetValue(r.key, "Name", "x", r.root);
    Add(kInstalledHistory, HistoryKind::Value,
        {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\A\\Name", "HKEY_BOGUS\\Software\\Vendor\\B\\Name",
         "NoBackslash", "HKEY_LOCAL_MACHINE\\Name"});
    Add(kInstalledHistory, HistoryKind::Key,
        {"HKEY_BOGUS\\Software\\Vendor\\Gone", "HKEY_LOCAL_MACHINE\\Software\\Vendor\\Parent",
         "NoBackslash", "HKEY_USERS\\Software\\Users\\Mine"});
    // File1 is missing: the entries on both sides of the gap are undone.
    Put("C:\\a.txt");
    Put("C:\\c.txt");
    const char* h = kInstalledHistory.c_str();
    CRegistry::SetValue(h, "NumOfFiles", 3u, os::kHKLM);
    CRegistry::SetValue(h, "File0", "C:\\a.txt", os::kHKLM);
    CRegistry::SetValue(h, "File2", "C:\\c.txt", os::kHKLM);

    EXPECT_TRUE(UndoHistory(kInstalledHistory, false));
    for (const Row& r : rows) {
        if (r.value)
            EXPECT_EQ(r.stays, ValueExists(r.key, r.value, r.root)) << r.key;
        else
            EXPECT_EQ(r.stays, KeyExists(r.key, r.root)) << r.key;
    }
    EXPECT_FALSE(Exists("C:\\a.txt"));
    EXPECT_FALSE(Exists("C:\\c.txt"));
}

TEST_F(HistoryTest, FileInUseGoesAtRestartAndTheUndoGoesOn) {
    Put("C:\\App\\first.dll", "first");
    Put("C:\\App\\busy.dll", "busy");
    Put("C:\\App\\last.dll", "last");
    sim::SetFileInUse(m.machine(), "C:\\App\\busy.dll", true);
    Add(kInstalledHistory, HistoryKind::File,
        {"C:\\App\\first.dll", "C:\\App\\busy.dll", "C:\\App\\last.dll"});
    Add(kInstalledHistory, HistoryKind::Directory, {"C:\\App\\"});

    EXPECT_TRUE(UndoHistory(kInstalledHistory, false));
    for (const char* path : {"C:\\App\\first.dll", "C:\\App\\busy.dll", "C:\\App\\last.dll"})
        EXPECT_FALSE(Exists(path)) << path;
    EXPECT_FALSE(Exists("C:\\App"));
    std::vector<sim::RestartOperation> ops = sim::PendingRestartOperations(m.machine());
    ASSERT_EQ(1u, ops.size());
    EXPECT_TRUE(ops[0].destination.empty());  // deleted at the restart
    std::string moved;
    EXPECT_EQ(0u, os::ReadWholeFile(ops[0].source.c_str(), moved));
    EXPECT_EQ("busy", moved);
}

TEST_F(HistoryTest, OwnProgramIsRemovedOnlyWhenAsked) {
    struct Row {
        bool remove;
        bool inUse;
        bool exists;
        size_t scheduled;
    } rows[] = {{false, false, true, 0}, {true, false, false, 0}, {true, true, false, 1}};
    const std::string self = "C:\\Program Files\\Vendor\\Uninst.exe";
    m.process().exePath = self;
    for (const Row& r : rows) {
        Put(self);
        sim::SetFileInUse(m.machine(), self, r.inUse);
        const size_t before = sim::PendingRestartOperations(m.machine()).size();
        Add(kInstalledHistory, HistoryKind::Key, {"HKEY_LOCAL_MACHINE\\Software\\Nothing"});
        EXPECT_TRUE(UndoHistory(kInstalledHistory, r.remove));
        EXPECT_EQ(r.exists, Exists(self)) << r.remove << r.inUse;
        EXPECT_EQ(r.scheduled, sim::PendingRestartOperations(m.machine()).size() - before)
            << r.remove << r.inUse;
        sim::SetFileInUse(m.machine(), self, false);
    }
}

TEST_F(HistoryTest, InfFilesLoseTheirDriverPackageFirst) {
    Put("C:\\WINDOWS\\inf\\oem7.inf");
    Put("C:\\WINDOWS\\inf\\BAD.INF");
    Put("C:\\WINDOWS\\inf\\bad.inf.txt");
    Add(kInstalledHistory, HistoryKind::File,
        {"C:\\WINDOWS\\inf\\oem7.inf", "C:\\WINDOWS\\inf\\bad.inf.txt", "C:\\WINDOWS\\inf\\BAD.INF"});
    CHistoryUndo undo;
    EXPECT_TRUE(undo.CanUninstallOemInf());
    g_lastError = 0;
    EXPECT_TRUE(undo.Undo(kInstalledHistory, false));

    // Last entry first; the bare file name, SUOI_FORCEDELETE, nothing reserved.
    EXPECT_EQ((std::vector<std::string>{"BAD.INF|1", "oem7.inf|1"}), g_oemCalls);
    for (const char* path : {"C:\\WINDOWS\\inf\\oem7.inf", "C:\\WINDOWS\\inf\\BAD.INF",
                             "C:\\WINDOWS\\inf\\bad.inf.txt"})
        EXPECT_FALSE(Exists(path)) << path;
    const std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("C:\\WINDOWS\\inf\\oem7.inf file uninstalled\r\n"));
    EXPECT_NE(std::string::npos, log.find("C:\\WINDOWS\\inf\\BAD.INF file uninstalled\r\n"));
    EXPECT_EQ(std::string::npos, log.find("bad.inf.txt"));
}

TEST_F(HistoryTest, FailedDriverPackageRemovalIsLoggedWithTheSystemError) {
    Put("C:\\WINDOWS\\inf\\bad.inf");
    Add(kInstalledHistory, HistoryKind::File, {"C:\\WINDOWS\\inf\\bad.inf"});
    EXPECT_TRUE(UndoHistory(kInstalledHistory, false));
    EXPECT_EQ((std::vector<std::string>{"bad.inf|1"}), g_oemCalls);
    EXPECT_FALSE(Exists("C:\\WINDOWS\\inf\\bad.inf"));
    const std::string log = LogText();
    const size_t line = log.find("]  C:\\WINDOWS\\inf\\bad.inf\r\n");
    ASSERT_NE(std::string::npos, line) << log;
    EXPECT_NE(std::string::npos, log.find("Error Code = 2 :", line)) << log;
}

TEST_F(HistoryUndoWithoutSetupApiTest, InfFilesAreOnlyDeleted) {
    Put("C:\\WINDOWS\\inf\\oem7.inf");
    Add(kInstalledHistory, HistoryKind::File, {"C:\\WINDOWS\\inf\\oem7.inf"});
    CHistoryUndo undo;
    EXPECT_FALSE(undo.CanUninstallOemInf());
    EXPECT_TRUE(undo.Undo(kInstalledHistory, false));
    EXPECT_TRUE(g_oemCalls.empty());
    EXPECT_FALSE(Exists("C:\\WINDOWS\\inf\\oem7.inf"));
    EXPECT_EQ(std::string::npos, LogText().find("oem7.inf"));
}

// A run's history merged into an installed history of the same size, then
// the result undone.
TEST_F(HistoryTest, VolumeOfEntriesMergedAndUndoneLeavesNothingBehind) {
    // Entries of each kind in each history; every one is a store transaction or more.
    constexpr int kEach = 250;
    sim::RegistryStore& store = m.machine().registry();
    const std::string drive = m.Host("C:\\");
    for (const char* folder : {"/Vol", "/Vol/Files", "/Vol/Dirs", "/Vol/Dest", "/Vol/Menu"})
        ::mkdir((drive + folder).c_str(), 0755);
    auto text = [](HistoryKind kind, int i) {
        const std::string n = std::to_string(i);
        switch (kind) {
        case HistoryKind::Value: return "HKEY_LOCAL_MACHINE\\Software\\VolApp\\K" + n + "\\V";
        case HistoryKind::Key: return "HKEY_LOCAL_MACHINE\\Software\\VolApp\\K" + n;
        case HistoryKind::File: return "C:\\Vol\\Files\\f" + n + ".dll";
        case HistoryKind::Directory: return "C:\\Vol\\Dirs\\d" + n + "\\";
        case HistoryKind::DestDirectory: return "C:\\Vol\\Dest\\p" + n;
        case HistoryKind::Shortcut: return "C:\\Vol\\Menu\\s" + n + "\\App.lnk";
        }
        return std::string();
    };
    for (int i = 0; i < 2 * kEach; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_EQ(0u, store.SetString("HKLM\\Software\\VolApp\\K" + n, "V", "x"));
        WriteHost(drive + "/Vol/Files/f" + n + ".dll", "dll");
        ::mkdir((drive + "/Vol/Dirs/d" + n).c_str(), 0755);
        ::mkdir((drive + "/Vol/Dest/p" + n).c_str(), 0755);
        WriteHost(drive + "/Vol/Dest/p" + n + "/readme.txt", "doc");
        ::mkdir((drive + "/Vol/Menu/s" + n).c_str(), 0755);
        WriteHost(drive + "/Vol/Menu/s" + n + "/App.lnk", "lnk");
    }
    // The installed half straight into the store; the run's half as a run adds it.
    for (const Kind& k : kKinds) {
        for (int i = 0; i < kEach; ++i)
            ASSERT_EQ(0u, store.SetString("HKLM\\" + kInstalledHistory,
                                          k.entry + std::to_string(i), text(k.kind, kEach + i)));
        ASSERT_EQ(0u, store.SetDword("HKLM\\" + kInstalledHistory, k.count, kEach));
    }
    for (const Kind& k : kKinds)
        for (int i = 0; i < kEach; ++i)
            ASSERT_TRUE(AddHistoryEntry(text(k.kind, i), k.kind, kInstallingHistory));

    ASSERT_TRUE(MergeHistory(kInstallingHistory, kInstalledHistory));
    for (const Kind& k : kKinds) {
        uint32_t count = 0;
        CRegistry::GetValue(kInstalledHistory.c_str(), k.count, &count, os::kHKLM);
        EXPECT_EQ(2u * kEach, count) << k.count;
        std::string last;
        CRegistry::GetValue(kInstalledHistory.c_str(),
                            (k.entry + std::to_string(2 * kEach - 1)).c_str(), last, os::kHKLM);
        EXPECT_EQ(text(k.kind, kEach - 1), last) << k.entry;
    }
    ASSERT_TRUE(UndoHistory(kInstalledHistory, false));

    EXPECT_FALSE(KeyExists(kInstalledHistory));
    EXPECT_FALSE(KeyExists(kInstallingHistory));
    uint32_t keysLeft = 0;
    store.CountKey("HKLM\\Software\\VolApp", &keysLeft, nullptr);
    EXPECT_EQ(0u, keysLeft);
    for (const char* folder : {"Files", "Dirs", "Dest", "Menu"}) {
        os::Handle find = nullptr;
        os::FindData data;
        std::vector<std::string> left;
        const std::string pattern = std::string("C:\\Vol\\") + folder + "\\*.*";
        if (os::FindFirst(pattern.c_str(), &find, &data) == 0) {
            do {
                if (data.name != "." && data.name != "..") left.push_back(data.name);
            } while (os::FindNext(find, &data) == 0);
            os::FindEnd(find);
        }
        EXPECT_TRUE(left.empty()) << folder << ": " << left.size() << " left, " << left[0];
    }
}

// --- the failure list ------------------------------------------------------------

TEST_F(HistoryTest, FailuresAreNumberedSectionNamesBelowTheInstallingKey) {
    EXPECT_EQ(0u, GetFailureCount());
    ASSERT_TRUE(RecordFailure("Driver"));
    ASSERT_TRUE(RecordFailure("Utility"));
    EXPECT_EQ(2u, GetFailureCount());
    const std::string key = kInstalling + "\\InstallFail";
    EXPECT_EQ((std::vector<std::string>{"0", "Count", "1"}), ValueNames(key));
    std::string second;
    CRegistry::GetValue(key.c_str(), "1", second, os::kHKLM);
    EXPECT_EQ("Utility", second);

    std::vector<std::string> asked;
    auto names = [&](const std::string& section) {
        asked.push_back(section);
        // The item list compares section names without case.
        std::string folded = section;
        std::transform(folded.begin(), folded.end(), folded.begin(), ::toupper);
        return folded == "DRIVER" ? std::string("Printer driver") : std::string();
    };
    EXPECT_EQ("Printer driver", GetFailedItemName(0, names));
    EXPECT_EQ("", GetFailedItemName(1, names));  // no such item
    EXPECT_EQ("", GetFailedItemName(2, names));  // no such entry
    EXPECT_EQ((std::vector<std::string>{"Driver", "Utility"}), asked);
    EXPECT_EQ("", GetFailedItemName(0, ItemDisplayName()));

    app.global().registryKeys.installing.clear();
    EXPECT_FALSE(RecordFailure("Driver"));
    EXPECT_EQ(0u, GetFailureCount());
}

// --- the records of a finished run --------------------------------------------

TEST_F(HistoryTest, FinishedRunKeepsTheItemsItCanRemoveAndItsHistory) {
    const char* ing = kInstalling.c_str();
    CRegistry::SetValue(ing, "Dest_Dir", "C:\\App", os::kHKLM);
    CRegistry::SetValue(ing, "LangCode", 0x409u, os::kHKLM);
    CRegistry::SetValue(kUninstallInfo.c_str(), "DriverUninstall", "rundll32 x", os::kHKLM);
    CRegistry::SetValue(kUninstallInfo.c_str(), "EmptyUninstall", "", os::kHKLM);
    struct Item {
        const char* section;
        uint32_t installNow;  // 0: none written
        const char* command;  // UninstCmd; null: none
        const char* valueName;  // Uninstall_Value_Name; null: none
        bool kept;
    } items[] = {
        {"Driver", 2, "C:\\App\\uninst.exe", nullptr, true},
        {"Skipped", 1, "C:\\App\\uninst.exe", nullptr, false},
        {"NoFlag", 0, "C:\\App\\uninst.exe", nullptr, false},
        {"EmptyCommand", 2, "", "DriverUninstall", false},
        {"ByInfo", 2, nullptr, "DriverUninstall", true},
        {"InfoMissing", 2, nullptr, "NoSuchValue", false},
        {"InfoEmpty", 2, nullptr, "EmptyUninstall", false},
        {"NoName", 2, nullptr, "", false},
        {"NoWay", 2, nullptr, nullptr, false},
    };
    std::vector<std::string> sections;
    for (const Item& i : items) {
        const std::string record = kInstalling + "\\Items\\" + i.section;
        CRegistry::SetValue(record.c_str(), "Name", i.section, os::kHKLM);
        if (i.installNow) CRegistry::SetValue(record.c_str(), "InstallNow", i.installNow, os::kHKLM);
        if (i.command) CRegistry::SetValue(record.c_str(), "UninstCmd", i.command, os::kHKLM);
        if (i.valueName)
            CRegistry::SetValue(record.c_str(), "Uninstall_Value_Name", i.valueName, os::kHKLM);
        sections.push_back(i.section);
    }
    // A record the list does not name is never looked at.
    CRegistry::SetValue((kInstalling + "\\Items\\Unlisted").c_str(), "InstallNow", 2u, os::kHKLM);
    CRegistry::SetValue((kInstalling + "\\Items\\Unlisted").c_str(), "UninstCmd", "x", os::kHKLM);
    CRegistry::SetValue((kInstalling + "\\Shortcut\\App").c_str(), "Path", "C:\\Menu\\App.lnk",
                        os::kHKLM);
    CRegistry::SetValue((kInstalling + "\\Shortcut\\Other").c_str(), "Path", "C:\\Menu\\O.lnk",
                        os::kHKLM);
    Add(kInstallingHistory, HistoryKind::File, {"C:\\App\\a.dll"});
    Add(kInstalledHistory, HistoryKind::File, {"C:\\Before\\b.dll"});

    ASSERT_TRUE(SaveInstalledRecords(sections, {"App"}));

    std::string text;
    EXPECT_EQ(0u, CRegistry::GetValue(kInstalled.c_str(), "Dest_Dir", text, os::kHKLM));
    EXPECT_EQ("C:\\App", text);
    uint32_t lang = 0;
    EXPECT_EQ(0u, CRegistry::GetValue(kInstalled.c_str(), "LangCode", &lang, os::kHKLM));
    EXPECT_EQ(0x409u, lang);
    for (const Item& i : items) {
        const std::string record = kInstalled + "\\Items\\" + i.section;
        EXPECT_EQ(i.kept, KeyExists(record)) << i.section;
        if (!i.kept) continue;
        EXPECT_TRUE(ValueExists(record, "Name")) << i.section;
        uint32_t now = 0;
        EXPECT_EQ(0u, CRegistry::GetValue(record.c_str(), "InstallNow", &now, os::kHKLM));
        EXPECT_EQ(2u, now);
    }
    EXPECT_FALSE(KeyExists(kInstalled + "\\Items\\Unlisted"));
    EXPECT_TRUE(ValueExists(kInstalled + "\\Shortcut\\App", "Path"));
    EXPECT_FALSE(KeyExists(kInstalled + "\\Shortcut\\Other"));
    EXPECT_EQ((std::vector<std::string>{"C:\\Before\\b.dll", "C:\\App\\a.dll"}),
              Entries(kInstalledHistory, HistoryKind::File));
    EXPECT_FALSE(KeyExists(kInstallingHistory));
    EXPECT_TRUE(KeyExists(kInstalling + "\\Items\\Driver"));  // the installing records stay

    app.global().registryKeys.installed.clear();
    EXPECT_FALSE(SaveInstalledRecords(sections, {}));
}

// --- the end of a run -------------------------------------------------------------

class QuietOperator : public CCmdOperator {
protected:
    void PostQuit() override {}
};

TEST_F(HistoryTest, EndOfARunUndoesItsHistoryOnlyWhenNothingWasInstalled) {
    for (bool installed : {false, true}) {
        Put("C:\\App\\a.dll");
        Add(kInstallingHistory, HistoryKind::File, {"C:\\App\\a.dll"});
        if (installed) CRegistry::SetValue(kInstalled.c_str(), "Dest_Dir", "C:\\App", os::kHKLM);
        QuietOperator op;
        EXPECT_TRUE(op.TerminateSetup(CMD_DATA(), false));
        EXPECT_EQ(installed, Exists("C:\\App\\a.dll")) << installed;
        EXPECT_EQ(installed ? std::vector<std::string>{"C:\\App\\a.dll"}
                            : std::vector<std::string>{},
                  Entries(kInstalledHistory, HistoryKind::File))
            << installed;
        EXPECT_FALSE(KeyExists(kInstalling));
    }
}

}  // namespace
