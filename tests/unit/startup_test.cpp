// Start-up of the installer: the order of its steps, their log lines, and
// where a run ends. Steps that other parts of the engine provide are played
// by doubles here.
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <vector>

#include "app/installer_app.h"
#include "app/messages.h"
#include "platform/sim/headless.h"
#include "app_doubles.h"
#include "sim_fixture.h"
#include "wizard/wizard.h"

namespace {

using testsupport::FixedClockIni;
using testsupport::SimMachine;
using testsupport::WriteHost;

const char kSetupDat[] =
    "[INSTALLER_FILE_INFO]\r\n"
    "CONFIGURE_FILE = .\\data\\vxinst.vxi\r\n"
    "COMMAND_FILE = .\\data\\vxinst.cmd\r\n"
    "STRING_FILE_FORMAT = .\\data\\String\\Lang_%s.str\r\n"
    "[VERSION]\r\nVERSION = 2.10\r\n"
    "[PROGRAM_INFO]\r\nMFG = Veltrix\r\nMDL = LP-100\r\nVIDPID = VID_1A2B&PID_0C01\r\n"
    "PROGRAM_NAME = Test Printer\r\n"
    "[SYSTEM_REQUIREMENT]\r\nMSG_NOT_SUPPORTED_OS = @NOT_SUPPORTED@\r\n"
    "[STRINGS]\r\n%PRODUCT% = \"Test Printer Software\"\r\n";
const char kConfigure[] =
    "[INSTALL_START_INFO]\r\nDIALOGS = LIST\r\n"
    "[REINST_START_INFO]\r\nDIALOGS = LIST\r\n"
    "[UNINST_START_INFO]\r\nDIALOGS = LIST\r\n";
const char kStrings[] = "[MESSAGES]\r\nNOT_SUPPORTED = %PRODUCT% needs a newer Windows.\r\n";

// A package on the machine's CD-ROM drive D:.
struct Package {
    explicit Package(SimMachine& m) : root(m.package()) {}
    void Write(const std::string& relative, const std::string& text) {
        std::string path = root + "/" + relative;
        for (size_t i = root.size() + 1; i < path.size(); ++i)
            if (path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0755);
        WriteHost(path, text);
    }
    void Standard(const char* dat = kSetupDat, const char* name = "Setup.dat") {
        Write(name, dat);
        Write("data/vxinst.vxi", kConfigure);
        Write("data/vxinst.cmd", "[CMD]\r\nCMD_TYPE = CT_APP_TERMINATE\r\n");
        Write("data/String/Lang_EN.str", kStrings);
    }
    std::string root;
};

// The log lines after the banner, without their time stamps.
std::vector<std::string> LogLines(SimMachine& m, const std::string& winPath) {
    std::istringstream in(testsupport::ReadHost(m.Host(winPath)));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 12 && line[0] == '[' && line[9] == ']') lines.push_back(line.substr(12));
    }
    return lines;
}

using DoubleGlobal = testsupport::GlobalDouble;

class RecordingWizard : public CWizard {
public:
    std::vector<uint32_t> messages;
    intptr_t OnMessage(ui::HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                       bool& handled) override {
        if (msg >= ui::kWmUser) messages.push_back(msg);
        return CWizard::OnMessage(hwnd, msg, wParam, lParam, handled);
    }

protected:
    void RunStartCommand() override { ui::PostQuit(0); }
};

class DoubleApp : public CInstallerApp {
public:
    DoubleApp() : CInstallerApp(std::make_unique<DoubleGlobal>()) {}

    bool globalOk = true;
    bool admin = true;
    int osFamily = 20;
    bool minimumOk = true;
    bool itemsOk = true;
    bool itemsEmpty = false;
    bool wizardInitOk = true;
    bool previous = false;
    bool haveLangCode = false;
    int driveKind = 3;
    std::string silentRun;
    std::map<std::string, std::string> installing;
    RecordingWizard* recordingWizard = nullptr;

