// The installer's main window: a captioned frame that hosts one page at a
// time and receives every private message of the run.
#pragma once

#include <memory>
#include <string>

#include "command/cmd_operator.h"
#include "platform/ui.h"

class CWizard : public ui::IWindowHandler {
public:
    CWizard();
    ~CWizard() override;
    CWizard(const CWizard&) = delete;
    CWizard& operator=(const CWizard&) = delete;

    enum CreateResult { kCreateFailed = 0, kAlreadyRunning = 1, kCreated = 2 };
    // Registers "<program name> Installer Program" and creates the frame;
    // when a window of that class exists already it is brought to the front
    // instead.
    virtual int Create(const std::string& programName);
    // Keeps the start section and runs its START_CMD section; false only
    // for an empty name.
    bool Init(const std::string& startSection);
    void Destroy();

    // Builds a record of the given texts and runs it at once; an empty or
    // absent type runs nothing and answers false.
    bool RunCommand(const char* type, const char* p1 = nullptr, const char* p2 = nullptr,
                    const char* p3 = nullptr, const char* p4 = nullptr,
                    const char* p5 = nullptr);
    CCmdOperator& cmdOperator() { return *cmd_; }

    ui::HWnd hwnd() const { return hwnd_; }
    const std::string& className() const { return className_; }
    const std::string& programName() const { return programName_; }
    const std::string& startSection() const { return startSection_; }

    intptr_t OnMessage(ui::HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                       bool& handled) override;

protected:
    // The start section's CMD_TYPE with CMD_PARAM1..3, else CT_OPEN_DLG.
    virtual void RunStartCommand();
    // A failed initialisation: CT_APP_TERMINATE.
    virtual void Terminate();
    // End of a waited program: the wizard and the background window are
    // enabled again, the wizard comes to the front when asked.
    virtual void OnUserEndWait(bool bringToFront);
    // The background window's part of OnUserEndWait; nothing until it exists.
    virtual void EnableBackground(bool) {}
    // For tests: an interpreter with its own seams.
    void SetCmdOperator(std::unique_ptr<CCmdOperator> cmd);

private:
    std::string programName_;
    std::string className_;
    std::string startSection_;
    ui::HWnd hwnd_ = nullptr;
    std::unique_ptr<CCmdOperator> cmd_;
};

// "%s Installer Program": the single-instance name of a program.
std::string InstanceName(const std::string& programName);
