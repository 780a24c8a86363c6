#include "wizard/wizard.h"

#include "app/installer_app.h"
#include "app/messages.h"
#include "app/text_format.h"

std::string InstanceName(const std::string& programName) {
    // The name is cut like the 260-byte buffer it is built in.
    return FillPlaceholders("%s Installer Program", {programName}, 260);
}

CWizard::~CWizard() { Destroy(); }

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
    return kCreated;
}

bool CWizard::Init(const std::string& startSection) {
    if (startSection.empty()) return false;
    startSection_ = startSection;
    return true;
}

void CWizard::Destroy() {
    if (hwnd_) {
        ui::HWnd h = hwnd_;
        hwnd_ = nullptr;
        ui::DestroyWindowHandle(h);
    }
}

void CWizard::RunStartCommand() { Terminate(); }

void CWizard::Terminate() { ui::PostQuit(0); }

intptr_t CWizard::OnMessage(ui::HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t,
                            bool& handled) {
    switch (msg) {
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