    using CInstallerApp::SetSilent;

protected:
    bool InitializeGlobalVar() override {
        return globalOk && CInstallerApp::InitializeGlobalVar();
    }
    std::unique_ptr<CWizard> MakeWizard() override {
        auto w = std::make_unique<RecordingWizard>();
        recordingWizard = w.get();
        return w;
    }
    bool IsAdministrator() override { return admin; }
    int OsFamily() override { return osFamily; }
    bool CheckMinimumRequirement(bool) override { return minimumOk; }
    void SilentInstall(bool reinstall) override { silentRun = reinstall ? "reinstall" : "install"; }
    void SilentUninstall() override { silentRun = "uninstall"; }
    bool LoadItems() override { return itemsOk; }
    bool ItemListEmpty() override { return itemsEmpty; }
    bool InitWizard(const std::string& section) override {
        return wizardInitOk && wizard()->Init(section);
    }
    bool IsPreviousInstallation() override { return previous; }
    bool ReadInstalledLangCode(uint32_t& code) override {
        code = 0x0409;
        return haveLangCode;
    }
    int InstallerDriveKind() override { return driveKind; }
    bool WriteInstallingString(const char* name, const std::string& value) override {
        installing[name] = value;
        return true;
    }
    bool WriteInstallingDword(const char* name, uint32_t value) override {
        installing[name] = std::to_string(value);
        return true;
    }
};

class Startup : public ::testing::Test {
protected:
    Startup() : m(FixedClockIni()), pkg(m) {}
    void CommandLine(const std::string& parameters) {
        m.process().commandLine = "\"D:\\Setup.exe\" " + parameters;
    }
    SimMachine m;
    Package pkg;
};

TEST_F(Startup, ThePackageRunsUntilTheFirstMissingStep) {
    pkg.Standard();
    std::string logName;
    int code;
    {
        CInstallerApp app;
        logName = app.log().FileName();
        code = app.Run();
    }
    EXPECT_EQ(0, code);
    std::vector<std::string> lines = LogLines(m, logName);
    // Options, then the language, then the checks after the global state.
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ("Get Option fail", lines[0]);
    EXPECT_EQ("USB ONLY Option is OFF", lines[1]);
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "Parameter : "));
    EXPECT_EQ((std::vector<std::string>{"Initialize installed item information fail",
                                        "Initialize fail", "End of installation"}),
              std::vector<std::string>(lines.end() - 3, lines.end()));
}

struct MissingCase {
    const char* what;
    const char* dat;
    const char* removed;  // package file left out
    std::vector<std::string> lines;
};

TEST_F(Startup, AMissingProfileEndsTheRun) {
    const MissingCase cases[] = {
        {"data file", nullptr, nullptr,
         {"Initialize Profiles fail!!", "Initilize global variable fail", "End of installation"}},
        {"configure file", kSetupDat, "data/vxinst.vxi",
         {"(D:\\data\\vxinst.vxi) file does not exist.", "Initialize Profiles fail!!",
          "Initilize global variable fail", "End of installation"}},
        {"command file", kSetupDat, "data/vxinst.cmd",
         {"(D:\\data\\vxinst.cmd) file does not exist.", "Initialize Profiles fail!!",
          "Initilize global variable fail", "End of installation"}},
    };
    for (const MissingCase& c : cases) {
        SimMachine mc(FixedClockIni());
        Package p(mc);
        if (c.dat) p.Standard(c.dat);
        if (c.removed) ::unlink((p.root + "/" + c.removed).c_str());
        std::string logName;
        {
            CInstallerApp app;
            logName = app.log().FileName();
            app.Run();
        }
        EXPECT_EQ(c.lines, LogLines(mc, logName)) << c.what;
    }
}

