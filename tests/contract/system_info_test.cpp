// The running Windows, administrator check, directories, drives, spooler
// enumerations, Plug-and-Play, services, time and directory removal.
#include <algorithm>
#include <string>
#include <vector>

#include "contract/contract_env.h"
#include "platform/os.h"
#include "sys/utl.h"

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names)
        if (Upper(n) == Upper(name)) return true;
    return false;
}

TEST(SystemInfo, AProgramRunsUnderWow64OnlyAsA32BitProgram) {
    bool wow64 = true;
    ASSERT_EQ(0u, os::IsWow64Process(&wow64));
    if (os::ProgramIs64Bit()) {
        EXPECT_FALSE(wow64);
    }
    EXPECT_EQ(os::ProgramIs64Bit() || wow64, Is64BitWindows());
}

TEST(SystemInfo, TheTestUserIsAnAdministrator) {
    bool granted = false;
    ASSERT_EQ(0u, os::CheckAdministratorAccess(&granted));
    EXPECT_TRUE(granted);
    EXPECT_TRUE(IsAdminUser());
}

TEST(SystemInfo, SystemDirectoryLiesInTheWindowsDirectory) {
    std::string windows, system;
    ASSERT_EQ(0u, os::WindowsDirectory(windows));
    ASSERT_EQ(0u, os::SystemDirectory(system));
    EXPECT_TRUE(os::DirectoryExists(windows.c_str())) << windows;
    EXPECT_TRUE(os::DirectoryExists(system.c_str())) << system;
    EXPECT_EQ(Upper(windows) + "\\SYSTEM32", Upper(system));
}

TEST(SystemInfo, SystemLanguageHasAPrimaryLanguage) {
    EXPECT_NE(0, os::SystemDefaultLangId() & 0x3FF);
}

struct DriveCase {
    const char* root;
    uint32_t type;
};

TEST(SystemInfo, DriveTypesOfRoots) {
    const DriveCase cases[] = {
        {"C:\\", os::kDriveFixed},
        {"c:\\", os::kDriveFixed},
        {"Q:\\", os::kDriveNoRootDir},
        {"C:\\no-such-folder\\", os::kDriveNoRootDir},
    };
    for (const DriveCase& c : cases) EXPECT_EQ(c.type, os::DriveTypeOf(c.root)) << c.root;
    EXPECT_EQ(kDriveKindFixed, GetDriveKind("C:\\Some\\File.txt"));
    EXPECT_EQ(kDriveKindOther, GetDriveKind("Q:\\Setup.exe"));
}

TEST(SystemInfo, FreeSpaceOfADirectory) {
    uint64_t root = 0, scratch = 0;
    ASSERT_EQ(0u, os::DiskFreeSpace("C:\\", &root));
    EXPECT_GT(root, 0u);
    ASSERT_EQ(0u, os::DiskFreeSpace(contract::ScratchDir().c_str(), &scratch));
    EXPECT_GT(scratch, 0u);
    // Missing folders answer as opening them would.
    EXPECT_EQ(os::kErrFileNotFound, os::DiskFreeSpace("C:\\no-such-folder\\", &scratch));
    EXPECT_EQ(os::kErrPathNotFound, os::DiskFreeSpace("C:\\no-such-folder\\deeper\\", &scratch));
    EXPECT_EQ(os::kErrPathNotFound, os::DiskFreeSpace("Q:\\", &scratch));
}

TEST(SystemInfo, PortsAtBothLevelsAreTheSame) {
    std::vector<std::string> one, two;
    ASSERT_EQ(0u, os::EnumPortNames(1, one));
    ASSERT_EQ(0u, os::EnumPortNames(2, two));
    EXPECT_EQ(one, two);
    EXPECT_TRUE(Contains(two, "LPT1:"));
    EXPECT_TRUE(Contains(two, "FILE:"));
    EXPECT_EQ(124u, os::EnumPortNames(3, one));  // the level is not correct
    EXPECT_TRUE(IsPortExist("lpt1:"));
    EXPECT_FALSE(IsPortExist("NOPORT9:"));
}

TEST(SystemInfo, EveryPrinterUsesAnInstalledDriver) {
    std::vector<os::PrinterEntry> printers;
    std::vector<std::string> drivers;
    ASSERT_EQ(0u, os::EnumLocalPrinters(printers));
    ASSERT_EQ(0u, os::EnumPrinterDriverNames(drivers));
    for (const os::PrinterEntry& p : printers) {
        EXPECT_FALSE(p.name.empty());
        EXPECT_FALSE(p.port.empty()) << p.name;
        EXPECT_TRUE(Contains(drivers, p.driver)) << p.name << " uses " << p.driver;
        EXPECT_TRUE(IsPrinterInstalled(p.driver.c_str(), true));
    }
    for (const std::string& d : drivers) EXPECT_TRUE(IsPrinterInstalled(d.c_str(), false)) << d;
    EXPECT_FALSE(IsPrinterInstalled("No Such Printer Driver 42", false));
    EXPECT_FALSE(IsPrinterInstalled("No Such Printer Driver 42", true));
}

TEST(SystemInfo, NothingIsPendingForPlugAndPlay) {
    uint32_t answer = 1;
    ASSERT_EQ(0u, os::WaitNoPendingInstallEvents(0, &answer));
    EXPECT_EQ(0u, answer);
    EXPECT_FALSE(WaitNoPendingPnP(false));
}

