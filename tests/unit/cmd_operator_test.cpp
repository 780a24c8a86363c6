// The command interpreter: command lines, sections, the dispatch of every
// command type, cancel and termination, the wizard as its host, bad input.
#include <sys/stat.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "app/installer_app.h"
#include "app/messages.h"
#include "command/cmd_operator.h"
#include "command/registry.h"
#include "platform/sim/headless.h"
#include "app_doubles.h"
#include "sim_fixture.h"
#include "wizard/my_message_box.h"
#include "wizard/wizard.h"

namespace {

using testsupport::FixedClockIni;
using testsupport::SimMachine;
using testsupport::WriteHost;

const char kInstalling[] = "Software\\Veltrix\\LP-100\\Installing";
const char kInstalled[] = "Software\\Veltrix\\LP-100\\Installed";

const char kSetupDat[] =
    "[INSTALLER_FILE_INFO]\r\n"
    "CONFIGURE_FILE = .\\data\\vxinst.vxi\r\n"
    "COMMAND_FILE = .\\data\\vxinst.cmd\r\n"
    "STRING_FILE_FORMAT = .\\data\\String\\Lang_%s.str\r\n"
    "[VERSION]\r\nVERSION = 2.10\r\n";

class TestGlobal : public testsupport::GlobalDouble {
public:
    bool BuildRegistryKeys() override {
        registryKeys.installing = kInstalling;
        registryKeys.installed = kInstalled;
        return true;
    }
};

class TestApp : public CInstallerApp {
public:
    TestApp() : CInstallerApp(std::make_unique<TestGlobal>()) {}
};

// Every seam answers from a script and writes what it was asked.
class RecordingOperator : public CCmdOperator {
public:
    std::vector<std::string> calls;
    bool started = true;     // a launch starts a process
    bool exists = true;      // documents exist, addresses open
    bool device = false;
    bool printerInstalled = false;
    int items = 0;
    int answer = 0;          // message box button
    std::vector<uint32_t> styles;
    std::vector<std::string> texts;
    int quits = 0;

protected:
    void Note(const std::string& s) { calls.push_back(s); }
    void SendOpenDialog(intptr_t w, const std::string& p) override {
        Note("open " + std::to_string(w) + " " + p);
    }
    bool LaunchProgram(const std::string& p, const std::string& a, bool wait,
                       bool front) override {
        Note("launch " + p + "|" + a + (wait ? " wait" : "") + (front ? " front" : ""));
        return started;
    }
    bool OpenDocument(const std::string& d) override { Note("document " + d); return exists; }
    bool OpenAddress(const std::string& a) override { Note("address " + a); return exists; }
    void OpenFolder(const std::string& f) override { Note("folder " + f); }
    bool OpenManual(const std::string& d, const std::string& s) override {
        Note("manual " + d + "|" + s);
        return exists;
    }
    bool IsDeviceConnected() override { return device; }
    bool PrinterInstalledThisRun() override { return printerInstalled; }
    void PrintTestPage(const CMD_DATA& c) override {
        Note("test page " + c.szCmdParam1 + "|" + c.szCmdParam2 + "|" + c.szCmdParam3);
    }
    void PrintMetaTestPage(const CMD_DATA& c) override { Note("meta page " + c.szCmdParam1); }
    void PrintPrnTestPage(const CMD_DATA& c) override { Note("prn page " + c.szCmdParam1); }
    bool DeleteAll() override { Note("delete all"); return false; }
    void RefreshSystem() override { Note("refresh"); }
    bool Diagnosis(const std::string& p) override { Note("diagnosis " + p); return false; }
    void StartPreventPnP() override { Note("prevent pnp"); }
    void EndPreventPnP() override { Note("end prevent pnp"); }
    bool CopyFiles(const std::string& s) override { Note("copy " + s); return false; }
    bool DeleteFiles(const std::string& s) override { Note("delete " + s); return false; }
    bool RunRemoteInstall() override { Note("remote"); return false; }
    void RemoveHardwareWizardDialog() override { Note("rmhw"); }
    void RemoveUnknownDevice() override { Note("remove dev"); }
    void WriteItemInfo() override { Note("item info"); }
    void InstallUpdate() override { Note("install update"); }
    void ChangeLanguage(uint32_t id) override { Note("language " + std::to_string(id)); }
    int ValidItemCount() override { return items; }
    bool ToggleShown(const std::string& n) override { Note("toggle " + n); return false; }
    int ShowMessageBox(const std::string& text, uint32_t style) override {
        texts.push_back(text);
        styles.push_back(style);
        return answer;
    }
    void MergeHistory() override { Note("merge history"); }
    void UndoRun(bool cancelled) override { Note(cancelled ? "undo cancelled" : "undo"); }
    void PostQuit() override { ++quits; }
};

class CmdOperator : public ::testing::Test {
protected:
    CmdOperator() : m(FixedClockIni()) {}
    // A package with these configure and command profiles, loaded.
    void Load(const std::string& configure, const std::string& command = std::string()) {
        Write("Setup.dat", kSetupDat);
        Write("data/vxinst.vxi", configure);
        Write("data/vxinst.cmd", command.empty() ? "[NONE]\r\n" : command);
        Write("data/String/Lang_EN.str", "[MESSAGES]\r\nBUTTON.EXIT = Exit\r\n");
        app = std::make_unique<TestApp>();
        ASSERT_TRUE(app->global().Initialize());
    }
    void Write(const std::string& relative, const std::string& text) {
        std::string path = m.package() + "/" + relative;
        for (size_t i = m.package().size() + 1; i < path.size(); ++i)
            if (path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0755);
        WriteHost(path, text);
    }
    std::vector<std::string> LogLines() {
        std::istringstream in(testsupport::ReadHost(m.Host(app->log().FileName())));
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() > 12 && line[0] == '[' && line[9] == ']')
                lines.push_back(line.substr(12));
        }
        return lines;
    }
    size_t CountLines(const std::string& prefix) {
        std::vector<std::string> lines = LogLines();
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.compare(0, prefix.size(), prefix) == 0;
        });
    }
    static bool KeyExists(const char* key) {
        std::string text;
        uint32_t number;
        return CRegistry::GetValue(key, "Mark", text, os::kHKLM) == 0 ||
               CRegistry::GetValue(key, "Dest_Dir", text, os::kHKLM) == 0 ||
               CRegistry::GetValue(key, "Setup_Type", &number, os::kHKLM) == 0;
    }
    SimMachine m;
    std::unique_ptr<TestApp> app;
};

