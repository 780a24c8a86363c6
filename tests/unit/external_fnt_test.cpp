// The companion-library facade on a simulated machine: which libraries the
// data profile names, the load lines, and every entry point's guarded call
// with the faulty test library standing in for all the libraries.
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <sstream>
#include <vector>

#include "app/installer_app.h"
#include "companion_api.h"
#include "sim_fixture.h"
#include "sys/external_fnt.h"

namespace {

using testsupport::SimMachine;
using testsupport::WriteHost;

// Host path of a library built next to this test program.
std::string BuiltLibrary(const char* name) {
    char exe[PATH_MAX] = {};
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string dir = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string();
    return dir.substr(0, dir.rfind('/') + 1) + name;
}

void CopyHost(const std::string& from, const std::string& to) {
    WriteHost(to, testsupport::ReadHost(from));
}

class TestApp : public CInstallerApp {
public:
    TestApp() : CInstallerApp(std::make_unique<CGlobalVar>()) {}
};

// An application on a machine whose CD holds Setup.dat (the given text)
// and, in data\, the faulty library under the name Faulty.dll and a file
// that is no library.
class Package {
public:
    explicit Package(const std::string& dat, const std::string& osDefine = std::string()) {
        ::mkdir((machine_.package() + "/data").c_str(), 0755);
        WriteHost(machine_.package() + "/Setup.dat", dat);
        CopyHost(BuiltLibrary("Faulty.dll"), machine_.package() + "/data/Faulty.dll");
        WriteHost(machine_.package() + "/data/Text.dll", "not a library\r\n");
        app_ = std::make_unique<TestApp>();
        CGlobalVar& g = app_->global();
        g.sourceDir = "D:";
        g.target.osDefine = osDefine;
        g.profiles.data.Create("D:\\Setup.dat", "D:\\Setup.dat", nullptr, false);
        seen_ = Lines().size();
    }

    // The log lines written since the last call, without time stamps.
    std::vector<std::string> NewLines() {
        std::vector<std::string> all = Lines();
        std::vector<std::string> fresh(all.begin() + static_cast<long>(std::min(seen_, all.size())),
                                       all.end());
        seen_ = all.size();
        return fresh;
    }

    // The faulty library's own switch (the same module the facade loaded).
    void SetMode(const char* mode) {
        os::Library lib = nullptr;
        ASSERT_EQ(0u, os::OpenLibrary("D:\\data\\Faulty.dll", &lib));
        auto set = reinterpret_cast<void (*)(const char*)>(os::LibraryEntry(lib, "FaultyMode"));
        ASSERT_NE(nullptr, set);
        set(mode);
        os::CloseLibrary(lib);
    }

private:
    std::vector<std::string> Lines() {
        std::istringstream in(testsupport::ReadHost(machine_.Host(app_->log().FileName())));
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() > 12 && line[0] == '[' && line[9] == ']') lines.push_back(line.substr(12));
        }
        return lines;
    }

    SimMachine machine_;
    std::unique_ptr<TestApp> app_;
    size_t seen_ = 0;
};

// "Error Code = N :" lines carry the system's text; compare their start.
void ExpectLines(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
    ASSERT_EQ(expected.size(), actual.size()) << ::testing::PrintToString(actual);
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i].compare(0, 13, "Error Code = ") == 0)
            EXPECT_EQ(expected[i], actual[i].substr(0, expected[i].size())) << i;
        else
            EXPECT_EQ(expected[i], actual[i]) << i;
    }
}

const char kAllFaulty[] =
    "[INSTALLER_FILE_INFO]\r\n"
    "INSTALLER_DLL = .\\data\\Faulty.dll\r\n"
    "UTILITY_DLL = .\\data\\Faulty.dll\r\n"
    "REMOTE_INSTALL_DLL = .\\data\\Faulty.dll\r\n"
    "DIAGNOSIS_DLL = .\\data\\Faulty.dll\r\n"
    "TESTPAGE_DLL = .\\data\\Faulty.dll\r\n"
    "NETWORKMAN_DLL = .\\data\\Faulty.dll\r\n"
    "RESOURCE_DLL = .\\data\\Faulty.dll\r\n"
    "PREINSTALLER_DLL = .\\data\\Faulty.dll\r\n"
    "SETIP_DLL = .\\data\\Faulty.dll\r\n"
    "UNINSTALLER_EXE = .\\data\\Faulty.dll\r\n"
    "VXOPEN_EXE = .\\data\\Faulty.dll\r\n";

