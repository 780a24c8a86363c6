// Libraries loaded at run time and calls into them that a fault inside
// cannot end. Included by os.h.
#pragma once

#include <cstdint>

namespace os {

// A loaded library; null is "none".
using Library = void*;
// An entry point as found; cast it to its own function type before calling.
using LibraryProc = void (*)(void);

// LoadLibraryA: a Windows path, or a bare name the system finds (its own
// libraries, "User32.dll"). 0 and the library, or the system's error (126
// for a file that is not there, 193 for one that is not a library); *library
// is null on failure. On the simulated machine a path names a host shared
// object on the machine's drives; bare names of system libraries give the
// simulated system's functions, and a library the machine lacks answers 126.
uint32_t OpenLibrary(const char* path, Library* library);
// GetProcAddress by exact name; null when the library lacks it (or the
// simulated machine lists the function as missing).
LibraryProc LibraryEntry(Library library, const char* name);
// FreeLibrary; null is ignored.
void CloseLibrary(Library library);

// Runs fn(context) and answers false when it faulted: an access violation,
// an integer divided by zero, an illegal instruction or a C++ exception
// escaping (on Windows any structured exception). The fault ends only the
// call: what fn had started is abandoned, its own objects are not destroyed.
// Safe on several threads at once and nested.
bool CallGuarded(void (*fn)(void*), void* context);

// Calls f() (any callable) guarded; false when it faulted.
template <typename F>
bool CallGuardedFn(F& f) {
    return CallGuarded([](void* p) { (*static_cast<F*>(p))(); }, &f);
}

}  // namespace os
