#include "app/installer_app.h"

#include <cstring>
#include <vector>

#include "app/command_line.h"
#include "app/messages.h"
#include "app/system_requirement.h"
#include "app/text_format.h"
#include "sys/utl.h"
#include "wizard/wizard.h"

namespace {
CInstallerApp* g_app = nullptr;

std::string Cut(const std::string& s, size_t bufferSize) {
    return s.size() < bufferSize ? s : s.substr(0, bufferSize - 1);
}
}  // namespace

CInstallerApp::CInstallerApp() : CInstallerApp(std::make_unique<CGlobalVar>()) {}

CInstallerApp::CInstallerApp(std::unique_ptr<CGlobalVar> global) : global_(std::move(global)) {
    g_app = this;
    // Last of construction: the system functions looked up at run time.
    apiFunction_.Load();
}

CInstallerApp::~CInstallerApp() {
    ReleaseInstanceMutex();
    if (g_app == this) g_app = nullptr;
}

void CInstallerApp::ReleaseInstanceMutex() {
    os::CloseHandle(instanceMutex_);
    instanceMutex_ = nullptr;
}

bool CInstallerApp::InitInstance() {
    // A silent run shows no window from its first step on, so the S switch
    // is known before anything could be shown.
    if (InterpretSwitches(SplitCommandLine(ParametersOf(os::CommandLine()))).silent) silent_ = true;
    // Nothing reaches the registry or the disk before this start knows it is
    // the only one; a second start must leave the first one's records alone.
    global_->HoldWrites();

    // 1. Control containers and rich edit need no set-up of ours.
    // 2. The wizard object; its window comes later.
    wizard_ = MakeWizard();

    // 3. Global state.
    if (!InitializeGlobalVar()) {
        log_.Log("Initilize global variable fail");
        return false;
    }
    CGlobalVar& g = *global_;

    // 4. One installer per program name.
    if (!CheckSingleInstance()) {
        log_.Log("There is a previous running instance of this application, so it is terminated.");
        global_->DropWrites();
        return false;
    }
    // A silent run has no window to create: holding the mutex is enough.
    if (silent_ && instanceMutex_) g.ReleaseWrites();

    // 5. Administrator rights for a device driver on the NT family.
    if (g.options.deviceInstall && OsFamily() != 10 && !IsAdministrator()) {
        std::string text;
        if (g.profiles.data.GetString("SYSTEM_REQUIREMENT", "MSG_IS_NOT_ADMIN", text)) {
            ShowMessage(nullptr, text, g.programInfo.programName, ui::kMbOk);
            return false;
        }
    }

    // 6. Command line.
    setupType_ = ParseCommandLine();

    // 7. Minimum requirements of a first installation.
    if (setupType_ == kSetupInstall) {
        std::string dest;
        if (!ReadInstalledDestDir(dest) && !CheckMinimumRequirement(g.options.usbOnly)) {
            log_.Log("This system could not satisfy the installer Minimum Requirement!");
            return false;
        }
    }

    // 8. A silent run does all its work here.
    if (silent_) {
        std::string dest;
        if (ReadInstalledDestDir(dest)) g.target.SetDestination(dest);
        switch (setupType_) {
        case kSetupInstall: SilentInstall(false); break;
        case kSetupUninstall: SilentUninstall(); break;
        case kSetupReinstall: SilentInstall(true); break;
        default: break;
        }
        return false;
    }

    // 9. The wizard's window.
    switch (wizard_->Create(g.programInfo.programName)) {
    case CWizard::kCreateFailed:
        log_.Log("The installer initializing fail");
        wizardOwned_ = false;
        ReleaseInstanceMutex();
        global_->DropWrites();
        return false;
    case CWizard::kAlreadyRunning:
        log_.Log("The installer is already running");
        ReleaseInstanceMutex();
        global_->DropWrites();
        return false;
    default:
        // The only instance: what start-up held back may be written now.
        g.ReleaseWrites();
        break;
    }

    // 10. Let Plug and Play settle.
    WaitNoPendingPnP(false);

    // 11. Background window.
    std::string background;
    if (g.profiles.configure.GetString("DLG_COMMON", "BACKGROUND_DLG", background) &&
        CreateBackground(background))
        backgroundShown_ = true;

    // 12. Dialog background colour.
    uint32_t colour = 0;
    if (g.profiles.configure.GetColour("DLG_COMMON", "DLG_BACK_COLOR", colour))
        SetDialogBackground(colour);

    // 13. Items, start section, the wizard's pages.
    if (!InitializeRun()) {
        log_.Log("Initialize fail");
        return false;
    }

    // 14. Keep the hardware wizard out of the way while a driver installs.
    if (g.options.deviceInstall && setupType_ == kSetupInstall) StartCompressPnP();

    // 15. Ready.
    mainWindow_ = wizard_->hwnd();
    RecordRunSettings(true);
    ready_ = true;
    UpdateBackground();
    return true;
}

