// The application object: one per process, alive from static construction to
// process end. Its log opens first, before any other start-up step; it then
// carries the run through instance initialisation, the message loop and exit.
#pragma once

#include <memory>
#include <string>

#include "app/global_var.h"
#include "app/log.h"
#include "install/item.h"
#include "platform/os.h"
#include "platform/ui.h"
#include "sys/api_function.h"

class CWizard;

// Setup types, kept in the registry as "Setup_Type".
enum SetupType {
    kSetupNone = 0,
    kSetupInstall = 1,
    kSetupUninstall = 2,
    kSetupReinstall = 3,
    kSetupReinstallLocalFromUninstall = 4,
    kSetupReinstallMedia = 5,
    kSetupDeleteAll = 6,
};

class CInstallerApp {
public:
    CInstallerApp();
    virtual ~CInstallerApp();
    CInstallerApp(const CInstallerApp&) = delete;
    CInstallerApp& operator=(const CInstallerApp&) = delete;

    // Framework overrides. InitInstance false: the run ends without a
    // message loop.
    virtual bool InitInstance();
    virtual bool OnIdle(long count);
    virtual int ExitInstance();

    // Instance initialisation, the message loop and instance exit; answers
    // the process exit code.
    int Run();

    int ParseCommandLine();
    bool CheckSingleInstance();
    int ChooseStartSection(int requested);
    virtual bool InitializeRun();
    bool RecordRunSettings(bool writeModelValues);
    virtual bool StartCompressPnP();
    virtual bool StopCompressPnP();
    virtual bool StartActivePnP();
    virtual bool StopActivePnP();
    void UpdateBackground();

    CGlobalVar& global() { return *global_; }
    CAPIFunction& apiFunction() { return apiFunction_; }
    CLog& log() { return log_; }
    CItem& items() { return *items_; }
    CWizard* wizard() const { return wizard_.get(); }
    ui::HWnd mainWindow() const { return mainWindow_; }
    bool silent() const { return silent_; }
    int setupType() const { return setupType_; }
    const std::string& startSection() const { return startSection_; }
    bool ready() const { return ready_; }
    bool startPosted() const { return startPosted_; }
    os::Handle instanceMutex() const { return instanceMutex_; }
    // Releases the instance mutex (a failed or second start).
    void ReleaseInstanceMutex();

protected:
    // For tests: an application whose global state is a test double.
    explicit CInstallerApp(std::unique_ptr<CGlobalVar> global);

    // Start-up steps that other parts of the engine provide. Each answers the
    // way its failure looks until that part exists, so a run ends where the
    // first missing one stops it.
    virtual bool InitializeGlobalVar();
    virtual std::unique_ptr<CWizard> MakeWizard();
    virtual bool IsAdministrator();
    virtual int OsFamily();
    virtual bool ReadInstalledDestDir(std::string& dir);
    virtual bool ReadInstalledLangCode(uint32_t& code);
    virtual bool CheckMinimumRequirement(bool usbOnly);
    virtual void SilentInstall(bool reinstall);
    virtual void SilentUninstall();
    virtual void WaitNoPendingPnP(bool keepForeground);
    virtual bool CreateBackground(const std::string& section);
    virtual void SetDialogBackground(uint32_t colour);
    virtual bool CreateInitWindow();
    virtual void DestroyInitWindow();
    virtual bool LoadItems();
    virtual bool IsPreviousInstallation();
    virtual int InstallerDriveKind();
    virtual void HandPrintersToManager();
    virtual void LoadNetworkPrinterInfo();
    virtual bool ItemListEmpty();
    virtual bool InitWizard(const std::string& startSection);
    virtual void RunPreInstaller();
    virtual void MarkInstalledItemsForDeletion();
    virtual bool WriteInstallingString(const char* name, const std::string& value);
    virtual bool WriteInstallingDword(const char* name, uint32_t value);

    void SetSilent(bool silent) { silent_ = silent; }

private:
    std::unique_ptr<CGlobalVar> global_;
    CLog log_;
    CAPIFunction apiFunction_;
    std::unique_ptr<CItem> items_ = std::make_unique<CItem>();
    bool backgroundShown_ = false;
    std::unique_ptr<CWizard> wizard_;
    bool wizardOwned_ = true;
    bool startPosted_ = false;
    bool ready_ = false;
    bool silent_ = false;
    os::Handle instanceMutex_ = nullptr;
    int setupType_ = kSetupNone;
    volatile int compressPnPRun_ = 1;
    volatile int activePnPRun_ = 1;
    std::string startSection_;  // at most 259 bytes
    ui::HWnd mainWindow_ = nullptr;
    int exitCode_ = 0;
};

CInstallerApp* GetInstallerApp();
CLog* GetLog();

// Posts a command record to the wizard (nothing in a silent run).
void PostCommand(const char* type, const char* p1 = nullptr, const char* p2 = nullptr,
                 const char* p3 = nullptr, const char* p4 = nullptr, const char* p5 = nullptr);
// Runs a command record at once on the wizard's interpreter; false without
// a wizard or for an empty type.
bool RunCommand(const char* type, const char* p1 = nullptr, const char* p2 = nullptr,
                const char* p3 = nullptr, const char* p4 = nullptr, const char* p5 = nullptr);
// None in a silent run; otherwise the wizard when its window exists, else
// the framework's main window.
ui::HWnd GetMainWindow();
// The answer of a message box nobody presses: its preselected button, else
// its first.
int DefaultAnswer(uint32_t style);
// A system message box; right-to-left reading with the RIGHT_ALIGN option.
// In a silent run no box opens: the text is logged and the default answer
// returned.
int ShowMessage(ui::HWnd owner, const std::string& text, const std::string& caption,
                uint32_t style);