struct ParseCase {
    const char* line;
    const char* type;
    const char* p1;
    const char* p2;
    const char* p3;
};

TEST_F(CmdOperator, CommandLinesSplitIntoTypeAndThreeParameters) {
    const ParseCase cases[] = {
        {"CT_APP_TERMINATE", "CT_APP_TERMINATE", "", "", ""},
        {"  CT_APP_TERMINATE \t", "CT_APP_TERMINATE", "", "", ""},
        {"CT_EXE_FILE_NOWAIT = setup.exe, , /s", "CT_EXE_FILE_NOWAIT", "setup.exe", "/s", ""},
        {"CT_EXE_FILE_NOWAIT=a,,,b", "CT_EXE_FILE_NOWAIT", "a", "b", ""},
        {"CT_OPEN_DLG = one, two, three, four", "CT_OPEN_DLG", "one", "two", "three"},
        {"ct_open_dlg =\tpage-arg ", "ct_open_dlg", "page-arg", "", ""},
        {"CT_OPEN_URL = http://x/?a=b", "CT_OPEN_URL", "http://x/?a=b", "", ""},
        {"= p", "", "p", "", ""},
        {"CT_COMMAND =", "CT_COMMAND", "", "", ""},
        {"", "", "", "", ""},
    };
    for (const ParseCase& c : cases) {
        const CMD_DATA cmd = CCmdOperator::ParseCommandLine(c.line);
        EXPECT_EQ(c.type, cmd.szCmdType) << c.line;
        EXPECT_EQ(c.p1, cmd.szCmdParam1) << c.line;
        EXPECT_EQ(c.p2, cmd.szCmdParam2) << c.line;
        EXPECT_EQ(c.p3, cmd.szCmdParam3) << c.line;
        EXPECT_EQ("", cmd.szCmdParam4) << c.line;
        EXPECT_EQ("", cmd.szCmdParam5) << c.line;
    }
}