TEST(SystemInfo, ServiceHandlesAndErrors) {
    void* manager = nullptr;
    void* service = nullptr;
    ASSERT_EQ(0u, os::OpenServiceManager(false, &manager));
    EXPECT_EQ(os::kErrServiceDoesNotExist,
              os::OpenSystemService(manager, "NoSuchService42", false, &service));
    EXPECT_EQ(nullptr, service);
    ASSERT_EQ(0u, os::OpenSystemService(manager, "spooler", false, &service));
    os::ServiceStatus st;
    ASSERT_EQ(0u, os::QueryServiceStatus(service, &st));
    EXPECT_TRUE(st.state == os::kServiceRunning || st.state == os::kServiceStopped) << st.state;
    os::CloseService(service);
    os::CloseService(manager);

    uint32_t state = 0;
    EXPECT_EQ(os::kErrInvalidParameter, QueryServiceState("Spooler", nullptr));
    EXPECT_EQ(os::kErrServiceDoesNotExist, QueryServiceState("NoSuchService42", &state));
}

TEST(SystemInfo, AServiceStartsAndStopsAndEndsAsFound) {
    uint32_t before = 0, state = 0;
    ASSERT_EQ(0u, QueryServiceState("Spooler", &before));
    // Both orders reach both states; the service ends as it was found.
    bool running = before == os::kServiceRunning;
    EXPECT_EQ(0u, running ? StopServiceByName("Spooler", &state)
                          : StartServiceByName("Spooler", &state));
    EXPECT_EQ(running ? os::kServiceStopped : os::kServiceRunning, state);
    // Already there: nothing to do.
    EXPECT_EQ(0u, running ? StopServiceByName("Spooler", &state)
                          : StartServiceByName("Spooler", &state));
    EXPECT_EQ(running ? os::kServiceStopped : os::kServiceRunning, state);
    EXPECT_EQ(0u, running ? StartServiceByName("Spooler", &state)
                          : StopServiceByName("Spooler", &state));
    EXPECT_EQ(before, state);
    ASSERT_EQ(0u, QueryServiceState("Spooler", &state));
    EXPECT_EQ(before, state);
}

// The state once a pending change is over (bounded).
uint32_t SettledState(const char* name) {
    uint32_t state = 0;
    for (int i = 0; i < 100; ++i) {
        if (QueryServiceState(name, &state) != 0) return 0;
        if (state != os::kServiceStartPending && state != os::kServiceStopPending) break;
        os::Sleep(100);
    }
    return state;
}

TEST(SystemInfo, StartAndStopRequestsOutOfTurnAreRefused) {
    uint32_t before = 0, state = 0;
    ASSERT_EQ(0u, QueryServiceState("Spooler", &before));
    ASSERT_EQ(0u, StopServiceByName("Spooler", &state));
    void* manager = nullptr;
    void* service = nullptr;
    ASSERT_EQ(0u, os::OpenServiceManager(true, &manager));
    ASSERT_EQ(0u, os::OpenSystemService(manager, "Spooler", true, &service));
    os::ServiceStatus st;
    EXPECT_EQ(os::kErrServiceNotActive, os::StopSystemService(service, &st));
    ASSERT_EQ(0u, os::StartSystemService(service));
    EXPECT_EQ(os::kErrServiceAlreadyRunning, os::StartSystemService(service));
    os::CloseService(service);
    os::CloseService(manager);
    EXPECT_EQ(os::kServiceRunning, SettledState("Spooler"));
    if (before == os::kServiceStopped) {
        EXPECT_EQ(0u, StopServiceByName("Spooler", &state));
    }
}

TEST(SystemInfo, TheFirewallServiceOfXpExists) {
    SKIP_KNOWN_WINE_GAP("no SharedAccess service");
    uint32_t state = 0;
    EXPECT_EQ(0u, QueryServiceState("SharedAccess", &state));
}

TEST(SystemInfo, TickCountFollowsSleep) {
    uint32_t start = os::TickCount();
    os::Sleep(100);
    // The clock's steps are 10-16 ms on Windows.
    EXPECT_GE(os::TickCount() - start, 80u);
}

TEST(SystemInfo, RemoveDirectoryOnlyRemovesEmptyDirectories) {
    const std::string dir = contract::ScratchDir() + contract::UniqueName("rmdir");
    const std::string inner = dir + "\\inner";
    ASSERT_EQ(0u, os::MakeDirectory(dir.c_str()));
    ASSERT_EQ(0u, os::MakeDirectory(inner.c_str()));
    EXPECT_EQ(os::kErrDirectoryNotEmpty, os::RemoveEmptyDirectory(dir.c_str()));
    os::Handle file = nullptr;
    const std::string path = inner + "\\f.txt", keep = dir + "\\keep.txt";
    for (const std::string& f : {path, keep}) {
        ASSERT_EQ(0u, os::CreateNewFile(f.c_str(), &file));
        os::CloseHandle(file);
    }
    EXPECT_EQ(os::kErrDirectory, os::RemoveEmptyDirectory(path.c_str()));
    EXPECT_EQ(os::kErrPathNotFound, os::RemoveEmptyDirectory((dir + "\\none\\deeper").c_str()));
    EXPECT_EQ(os::kErrFileNotFound, os::RemoveEmptyDirectory((dir + "\\none").c_str()));

    // The file goes, and with it the folders it leaves empty, up to one
    // that still holds something.
    EXPECT_TRUE(DeleteFileAndEmptyParents(path.c_str(), false));
    EXPECT_FALSE(os::DirectoryExists(inner.c_str()));
    EXPECT_TRUE(os::DirectoryExists(dir.c_str()));
    EXPECT_TRUE(DeleteFileAndEmptyParents(keep.c_str(), true));
    EXPECT_TRUE(os::DirectoryExists(dir.c_str()));
    EXPECT_EQ(0u, os::RemoveEmptyDirectory(dir.c_str()));
}

}  // namespace
