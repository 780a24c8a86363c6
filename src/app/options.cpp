#include "app/options.h"

#include <string>

#include "app/installer_app.h"
#include "profile/inst_profile.h"

namespace {

void LogFlag(const char* on, const char* off, bool flag) {
    if (CLog* log = GetLog()) log->Log("%s", flag ? on : off);
}

}  // namespace

bool COptionInfo::ReadOptions(const CInstProfile* profile, int osType) {
    if (!profile) return false;
    std::string section;
    if (!profile->FindPlatformSection("OPTION", section)) {
        if (CLog* log = GetLog()) log->Log("Get Option fail");
        section.clear();
    }
    // The platform section first, then the plain one.
    auto read = [&](const char* key, bool* on) {
        uint32_t value = 0;
        bool found = (!section.empty() && profile->GetDword(section.c_str(), key, &value)) ||
                     profile->GetDword("OPTION", key, &value);
        if (found) *on = value != 0;
        return found;
    };
    // Always logged; cleared when the profile does not give them.
    struct Always {
        const char* key;
        bool* flag;
        const char* on;
        const char* off;
    };
    for (const Always& a : {Always{"USB_ONLY", &usbOnly, "USB ONLY Option is ON", "USB ONLY Option is OFF"},
                            Always{"NETWORK", &network, "NETWORK Option is ON", "NETWORK Option is OFF"}}) {
        if (!read(a.key, a.flag)) *a.flag = false;
        LogFlag(a.on, a.off, *a.flag);
    }
    // Kept at their value when the profile does not give them.
    struct Optional {
        const char* key;
        bool* flag;
        const char* on;
        const char* off;
    };
    const Optional optional[] = {
        {"DEVICE_INSTALL", &deviceInstall, "INSTALL DEVICE Option is ON", "INSTALL DEVICE Option is OFF"},
        {"SHOW_INST_ERROR", &showInstallError, "SHOW INSTALL ERROR Option is ON",
         "SHOW INSTALL ERROR Option is OFF"},
        {nullptr, nullptr, nullptr, nullptr},  // RIGHT_ALIGN, in table order
        {"PRECREATE_DLG", &precreateDialogs, "PRECREATE DIALOG option is ON",
         "PRECREATE DIALOG option is OFF"},
        {"MAIN_ONLY", &mainOnly, "JUST MAIN option is ON", "JUST MAIN option is OFF"},
        {"AUTO_PRINTER_CMD", &autoPrinterCommand, "AUTO PRINTER COMMAND option is ON",
         "AUTO PRINTER COMMAND option is OFF"},
        {"SET_SOURCE_PATH", &setSourcePath, "SET SOURCE PATH option is ON",
         "SET SOURCE PATH option is OFF"},
        {"USE_PUBLIC_OID", &usePublicOid, "USE PUBLIC OID option is ON", "USE PUBLIC OID option is OFF"},
        {"USE_IPX", &useIpx, "USE IPX option is ON", "USE IPX option is OFF"},
        {"STOP_FIREWALL", &stopFirewall, "Stop Firewall option is ON", "Stop Firewall option is OFF"},
    };
    for (const Optional& o : optional) {
        if (!o.key) {
            // Windows 95 and NT before 2000 have no right-to-left layout.
            const bool old = osType == 3 || osType == 4 || osType == 5 || osType == 11 || osType == 12;
            if (old || !read("RIGHT_ALIGN", &rightAlign)) rightAlign = false;
            LogFlag("RIGHT ALIGN Option is ON", "RIGHT ALIGN Option is OFF", rightAlign);
            continue;
        }
        if (read(o.key, o.flag)) LogFlag(o.on, o.off, *o.flag);
    }
    if (read("AGFA", &agfa)) {
        LogFlag("AGFA option is ON", "AGFA option is OFF", agfa);
        agfaGiven = true;
    }
    return true;
}