struct DispatchCase {
    const char* line;
    std::vector<std::string> calls;
    bool result;
};

TEST_F(CmdOperator, EveryTypeRunsItsOperationAndAnswersAsItsRowSays) {
    Load("[X]\r\n");
    const DispatchCase cases[] = {
        {"CT_OPEN_DLG = PAGE1.-x", {"open 0 PAGE1.-x"}, true},
        {"CT_EXE_FILE_WAIT = a.exe, /q", {"launch a.exe|/q wait front"}, true},
        {"ct_exe_file_nowait = setup.exe, , /s", {"launch setup.exe|/s"}, true},
        {"CT_EXE_FILE_ACTIVE = a.exe", {"launch a.exe| wait"}, true},
        {"CT_EXE_AND_TERMINATE = a.exe",
         {"launch a.exe|", "merge history", "undo"}, true},
        {"CT_RUNDLL = x", {}, true},
        {"CT_RUNDLL_AND_TERMINATE", {}, true},
        {"CT_OPEN_FILE_NOWAIT = r.txt", {"document r.txt"}, true},
        {"CT_OPEN_FILE_WAIT = r.txt", {"document r.txt"}, true},
        {"CT_OPEN_URL = http://a", {"address http://a"}, true},
        {"CT_OPEN_BROWSE = C:\\", {"folder C:\\"}, true},
        {"CT_APP_TERMINATE", {"merge history", "undo"}, true},
        {"CT_DLG_HELP", {}, true},
        {"CT_DLG_BACK = p", {"open -1 p"}, true},
        {"CT_FIND_LOCAL_PRINTER = CT_OPEN_URL=u, NOPRINTER.", {"open 0 NOPRINTER."}, true},
        {"CT_ADDREG = MISSING_REG", {}, false},
        {"CT_DELREG = MISSING_REG", {}, false},
        {"CT_COMMAND = MISSING_SECTION", {}, false},
        {"CT_PRINT_TEST_PAGE = prn, a, b", {"test page prn|a|b"}, true},
        {"CT_PRINT_META_TEST_PAGE = prn", {"meta page prn"}, true},
        {"CT_PRINT_PRN_TEST_PAGE = prn", {"prn page prn"}, true},
        {"CT_DELETE_ALL", {"delete all"}, false},
        {"CT_REFRESH_SYSTEM", {"refresh"}, true},
        {"CT_DIAGNOSIS = prn", {"diagnosis prn"}, false},
        {"CT_START_PREVENT_PNP", {"prevent pnp"}, true},
        {"CT_END_PREVENT_PNP", {"end prevent pnp"}, true},
        {"CT_COPY_FILE = COPY1", {"copy COPY1"}, false},
        {"CT_RUN_REMOTE_INSTALL", {"remote"}, false},
        {"CT_RMHW_DLG", {"rmhw"}, true},
        {"CT_REMOVE_DEV", {"remove dev"}, true},
        {"CT_VIEW_LICESNE = l.txt", {}, true},
        {"CT_VIEW_LICENSE = l.txt", {}, true},  // not a command of the table
        {"CT_DELETE_FILE = DEL1", {"delete DEL1"}, false},
        {"CT_WRITE_ITEM_INFO", {"item info"}, true},
        {"CT_INSTALL_UPDATE", {"install update"}, true},
        {"CT_CHANGE_LANG = 0x411", {"language 1041"}, true},
        {"CT_CHANGE_LANG = 1033", {"language 1033"}, true},
        {"CT_CHECK_ITEM = ONE., MANY.", {"open 0 MANY."}, true},
        {"CT_DO_MODAL = MODAL.", {}, true},
        {"CT_SHOW_TOGGLE = a b", {"toggle a b"}, false},
        {"CT_OPEN_MANUAL = m.pdf, x", {"manual m.pdf|x"}, true},
        {"CT_NO_SUCH_COMMAND = a", {}, true},
        {"", {}, true},
    };
    for (const DispatchCase& c : cases) {
        RecordingOperator op;
        EXPECT_EQ(c.result, op.ExecuteCommandLine(c.line)) << c.line;
        EXPECT_EQ(c.calls, op.calls) << c.line;
    }
    // A failed launch or a missing document changes the answer, not the call.
    RecordingOperator op;
    op.started = false;
    op.exists = false;
    EXPECT_FALSE(op.ExecuteCommandLine("CT_EXE_FILE_NOWAIT = a.exe"));
    EXPECT_TRUE(op.ExecuteCommandLine("CT_EXE_FILE_WAIT = a.exe"));
    EXPECT_TRUE(op.ExecuteCommandLine("CT_EXE_AND_TERMINATE = a.exe"));
    EXPECT_FALSE(op.ExecuteCommandLine("CT_OPEN_FILE_WAIT = r.txt"));
    EXPECT_FALSE(op.ExecuteCommandLine("CT_OPEN_URL = u"));
    EXPECT_EQ(0, op.quits);
}