TEST_F(Startup, WithoutInstallerFileInfoTheBuiltInNamesAreUsed) {
    pkg.Standard("[VERSION]\r\nVERSION = 1\r\n");
    DoubleApp app;
    ASSERT_TRUE(app.global().Initialize());
    const CProfileSet& p = app.global().profiles;
    EXPECT_EQ("D:\\Setup.dat", p.dataFile);
    EXPECT_EQ("D:\\data\\vxinst.vxi", p.configureFile);
    EXPECT_EQ("D:\\data\\vxinst.cmd", p.commandFile);
    EXPECT_EQ("D:\\data\\String\\Lang_EN.str", p.stringFile);
    EXPECT_EQ("Lang_EN.str", p.stringFileName);
    EXPECT_EQ("D:", app.global().sourceDir);
    EXPECT_EQ("Setup.exe", app.global().installerFileName);
    EXPECT_EQ("1", app.global().version);
}

TEST_F(Startup, TheDataFileFollowsTheExecutableName) {
    pkg.Standard(kSetupDat, "Install.dat");
    m.process().exePath = "D:\\Install.exe";
    DoubleApp app;
    ASSERT_TRUE(app.global().Initialize());
    EXPECT_EQ("D:\\Install.dat", app.global().profiles.dataFile);
    EXPECT_EQ("Install.exe", app.global().installerFileName);
    EXPECT_EQ("2.10", app.global().version);
}

TEST_F(Startup, AnInteractiveRunGetsReadyAndPostsItsStartOnce) {
    pkg.Standard();
    CommandLine("/AC:\\Target");
    std::string logName;
    {
        DoubleApp app;
        logName = app.log().FileName();
        ASSERT_TRUE(app.InitInstance());
        EXPECT_TRUE(app.ready());
        EXPECT_EQ(kSetupInstall, app.setupType());
        EXPECT_EQ("INSTALL_START_INFO", app.startSection());
        ASSERT_NE(nullptr, app.wizard()->hwnd());
        EXPECT_EQ(app.wizard()->hwnd(), GetMainWindow());
        EXPECT_EQ("Test Printer Installer Program", app.wizard()->className());
        EXPECT_EQ("1", app.installing["Setup_Type"]);
        EXPECT_EQ("Veltrix", app.installing["MFG"]);
        EXPECT_EQ("VID_1A2B&PID_0C01", app.installing["Printer_Port"]);  // the VIDPID text
        EXPECT_EQ("C:\\Target", app.installing["Dest_Dir"]);
        EXPECT_EQ("D:\\data\\String\\Lang_EN.str", app.installing["STR_FILE"]);
        EXPECT_EQ("3", app.installing["OS_Ver"]);
        EXPECT_FALSE(app.OnIdle(0));
        EXPECT_FALSE(app.OnIdle(1));
        // The wizard gets the start once, runs it, and the loop ends.
        EXPECT_EQ(0, ui::RunMessageLoop(nullptr, nullptr));
        EXPECT_EQ((std::vector<uint32_t>{WM_USER_INIT_DONE}), app.recordingWizard->messages);
        app.ExitInstance();
        EXPECT_EQ(nullptr, app.instanceMutex());
    }
    std::vector<std::string> lines = LogLines(m, logName);
    EXPECT_EQ((std::vector<std::string>{
                  "Get Option fail", "USB ONLY Option is OFF", "NETWORK Option is OFF",
                  "RIGHT ALIGN Option is OFF",
                  "Set Language : String file\t\t= Lang_EN.str",
                  "Set Language : Configure file\t\t= D:\\data\\vxinst.vxi",
                  "Parameter : /AC:\\Target", "Set Destination ==> C:\\Target",
                  "Start Section is [INSTALL_START_INFO]", "Start installation",
                  "End of installation"}),
              lines);
}

struct FailureCase {
    const char* what;
    void (*arrange)(DoubleApp&);
    std::vector<std::string> tail;  // the last lines before "End of installation"
    const char* box;                 // a message box text, or null
};