bool CInstallerApp::OnIdle(long) {
    if (ready_ && !startPosted_) {
        log_.Log("Start installation");
        if (wizard_) ui::Post(wizard_->hwnd(), WM_USER_INIT_DONE, 1, 0);
        startPosted_ = true;
    }
    return false;  // nothing more to do until the next message
}

int CInstallerApp::ExitInstance() {
    log_.Log("End of installation");
    if (wizard_ && wizardOwned_) wizard_->Destroy();
    ReleaseInstanceMutex();
    if (global_->options.deviceInstall) {
        StopCompressPnP();
        StopActivePnP();
    }
    return exitCode_;
}

int CInstallerApp::Run() {
    if (InitInstance()) {
        exitCode_ = ui::RunMessageLoop(
            [](void* self, long count) { return static_cast<CInstallerApp*>(self)->OnIdle(count); },
            this);
    }
    return ExitInstance();
}

int CInstallerApp::ParseCommandLine() {
    std::string parameters = Cut(ParametersOf(os::CommandLine()), kCommandText);
    log_.Log("Parameter : %s", parameters.c_str());
    ParsedCommandLine parsed = InterpretSwitches(SplitCommandLine(parameters));
    if (parsed.silent) silent_ = true;
    CGlobalVar& g = *global_;
    for (const CommandSwitch& s : parsed.effects) {
        switch (s.letter) {
        case 'A':
            g.target.SetDestination(s.value);
            break;
        case 'L':
            g.SelectLanguage(static_cast<uint16_t>(HexOrDecToNumber(s.value)), false);
            break;
        case 'P':
            g.target.SetPort(s.value);
            g.target.portChosen = true;
            break;
        default:
            break;
        }
    }
    return parsed.setupType;
}

bool CInstallerApp::CheckSingleInstance() {
    std::string name = InstanceName(global_->programInfo.programName);
    os::Handle mutex = nullptr;
    uint32_t rc = os::CreateNamedMutex(name.c_str(), &mutex);
    if (rc == 0) {
        instanceMutex_ = mutex;
        return true;
    }
    // Only the first instance holds the mutex.
    os::CloseHandle(mutex);
    if (rc != os::kErrAlreadyExists) return true;
    ui::HWnd other = ui::FindTopLevelWindow(name.c_str());
    if (!other) return false;
    ui::Send(other, WM_USER_ACTIVATE_INSTANCE, 0, 0);
    return true;
}

