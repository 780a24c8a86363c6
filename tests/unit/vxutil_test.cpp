// The package's utility library (data\Vxutil.dll) on simulated machines:
// the attached devices of a model and the free disk space.
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "companion_api.h"
#include "platform/os.h"
#include "sim_fixture.h"

namespace {

using testsupport::SimMachine;
using testsupport::WithKey;

std::string BuiltLibrary(const char* name) {
    char exe[PATH_MAX] = {};
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string dir = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string();
    return dir.substr(0, dir.rfind('/') + 1) + name;
}

// The library loaded from the machine's CD, as the installer loads it.
class Utility {
public:
    explicit Utility(SimMachine& machine) {
        ::mkdir((machine.package() + "/data").c_str(), 0755);
        testsupport::WriteHost(machine.package() + "/data/Vxutil.dll",
                               testsupport::ReadHost(BuiltLibrary("Vxutil.dll")));
        EXPECT_EQ(0u, os::OpenLibrary("D:\\data\\Vxutil.dll", &library_));
        getDevicePort = reinterpret_cast<PFN_GetDevicePort>(
            os::LibraryEntry(library_, "GetDevicePort"));
        getDiskFreeSpace = reinterpret_cast<PFN_GetDiskFreeSpaceVX>(
            os::LibraryEntry(library_, "GetDiskFreeSpaceVX"));
        EXPECT_NE(nullptr, getDevicePort);
        EXPECT_NE(nullptr, getDiskFreeSpace);
    }
    ~Utility() { os::CloseLibrary(library_); }

    PFN_GetDevicePort getDevicePort = nullptr;
    PFN_GetDiskFreeSpaceVX getDiskFreeSpace = nullptr;

private:
    os::Library library_ = nullptr;
};

// machine.ini with these [Devices] lines, in this order.
std::string WithDevices(std::string ini, const std::vector<std::pair<std::string, std::string>>& d) {
    std::string lines;
    for (const auto& [port, value] : d) lines += port + " = " + value + "\r\n";
    const std::string header = "[Devices]\r\n";
    size_t at = ini.find(header);
    if (at == std::string::npos) return ini + header + lines;
    return ini.insert(at + header.size(), lines);
}

const std::vector<std::pair<std::string, std::string>> kDevices = {
    {"USB001", "\"MFG:Veltrix;MDL:LP-100;CMD:PCL;\", VID_1A2B&PID_0C01"},
    {"LPT1:", "\"MANUFACTURER:Veltrix;MODEL:LP-100;\","},
    {"USB002", "\"MFG:Other;MDL:X-1;\", VID_9999&PID_0001"},
    {"USB003", "\"\", vid_1a2b&pid_0c01"},
};

TEST(Vxutil, ReportsThePortsOfTheModelsAttachedDevices) {
    struct Case {
        const char* mfg;
        const char* mdl;
        const char* vidPid;
        int32_t count;
        const char* ports;
    } cases[] = {
        {"Veltrix", "LP-100", "VID_1A2B&PID_0C01", 3, "USB001,USB003,LPT1:"},
        {"", "", "VID_1A2B&PID_0C01", 2, "USB001,USB003"},  // by VID/PID, any case
        {"veltrix", "lp-100", "", 2, "USB001,LPT1:"},       // by the device ids
        {"Veltrix", "LP-200", "VID_1A2B&PID_0C02", 0, ""},
        {"Other", "", "", 0, ""},  // a manufacturer alone names no model
    };
    SimMachine machine(WithDevices(sim::Machine::DefaultIni(), kDevices));
    Utility utility(machine);
    for (const Case& c : cases) {
        char port[COMPANION_PORT_TEXT] = "unchanged";
        int32_t count = -5;
        EXPECT_EQ(1, utility.getDevicePort(c.mfg, c.mdl, c.vidPid, port, &count)) << c.mdl;
        EXPECT_EQ(c.count, count) << c.mfg << "/" << c.mdl << "/" << c.vidPid;
        EXPECT_STREQ(c.ports, port) << c.mfg << "/" << c.mdl << "/" << c.vidPid;
    }
}

TEST(Vxutil, ManyDevicesAreCountedAndThePortTextHoldsWholeNames) {
    std::vector<std::pair<std::string, std::string>> many;
    for (int i = 1; i <= 300; ++i) many.push_back({"USB" + std::to_string(1000 + i), ", VID_1&PID_2"});
    SimMachine machine(WithDevices(sim::Machine::DefaultIni(), many));
    Utility utility(machine);
    char port[COMPANION_PORT_TEXT];
    int32_t count = 0;
    ASSERT_EQ(1, utility.getDevicePort("", "", "VID_1&PID_2", port, &count));
    EXPECT_EQ(300, count);
    std::string text = port;
    EXPECT_LE(text.size(), 259u);
    EXPECT_EQ(0u, text.find("USB1001,USB1002,"));
    EXPECT_EQ("USB", text.substr(text.rfind(',') + 1, 3));  // the last name is whole
    EXPECT_EQ(7u, text.size() - text.rfind(',') - 1);
}

TEST(Vxutil, AMachineWithoutTheDeviceLibraryHasNoUsb) {
    SimMachine machine(WithKey(WithDevices(sim::Machine::DefaultIni(), kDevices),
                               "MissingFunctions", "setupapi.dll", "1"));
    Utility utility(machine);
    char port[COMPANION_PORT_TEXT] = "unchanged";
    int32_t count = 0;
    EXPECT_EQ(1, utility.getDevicePort("Veltrix", "LP-100", "VID_1A2B&PID_0C01", port, &count));
    EXPECT_EQ(COMPANION_NO_USB, count);
    EXPECT_STREQ("", port);
}

TEST(Vxutil, ReportsTheFreeSpaceInMegabytes) {
    struct Case {
        const char* missing;  // a function the machine lacks, or none
        const char* path;
        uint32_t mb;
    } cases[] = {
        {nullptr, "", 20480},          // empty: the Windows directory's disk
        {nullptr, "C:\\WINDOWS", 20480},
        {nullptr, "Q:\\", 0},          // no such drive: no figure
        {"GetDiskFreeSpaceExA", "", 2047},  // the old call tells at most 2 GB
    };
    for (const Case& c : cases) {
        std::string ini = sim::Machine::DefaultIni();
        if (c.missing) ini = WithKey(ini, "MissingFunctions", c.missing, "1");
        SimMachine machine(ini);
        ::mkdir(machine.Host("C:\\WINDOWS").c_str(), 0755);
        Utility utility(machine);
        EXPECT_EQ(c.mb, utility.getDiskFreeSpace(c.path)) << c.path << " " << (c.missing ? c.missing : "");
    }
}

}  // namespace
