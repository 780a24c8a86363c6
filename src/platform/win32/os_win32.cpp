// The operating-system services on real Windows: each one is the ANSI API
// it is named after, and failures are the system's own error numbers.
#include "platform/os.h"

#include <windows.h>

#include <cstring>
#include <new>

namespace os {

namespace {

// Long paths still fit in the ANSI APIs' 32767-character limit.
constexpr DWORD kMaxPathChars = 32768;

// Runs a "fill this buffer, answer the length" API whose answer is the
// needed size (with the terminator) when the buffer was too small.
template <typename Call>
uint32_t FetchString(std::string& out, Call call) {
    char small[MAX_PATH + 1];
    DWORD n = call(static_cast<DWORD>(sizeof small), small);
    if (n == 0) return GetLastError();
    if (n < sizeof small) {
        out.assign(small, n);
        return kErrSuccess;
    }
    std::string big(n, '\0');
    DWORD m = call(n, &big[0]);
    if (m == 0) return GetLastError();
    if (m >= n) return kErrInsufficientBuffer;  // grew between the two calls
    big.resize(m);
    out.swap(big);
    return kErrSuccess;
}

// The answer of a BOOL API: 0, or the error it left.
uint32_t Result(BOOL ok) {
    return ok ? static_cast<uint32_t>(kErrSuccess) : static_cast<uint32_t>(GetLastError());
}

}  // namespace

std::string CommandLine() {
    const char* line = GetCommandLineA();
    return line ? line : "";
}

uint32_t ExecutablePath(std::string& path) {
    // GetModuleFileName answers the buffer size when it truncates (and only
    // Vista and later also set 122), so grow until the name fits.
    std::string buf(MAX_PATH, '\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(buf.size());
        DWORD n = GetModuleFileNameA(nullptr, &buf[0], size);
        if (n == 0) return GetLastError();
        if (n < size) {
            buf.resize(n);
            path.swap(buf);
            return kErrSuccess;
        }
        if (size >= kMaxPathChars) return kErrInsufficientBuffer;
        buf.assign(size * 2, '\0');
    }
}

uint32_t TempDirectory(std::string& path) {
    return FetchString(path, [](DWORD size, char* buf) { return GetTempPathA(size, buf); });
}

uint32_t CurrentDirectory(std::string& path) {
    return FetchString(path,
                       [](DWORD size, char* buf) { return GetCurrentDirectoryA(size, buf); });
}

uint32_t ChangeDirectory(const char* path) {
    return Result(SetCurrentDirectoryA(path));
}

uint32_t ReadWholeFile(const char* path, std::string& data) {
    data.clear();
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();

    uint32_t result = kErrSuccess;
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && (result = GetLastError()) != NO_ERROR) {
        ::CloseHandle(file);
        return result;
    }
    // Setup reads profiles and logs; a file past 4 GB cannot be held here.
    if (high != 0) {
        ::CloseHandle(file);
        return kErrNotEnoughMemory;
    }

    std::string buf;
    try {
        buf.resize(low);
    } catch (const std::bad_alloc&) {
        ::CloseHandle(file);
        return kErrNotEnoughMemory;
    }
    DWORD total = 0;
    while (total < low) {
        DWORD got = 0;
        if (!::ReadFile(file, &buf[total], low - total, &got, nullptr)) {
            result = GetLastError();
            break;
        }
        if (got == 0) break;  // the file shrank since GetFileSize
        total += got;
    }
    ::CloseHandle(file);
    if (result != kErrSuccess) return result;
    buf.resize(total);
    data.swap(buf);
    return kErrSuccess;
}

uint32_t CreateNewFile(const char* path, Handle* file) {
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *file = nullptr;
        return GetLastError();
    }
    *file = h;
    return kErrSuccess;
}

uint32_t WriteFile(Handle file, const void* data, size_t size, size_t* written) {
    // One call unless a 64-bit size exceeds a DWORD. The count pointer is
    // always passed: Windows 7 and earlier require it without OVERLAPPED.
    const char* p = static_cast<const char*>(data);
    size_t total = 0;
    uint32_t result = kErrSuccess;
    do {
        size_t left = size - total;
        DWORD chunk = left > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(left);
        DWORD done = 0;
        if (!::WriteFile(static_cast<HANDLE>(file), p + total, chunk, &done, nullptr)) {
            result = GetLastError();
            break;
        }
        total += done;
        if (done < chunk) break;
    } while (total < size);
    if (written) *written = total;
    return result;
}

uint32_t TruncateHere(Handle file) {
    return Result(SetEndOfFile(static_cast<HANDLE>(file)));
}