TEST(ExternalFnt, LoadsTheNamedLibrariesWithTheirFailureLines) {
    // The platform variant wins over the plain section; a missing key takes
    // the built-in name; the test page follows the diagnosis library.
    Package p(
        "[INSTALLER_FILE_INFO]\r\n"
        "INSTALLER_DLL = .\\data\\Faulty.dll\r\n"
        "UTILITY_DLL = .\\data\\Missing.dll\r\n"
        "REMOTE_INSTALL_DLL = .\\data\\Missing.dll\r\n"
        "DIAGNOSIS_DLL = .\\data\\Faulty.dll\r\n"
        "RESOURCE_DLL = .\\data\\Faulty.dll\r\n"
        "SETIP_DLL = .\\data\\Text.dll\r\n"
        "[INSTALLER_FILE_INFO.XP]\r\n"
        "REMOTE_INSTALL_DLL = .\\data\\Faulty.dll\r\n",
        "XP");
    CExternalFnt fnt;
    EXPECT_TRUE(fnt.Load("INSTALLER_FILE_INFO"));
    ExpectLines({"(D:\\data\\Missing.dll) file does not exist.",
                 "Load Utility DLL fail ()",
                 "Error Code = 126 :",
                 "(D:\\data\\VxNetMan.dll) file does not exist.",
                 "Get network Netmanager DLL fail",
                 "(D:\\data\\VXDelAll.exe) file does not exist.",
                 "(D:\\data\\Vxopen.exe) file does not exist.",
                 "(D:\\data\\VXpre.dll) file does not exist.",
                 "Load PreInstaller DLL fail ()",
                 "Error Code = 126 :",
                 "Load SetIP DLL fail (D:\\data\\Text.dll)",
                 "Error Code = 193 :"},
                p.NewLines());

    EXPECT_NE(nullptr, fnt.LoadedLibrary(CExternalFnt::kRemoteInstallLibrary));
    EXPECT_NE(nullptr, fnt.LoadedLibrary(CExternalFnt::kResourceLibrary));
    EXPECT_TRUE(fnt.HasEntry(CExternalFnt::kMyInstall));
    EXPECT_TRUE(fnt.HasEntry(CExternalFnt::kPrintTestPage));
    EXPECT_TRUE(fnt.HasEntry(CExternalFnt::kDiagnosisEx));
    EXPECT_FALSE(fnt.HasEntry(CExternalFnt::kGetDevicePort));
    EXPECT_FALSE(fnt.HasEntry(CExternalFnt::kSetIP));
    EXPECT_EQ("D:\\data\\Faulty.dll", fnt.ResourcePath());
    EXPECT_EQ("", fnt.NetworkManagerPath());
    EXPECT_EQ("", fnt.UninstallerPath());

    fnt.Unload();
    EXPECT_FALSE(fnt.HasEntry(CExternalFnt::kMyInstall));
    EXPECT_EQ(nullptr, fnt.LoadedLibrary(CExternalFnt::kInstallerLibrary));
}

// Every entry point, called with fixed arguments, with the call line it
// logs (empty for the two that log none) and its failure value.
struct EntryCase {
    CExternalFnt::EntryId id;
    const char* callLine;
    int failure;
    std::function<int(CExternalFnt&)> call;
};