TEST_F(Startup, EachFailingStepEndsTheRunWithItsLine) {
    pkg.Standard();
    const std::string invalid = os::ErrorText(87);
    const FailureCase cases[] = {
        {"global state", [](DoubleApp& a) { a.globalOk = false; },
         {"Initilize global variable fail"}, nullptr},
        {"minimum requirement", [](DoubleApp& a) { a.minimumOk = false; },
         {"This system could not satisfy the installer Minimum Requirement!"}, nullptr},
        {"items", [](DoubleApp& a) { a.itemsOk = false; },
         {"Initialize installed item information fail", "Initialize fail"}, nullptr},
        {"empty item list", [](DoubleApp& a) { a.itemsEmpty = true; },
         {"Start Section is [INSTALL_START_INFO]", "There is no valid item!!!", "Initialize fail"},
         "Test Printer Software needs a newer Windows."},
        {"wizard init", [](DoubleApp& a) { a.wizardInitOk = false; },
         {"Start Section is [INSTALL_START_INFO]", "Init Wizard fail!! [INSTALL_START_INFO]",
          "Initialize fail"},
         invalid.c_str()},
    };
    for (const FailureCase& c : cases) {
        std::string logName;
        headless::TakeShownBoxes();
        {
            DoubleApp app;
            c.arrange(app);
            logName = app.log().FileName();
            EXPECT_EQ(0, app.Run()) << c.what;
        }
        std::vector<std::string> lines = LogLines(m, logName);
        ASSERT_GE(lines.size(), c.tail.size() + 1) << c.what;
        EXPECT_EQ("End of installation", lines.back()) << c.what;
        std::vector<std::string> tail(lines.end() - 1 - c.tail.size(), lines.end() - 1);
        EXPECT_EQ(c.tail, tail) << c.what;
        std::vector<headless::ShownBox> boxes = headless::TakeShownBoxes();
        if (c.box) {
            ASSERT_EQ(1u, boxes.size()) << c.what;
            EXPECT_EQ(c.box, boxes[0].text) << c.what;
            EXPECT_EQ("Test Printer", boxes[0].caption) << c.what;
        } else {
            EXPECT_TRUE(boxes.empty()) << c.what;
        }
    }
}

TEST_F(Startup, NoStartSectionIsAnInvalidParameter) {
    pkg.Standard();
    pkg.Write("data/vxinst.vxi", "[OTHER]\r\nX = 1\r\n");
    std::string logName;
    headless::TakeShownBoxes();
    {
        DoubleApp app;
        logName = app.log().FileName();
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(kSetupNone, app.setupType());
        EXPECT_EQ(0u, app.installing.count("Setup_Type"));
    }
    std::vector<std::string> lines = LogLines(m, logName);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ((std::vector<std::string>{"Start Section is []", "Invalid Parameter", "Initialize fail"}),
              std::vector<std::string>(lines.end() - 3, lines.end()));
    std::vector<headless::ShownBox> boxes = headless::TakeShownBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(os::ErrorText(87), boxes[0].text);
}

TEST_F(Startup, ANonAdministratorSeesTheMessageWithoutALogLine) {
    std::string dat = std::string(kSetupDat) + "[SYSTEM_REQUIREMENT]\r\nMSG_IS_NOT_ADMIN = Ask your administrator.\r\n";
    pkg.Standard(dat.c_str());
    headless::TakeShownBoxes();
    std::string logName;
    {
        DoubleApp app;
        app.admin = false;
        logName = app.log().FileName();
        EXPECT_FALSE(app.InitInstance());
    }
    std::vector<headless::ShownBox> boxes = headless::TakeShownBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Ask your administrator.", boxes[0].text);
    EXPECT_EQ("Test Printer", boxes[0].caption);
    // It ends before the command line is read.
    for (const std::string& line : LogLines(m, logName))
        EXPECT_EQ(std::string::npos, line.find("Parameter")) << line;
}

