#include "app/installer_app.h"

#include "platform/ui.h"

namespace {
CInstallerApp* g_app = nullptr;
}

CInstallerApp::CInstallerApp() { g_app = this; }

CInstallerApp::~CInstallerApp() {
    if (g_app == this) g_app = nullptr;
}

bool CInstallerApp::InitInstance() {
    // The start-up sequence goes here; until then a run ends after its banner.
    return false;
}

int CInstallerApp::ExitInstance() { return exitCode_; }

int CInstallerApp::Run() {
    if (InitInstance()) exitCode_ = ui::RunMessageLoop(nullptr, nullptr);
    return ExitInstance();
}

CInstallerApp* GetInstallerApp() { return g_app; }
CLog* GetLog() { return g_app ? &g_app->log() : nullptr; }
