// Threads, events and programs started through the shell. Included by os.h.
// The engine never creates processes directly: every start goes through
// the shell, which answers a process handle when one is asked for.
#pragma once

#include <cstddef>
#include <cstdint>

namespace os {

using Handle = void*;

enum : uint32_t {
    kWaitInfinite = 0xFFFFFFFFu,
    kWaitTimeout = 258,     // WAIT_TIMEOUT
    kStillActive = 259,     // STILL_ACTIVE: the exit code of a running process
    kErrNoAssociation = 1155,
};

// --- threads
// A worker thread's body; its answer is the thread's exit code.
using ThreadProc = uint32_t (*)(void* context);
// Starts fn(context) on a new thread at normal priority. 0 and the thread,
// or the system's error and null.
uint32_t StartThread(ThreadProc fn, void* context, Handle* thread);
// Waits for the thread to end: 0, kWaitTimeout, or an error (6 for a bad
// handle). exitCode, when given, gets the thread's answer once it ended.
uint32_t WaitThread(Handle thread, uint32_t timeoutMs, uint32_t* exitCode = nullptr);
// Releases the handle; a running thread goes on. Null is ignored.
void CloseThread(Handle thread);

// --- events
uint32_t CreateEventObject(bool manualReset, bool initiallySet, Handle* event);
uint32_t SetEventObject(Handle event);
uint32_t ResetEventObject(Handle event);
// 0 when the event was set (an auto-reset event is reset again),
// kWaitTimeout, or an error.
uint32_t WaitEvent(Handle event, uint32_t timeoutMs);
void CloseEvent(Handle event);

// --- the shell
// SHELLEXECUTEINFO mask bits (Windows values).
enum : uint32_t {
    kSeeMaskNoCloseProcess = 0x00000040,  // answer the process handle
    kSeeMaskFlagDdeWait = 0x00000100,
    kSeeMaskFlagNoUi = 0x00000400,        // a failed start opens no system dialog
    kSeeMaskUnicode = 0x00004000,
};
enum : int { kSwShowNormal = 1 };

struct ShellExecuteRequest {
    void* owner = nullptr;  // a ui::HWnd, or null
    uint32_t mask = 0;
    const char* verb = nullptr;        // "open"; null: the default verb
    const char* file = nullptr;
    const char* parameters = nullptr;  // null: none
    const char* directory = nullptr;   // null: the caller's current one
    int show = kSwShowNormal;
};
// ShellExecuteExA. 0 and *process (null when the shell answered none, or
// the mask did not ask for it), or the thread's last error (2 for a file
// that is not there, 1155 for a file without an associated program).
uint32_t ShellExecuteProgram(const ShellExecuteRequest& request, Handle* process);
// ShellExecuteA: the shell's answer, above 32 on success (0 out of
// resources, 2 file not found, 3 path not found, 31 no association);
// *lastError gets the thread's last error when given.
uintptr_t ShellOpen(void* owner, const char* verb, const char* file, const char* parameters,
                    const char* directory, int show, uint32_t* lastError = nullptr);
// Size of the shell's execute record for this target (60 bytes on i686).
size_t ShellExecuteRecordSize();

// --- processes
// 0 when the process ended, kWaitTimeout, or an error.
uint32_t WaitProcess(Handle process, uint32_t timeoutMs);
// 0 and the exit code (kStillActive while it runs), or an error.
uint32_t ProcessExitCode(Handle process, uint32_t* code);
// Releases the handle; the process goes on. Null is ignored.
void CloseProcess(Handle process);

}  // namespace os
