// Libraries and guarded calls on real Windows.
//
// The guard is a structured exception frame of our own, the same thing
// __try/__except(EXCEPTION_EXECUTE_HANDLER) builds, so it exists on every
// Windows (Windows 2000 has no vectored handlers) and sees an exception only
// after the library's own handlers have declined it:
// - x86_64: a small function whose unwind information names our handler;
//   the handler unwinds the frames in between (RtlUnwindEx) and resumes in
//   that function with the answer 0.
// - i686: a registration record pushed on the fs:[0] chain; the handler
//   runs the inner frames' unwind handlers (RtlUnwind), then jumps back
//   with __builtin_longjmp.
// C++ exceptions of our own runtime are caught by catch (...) inside the
// frame. A mingw i686 library unwinds its C++ exceptions with its own
// DWARF tables and ends in abort() when nothing in it catches them; while
// a guarded call runs, SIGABRT is therefore turned into an exception for
// the frame.
#include "platform/os.h"

#include <windows.h>

#include <csignal>

namespace os {

uint32_t OpenLibrary(const char* path, Library* library) {
    if (library) *library = nullptr;
    if (!library || !path) return kErrInvalidParameter;
    // No system box for a missing library or medium.
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path);
    DWORD error = module ? 0 : GetLastError();
    SetErrorMode(mode);
    if (!module) return error ? error : static_cast<uint32_t>(kErrModNotFound);
    *library = module;
    return 0;
}