TEST_F(Startup, WindowsNinetyFiveFamilyAndMissingTextSkipTheAdministratorCheck) {
    pkg.Standard();
    for (int family : {10, 20}) {
        DoubleApp app;
        app.admin = false;
        app.osFamily = family;
        EXPECT_TRUE(app.InitInstance()) << family;  // no MSG_IS_NOT_ADMIN: goes on
        app.ExitInstance();
    }
    EXPECT_TRUE(headless::TakeShownBoxes().empty());
}

TEST_F(Startup, ASecondInstanceEndsWithItsLine) {
    pkg.Standard();
    // A first instance of the same program: its mutex and its window.
    os::Handle mutex = nullptr;
    ASSERT_EQ(0u, os::CreateNamedMutex("Test Printer Installer Program", &mutex));
    std::string logName;
    {
        DoubleApp app;
        logName = app.log().FileName();
        EXPECT_FALSE(app.InitInstance());
    }
    EXPECT_EQ("There is a previous running instance of this application, so it is terminated.",
              LogLines(m, logName).back());

    RecordingWizard first;
    ASSERT_EQ(CWizard::kCreated, first.Create("Test Printer"));
    {
        DoubleApp app;
        logName = app.log().FileName();
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(nullptr, app.instanceMutex());
    }
    EXPECT_EQ("The installer is already running", LogLines(m, logName).back());
    // Brought to the front twice: by the check and by the wizard's creation.
    EXPECT_EQ((std::vector<uint32_t>{WM_USER_ACTIVATE_INSTANCE, WM_USER_ACTIVATE_INSTANCE}),
              first.messages);
    EXPECT_EQ(first.hwnd(), headless::ForegroundWindow());
    os::CloseHandle(mutex);
}

struct SilentCase {
    const char* parameters;
    const char* run;
};

TEST_F(Startup, SilentRunsEndWithStartUp) {
    pkg.Standard();
    const SilentCase cases[] = {
        {"/S", "install"}, {"/s /u", "uninstall"}, {"-s-u", "uninstall"},
        {"/S /R", "reinstall"}, {"/S /D", ""},
    };
    for (const SilentCase& c : cases) {
        CommandLine(c.parameters);
        DoubleApp app;
        EXPECT_FALSE(app.InitInstance()) << c.parameters;
        EXPECT_TRUE(app.silent()) << c.parameters;
        EXPECT_EQ(c.run, app.silentRun) << c.parameters;
        EXPECT_EQ(nullptr, app.wizard()->hwnd()) << c.parameters;  // no window
        EXPECT_EQ(nullptr, GetMainWindow()) << c.parameters;
        app.ExitInstance();
    }
}

struct SectionCase {
    const char* what;
    int requested;
    int drive;
    bool previous, langCode, network;
    const char* sections;
    int result;
    const char* start;
};

TEST_F(Startup, ChooseStartSection) {
    const SectionCase cases[] = {
        {"reinstall from a CD", 3, 3, false, false, false,
         "REINST_START_INFO_CD,REINST_START_INFO_LOCAL,REINST_START_INFO", 5, "REINST_START_INFO_CD"},
        {"reinstall from a disk", 3, 2, false, false, false,
         "REINST_START_INFO_CD,REINST_START_INFO_LOCAL,REINST_START_INFO", 5,
         "REINST_START_INFO_LOCAL"},
        {"uninstall finding only the local reinstall", 2, 2, false, false, false,
         "REINST_START_INFO_LOCAL,INSTALL_START_INFO", 4, "REINST_START_INFO_LOCAL"},
        {"install over a previous installation", 1, 3, true, true, false,
         "INSTALL_START_INFO,REINST_START_INFO", 3, "REINST_START_INFO"},
        {"network packages install again", 1, 3, true, true, true,
         "INSTALL_START_INFO,REINST_START_INFO", 1, "INSTALL_START_INFO"},
        {"previous installation without a language", 1, 3, true, false, false,
         "INSTALL_START_INFO,REINST_START_INFO", 1, "INSTALL_START_INFO"},
        {"delete all falls back", 6, 3, false, false, false, "UNINST_START_INFO", 2,
         "UNINST_START_INFO"},
        {"nothing found", 2, 3, false, false, false, "OTHER", 0, ""},
    };
    for (const SectionCase& c : cases) {
        SimMachine mc;
        Package p(mc);
        p.Standard();
        std::string cfg;
        std::stringstream names(c.sections);
        std::string name;
        while (std::getline(names, name, ',')) cfg += "[" + name + "]\r\nDIALOGS = L\r\n";
        p.Write("data/vxinst.vxi", cfg);
        DoubleApp app;
        ASSERT_TRUE(app.global().Initialize()) << c.what;
        app.global().options.network = c.network;
        app.driveKind = c.drive;
        app.previous = c.previous;
        app.haveLangCode = c.langCode;
        EXPECT_EQ(c.result, app.ChooseStartSection(c.requested)) << c.what;
        EXPECT_EQ(c.start, app.startSection()) << c.what;
        EXPECT_EQ(c.langCode && (c.previous || c.requested == 3), app.global().target.installedBefore)
            << c.what;
    }
}

