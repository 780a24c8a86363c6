// A companion library that misbehaves on request, for the guard's tests:
// every entry point of companion_api.h first does what the mode asks
// (FaultyMode), then answers 7 and fills its out texts with "ok". The mode
// is "ok", "null" (writes through a null pointer), "divide" (an integer
// divided by zero), "throw" (a C++ exception leaves the entry point) or
// "trap" (an illegal instruction) or "abort" (the C runtime's abort(), where
// a mingw i686 library's uncaught exception ends). GetDiskFreeSpaceVX also takes a mode as
// its path, so that threads can fault at the same time without sharing one.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "companion_api.h"

namespace {

std::atomic<int> g_mode{0};
const char* const kModes[] = {"ok", "null", "divide", "throw", "trap", "abort"};

int ModeOf(const char* name) {
    for (int i = 0; i < 6; ++i)
        if (name && std::strcmp(name, kModes[i]) == 0) return i;
    return -1;
}

// A local object alive across the fault, as real code would have (short
// enough to need no heap: a faulted call never destroys it).
struct Local {
    std::string text = "faulty";
};

int Misbehave(int mode) {
    Local local;
    switch (mode) {
    case 1: {
        volatile int* volatile target = nullptr;
        *target = 1;
        break;
    }
    case 2: {
        volatile int zero = 0;
        return 7 / zero;
    }
    case 3: throw std::runtime_error(local.text);
    case 4: __builtin_trap();
    case 5: std::abort();
    default: break;
    }
    return 7;
}

int Act() { return Misbehave(g_mode.load()); }

void Ok(char* text) {
    if (text) std::strcpy(text, "ok");
}

}  // namespace

extern "C" {

COMPANION_EXPORT void COMPANION_CALL FaultyMode(const char* mode) {
    int m = ModeOf(mode);
    g_mode = m < 0 ? 0 : m;
}

COMPANION_EXPORT int COMPANION_CALL GetDevicePort(const char*, const char*, const char*,
                                                  char* port, int32_t* portCount) {
    int r = Act();
    Ok(port);
    if (portCount) *portCount = 1;
    return r;
}
COMPANION_EXPORT int COMPANION_CALL StartPreventPnP(const char*) { return Act(); }
COMPANION_EXPORT int COMPANION_CALL EndPreventPnP(const char*) { return Act(); }
COMPANION_EXPORT int COMPANION_CALL RemoveHardwareWizardDialog(void) { return Act(); }
COMPANION_EXPORT int COMPANION_CALL MySetForegroundNHWdDialog(void) { return Act(); }
COMPANION_EXPORT int COMPANION_CALL SystemRefresh(const char*, const char*) { return Act(); }
COMPANION_EXPORT int COMPANION_CALL RemoveUnknownDev(const char*, const char*) { return Act(); }
COMPANION_EXPORT int COMPANION_CALL SaveFile(const char*, const char*, int) { return Act(); }
COMPANION_EXPORT uint32_t COMPANION_CALL GetDiskFreeSpaceVX(const char* path) {
    int own = ModeOf(path);
    return static_cast<uint32_t>(own >= 0 ? Misbehave(own) : Act());
}
COMPANION_EXPORT int COMPANION_CALL MyGetDeviceIDFromPort(const char*, char* deviceId) {
    int r = Act();
    Ok(deviceId);
    return r;
}
COMPANION_EXPORT int COMPANION_CALL MyInstall(int, const char*, const char*, int) { return Act(); }
COMPANION_EXPORT int COMPANION_CALL MyCreateShortCut(int, const char*, const char*) {
    return Act();
}
COMPANION_EXPORT int COMPANION_CALL PrintTestPage(const char*, const char*, const char*,
                                                  const char*, const char*) {
    return Act();
}
COMPANION_EXPORT int COMPANION_CALL MetaTestPage(const char*, const char*) { return Act(); }
COMPANION_EXPORT int COMPANION_CALL PrintPrnFile(const char*, const char*) { return Act(); }
COMPANION_EXPORT int COMPANION_CALL Diagnosis(const char*, const char*, const char*, const char*) {
    return Act();
}
COMPANION_EXPORT int COMPANION_CALL DiagnosisEx(const char*, const char*, const char*,
                                                const char*, int) {
    return Act();
}
COMPANION_EXPORT int COMPANION_CALL MyGetPrinterDesc(const char*, char* description, int) {
    int r = Act();
    Ok(description);
    return r;
}
COMPANION_EXPORT int COMPANION_CALL MyGetIPX(const char*, char* ipxAddress) {
    int r = Act();
    Ok(ipxAddress);
    return r;
}
COMPANION_EXPORT int COMPANION_CALL MySetNetworkPort(const char*, const char*, const char*,
                                                     const char*, const char*, int) {
    return Act();
}
COMPANION_EXPORT int COMPANION_CALL MySetNetworkPortEx(const char*, const char*, const char*,
                                                       const char*, const char*, const char*,
                                                       const char*, int) {
    return Act();
}
COMPANION_EXPORT int COMPANION_CALL MyDelNetworkPort(const char*, const char*, int) {
    return Act();
}
COMPANION_EXPORT int COMPANION_CALL Preinstall(const char*, void*) { return Act(); }
COMPANION_EXPORT int COMPANION_CALL SetIP(const char*, const char*, const char*, const char*) {
    return Act();
}
COMPANION_EXPORT int COMPANION_CALL GetNetPrinter(void*, uint32_t*, uint32_t* count) {
    int r = Act();
    if (count) *count = 0;
    return r;
}

}  // extern "C"
