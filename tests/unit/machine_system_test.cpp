// The simulated machine's system model: spooler contents, services,
// Plug-and-Play, simulated time, free space and missing functions.
#include <sqlite3.h>

#include <string>
#include <vector>

#include "platform/os.h"
#include "sim_fixture.h"

namespace {

using testsupport::SimMachine;
using testsupport::WithKey;

std::string SpoolerIni() {
    std::string ini = sim::Machine::DefaultIni();
    ini = WithKey(ini, "Ports", "USB001", "USB Monitor");
    ini = WithKey(ini, "Printers", "Office, 2nd floor", "Veltrix LP-100, Series PCL, USB001");
    ini = WithKey(ini, "Drivers", "Veltrix LP-100, Series PCL", "Windows NT x86");
    ini = WithKey(ini, "Devices", "USB001",
                  "\"MFG:Veltrix;MDL:Veltrix LP-100;CMD:PCL;\", VID_1A2B&PID_0C01");
    ini = WithKey(ini, "Devices", "LPT1:", "\"MFG:Veltrix;MDL:Veltrix LP-100;\"");
    return ini;
}

TEST(MachineSystem, SpoolerContentsComeFromMachineIni) {
    SimMachine m(SpoolerIni());
    std::vector<std::string> ports;
    ASSERT_EQ(0u, os::EnumPortNames(2, ports));
    EXPECT_EQ((std::vector<std::string>{"USB001", "LPT1:", "COM1:", "FILE:"}), ports);
    std::vector<os::PrinterEntry> printers;
    ASSERT_EQ(0u, os::EnumLocalPrinters(printers));
    ASSERT_EQ(1u, printers.size());
    // Only the last comma ends the driver name.
    EXPECT_EQ("Office, 2nd floor", printers[0].name);
    EXPECT_EQ("Veltrix LP-100, Series PCL", printers[0].driver);
    EXPECT_EQ("USB001", printers[0].port);
    std::vector<std::string> drivers;
    ASSERT_EQ(0u, os::EnumPrinterDriverNames(drivers));
    EXPECT_EQ(std::vector<std::string>{"Veltrix LP-100, Series PCL"}, drivers);

    const std::vector<sim::Device>& devices = m.machine().devices();
    ASSERT_EQ(2u, devices.size());
    EXPECT_EQ("LPT1:", devices[0].port);
    EXPECT_EQ("MFG:Veltrix;MDL:Veltrix LP-100;", devices[0].deviceId);
    EXPECT_EQ("", devices[0].vidPid);
    EXPECT_EQ("USB001", devices[1].port);
    EXPECT_EQ("MFG:Veltrix;MDL:Veltrix LP-100;CMD:PCL;", devices[1].deviceId);
    EXPECT_EQ("VID_1A2B&PID_0C01", devices[1].vidPid);
}

TEST(MachineSystem, TheStoreIsTheTruthAfterTheFirstUse) {
    SimMachine m(SpoolerIni());
    std::vector<std::string> ports;
    ASSERT_EQ(0u, os::EnumPortNames(1, ports));
    // A changed machine.ini no longer counts for a machine in use.
    testsupport::WriteHost(m.folder() + "/machine.ini",
                           WithKey(SpoolerIni(), "Ports", "LPT2:", "Local Port"));
    std::unique_ptr<sim::Machine> again;
    ASSERT_EQ(0u, sim::Machine::Open(m.folder(), again));
    EXPECT_EQ(ports, again->Ports());
}

TEST(MachineSystem, AStoreMadeBeforeTheSpoolerTablesIsSeededOnce) {
    std::string folder;
    {
        SimMachine m(SpoolerIni());
        folder = m.folder();
        sqlite3* db = m.machine().registry().db();
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db,
                                          "DROP TABLE sys_seeded; DROP TABLE spool_port;"
                                          " DROP TABLE spool_printer; DROP TABLE spool_driver;"
                                          " DROP TABLE sys_service;",
                                          nullptr, nullptr, nullptr));
        std::unique_ptr<sim::Machine> again;
        ASSERT_EQ(0u, sim::Machine::Open(folder, again));
        EXPECT_EQ(4u, again->Ports().size());
        EXPECT_EQ(4u, again->Ports().size());
        EXPECT_EQ(1u, again->Printers().size());
        os::ServiceStatus st;
        EXPECT_EQ(0u, again->QueryService("Spooler", &st));
    }
}

struct MissingCase {
    const char* entry;
    uint32_t wow64Rc;
    uint32_t pnpRc;
};

TEST(MachineSystem, MissingFunctionsAnswerAsOnAnOldWindows) {
    const MissingCase cases[] = {
        {nullptr, 0, 0},
        {"IsWow64Process", os::kErrProcNotFound, 0},
        {"CMP_WaitNoPendingInstallEvents", 0, os::kErrProcNotFound},
        {"SETUPAPI.DLL", 0, os::kErrModNotFound},
    };
    for (const MissingCase& c : cases) {
        std::string ini = WithKey(sim::Machine::DefaultIni(), "Machine", "Is64Bit", "1");
        if (c.entry) ini = WithKey(ini, "MissingFunctions", c.entry, "1");
        SimMachine m(ini);
        bool wow64 = false;
        uint32_t answer = 1;
        EXPECT_EQ(c.wow64Rc, os::IsWow64Process(&wow64)) << (c.entry ? c.entry : "none");
        EXPECT_EQ(c.wow64Rc == 0, wow64);
        EXPECT_EQ(c.pnpRc, os::WaitNoPendingInstallEvents(1000, &answer));
        EXPECT_EQ(0u, answer);
    }
}