const std::vector<EntryCase>& Cases() {
    static char text[16384];
    static int32_t count;
    static uint32_t size, number;
    static const std::vector<EntryCase> cases = {
        {CExternalFnt::kGetDevicePort,
         "Call GetDevicePort(Veltrix,LP-100,VID_1A2B&PID_0C01,lpPort,lpdwPortNum)", 0,
         [](CExternalFnt& f) {
             return f.GetDevicePort("Veltrix", "LP-100", "VID_1A2B&PID_0C01", text, &count);
         }},
        {CExternalFnt::kStartPreventPnP, "Call StartPreventPnP(VeltrixLP-100)", 0,
         [](CExternalFnt& f) { return f.StartPreventPnP("VeltrixLP-100"); }},
        {CExternalFnt::kEndPreventPnP, "Call EndPreventPnP(VeltrixLP-100)", 0,
         [](CExternalFnt& f) { return f.EndPreventPnP("VeltrixLP-100"); }},
        {CExternalFnt::kRemoveHardwareWizardDialog, "", 0,
         [](CExternalFnt& f) { return f.RemoveHardwareWizardDialog(); }},
        {CExternalFnt::kMySetForegroundNHWdDialog, "", 0,
         [](CExternalFnt& f) { return f.MySetForegroundNHWdDialog(); }},
        {CExternalFnt::kSystemRefresh, "Call SystemRefresh(VeltrixLP-100,VID_1A2B&PID_0C01)", 0,
         [](CExternalFnt& f) { return f.SystemRefresh("VeltrixLP-100", "VID_1A2B&PID_0C01"); }},
        {CExternalFnt::kRemoveUnknownDev, "Call RemoveUnknownDev(VeltrixLP-100,)", 0,
         [](CExternalFnt& f) { return f.RemoveUnknownDev("VeltrixLP-100", nullptr); }},
        {CExternalFnt::kSaveFile, "Call SaveFile(C:\\rec.txt,SOFTWARE\\Veltrix,0)", 0,
         [](CExternalFnt& f) { return f.SaveFile("C:\\rec.txt", "SOFTWARE\\Veltrix", 0); }},
        {CExternalFnt::kGetDiskFreeSpaceVX, "Call GetDiskFreeSpaceVX()", 0,
         [](CExternalFnt& f) { return static_cast<int>(f.GetDiskFreeSpaceVX("")); }},
        {CExternalFnt::kMyGetDeviceIDFromPort, "Call MyGetDeviceIDFromPort", 0,
         [](CExternalFnt& f) { return f.MyGetDeviceIDFromPort("USB001", text); }},
        {CExternalFnt::kMyInstall, "Call MyInstall(0,K,K\\Items\\Driver,1)", 0,
         [](CExternalFnt& f) { return f.MyInstall(0, "K", "K\\Items\\Driver", 1); }},
        {CExternalFnt::kMyCreateShortCut, "Call MyCreateShortCut(0,K,K\\Shortcut\\Manual)", 0,
         [](CExternalFnt& f) { return f.MyCreateShortCut(0, "K", "K\\Shortcut\\Manual"); }},
        {CExternalFnt::kPrintTestPage, "Call PrintTestPage(a,b,c,D:\\VXres.dll,d)", -1,
         [](CExternalFnt& f) { return f.PrintTestPage("a", "b", "c", "D:\\VXres.dll", "d"); }},
        {CExternalFnt::kMetaTestPage, "Call MetaTestPage(a,b)", -1,
         [](CExternalFnt& f) { return f.MetaTestPage("a", "b"); }},
        {CExternalFnt::kPrintPrnFile, "Call PrintPrnFile(a,b)", 1,
         [](CExternalFnt& f) { return f.PrintPrnFile("a", "b"); }},
        {CExternalFnt::kDiagnosis, "Call Diagnosis(Veltrix,LP 100,LP-100,V)", 1,
         [](CExternalFnt& f) { return f.Diagnosis("Veltrix", "LP 100", "LP-100", "V"); }},
        {CExternalFnt::kDiagnosisEx, "Call DiagnosisEx(Veltrix,LP 100,LP-100,V,0)", 1,
         [](CExternalFnt& f) { return f.DiagnosisEx("Veltrix", "LP 100", "LP-100", "V", 0); }},
        {CExternalFnt::kMyGetPrinterDesc, "Call MyGetPrinterDesc(10.0.0.7)", 4096,
         [](CExternalFnt& f) { return f.MyGetPrinterDesc("10.0.0.7", text, 1); }},
        {CExternalFnt::kMyGetIPX, "Call MyGetIPX(10.0.0.7)", 0,
         [](CExternalFnt& f) { return f.MyGetIPX("10.0.0.7", text); }},
        {CExternalFnt::kMySetNetworkPort, "Call MySetNetworkPort(IP_1,1,Mon,mon.dll,Mx,0)", 0,
         [](CExternalFnt& f) { return f.MySetNetworkPort("IP_1", "1", "Mon", "mon.dll", "Mx", 0); }},
        {CExternalFnt::kMySetNetworkPortEx,
         "Call MySetNetworkPortEx(IP_1,1,x,ipx,Mon,mon.dll,Mx,1)", 0,
         [](CExternalFnt& f) {
             return f.MySetNetworkPortEx("IP_1", "1", "x", "ipx", "Mon", "mon.dll", "Mx", 1);
         }},
        {CExternalFnt::kMyDelNetworkPort, "Call MyDelNetworkPort(IP_1,Mx,0)", 0,
         [](CExternalFnt& f) { return f.MyDelNetworkPort("IP_1", "Mx", 0); }},
        {CExternalFnt::kPreinstall, "Call Preinstall(/P D:\\Setup.dat,0)", -1,
         [](CExternalFnt& f) { return f.Preinstall("/P D:\\Setup.dat", nullptr); }},
        {CExternalFnt::kSetIP, "Call SetIP(a,b,c,d)", 1,
         [](CExternalFnt& f) { return f.SetIP("a", "b", "c", "d"); }},
        {CExternalFnt::kGetNetPrinter, "Call GetNetPrinter(1,650,0)", 1,
         [](CExternalFnt& f) {
             size = 650;
             number = 0;
             return f.GetNetPrinter(text, &size, &number);
         }},
    };
    return cases;
}

