#include "app/environment.h"

#include "app/global_var.h"
#include "app/installer_app.h"
#include "app/text_format.h"
#include "command/registry.h"
#include "profile/inst_profile.h"
#include "sys/os_define.h"
#include "sys/utl.h"

namespace {

std::string Expand(const std::string& text) {
    CGlobalVar* g = GetGlobalVar();
    return g ? g->ExpandMacros(text) : text;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace

void CInstallTarget::SetDestination(const std::string& path) {
    std::string old = Expand(destination);
    std::string next = path;
    if (next.empty()) {
        next = Expand(firstDestination);
        if (CLog* log = GetLog()) log->Log("Reset Destination Directory [%s]", next.c_str());
    }
    if (EqualNoCase(next, old)) return;
    if (CLog* log = GetLog()) log->Log("Set Destination ==> %s", next.c_str());
    while (next.size() > 1 && next.back() == '\\') next.pop_back();
    destination = next;
    destinationInstallDir = destination + "\\Install";
    const std::string dest = destination;
    auto apply = [old, dest] {
        RemoveDirectoryChain(old.c_str());
        CRegistry::SetValue(GetInstallingKey().c_str(), "Dest_Dir", dest.c_str(), os::kHKLM);
        CreateDirectoryTree(dest);
    };
    if (CGlobalVar* g = GetGlobalVar()) g->Write(apply);
    else apply();
}

void CreateDirectoryTree(const std::string& path) {
    // Each folder from the drive down; existing ones are fine.
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            std::string part = path.substr(0, i);
            if (part.size() > 2) os::MakeDirectory(part.c_str());
        }
    }
}

void CInstallTarget::SetPort(const std::string& name) {
    port = name.empty() ? DefaultPort() : name;
    if (CLog* log = GetLog()) log->Log("Set Port : %s", port.c_str());
}

bool CProgramInfo::ReadProgramInfo(const CInstProfile& data) {
    bool complete = true;
    std::string value;
    for (auto [key, member] : {std::pair<const char*, std::string*>{"MFG", &mfg},
                               {"MDL", &mdl},
                               {"VIDPID", &vidpid}}) {
        if (data.GetString("PROGRAM_INFO", key, value, true, 0, nullptr, nullptr, 260))
            *member = value;
        else
            complete = false;
    }
    if (data.GetString("PROGRAM_INFO", "PROGRAM_NAME", value, true, 0, nullptr, nullptr, 260))
        programName = value;
    return complete;
}

bool CRegistryKeys::BuildKeys(const CProgramInfo& info) {
    const std::vector<std::string> args = {info.mfg, info.programName};
    installing = FillPlaceholders("Software\\%s\\%s\\Installing", args, 260);
    installingHistory = FillPlaceholders("Software\\%s\\%s\\Installing\\InstHistory", args, 260);
    installed = FillPlaceholders("Software\\%s\\%s\\Installed", args, 260);
    installedHistory = FillPlaceholders("Software\\%s\\%s\\Installed\\InstHistory", args, 260);
    uninstallInfo = FillPlaceholders("Software\\%s\\%s\\UninstallInfo", args, 260);
    return true;
}

// --- system directories ----------------------------------------------------------

void CSystemDirs::Fill() {
    os::VersionInfo v;
    const bool extended = os::GetVersionInfo(&v, true);
    if (!extended) os::GetVersionInfo(&v, false);
    std::string system;
    os::SystemDirectory(system);
    if (IsTerminalServer(v, extended)) {
        // The per-user Windows folder of a session is never used.
        if (CRegistry::GetValue("Software\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot",
                                windowsDir, os::kHKLM, 260) != 0) {
            size_t slash = system.find_last_of('\\');
            windowsDir = slash == std::string::npos ? std::string() : system.substr(0, slash);
        }
    } else {
        os::WindowsDirectory(windowsDir);
    }
    if (!windowsDir.empty()) infDir = windowsDir + "\\Inf";
    systemDir = system;
    std::string temp;
    os::TempDirectory(temp);
    while (!temp.empty() && temp.back() == '\\') temp.pop_back();
    tempDir = temp;
    if (CRegistry::GetValue("Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                            programFilesDir, os::kHKLM, 260) != 0)
        programFilesDir.clear();
    // The 64-bit product always runs on a 64-bit Windows.
    is64Bit = Is64BitWindows();
}

// --- install target --------------------------------------------------------------

std::string CInstallTarget::DefaultPort() const {
    std::string port;
    if (dataProfile &&
        dataProfile->GetString("PROGRAM_INFO", "DEFAULT_PORT", port, true, 0, nullptr, nullptr, 260) &&
        IsPortExist(port.c_str()))
        return port;
    COptionInfo* options = GetOptionInfo();
    if (options && options->usbOnly) return "FILE:";
    return IsPortExist("LPT1:") ? "LPT1:" : "FILE:";
}

bool CInstallTarget::ComputeOSDefine() {
    osDefine.clear();
    os::VersionInfo v;
    bool extended = os::GetVersionInfo(&v, true);
    if (!extended && !os::GetVersionInfo(&v, false)) {
        if (CLog* log = GetLog()) log->LogError(31, "Get OS Version fail");
        return false;
    }
    if (!dataProfile) return false;
    std::vector<std::string> candidates = OsDefineCandidates(
        v, extended, Is64BitWindows(), v.platformId == 1 && v.minorVersion == 10 && IsWindowsME());
    const CInstProfile* data = dataProfile;
    return FindOsDefine(
        candidates,
        [data](const std::string& key, std::string& value) {
            return data->GetString("OS_DEFINE", key.c_str(), value, true, 0, nullptr, nullptr, 260);
        },
        &osDefine);
}

bool CInstallTarget::IsDeviceConnected(bool parallelRequired) {
    CExternalFnt* ext = externalFnt ? externalFnt : GetExternalFnt();
    if (!ext) return false;
    char portName[260] = {0};
    int32_t count = 0;
    ext->GetDevicePort(mfgCopy.c_str(), mdlCopy.c_str(), vidpidCopy.c_str(), portName, &count);
    if (count < 1) return false;
    deviceConnected = true;
    if (!parallelRequired) return true;
    std::string upper = portName;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return upper.find("LPT") != std::string::npos;
}

void CInstallTarget::SetPrinterInstalled(bool installed) {
    printerInstalled = installed;
    if (installed)
        if (CLog* log = GetLog()) log->Log("Printer was installed");
}

void CInstallTarget::SetIP(const std::string& address) {
    ip = address;
    if (CLog* log = GetLog()) log->Log("Set IP : %s", ip.c_str());
}
