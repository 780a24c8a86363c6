#include "sys/os_define.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint32_t kPlatformWin9x = 1;
constexpr uint32_t kPlatformNt = 2;
constexpr uint8_t kWorkstation = 1;
constexpr uint8_t kDomainController = 2;
constexpr uint8_t kServer = 3;
constexpr uint16_t kSuiteTerminal = 0x0010;

std::string Key(uint32_t platform, uint32_t major, uint32_t minor) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0X%04X%02X%02X", std::min(platform, 0xFFFFu),
                  std::min(major, 0xFFu), std::min(minor, 0xFFu));
    return buf;
}

void Add(std::vector<std::string>& keys, const std::string& key) {
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
}

}  // namespace

std::string PlatformKey(const os::VersionInfo& v) {
    return Key(v.platformId, v.majorVersion, v.minorVersion);
}

std::vector<std::string> OsDefineCandidates(const os::VersionInfo& v, bool extendedOk,
                                            bool is64BitWindows, bool isWindowsMe) {
    std::vector<std::string> keys;
    std::string k = PlatformKey(v);
    if (is64BitWindows) {
        Add(keys, k + ".64");
        if (extendedOk) {
            if (v.productType == kWorkstation) {
                Add(keys, k + ".64.PRO");
            } else if (v.productType == kDomainController) {
                Add(keys, k + ".64.DOM");
                Add(keys, k + ".64.SER");
            } else {
                Add(keys, k + ".64.SER");
            }
        }
    }
    if (v.platformId == kPlatformWin9x && v.majorVersion == 4 && v.minorVersion == 10 &&
        isWindowsMe)
        k = Key(kPlatformWin9x, 4, 90);
    Add(keys, k);
    if (v.platformId == kPlatformWin9x) {
        Add(keys, Key(kPlatformWin9x, 4, 10));
    } else if (v.majorVersion == 4) {
        Add(keys, Key(kPlatformNt, 4, 0));
    } else {
        Add(keys, "DEF_WIN2KS");
        Add(keys, Key(kPlatformNt, 5, 0));
    }
    return keys;
}

bool FindOsDefine(const std::vector<std::string>& candidates, const OsTableLookup& lookup,
                  std::string* define) {
    if (define) define->clear();
    if (!lookup) return false;
    for (const std::string& key : candidates) {
        std::string value;
        if (lookup(key, value)) {
            if (define) *define = value;
            return true;
        }
    }
    return false;
}

std::string OsDirectory(const std::string& define, const OsTableLookup& lookupOsDir) {
    if (define.empty()) return std::string();
    std::string dir;
    if (lookupOsDir && lookupOsDir(define, dir)) return dir;
    return define;
}

bool IsTerminalServer(const os::VersionInfo& v, bool extendedOk) {
    return extendedOk && v.platformId == kPlatformNt && v.productType == kServer &&
           (v.suiteMask & kSuiteTerminal) != 0;
}