int CInstallerApp::ChooseStartSection(int requested) {
    CGlobalVar& g = *global_;
    CInstProfile& cfg = g.profiles.configure;
    int effective = kSetupInstall;
    if ((requested == kSetupInstall && IsPreviousInstallation()) || requested == kSetupReinstall) {
        uint32_t code = 0;
        if (ReadInstalledLangCode(code)) {
            g.target.installedBefore = true;
            if (!g.options.network) effective = kSetupReinstall;
        }
    }
    if (requested != kSetupInstall) effective = requested;

    const bool cdrom = InstallerDriveKind() == 3;
    struct Candidate {
        const char* section = nullptr;
        int result = kSetupNone;
    };
    const Candidate media = cdrom ? Candidate{"REINST_START_INFO_CD", kSetupReinstallMedia}
                                  : Candidate{"REINST_START_INFO_LOCAL", kSetupReinstallMedia};
    const Candidate mediaFromUninstall =
        cdrom ? Candidate{"REINST_START_INFO_CD", kSetupReinstallMedia}
              : Candidate{"REINST_START_INFO_LOCAL", kSetupReinstallLocalFromUninstall};
    const Candidate reinstall{"REINST_START_INFO", kSetupReinstall};
    const Candidate uninstall{"UNINST_START_INFO", kSetupUninstall};
    const Candidate install{"INSTALL_START_INFO", kSetupInstall};
    const Candidate deleteAll{"DELETEALL_START_INFO", kSetupDeleteAll};
    Candidate order[4];
    size_t count = 0;
    auto add = [&](std::initializer_list<Candidate> list) {
        for (const Candidate& c : list) order[count++] = c;
    };
    switch (effective) {
    case kSetupReinstall: add({media, reinstall, uninstall, install}); break;
    case kSetupUninstall: add({uninstall, reinstall, mediaFromUninstall, install}); break;
    case kSetupDeleteAll: add({deleteAll, reinstall, uninstall, install}); break;
    default: add({install}); break;
    }
    int result = kSetupNone;
    for (size_t i = 0; i < count; ++i) {
        const Candidate& c = order[i];
        std::string name;
        if (cfg.FindPlatformSection(c.section, name)) {
            startSection_ = Cut(name, 260);
            result = c.result;
            break;
        }
    }
    if (result == kSetupNone) {
        log_.Log("Start Section is [%s]", startSection_.c_str());
        return kSetupNone;
    }
    WriteInstallingDword("Setup_Type", static_cast<uint32_t>(result));
    setupType_ = result;
    if (result == kSetupInstall && g.options.agfa) {
        std::string agfa = startSection_ + ".AGFA";
        if (cfg.HasSection(agfa.c_str())) startSection_ = Cut(agfa, 260);
    }
    log_.Log("Start Section is [%s]", startSection_.c_str());
    return result;
}

bool CInstallerApp::InitializeRun() {
    CGlobalVar& g = *global_;
    bool initWindow = CreateInitWindow();
    UpdateBackground();
    if (!LoadItems()) {
        log_.Log("Initialize installed item information fail");
        if (!g.options.mainOnly) {
            if (initWindow) DestroyInitWindow();
            return false;
        }
    }
    UpdateBackground();
    setupType_ = ChooseStartSection(setupType_);
    if (g.options.mainOnly) {
        setupType_ = kSetupInstall;
    } else {
        HandPrintersToManager();
        LoadNetworkPrinterInfo();
        if (setupType_ == kSetupNone) {
            ShowMessage(GetMainWindow(), os::ErrorText(os::kErrInvalidParameter),
                        g.programInfo.programName, ui::kMbOk | ui::kMbIconError);
            log_.Log("Invalid Parameter");
            if (initWindow) DestroyInitWindow();
            return false;
        }
        if (setupType_ == kSetupInstall && ItemListEmpty()) {
            std::string text;
            if (g.profiles.data.GetString("SYSTEM_REQUIREMENT", "MSG_NOT_SUPPORTED_OS", text))
                ShowMessage(GetMainWindow(), text, g.programInfo.programName, ui::kMbOk);
            log_.Log("There is no valid item!!!");
            if (initWindow) DestroyInitWindow();
            return false;
        }
    }
    UpdateBackground();
    if (!InitWizard(startSection_)) {
        ShowMessage(GetMainWindow(), os::ErrorText(os::kErrInvalidParameter),
                    g.programInfo.programName, ui::kMbOk | ui::kMbIconError);
        log_.Log("Init Wizard fail!! [%s]", startSection_.c_str());
        if (initWindow) DestroyInitWindow();
        return false;
    }
    if (setupType_ == kSetupInstall) RunPreInstaller();
    else if (setupType_ == kSetupDeleteAll) MarkInstalledItemsForDeletion();
    if (initWindow) DestroyInitWindow();
    return true;
}