TEST_F(CmdOperator, EachDispatchWritesItsCallLine) {
    Load("[X]\r\n");
    RecordingOperator op;
    const CMD_DATA cmd("ct_dlg_help", "a", nullptr, "%s%n", nullptr, "e");
    EXPECT_TRUE(op.ExecuteCommand(&cmd));
    EXPECT_FALSE(op.ExecuteCommand(nullptr));
    std::vector<std::string> lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("Call Command : Type = ct_dlg_help, Param1=a,Param2=,Param3=%s%n,Param4=,Param5=e",
              lines.back());
}

TEST_F(CmdOperator, ChoicesByDeviceAndItems) {
    Load("[X]\r\n");
    struct Case {
        bool device;
        int items;
        const char* line;
        std::vector<std::string> calls;
        size_t boxes;
    };
    const Case cases[] = {
        {true, 0, "CT_FIND_LOCAL_PRINTER = CT_OPEN_URL=u, P2.", {"address u"}, 0},
        {false, 0, "CT_FIND_LOCAL_PRINTER = CT_OPEN_URL=u, P2.", {"open 0 P2."}, 0},
        {false, 0, "CT_CHECK_ITEM = P1., P2.", {"open 0 P2."}, 1},
        {false, 1, "CT_CHECK_ITEM = P1., P2.", {"open 0 P1."}, 0},
        {false, 2, "CT_CHECK_ITEM = P1., ct_open_browse=F", {"folder F"}, 0},
    };
    for (const Case& c : cases) {
        RecordingOperator op;
        op.device = c.device;
        op.items = c.items;
        EXPECT_TRUE(op.ExecuteCommandLine(c.line)) << c.line;
        EXPECT_EQ(c.calls, op.calls) << c.line;
        ASSERT_EQ(c.boxes, op.texts.size()) << c.line;
        if (c.boxes) {
            EXPECT_EQ("There is no item to be installed!!!!", op.texts[0]);
        }
    }
}

TEST_F(CmdOperator, SetupAndInstallTypesGoToTheInstallingKey) {
    Load("[X]\r\n");
    struct Case {
        const char* line;
        uint32_t setupType;
    };
    const Case cases[] = {{"CT_SET_SETUP_TYPE = install", 1}, {"CT_SET_SETUP_TYPE = UNINST", 2},
                          {"CT_SET_SETUP_TYPE = Reinst", 3}, {"CT_SET_SETUP_TYPE = OTHER", 0}};
    RecordingOperator op;
    for (const Case& c : cases) {
        EXPECT_TRUE(op.ExecuteCommandLine(c.line));
        uint32_t value = 99;
        EXPECT_EQ(0u, CRegistry::GetValue(kInstalling, "Setup_Type", &value, os::kHKLM));
        EXPECT_EQ(c.setupType, value) << c.line;
    }
    EXPECT_TRUE(op.ExecuteCommandLine("CT_SET_INST_TYPE = Typical"));
    std::string text;
    EXPECT_EQ(0u, CRegistry::GetValue(kInstalling, "Install_Type", text, os::kHKLM));
    EXPECT_EQ("Typical", text);
    EXPECT_TRUE(op.ExecuteCommandLine("CT_SET_REMOTE_INSTALL = \t1 "));
    EXPECT_TRUE(app->global().options.remoteInstall);
    EXPECT_TRUE(op.ExecuteCommandLine("CT_SET_REMOTE_INSTALL = 0"));
    EXPECT_FALSE(app->global().options.remoteInstall);
}