void CloseHandle(Handle handle) {
    if (handle) ::CloseHandle(static_cast<HANDLE>(handle));
}

bool FileExists(const char* path) {
    DWORD attrs = GetFileAttributesA(path);
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool CanReadFile(const char* path) {
    // Share writing too: a file another program keeps open for writing can
    // still be read.
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

bool DirectoryExists(const char* path) {
    DWORD attrs = GetFileAttributesA(path);
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t MakeDirectory(const char* path) {
    return Result(CreateDirectoryA(path, nullptr));
}

uint32_t RemoveFile(const char* path) {
    return Result(DeleteFileA(path));
}

// windows.h maps these names to its own A/W functions.
#undef WriteProfileString
#undef WriteProfileSection
#undef ReadProfileString

namespace {

// An empty name would name a file in the Windows folder; the INI writer
// fails instead, as the simulated machine does.
bool EmptyName(const char* file) { return !file || !*file; }

// Some failures of the INI writer leave no error behind.
uint32_t ProfileResult(BOOL ok) {
    if (ok) return kErrSuccess;
    DWORD error = GetLastError();
    return error ? static_cast<uint32_t>(error) : static_cast<uint32_t>(kErrAccessDenied);
}

}  // namespace

size_t ReadProfileString(const char* section, const char* key, const char* defaultValue,
                         std::string& value, size_t size, const char* file) {
    value.clear();
    if (size == 0) return 0;
    std::string buffer(size, '\0');
    DWORD n = GetPrivateProfileStringA(section, key, defaultValue ? defaultValue : "", &buffer[0],
                                       static_cast<DWORD>(size), file);
    value.assign(buffer.data(), n);
    return n;
}

uint32_t WriteProfileString(const char* section, const char* key, const char* value,
                            const char* file) {
    if (EmptyName(file)) return kErrPathNotFound;
    return ProfileResult(WritePrivateProfileStringA(section, key, value, file));
}

uint32_t WriteProfileSection(const char* section, const char* keys, const char* file) {
    if (EmptyName(file)) return kErrPathNotFound;
    return ProfileResult(WritePrivateProfileSectionA(section, keys ? keys : "\0", file));
}

void GetLocalTime(LocalTime* time) {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    time->year = st.wYear;
    time->month = st.wMonth;
    time->dayOfWeek = st.wDayOfWeek;
    time->day = st.wDay;
    time->hour = st.wHour;
    time->minute = st.wMinute;
    time->second = st.wSecond;
    time->milliseconds = st.wMilliseconds;
}

namespace {

void FillBasic(VersionInfo* info, const OSVERSIONINFOA& v) {
    info->majorVersion = v.dwMajorVersion;
    info->minorVersion = v.dwMinorVersion;
    info->buildNumber = v.dwBuildNumber;
    info->platformId = v.dwPlatformId;
    info->csdVersion.assign(v.szCSDVersion, strnlen(v.szCSDVersion, sizeof v.szCSDVersion));
}

}  // namespace

bool GetVersionInfo(VersionInfo* info, bool extended) {
    *info = VersionInfo{};
    if (extended) {
        OSVERSIONINFOEXA ex;
        std::memset(&ex, 0, sizeof ex);
        ex.dwOSVersionInfoSize = sizeof ex;
        if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex))) {
            FillBasic(info, *reinterpret_cast<const OSVERSIONINFOA*>(&ex));
            info->servicePackMajor = ex.wServicePackMajor;
            info->servicePackMinor = ex.wServicePackMinor;
            info->suiteMask = ex.wSuiteMask;
            info->productType = ex.wProductType;
            return true;
        }
        // Windows 9x and NT 4 before SP6 refuse the extended record.
    }
    OSVERSIONINFOA basic;
    std::memset(&basic, 0, sizeof basic);
    basic.dwOSVersionInfoSize = sizeof basic;
    if (!GetVersionExA(&basic)) return false;
    FillBasic(info, basic);
    return !extended;
}

std::string ErrorText(uint32_t code) {
    char* text = nullptr;
    DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result;
    if (n != 0 && text) result.assign(text, n);
    if (text) LocalFree(text);
    return result;
}

uint32_t CreateNamedMutex(const char* name, Handle* mutex) {
    HANDLE h = CreateMutexA(nullptr, TRUE, name);
    DWORD error = GetLastError();
    if (!h) {
        *mutex = nullptr;
        return error;
    }
    *mutex = h;
    return error == ERROR_ALREADY_EXISTS ? kErrAlreadyExists : kErrSuccess;
}

uint32_t AnsiCodePage() {
    return GetACP();
}

}  // namespace os
