// The system utilities and the classification of the running Windows, on
// hand-made version records and on the shipped machines.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/os.h"
#include "sim_fixture.h"
#include "sys/os_define.h"
#include "sys/utl.h"

namespace {

using testsupport::SimMachine;
using testsupport::WithKey;

os::VersionInfo Record(uint32_t platform, uint32_t major, uint32_t minor, const char* csd = "",
                       uint8_t product = 1) {
    os::VersionInfo v;
    v.platformId = platform;
    v.majorVersion = major;
    v.minorVersion = minor;
    v.csdVersion = csd;
    v.productType = product;
    return v;
}

struct ClassifyCase {
    const char* what;
    os::VersionInfo v;
    bool extended;
    bool is64;
    int type;
    int family;
};

TEST(Utl, ClassifiesEveryWindowsOfTheTable) {
    const ClassifyCase cases[] = {
        {"Win32s", Record(0, 3, 10), false, false, 2, 2},
        {"95", Record(1, 4, 0), false, false, 3, 10},
        {"95 with another letter", Record(1, 4, 0, "A"), false, false, 3, 10},
        {"95 OSR2 B", Record(1, 4, 0, "B"), false, false, 4, 10},
        {"95 OSR2 c", Record(1, 4, 0, "c"), false, false, 4, 10},
        // Whole-text comparison: the letter with blanks around it is not the letter.
        {"95 OSR2 as Windows writes it", Record(1, 4, 0, " B "), false, false, 3, 10},
        {"98", Record(1, 4, 10), false, false, 6, 10},
        {"98 SE", Record(1, 4, 10, "a"), false, false, 7, 10},
        {"98 SE as Windows writes it", Record(1, 4, 10, " A "), false, false, 6, 10},
        {"ME", Record(1, 4, 90), false, false, 9, 10},
        {"other 9x", Record(1, 4, 20), false, false, 10, 10},
        {"NT 3.51", Record(2, 3, 51), false, false, 11, 15},
        {"NT 4", Record(2, 4, 0, "Service Pack 6"), true, false, 12, 15},
        {"2000", Record(2, 5, 0), true, false, 13, 17},
        {"XP", Record(2, 5, 1), true, false, 14, 17},
        {"a later 5.x", Record(2, 5, 3), true, false, 14, 17},
        {"Server 2003", Record(2, 5, 2, "", 3), true, false, 16, 17},
        {"Server 2003 x64", Record(2, 5, 2, "", 3), true, true, 16, 17},
        {"XP x64", Record(2, 5, 2, "", 1), true, true, 14, 17},
        {"5.2 workstation, 32-bit", Record(2, 5, 2, "", 1), true, false, 16, 17},
        {"5.2 workstation, 64-bit, basic record", Record(2, 5, 2, "", 1), false, true, 16, 17},
        {"Vista", Record(2, 6, 0), true, true, 18, 17},
        {"7", Record(2, 6, 1), true, false, 18, 17},
        {"10", Record(2, 10, 0), true, true, 13, 17},
        {"NT 2", Record(2, 2, 0), false, false, 13, 17},
    };
    for (const ClassifyCase& c : cases) {
        int family = 0;
        EXPECT_EQ(c.type, ClassifyOs(c.v, c.extended, c.is64, &family)) << c.what;
        EXPECT_EQ(c.family, family) << c.what;
    }
}

TEST(Utl, PlatformKeys) {
    const std::pair<os::VersionInfo, const char*> cases[] = {
        {Record(1, 4, 0), "0X00010400"},   {Record(1, 4, 10), "0X0001040A"},
        {Record(1, 4, 90), "0X0001045A"},  {Record(2, 4, 0), "0X00020400"},
        {Record(2, 5, 0), "0X00020500"},   {Record(2, 5, 1), "0X00020501"},
        {Record(2, 5, 2), "0X00020502"},   {Record(2, 6, 0), "0X00020600"},
        {Record(2, 10, 0), "0X00020A00"},  {Record(2, 300, 1), "0X0002FF01"},
        {Record(0x12345, 5, 0x1FF), "0XFFFF05FF"},
    };
    for (const auto& [v, key] : cases) EXPECT_EQ(key, PlatformKey(v));
}

struct CandidateCase {
    const char* what;
    os::VersionInfo v;
    bool extended, is64, me;
    std::vector<std::string> keys;
};

TEST(Utl, OsDefineCandidatesInLookupOrder) {
    const CandidateCase cases[] = {
        {"XP", Record(2, 5, 1), true, false, false, {"0X00020501", "DEF_WIN2KS", "0X00020500"}},
        {"2000", Record(2, 5, 0), true, false, false, {"0X00020500", "DEF_WIN2KS"}},
        {"XP x64", Record(2, 5, 2, "", 1), true, true, false,
         {"0X00020502.64", "0X00020502.64.PRO", "0X00020502", "DEF_WIN2KS", "0X00020500"}},
        {"2003 x64 domain controller", Record(2, 5, 2, "", 2), true, true, false,
         {"0X00020502.64", "0X00020502.64.DOM", "0X00020502.64.SER", "0X00020502", "DEF_WIN2KS",
          "0X00020500"}},
        {"2003 x64 server", Record(2, 5, 2, "", 3), true, true, false,
         {"0X00020502.64", "0X00020502.64.SER", "0X00020502", "DEF_WIN2KS", "0X00020500"}},
        {"64-bit, basic record", Record(2, 6, 0, "", 1), false, true, false,
         {"0X00020600.64", "0X00020600", "DEF_WIN2KS", "0X00020500"}},
        {"Vista x64", Record(2, 6, 0, "", 1), true, true, false,
         {"0X00020600.64", "0X00020600.64.PRO", "0X00020600", "DEF_WIN2KS", "0X00020500"}},
        {"98", Record(1, 4, 10), false, false, false, {"0X0001040A"}},
        {"98 record of an ME", Record(1, 4, 10), false, false, true, {"0X0001045A", "0X0001040A"}},
        {"ME", Record(1, 4, 90), false, false, true, {"0X0001045A", "0X0001040A"}},
        {"95", Record(1, 4, 0), false, false, false, {"0X00010400", "0X0001040A"}},
        {"95 never becomes ME", Record(1, 4, 0), false, false, true, {"0X00010400", "0X0001040A"}},
        {"NT 4", Record(2, 4, 0), true, false, false, {"0X00020400"}},
        {"NT 3.51", Record(2, 3, 51), false, false, false, {"0X00020333", "DEF_WIN2KS", "0X00020500"}},
    };
    for (const CandidateCase& c : cases)
        EXPECT_EQ(c.keys, OsDefineCandidates(c.v, c.extended, c.is64, c.me)) << c.what;
}

OsTableLookup Table(const std::map<std::string, std::string>& table) {
    return [table](const std::string& key, std::string& value) {
        auto it = table.find(key);
        if (it == table.end()) return false;
        value = it->second;
        return true;
    };
}

struct DefineCase {
    const char* what;
    std::map<std::string, std::string> osDefine;
    os::VersionInfo v;
    bool is64, me;
    bool found;
    const char* define;
    const char* osDir;  // OS_DIR holds XP = WinXP only
};

TEST(Utl, OsDefineStringAndOsDirectory) {
    const auto xp = Record(2, 5, 1), xp64 = Record(2, 5, 2, "", 1), win98 = Record(1, 4, 10);
    const DefineCase cases[] = {
        {"XP by its key", {{"0X00020501", "XP"}, {"DEF_WIN2KS", "W2K"}}, xp, false, false, true,
         "XP", "WinXP"},
        {"XP by the default", {{"DEF_WIN2KS", "W2K"}, {"0X00020500", "2000"}}, xp, false, false,
         true, "W2K", "W2K"},
        {"XP by 2000", {{"0X00020500", "2000"}}, xp, false, false, true, "2000", "2000"},
        {".64 before .64.PRO", {{"0X00020502.64", "X64"}, {"0X00020502.64.PRO", "PRO"}}, xp64,
         true, false, true, "X64", "X64"},
        {".64.PRO alone", {{"0X00020502.64.PRO", "PRO"}, {"0X00020502", "2003"}}, xp64, true,
         false, true, "PRO", "PRO"},
        {"ME by the ME rule", {{"0X0001045A", "ME"}, {"0X0001040A", "98"}}, win98, false, true,
         true, "ME", "ME"},
        {"98 without it", {{"0X0001045A", "ME"}, {"0X0001040A", "98"}}, win98, false, false, true,
         "98", "98"},
        {"an empty value counts", {{"0X00020501", ""}}, xp, false, false, true, "", ""},
        {"nothing found", {{"0X00020400", "NT4"}}, xp, false, false, false, "", ""},
    };
    const OsTableLookup osDir = Table({{"XP", "WinXP"}});
    for (const DefineCase& c : cases) {
        std::string define = "stale";
        EXPECT_EQ(c.found, FindOsDefine(OsDefineCandidates(c.v, true, c.is64, c.me),
                                        Table(c.osDefine), &define))
            << c.what;
        EXPECT_EQ(c.define, define) << c.what;
        EXPECT_EQ(c.osDir, OsDirectory(define, osDir)) << c.what;
    }
}

TEST(Utl, TerminalServerNeedsAServerWithTheTerminalSuite) {
    os::VersionInfo v = Record(2, 5, 2, "", 3);
    v.suiteMask = 0x0010;
    EXPECT_TRUE(IsTerminalServer(v, true));
    EXPECT_FALSE(IsTerminalServer(v, false));
    v.productType = 1;
    EXPECT_FALSE(IsTerminalServer(v, true));
    v.productType = 3;
    v.suiteMask = 0x0100;
    EXPECT_FALSE(IsTerminalServer(v, true));
}

// --- the shipped machines -----------------------------------------------------

std::string ShippedIni(const std::string& name) {
    std::string file = __FILE__;
    std::string root = file.substr(0, file.rfind("/tests/unit/"));
    return testsupport::ReadHost(root + "/packages/machines/" + name + "/machine.ini");
}

struct ShippedCase {
    const char* machine;
    bool program64;
    int type, family;
    const char* key;
    bool is64, wow64;
    const char* define;
    const char* osDir;
    uint16_t language;
};

TEST(Utl, ShippedMachinesClassifyAsIntended) {
    // A package's tables: the .64 lookups and the family fallbacks matter.
    const OsTableLookup osDefine = Table({{"0X00010400", "95"}, {"0X0001040A", "98"},
                                          {"0X0001045A", "ME"}, {"0X00020400", "NT4"},
                                          {"0X00020500", "2K"}, {"0X00020501", "XP"},
                                          {"0X00020502", "2003"}, {"0X00020502.64.PRO", "XP64"},
                                          {"0X00020600", "VISTA"}, {"0X00020600.64", "VISTA64"}});
    const OsTableLookup osDir = Table({{"98", "Win9x"}, {"XP64", "WinXP64"}, {"VISTA64", "Vista64"}});
    const ShippedCase cases[] = {
        {"win98-en", false, 6, 10, "0X0001040A", false, false, "98", "Win9x", 0x0409},
        {"nt4-en", false, 12, 15, "0X00020400", false, false, "NT4", "NT4", 0x0409},
        {"win2000-en", false, 13, 17, "0X00020500", false, false, "2K", "2K", 0x0409},
        {"xp-en", false, 14, 17, "0X00020501", false, false, "XP", "XP", 0x0409},
        {"xp-de", false, 14, 17, "0X00020501", false, false, "XP", "XP", 0x0407},
        {"xp64-en", false, 14, 17, "0X00020502", true, true, "XP64", "WinXP64", 0x0409},
        {"xp64-en", true, 14, 17, "0X00020502", true, false, "XP64", "WinXP64", 0x0409},
        {"vista64-de", false, 18, 17, "0X00020600", true, true, "VISTA64", "Vista64", 0x0407},
        {"vista64-de", true, 18, 17, "0X00020600", true, false, "VISTA64", "Vista64", 0x0407},
    };
    for (const ShippedCase& c : cases) {
        SCOPED_TRACE(std::string(c.machine) + (c.program64 ? " (64-bit program)" : ""));
        std::string ini = ShippedIni(c.machine);
        ASSERT_FALSE(ini.empty());
        SimMachine m(ini);
        m.process().program64 = c.program64;
        int type = 0, family = 0;
        ASSERT_EQ(1, GetOSType(&type, &family));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.family, family);
        EXPECT_EQ(c.is64, Is64BitWindows());
        EXPECT_EQ(c.wow64, IsWow64());
        os::VersionInfo v;
        bool extended = os::GetVersionInfo(&v, true);
        if (!extended) {
            ASSERT_TRUE(os::GetVersionInfo(&v, false));
        }
        EXPECT_EQ(c.key, PlatformKey(v));
        std::string define;
        EXPECT_TRUE(FindOsDefine(OsDefineCandidates(v, extended, Is64BitWindows(), IsWindowsME()),
                                 osDefine, &define));
        EXPECT_EQ(c.define, define);
        EXPECT_EQ(c.osDir, OsDirectory(define, osDir));
        EXPECT_EQ(c.language, os::SystemDefaultLangId());
        EXPECT_EQ(1252u, os::AnsiCodePage());
        EXPECT_TRUE(IsAdminUser() || family == kFamilyWin9x);
        std::string windows, system;
        ASSERT_EQ(0u, os::WindowsDirectory(windows));
        ASSERT_EQ(0u, os::SystemDirectory(system));
        EXPECT_TRUE(os::DirectoryExists(system.c_str())) << system;
        EXPECT_EQ(0u, system.find(windows + "\\")) << system;
        EXPECT_TRUE(IsPortExist("LPT1:"));
        EXPECT_EQ(c.type >= kOsWinXp, IsPortExist("USB001"));
    }
}

