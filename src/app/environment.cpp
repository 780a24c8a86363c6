#include "app/environment.h"

#include "app/global_var.h"
#include "app/installer_app.h"
#include "app/text_format.h"
#include "profile/inst_profile.h"

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
}

void CInstallTarget::SetPort(const std::string& name) {
    if (!name.empty()) port = name;
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