bool CInstallerApp::RecordRunSettings(bool writeModelValues) {
    CGlobalVar& g = *global_;
    if (g.options.mainOnly) return true;
    if (writeModelValues) {
        WriteInstallingString("MFG", g.programInfo.mfg);
        WriteInstallingString("MDL", g.programInfo.mdl);
        WriteInstallingString("VIDPID", g.programInfo.vidpid);
        // The VIDPID text, as later runs expect it here.
        WriteInstallingString("Printer_Port", g.programInfo.vidpid);
        WriteInstallingString("Program_Name", g.programInfo.programName);
    }
    WriteInstallingDword("LangCode", g.language.languageId);
    WriteInstallingString("LangAbbr", g.language.abbreviation);
    WriteInstallingString("Dest_Dir", g.target.destination);
    WriteInstallingString("Win_Dir", g.dirs.windowsDir);
    WriteInstallingString("Temp_Dir", g.dirs.tempDir);
    WriteInstallingString("STR_FILE", g.profiles.stringFile);
    int family = OsFamily();
    WriteInstallingDword("OS_Ver", family == 10 ? 1u : family == 15 ? 2u : 3u);
    return true;
}

void CInstallerApp::UpdateBackground() {
    // Repainted once the background window exists.
}

// --- seams: the parts of the engine that provide these steps ------------------

bool CInstallerApp::InitializeGlobalVar() { return global_->Initialize(); }
std::unique_ptr<CWizard> CInstallerApp::MakeWizard() { return std::make_unique<CWizard>(); }
bool CInstallerApp::IsAdministrator() { return IsAdminUser(); }
int CInstallerApp::OsFamily() {
    int family = 0;
    global_->GetOsType(nullptr, &family);
    return family;
}
bool CInstallerApp::ReadInstalledDestDir(std::string& dir) {
    return global_->ReadInstalledString("Dest_Dir", &dir);
}
bool CInstallerApp::ReadInstalledLangCode(uint32_t& code) {
    return global_->ReadInstalledDword("LangCode", &code);
}
bool CInstallerApp::CheckMinimumRequirement(bool usbOnly) {
    CSystemRequirement requirement;
    return requirement.Check(usbOnly);
}
void CInstallerApp::SilentInstall(bool) {}
void CInstallerApp::SilentUninstall() {}
void CInstallerApp::WaitNoPendingPnP(bool keepForeground) {
    ::WaitNoPendingPnP(keepForeground, [this] { global_->externalFnt.MySetForegroundNHWdDialog(); });
}
bool CInstallerApp::CreateBackground(const std::string&) { return false; }
void CInstallerApp::SetDialogBackground(uint32_t) {}
bool CInstallerApp::CreateInitWindow() { return false; }
void CInstallerApp::DestroyInitWindow() {}
bool CInstallerApp::LoadItems() { return items_->LoadItems("ITEM_INFO"); }
bool CInstallerApp::IsPreviousInstallation() { return items_->IsProductInstalled(); }
int CInstallerApp::InstallerDriveKind() { return GetDriveKind(nullptr); }
void CInstallerApp::HandPrintersToManager() {
    items_->RebuildPrinterTable(items_->printerTable(), false);
}
void CInstallerApp::LoadNetworkPrinterInfo() {}
bool CInstallerApp::ItemListEmpty() { return items_->GetItemCount() == 0; }
bool CInstallerApp::InitWizard(const std::string&) { return false; }
void CInstallerApp::RunPreInstaller() {}
void CInstallerApp::MarkInstalledItemsForDeletion() { items_->SelectInstalledForRemoval(); }
bool CInstallerApp::WriteInstallingString(const char* name, const std::string& value) {
    return global_->WriteInstallingString(name, value);
}
bool CInstallerApp::WriteInstallingDword(const char* name, uint32_t value) {
    return global_->WriteInstallingDword(name, value);
}
bool CInstallerApp::StartCompressPnP() { return false; }
bool CInstallerApp::StopCompressPnP() {
    compressPnPRun_ = 0;
    return true;
}
bool CInstallerApp::StartActivePnP() { return false; }
bool CInstallerApp::StopActivePnP() {
    activePnPRun_ = 0;
    return true;
}

