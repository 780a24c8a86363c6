// The utility library on Windows: printers the Plug-and-Play manager
// reports as present. A USB printer is a USB printing interface whose
// parent device has the VID/PID; its port is the interface's "Base Name"
// and "Port Number" (USB001). A parallel printer is a device of the LPTENUM
// enumerator, whose hardware id is the manufacturer and model joined
// without blanks; its port is the device's "PortName". The device functions
// are looked up at run time: Windows 95 has no setupapi.dll.
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "devices.h"

namespace {

const GUID kUsbPrintInterface = {
    0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class SetupApi {
public:
    SetupApi() : module_(LoadLibraryA("setupapi.dll")) {
        if (!module_) return;
        getClassDevs = Lookup<decltype(getClassDevs)>(module_, "SetupDiGetClassDevsA");
        enumInterfaces = Lookup<decltype(enumInterfaces)>(module_, "SetupDiEnumDeviceInterfaces");
        interfaceDetail =
            Lookup<decltype(interfaceDetail)>(module_, "SetupDiGetDeviceInterfaceDetailA");
        openInterfaceKey =
            Lookup<decltype(openInterfaceKey)>(module_, "SetupDiOpenDeviceInterfaceRegKey");
        enumDeviceInfo = Lookup<decltype(enumDeviceInfo)>(module_, "SetupDiEnumDeviceInfo");
        deviceProperty =
            Lookup<decltype(deviceProperty)>(module_, "SetupDiGetDeviceRegistryPropertyA");
        openDeviceKey = Lookup<decltype(openDeviceKey)>(module_, "SetupDiOpenDevRegKey");
        destroyList = Lookup<decltype(destroyList)>(module_, "SetupDiDestroyDeviceInfoList");
        getParent = Lookup<decltype(getParent)>(module_, "CM_Get_Parent");
        getDeviceId = Lookup<decltype(getDeviceId)>(module_, "CM_Get_Device_IDA");
    }
    ~SetupApi() {
        if (module_) FreeLibrary(module_);
    }
    SetupApi(const SetupApi&) = delete;
    SetupApi& operator=(const SetupApi&) = delete;

    bool Usable() const {
        return getClassDevs && enumInterfaces && interfaceDetail && openInterfaceKey &&
               enumDeviceInfo && deviceProperty && openDeviceKey && destroyList && getParent &&
               getDeviceId;
    }

    decltype(&SetupDiGetClassDevsA) getClassDevs = nullptr;
    decltype(&SetupDiEnumDeviceInterfaces) enumInterfaces = nullptr;
    decltype(&SetupDiGetDeviceInterfaceDetailA) interfaceDetail = nullptr;
    decltype(&SetupDiOpenDeviceInterfaceRegKey) openInterfaceKey = nullptr;
    decltype(&SetupDiEnumDeviceInfo) enumDeviceInfo = nullptr;
    decltype(&SetupDiGetDeviceRegistryPropertyA) deviceProperty = nullptr;
    decltype(&SetupDiOpenDevRegKey) openDeviceKey = nullptr;
    decltype(&SetupDiDestroyDeviceInfoList) destroyList = nullptr;
    decltype(&CM_Get_Parent) getParent = nullptr;
    decltype(&CM_Get_Device_IDA) getDeviceId = nullptr;

private:
    HMODULE module_;
};

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string WithoutBlanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

std::string ReadString(HKEY key, const char* name) {
    char buffer[MAX_PATH] = {};
    DWORD size = sizeof buffer - 1, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    return buffer;
}

bool ReadDword(HKEY key, const char* name, DWORD* value) {
    DWORD size = sizeof *value, type = 0;
    return RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD;
}

// "USB\VID_1A2B&PID_0C01\5&12ab" -> "VID_1A2B&PID_0C01".
std::string VidPidOf(const std::string& instanceId) {
    size_t first = instanceId.find('\\');
    if (first == std::string::npos) return std::string();
    size_t second = instanceId.find('\\', first + 1);
    return instanceId.substr(first + 1, second == std::string::npos ? std::string::npos
                                                                    : second - first - 1);
}

// False when the system has no USB printing support.
bool UsbPrinters(const SetupApi& api, std::vector<vxutil::AttachedDevice>& devices) {
    HDEVINFO set = api.getClassDevs(&kUsbPrintInterface, nullptr, nullptr,
                                    DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return false;
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA iface = {};
        iface.cbSize = sizeof iface;
        if (!api.enumInterfaces(set, nullptr, &kUsbPrintInterface, i, &iface)) break;
        DWORD needed = 0;
        api.interfaceDetail(set, &iface, nullptr, 0, &needed, nullptr);
        std::vector<char> detailBuffer(needed + sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detailBuffer.data());
        detail->cbSize = sizeof *detail;
        SP_DEVINFO_DATA info = {};
        info.cbSize = sizeof info;
        if (!api.interfaceDetail(set, &iface, detail, static_cast<DWORD>(detailBuffer.size()),
                                 nullptr, &info))
            continue;

        vxutil::AttachedDevice device;
        DEVINST parent = 0;
        char id[MAX_DEVICE_ID_LEN + 1] = {};
        if (api.getParent(&parent, info.DevInst, 0) == CR_SUCCESS &&
            api.getDeviceId(parent, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS)
            device.vidPid = VidPidOf(id);

        HKEY key = api.openInterfaceKey(set, &iface, 0, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        DWORD number = 0;
        std::string base = ReadString(key, "Base Name");
        bool hasNumber = ReadDword(key, "Port Number", &number);
        RegCloseKey(key);
        if (!hasNumber) continue;
        char port[64];
        std::snprintf(port, sizeof port, "%s%03lu", base.empty() ? "USB" : base.c_str(),
                      static_cast<unsigned long>(number));
        device.port = port;
        devices.push_back(device);
    }
    api.destroyList(set);
    return true;
}

void ParallelPrinters(const SetupApi& api, const std::string& mfg, const std::string& mdl,
                      std::vector<vxutil::AttachedDevice>& devices) {
    HDEVINFO set = api.getClassDevs(nullptr, "LPTENUM", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;
    const std::string model = Upper(WithoutBlanks(mfg + mdl));
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA info = {};
        info.cbSize = sizeof info;
        if (!api.enumDeviceInfo(set, i, &info)) break;
        char ids[4096] = {};
        if (!api.deviceProperty(set, &info, SPDRP_HARDWAREID, nullptr,
                                reinterpret_cast<BYTE*>(ids), sizeof ids - 2, nullptr))
            continue;
        // "LPTENUM\<manufacturer><model><check sum>"
        std::string id = Upper(ids);
        const std::string prefix = "LPTENUM\\";
        bool sameModel = !model.empty() && id.compare(0, prefix.size(), prefix) == 0 &&
                         id.compare(prefix.size(), model.size(), model) == 0;
        HKEY key = api.openDeviceKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        std::string port = ReadString(key, "PortName");
        RegCloseKey(key);
        if (port.empty()) continue;
        vxutil::AttachedDevice device;
        device.port = port.back() == ':' ? port : port + ":";
        if (sameModel) device.deviceId = "MFG:" + mfg + ";MDL:" + mdl + ";";
        devices.push_back(device);
    }
    api.destroyList(set);
}

}  // namespace

namespace vxutil {

bool QueryDevices(const std::string& mfg, const std::string& mdl, const std::string&,
                  std::vector<AttachedDevice>& devices) {
    SetupApi api;
    if (!api.Usable()) return false;
    bool usb = UsbPrinters(api, devices);
    ParallelPrinters(api, mfg, mdl, devices);
    return usb;
}

bool FreeBytes(const char* path, uint64_t* bytes) {
    std::string dir = path ? path : "";
    if (dir.empty()) {
        char windows[MAX_PATH] = {};
        UINT n = GetWindowsDirectoryA(windows, sizeof windows);
        if (n < 2 || n >= sizeof windows) return false;
        dir = std::string(windows, 2) + "\\";
    }
    // GetDiskFreeSpaceExA came with Windows 95 OSR2.
    using FreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (auto ex = kernel ? Lookup<FreeSpaceEx>(kernel, "GetDiskFreeSpaceExA") : nullptr) {
        ULARGE_INTEGER free = {};
        if (!ex(dir.c_str(), &free, nullptr, nullptr)) return false;
        *bytes = free.QuadPart;
        return true;
    }
    DWORD perCluster = 0, perSector = 0, freeClusters = 0, total = 0;
    if (dir.size() < 2) return false;
    std::string root = dir.substr(0, 2) + "\\";
    if (!GetDiskFreeSpaceA(root.c_str(), &perCluster, &perSector, &freeClusters, &total))
        return false;
    *bytes = static_cast<uint64_t>(freeClusters) * perCluster * perSector;
    return true;
}

}  // namespace vxutil
