// GoogleTest on the win32 thread model: its runtime has no std::mutex, so
// GoogleTest's one use of it (Notification) gets a Windows event instead.
#pragma once

#if defined(__MINGW32__)
#define GTEST_HAS_NOTIFICATION_ 1
#include <windows.h>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace internal
}  // namespace testing
#endif
