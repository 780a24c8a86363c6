#include "wizard/wizard.h"

#include <array>

#include "app/installer_app.h"
#include "app/messages.h"
#include "app/text_format.h"

std::string InstanceName(const std::string& programName) {
    // The name is cut like the 260-byte buffer it is built in.
    return FillPlaceholders("%s Installer Program", {programName}, 260);
}

CWizard::CWizard() : cmd_(std::make_unique<CCmdOperator>()) {}

CWizard::~CWizard() { Destroy(); }

void CWizard::SetCmdOperator(std::unique_ptr<CCmdOperator> cmd) {
    if (!cmd) return;
    cmd->SetHost(hwnd_);
    cmd->setCancelType(cmd_->cancelType());
    cmd_ = std::move(cmd);
}

int CWizard::Create(const std::string& programName) {
    programName_ = programName;
    className_ = InstanceName(programName);
    if (ui::HWnd other = ui::FindTopLevelWindow(className_.c_str())) {
        ui::Send(other, WM_USER_ACTIVATE_INSTANCE, 0, 0);
        return kAlreadyRunning;
    }
    ui::WindowClass wc;
    wc.style = ui::kCsHRedraw | ui::kCsVRedraw | ui::kCsDblClks;
    wc.iconResource = 128;
    wc.backgroundColor = ui::kColorWindow;
    uint32_t rc = ui::RegisterWindowClass(className_.c_str(), wc);
    // A class left registered by an earlier wizard of this process is ours.
    if (rc != 0 && rc != 1410) {
        if (CLog* log = GetLog()) log->Log("Register class fail\n");
        return kCreateFailed;
    }
    // Caption and system menu only: no sizing border, no minimise or
    // maximise box.
    const uint32_t style = ui::kWsCaption | ui::kWsSysMenu;
    hwnd_ = ui::CreateFrameWindow(className_.c_str(), programName_.c_str(), style,
                                  ui::kWsExAppWindow, ui::Rect{0, 0, 0, 0}, this);
    if (!hwnd_) {
        if (CLog* log = GetLog())
            log->Log("Create window fail [%s] [%s]\n", className_.c_str(), className_.c_str());
        return kCreateFailed;
    }
    cmd_->SetHost(hwnd_);
    cmd_->ReadCancelType();
    return kCreated;
}

bool CWizard::Init(const std::string& startSection) {
    if (startSection.empty()) return false;
    startSection_ = startSection;
    std::string section;
    CInstProfile* configure = GetConfigureProfile();
    if (configure && configure->GetString(startSection_.c_str(), "START_CMD", section))
        RunCommand("CT_COMMAND", section.c_str());
    return true;
}

bool CWizard::RunCommand(const char* type, const char* p1, const char* p2, const char* p3,
                         const char* p4, const char* p5) {
    if (!type || !*type) return false;
    const CMD_DATA cmd(type, p1, p2, p3, p4, p5);
    return cmd_->ExecuteCommand(&cmd);
}

void CWizard::Destroy() {
    if (hwnd_) {
        ui::HWnd h = hwnd_;
        hwnd_ = nullptr;
        cmd_->SetHost(nullptr);
        ui::DestroyWindowHandle(h);
    }
}

void CWizard::RunStartCommand() {
    CInstProfile* configure = GetConfigureProfile();
    const char* section = startSection_.c_str();
    std::string type;
    if (!configure || !configure->GetString(section, "CMD_TYPE", type)) {
        RunCommand("CT_OPEN_DLG");
        return;
    }
    std::string p[3];
    const char* keys[3] = {"CMD_PARAM1", "CMD_PARAM2", "CMD_PARAM3"};
    for (int i = 0; i < 3; ++i) configure->GetString(section, keys[i], p[i]);
    RunCommand(type.c_str(), p[0].c_str(), p[1].c_str(), p[2].c_str());
}

void CWizard::Terminate() { RunCommand("CT_APP_TERMINATE"); }

void CWizard::OnUserEndWait(bool bringToFront) {
    if (hwnd_) ui::EnableWindowHandle(hwnd_, true);
    EnableBackground(true);
    if (bringToFront && hwnd_) ui::BringToFront(hwnd_);
}

intptr_t CWizard::OnMessage(ui::HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                            bool& handled) {
    switch (msg) {
    case WM_USER_RUN_COMMAND: {
        handled = true;
        if (!lParam) return 0;
        // The shared post buffer: copy it and clear it before running, so a
        // command that posts again fills a fresh buffer.
        auto* shared = reinterpret_cast<std::array<std::string, 6>*>(lParam);
        const CMD_DATA cmd(*shared);
        for (std::string& text : *shared) text.clear();
        cmd_->ExecuteCommand(&cmd);
        return 0;
    }
    case WM_USER_DLG_CANCEL:
        handled = true;
        RunCommand("CT_DLG_CANCEL");
        return 0;
    case WM_USER_END_WAIT:
        handled = true;
        OnUserEndWait(wParam != 0);
        return 0;
    case WM_USER_ACTIVATE_INSTANCE:
        handled = true;
        ui::BringToFront(hwnd);
        return 0;
    case WM_USER_INIT_DONE:
        handled = true;
        if (wParam) {
            RunStartCommand();
        } else {
            if (CLog* log = GetLog()) log->Log("Initializing fail");
            Terminate();
        }
        return 0;
    case ui::kWmDestroy:
        if (hwnd == hwnd_) hwnd_ = nullptr;
        return 0;
    default:
        return 0;
    }
}
