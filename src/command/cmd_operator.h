// The command interpreter: profiles name commands (CT_... with up to five
// parameters) and this class carries them out on the window thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui.h"

// One command: six texts, each cut at 16383 bytes like the 16384-byte
// fields it stands for; a field that is not given is empty.
struct CMD_DATA {
    std::string szCmdType;
    std::string szCmdParam1;
    std::string szCmdParam2;
    std::string szCmdParam3;
    std::string szCmdParam4;
    std::string szCmdParam5;

    CMD_DATA() = default;
    // Each text that is given (non-null) is copied, cut to its field.
    CMD_DATA(const char* type, const char* p1 = nullptr, const char* p2 = nullptr,
             const char* p3 = nullptr, const char* p4 = nullptr, const char* p5 = nullptr);
    // The shared post buffer's layout: type, then P1..P5.
    explicit CMD_DATA(const std::array<std::string, 6>& texts);
    void Clear();
    // Cuts every text to its field.
    void Cut();
};

// Longest text of a command field.
constexpr size_t kCmdTextMax = 16383;
// Dispatches nested deeper than this (a section running itself) end with a
// log line instead of exhausting the stack.
constexpr int kCmdMaxDepth = 64;

enum CancelType { kCancelResumeExit = 0, kCancelOkCancel = 1, kCancelNull = 2 };

// A page shown as a modal dialog (CT_DO_MODAL).
class CModalPage {
public:
    virtual ~CModalPage() = default;
    virtual void SetSectionName(const std::string& section) = 0;
    virtual int DoModal(ui::HWnd owner) = 0;
};

class CCmdOperator {
public:
    // host: the wizard window the commands talk to (may be null, e.g. before
    // the window exists).
    explicit CCmdOperator(ui::HWnd host = nullptr) : host_(host) {}
    virtual ~CCmdOperator() = default;
    CCmdOperator(const CCmdOperator&) = delete;
    CCmdOperator& operator=(const CCmdOperator&) = delete;

    void SetHost(ui::HWnd host) { host_ = host; }
    ui::HWnd host() const { return host_; }

    bool ExecuteCommand(const CMD_DATA* cmd);
    // "TYPE = P1, P2, P3"; a line without "=" is a type alone.
    bool ExecuteCommandLine(const std::string& line);
    // The lines of the section of the configure profile, else of the
    // command profile; false when the name is empty or neither has it.
    bool ExecuteCommandSection(const std::string& section);
    // [DLG_COMMON] CANCEL_TYPE of the configure profile.
    void ReadCancelType();
    bool ConfirmCancel(const CMD_DATA& cmd);
    bool TerminateSetup(const CMD_DATA& cmd, bool cancelled);
    // A text starting with "CT_" runs as a command line, any other opens
    // that page.
    bool RunCommandOrOpenPage(const std::string& text);

    int cancelType() const { return cancelType_; }
    void setCancelType(int type) { cancelType_ = type; }

    // Splits a command line into a record (what ExecuteCommandLine runs).
    static CMD_DATA ParseCommandLine(const std::string& line);

protected:
    // --- Seams: the subsystems behind the commands. Launching, copying and
    // the registry sections call them; the others are built by later parts
    // and answer the way their command's result looks while missing.

    // Busy cursor around a dispatch; nothing by default.
    virtual void BeginBusy() {}
    virtual void EndBusy() {}
    // WM_USER_OPEN_DLG to the wizard: wParam 0 opens page, -1 goes back.
    virtual void SendOpenDialog(intptr_t wParam, const std::string& page);
    // Starts a program; true when a process was started. wait: the windows
    // stay disabled until it ends; foreground: the wizard comes to the
    // front then.
    virtual bool LaunchProgram(const std::string& program, const std::string& arguments,
                               bool wait, bool foreground);
    // Opens a document with its program; false when it does not exist.
    virtual bool OpenDocument(const std::string& document);
    // The browser, else the shell; true when one of them started.
    virtual bool OpenAddress(const std::string& address);
    virtual void OpenFolder(const std::string& folder);
    virtual bool OpenManual(const std::string& document, const std::string& second);
    // Whether a device of this model is connected.
    virtual bool IsDeviceConnected();
    // Whether a printer was installed in this run.
    virtual bool PrinterInstalledThisRun();
    virtual bool AddRegistry(const std::string& section);
    virtual bool DeleteRegistry(const std::string& section);
    virtual void PrintTestPage(const CMD_DATA& cmd);
    virtual void PrintMetaTestPage(const CMD_DATA& cmd);
    virtual void PrintPrnTestPage(const CMD_DATA& cmd);
    virtual bool DeleteAll();
    virtual void RefreshSystem();
    virtual bool Diagnosis(const std::string& printer);
    virtual void StartPreventPnP();
    virtual void EndPreventPnP();
    virtual bool CopyFiles(const std::string& section);
    virtual bool DeleteFiles(const std::string& section);
    virtual bool RunRemoteInstall();
    virtual void RemoveHardwareWizardDialog();
    virtual void RemoveUnknownDevice();
    // Marks the items for the current "Install_Type" and writes them.
    virtual void WriteItemInfo();
    virtual void InstallUpdate();
    virtual void ChangeLanguage(uint32_t languageId);
    // The number of items that can be installed.
    virtual int ValidItemCount();
    // A new page object for a section, or null.
    virtual std::unique_ptr<CModalPage> CreatePage(const std::string& section);
    // Enables or disables the wizard and the background window.
    virtual void EnableHostWindows(bool enable);
    // Toggles the named objects of the current page; false without one.
    virtual bool ToggleShown(const std::string& names);
    // The installer's message box; answers the button (1 = first).
    virtual int ShowMessageBox(const std::string& text, uint32_t style);
    // Appends the run's history to the installed history.
    virtual void MergeHistory();
    // With nothing installed: takes back what the run did (network ports
    // when cancelled, then the history).
    virtual void UndoRun(bool cancelled);
    // Ends the application's message loop.
    virtual void PostQuit();

private:
    bool Dispatch(const CMD_DATA& cmd);
    bool DoModal(const std::string& section);
    bool CheckItem(const CMD_DATA& cmd);

    ui::HWnd host_ = nullptr;
    int cancelType_ = kCancelResumeExit;
    int depth_ = 0;
    bool tooDeep_ = false;  // the depth limit was hit; unwinding
};
