// os_files.h on real Windows: one ANSI API per operation.
#include <windows.h>

#include <cstring>
#include <new>

#include "platform/os.h"

namespace os {
namespace {

uint32_t Result(BOOL ok) {
    return ok ? static_cast<uint32_t>(kErrSuccess) : static_cast<uint32_t>(GetLastError());
}

void Fill(const WIN32_FIND_DATAA& w, FindData* data) {
    data->attributes = w.dwFileAttributes;
    data->size = (static_cast<uint64_t>(w.nFileSizeHigh) << 32) | w.nFileSizeLow;
    data->name.assign(w.cFileName, strnlen(w.cFileName, sizeof w.cFileName));
    data->shortName.assign(w.cAlternateFileName,
                           strnlen(w.cAlternateFileName, sizeof w.cAlternateFileName));
}

using MoveFileExFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);

// Windows 9x exports MoveFileExA only as a stub that answers 120; looking it
// up keeps the program loadable on a system without it.
MoveFileExFn MoveFileExEntry() {
    static MoveFileExFn fn = [] {
        HMODULE k = GetModuleHandleA("kernel32.dll");
        return k ? reinterpret_cast<MoveFileExFn>(
                       reinterpret_cast<void*>(GetProcAddress(k, "MoveFileExA")))
                 : nullptr;
    }();
    return fn;
}

}  // namespace

uint32_t CopyOneFile(const char* source, const char* destination, bool failIfExists) {
    return Result(CopyFileA(source, destination, failIfExists ? TRUE : FALSE));
}

uint32_t MoveOneFile(const char* source, const char* destination, uint32_t flags) {
    MoveFileExFn fn = MoveFileExEntry();
    if (!fn) return kErrCallNotImplemented;
    return Result(fn(source, destination && *destination ? destination : nullptr, flags));
}

uint32_t GetAttributes(const char* path, uint32_t* attributes) {
    DWORD a = GetFileAttributesA(path);
    if (attributes) *attributes = a;
    return a == INVALID_FILE_ATTRIBUTES ? static_cast<uint32_t>(GetLastError()) : kErrSuccess;
}

uint32_t SetAttributes(const char* path, uint32_t attributes) {
    return Result(SetFileAttributesA(path, attributes));
}

uint32_t FindFirst(const char* pattern, Handle* find, FindData* data) {
    if (find) *find = nullptr;
    if (!find || !data) return kErrInvalidParameter;
    WIN32_FIND_DATAA w;
    HANDLE h = FindFirstFileA(pattern, &w);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    Fill(w, data);
    *find = h;
    return kErrSuccess;
}

uint32_t FindNext(Handle find, FindData* data) {
    if (!find || !data) return kErrInvalidHandle;
    WIN32_FIND_DATAA w;
    if (!FindNextFileA(static_cast<HANDLE>(find), &w)) return GetLastError();
    Fill(w, data);
    return kErrSuccess;
}

void FindEnd(Handle find) {
    if (find) FindClose(static_cast<HANDLE>(find));
}

uint32_t RemoveFolder(const char* path) { return Result(RemoveDirectoryA(path)); }

uint32_t MakeTempFileName(const char* folder, const char* prefix, std::string& path) {
    char buf[MAX_PATH + 1];
    if (GetTempFileNameA(folder, prefix ? prefix : "", 0, buf) == 0) return GetLastError();
    path = buf;
    return kErrSuccess;
}

uint32_t GetShortName(const char* path, std::string& shortPath) {
    char small[MAX_PATH + 1];
    DWORD n = GetShortPathNameA(path, small, sizeof small);
    if (n == 0) return GetLastError();
    if (n < sizeof small) {
        shortPath.assign(small, n);
        return kErrSuccess;
    }
    std::string big(n, '\0');
    DWORD m = GetShortPathNameA(path, &big[0], n);
    if (m == 0) return GetLastError();
    if (m >= n) return kErrInsufficientBuffer;
    big.resize(m);
    shortPath.swap(big);
    return kErrSuccess;
}

}  // namespace os