TEST_F(CmdOperator, RegistrySectionsOfTheCommandProfileAreWrittenAndDeleted) {
    Load("[X]\r\n", "[REG1]\r\nKEYNAME = Software\\Veltrix\\Extra\r\n"
                     "VALUE = REG_SZ, Name, a, b\r\nDELETE_KEY = 1\r\n");
    RecordingOperator op;
    EXPECT_TRUE(op.ExecuteCommandLine("CT_ADDREG = REG1"));
    std::string text;
    EXPECT_EQ(0u, CRegistry::GetValue("Software\\Veltrix\\Extra", "Name", text, os::kHKLM));
    EXPECT_EQ("a, b", text);
    EXPECT_TRUE(op.ExecuteCommandLine("ct_delreg = REG1"));
    EXPECT_NE(0u, CRegistry::GetValue("Software\\Veltrix\\Extra", "Name", text, os::kHKLM));
}

TEST_F(CmdOperator, SectionsComeFromTheConfigureProfileFirst) {
    Load("[BOTH]\r\nCT_OPEN_BROWSE = from configure\r\n"
         "[REPEAT]\r\nCT_OPEN_BROWSE = a\r\nCT_DELETE_ALL\r\nCT_OPEN_BROWSE = a\r\n",
         "[BOTH]\r\nCT_OPEN_BROWSE = from command\r\n"
         "[ONLY_CMD]\r\nCT_OPEN_BROWSE = command only\r\n");
    struct Case {
        const char* section;
        bool result;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"BOTH", true, {"folder from configure"}},
        {"ONLY_CMD", true, {"folder command only"}},
        // A failing line does not stop the section; repeated keys all run.
        {"REPEAT", true, {"folder a", "delete all", "folder a"}},
        {"NOWHERE", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        RecordingOperator op;
        EXPECT_EQ(c.result, op.ExecuteCommandSection(c.section)) << c.section;
        EXPECT_EQ(c.calls, op.calls) << c.section;
        RecordingOperator viaCommand;
        EXPECT_EQ(c.result, viaCommand.ExecuteCommandLine(std::string("CT_COMMAND = ") + c.section))
            << c.section;
        EXPECT_EQ(c.calls, viaCommand.calls) << c.section;
    }
    // During a remote install sections yield no lines.
    app->global().options.remoteInstall = true;
    RecordingOperator op;
    EXPECT_TRUE(op.ExecuteCommandSection("BOTH"));
    EXPECT_TRUE(op.calls.empty());
}

struct CancelCase {
    const char* cancelType;  // null: no key
    int answer;
    int expectedType;
    uint32_t style;          // 0: no question
    bool terminates;
};

TEST_F(CmdOperator, EachCancelTypeAnsweredEachWay) {
    const CancelCase cases[] = {
        {nullptr, 1, 0, 0x36, false},          {nullptr, 2, 0, 0x36, true},
        {"resume_exit", 1, 0, 0x36, false},    {"RESUME_EXIT", 2, 0, 0x36, true},
        {"OK_CANCEL", 1, 1, 0x34, true},       {"ok_cancel", 2, 1, 0x34, false},
        {"NULL", 0, 2, 0, true},               {"SOMETHING", 2, 0, 0x36, true},
    };
    Load("[X]\r\n");
    for (const CancelCase& c : cases) {
        std::string configure = "[CANCEL_DLG]\r\nCANCEL_MSG = Really quit?\r\n";
        if (c.cancelType)
            configure += std::string("[DLG_COMMON]\r\nCANCEL_TYPE = ") + c.cancelType + "\r\n";
        Load(configure);
        ASSERT_EQ(0u, CRegistry::SetValue(kInstalling, "Mark", "x", os::kHKLM));
        RecordingOperator op;
        op.ReadCancelType();
        EXPECT_EQ(c.expectedType, op.cancelType()) << c.cancelType;
        op.answer = c.answer;
        EXPECT_TRUE(op.ExecuteCommandLine("CT_DLG_CANCEL"));
        if (c.style) {
            EXPECT_EQ(std::vector<uint32_t>{c.style}, op.styles) << c.cancelType;
            EXPECT_EQ(std::vector<std::string>{"Really quit?"}, op.texts);
        } else {
            EXPECT_TRUE(op.styles.empty()) << c.cancelType;
        }
        EXPECT_EQ(c.terminates ? 1 : 0, op.quits) << c.cancelType << " " << c.answer;
        EXPECT_EQ(!c.terminates, KeyExists(kInstalling)) << c.cancelType << " " << c.answer;
        if (c.terminates) {
            EXPECT_EQ((std::vector<std::string>{"merge history", "undo cancelled"}), op.calls);
        }
    }
}