TEST_F(Startup, TheAgfaVariantOfTheInstallSection) {
    pkg.Standard();
    pkg.Write("data/vxinst.vxi", "[INSTALL_START_INFO]\r\nX=1\r\n[INSTALL_START_INFO.AGFA]\r\nX=2\r\n");
    DoubleApp app;
    ASSERT_TRUE(app.global().Initialize());
    EXPECT_EQ(1, app.ChooseStartSection(1));
    EXPECT_EQ("INSTALL_START_INFO", app.startSection());
    app.global().options.agfa = true;
    EXPECT_EQ(1, app.ChooseStartSection(1));
    EXPECT_EQ("INSTALL_START_INFO.AGFA", app.startSection());
}

TEST_F(Startup, PostCommandFillsTheSharedRecord) {
    pkg.Standard();
    DoubleApp app;
    ASSERT_TRUE(app.InitInstance());
    PostCommand("CT_OPEN_DLG", "LICENSE.AGREEMENT");
    const std::array<std::string, 6>& b = app.global().commandBuffer;
    EXPECT_EQ("CT_OPEN_DLG", b[0]);
    EXPECT_EQ("LICENSE.AGREEMENT", b[1]);
    EXPECT_EQ("", b[2]);
    app.SetSilent(true);
    PostCommand("CT_APP_TERMINATE");
    EXPECT_EQ("CT_APP_TERMINATE", b[0]);
    EXPECT_EQ("", b[1]);
    app.ExitInstance();
}

}  // namespace

namespace {

TEST_F(Startup, ASilentRunShowsNoWindowAndLogsItsMessages) {
    std::string dat = std::string(kSetupDat) +
                      "[SYSTEM_REQUIREMENT]\r\nMSG_IS_NOT_ADMIN = Ask your administrator.\r\n";
    pkg.Standard(dat.c_str());
    CommandLine("/S");
    headless::TakeShownBoxes();
    std::string logName;
    {
        DoubleApp app;
        app.admin = false;
        logName = app.log().FileName();
        EXPECT_FALSE(app.InitInstance());
    }
    EXPECT_TRUE(headless::TakeShownBoxes().empty());
    EXPECT_EQ("Message (Test Printer) : Ask your administrator.", LogLines(m, logName).back());
}

struct AnswerCase {
    uint32_t style;
    int answer;
};

TEST(DefaultAnswer, ThePreselectedButtonElseTheFirst) {
    const AnswerCase cases[] = {
        {ui::kMbOk, ui::kIdOk},
        {ui::kMbOkCancel, ui::kIdOk},
        {ui::kMbYesNo, ui::kIdYes},
        {ui::kMbYesNo | 0x100, ui::kIdNo},         // second button preselected
        {3 | 0x200, ui::kIdCancel},                // Yes, No, Cancel with the third
        {ui::kMbOk | 0x200, ui::kIdOk},            // no third button: the first
        {ui::kMbYesNo | ui::kMbIconQuestion, ui::kIdYes},
    };
    for (const AnswerCase& c : cases) EXPECT_EQ(c.answer, DefaultAnswer(c.style)) << c.style;
}

TEST_F(Startup, HeldWritesWaitUntilTheStartIsTheOnlyOne) {
    pkg.Standard();
    DoubleApp app;
    std::vector<int> done;
    app.global().HoldWrites();
    app.global().Write([&] { done.push_back(1); });
    app.global().Write([&] { done.push_back(2); });
    EXPECT_TRUE(done.empty());
    app.global().ReleaseWrites();
    EXPECT_EQ((std::vector<int>{1, 2}), done);
    app.global().Write([&] { done.push_back(3); });  // no longer held
    EXPECT_EQ((std::vector<int>{1, 2, 3}), done);
    app.global().HoldWrites();
    app.global().Write([&] { done.push_back(4); });
    app.global().DropWrites();
    app.global().ReleaseWrites();
    EXPECT_EQ((std::vector<int>{1, 2, 3}), done);
}

}  // namespace

