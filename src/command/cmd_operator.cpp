#include "command/cmd_operator.h"

#include <cstdlib>
#include <vector>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "app/messages.h"
#include "command/copy_file.h"
#include "command/launch.h"
#include "command/registry.h"
#include "install/history.h"
#include "sys/utl.h"
#include "wizard/my_message_box.h"

namespace {

std::string CutText(const char* text) {
    if (!text) return std::string();
    std::string s(text);
    if (s.size() > kCmdTextMax) s.resize(kCmdTextMax);
    return s;
}

void CutTo(std::string& s) {
    if (s.size() > kCmdTextMax) s.resize(kCmdTextMax);
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string TrimBlanks(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

std::string ModelName() {
    CProgramInfo* info = GetProgramInfo();
    return info ? info->mfg + info->mdl : std::string();
}

std::string ModelVidPid() {
    CProgramInfo* info = GetProgramInfo();
    return info ? info->vidpid : std::string();
}

const char kDefaultCancelMessage[] =
    "Setup is not complete. If you quit the setup program now, the components you requested "
    "to add/remove will not be installed/uninstalled.\r\nYou may run the setup program at a "
    "later time to complete the operations.\r\nAre you sure you want to quit the setup?";

// The installer's message box styles of the cancel question.
constexpr uint32_t kStyleResumeExit = 0x36;
constexpr uint32_t kStyleYesNo = 0x34;

// The command types in the order they are tried.
enum CmdType {
    kOpenDlg, kExeFileWait, kExeFileNoWait, kExeFileActive, kExeAndTerminate, kRunDll,
    kRunDllAndTerminate, kOpenFileNoWait, kOpenFileWait, kOpenUrl, kOpenBrowse,
    kAppTerminate, kDlgHelp, kDlgBack, kDlgCancel, kFindLocalPrinter, kAddReg, kDelReg,
    kCommand, kPrintTestPage, kPrintMetaTestPage, kPrintPrnTestPage, kDeleteAll,
    kRefreshSystem, kDiagnosis, kStartPreventPnP, kEndPreventPnP, kCopyFile,
    kRunRemoteInstall, kRmhwDlg, kRemoveDev, kViewLicense, kDeleteFile, kWriteItemInfo,
    kOpenTestPage, kInstallUpdate, kChangeLang, kSetRemoteInstall, kCheckItem, kDoModal,
    kSetInstType, kSetSetupType, kShowToggle, kOpenManual, kTypeCount
};

const char* const kTypeNames[kTypeCount] = {
    "CT_OPEN_DLG", "CT_EXE_FILE_WAIT", "CT_EXE_FILE_NOWAIT", "CT_EXE_FILE_ACTIVE",
    "CT_EXE_AND_TERMINATE", "CT_RUNDLL", "CT_RUNDLL_AND_TERMINATE", "CT_OPEN_FILE_NOWAIT",
    "CT_OPEN_FILE_WAIT", "CT_OPEN_URL", "CT_OPEN_BROWSE", "CT_APP_TERMINATE", "CT_DLG_HELP",
    "CT_DLG_BACK", "CT_DLG_CANCEL", "CT_FIND_LOCAL_PRINTER", "CT_ADDREG", "CT_DELREG",
    "CT_COMMAND", "CT_PRINT_TEST_PAGE", "CT_PRINT_META_TEST_PAGE", "CT_PRINT_PRN_TEST_PAGE",
    "CT_DELETE_ALL", "CT_REFRESH_SYSTEM", "CT_DIAGNOSIS", "CT_START_PREVENT_PNP",
    "CT_END_PREVENT_PNP", "CT_COPY_FILE", "CT_RUN_REMOTE_INSTALL", "CT_RMHW_DLG",
    "CT_REMOVE_DEV", "CT_VIEW_LICESNE", "CT_DELETE_FILE", "CT_WRITE_ITEM_INFO",
    "CT_OPEN_TEST_PAGE", "CT_INSTALL_UPDATE", "CT_CHANGE_LANG", "CT_SET_REMOTE_INSTALL",
    "CT_CHECK_ITEM", "CT_DO_MODAL", "CT_SET_INST_TYPE", "CT_SET_SETUP_TYPE",
    "CT_SHOW_TOGGLE", "CT_OPEN_MANUAL",
};

int FindType(const std::string& upperType) {
    for (int i = 0; i < kTypeCount; ++i)
        if (upperType == kTypeNames[i]) return i;
    return -1;
}

}  // namespace

// --- CMD_DATA ------------------------------------------------------------------

CMD_DATA::CMD_DATA(const char* type, const char* p1, const char* p2, const char* p3,
                   const char* p4, const char* p5)
    : szCmdType(CutText(type)),
      szCmdParam1(CutText(p1)),
      szCmdParam2(CutText(p2)),
      szCmdParam3(CutText(p3)),
      szCmdParam4(CutText(p4)),
      szCmdParam5(CutText(p5)) {}

CMD_DATA::CMD_DATA(const std::array<std::string, 6>& t)
    : szCmdType(t[0]), szCmdParam1(t[1]), szCmdParam2(t[2]), szCmdParam3(t[3]),
      szCmdParam4(t[4]), szCmdParam5(t[5]) {
    Cut();
}

void CMD_DATA::Clear() { *this = CMD_DATA(); }

void CMD_DATA::Cut() {
    for (std::string* s : {&szCmdType, &szCmdParam1, &szCmdParam2, &szCmdParam3, &szCmdParam4,
                           &szCmdParam5})
        CutTo(*s);
}

// --- dispatch ------------------------------------------------------------------

bool CCmdOperator::ExecuteCommand(const CMD_DATA* cmd) {
    struct Busy {
        CCmdOperator* self;
        explicit Busy(CCmdOperator* s) : self(s) { self->BeginBusy(); }
        ~Busy() { self->EndBusy(); }
    } busy(this);
    if (!cmd) return false;
    // Our own copy: the caller may reuse its record while we run.
    CMD_DATA copy = *cmd;
    copy.Cut();
    if (CLog* log = GetLog())
        log->Log("Call Command : Type = %s, Param1=%s,Param2=%s,Param3=%s,Param4=%s,Param5=%s",
                 copy.szCmdType.c_str(), copy.szCmdParam1.c_str(), copy.szCmdParam2.c_str(),
                 copy.szCmdParam3.c_str(), copy.szCmdParam4.c_str(), copy.szCmdParam5.c_str());
    if (depth_ >= kCmdMaxDepth) {
        // Once per outermost command: the sections on the way back run no
        // further lines, so a section naming itself twice cannot fan out.
        if (!tooDeep_ && GetLog())
            GetLog()->Log("Command nesting deeper than %d : Type = %s, Param1=%s", kCmdMaxDepth,
                          copy.szCmdType.c_str(), copy.szCmdParam1.c_str());
        tooDeep_ = true;
        return false;
    }
    ++depth_;
    bool result = Dispatch(copy);
    if (--depth_ == 0) tooDeep_ = false;
    return result;
}

bool CCmdOperator::Dispatch(const CMD_DATA& cmd) {
    const std::string& p1 = cmd.szCmdParam1;
    const std::string& p2 = cmd.szCmdParam2;
    switch (FindType(Upper(cmd.szCmdType))) {
    case kOpenDlg:
        SendOpenDialog(0, p1);
        return true;
    case kExeFileWait:
        LaunchProgram(p1, p2, true, true);
        return true;
    case kExeFileNoWait:
        return LaunchProgram(p1, p2, false, false);
    case kExeFileActive:
        LaunchProgram(p1, p2, true, false);
        return true;
    case kExeAndTerminate:
        if (LaunchProgram(p1, p2, false, false)) TerminateSetup(cmd, false);
        return true;
    case kRunDll:
    case kRunDllAndTerminate:
        return true;
    case kOpenFileNoWait:
    case kOpenFileWait:
        return OpenDocument(p1);
    case kOpenUrl:
        return OpenAddress(p1);
    case kOpenBrowse:
        OpenFolder(p1);
        return true;
    case kAppTerminate:
        return TerminateSetup(cmd, false);
    case kDlgHelp:
        return true;
    case kDlgBack:
        SendOpenDialog(-1, p1);
        return true;
    case kDlgCancel:
        return ConfirmCancel(cmd);
    case kFindLocalPrinter:
        return RunCommandOrOpenPage(IsDeviceConnected() ? p1 : p2);
    case kAddReg:
        return AddRegistry(p1);
    case kDelReg:
        return DeleteRegistry(p1);
    case kCommand:
        return ExecuteCommandSection(p1);
    case kPrintTestPage:
        PrintTestPage(cmd);
        return true;
    case kPrintMetaTestPage:
        PrintMetaTestPage(cmd);
        return true;
    case kPrintPrnTestPage:
        PrintPrnTestPage(cmd);
        return true;
    case kDeleteAll:
        return DeleteAll();
    case kRefreshSystem:
        RefreshSystem();
        return true;
    case kDiagnosis:
        return Diagnosis(p1);
    case kStartPreventPnP:
        StartPreventPnP();
        return true;
    case kEndPreventPnP:
        EndPreventPnP();
        return true;
    case kCopyFile:
        return CopyFiles(p1);
    case kRunRemoteInstall:
        return RunRemoteInstall();
    case kRmhwDlg:
        RemoveHardwareWizardDialog();
        return true;
    case kRemoveDev:
        RemoveUnknownDevice();
        return true;
    case kViewLicense:
        return true;
    case kDeleteFile:
        return DeleteFiles(p1);
    case kWriteItemInfo:
        WriteItemInfo();
        return true;
    case kOpenTestPage: {
        const bool first = (IsDeviceConnected() && PrinterInstalledThisRun()) || p2.empty();
        PostCommand("CT_OPEN_DLG", first ? p1.c_str() : p2.c_str());
        return true;
    }
    case kInstallUpdate:
        InstallUpdate();
        return true;
    case kChangeLang:
        ChangeLanguage(HexOrDecToNumber(p1));
        return true;
    case kSetRemoteInstall:
        if (COptionInfo* o = GetOptionInfo())
            o->remoteInstall = std::strtol(TrimBlanks(p1).c_str(), nullptr, 10) != 0;
        return true;
    case kCheckItem:
        return CheckItem(cmd);
    case kDoModal:
        return DoModal(p1);
    case kSetInstType: {
        const std::string key = GetInstallingKey();
        if (!key.empty()) CRegistry::SetValue(key.c_str(), "Install_Type", p1.c_str(), os::kHKLM);
        return true;
    }
    case kSetSetupType: {
        const std::string type = Upper(p1);
        uint32_t value = type == "INSTALL" ? 1 : type == "UNINST" ? 2 : type == "REINST" ? 3 : 0;
        const std::string key = GetInstallingKey();
        if (!key.empty()) CRegistry::SetValue(key.c_str(), "Setup_Type", value, os::kHKLM);
        return true;
    }
    case kShowToggle:
        return ToggleShown(p1);
    case kOpenManual:
        return OpenManual(p1, p2);
    default:
        // Not a command of this engine: the log line above is all it does.
        return true;
    }
}

CMD_DATA CCmdOperator::ParseCommandLine(const std::string& line) {
    CMD_DATA cmd;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
        cmd.szCmdType = TrimBlanks(line);
    } else {
        cmd.szCmdType = TrimBlanks(line.substr(0, eq));
        std::string* params[3] = {&cmd.szCmdParam1, &cmd.szCmdParam2, &cmd.szCmdParam3};
        size_t taken = 0;
        size_t pos = eq + 1;
        while (taken < 3 && pos <= line.size()) {
            size_t comma = line.find(',', pos);
            if (comma == std::string::npos) comma = line.size();
            // Empty pieces (blanks only) give no parameter.
            std::string piece = TrimBlanks(line.substr(pos, comma - pos));
            if (!piece.empty()) *params[taken++] = std::move(piece);
            pos = comma + 1;
        }
    }
    cmd.Cut();
    return cmd;
}

bool CCmdOperator::ExecuteCommandLine(const std::string& line) {
    const CMD_DATA cmd = ParseCommandLine(line);
    return ExecuteCommand(&cmd);
}

bool CCmdOperator::ExecuteCommandSection(const std::string& section) {
    if (section.empty()) return false;
    std::vector<std::string> lines;
    bool found = false;
    if (CInstProfile* configure = GetConfigureProfile())
        found = configure->GetAllKey(section.c_str(), lines);
    if (!found) {
        lines.clear();
        if (CInstProfile* command = GetCommandProfile())
            found = command->GetAllKey(section.c_str(), lines);
    }
    if (!found) return false;
    // A failing line does not stop the section.
    for (const std::string& line : lines) {
        if (tooDeep_) break;
        ExecuteCommandLine(line);
    }
    return true;
}

bool CCmdOperator::RunCommandOrOpenPage(const std::string& text) {
    if (text.size() >= 3 && Upper(text.substr(0, 3)) == "CT_") return ExecuteCommandLine(text);
    const CMD_DATA cmd("CT_OPEN_DLG", text.c_str());
    return ExecuteCommand(&cmd);
}

bool CCmdOperator::CheckItem(const CMD_DATA& cmd) {
    const int count = ValidItemCount();
    if (count <= 0) ShowMessageBox("There is no item to be installed!!!!", ui::kMbOk);
    return RunCommandOrOpenPage(count == 1 ? cmd.szCmdParam1 : cmd.szCmdParam2);
}

bool CCmdOperator::DoModal(const std::string& section) {
    std::unique_ptr<CModalPage> page = CreatePage(section);
    if (!page) return true;
    page->SetSectionName(section);
    EnableHostWindows(false);
    page->DoModal(host_);
    EnableHostWindows(true);
    return true;
}

// --- cancel and termination -----------------------------------------------------

void CCmdOperator::ReadCancelType() {
    CInstProfile* configure = GetConfigureProfile();
    std::string value;
    if (!configure || !configure->GetString("DLG_COMMON", "CANCEL_TYPE", value)) return;
    value = Upper(value);
    if (value == "RESUME_EXIT") cancelType_ = kCancelResumeExit;
    else if (value == "OK_CANCEL") cancelType_ = kCancelOkCancel;
    else if (value == "NULL") cancelType_ = kCancelNull;
}

bool CCmdOperator::ConfirmCancel(const CMD_DATA& cmd) {
    if (cancelType_ == kCancelNull) return TerminateSetup(cmd, true);
    std::string text;
    CInstProfile* configure = GetConfigureProfile();
    if (!configure || !configure->GetString("CANCEL_DLG", "CANCEL_MSG", text))
        text = kDefaultCancelMessage;
    if (cancelType_ == kCancelResumeExit) {
        if (ShowMessageBox(text, kStyleResumeExit) == 2) TerminateSetup(cmd, true);
    } else if (cancelType_ == kCancelOkCancel) {
        if (ShowMessageBox(text, kStyleYesNo) == 1) TerminateSetup(cmd, true);
    }
    return true;
}

bool CCmdOperator::TerminateSetup(const CMD_DATA&, bool cancelled) {
    MergeHistory();
    const std::string installed = GetInstalledKey();
    std::string destDir;
    const bool recorded =
        !installed.empty() &&
        CRegistry::GetValue(installed.c_str(), "Dest_Dir", destDir, os::kHKLM) == 0;
    if (!recorded) {
        UndoRun(cancelled);
        if (!installed.empty()) CRegistry::DeleteKey(installed.c_str(), false, os::kHKLM);
    }
    const std::string installing = GetInstallingKey();
    if (!installing.empty()) CRegistry::DeleteKey(installing.c_str(), false, os::kHKLM);
    PostQuit();
    return true;
}

// --- default seams ---------------------------------------------------------------

void CCmdOperator::SendOpenDialog(intptr_t wParam, const std::string& page) {
    if (host_)
        ui::Send(host_, WM_USER_OPEN_DLG, static_cast<uintptr_t>(wParam),
                 reinterpret_cast<intptr_t>(page.c_str()));
}

bool CCmdOperator::LaunchProgram(const std::string& program, const std::string& arguments,
                                 bool wait, bool foreground) {
    return ::StartProgram(program, arguments, wait, foreground);
}
bool CCmdOperator::OpenDocument(const std::string& document) { return ::OpenDocument(document); }
bool CCmdOperator::OpenAddress(const std::string& address) { return ::OpenAddress(address); }
void CCmdOperator::OpenFolder(const std::string& folder) { ::OpenFolder(folder); }
bool CCmdOperator::OpenManual(const std::string& document, const std::string& second) {
    return ::OpenManual(document, second);
}

bool CCmdOperator::IsDeviceConnected() {
    CInstallTarget* target = GetInstallTarget();
    return target && target->IsDeviceConnected(false);
}

bool CCmdOperator::PrinterInstalledThisRun() {
    CInstallTarget* target = GetInstallTarget();
    return target && target->printerInstalled;
}

bool CCmdOperator::AddRegistry(const std::string& section) {
    return AddRegistrySection(section.c_str(), nullptr, IsSectionForThisSystem);
}
bool CCmdOperator::DeleteRegistry(const std::string& section) {
    return DeleteRegistrySection(section.c_str(), nullptr, IsSectionForThisSystem);
}

void CCmdOperator::PrintTestPage(const CMD_DATA&) {}
void CCmdOperator::PrintMetaTestPage(const CMD_DATA&) {}
void CCmdOperator::PrintPrnTestPage(const CMD_DATA&) {}
bool CCmdOperator::DeleteAll() { return false; }

void CCmdOperator::RefreshSystem() {
    CGlobalVar* g = GetGlobalVar();
    CExternalFnt* fnt = GetExternalFnt();
    if (!g || !fnt) return;
    // NT 3.x and NT 4 have no device refresh.
    int type = 0;
    g->GetOsType(&type, nullptr);
    if (type == 11 || type == 12) return;
    fnt->SystemRefresh(ModelName().c_str(), ModelVidPid().c_str());
}

bool CCmdOperator::Diagnosis(const std::string&) { return false; }

void CCmdOperator::StartPreventPnP() {
    if (CExternalFnt* fnt = GetExternalFnt()) fnt->StartPreventPnP(ModelName().c_str());
}
void CCmdOperator::EndPreventPnP() {
    if (CExternalFnt* fnt = GetExternalFnt()) fnt->EndPreventPnP(ModelName().c_str());
}

bool CCmdOperator::CopyFiles(const std::string& section) {
    return CopyFileSection(section.c_str());
}
bool CCmdOperator::DeleteFiles(const std::string& section) {
    return DeleteFileSection(section.c_str());
}
bool CCmdOperator::RunRemoteInstall() { return false; }

void CCmdOperator::RemoveHardwareWizardDialog() {
    if (CExternalFnt* fnt = GetExternalFnt()) fnt->RemoveHardwareWizardDialog();
}
void CCmdOperator::RemoveUnknownDevice() {
    if (CExternalFnt* fnt = GetExternalFnt())
        fnt->RemoveUnknownDev(ModelName().c_str(), ModelVidPid().c_str());
}

void CCmdOperator::WriteItemInfo() {
    if (CItem* items = GetItemManager()) items->SelectDefaultItems();
}
void CCmdOperator::InstallUpdate() {}

void CCmdOperator::ChangeLanguage(uint32_t languageId) {
    if (CGlobalVar* g = GetGlobalVar()) g->SelectLanguage(static_cast<uint16_t>(languageId), false);
}

// Items that are not valid never enter the list.
int CCmdOperator::ValidItemCount() {
    CItem* items = GetItemManager();
    return items ? items->GetItemCount() : 0;
}

std::unique_ptr<CModalPage> CCmdOperator::CreatePage(const std::string&) { return nullptr; }

void CCmdOperator::EnableHostWindows(bool enable) {
    if (host_) ui::EnableWindowHandle(host_, enable);
}

bool CCmdOperator::ToggleShown(const std::string&) { return false; }

int CCmdOperator::ShowMessageBox(const std::string& text, uint32_t style) {
    if (style == kStyleResumeExit || style == kStyleYesNo) {
        // The cancel question: the installer's own box, buttons from the string file.
        CMyMessageBox box(host_);
        box.Setup(text, nullptr, style);
        return box.Show();
    }
    CProgramInfo* info = GetProgramInfo();
    return ::ShowMessage(host_, text, info ? info->programName : std::string(), style);
}

void CCmdOperator::MergeHistory() {
    if (CRegistryKeys* keys = GetRegistryKeys())
        ::MergeHistory(keys->installingHistory, keys->installedHistory);
}
// The run's history is in the installed history by now (MergeHistory runs
// first). The network ports of a cancelled run are the printer part's.
void CCmdOperator::UndoRun(bool) {
    if (CRegistryKeys* keys = GetRegistryKeys()) UndoHistory(keys->installedHistory, false);
}
void CCmdOperator::PostQuit() { ui::PostQuit(0); }