TEST(MachineSystem, AnEntryOfZeroIsNotMissing) {
    SimMachine m(WithKey(sim::Machine::DefaultIni(), "MissingFunctions", "IsWow64Process", "0"));
    bool wow64 = true;
    EXPECT_EQ(0u, os::IsWow64Process(&wow64));
}

TEST(MachineSystem, Wow64DependsOnTheProgram) {
    SimMachine m(WithKey(sim::Machine::DefaultIni(), "Machine", "Is64Bit", "1"));
    bool wow64 = false;
    ASSERT_EQ(0u, os::IsWow64Process(&wow64));
    EXPECT_TRUE(wow64);
    EXPECT_FALSE(os::ProgramIs64Bit());
    m.process().program64 = true;
    ASSERT_EQ(0u, os::IsWow64Process(&wow64));
    EXPECT_FALSE(wow64);
    EXPECT_TRUE(os::ProgramIs64Bit());
    // The 32-bit folders of a 64-bit machine exist from the start.
    EXPECT_TRUE(os::DirectoryExists("C:\\Program Files (x86)"));
}

TEST(MachineSystem, PlugAndPlayIsBusyForSimulatedTime) {
    SimMachine m(WithKey(sim::Machine::DefaultIni(), "Machine", "PnPBusyMs", "2500"));
    uint32_t answer = 0;
    const uint32_t expected[] = {258, 258, 0, 0};
    for (uint32_t e : expected) {
        ASSERT_EQ(0u, os::WaitNoPendingInstallEvents(1000, &answer));
        EXPECT_EQ(e, answer);
    }
    // Sleeping counts as time passing.
    SimMachine n(WithKey(sim::Machine::DefaultIni(), "Machine", "PnPBusyMs", "2500"));
    os::Sleep(2000);
    ASSERT_EQ(0u, os::WaitNoPendingInstallEvents(1000, &answer));
    EXPECT_EQ(0u, answer);
}

TEST(MachineSystem, SleepAdvancesTheSimulatedClock) {
    SimMachine m;
    uint32_t start = os::TickCount();
    os::Sleep(3600 * 1000);  // an hour, without waiting for it
    EXPECT_GE(os::TickCount() - start, 3600u * 1000u);
}

std::string ServiceIni() {
    std::string ini = sim::Machine::DefaultIni();
    ini = WithKey(ini, "Services", "Fax", "stopped, 1000");
    ini = WithKey(ini, "Services", "Stuck", "running, 2000, hang");
    return ini;
}

struct Handles {
    void* manager = nullptr;
    void* service = nullptr;
    ~Handles() {
        os::CloseService(service);
        os::CloseService(manager);
    }
};

uint32_t Open(Handles& h, const char* name, bool full = true) {
    uint32_t rc = os::OpenServiceManager(full, &h.manager);
    return rc ? rc : os::OpenSystemService(h.manager, name, full, &h.service);
}

TEST(MachineSystem, APendingServiceReportsProgressUntilItIsDone) {
    SimMachine m(ServiceIni());
    Handles h;
    ASSERT_EQ(0u, Open(h, "fax"));
    os::ServiceStatus st;
    ASSERT_EQ(0u, os::StartSystemService(h.service));
    ASSERT_EQ(0u, os::QueryServiceStatus(h.service, &st));
    EXPECT_EQ(os::kServiceStartPending, st.state);
    EXPECT_EQ(1000u, st.waitHintMs);
    uint32_t first = st.checkPoint;
    os::Sleep(500);
    ASSERT_EQ(0u, os::QueryServiceStatus(h.service, &st));
    EXPECT_EQ(os::kServiceStartPending, st.state);
    EXPECT_GT(st.checkPoint, first);
    EXPECT_EQ(os::kErrServiceCannotAcceptControl, os::StopSystemService(h.service, &st));
    os::Sleep(600);
    ASSERT_EQ(0u, os::QueryServiceStatus(h.service, &st));
    EXPECT_EQ(os::kServiceRunning, st.state);
    EXPECT_EQ(0u, st.checkPoint);
    EXPECT_EQ(0u, st.waitHintMs);
    EXPECT_EQ("service started: Fax\n", testsupport::ReadHost(m.folder() + "/journal.log"));
}