TEST_F(CmdOperator, TheInstallersBoxAsksTheCancelQuestion) {
    Load("[X]\r\n");
    struct Case {
        int type;
        int press;  // the button pressed
        const char* first;
        const char* second;
        bool terminates;
    };
    // The string file names only BUTTON.EXIT; the others keep the template's.
    const Case cases[] = {{0, CMyMessageBox::kIdFirst, "OK", "Exit", false},
                          {0, CMyMessageBox::kIdSecond, "OK", "Exit", true},
                          {1, CMyMessageBox::kIdFirst, "OK", "Cancel", true},
                          {1, CMyMessageBox::kIdSecond, "OK", "Cancel", false}};
    for (const Case& c : cases) {
        ASSERT_EQ(0u, CRegistry::SetValue(kInstalling, "Mark", "x", os::kHKLM));
        headless::DialogView seen;
        headless::SetDialogDriver([&](ui::HWnd dlg) {
            seen = headless::DescribeDialog(dlg);
            headless::PressButton(dlg, c.press);
        });
        CCmdOperator op;
        op.setCancelType(c.type);
        CMD_DATA cmd("CT_DLG_CANCEL");
        EXPECT_TRUE(op.ExecuteCommand(&cmd));
        headless::SetDialogDriver(nullptr);
        EXPECT_TRUE(headless::ModalDialogs().empty());
        EXPECT_EQ("Test Printer", seen.caption);
        EXPECT_EQ(0u, seen.text.find("Setup is not complete."));
        ASSERT_EQ(3u, seen.controls.size());
        EXPECT_EQ(c.first, seen.controls[0].text);
        EXPECT_EQ(c.second, seen.controls[1].text);
        EXPECT_TRUE(seen.controls[1].visible);
        EXPECT_EQ(ui::SystemIcon::kWarning, seen.controls[2].icon);
        EXPECT_EQ(!c.terminates, KeyExists(kInstalling)) << c.type << " " << c.press;
        // A quit posted by the termination ends the loop with 0; otherwise the
        // idle call ends it with 99.
        int code = ui::RunMessageLoop([](void*, long) { ui::PostQuit(99); return false; }, nullptr);
        EXPECT_EQ(c.terminates ? 0 : 99, code);
    }
}