namespace {

TEST_F(Startup, WithoutAVersionTheCdsAutorunGivesIt) {
    std::string dat = kSetupDat;
    dat.replace(dat.find("[VERSION]"), std::string("[VERSION]\r\nVERSION = 2.10\r\n").size(), "");
    pkg.Standard(dat.c_str());
    pkg.Write("Autorun.inf", "[autorun]\r\nopen=Setup.exe\r\n[INFOMATION]\r\nVERSION=4.05\r\n");
    DoubleApp app;
    ASSERT_TRUE(app.global().Initialize());
    EXPECT_EQ("4.05", app.global().version);
}

}  // namespace

namespace {

const char kTwoLanguages[] =
    "[PROGRAM_INFO]\r\nMFG = Veltrix\r\nMDL = LP-100\r\nVIDPID = VID_1A2B&PID_0C01\r\n"
    "PROGRAM_NAME = Test Printer\r\n"
    "[PROGRAM_LANG_INFO]\r\n0X0009 = English\r\n0X0007 = German\r\n"
    "[LANGUAGE_ABBR]\r\n0X0009 = EN\r\n0X0007 = GR\r\n";
const char kInstalled[] = "HKLM\\Software\\Veltrix\\Test Printer\\Installed";
const char kInstalling[] = "HKLM\\Software\\Veltrix\\Test Printer\\Installing";

TEST_F(Startup, ARunStartsInThePreviousRunsLanguage) {
    pkg.Standard(kTwoLanguages);
    pkg.Write("data/String/Lang_GR.str", "[MESSAGES]\r\nNOT_SUPPORTED = Zu alt.\r\n");
    m.machine().registry().SetDword(kInstalled, "LangCode", 0x0407);
    CInstallerApp app;
    ASSERT_TRUE(app.global().Initialize());
    EXPECT_EQ(0x0007, app.global().language.languageId);
    EXPECT_EQ("GR", app.global().language.abbreviation);
    EXPECT_EQ("D:\\data\\String\\Lang_GR.str", app.global().profiles.stringFile);
}

TEST_F(Startup, ASecondStartLeavesTheFirstOnesRecordsAlone) {
    pkg.Standard(kTwoLanguages);
    sim::RegistryStore& reg = m.machine().registry();
    reg.SetString(kInstalling, "Dest_Dir", "C:\\First");
    reg.SetDword(kInstalling, "LangCode", 9);
    // The first instance: its mutex and its window.
    os::Handle mutex = nullptr;
    ASSERT_EQ(0u, os::CreateNamedMutex("Test Printer Installer Program", &mutex));
    RecordingWizard first;
    ASSERT_EQ(CWizard::kCreated, first.Create("Test Printer"));

    CommandLine("/AC:\\Other /L0x0407");
    std::string logName;
    {
        CInstallerApp second;
        logName = second.log().FileName();
        EXPECT_EQ(0, second.Run());
    }
    std::vector<std::string> lines = LogLines(m, logName);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ("The installer is already running", lines[lines.size() - 2]);
    std::vector<sim::RegValue> values;
    ASSERT_EQ(0u, reg.EnumValues(kInstalling, values));
    ASSERT_EQ(2u, values.size());
    std::string dest;
    reg.QueryString(kInstalling, "Dest_Dir", dest);
    EXPECT_EQ("C:\\First", dest);
    uint32_t lang = 0;
    reg.QueryDword(kInstalling, "LangCode", lang);
    EXPECT_EQ(9u, lang);
    EXPECT_FALSE(os::DirectoryExists("C:\\Other"));
    EXPECT_FALSE(os::DirectoryExists("C:\\Program Files\\Veltrix"));
    os::CloseHandle(mutex);
}

TEST_F(Startup, TheOnlyInstanceWritesWhatItHeldBack) {
    pkg.Standard(kTwoLanguages);
    CommandLine("/AC:\\Other");
    CInstallerApp app;
    app.InitInstance();  // ends at the item list, after the wizard's window
    std::string dest;
    EXPECT_EQ(0u, m.machine().registry().QueryString(kInstalling, "Dest_Dir", dest));
    EXPECT_EQ("C:\\Other", dest);
    uint32_t lang = 0;
    EXPECT_EQ(0u, m.machine().registry().QueryDword(kInstalling, "LangCode", lang));
    EXPECT_EQ(9u, lang);
    EXPECT_TRUE(os::DirectoryExists("C:\\Other"));
    app.ExitInstance();
}

}  // namespace