TEST(ExternalFnt, AbsentEntryPointsLogNullAndAnswerTheirFailureValue) {
    Package p("[INSTALLER_FILE_INFO]\r\n");
    CExternalFnt fnt;
    fnt.Load();
    p.NewLines();
    for (const EntryCase& c : Cases()) {
        EXPECT_EQ(c.failure, c.call(fnt)) << CExternalFnt::EntryName(c.id);
        ExpectLines({std::string("Call ") + CExternalFnt::EntryName(c.id) + " ==> NULL"},
                    p.NewLines());
    }
}

TEST(ExternalFnt, EveryEntryPointCallsThroughWithItsCallLine) {
    // The table below holds each entry point once, in the facade's order.
    ASSERT_EQ(static_cast<size_t>(CExternalFnt::kEntryCount), Cases().size());
    for (size_t i = 0; i < Cases().size(); ++i) ASSERT_EQ(static_cast<int>(i), Cases()[i].id);
    Package p(kAllFaulty);
    CExternalFnt fnt;
    fnt.Load();
    ASSERT_EQ(std::vector<std::string>{}, p.NewLines());
    EXPECT_EQ("D:\\data\\Faulty.dll", fnt.NetworkManagerPath());
    for (const EntryCase& c : Cases()) {
        EXPECT_EQ(7, c.call(fnt)) << CExternalFnt::EntryName(c.id);
        std::vector<std::string> expected;
        if (*c.callLine) expected.push_back(c.callLine);
        ExpectLines(expected, p.NewLines());
    }
}

class ExternalFntFault : public ::testing::TestWithParam<const char*> {};

TEST_P(ExternalFntFault, AnswersTheFailureValueAfterTheGpfLineAndTheNextCallWorks) {
    Package p(kAllFaulty);
    CExternalFnt fnt;
    fnt.Load();
    p.NewLines();
    for (const EntryCase& c : Cases()) {
        const std::string name = CExternalFnt::EntryName(c.id);
        p.SetMode(GetParam());
        EXPECT_EQ(c.failure, c.call(fnt)) << name;
        std::vector<std::string> expected;
        if (*c.callLine) expected.push_back(c.callLine);
        expected.push_back("Call " + name + "() ==> GPF!!!!");
        ExpectLines(expected, p.NewLines());

        p.SetMode("ok");
        EXPECT_EQ(7, c.call(fnt)) << name;
        p.NewLines();
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, ExternalFntFault,
                         ::testing::Values("null", "divide", "throw", "trap"));

}  // namespace