TEST(MachineSystem, AHangingServiceMakesNoProgress) {
    SimMachine m(ServiceIni());
    Handles h;
    ASSERT_EQ(0u, Open(h, "Stuck"));
    os::ServiceStatus st;
    ASSERT_EQ(0u, os::StopSystemService(h.service, &st));
    EXPECT_EQ(os::kServiceStopPending, st.state);
    os::Sleep(60000);
    ASSERT_EQ(0u, os::QueryServiceStatus(h.service, &st));
    EXPECT_EQ(os::kServiceStopPending, st.state);
    EXPECT_EQ(1u, st.checkPoint);
    EXPECT_EQ(2000u, st.waitHintMs);
}

TEST(MachineSystem, ServiceStatesOutliveTheProcess) {
    SimMachine m(ServiceIni());
    {
        Handles h;
        ASSERT_EQ(0u, Open(h, "Spooler"));
        os::ServiceStatus st;
        ASSERT_EQ(0u, os::StopSystemService(h.service, &st));
        os::Sleep(300);
        ASSERT_EQ(0u, os::QueryServiceStatus(h.service, &st));
        ASSERT_EQ(os::kServiceStopped, st.state);
    }
    std::unique_ptr<sim::Machine> again;
    ASSERT_EQ(0u, sim::Machine::Open(m.folder(), again));
    os::ServiceStatus st;
    ASSERT_EQ(0u, again->QueryService("SPOOLER", &st));
    EXPECT_EQ(os::kServiceStopped, st.state);
    EXPECT_EQ(os::kErrServiceDoesNotExist, again->QueryService("Nothing", &st));
}

TEST(MachineSystem, WhoMayUseTheServiceManager) {
    struct Case {
        const char* platform;
        const char* admin;
        uint32_t full, query;
    } cases[] = {
        {"2", "1", 0, 0},
        {"2", "0", os::kErrAccessDenied, 0},
        {"1", "1", os::kErrCallNotImplemented, os::kErrCallNotImplemented},
    };
    for (const Case& c : cases) {
        std::string ini = WithKey(ServiceIni(), "Version", "Platform", c.platform);
        SimMachine m(WithKey(ini, "Machine", "Administrator", c.admin));
        Handles full, query;
        EXPECT_EQ(c.full, Open(full, "Spooler", true)) << c.platform << "/" << c.admin;
        EXPECT_EQ(c.query, Open(query, "Spooler", false)) << c.platform << "/" << c.admin;
        if (c.query == 0) {
            EXPECT_EQ(os::kErrAccessDenied, os::StartSystemService(query.service));
        }
    }
}

struct FreeCase {
    const char* freeMb;
    bool withEx;
    uint64_t bytes;
};

TEST(MachineSystem, FreeSpaceWithAndWithoutTheExtendedCall) {
    const FreeCase cases[] = {
        {"3072", true, 3072ull << 20},
        {"3072", false, 65535ull * 32768},  // the old call stops short of 2 GB
        {"100", false, 100ull << 20},
    };
    for (const FreeCase& c : cases) {
        std::string ini = WithKey(sim::Machine::DefaultIni(), "Drives", "C",
                                  std::string("fixed, drive_c, ") + c.freeMb);
        if (!c.withEx) ini = WithKey(ini, "MissingFunctions", "GetDiskFreeSpaceExA", "1");
        SimMachine m(ini);
        uint64_t bytes = 0;
        EXPECT_EQ(0u, os::DiskFreeSpace("C:\\WINDOWS", &bytes));
        EXPECT_EQ(c.bytes, bytes) << c.freeMb << " " << c.withEx;
    }
    SimMachine m;
    uint64_t bytes = 1;
    EXPECT_EQ(os::kErrFileNotFound, os::DiskFreeSpace("C:\\Missing", &bytes));
    EXPECT_EQ(os::kErrPathNotFound, os::DiskFreeSpace("C:\\Missing\\deeper", &bytes));
    EXPECT_EQ(os::kErrPathNotFound, os::DiskFreeSpace("Q:\\", &bytes));
    EXPECT_EQ(0u, bytes);
}

TEST(MachineSystem, TerminalServerShowsInTheSuiteMask) {
    std::string ini = WithKey(sim::Machine::DefaultIni(), "Machine", "TerminalServer", "1");
    SimMachine m(WithKey(ini, "Version", "SuiteMask", "0x0100"));
    os::VersionInfo v;
    ASSERT_TRUE(os::GetVersionInfo(&v, true));
    EXPECT_EQ(0x0110, v.suiteMask);
}

TEST(MachineSystem, DriveTypesAndDirectoryRemoval) {
    SimMachine m;
    EXPECT_EQ(os::kDriveFixed, os::DriveTypeOf("C:\\"));
    EXPECT_EQ(os::kDriveCdRom, os::DriveTypeOf("d:\\"));
    EXPECT_EQ(os::kDriveCdRom, os::DriveTypeOf(nullptr));  // the current directory is on D:
    EXPECT_EQ(os::kDriveNoRootDir, os::DriveTypeOf("C:\\WINDOWS\\"));
    EXPECT_EQ(os::kErrAccessDenied, os::RemoveEmptyDirectory("C:\\"));
    ::mkdir((m.package() + "/sub").c_str(), 0755);
    EXPECT_EQ(os::kErrAccessDenied, os::RemoveEmptyDirectory("D:\\sub"));
}

}  // namespace
