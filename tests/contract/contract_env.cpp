#include "contract/contract_env.h"

#include <atomic>
#include <cstdio>

#include "platform/os.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace contract {

bool UnderWine() {
#if defined(_WIN32)
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

const std::string& ScratchDir() {
    static std::string dir = [] {
        std::string temp;
        os::TempDirectory(temp);
        std::string d = temp + UniqueName("contract") + "\\";
        os::MakeDirectory(d.c_str());
        return d;
    }();
    return dir;
}

std::string UniqueName(const char* stem) {
    static std::atomic<int> n{0};
    os::LocalTime t;
    os::GetLocalTime(&t);
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s-%02u%02u%02u%03u-%d", stem, t.hour, t.minute, t.second,
                  t.milliseconds, n++);
    return buf;
}

}  // namespace contract
