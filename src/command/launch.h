// Programs, documents, addresses, folders and manuals started through the
// shell, and the wait for a started program. Waiting never blocks the
// command interpreter: a worker thread waits and tells the window of its
// context with WM_USER_END_WAIT; until then the installer's windows stay
// disabled. Runs on the window thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os.h"
#include "platform/ui.h"

// What a wait thread needs; each thread gets its own copy.
struct LaunchWaitContext {
    ui::HWnd window = nullptr;     // told when the program ends
    os::Handle process = nullptr;  // the thread closes it when done
    bool bringToFront = false;     // WM_USER_END_WAIT's wParam
};

// Starts a wait thread for the context; it owns the process handle from
// now on. False when no thread could start (the handle is closed then).
bool StartWaitThread(const LaunchWaitContext& context);

// P1 expanded and made absolute, P2 expanded; started with the shell's
// execute record (process handle, no system dialog on failure) in the
// program's own folder. The process handle, or null: missing file (logged),
// a failed start (warning box with the program path as caption) or a
// program the shell gave no handle for. The caller owns the handle.
os::Handle LaunchProgram(const std::string& program, const std::string& arguments);

// CT_EXE_FILE_NOWAIT / _WAIT / _ACTIVE: LaunchProgram, and with wait the
// wizard (not in a silent run) and the background window are disabled
// until the program ends. True when a process handle came back.
bool StartProgram(const std::string& program, const std::string& arguments, bool wait,
                  bool bringToFront, ui::HWnd background = nullptr);

// The wizard's side of WM_USER_END_WAIT: enables the wizard and the
// background window; a non-zero wParam brings the wizard to the front.
void EndWait(ui::HWnd wizard, ui::HWnd background, uintptr_t wParam);

// CT_OPEN_FILE_NOWAIT / _WAIT: false when the document is missing; true
// otherwise, also after a failed start (warning box).
bool OpenDocument(const std::string& document);
// CT_OPEN_URL: the browser with the address, then the shell's handler for
// it; each failure is logged. True when one started.
bool OpenAddress(const std::string& address);
// CT_OPEN_BROWSE: a folder window (the source directory for an empty
// folder). Always true.
bool OpenFolder(const std::string& folder);
// CT_OPEN_MANUAL: the document opener with "/T manual extra", waited for
// with the main and background windows disabled; when the opener cannot
// start, the manual's own program without waiting. False when the manual
// is missing or both starts failed.
bool OpenManual(const std::string& manual, const std::string& extra,
                ui::HWnd background = nullptr);

// Whether a page object's command can run: false only for a command that
// launches a file that is missing.
bool HasLaunchTarget(const std::string& type, const std::string& p1);