TEST_F(CmdOperator, TerminationRemovesTheRunsKeys) {
    Load("[X]\r\n");
    struct Case {
        bool installed;  // Dest_Dir recorded
        bool cancelled;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {false, false, {"merge history", "undo"}},
        {false, true, {"merge history", "undo cancelled"}},
        {true, true, {"merge history"}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(0u, CRegistry::SetValue(kInstalling, "Mark", "x", os::kHKLM));
        ASSERT_EQ(0u, CRegistry::SetValue((std::string(kInstalling) + "\\InstHistory").c_str(),
                                          "Mark", "x", os::kHKLM));
        ASSERT_EQ(0u, CRegistry::SetValue(kInstalled, "Mark", "x", os::kHKLM));
        if (c.installed) {
            ASSERT_EQ(0u, CRegistry::SetValue(kInstalled, "Dest_Dir", "C:\\P", os::kHKLM));
        }
        RecordingOperator op;
        EXPECT_TRUE(op.TerminateSetup(CMD_DATA(), c.cancelled));
        EXPECT_EQ(c.calls, op.calls);
        EXPECT_EQ(1, op.quits);
        EXPECT_FALSE(KeyExists(kInstalling));
        EXPECT_FALSE(KeyExists((std::string(kInstalling) + "\\InstHistory").c_str()));
        EXPECT_EQ(c.installed, KeyExists(kInstalled));
        CRegistry::DeleteKey(kInstalled, false, os::kHKLM);
    }
}

class ModalPage : public CModalPage {
public:
    explicit ModalPage(std::vector<std::string>& log) : log_(log) {}
    ~ModalPage() override { log_.push_back("destroyed"); }
    void SetSectionName(const std::string& s) override { log_.push_back("section " + s); }
    int DoModal(ui::HWnd) override {
        log_.push_back("modal");
        return 1;
    }

private:
    std::vector<std::string>& log_;
};

class ModalOperator : public RecordingOperator {
protected:
    std::unique_ptr<CModalPage> CreatePage(const std::string& s) override {
        if (s == "NONE.") return nullptr;
        return std::make_unique<ModalPage>(calls);
    }
    void EnableHostWindows(bool enable) override { Note(enable ? "enable" : "disable"); }
};

TEST_F(CmdOperator, AModalPageRunsWithTheWindowsDisabled) {
    Load("[X]\r\n");
    ModalOperator op;
    EXPECT_TRUE(op.ExecuteCommandLine("CT_DO_MODAL = ABOUT."));
    EXPECT_EQ((std::vector<std::string>{"section ABOUT.", "disable", "modal", "enable",
                                        "destroyed"}),
              op.calls);
    op.calls.clear();
    EXPECT_TRUE(op.ExecuteCommandLine("CT_DO_MODAL = NONE."));
    EXPECT_TRUE(op.calls.empty());
}

TEST_F(CmdOperator, BadInputEndsWithoutACrash) {
    std::string big = "[BIG]\r\n";
    for (int i = 0; i < 10000; ++i) big += "CT_OPEN_BROWSE = f" + std::to_string(i) + "\r\n";
    std::string commas = "CT_OPEN_DLG = a" + std::string(50, ',') + "b";
    Load(big + "[SELF]\r\nCT_COMMAND = SELF\r\n[TWICE]\r\nCT_COMMAND = TWICE\r\n"
               "CT_COMMAND = TWICE\r\nCT_OPEN_BROWSE = after\r\n",
         big);
    RecordingOperator op;
    // Its lines do not fit the section buffer: found in neither profile.
    EXPECT_FALSE(op.ExecuteCommandSection("BIG"));
    EXPECT_TRUE(op.calls.empty());

    // A line of 16 383 characters keeps its parameter whole; longer texts are cut.
    const std::string head = "CT_OPEN_BROWSE = ";
    const std::string line = head + std::string(kCmdTextMax - head.size(), 'x');
    ASSERT_EQ(16383u, line.size());
    EXPECT_TRUE(op.ExecuteCommandLine(line));
    ASSERT_EQ(1u, op.calls.size());
    EXPECT_EQ("folder " + std::string(kCmdTextMax - head.size(), 'x'), op.calls[0]);
    const CMD_DATA cut = CCmdOperator::ParseCommandLine(head + std::string(40000, 'y'));
    EXPECT_EQ(kCmdTextMax, cut.szCmdParam1.size());
    EXPECT_TRUE(op.ExecuteCommandLine(std::string(40000, 'T')));

    const CMD_DATA many = CCmdOperator::ParseCommandLine(commas);
    EXPECT_EQ("a", many.szCmdParam1);
    EXPECT_EQ("b", many.szCmdParam2);
    EXPECT_EQ("", many.szCmdParam3);
    EXPECT_TRUE(CCmdOperator::ParseCommandLine("CT_COPY_FILE = " + std::string(50, ','))
                    .szCmdParam1.empty());

    // A section that runs itself ends at the depth limit with one log line;
    // a section that runs itself twice stops there too instead of fanning
    // out, and the rest of the abandoned command does not run.
    for (const char* section : {"SELF", "TWICE"}) {
        RecordingOperator self;
        const size_t before = CountLines("Command nesting deeper than 64");
        EXPECT_TRUE(self.ExecuteCommandLine(std::string("CT_COMMAND = ") + section)) << section;
        EXPECT_EQ(before + 1, CountLines("Command nesting deeper than 64")) << section;
        // The depth is free again for the next command.
        EXPECT_TRUE(self.ExecuteCommandLine("CT_OPEN_BROWSE = next"));
        EXPECT_EQ(std::vector<std::string>{"folder next"}, self.calls) << section;
    }
}

// --- the wizard as host ------------------------------------------------------------

class HostWizard : public CWizard {
public:
    using CWizard::RunStartCommand;
    using CWizard::SetCmdOperator;
};

TEST_F(CmdOperator, TheWizardRunsPostedAndDirectCommands) {
    Load("[DLG_COMMON]\r\nCANCEL_TYPE = NULL\r\n"
         "[START]\r\nSTART_CMD = PREPARE\r\nCMD_TYPE = CT_SET_SETUP_TYPE\r\nCMD_PARAM1 = REINST\r\n"
         "[PREPARE]\r\nCT_SET_INST_TYPE = Custom\r\n");
    HostWizard w;
    ASSERT_EQ(CWizard::kCreated, w.Create("Test Printer"));
    EXPECT_EQ(kCancelNull, w.cmdOperator().cancelType());
    EXPECT_FALSE(w.RunCommand(nullptr));
    EXPECT_FALSE(w.RunCommand(""));

    // Init runs START_CMD's section, the end of initialisation the start command.
    ASSERT_TRUE(w.Init("START"));
    std::string text;
    EXPECT_EQ(0u, CRegistry::GetValue(kInstalling, "Install_Type", text, os::kHKLM));
    EXPECT_EQ("Custom", text);
    ui::Send(w.hwnd(), WM_USER_INIT_DONE, 1, 0);
    uint32_t type = 0;
    EXPECT_EQ(0u, CRegistry::GetValue(kInstalling, "Setup_Type", &type, os::kHKLM));
    EXPECT_EQ(3u, type);

    // A posted record is copied and its buffer cleared before it runs.
    std::array<std::string, 6> shared = {"CT_SET_SETUP_TYPE", "UNINST", "", "", "", "z"};
    ui::Send(w.hwnd(), WM_USER_RUN_COMMAND, 0, reinterpret_cast<intptr_t>(&shared));
    EXPECT_EQ(0u, CRegistry::GetValue(kInstalling, "Setup_Type", &type, os::kHKLM));
    EXPECT_EQ(2u, type);
    for (const std::string& s : shared) EXPECT_EQ("", s);
    const size_t calls = CountLines("Call Command :");
    ui::Send(w.hwnd(), WM_USER_RUN_COMMAND, 0, 0);
    EXPECT_EQ(calls, CountLines("Call Command :"));

    // The global entry point reaches no wizard here: the application has none.
    EXPECT_FALSE(RunCommand("CT_DLG_HELP"));

    // End of a waited program: enabled again and, when asked, in front.
    ui::EnableWindowHandle(w.hwnd(), false);
    ui::Send(w.hwnd(), WM_USER_END_WAIT, 1, 0);
    EXPECT_FALSE(ui::EnableWindowHandle(w.hwnd(), true));
    EXPECT_EQ(w.hwnd(), headless::ForegroundWindow());

    // Cancel type NULL ends the run without a question.
    headless::TakeShownBoxes();
    ui::Send(w.hwnd(), WM_USER_DLG_CANCEL, 0, 0);
    EXPECT_TRUE(headless::TakeShownBoxes().empty());
    EXPECT_FALSE(KeyExists(kInstalling));
    EXPECT_EQ(0, ui::RunMessageLoop([](void*, long) { ui::PostQuit(99); return false; }, nullptr));
}

TEST_F(CmdOperator, WithoutAStartCommandTheFirstPageOpens) {
    Load("[START]\r\nDIALOGS = LIST\r\n");
    HostWizard w;
    ASSERT_EQ(CWizard::kCreated, w.Create("Test Printer"));
    auto op = std::make_unique<RecordingOperator>();
    RecordingOperator* seen = op.get();
    w.SetCmdOperator(std::move(op));
    ASSERT_TRUE(w.Init("START"));
    w.RunStartCommand();
    EXPECT_EQ(std::vector<std::string>{"open 0 "}, seen->calls);
    // A failed initialisation terminates.
    ui::Send(w.hwnd(), WM_USER_INIT_DONE, 0, 0);
    EXPECT_EQ(1, seen->quits);
    std::vector<std::string> lines = LogLines();
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "Initializing fail"));
}

}  // namespace