TEST(Utl, TheVersionRecordUnreadableLeavesThePairAlone) {
    sim::Process* saved = sim::CurrentProcess();
    sim::SetCurrentProcess(nullptr);
    int type = 77, family = 88;
    EXPECT_EQ(0, GetOSType(&type, &family));
    EXPECT_EQ(77, type);
    EXPECT_EQ(88, family);
    sim::SetCurrentProcess(saved);
}

// --- routines on a simulated machine -------------------------------------------

TEST(Utl, AdministratorCheck) {
    struct Case {
        const char* platform;
        const char* admin;
        bool expected;
    } cases[] = {{"2", "1", true}, {"2", "0", false}, {"1", "1", false}};
    for (const Case& c : cases) {
        std::string ini = WithKey(sim::Machine::DefaultIni(), "Version", "Platform", c.platform);
        SimMachine m(WithKey(ini, "Machine", "Administrator", c.admin));
        EXPECT_EQ(c.expected, IsAdminUser()) << c.platform << "/" << c.admin;
    }
}

TEST(Utl, PrintersDriversAndPorts) {
    SimMachine m(ShippedIni("xp-en"));
    struct Case {
        const char* name;
        bool byDriver;
        bool expected;
    } cases[] = {
        {"Generic / Text Only", true, true},  {"generic / text only", false, true},
        {"Veltrix LP-100", true, false},      {"Veltrix LP-100", false, false},
        {"", true, false},                    {nullptr, false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, IsPrinterInstalled(c.name, c.byDriver))
            << (c.name ? c.name : "(null)") << " " << c.byDriver;
    EXPECT_TRUE(IsPortExist("usb001"));
    EXPECT_TRUE(IsPortExist("FILE:"));
    EXPECT_FALSE(IsPortExist("LPT3:"));
    EXPECT_FALSE(IsPortExist(""));
    EXPECT_FALSE(IsPortExist(nullptr));
}

TEST(Utl, DriveKinds) {
    std::string ini = sim::Machine::DefaultIni();
    ini = WithKey(ini, "Drives", "A", "removable, drive_a, 1");
    ini = WithKey(ini, "Drives", "E", "cdrom, cd, 0");
    ini = WithKey(ini, "Drives", "M", "ramdisk, ram, 16");
    ini = WithKey(ini, "Drives", "N", "remote, net, 100");
    SimMachine m(ini);
    const std::pair<const char*, int> cases[] = {
        {"A:\\Setup.exe", 1}, {"C:\\Program Files\\x", 2}, {"e:\\", 3}, {"M:\\a\\b", 4},
        {"N:\\share", 5},     {"Q:\\Setup.exe", 0},        {"Setup.exe", 0}, {"C:", 0},
    };
    for (const auto& [path, kind] : cases) EXPECT_EQ(kind, GetDriveKind(path)) << path;
    // Without a path: the installer's own drive, the package CD at D:.
    EXPECT_EQ(kDriveKindCdRom, GetDriveKind());
    EXPECT_EQ(kDriveKindCdRom, GetDriveKind(""));
    m.process().exePath = "C:\\Temp\\Setup.exe";
    EXPECT_EQ(kDriveKindFixed, GetDriveKind());
}

TEST(Utl, FileExistence) {
    SimMachine m;
    testsupport::WriteHost(m.package() + "/Setup.dat", "x");
    EXPECT_TRUE(IsFileExist("D:\\setup.dat"));
    EXPECT_FALSE(IsFileExist("D:\\missing.dat"));
    EXPECT_FALSE(IsFileExist("D:\\"));
    EXPECT_FALSE(IsFileExist(""));
    EXPECT_FALSE(IsFileExist(nullptr));
}

void Touch(SimMachine& m, const std::string& winPath) {
    testsupport::WriteHost(m.Host(winPath), "x");
}

TEST(Utl, DeletingAFileRemovesTheFoldersItLeavesEmpty) {
    struct Case {
        const char* what;
        bool keep;
        bool siblingInA;
        bool bLeft, aLeft;
    } cases[] = {
        {"both become empty", false, false, false, false},
        {"A holds something else", false, true, false, true},
        {"the folders are kept", true, false, true, true},
    };
    for (const Case& c : cases) {
        SimMachine m;
        ASSERT_EQ(0u, os::MakeDirectory("C:\\A"));
        ASSERT_EQ(0u, os::MakeDirectory("C:\\A\\B"));
        Touch(m, "C:\\A\\B\\f.txt");
        if (c.siblingInA) Touch(m, "C:\\A\\other.txt");
        EXPECT_TRUE(DeleteFileAndEmptyParents("C:\\A\\B\\f.txt", c.keep)) << c.what;
        EXPECT_FALSE(os::FileExists("C:\\A\\B\\f.txt")) << c.what;
        EXPECT_EQ(c.bLeft, os::DirectoryExists("C:\\A\\B")) << c.what;
        EXPECT_EQ(c.aLeft, os::DirectoryExists("C:\\A")) << c.what;
        EXPECT_TRUE(os::DirectoryExists("C:\\")) << c.what;
    }
    SimMachine m;
    EXPECT_FALSE(DeleteFileAndEmptyParents("C:\\missing.txt", false));
    EXPECT_FALSE(DeleteFileAndEmptyParents("", false));
}

TEST(Utl, RemovingADirectoryChainStopsAtTheFirstNonEmptyParent) {
    SimMachine m;
    for (const char* d : {"C:\\X", "C:\\X\\Y", "C:\\X\\Y\\Z", "C:\\Keep", "C:\\Keep\\In"})
        ASSERT_EQ(0u, os::MakeDirectory(d));
    Touch(m, "C:\\Keep\\file.txt");
    EXPECT_TRUE(RemoveDirectoryChain("C:\\X\\Y\\Z\\"));
    EXPECT_FALSE(os::DirectoryExists("C:\\X"));
    EXPECT_TRUE(RemoveDirectoryChain("C:\\Keep\\In"));
    EXPECT_FALSE(os::DirectoryExists("C:\\Keep\\In"));
    EXPECT_TRUE(os::DirectoryExists("C:\\Keep"));
    EXPECT_TRUE(RemoveDirectoryChain("C:\\NotThere"));
    EXPECT_FALSE(RemoveDirectoryChain(""));
    EXPECT_FALSE(RemoveDirectoryChain(nullptr));
}

struct PnPCase {
    const char* what;
    const char* busyMs;
    const char* missing;  // [MissingFunctions] entry, or null
    bool keep;
    bool result;
    uint64_t waitedMs;  // simulated time the routine took
    int prods;          // calls that bring the new-hardware dialog forward
};

TEST(Utl, WaitingForPlugAndPlay) {
    const PnPCase cases[] = {
        {"nothing pending", "0", nullptr, false, false, 0, 0},
        {"busy for 2.5 s", "2500", nullptr, false, true, 2500, 0},
        {"busy for 2.5 s, in front", "2500", nullptr, true, true, 2500, 2},
        {"busy for 5 s, in front", "5000", nullptr, true, true, 5000, 4},
        {"busy for ever: 61 tries", "600000", nullptr, false, true, 61000, 0},
        {"no such function", "2500", "CMP_WaitNoPendingInstallEvents", false, false, 0, 0},
        {"no such library", "2500", "setupapi.dll", true, false, 0, 0},
    };
    for (const PnPCase& c : cases) {
        std::string ini = WithKey(sim::Machine::DefaultIni(), "Machine", "PnPBusyMs", c.busyMs);
        if (c.missing) ini = WithKey(ini, "MissingFunctions", c.missing, "1");
        SimMachine m(ini);
        int prods = 0;
        uint64_t start = m.machine().ClockMs();
        EXPECT_EQ(c.result, WaitNoPendingPnP(c.keep, [&prods] { ++prods; })) << c.what;
        uint64_t waited = m.machine().ClockMs() - start;
        // Host time passes too, a little, also between opening and waiting.
        EXPECT_NEAR(static_cast<double>(c.waitedMs), static_cast<double>(waited), 200) << c.what;
        EXPECT_EQ(c.prods, prods) << c.what;
    }
}

std::string ServicesIni(const char* admin = "1", const char* platform = "2") {
    std::string ini = sim::Machine::DefaultIni();
    ini = WithKey(ini, "Version", "Platform", platform);
    ini = WithKey(ini, "Machine", "Administrator", admin);
    ini = WithKey(ini, "Services", "Fax", "stopped, 2500");
    ini = WithKey(ini, "Services", "Instant", "stopped");
    ini = WithKey(ini, "Services", "Stuck", "stopped, 3000, hang");
    ini = WithKey(ini, "Services", "Off", "stopped, 0, disabled");
    return ini;
}

struct ServiceCase {
    const char* what;
    bool start;
    const char* name;
    uint32_t rc;
    uint32_t state;
};

TEST(Utl, StartingAndStoppingServices) {
    const ServiceCase cases[] = {
        {"already running", true, "Spooler", 0, 4},
        {"stop a running one", false, "spooler", 0, 1},
        {"already stopped", false, "Spooler", 0, 1},
        {"start with progress for 2.5 s", true, "Fax", 0, 4},
        {"start at once", true, "Instant", 0, 4},
        {"no progress past the wait hint", true, "Stuck", 1052, 2},
        {"disabled", true, "Off", os::kErrServiceDisabled, 1},
        {"unknown", true, "Nothing", os::kErrServiceDoesNotExist, 99},
        {"no name", false, "", os::kErrInvalidParameter, 99},
    };
    SimMachine m(ServicesIni());
    for (const ServiceCase& c : cases) {
        uint32_t state = 99;
        EXPECT_EQ(c.rc, c.start ? StartServiceByName(c.name, &state) : StopServiceByName(c.name, &state))
            << c.what;
        EXPECT_EQ(c.state, state) << c.what;
    }
    uint32_t state = 0;
    EXPECT_EQ(0u, QueryServiceState("FAX", &state));
    EXPECT_EQ(os::kServiceRunning, state);
    EXPECT_EQ(os::kErrInvalidParameter, QueryServiceState("Fax", nullptr));
}

TEST(Utl, ServicesNeedAnAdministratorToChange) {
    SimMachine m(ServicesIni("0"));
    uint32_t state = 0;
    EXPECT_EQ(os::kErrAccessDenied, StopServiceByName("Spooler", &state));
    EXPECT_EQ(0u, QueryServiceState("Spooler", &state));
    EXPECT_EQ(os::kServiceRunning, state);
}

TEST(Utl, Windows9xHasNoServices) {
    SimMachine m(ServicesIni("1", "1"));
    uint32_t state = 0;
    EXPECT_EQ(os::kErrCallNotImplemented, QueryServiceState("Spooler", &state));
    EXPECT_EQ(os::kErrCallNotImplemented, StartServiceByName("Spooler", &state));
}

TEST(Utl, WindowsMeByItsVersionNumber) {
    struct Case {
        const char* platform;
        const char* minor;
        bool me;
    } cases[] = {{"1", "90", true}, {"1", "10", false}, {"2", "1", false}};
    for (const Case& c : cases) {
        std::string ini = WithKey(sim::Machine::DefaultIni(), "Version", "Platform", c.platform);
        ini = WithKey(WithKey(ini, "Version", "Major", "4"), "Version", "Minor", c.minor);
        SimMachine m(ini);
        EXPECT_EQ(c.me, IsWindowsME()) << c.platform << "." << c.minor;
    }
    // A 98 record on a system whose version number says ME.
    SimMachine m(ShippedIni("win98-en"));
    ASSERT_EQ(0u, m.machine().registry().SetString(
                      "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "VersionNumber",
                      "4.90.3000"));
    EXPECT_TRUE(IsWindowsME());
}

const char* const kSetupKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";

std::string StoreValue(SimMachine& m, const char* key, const char* name) {
    std::string text;
    if (m.machine().registry().QueryString(key, name, text) != 0) return "(none)";
    return text;
}

struct SourcePathCase {
    const char* machine;
    bool program64;
    const char* path;
    const char* stored;
};

TEST(Utl, TheSystemSourcePathPointsAtTheMediumAndBack) {
    const SourcePathCase cases[] = {
        {"xp-en", false, "E:\\Drivers\\System32\\x", "E:\\Drivers\\System32\\x"},
        {"xp64-en", false, "c:\\windows\\system32\\drv\\", "C:\\WINDOWS\\SYSWOW64\\DRV\\"},
        {"xp64-en", true, "c:\\windows\\system32\\drv\\", "c:\\windows\\system32\\drv\\"},
        {"win98-en", false, "D:\\Win9x", "D:\\Win9x"},
    };
    for (const SourcePathCase& c : cases) {
        SCOPED_TRACE(std::string(c.machine) + " " + c.path);
        SimMachine m(ShippedIni(c.machine));
        m.process().program64 = c.program64;
        const std::string original = StoreValue(m, kSetupKey, "SourcePath");
        ASSERT_NE("(none)", original);
        EXPECT_EQ(0u, SetSystemSourcePath(c.path));
        // The system's own registry, also for the 32-bit program.
        EXPECT_EQ(c.stored, StoreValue(m, kSetupKey, "SourcePath"));
        EXPECT_EQ(original, StoreValue(m, kSetupKey, "SourcePath_ORG"));
        EXPECT_EQ(0u, RestoreSystemSourcePath());
        EXPECT_EQ(original, StoreValue(m, kSetupKey, "SourcePath"));
        EXPECT_EQ("(none)", StoreValue(m, kSetupKey, "SourcePath_ORG"));
        // Nothing left to put back: the deletion's answer.
        EXPECT_EQ(os::kErrFileNotFound, RestoreSystemSourcePath());
        EXPECT_EQ(original, StoreValue(m, kSetupKey, "SourcePath"));
    }
    SimMachine m;
    EXPECT_EQ(os::kErrInvalidParameter, SetSystemSourcePath(""));
    EXPECT_EQ(os::kErrInvalidParameter, SetSystemSourcePath(nullptr));
}

TEST(Utl, ASourcePathWithoutAnOriginalStaysAfterTheRestore) {
    SimMachine m;
    ASSERT_EQ(0u, m.machine().registry().DeleteValue(kSetupKey, "SourcePath"));
    EXPECT_EQ(0u, SetSystemSourcePath("D:\\"));
    EXPECT_EQ("(none)", StoreValue(m, kSetupKey, "SourcePath_ORG"));
    EXPECT_EQ(os::kErrFileNotFound, RestoreSystemSourcePath());
    EXPECT_EQ("D:\\", StoreValue(m, kSetupKey, "SourcePath"));
}

struct TokenCase {
    const char* list;
    const char* word;
    const char* delimiters;
    bool expected;
};

TEST(Utl, WordsInTokenLists) {
    const TokenCase cases[] = {
        {"ME, XP", "xp", ",", true},
        {"ME, XP", "ME", ",", true},
        {" 2000 \t,Vista", "2000", ",", true},
        {"98;ME", "me", ";,", true},
        {"98,,ME", "ME", ",", true},
        {"ME, XP", "X", ",", false},
        {"ME XP", "ME XP", ",", true},
        {"ME XP", "XP", ",", false},
        {"", "XP", ",", false},
        {"XP", "", ",", false},
        {"XP", "XP", "", false},
        {nullptr, "XP", ",", false},
        {"XP", nullptr, ",", false},
        {"XP", "XP", nullptr, false},
    };
    for (const TokenCase& c : cases)
        EXPECT_EQ(c.expected, IsInTokenList(c.list, c.word, c.delimiters))
            << (c.list ? c.list : "(null)") << " / " << (c.word ? c.word : "(null)");
}

TEST(Utl, NthToken) {
    struct Case {
        const char* list;
        int index;
        size_t size;
        bool expected;
        const char* token;
    } cases[] = {
        {"a,bb, ccc", 0, 16, true, "a"},    {"a,bb, ccc", 2, 16, true, " ccc"},
        {",,a,,bb", 1, 16, true, "bb"},     {"a,bb", 2, 16, false, ""},
        {"abcdef", 0, 4, true, "abc"},      {"a,bb", -1, 16, false, ""},
        {nullptr, 0, 16, false, ""},
    };
    for (const Case& c : cases) {
        char buffer[16];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(c.expected, GetNthToken(c.list, ",", c.index, buffer, c.size))
            << (c.list ? c.list : "(null)") << " " << c.index;
        EXPECT_STREQ(c.token, buffer);
    }
    char one[1] = {'x'};
    EXPECT_TRUE(GetNthToken("abc", ",", 0, one, 1));
    EXPECT_EQ('\0', one[0]);
    EXPECT_FALSE(GetNthToken("abc", ",", 0, nullptr, 8));
}

TEST(Utl, NumbersFromText) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"0x1F", 31}, {"12", 12}, {"0X123456789", 0x23456789}, {"0x0407", 0x407}, {"7 apples", 7},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(value, HexOrDecToNumber(text)) << text;
}

TEST(Utl, BytesAsHex) {
    const uint8_t bytes[] = {0x00, 0xAB, 0x7F, 0x10};
    std::string out = "=";
    EXPECT_TRUE(BytesToHex(bytes, sizeof bytes, &out));
    EXPECT_EQ("=00AB7F10", out);
    EXPECT_TRUE(BytesToHex(bytes, 0, &out));
    EXPECT_EQ("=00AB7F10", out);
    EXPECT_FALSE(BytesToHex(nullptr, 2, &out));
    EXPECT_FALSE(BytesToHex(bytes, 2, nullptr));
}

TEST(Utl, SystemErrorText) {
    SimMachine m;
    std::string text = "old";
    EXPECT_TRUE(GetSystemErrorText(2, text));
    EXPECT_EQ("The system cannot find the file specified.\r\n", text);
    EXPECT_TRUE(GetSystemErrorText(0x2A5A5A5Au, text));
    EXPECT_EQ("", text);
}

}  // namespace