LibraryProc LibraryEntry(Library library, const char* name) {
    if (!library || !name) return nullptr;
    return reinterpret_cast<LibraryProc>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(Library library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace os

// 1 when fn returned, 0 when a C++ exception of this runtime escaped.
extern "C" __attribute__((used)) int GuardBody(void (*fn)(void*), void* context) {
    try {
        fn(context);
        return 1;
    } catch (...) {
        return 0;
    }
}

namespace {

// The exception a SIGABRT inside a guarded call becomes.
constexpr DWORD kAbortInsideGuard = 0xE0474152;  // customer bit, "GAR"

// Guarded calls running on this thread (a TLS slot holds the count).
class GuardDepth {
public:
    GuardDepth() : slot_(TlsAlloc()) {}
    bool Inside() const {
        return slot_ != TLS_OUT_OF_INDEXES && TlsGetValue(slot_) != nullptr;
    }
    void Add(int delta) {
        if (slot_ == TLS_OUT_OF_INDEXES) return;
        intptr_t n = reinterpret_cast<intptr_t>(TlsGetValue(slot_)) + delta;
        TlsSetValue(slot_, reinterpret_cast<void*>(n));
    }

private:
    DWORD slot_;
};

// Built on first use: a guarded call may come before static construction ends.
GuardDepth& Depth() {
    static GuardDepth depth;
    return depth;
}

void __cdecl OnAbortSignal(int) {
    if (Depth().Inside()) RaiseException(kAbortInsideGuard, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    // Outside a guarded call abort() goes on and ends the process.
}

using SetAbortBehaviorFn = unsigned int(__cdecl*)(unsigned int, unsigned int);

// While any thread is inside a guarded call, SIGABRT is ours and the C
// runtime writes no abort message (a message box in a windowed program).
class AbortCapture {
public:
    AbortCapture() {
        InitializeCriticalSection(&lock_);
        if (HMODULE crt = GetModuleHandleA("msvcrt.dll"))  // Vista and later
            setBehavior_ = reinterpret_cast<SetAbortBehaviorFn>(
                reinterpret_cast<void*>(GetProcAddress(crt, "_set_abort_behavior")));
    }
    void Enter() {
        EnterCriticalSection(&lock_);
        // The runtime resets the handler at each delivery: install it every time.
        void (__cdecl* previous)(int) = std::signal(SIGABRT, OnAbortSignal);
        if (users_++ == 0) {
            previous_ = previous;
            if (setBehavior_) behavior_ = setBehavior_(0, kWriteAbortMessage);
        }
        LeaveCriticalSection(&lock_);
    }
    void Leave() {
        EnterCriticalSection(&lock_);
        if (--users_ == 0) {
            std::signal(SIGABRT, previous_ == SIG_ERR ? SIG_DFL : previous_);
            if (setBehavior_) setBehavior_(behavior_, kWriteAbortMessage);
        }
        LeaveCriticalSection(&lock_);
    }

private:
    static constexpr unsigned int kWriteAbortMessage = 1;
    CRITICAL_SECTION lock_;
    int users_ = 0;
    void (__cdecl* previous_)(int) = SIG_DFL;
    SetAbortBehaviorFn setBehavior_ = nullptr;
    unsigned int behavior_ = 0;
};

AbortCapture& Abort() {
    static AbortCapture capture;
    return capture;
}

}  // namespace

#if defined(__x86_64__)

extern "C" int GuardFrame(void (*fn)(void*), void* context);
extern "C" void GuardFrameResume();

// Called for an exception no inner frame handled: unwind to GuardFrame and
// resume there with 0 in eax.
extern "C" EXCEPTION_DISPOSITION GuardFrameHandler(EXCEPTION_RECORD* record, void* frame,
                                                   CONTEXT*, DISPATCHER_CONTEXT* dispatch) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    RtlUnwindEx(frame, reinterpret_cast<void*>(&GuardFrameResume), record, nullptr,
                dispatch->ContextRecord, dispatch->HistoryTable);
    return ExceptionContinueSearch;  // not reached
}

// int GuardFrame(fn, context): GuardBody(fn, context) inside a frame whose
// exception handler is GuardFrameHandler. The nop keeps the return address
// out of the epilogue, where the unwinder would skip the handler.
asm(R"(
    .text
    .globl GuardFrame
    .def GuardFrame; .scl 2; .type 32; .endef
    .seh_proc GuardFrame
GuardFrame:
    .seh_handler GuardFrameHandler, @except
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    call GuardBody
    nop
    .globl GuardFrameResume
GuardFrameResume:
    addq $40, %rsp
    ret
    .seh_endproc
)");

#elif defined(__i386__)

namespace {

// EXCEPTION_REGISTRATION_RECORD, followed by where to come back to.
struct GuardRecord {
    GuardRecord* next;
    void* handler;
    void* jump[5];  // __builtin_setjmp buffer
};

extern "C" EXCEPTION_DISPOSITION __cdecl GuardRecordHandler(EXCEPTION_RECORD* record, void* frame,
                                                            CONTEXT*, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    GuardRecord* guard = static_cast<GuardRecord*>(frame);
    // Inner frames get their unwind calls; our record is on top afterwards.
    RtlUnwind(frame, nullptr, record, nullptr);
    __builtin_longjmp(guard->jump, 1);
}

}  // namespace

extern "C" __attribute__((noinline)) int GuardFrame(void (*fn)(void*), void* context) {
    GuardRecord guard;
    guard.handler = reinterpret_cast<void*>(&GuardRecordHandler);
    asm volatile("movl %%fs:0, %0" : "=r"(guard.next) : : "memory");
    if (__builtin_setjmp(guard.jump)) {
        asm volatile("movl %0, %%fs:0" : : "r"(guard.next) : "memory");
        return 0;
    }
    asm volatile("movl %0, %%fs:0" : : "r"(&guard) : "memory");
    int result = GuardBody(fn, context);
    asm volatile("movl %0, %%fs:0" : : "r"(guard.next) : "memory");
    return result;
}

#else
#error "a guard frame for this processor is missing"
#endif

namespace os {

bool CallGuarded(void (*fn)(void*), void* context) {
    if (!fn) return false;
    Abort().Enter();
    Depth().Add(1);
    int result = GuardFrame(fn, context);
    Depth().Add(-1);
    Abort().Leave();
    return result == 1;
}

}  // namespace os
