#include "app/log.h"

#include <cstdio>
#include <cstring>

#include "app/program_info.h"

namespace {

constexpr size_t kLineBuffer = 4096;
// A folder full of old logs must not keep the run from starting.
constexpr int kMaxLogNumber = 100000;

const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                             "Thursday", "Friday", "Saturday"};
const char* const kMonths[] = {"January", "February", "March", "April", "May", "June", "July",
                               "August", "September", "October", "November", "December"};

std::string Cut(size_t bufferSize, const char* format, ...) SETUP_PRINTF(2, 3);
std::string Cut(size_t bufferSize, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = FormatCut(bufferSize, format, args);
    va_end(args);
    return s;
}

}  // namespace

std::string FormatCut(size_t bufferSize, const char* format, va_list args) {
    std::string buffer(bufferSize, '\0');
    int n = std::vsnprintf(&buffer[0], bufferSize, format, args);
    if (n < 0) return std::string();
    buffer.resize(static_cast<size_t>(n) < bufferSize ? static_cast<size_t>(n) : bufferSize - 1);
    return buffer;
}

CLog::CLog() {
    Open(-1);
    WriteBanner();
}

CLog::~CLog() { Close(); }

void CLog::Close() {
    os::CloseHandle(file_);
    file_ = nullptr;
}

bool CLog::Open(int number) {
    std::string exe, temp;
    if (os::ExecutablePath(exe) != 0 || exe.empty()) return false;
    if (os::TempDirectory(temp) != 0 || temp.empty()) return true;
    size_t slash = exe.find_last_of('\\');
    std::string base = slash == std::string::npos ? exe : exe.substr(slash + 1);
    for (; number < kMaxLogNumber; ++number) {
        std::string name = number == -1 ? temp + base + ".log"
                                        : temp + base + std::to_string(number) + ".log";
        os::Handle h = nullptr;
        uint32_t rc = os::CreateNewFile(name.c_str(), &h);
        if (rc == 0) {
            file_ = h;
            fileName_ = name;
            return true;
        }
        if (rc != os::kErrFileExists && rc != os::kErrAlreadyExists) return true;
    }
    return true;
}

int CLog::WriteRaw(const char* data, size_t size) {
    size_t written = 0;
    os::WriteFile(file_, data, size, &written);
    return static_cast<int>(written);
}

void CLog::WriteBanner() {
    if (!file_) return;
    os::LocalTime t;
    os::GetLocalTime(&t);
    const char* day = kDays[t.dayOfWeek % 7];
    const char* month = kMonths[(t.month >= 1 && t.month <= 12) ? t.month - 1 : 0];
    std::string date = Cut(kLineBuffer, "%s, %s %02u, %04u", day, month, t.day, t.year);
    const std::string slashes(60, '/');
    const std::string frame = "//" + std::string(56, ' ') + "//";
    std::string banner;
    banner += slashes + "\r\n";
    banner += frame + "\r\n";
    banner += Cut(kLineBuffer, "// %-55s//", kDefaultProgramName) + "\r\n";
    banner += frame + "\r\n";
    banner += slashes + "\r\n";
    banner += "\r\n";
    banner += "Data : " + date + "\r\n";
    banner += "\r\n\r\n";
    WriteRaw(banner.data(), banner.size());
}

int CLog::WriteLine(const char* text) {
    if (!file_) return 0;
    os::LocalTime t;
    os::GetLocalTime(&t);
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02u.%02u.%02u", t.hour % 100u, t.minute % 100u,
                  t.second % 100u);
    std::string line = Cut(kLineBuffer, "[%s]  %s", stamp, text ? text : "");
    os::TruncateHere(file_);
    int n = WriteRaw(line.data(), line.size());
    n += WriteRaw("\r\n", 2);
    return n;
}

int CLog::VLog(uint32_t error, bool withError, const char* format, va_list args) {
    if (!file_) return 0;
    // A nested or concurrent call would write into the middle of a line.
    if (busy_.test_and_set()) return 0;
    std::string message = FormatCut(kLineBuffer, format, args);
    os::TruncateHere(file_);
    int n = WriteLine(message.c_str());
    if (withError && error != 0) {
        std::string text = os::ErrorText(error);
        std::string second =
            Cut(kLineBuffer, "Error Code = %d :%s ", static_cast<int>(error), text.c_str());
        n += WriteLine(second.c_str());
    }
    busy_.clear();
    return n;
}

int CLog::Log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = VLog(0, false, format, args);
    va_end(args);
    return n;
}

int CLog::LogError(uint32_t error, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = VLog(error, true, format, args);
    va_end(args);
    return n;
}