// --- global functions ---------------------------------------------------------

CInstallerApp* GetInstallerApp() { return g_app; }
CLog* GetLog() { return g_app ? &g_app->log() : nullptr; }
CAPIFunction* GetAPIFunction() { return g_app ? &g_app->apiFunction() : nullptr; }

void PostCommand(const char* type, const char* p1, const char* p2, const char* p3,
                 const char* p4, const char* p5) {
    CInstallerApp* app = g_app;
    if (!app) return;
    std::array<std::string, 6>& buffer = app->global().commandBuffer;
    const char* texts[6] = {type, p1, p2, p3, p4, p5};
    for (size_t i = 0; i < 6; ++i) buffer[i] = texts[i] ? Cut(texts[i], kCommandText) : "";
    if (app->silent()) return;
    if (CWizard* w = app->wizard())
        ui::Post(w->hwnd(), WM_USER_RUN_COMMAND, 0, reinterpret_cast<intptr_t>(&buffer));
}

bool RunCommand(const char* type, const char* p1, const char* p2, const char* p3,
                const char* p4, const char* p5) {
    CInstallerApp* app = g_app;
    CWizard* w = app ? app->wizard() : nullptr;
    return w && w->RunCommand(type, p1, p2, p3, p4, p5);
}

ui::HWnd GetMainWindow() {
    CInstallerApp* app = g_app;
    if (!app || app->silent()) return nullptr;
    if (app->wizard() && app->wizard()->hwnd()) return app->wizard()->hwnd();
    return app->mainWindow();
}

int DefaultAnswer(uint32_t style) {
    static const int kButtons[][3] = {
        {ui::kIdOk, 0, 0},                    // OK
        {ui::kIdOk, ui::kIdCancel, 0},        // OK, Cancel
        {3, 4, 5},                            // Abort, Retry, Ignore
        {ui::kIdYes, ui::kIdNo, ui::kIdCancel},  // Yes, No, Cancel
        {ui::kIdYes, ui::kIdNo, 0},           // Yes, No
        {4, ui::kIdCancel, 0},                // Retry, Cancel
    };
    const uint32_t set = style & 0xF;
    if (set > 5) return ui::kIdOk;
    // The preselected button, else the first.
    const uint32_t preselected = (style >> 8) & 0xF;
    int answer = preselected < 3 ? kButtons[set][preselected] : 0;
    return answer ? answer : kButtons[set][0];
}

int ShowMessage(ui::HWnd owner, const std::string& text, const std::string& caption,
                uint32_t style) {
    CInstallerApp* app = GetInstallerApp();
    if (app && app->silent()) {
        // Nobody could answer a window: the text goes to the log.
        app->log().Log("Message (%s) : %s", caption.c_str(), text.c_str());
        return DefaultAnswer(style);
    }
    CGlobalVar* g = GetGlobalVar();
    if (g && g->options.rightAlign) style |= ui::kMbRtlReading;
    return ui::ShowMessageBox(owner, text.c_str(), caption.c_str(), style);
}
