// The application object: one per process, alive from static construction to
// process end. Its log opens first, before any other start-up step.
#pragma once

#include "app/log.h"

class CInstallerApp {
public:
    CInstallerApp();
    virtual ~CInstallerApp();
    CInstallerApp(const CInstallerApp&) = delete;
    CInstallerApp& operator=(const CInstallerApp&) = delete;

    // Framework overrides. InitInstance false: the run ends without a
    // message loop.
    virtual bool InitInstance();
    virtual int ExitInstance();

    // Instance initialisation, the message loop and instance exit; answers
    // the process exit code.
    int Run();

    CLog& log() { return log_; }

private:
    CLog log_;
    int exitCode_ = 0;
};

CInstallerApp* GetInstallerApp();
CLog* GetLog();
