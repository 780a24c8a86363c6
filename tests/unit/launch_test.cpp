// Launching programs, documents, addresses, folders and manuals on the
// simulated machine: host scripts in the package run, every other shell
// action goes to the journal; waited programs hold the wizard's window.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "app/installer_app.h"
#include "app/messages.h"
#include "command/launch.h"
#include "platform/sim/headless.h"
#include "app_doubles.h"
#include "sim_fixture.h"
#include "wizard/wizard.h"

namespace {

using testsupport::FixedClockIni;
using testsupport::ReadHost;
using testsupport::SimMachine;
using testsupport::WriteHost;

// The package lives in D:\Disk1, so that ".." names D:\.
const char kSetupDat[] =
    "[INSTALLER_FILE_INFO]\r\n"
    "CONFIGURE_FILE = .\\data\\vxinst.vxi\r\n"
    "COMMAND_FILE = .\\data\\vxinst.cmd\r\n"
    "STRING_FILE_FORMAT = .\\data\\String\\Lang_%s.str\r\n"
    "[VERSION]\r\nVERSION = 2.10\r\n";

// Records where it ran and with what, then waits for "go" beside it when
// asked to (first argument "wait").
const char kScript[] =
    "#!/bin/sh\n"
    "pwd > \"$0.ran\"\n"
    "echo \"$@\" >> \"$0.ran\"\n"
    "if [ \"$1\" = wait ]; then while [ ! -f \"$0.go\" ]; do sleep 0.01; done; fi\n"
    "exit 0\n";

class LaunchWizard : public CWizard {
public:
    std::vector<uintptr_t> endWaits;
    intptr_t OnMessage(ui::HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                       bool& handled) override {
        if (msg == WM_USER_END_WAIT) {
            endWaits.push_back(wParam);
            EndWait(hwnd, nullptr, wParam);
            handled = true;
            ui::PostQuit(0);
            return 0;
        }
        return CWizard::OnMessage(hwnd, msg, wParam, lParam, handled);
    }

protected:
    void RunStartCommand() override {}
};

using DoubleGlobal = testsupport::GlobalDouble;

class LaunchApp : public CInstallerApp {
public:
    LaunchApp() : CInstallerApp(std::make_unique<DoubleGlobal>()) {}
    LaunchWizard* launchWizard = nullptr;
    using CInstallerApp::SetSilent;

protected:
    std::unique_ptr<CWizard> MakeWizard() override {
        auto w = std::make_unique<LaunchWizard>();
        launchWizard = w.get();
        return w;
    }
    bool IsAdministrator() override { return true; }
    int OsFamily() override { return 20; }
    bool CheckMinimumRequirement(bool) override { return true; }
    bool LoadItems() override { return true; }
    bool ItemListEmpty() override { return false; }
    bool InitWizard(const std::string& section) override { return wizard()->Init(section); }
    bool IsPreviousInstallation() override { return false; }
    bool ReadInstalledLangCode(uint32_t&) override { return false; }
    int InstallerDriveKind() override { return 3; }
    bool WriteInstallingString(const char*, const std::string&) override { return true; }
    bool WriteInstallingDword(const char*, uint32_t) override { return true; }
};

// Whether the window takes input, without changing it.
bool Enabled(ui::HWnd hwnd) {
    bool wasDisabled = ui::EnableWindowHandle(hwnd, true);
    if (wasDisabled) ui::EnableWindowHandle(hwnd, false);
    return !wasDisabled;
}

class Launch : public ::testing::Test {
protected:
    Launch() : m(FixedClockIni()) {
        disk = m.package() + "/Disk1";
        Write("Setup.dat", kSetupDat);
        Write("data/vxinst.vxi",
              "[INSTALL_START_INFO]\r\nDIALOGS = LIST\r\n[REINST_START_INFO]\r\nDIALOGS = "
              "LIST\r\n[UNINST_START_INFO]\r\nDIALOGS = LIST\r\n");
        Write("data/vxinst.cmd", "[CMD]\r\nCMD_TYPE = CT_APP_TERMINATE\r\n");
        Write("data/String/Lang_EN.str", "[MESSAGES]\r\n");
        m.process().exePath = "D:\\Disk1\\Setup.exe";
        m.process().commandLine = "\"D:\\Disk1\\Setup.exe\" /AC:\\Target";
        headless::TakeShownBoxes();
    }
    // A file of the package, below D:\Disk1 unless it starts with "../".
    void Write(const std::string& relative, const std::string& text, bool executable = false) {
        std::string path = disk + "/" + relative;
        for (size_t i = m.package().size() + 1; i < path.size(); ++i)
            if (path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0755);
        WriteHost(path, text);
        if (executable) ::chmod(path.c_str(), 0755);
    }
    std::string Ran(const std::string& relative) { return ReadHost(disk + "/" + relative + ".ran"); }
    std::vector<std::string> Journal() { return Lines(m.folder() + "/journal.log"); }
    std::vector<std::string> Log(LaunchApp& app) {
        std::vector<std::string> out;
        for (const std::string& l : Lines(m.Host(app.log().FileName())))
            if (l.size() > 12 && l[0] == '[' && l[9] == ']') out.push_back(l.substr(12));
        return out;
    }
    static std::vector<std::string> Lines(const std::string& host) {
        std::istringstream in(ReadHost(host));
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    static bool Has(const std::vector<std::string>& lines, const std::string& text) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
    // Runs the wizard's messages until a wait has ended.
    static void RunUntilEndWait() { ui::RunMessageLoop(nullptr, nullptr); }

    SimMachine m;
    std::string disk;
};

TEST_F(Launch, ProgramsStartInTheirOwnFolderWithTheirArguments) {
    Write("bin/run.exe", kScript, true);
    Write("../Tools/x.exe", kScript, true);
    LaunchApp app;
    ASSERT_TRUE(app.InitInstance());
    struct Row {
        const char* p1;
        const char* p2;
        const char* ran;     // its record, below D:\Disk1
        const char* folder;  // host folder below the package
    };
    const Row rows[] = {
        {".\\bin\\run.exe", "a b", "bin/run.exe", "/Disk1/bin"},
        {"bin\\run.exe", "", "bin/run.exe", "/Disk1/bin"},
        {"..\\Tools\\x.exe", "one", "../Tools/x.exe", "/Tools"},
        {"$SRC_DIR$\\bin\\run.exe", "c", "bin/run.exe", "/Disk1/bin"},
    };
    for (const Row& r : rows) {
        ::unlink((disk + "/" + r.ran + ".ran").c_str());
        os::Handle process = LaunchProgram(r.p1, r.p2);
        ASSERT_NE(nullptr, process) << r.p1;
        EXPECT_EQ(0u, os::WaitProcess(process, 10000)) << r.p1;
        os::CloseProcess(process);
        EXPECT_EQ(m.package() + r.folder + "\n" + r.p2 + "\n", Ran(r.ran)) << r.p1;
    }
    EXPECT_TRUE(headless::TakeShownBoxes().empty());
}

TEST_F(Launch, AMissingOrUnstartableProgramGivesNoProcess) {
    Write("plain", "no program");
    std::string logName;
    {
        LaunchApp app;
        ASSERT_TRUE(app.InitInstance());
        ui::HWnd wizard = app.wizard()->hwnd();
        // Missing: only the log line; the windows stay enabled.
        EXPECT_FALSE(StartProgram("missing.exe", "", true, true));
        EXPECT_FALSE(StartProgram("missing.exe", "", false, false));
        EXPECT_TRUE(headless::TakeShownBoxes().empty());
        EXPECT_TRUE(Enabled(wizard));
        EXPECT_TRUE(Has(Log(app), "(D:\\Disk1\\missing.exe) file does not exist."));
        // A file no program opens: a warning box with the path as caption.
        EXPECT_FALSE(StartProgram("plain", "", true, true));
        std::vector<headless::ShownBox> boxes = headless::TakeShownBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ("D:\\Disk1\\plain", boxes[0].caption);
        EXPECT_EQ(ui::kMbOk | ui::kMbIconWarning, boxes[0].style);
        EXPECT_TRUE(Enabled(wizard));
    }
}

TEST_F(Launch, AWaitedProgramHoldsTheWizardUntilItEnds) {
    struct Row {
        bool bringToFront;
        uintptr_t wParam;
    };
    for (const Row& r : {Row{true, 1}, Row{false, 0}}) {
        Write("bin/run.exe", kScript, true);
        ::unlink((disk + "/bin/run.exe.go").c_str());
        LaunchApp app;
        ASSERT_TRUE(app.InitInstance());
        ui::HWnd wizard = app.wizard()->hwnd();
        ASSERT_TRUE(StartProgram("bin\\run.exe", "wait", true, r.bringToFront));
        // The command returned while the program still runs; the wizard is held.
        EXPECT_FALSE(Enabled(wizard));
        Write("bin/run.exe.go", "");
        RunUntilEndWait();
        EXPECT_EQ(std::vector<uintptr_t>{r.wParam}, app.launchWizard->endWaits);
        EXPECT_TRUE(Enabled(wizard));
        app.wizard()->Destroy();
    }
}

TEST_F(Launch, AWindowsProgramOrDocumentGoesToTheJournal) {
    Write("win.exe", "MZ");
    Write("manual.pdf", "%PDF");
    ::mkdir((disk + "/Drivers").c_str(), 0755);
    LaunchApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(StartProgram("win.exe", "/s", false, false));
    EXPECT_TRUE(OpenDocument("manual.pdf"));
    EXPECT_FALSE(OpenDocument("missing.pdf"));
    EXPECT_TRUE(OpenFolder(""));
    EXPECT_TRUE(OpenFolder("Drivers"));
    EXPECT_EQ((std::vector<std::string>{"shell open: D:\\Disk1\\win.exe | /s | in D:\\Disk1",
                                        "shell open: D:\\Disk1\\manual.pdf",
                                        "shell open: D:\\Disk1\\", "shell open: D:\\Disk1\\Drivers\\"}),
              Journal());
    std::vector<std::string> log = Log(app);
    EXPECT_TRUE(Has(log, "(D:\\Disk1\\missing.pdf) file does not exist."));
    EXPECT_TRUE(Has(log, "Open Browse : D:\\Disk1\\"));
    EXPECT_TRUE(Has(log, "Open Browse : D:\\Disk1\\Drivers\\"));
    EXPECT_TRUE(headless::TakeShownBoxes().empty());
    // A folder that is not there: a warning box without caption, still true.
    EXPECT_TRUE(OpenFolder("Nowhere"));
    std::vector<headless::ShownBox> boxes = headless::TakeShownBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("", boxes[0].caption);
}

TEST_F(Launch, AnAddressOpensInTheBrowserElseWithTheShell) {
    LaunchApp app;
    ASSERT_TRUE(app.InitInstance());
    // No browser on this machine: one failure logged, then the shell.
    EXPECT_TRUE(OpenAddress("http://example.com/support"));
    std::vector<std::string> log = Log(app);
    auto at = std::find(log.begin(), log.end(), "Open IEXPLORE.EXE");
    ASSERT_NE(log.end(), at);
    ASSERT_NE(log.end(), at + 1);
    EXPECT_EQ(0u, (at + 1)->find("Error Code = 2 :"));
    EXPECT_EQ(std::vector<std::string>{"shell open: http://example.com/support"}, Journal());
    // Neither the browser nor the shell: false, both failures logged.
    EXPECT_FALSE(OpenAddress(""));
    log = Log(app);
    EXPECT_EQ(2, std::count(log.begin(), log.end(), "Open IEXPLORE.EXE"));
    EXPECT_EQ(1, std::count(log.begin(), log.end(), "Open"));

    // With the browser registered, the browser gets the address.
    std::string ie = "C:\\Program Files\\Internet Explorer";
    ::mkdir(m.Host("C:\\Program Files").c_str(), 0755);
    ::mkdir(m.Host(ie).c_str(), 0755);
    WriteHost(m.Host(ie + "\\IEXPLORE.EXE"), "MZ");
    os::RegKey key = nullptr;
    ASSERT_EQ(0u, os::CreateRegKey(os::kHKLM,
                                   "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
                                   "Paths\\IEXPLORE.EXE",
                                   os::kRegOptionNonVolatile, os::kKeyAllAccess, &key, nullptr));
    std::string value = ie + "\\IEXPLORE.EXE";
    ASSERT_EQ(0u, os::SetRegValue(key, "", os::kRegSz, value.c_str(),
                                  static_cast<uint32_t>(value.size() + 1)));
    os::CloseRegKey(key);
    EXPECT_TRUE(OpenAddress("http://example.com/"));
    EXPECT_EQ("shell open: " + value + " | http://example.com/", Journal().back());
}

TEST_F(Launch, AManualOpensThroughTheOpenerAndWaits) {
    Write("manual.pdf", "%PDF");
    Write("data/Vxopen.exe", kScript, true);
    LaunchApp app;
    ASSERT_TRUE(app.InitInstance());
    app.global().externalFnt.Load();
    ASSERT_EQ("D:\\Disk1\\data\\Vxopen.exe", GetExternalFnt()->DocumentOpenerPath());
    ui::HWnd wizard = app.wizard()->hwnd();
    EXPECT_TRUE(OpenManual("manual.pdf", "wait"));
    EXPECT_FALSE(Enabled(wizard));
    Write("data/Vxopen.exe.go", "");
    RunUntilEndWait();
    EXPECT_EQ(std::vector<uintptr_t>{0}, app.launchWizard->endWaits);
    EXPECT_TRUE(Enabled(wizard));
    // The command line as written, the paths unquoted.
    EXPECT_EQ(m.package() + "/Disk1\n/T D:\\Disk1\\manual.pdf wait\n", Ran("data/Vxopen.exe"));
    EXPECT_FALSE(OpenManual("missing.pdf", ""));
}

TEST_F(Launch, WithoutTheOpenerTheManualOpensWithItsOwnProgram) {
    Write("manual.pdf", "%PDF");
    LaunchApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(OpenManual("manual.pdf", "x"));
    EXPECT_TRUE(Enabled(app.wizard()->hwnd()));
    std::vector<std::string> log = Log(app);
    auto at = std::find(log.begin(), log.end(), "Open Manual");
    ASSERT_NE(log.end(), at);
    ASSERT_NE(log.end(), at + 1);
    EXPECT_EQ(0u, (at + 1)->find("Error Code = 2 :"));
    EXPECT_EQ(std::vector<std::string>{"shell open: D:\\Disk1\\manual.pdf"}, Journal());
}

TEST_F(Launch, ASilentRunHoldsNoWindowAndLogsFailures) {
    Write("bin/run.exe", kScript, true);
    Write("plain", "no program");
    LaunchApp app;
    ASSERT_TRUE(app.InitInstance());
    app.SetSilent(true);
    EXPECT_TRUE(StartProgram("bin\\run.exe", "", true, true));
    EXPECT_FALSE(StartProgram("plain", "", true, true));
    EXPECT_TRUE(headless::TakeShownBoxes().empty());
    EXPECT_TRUE(Enabled(app.wizard()->hwnd()));
}

TEST_F(Launch, HasLaunchTarget) {
    Write("here.exe", "MZ");
    LaunchApp app;
    ASSERT_TRUE(app.InitInstance());
    struct Row {
        const char* type;
        const char* p1;
        bool ok;
    };
    const Row rows[] = {
        {"CT_EXE_FILE_WAIT", "missing.exe", false},
        {"ct_exe_file_nowait", "missing.exe", false},
        {"CT_EXE_FILE_ACTIVE", "missing.exe", false},
        {"CT_EXE_AND_TERMINATE", "missing.exe", false},
        {"CT_RUNDLL", "missing.exe", false},
        {"CT_RUNDLL_AND_TERMINATE", "missing.exe", false},
        {"CT_OPEN_FILE_NOWAIT", "missing.exe", false},
        {"CT_OPEN_FILE_WAIT", "missing.exe", false},
        {"CT_OPEN_MANUAL", "missing.exe", false},
        {"CT_EXE_FILE_WAIT", "here.exe", true},
        {"CT_OPEN_URL", "missing.exe", true},
        {"CT_OPEN_BROWSE", "missing", true},
        {"CT_EXE_FILE_WAIT", "", true},
        {"", "missing.exe", true},
    };
    for (const Row& r : rows) EXPECT_EQ(r.ok, HasLaunchTarget(r.type, r.p1)) << r.type << " " << r.p1;
}

}  // namespace
