// The utility library on the simulated machine: the loader hands it the
// simulated system's lookup (platform/sim/library_sim.h), through which it
// asks for the machine's attached devices and free space, as the Windows
// build asks the real system.
#include <cstring>
#include <string>
#include <vector>

#include "companion_api.h"
#include "devices.h"
#include "platform/sim/library_sim.h"

namespace {

SimSystemLookup g_lookup = nullptr;

template <typename Fn>
Fn SystemFunction(const char* library, const char* name) {
    return g_lookup ? reinterpret_cast<Fn>(g_lookup(library, name)) : nullptr;
}

using GetDiskFreeSpaceExFn = int (*)(const char*, uint64_t*, uint64_t*, uint64_t*);
using GetDiskFreeSpaceFn = int (*)(const char*, uint32_t*, uint32_t*, uint32_t*, uint32_t*);
using GetWindowsDirectoryFn = uint32_t (*)(char*, uint32_t);

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

extern "C" COMPANION_EXPORT void SimBindSystem(SimSystemLookup lookup) { g_lookup = lookup; }

namespace vxutil {

bool QueryDevices(const std::string&, const std::string&, const std::string&,
                  std::vector<AttachedDevice>& devices) {
    auto query = SystemFunction<SimAttachedDevicesFn>("setupapi.dll", kSimAttachedDevicesName);
    if (!query) return false;
    uint32_t needed = 0;
    query(nullptr, 0, &needed);
    std::string text(needed, '\0');
    if (needed == 0 || query(&text[0], needed, &needed) != 0) return false;
    text.resize(std::strlen(text.c_str()));
    for (const std::string& line : Split(text, '\n')) {
        if (line.empty()) continue;
        std::vector<std::string> f = Split(line, '\t');
        devices.push_back(AttachedDevice{f[0], f.size() > 1 ? f[1] : std::string(),
                                         f.size() > 2 ? f[2] : std::string()});
    }
    return true;
}

bool FreeBytes(const char* path, uint64_t* bytes) {
    std::string dir = path ? path : "";
    if (dir.empty()) {
        auto windowsDir = SystemFunction<GetWindowsDirectoryFn>("kernel32.dll", "GetWindowsDirectoryA");
        char buffer[260] = {};
        if (!windowsDir || windowsDir(buffer, sizeof buffer) == 0) return false;
        dir = std::string(buffer, 2) + "\\";
    }
    if (auto ex = SystemFunction<GetDiskFreeSpaceExFn>("kernel32.dll", "GetDiskFreeSpaceExA"))
        return ex(dir.c_str(), bytes, nullptr, nullptr) != 0;
    auto old = SystemFunction<GetDiskFreeSpaceFn>("kernel32.dll", "GetDiskFreeSpaceA");
    uint32_t perCluster = 0, perSector = 0, freeClusters = 0, total = 0;
    if (!old || dir.size() < 2 || !old((dir.substr(0, 2) + "\\").c_str(), &perCluster, &perSector,
                                       &freeClusters, &total))
        return false;
    *bytes = static_cast<uint64_t>(freeClusters) * perCluster * perSector;
    return true;
}

}  // namespace vxutil