namespace {

TEST_F(Startup, AHugeOsDefineTableStillFindsTheSystem) {
    std::string dat = kTwoLanguages;
    dat += "[OS_DEFINE]\r\n";
    for (int i = 0; i < 10000; ++i) dat += "0X7777" + std::to_string(i) + " = JUNK\r\n";
    dat += "0X00020501 = XP\r\n";
    pkg.Standard(dat.c_str());
    CInstallerApp app;
    ASSERT_TRUE(app.global().Initialize());
    EXPECT_EQ("XP", app.global().target.osDefine);  // the default machine is XP SP2
    EXPECT_EQ("XP", app.global().target.osDir);
}

struct LangCase {
    const char* what;
    const char* entries;  // PROGRAM_LANG_INFO lines
    uint16_t id;          // the previous run's language
    uint16_t expected;
};

TEST_F(Startup, JunkLanguageKeysNeverBreakTheSelection) {
    const LangCase cases[] = {
        {"only junk", "junk\r\n= x\r\n0X\r\n0XZZZZZZZZZZ\r\n;;;\r\n", 0x0407, 9},
        {"junk around German", "junk\r\n0X0007 = German\r\n= x\r\n", 0x0407, 0x0007},
        // "7abc" reads as the decimal 7: German's primary language.
        {"a number with a tail", "7abc\r\n", 0x0407, 7},
        {"an empty section", "", 0x0407, 9},
    };
    for (const LangCase& c : cases) {
        SimMachine mc;
        Package p(mc);
        std::string dat = std::string(kTwoLanguages);
        dat.replace(dat.find("[PROGRAM_LANG_INFO]"), dat.find("[LANGUAGE_ABBR]") - dat.find("[PROGRAM_LANG_INFO]"),
                    std::string("[PROGRAM_LANG_INFO]\r\n") + c.entries);
        p.Standard(dat.c_str());
        mc.machine().registry().SetDword(kInstalled, "LangCode", c.id);
        CInstallerApp app;
        ASSERT_TRUE(app.global().Initialize()) << c.what;
        EXPECT_EQ(c.expected, app.global().language.languageId) << c.what;
    }
}

}  // namespace
