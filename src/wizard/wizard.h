// The installer's main window: a captioned frame that hosts one page at a
// time and receives every private message of the run.
#pragma once

#include <string>

#include "platform/ui.h"

class CWizard : public ui::IWindowHandler {
public:
    CWizard() = default;
    ~CWizard() override;
    CWizard(const CWizard&) = delete;
    CWizard& operator=(const CWizard&) = delete;

    enum CreateResult { kCreateFailed = 0, kAlreadyRunning = 1, kCreated = 2 };
    // Registers "<program name> Installer Program" and creates the frame;
    // when a window of that class exists already it is brought to the front
    // instead.
    virtual int Create(const std::string& programName);
    bool Init(const std::string& startSection);
    void Destroy();

    ui::HWnd hwnd() const { return hwnd_; }
    const std::string& className() const { return className_; }
    const std::string& programName() const { return programName_; }
    const std::string& startSection() const { return startSection_; }

    intptr_t OnMessage(ui::HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                       bool& handled) override;

protected:
    // The start section's command; the run ends when it cannot run.
    virtual void RunStartCommand();
    virtual void Terminate();

private:
    std::string programName_;
    std::string className_;
    std::string startSection_;
    ui::HWnd hwnd_ = nullptr;
};

// "%s Installer Program": the single-instance name of a program.
std::string InstanceName(const std::string& programName);
