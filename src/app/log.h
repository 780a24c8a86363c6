// The run's plain-text log: one new file per run in the temporary directory.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <string>

#include "platform/os.h"

#if defined(__MINGW32__)
#define SETUP_PRINTF(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define SETUP_PRINTF(f, a) __attribute__((format(printf, f, a)))
#endif

class CLog {
public:
    // Opens the log and writes the banner.
    CLog();
    virtual ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // number -1 for the first try; false only when the installer's own path
    // cannot be found.
    bool Open(int number);
    void WriteBanner();
    // The format is always one of the engine's own; texts from a profile go
    // in as "%s" arguments.
    int Log(const char* format, ...) SETUP_PRINTF(2, 3);
    int LogError(uint32_t error, const char* format, ...) SETUP_PRINTF(3, 4);
    int WriteLine(const char* text);

    bool IsOpen() const { return file_ != nullptr; }
    // Windows path of the open log file, empty without one.
    const std::string& FileName() const { return fileName_; }
    void Close();

private:
    int VLog(uint32_t error, bool withError, const char* format, va_list args);
    int WriteRaw(const char* data, size_t size);

    os::Handle file_ = nullptr;
    std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
    std::string fileName_;
};

// Formats like vsnprintf into a buffer of the given size, cut to fit.
std::string FormatCut(size_t bufferSize, const char* format, va_list args);
