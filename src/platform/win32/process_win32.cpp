// Threads, events, the shell and processes on real Windows: one API call
// per operation.
#include <windows.h>
#include <shellapi.h>

#include <new>

#include "platform/os.h"

namespace os {
namespace {

struct ThreadStart {
    ThreadProc fn;
    void* context;
};

DWORD WINAPI ThreadEntry(LPVOID p) {
    ThreadStart start = *static_cast<ThreadStart*>(p);
    delete static_cast<ThreadStart*>(p);
    return start.fn(start.context);
}

uint32_t WaitResult(DWORD r) {
    if (r == WAIT_OBJECT_0) return kErrSuccess;
    if (r == WAIT_TIMEOUT) return kWaitTimeout;
    return GetLastError();
}

}  // namespace

uint32_t StartThread(ThreadProc fn, void* context, Handle* thread) {
    if (thread) *thread = nullptr;
    if (!fn || !thread) return kErrInvalidParameter;
    auto* start = new (std::nothrow) ThreadStart{fn, context};
    if (!start) return kErrNotEnoughMemory;
    // CreateThread, not _beginthreadex: the body uses no C runtime state
    // that needs per-thread set-up in the static runtime.
    DWORD id = 0;
    HANDLE h = ::CreateThread(nullptr, 0, ThreadEntry, start, 0, &id);
    if (!h) {
        uint32_t err = GetLastError();
        delete start;
        return err;
    }
    *thread = h;
    return kErrSuccess;
}

uint32_t WaitThread(Handle thread, uint32_t timeoutMs, uint32_t* exitCode) {
    if (!thread) return kErrInvalidHandle;
    uint32_t r = WaitResult(::WaitForSingleObject(thread, timeoutMs));
    if (r == kErrSuccess && exitCode) {
        DWORD code = 0;
        if (!::GetExitCodeThread(thread, &code)) return GetLastError();
        *exitCode = code;
    }
    return r;
}

void CloseThread(Handle thread) {
    if (thread) ::CloseHandle(thread);
}

uint32_t CreateEventObject(bool manualReset, bool initiallySet, Handle* event) {
    if (!event) return kErrInvalidParameter;
    *event = ::CreateEventA(nullptr, manualReset, initiallySet, nullptr);
    return *event ? static_cast<uint32_t>(kErrSuccess) : static_cast<uint32_t>(GetLastError());
}

uint32_t SetEventObject(Handle event) {
    return ::SetEvent(event) ? static_cast<uint32_t>(kErrSuccess)
                             : static_cast<uint32_t>(GetLastError());
}

uint32_t ResetEventObject(Handle event) {
    return ::ResetEvent(event) ? static_cast<uint32_t>(kErrSuccess)
                               : static_cast<uint32_t>(GetLastError());
}

uint32_t WaitEvent(Handle event, uint32_t timeoutMs) {
    if (!event) return kErrInvalidHandle;
    return WaitResult(::WaitForSingleObject(event, timeoutMs));
}

void CloseEvent(Handle event) {
    if (event) ::CloseHandle(event);
}

#if defined(__i386__)
static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "the shell refuses any other record size");
#endif

size_t ShellExecuteRecordSize() { return sizeof(SHELLEXECUTEINFOA); }

uint32_t ShellExecuteProgram(const ShellExecuteRequest& request, Handle* process) {
    if (process) *process = nullptr;
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = request.mask;
    info.hwnd = static_cast<HWND>(request.owner);
    info.lpVerb = request.verb;
    info.lpFile = request.file;
    info.lpParameters = request.parameters;
    info.lpDirectory = request.directory;
    info.nShow = request.show;
    if (!::ShellExecuteExA(&info)) {
        uint32_t err = GetLastError();
        return err ? err : static_cast<uint32_t>(kErrFileNotFound);
    }
    if (process) *process = info.hProcess;
    else if (info.hProcess) ::CloseHandle(info.hProcess);
    return kErrSuccess;
}

uintptr_t ShellOpen(void* owner, const char* verb, const char* file, const char* parameters,
                    const char* directory, int show, uint32_t* lastError) {
    HINSTANCE r = ::ShellExecuteA(static_cast<HWND>(owner), verb, file, parameters, directory, show);
    if (lastError) *lastError = GetLastError();
    return reinterpret_cast<uintptr_t>(r);
}

uint32_t WaitProcess(Handle process, uint32_t timeoutMs) {
    if (!process) return kErrInvalidHandle;
    return WaitResult(::WaitForSingleObject(process, timeoutMs));
}

uint32_t ProcessExitCode(Handle process, uint32_t* code) {
    if (!process || !code) return kErrInvalidParameter;
    DWORD c = 0;
    if (!::GetExitCodeProcess(process, &c)) return GetLastError();
    *code = c;
    return kErrSuccess;
}

void CloseProcess(Handle process) {
    if (process) ::CloseHandle(process);
}

}  // namespace os
