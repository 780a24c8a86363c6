// The package's utility library: which ports the model's devices are on,
// and the free disk space.
#include <cstring>
#include <string>
#include <vector>

#include "companion_api.h"
#include "devices.h"

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// A field of an IEEE-1284 device id ("MFG:Veltrix;MDL:LP-100;"), by either
// of its names.
std::string Field(const std::string& deviceId, const char* shortName, const char* longName) {
    size_t start = 0;
    while (start < deviceId.size()) {
        size_t end = deviceId.find(';', start);
        if (end == std::string::npos) end = deviceId.size();
        std::string part = deviceId.substr(start, end - start);
        size_t colon = part.find(':');
        if (colon != std::string::npos) {
            std::string key = Upper(Trim(part.substr(0, colon)));
            if (key == shortName || key == longName) return Trim(part.substr(colon + 1));
        }
        start = end + 1;
    }
    return std::string();
}

bool Matches(const vxutil::AttachedDevice& d, const std::string& mfg, const std::string& mdl,
             const std::string& vidPid) {
    if (!vidPid.empty() && !d.vidPid.empty() && Upper(d.vidPid) == Upper(vidPid)) return true;
    if (mfg.empty() || mdl.empty() || d.deviceId.empty()) return false;
    return Upper(Field(d.deviceId, "MFG", "MANUFACTURER")) == Upper(mfg) &&
           Upper(Field(d.deviceId, "MDL", "MODEL")) == Upper(mdl);
}

bool IsUsbPort(const std::string& port) { return Upper(port).compare(0, 3, "USB") == 0; }

}  // namespace

extern "C" {

COMPANION_EXPORT int COMPANION_CALL GetDevicePort(const char* mfg, const char* mdl,
                                                  const char* vidPid, char* port,
                                                  int32_t* portCount) {
    if (!port || !portCount) return 0;
    port[0] = '\0';
    *portCount = 0;
    const std::string m = mfg ? Trim(mfg) : std::string();
    const std::string d = mdl ? Trim(mdl) : std::string();
    const std::string v = vidPid ? Trim(vidPid) : std::string();
    std::vector<vxutil::AttachedDevice> devices;
    if (!vxutil::QueryDevices(m, d, v, devices)) {
        *portCount = COMPANION_NO_USB;
        return 1;
    }
    // USB ports first: the callers take the first port for the printer.
    std::vector<std::string> ports;
    for (int usb = 1; usb >= 0; --usb)
        for (const vxutil::AttachedDevice& device : devices)
            if (IsUsbPort(device.port) == (usb == 1) && Matches(device, m, d, v))
                ports.push_back(device.port);
    // Whole names only, as many as the text holds.
    std::string text;
    for (const std::string& p : ports) {
        std::string next = text.empty() ? p : text + "," + p;
        if (next.size() > COMPANION_PORT_TEXT - 1) break;
        text = next;
    }
    std::memcpy(port, text.c_str(), text.size() + 1);
    *portCount = static_cast<int32_t>(ports.size());
    return 1;
}

COMPANION_EXPORT uint32_t COMPANION_CALL GetDiskFreeSpaceVX(const char* path) {
    uint64_t bytes = 0;
    if (!vxutil::FreeBytes(path, &bytes)) return 0;
    uint64_t mb = bytes / (1024u * 1024u);
    return mb > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(mb);
}

}  // extern "C"
