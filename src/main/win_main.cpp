// Setup.exe: the application object is built before anything else runs, so
// its log is the first thing a run opens.
#include "app/installer_app.h"

static CInstallerApp theApp;

int main() { return theApp.Run(); }
